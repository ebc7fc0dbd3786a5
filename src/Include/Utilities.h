// Conversions of option texts into values, number formatting and small helpers.
// This header is plain C++; the helpers that work on controls live in UtilitiesQt.h.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

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
// System colours (clBtnFace, clWindow, clWindowText, ...; as numbers
// 0xFF000000 or 0x80000000 plus the index) take their colour from the
// current system colour source, and clDefault (0x20000000) is the window
// text colour; clNone is the "no colour" value 0x1FFFFFFF.
uint32_t TextToColor(const std::string &text);

constexpr uint32_t NoColor = 0x1FFFFFFF;
constexpr int32_t SystemColorDefault = -3;
// Gives the colour (0x00BBGGRR) of a system colour index (0 to 30, or
// SystemColorDefault). Without a source a fixed light scheme answers; the
// GUI installs one that reads the application palette.
using TSystemColorSource = uint32_t (*)(int32_t index);
void SetSystemColorSource(TSystemColorSource source);
// The colour of a system colour index; 0 for an unknown index.
uint32_t SystemColor(int32_t index);
// A colour number as stored: a system colour number becomes its colour,
// any other number is returned unchanged.
uint32_t ColorOfNumber(uint32_t value);

std::string BoolToText(bool value);       // "TRUE" / "FALSE"
bool TextToBool(const std::string &text);  // only exactly "TRUE" is true

double RoundHalfUp(double value);
void CycleNext(int32_t &value, int32_t low, int32_t high);

// Menu captions with access keys: each caption gets "&" before its first
// letter or digit not taken by an earlier caption (none when all are taken);
// an "&" of the text itself is doubled.
std::vector<std::string> WithAccessKeys(const std::vector<std::string> &captions);
