// The measurement-unit converter's tables and texts, and the extraction of the
// number under the mouse pointer from a line of the reading box. Plain C++: the
// "Convert" tab and the reading box use these through PagelumeDialogConvert.cpp.
//
// Each factor list says how many base units one unit is (metre, metre per
// second, square metre, cubic metre, kilogram); a value converts as
// value × factor(source) ÷ factor(target). Temperatures go through Celsius.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum TMeasureQuantity : int32_t {
  mqLength = 0,
  mqSpeed,
  mqArea,
  mqVolume,
  mqWeight,
  mqTemperature,
  mqCount
};

struct TMeasureUnit {
  std::string Name;
  double Factor = 1;  // base units per unit; unused for temperatures
};

// The units of a quantity in list order (alphabetical). The squared and cubed
// units are computed once from the length factors. An unknown quantity gives
// an empty list.
const std::vector<TMeasureUnit> &MeasureUnits(int32_t quantity);
// The settings key and caption of a quantity: "Length", "Speed", ... ("" if unknown).
const char *MeasureQuantityName(int32_t quantity);
// The unit selected when nothing (or nothing known) is stored.
const char *DefaultMeasureUnit(int32_t quantity);
// Index of the first unit whose name equals text, letter case ignored; -1 if none.
int32_t FindMeasureUnit(int32_t quantity, const std::string &text);
// The unit to select for a stored text: the matching unit, else the default.
int32_t StoredMeasureUnit(int32_t quantity, const std::string &text);

// ---- Number under the pointer ----
// The decimal character of the number texts in books: "," where the numeric
// locale writes 1.1 as "1,1", else ".".
char MeasureDecimalCharacter();
// The number around a place in one line of text (no line end). p is the
// number of characters before the place (the pointer sits on line[p]); 0
// takes a number that starts the line. Digits are joined over single
// separators (". , ' `" between two digits); of the separators only the
// decimal character is kept. Empty when there is no digit, or p is beyond the line.
std::string GetNumberInLine(const std::u16string &line, int32_t p, char decimal);
// Reads an extracted number, its decimal character taken as the decimal point.
// False when the text is no number (for instance two decimal points).
bool ParseMeasureNumber(const std::string &text, char decimal, double &value);

// ---- Texts ----
// The separator between conversions: a blank, the character 0x7F, a blank.
extern const char *const MeasureSeparator;
// Every number of the converter: six digits, two decimals, grouped.
std::string FormatMeasure(double value);
// "Convert v" followed by twelve common conversions, for the hint label.
std::string ShortConvertMeasure(double value);
// The fixed conversions of the notes box, one line each.
std::vector<std::string> MiscConvertMeasure(double value);
// "v source = r target"; "Nothing to convert." for an unknown quantity or
// temperature; "Failed to convert." (with the failure in the status context)
// when the target is no unit of the quantity.
std::string FullConvertMeasure(int32_t quantity, const std::string &source, const std::string &target, double value);

// Temperatures: the value of a named scale in Celsius and back. False for an unknown name.
bool TemperatureToCelsius(const std::string &scale, double value, double &celsius);
bool TemperatureFromCelsius(const std::string &scale, double celsius, double &value);
