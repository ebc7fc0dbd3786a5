#include "Utilities.h"

#include "Error.h"
#include "StockColors.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <strings.h>
#include <system_error>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && IsBlank(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back()))
    text.remove_suffix(1);
  return text;
}

[[noreturn]] void ThrowNotInteger(const std::string &text) {
  throw TConvertError("'" + text + "' is not a valid integer value");
}

// Parses digits of the given base (no sign) that fill the whole text.
bool ParseUnsigned(std::string_view digits, int base, uint64_t &value) {
  if (digits.empty())
    return false;
  auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
  return error == std::errc() && end == digits.data() + digits.size();
}

}  // namespace

int32_t TextToInt(const std::string &text) {
  std::string_view s = Trimmed(text);
  bool negative = false;
  if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  uint64_t magnitude = 0;
  if (!ParseUnsigned(s, 10, magnitude))
    ThrowNotInteger(text);
  const uint64_t limit = negative ? uint64_t(1) << 31 : (uint64_t(1) << 31) - 1;
  if (magnitude > limit)
    ThrowNotInteger(text);
  return negative ? static_cast<int32_t>(-static_cast<int64_t>(magnitude)) : static_cast<int32_t>(magnitude);
}

namespace {

struct TColorIdent {
  const char *Name;
  uint32_t Color;
};

constexpr std::array<TColorIdent, 20> ColorIdents = {{
    {"clBlack", 0x000000},     {"clMaroon", 0x000080}, {"clGreen", 0x008000},  {"clOlive", 0x008080},
    {"clNavy", 0x800000},      {"clPurple", 0x800080}, {"clTeal", 0x808000},   {"clGray", 0x808080},
    {"clSilver", 0xC0C0C0},    {"clRed", 0x0000FF},    {"clLime", 0x00FF00},   {"clYellow", 0x00FFFF},
    {"clBlue", 0xFF0000},      {"clFuchsia", 0xFF00FF}, {"clAqua", 0xFFFF00},  {"clWhite", 0xFFFFFF},
    {"clMoneyGreen", 0xC0DCC0}, {"clSkyBlue", 0xF0CAA6}, {"clCream", 0xF0FBFF}, {"clMedGray", 0xA4A0A0},
}};

}  // namespace

int32_t GetIntFromText(const std::string &text, int32_t minimum, int32_t maximum, int32_t defaultValue) {
  OP_BEGIN("GetIntFromText");
  int32_t result = defaultValue;
  OP_TRY {
    if (text.empty())
      return result;
    const int32_t value = TextToInt(text);
    if (value >= minimum && value <= maximum)
      result = value;
  }
  OP_CATCH;
  return result;
}

int32_t GetIntFromText(const std::string &text) {
  return GetIntFromText(text, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max(), 0);
}

double GetRealFromText(const std::string &text, bool *invalid, double defaultValue, double maximum, double minimum) {
  // std::from_chars reads "." as the decimal separator whatever the locale,
  // so no process-wide setting has to be changed and restored.
  bool forced = false;
  double result = defaultValue;
  if (!text.empty()) {
    std::string_view s = Trimmed(text);
    if (!s.empty() && s.front() == '+')
      s.remove_prefix(1);
    double value = 0;
    auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value, std::chars_format::general);
    const bool whole = !s.empty() && error == std::errc() && end == s.data() + s.size();
    if (whole && value >= minimum && value <= maximum)
      result = value;
    else
      forced = true;
  }
  if (invalid)
    *invalid = forced;
  return result;
}

double GetRealFromText(const std::string &text, bool *invalid) {
  const double largest = std::numeric_limits<double>::max();
  return GetRealFromText(text, invalid, 0, largest, -largest);
}

uint32_t TextToColor(const std::string &text) {
  uint32_t color = 0;
  if (FindStockColor(text, color))
    return color;
  if (text.empty())
    return 0;
  for (const TColorIdent &ident : ColorIdents)
    if (strcasecmp(ident.Name, text.c_str()) == 0)
      return ident.Color;
  std::string_view s = Trimmed(text);
  std::string_view hex;
  if (!s.empty() && s.front() == '$')
    hex = s.substr(1);
  else if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X'))
    hex = s.substr(2);
  if (hex.data()) {
    uint64_t value = 0;
    if (!ParseUnsigned(hex, 16, value) || value > 0xFFFFFFFFu)
      ThrowNotInteger(text);
    return static_cast<uint32_t>(value);
  }
  return static_cast<uint32_t>(TextToInt(text));
}

std::string BoolToText(bool value) { return value ? "TRUE" : "FALSE"; }
bool TextToBool(const std::string &text) { return text == "TRUE"; }

double RoundHalfUp(double value) {
  if (!std::isfinite(value))
    return value;
  const double floor = std::floor(value);
  return value - floor >= 0.5 ? floor + 1 : floor;
}

void CycleNext(int32_t &value, int32_t low, int32_t high) {
  const int64_t next = int64_t(value) + 1;
  value = next > std::max(low, high) ? low : static_cast<int32_t>(next);
}
