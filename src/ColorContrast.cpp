#include "ColorContrast.h"

#include <cmath>

namespace {
double Linear(uint32_t channel) {
  const double c = channel / 255.0;
  return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}
uint32_t Mix(uint32_t from, uint32_t to, double t) {
  uint32_t out = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    const double a = (from >> shift) & 0xFF, b = (to >> shift) & 0xFF;
    out |= uint32_t(std::lround(a + (b - a) * t)) << shift;
  }
  return out;
}
}  // namespace

double RelativeLuminance(uint32_t color) {
  return 0.2126 * Linear(color & 0xFF) + 0.7152 * Linear((color >> 8) & 0xFF) + 0.0722 * Linear((color >> 16) & 0xFF);
}

double ContrastRatio(uint32_t a, uint32_t b) {
  const double la = RelativeLuminance(a), lb = RelativeLuminance(b);
  return la > lb ? (la + 0.05) / (lb + 0.05) : (lb + 0.05) / (la + 0.05);
}

uint32_t LinkColorFor(uint32_t back) {
  constexpr uint32_t Blue = 0xFF0000, White = 0xFFFFFF, Black = 0x000000;
  constexpr double Wanted = 4.5;
  if (ContrastRatio(Blue, back) >= Wanted)
    return Blue;
  // Towards white on a dark box, towards black on a light one.
  const uint32_t far = ContrastRatio(White, back) >= ContrastRatio(Black, back) ? White : Black;
  for (int step = 1; step <= 64; ++step) {
    const uint32_t color = Mix(Blue, far, step / 64.0);
    if (ContrastRatio(color, back) >= Wanted)
      return color;
  }
  return far;
}

bool IsDarkColor(uint32_t color) { return RelativeLuminance(color) < 0.05; }
