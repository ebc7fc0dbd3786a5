// Number formatting for labels and the converter, and small geometry helpers.
// Plain C++: the separators come from the C library's numeric locale, which
// the application sets from the user's environment at start-up.
#pragma once

#include <cstdint>
#include <string>

struct TNumberSeparators {
  std::string Thousands;  // may be empty (no grouping)
  std::string Decimal = ".";
};

// The separators of the current numeric locale (LC_NUMERIC).
TNumberSeparators CurrentNumberSeparators();

// Decimal with thousands separators, no decimals: 20,000,000.
std::string FormatInt(int64_t value);
std::string FormatInt(int64_t value, const TNumberSeparators &separators);

// value rounded to `significant` significant digits, then written with exactly
// `decimals` decimals and grouped thousands. significant must be at least 1.
std::string FormatSignificant(double value, int32_t significant, int32_t decimals,
                              const TNumberSeparators &separators);

// A measurement with d significant digits and p decimals, switching to an
// exponent that is a multiple of 3 for values of d or more integer digits:
// (6, 2, 12345.678) → "12,345.70"; (6, 2, 1234567.8) → "1.23457e6".
// d ≤ 0 or p < 0 raises and shows a Panic and gives "?".
std::string AlignRealToTextPow(int32_t d, int32_t p, double x);
std::string AlignRealToTextPow(int32_t d, int32_t p, double x, const TNumberSeparators &separators);

// Scales a picture of sourceWidth × sourceHeight into a box keeping its aspect
// ratio (integer arithmetic, truncating); without stretch it is never enlarged.
// A source below 1 pixel in either direction gives 0 × 0.
void FitRect(int32_t sourceWidth, int32_t sourceHeight, int32_t boxWidth, int32_t boxHeight, bool stretch,
             int32_t &width, int32_t &height);
