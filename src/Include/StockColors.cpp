#include "StockColors.h"

#include <cstdio>
#include <cstring>
#include <strings.h>

const std::array<TStockColor, StockColorCount> CStockColors = {{
    {Rgb(0, 0, 0), "Black"},
    {Rgb(50, 50, 50), "Fade Black"},
    {Rgb(75, 75, 75), "Light Black"},
    {Rgb(90, 90, 90), "Bright Black"},
    {Rgb(0, 75, 75), "Blue Black"},
    {Rgb(80, 110, 110), "Light Blue Black"},
    {Rgb(75, 120, 120), "Blue Gray"},
    {Rgb(0, 130, 130), "Teal"},
    {Rgb(10, 140, 140), "Light Teal"},
    {Rgb(110, 110, 110), "Dark Gray"},
    {Rgb(120, 120, 120), "Fade Gray"},
    {Rgb(130, 130, 130), "Gray"},
    {Rgb(160, 160, 160), "Light Gray"},
    {Rgb(190, 190, 190), "Silver"},
    {Rgb(230, 230, 230), "Gray White"},
    {Rgb(245, 245, 245), "Light Gray White"},
    {Rgb(255, 255, 255), "White"},
    {Rgb(245, 245, 225), "Soft White"},
    {Rgb(240, 240, 210), "Fade White"},
    {Rgb(230, 230, 215), "Soft Gray White"},
    {Rgb(225, 215, 200), "Cream White"},
    {Rgb(230, 215, 200), "Pink White"},
    {Rgb(250, 245, 235), "Fade Pink White"},
    {Rgb(225, 215, 210), "Dark Pink White"},
    {Rgb(205, 195, 170), "Bright Cream Gray"},
    {Rgb(190, 180, 150), "Light Cream Gray"},
    {Rgb(185, 170, 135), "Cream Gray"},
    {Rgb(160, 145, 105), "Fade Cream Gray"},
    {Rgb(150, 130, 95), "Dark Cream Gray"},
    {Rgb(145, 120, 85), "Gloom Cream Gray"},
    {Rgb(110, 90, 65), "Dark Olive"},
    {Rgb(95, 85, 65), "Gloom Olive"},
    {Rgb(30, 30, 50), "Gloom Blue"},
    {Rgb(0, 0, 65), "Dark Blue"},
    {Rgb(50, 60, 85), "Dark Navy"},
    {Rgb(75, 90, 120), "Fade Navy"},
    {Rgb(0, 0, 130), "Navy"},
    {Rgb(0, 0, 160), "Blue"},
    {Rgb(0, 0, 200), "Light Blue"},
    {Rgb(0, 0, 255), "Bright Blue"},
    {Rgb(0, 50, 150), "Dark Pastel Blue"},
    {Rgb(0, 80, 150), "Fade Pastel Blue"},
    {Rgb(0, 100, 200), "Pastel Blue"},
    {Rgb(20, 110, 240), "Dark Turquoise"},
    {Rgb(60, 155, 220), "Fade Turquoise"},
    {Rgb(80, 150, 255), "Turquoise"},
    {Rgb(0, 255, 255), "Aqua"},
    {Rgb(200, 255, 255), "Light Aqua"},
    {Rgb(225, 255, 255), "Bright Aqua"},
    {Rgb(185, 215, 220), "Soft Aqua"},
    {Rgb(155, 200, 205), "Fade Aqua"},
    {Rgb(140, 185, 195), "Dark Aqua"},
    {Rgb(120, 180, 190), "Gloom Aqua"},
    {Rgb(150, 150, 205), "Blue Fuchsia"},
    {Rgb(125, 125, 195), "Fade Blue Fuchsia"},
    {Rgb(105, 100, 180), "Dark Blue Fuchsia"},
    {Rgb(100, 200, 200), "Bright Vernil"},
    {Rgb(20, 180, 150), "Light Vernil"},
    {Rgb(85, 170, 135), "Vernil"},
    {Rgb(15, 145, 115), "Fade Vernil"},
    {Rgb(0, 130, 95), "Dark Vernil"},
    {Rgb(0, 90, 65), "Gloom Vernil"},
    {Rgb(0, 65, 45), "Bleak Vernil"},
    {Rgb(130, 0, 130), "Purple"},
    {Rgb(130, 40, 115), "Dark Lavender"},
    {Rgb(150, 50, 135), "Lavender"},
    {Rgb(255, 0, 255), "Fuchsia"},
    {Rgb(255, 170, 255), "Light Fuchsia"},
    {Rgb(200, 0, 100), "Light Cherry"},
    {Rgb(180, 0, 90), "Cherry"},
    {Rgb(130, 0, 65), "Dark Cherry"},
    {Rgb(130, 65, 65), "Fade Cherry"},
    {Rgb(130, 0, 0), "Gloom Red"},
    {Rgb(170, 0, 0), "Dark Red"},
    {Rgb(210, 0, 0), "Red"},
    {Rgb(255, 50, 0), "Pastel Red"},
    {Rgb(255, 0, 0), "Light Red"},
    {Rgb(255, 90, 90), "Dark Pink"},
    {Rgb(255, 120, 75), "Pastel Pink"},
    {Rgb(255, 130, 130), "Pink"},
    {Rgb(255, 140, 40), "Light Orange"},
    {Rgb(255, 120, 0), "Orange"},
    {Rgb(255, 105, 10), "Near Dark Orange"},
    {Rgb(255, 90, 0), "Dark Orange"},
    {Rgb(140, 70, 40), "Maroon"},
    {Rgb(150, 80, 10), "Dark Ochre"},
    {Rgb(185, 110, 25), "Ochre"},
    {Rgb(205, 150, 0), "Pastel Ochre"},
    {Rgb(185, 130, 95), "Light Maroon"},
    {Rgb(240, 150, 90), "Brick"},
    {Rgb(255, 200, 140), "Fade Brick"},
    {Rgb(255, 205, 155), "Light Brick"},
    {Rgb(255, 220, 180), "Bright Brick"},
    {Rgb(230, 220, 190), "Bright Cream"},
    {Rgb(225, 225, 175), "Soft Cream"},
    {Rgb(230, 205, 150), "Fade Cream"},
    {Rgb(225, 200, 135), "Cream"},
    {Rgb(200, 200, 140), "Bright Hemp"},
    {Rgb(190, 190, 110), "Light Hemp"},
    {Rgb(185, 170, 95), "Fade Hemp"},
    {Rgb(170, 150, 75), "Medium Hemp"},
    {Rgb(160, 140, 70), "Hemp"},
    {Rgb(130, 130, 65), "Dark Hemp"},
    {Rgb(255, 200, 90), "Cream Yellow"},
    {Rgb(255, 205, 100), "Pastel Cream Yellow"},
    {Rgb(255, 220, 140), "Light Cream Yellow"},
    {Rgb(240, 200, 45), "Fade Yellow"},
    {Rgb(255, 200, 0), "Pastel Yellow"},
    {Rgb(230, 230, 0), "Mustard"},
    {Rgb(255, 255, 0), "Yellow"},
    {Rgb(255, 255, 155), "Light Yellow"},
    {Rgb(240, 240, 175), "Soft Yellow"},
    {Rgb(240, 225, 175), "Tender Yellow"},
    {Rgb(255, 255, 200), "Bright Yellow"},
    {Rgb(255, 255, 215), "Brilliant Yellow"},
    {Rgb(225, 240, 175), "Brilliant Yellow Green"},
    {Rgb(185, 205, 150), "Light Olive"},
    {Rgb(200, 215, 170), "Soft Olive"},
    {Rgb(215, 220, 190), "Tender Olive"},
    {Rgb(230, 235, 215), "Bright Olive"},
    {Rgb(140, 160, 105), "Fade Olive"},
    {Rgb(180, 180, 0), "Yellow Green"},
    {Rgb(130, 130, 0), "Olive"},
    {Rgb(0, 85, 0), "Dark Green"},
    {Rgb(0, 105, 0), "Near Dark Green"},
    {Rgb(0, 130, 0), "Green"},
    {Rgb(0, 150, 0), "Fade Green"},
    {Rgb(20, 180, 15), "Light Green"},
    {Rgb(100, 200, 50), "Pastel Green"},
    {Rgb(0, 255, 0), "Lime"},
    {Rgb(0, 255, 130), "Bright Green"},
    {Rgb(200, 255, 200), "Light Pastel Green"},
}};

std::string StockColorName(uint32_t color) {
  for (const TStockColor &entry : CStockColors)
    if (entry.Color == color)
      return entry.Name;
  return std::string();
}

bool FindStockColor(const std::string &name, uint32_t &color) {
  // A name with an embedded zero byte never matches a table name.
  if (name.size() >= sizeof(TStockColor::Name) || name.find('\0') != std::string::npos)
    return false;
  for (const TStockColor &entry : CStockColors)
    if (strcasecmp(entry.Name, name.c_str()) == 0) {
      color = entry.Color;
      return true;
    }
  return false;
}

std::string DescribeColor(uint32_t color) {
  const uint32_t r = RedOf(color), g = GreenOf(color), b = BlueOf(color);
  const uint32_t n = r * 65536 + g * 256 + b;
  char hex[16];
  std::snprintf(hex, sizeof hex, "%06X", static_cast<unsigned>(n));
  return " (RGB " + std::to_string(r) + "-" + std::to_string(g) + "-" + std::to_string(b) +
         "; Decimal = " + std::to_string(n) + "; Hexadecimal = 0x" + hex + ")";
}
