// The program's 132 named stock colours and the colour-text operations built
// on them. Plain C++: the dialog that offers the colours lives in ColorDialog.h.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

// Colour values are 0x00BBGGRR: red in the low byte.
constexpr uint32_t Rgb(uint32_t red, uint32_t green, uint32_t blue) {
  return (red & 0xFF) | ((green & 0xFF) << 8) | ((blue & 0xFF) << 16);
}
constexpr uint32_t RedOf(uint32_t color) { return color & 0xFF; }
constexpr uint32_t GreenOf(uint32_t color) { return (color >> 8) & 0xFF; }
constexpr uint32_t BlueOf(uint32_t color) { return (color >> 16) & 0xFF; }

struct TStockColor {
  uint32_t Color;
  char Name[32];  // at most 31 characters, zero-padded
};

constexpr std::size_t StockColorCount = 132;
extern const std::array<TStockColor, StockColorCount> CStockColors;

// Name of the first entry whose colour equals color exactly; empty when none.
std::string StockColorName(uint32_t color);
// First entry whose name equals name without regard to letter case.
bool FindStockColor(const std::string &name, uint32_t &color);
// " (RGB r-g-b; Decimal = n; Hexadecimal = 0xHHHHHH)" with n = r*65536 + g*256 + b.
std::string DescribeColor(uint32_t color);
