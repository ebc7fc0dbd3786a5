// Conversions of option texts into values, number formatting and small helpers.
// This header is plain C++; the helpers that work on controls live in UtilitiesQt.h.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

// The failure of a text-to-number conversion; its message names the text:
// "'abc' is not a valid integer value".
class TConvertError : public std::invalid_argument {
public:
  using std::invalid_argument::invalid_argument;
};

// Empty text → default; not an integer → default with an Error left in the
// shared status context; outside [minimum, maximum] → default.
int32_t GetIntFromText(const std::string &text, int32_t minimum, int32_t maximum, int32_t defaultValue);
int32_t GetIntFromText(const std::string &text);
// The conversion under GetIntFromText: a signed decimal 32-bit integer,
// surrounding blanks allowed. Throws TConvertError for anything else.
int32_t TextToInt(const std::string &text);

// "." is the decimal separator whatever the locale. invalid (optional) tells
// whether the default was forced.
double GetRealFromText(const std::string &text, bool *invalid, double defaultValue, double maximum, double minimum);
double GetRealFromText(const std::string &text, bool *invalid);

// Stock-colour name (any case), class-library colour identifier (clRed, ...),
// decimal, or hexadecimal with "$" or "0x"; empty → 0. Anything else throws
// TConvertError. Colours are 0x00BBGGRR.
uint32_t TextToColor(const std::string &text);

std::string BoolToText(bool value);       // "TRUE" / "FALSE"
bool TextToBool(const std::string &text);  // only exactly "TRUE" is true

double RoundHalfUp(double value);
void CycleNext(int32_t &value, int32_t low, int32_t high);
