#include "ConvertMeasure.h"

#include "Error.h"
#include "MyMath.h"
#include "Utilities.h"

#include <array>
#include <cstdio>
#include <strings.h>

const char *const MeasureSeparator = " \x7F ";

namespace {

const std::vector<TMeasureUnit> LengthUnits = {
    {"Astronomical units", 149600000000.0},
    {"Cables (British)", 185},
    {"Cables (USA)", 220},
    {"Centimeters", 0.01},
    {"Fathoms", 1.83},
    {"Feet", 0.3048},
    {"Furlong", 201.125},
    {"Inches", 0.0254},
    {"Kilometers", 1000},
    {"Latitude degrees (Earth)", 110860},
    {"Leagues", 4827},
    {"Light years", 9460700000000000.0},
    {"Longitude degrees (Earth, equator)", 111300},
    {"Meters", 1},
    {"Miles (air, nautical)", 1852},
    {"Miles (land)", 1609},
    {"Parsecs", 30857000000000000.0},
    {"Rods", 5.03},
    {"Yards", 0.9144},
};

double LengthFactor(const std::string &name) {
  for (const TMeasureUnit &unit : LengthUnits)
    if (unit.Name == name)
      return unit.Factor;
  return 0;
}

// A unit named after a length unit with "^2" or "^3" has that power of its factor.
TMeasureUnit Powered(const std::string &length, int power) {
  const double f = LengthFactor(length);
  return {length + "^" + std::to_string(power), power == 2 ? f * f : f * f * f};
}

std::vector<TMeasureUnit> BuildAreaUnits() {
  return {
      {"Acres", 4047},
      {"Ares", 100},
      Powered("Cables (British)", 2),
      Powered("Cables (USA)", 2),
      Powered("Centimeters", 2),
      Powered("Fathoms", 2),
      Powered("Feet", 2),
      Powered("Furlong", 2),
      {"Hectares", 10000},
      Powered("Inches", 2),
      Powered("Kilometers", 2),
      Powered("Leagues", 2),
      {"Meters^2", 1},
      Powered("Miles (air, nautical)", 2),
      Powered("Miles (land)", 2),
      Powered("Rods", 2),
      Powered("Yards", 2),
  };
}

std::vector<TMeasureUnit> BuildVolumeUnits() {
  return {
      // Barrels of 159 and 165 litres, as their names say.
      {"Barrels (159)", 0.159},
      {"Barrels (165)", 0.165},
      Powered("Cables (British)", 3),
      Powered("Cables (USA)", 3),
      Powered("Centimeters", 3),
      Powered("Fathoms", 3),
      Powered("Feet", 3),
      Powered("Furlong", 3),
      {"Gallons (British)", 0.004546},
      {"Gallons (USA)", 0.003785},
      Powered("Inches", 3),
      Powered("Kilometers", 3),
      Powered("Leagues", 3),
      {"Liters", 0.001},
      {"Meters^3", 1},
      Powered("Miles (air, nautical)", 3),
      Powered("Miles (land)", 3),
      {"Pint (British)", 0.000551},
      {"Pint (USA)", 0.000473},
      {"Quarts", 0.000946},
      Powered("Rods", 3),
      Powered("Yards", 3),
  };
}

const std::vector<TMeasureUnit> SpeedUnits = {
    {"Kilometers / Hour", 1000.0 / 3600},
    {"Kilometers / Second", 1000},
    {"Knots", 1852.0 / 3600},
    {"Leagues / Hour", 4827.0 / 3600},
    {"Leagues / Second", 4827},
    {"Meters / Hour", 1.0 / 3600},
    {"Meters / Second", 1},
    {"Miles (air, nautical) / Hour", 1852.0 / 3600},
    {"Miles (air, nautical) / Second", 1852},
    {"Miles (land) / Hour", 1609.0 / 3600},
    {"Miles (land) / Second", 1609},
};

const std::vector<TMeasureUnit> WeightUnits = {
    {"Carats", 0.0002},
    {"Drams", 0.00177},
    {"Drams (apothecary)", 0.00389},
    {"Grains", 0.000065},
    {"Grams", 0.001},
    {"Kilograms", 1},
    {"Ounces (apothecary)", 0.0311},
    {"Ounces, Oz", 0.02835},
    {"Pounds", 0.453592},
    {"Tons", 1000},
};

const std::vector<TMeasureUnit> TemperatureUnits = {
    {"Celsius", 1}, {"Fahrenheit", 1}, {"Kelvin", 1}, {"Rankine", 1}};

const std::vector<TMeasureUnit> NoUnits;

constexpr std::array<const char *, mqCount> QuantityNames = {"Length", "Speed",  "Area",
                                                             "Volume", "Weight", "Temperature"};
constexpr std::array<const char *, mqCount> DefaultUnits = {
    "Meters", "Meters / second", "Meters^2", "Meters^3", "Kilograms", "Celsius"};

bool ValidQuantity(int32_t quantity) { return quantity >= 0 && quantity < mqCount; }

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
bool IsSeparator(char16_t c) { return c == u'.' || c == u',' || c == u'\'' || c == u'`'; }

// The freezing point of water on the Rankine scale.
constexpr double RankineZero = 491.67;
constexpr double NinthsOfFive = 5 * (1.0 / 9);
constexpr double FifthsOfNine = 9 * 0.2;

}  // namespace

