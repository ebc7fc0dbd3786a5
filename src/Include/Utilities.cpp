#include "Utilities.h"

#include "Error.h"
#include "StockColors.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cctype>
#include <cmath>
#include <limits>
#include <set>
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

// System colours: a role of the desktop's colour scheme, named by an
// identifier or by its number (0xFF000000 or 0x80000000 plus the index).
// The fallback colours, used without a desktop palette, are a light scheme.
struct TSystemColorIdent {
  const char *Name;
  int32_t Index;
  uint32_t Fallback;
};

constexpr std::array<TSystemColorIdent, 31> SystemColorIdents = {{
    {"clScrollBar", 0, 0xC8C8C8},
    {"clBackground", 1, 0x000000},
    {"clActiveCaption", 2, 0xD1B499},
    {"clInactiveCaption", 3, 0xDBCDBF},
    {"clMenu", 4, 0xF0F0F0},
    {"clWindow", 5, 0xFFFFFF},
    {"clWindowFrame", 6, 0x646464},
    {"clMenuText", 7, 0x000000},
    {"clWindowText", 8, 0x000000},
    {"clCaptionText", 9, 0x000000},
    {"clActiveBorder", 10, 0xB4B4B4},
    {"clInactiveBorder", 11, 0xFCF7F4},
    {"clAppWorkSpace", 12, 0xABABAB},
    {"clHighlight", 13, 0xFF9933},
    {"clHighlightText", 14, 0xFFFFFF},
    {"clBtnFace", 15, 0xF0F0F0},
    {"clBtnShadow", 16, 0xA0A0A0},
    {"clGrayText", 17, 0x6D6D6D},
    {"clBtnText", 18, 0x000000},
    {"clInactiveCaptionText", 19, 0x544E43},
    {"clBtnHighlight", 20, 0xFFFFFF},
    {"cl3DDkShadow", 21, 0x696969},
    {"cl3DLight", 22, 0xE3E3E3},
    {"clInfoText", 23, 0x000000},
    {"clInfoBk", 24, 0xE1FFFF},
    {"clHotLight", 26, 0xCC6600},
    {"clGradientActiveCaption", 27, 0xEAD1B9},
    {"clGradientInactiveCaption", 28, 0xF2E4D7},
    {"clMenuHighlight", 29, 0xFF9933},
    {"clMenuBar", 30, 0xF0F0F0},
    // "Default" is the colour text is drawn in.
    {"clDefault", SystemColorDefault, 0x000000},
}};

TSystemColorSource SystemColorSource = nullptr;

const TSystemColorIdent *FindSystemColorIndex(int32_t index) {
  for (const TSystemColorIdent &ident : SystemColorIdents)
    if (ident.Index == index)
      return &ident;
  return nullptr;
}

// A colour number that names a system colour: its index, else -1.
int32_t SystemColorIndexOfNumber(uint32_t value) {
  if (value == 0x20000000u)
    return SystemColorDefault;
  const uint32_t flag = value & 0xFF000000u;
  if ((flag == 0xFF000000u || flag == 0x80000000u) && FindSystemColorIndex(static_cast<int32_t>(value & 0xFFFFFFu)))
    return static_cast<int32_t>(value & 0xFFFFFFu);
  return -1;
}

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
  if (strcasecmp("clNone", text.c_str()) == 0)
    return NoColor;
  for (const TSystemColorIdent &ident : SystemColorIdents)
    if (strcasecmp(ident.Name, text.c_str()) == 0)
      return SystemColor(ident.Index);
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
    return ColorOfNumber(static_cast<uint32_t>(value));
  }
  return ColorOfNumber(static_cast<uint32_t>(TextToInt(text)));
}

void SetSystemColorSource(TSystemColorSource source) { SystemColorSource = source; }

uint32_t SystemColor(int32_t index) {
  const TSystemColorIdent *ident = FindSystemColorIndex(index);
  if (!ident)
    return 0;
  return SystemColorSource ? SystemColorSource(index) & 0xFFFFFFu : ident->Fallback;
}

uint32_t ColorOfNumber(uint32_t value) {
  const int32_t index = SystemColorIndexOfNumber(value);
  return index != -1 ? SystemColor(index) : value;
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

std::vector<std::string> WithAccessKeys(const std::vector<std::string> &captions) {
  std::set<char> used;
  std::vector<std::string> result;
  result.reserve(captions.size());
  for (const std::string &caption : captions) {
    std::string out;
    bool keyed = false;
    for (char ch : caption) {
      const auto u = static_cast<unsigned char>(ch);
      if (!keyed && u < 0x80 && std::isalnum(u) && !used.count(static_cast<char>(std::tolower(u)))) {
        used.insert(static_cast<char>(std::tolower(u)));
        out += '&';
        keyed = true;
      }
      out += ch;
      if (ch == '&')
        out += '&';
    }
    result.push_back(out);
  }
  return result;
}
