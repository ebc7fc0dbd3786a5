#include "MyMath.h"

#include "Error.h"
#include "Utilities.h"

#include <algorithm>
#include <charconv>
#include <clocale>
#include <cmath>
#include <system_error>
#include <vector>

namespace {

// Inserts the thousands separator into the integer digits of a plain number
// text ("-1234567.50") and puts the decimal separator in place of ".".
std::string Localise(const std::string &plain, const TNumberSeparators &separators) {
  std::size_t begin = plain[0] == '-' ? 1 : 0;
  std::size_t point = plain.find('.');
  std::size_t end = point == std::string::npos ? plain.size() : point;
  std::string result = plain.substr(0, begin);
  for (std::size_t i = begin; i < end; ++i) {
    result += plain[i];
    std::size_t left = end - i - 1;
    if (left > 0 && left % 3 == 0)
      result += separators.Thousands;
  }
  if (point != std::string::npos)
    result += separators.Decimal + plain.substr(point + 1);
  return result;
}

std::string ToChars(double value, std::chars_format format, int precision) {
  // Fixed notation of the largest double needs 309 integer digits.
  std::vector<char> buffer(static_cast<std::size_t>(precision) + 400);
  auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, format, precision);
  if (error != std::errc())
    return "?";
  return std::string(buffer.data(), end);
}

double RoundToSignificant(double value, int32_t significant) {
  // to_chars rounds correctly to nearest; reading the text back gives the
  // double nearest to the rounded decimal value.
  const std::string text = ToChars(value, std::chars_format::scientific, std::min(significant, 400) - 1);
  double rounded = value;
  std::from_chars(text.data(), text.data() + text.size(), rounded);
  return rounded;
}

// The integer part of log10 |x|, truncated toward 0.
int32_t TruncLog10(double x) { return static_cast<int32_t>(std::trunc(std::log10(std::fabs(x)))); }

}  // namespace

TNumberSeparators CurrentNumberSeparators() {
  TNumberSeparators separators;
  if (const std::lconv *conv = std::localeconv()) {
    if (conv->thousands_sep)
      separators.Thousands = conv->thousands_sep;
    if (conv->decimal_point && *conv->decimal_point)
      separators.Decimal = conv->decimal_point;
  }
  return separators;
}

std::string FormatInt(int64_t value, const TNumberSeparators &separators) {
  return Localise(std::to_string(value), separators);
}

std::string FormatInt(int64_t value) { return FormatInt(value, CurrentNumberSeparators()); }

std::string FormatSignificant(double value, int32_t significant, int32_t decimals,
                              const TNumberSeparators &separators) {
  if (!std::isfinite(value))
    return ToChars(value, std::chars_format::general, 0);
  const double rounded = RoundToSignificant(value, std::max(significant, 1));
  return Localise(ToChars(rounded, std::chars_format::fixed, std::clamp(decimals, 0, 400)), separators);
}

std::string AlignRealToTextPow(int32_t d, int32_t p, double x, const TNumberSeparators &separators) {
  OP_BEGIN("AlignRealToTextPow");
  std::string result = "?";
  OP_TRY {
    if (d <= 0 || p < 0) {
      OP_RAISE("Invalid number of digits, or precesion.", std::string(), std::string(), 0, fsPanic);
      OP_SHOW("PANIC: Invalid number of digits, or precesion.");
      return result;
    }
    if (x == 0)
      return result = "0";
    if (!std::isfinite(x))
      return result = ToChars(x, std::chars_format::general, 0);
    int32_t e = TruncLog10(x);
    int32_t E = e / 3 * 3;
    double m = x / std::pow(10.0, E);
    // The whole part of the rounded mantissa decides both the carry to the
    // next multiple of 3 and the number of decimals shown: 999.6e3 is shown
    // as 1.00e6 (g = 1000, 3 integer digits), 9.6e6 as 9.6000e6 (g = 10).
    const double g = std::trunc(RoundHalfUp(std::fabs(m)));
    if (g == 1000) {
      m = std::copysign(1.0, m);
      E += 3;
      e += 1;
    }
    if (e < d) {
      result = FormatSignificant(x, d, p, separators);
    } else {
      const int32_t h = g >= 1 ? TruncLog10(g) : 0;
      const int32_t q = h < d ? d - h - 1 : 0;
      result = FormatSignificant(m, d, q, separators);
      if (E != 0) {
        result += 'e';
        result += std::to_string(E);
      }
    }
  }
  OP_CATCH;
  return result;
}

std::string AlignRealToTextPow(int32_t d, int32_t p, double x) {
  return AlignRealToTextPow(d, p, x, CurrentNumberSeparators());
}

void FitRect(int32_t sourceWidth, int32_t sourceHeight, int32_t boxWidth, int32_t boxHeight, bool stretch,
             int32_t &width, int32_t &height) {
  if (sourceWidth < 1 || sourceHeight < 1) {
    width = height = 0;
    return;
  }
  int64_t w = stretch ? boxWidth : std::min(sourceWidth, boxWidth);
  int64_t h = w * sourceHeight / sourceWidth;
  if (h > boxHeight) {
    h = stretch ? boxHeight : std::min(sourceHeight, boxHeight);
    w = h * sourceWidth / sourceHeight;
  }
  width = static_cast<int32_t>(w);
  height = static_cast<int32_t>(h);
}