const std::vector<TMeasureUnit> &MeasureUnits(int32_t quantity) {
  // Built once, on first use: the squares and cubes come from the length table.
  static const std::vector<TMeasureUnit> area = BuildAreaUnits();
  static const std::vector<TMeasureUnit> volume = BuildVolumeUnits();
  switch (quantity) {
  case mqLength:
    return LengthUnits;
  case mqSpeed:
    return SpeedUnits;
  case mqArea:
    return area;
  case mqVolume:
    return volume;
  case mqWeight:
    return WeightUnits;
  case mqTemperature:
    return TemperatureUnits;
  default:
    return NoUnits;
  }
}

const char *MeasureQuantityName(int32_t quantity) { return ValidQuantity(quantity) ? QuantityNames[quantity] : ""; }

const char *DefaultMeasureUnit(int32_t quantity) { return ValidQuantity(quantity) ? DefaultUnits[quantity] : ""; }

int32_t FindMeasureUnit(int32_t quantity, const std::string &text) {
  const std::vector<TMeasureUnit> &units = MeasureUnits(quantity);
  for (std::size_t i = 0; i < units.size(); ++i)
    if (strcasecmp(units[i].Name.c_str(), text.c_str()) == 0)
      return static_cast<int32_t>(i);
  return -1;
}

int32_t StoredMeasureUnit(int32_t quantity, const std::string &text) {
  const int32_t found = FindMeasureUnit(quantity, text);
  return found >= 0 ? found : FindMeasureUnit(quantity, DefaultMeasureUnit(quantity));
}

// ---- Number under the pointer ----

char MeasureDecimalCharacter() {
  // The same locale the converter's numbers are written in.
  char text[16];
  std::snprintf(text, sizeof text, "%.1f", 1.1);
  return std::string(text) == "1.1" ? '.' : ',';
}

std::string GetNumberInLine(const std::u16string &line, int32_t p, char decimal) {
  const int32_t length = static_cast<int32_t>(line.size());
  if (p < 0 || p > length)
    return std::string();
  std::u16string collected;
  // Leftwards from the character before the pointer.
  for (int32_t i = p - 1; i >= 0; --i) {
    const char16_t c = line[static_cast<std::size_t>(i)];
    if (IsDigit(c) || (IsSeparator(c) && i > 0 && IsDigit(line[static_cast<std::size_t>(i - 1)])))
      collected.insert(collected.begin(), c);
    else
      break;
  }
  // Rightwards from the character under the pointer.
  for (int32_t i = p; i < length; ++i) {
    const char16_t c = line[static_cast<std::size_t>(i)];
    if (IsDigit(c) || (IsSeparator(c) && i + 1 < length && IsDigit(line[static_cast<std::size_t>(i + 1)])))
      collected += c;
    else
      break;
  }
  std::string result;
  bool digit = false;
  for (char16_t c : collected) {
    if (IsDigit(c))
      digit = true;
    if (IsDigit(c) || c == static_cast<char16_t>(decimal))
      result += static_cast<char>(c);
  }
  return digit ? result : std::string();
}

bool ParseMeasureNumber(const std::string &text, char decimal, double &value) {
  std::string plain = text;
  for (char &c : plain)
    if (c == decimal)
      c = '.';
  bool invalid = false;
  const double parsed = GetRealFromText(plain, &invalid);
  if (plain.empty() || invalid)
    return false;
  value = parsed;
  return true;
}

// ---- Texts ----

std::string FormatMeasure(double value) { return AlignRealToTextPow(6, 2, value); }

