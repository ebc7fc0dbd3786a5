#include "StockColors.h"
#include "Utilities.h"

#include <cctype>
#include <gtest/gtest.h>

TEST(StockColors, EveryEntryRoundTrips) {
  ASSERT_EQ(CStockColors.size(), 132u);
  for (std::size_t i = 0; i < CStockColors.size(); ++i) {
    const TStockColor &entry = CStockColors[i];
    const std::string name = entry.Name;
    SCOPED_TRACE(name);
    ASSERT_LE(name.size(), 31u);
    uint32_t color = 0xFFFFFFFF;
    ASSERT_TRUE(FindStockColor(name, color));
    EXPECT_EQ(color, entry.Color);
    EXPECT_EQ(StockColorName(color), name);
    std::string upper = name;
    for (char &c : upper)
      c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(TextToColor(upper), entry.Color);
  }
}

TEST(StockColors, KnownEntriesAndMisses) {
  EXPECT_EQ(CStockColors[86].Color, Rgb(185, 110, 25));
  EXPECT_EQ(StockColorName(0x87AAB9), "Cream Gray");
  EXPECT_EQ(StockColorName(Rgb(1, 2, 3)), "");
  uint32_t color = 7;
  EXPECT_FALSE(FindStockColor("Creamgray", color));
  EXPECT_FALSE(FindStockColor(std::string("Black\0x", 7), color));
  EXPECT_EQ(color, 7u);
}

TEST(StockColors, DescribeColor) {
  EXPECT_EQ(DescribeColor(Rgb(185, 110, 25)), " (RGB 185-110-25; Decimal = 12152345; Hexadecimal = 0xB96E19)");
  EXPECT_EQ(DescribeColor(Rgb(0, 0, 5)), " (RGB 0-0-5; Decimal = 5; Hexadecimal = 0x000005)");
}