std::string ShortConvertMeasure(double value) {
  OP_BEGIN("ShortConvertMeasure");
  std::string result = "Failed to convert measure.";
  OP_TRY {
    struct TPair {
      const char *From, *To;
      double Result;
    };
    const TPair pairs[] = {
        {"Centimeters", "Inches", value * (1 / 2.54)},
        {"Inches", "Centimeters", value * 2.54},
        {"Meters", "Feet", value * (1 / 0.3048)},
        {"Feet", "Meters", value * 0.3048},
        {"Kilometers", "Miles", value * (1 / 1.609)},
        {"Miles", "Kilometers", value * 1.609},
        {"Grams", "Ounces", value * (1 / 28.35)},
        {"Ounces", "Grams", value * 28.35},
        {"Kilograms", "Pounds", value * (1 / 0.453592)},
        {"Pounds", "Kilograms", value * 0.453592},
        {"Celsius", "Fahrenheit", value * FifthsOfNine + 32},
        {"Fahrenheit", "Celsius", (value - 32) * NinthsOfFive},
    };
    std::string text = "Convert " + FormatMeasure(value);
    for (const TPair &pair : pairs)
      text += std::string(MeasureSeparator) + pair.From + " -> " + pair.To + " = " + FormatMeasure(pair.Result);
    result = text + " \x7F";
  }
  OP_CATCH;
  return result;
}

std::vector<std::string> MiscConvertMeasure(double value) {
  OP_BEGIN("MiscConvertMeasure");
  std::vector<std::string> lines;
  OP_TRY {
    struct TRow {
      const char *From;
      double Result;
      const char *To;
    };
    const TRow rows[] = {
        {"Horse-power", value * 75, "Kilograms-force * meter / second"},
        {"Horse-power", value * 735.75, "Newtons"},
        {"Horse-power", value * 542.477, "Pounds-force * foot / second"},
        {"Kilograms / Centimeters^2", value * (1 / 0.070307), "Pounds / Inch^2"},
        {"Kilograms-force * meter / second", value * (1 / 75.0), "Horse-power"},
        {"Kilograms-force", value * 9.81, "Newtons"},
        {"Newtons", value * (1 / 9.81), "Kilograms-force"},
        {"Newtons", value * (1 / 735.75), "Horse-power"},
        {"Newtons", value * (1 / 4.45), "Pounds-force"},
        {"Pounds / Inch^2", value * 0.070307, "Kilograms / Centimeters^2"},
        {"Pounds-force", value * 4.45, "Newtons"},
        {"Pounds-force * foot / second", value * (1 / 542.477), "Horse-power"},
    };
    const std::string shown = FormatMeasure(value);
    for (const TRow &row : rows)
      lines.push_back(std::string(MeasureSeparator) + shown + " " + row.From + " = " + FormatMeasure(row.Result) +
                      " " + row.To);
  }
  OP_CATCH;
  if (OP_FAILED())
    lines.push_back("Failed to convert measure.");
  return lines;
}

bool TemperatureToCelsius(const std::string &scale, double value, double &celsius) {
  if (scale == "Celsius")
    celsius = value;
  else if (scale == "Fahrenheit")
    celsius = (value - 32) * NinthsOfFive;
  else if (scale == "Kelvin")
    celsius = value - 273.15;
  else if (scale == "Rankine")
    celsius = (value - RankineZero) * NinthsOfFive;
  else
    return false;
  return true;
}

bool TemperatureFromCelsius(const std::string &scale, double celsius, double &value) {
  if (scale == "Celsius")
    value = celsius;
  else if (scale == "Fahrenheit")
    value = celsius * FifthsOfNine + 32;
  else if (scale == "Kelvin")
    value = celsius + 273.15;
  else if (scale == "Rankine")
    value = celsius * FifthsOfNine + RankineZero;
  else
    return false;
  return true;
}

std::string FullConvertMeasure(int32_t quantity, const std::string &source, const std::string &target, double value) {
  OP_BEGIN("FullConvertMeasure");
  std::string result = "Failed to convert.";
  OP_TRY {
    if (!ValidQuantity(quantity))
      return result = "Nothing to convert.";
    double converted = 0;
    if (quantity == mqTemperature) {
      double celsius = 0;
      if (!TemperatureToCelsius(source, value, celsius))
        return result = "Nothing to convert.";
      if (!TemperatureFromCelsius(target, celsius, converted)) {
        OP_RAISE("Failed to convert.", source, target);
        return result;
      }
    } else {
      const std::vector<TMeasureUnit> &units = MeasureUnits(quantity);
      auto factor = [&units](const std::string &name) {
        for (const TMeasureUnit &unit : units)
          if (unit.Name == name)
            return unit.Factor;
        return 0.0;
      };
      const double from = factor(source);
      const double to = factor(target);
      if (from == 0 || to == 0) {
        OP_RAISE("Failed to convert.", source, target);
        return result;
      }
      converted = value * from / to;
    }
    result = FormatMeasure(value) + " " + source + " = " + FormatMeasure(converted) + " " + target;
  }
  OP_CATCH;
  return result;
}
