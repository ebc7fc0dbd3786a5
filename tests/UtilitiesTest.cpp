#include "Error.h"
#include "Utilities.h"

#include <gtest/gtest.h>

TEST(GetIntFromText, RangeAndDefault) {
  EXPECT_EQ(GetIntFromText("", 10000, 500000, 50000), 50000);
  EXPECT_EQ(GetIntFromText("9999", 10000, 500000, 50000), 50000);
  EXPECT_EQ(GetIntFromText("500000", 10000, 500000, 50000), 500000);
  EXPECT_EQ(GetIntFromText("500001", 10000, 500000, 50000), 50000);
  EXPECT_EQ(GetIntFromText("10000", 10000, 500000, 50000), 10000);
  EXPECT_EQ(FunStatContext.Status, fsPerfect);

  EXPECT_EQ(GetIntFromText("abc", 10000, 500000, 50000), 50000);
  EXPECT_EQ(FunStatContext.Status, fsError);
  EXPECT_EQ(FunStatContext.Description, "Unhandled exception: 'abc' is not a valid integer value");
  EXPECT_EQ(FunStatContext.RaiseFunction, "GetIntFromText");
  FunStatContext.Reset();
}

TEST(GetIntFromText, FullRangeWithoutLimits) {
  EXPECT_EQ(GetIntFromText("-2147483648"), INT32_MIN);
  EXPECT_EQ(GetIntFromText("2147483647"), INT32_MAX);
  EXPECT_EQ(GetIntFromText(" -42 "), -42);
  EXPECT_EQ(GetIntFromText("+7"), 7);
  EXPECT_EQ(FunStatContext.Status, fsPerfect);
  // Beyond 32 bits, hexadecimal, fractions and lone signs are no integers.
  for (const char *text : {"2147483648", "-2147483649", "99999999999999999999", "$10", "1.5", "-", "12x"}) {
    EXPECT_EQ(GetIntFromText(text), 0) << text;
    EXPECT_EQ(FunStatContext.Status, fsError) << text;
  }
  FunStatContext.Reset();
}

TEST(TextToColor, NamesIdentifiersAndNumbers) {
  EXPECT_EQ(TextToColor("cream gray"), 0x87AAB9u);
  EXPECT_EQ(TextToColor("CREAM GRAY"), 0x87AAB9u);
  EXPECT_EQ(TextToColor("CLRED"), 0x0000FFu);
  EXPECT_EQ(TextToColor("clMedGray"), 0xA4A0A0u);
  EXPECT_EQ(TextToColor("$FF"), 0xFFu);
  EXPECT_EQ(TextToColor("0xFF"), 0xFFu);
  EXPECT_EQ(TextToColor("0XffFFff"), 0xFFFFFFu);
  EXPECT_EQ(TextToColor("255"), 0xFFu);
  EXPECT_EQ(TextToColor("12152345"), 12152345u);
  EXPECT_EQ(TextToColor(""), 0u);
  // A stock name wins over a class-library identifier of another value: "Teal"
  // is the stock teal, not clTeal.
  EXPECT_EQ(TextToColor("Teal"), 0x828200u);
  EXPECT_EQ(TextToColor("clTeal"), 0x808000u);
  try {
    TextToColor("nonsense");
    FAIL() << "no exception";
  } catch (const TConvertError &e) {
    EXPECT_STREQ(e.what(), "'nonsense' is not a valid integer value");
  }
  EXPECT_THROW(TextToColor("$"), TConvertError);
  EXPECT_THROW(TextToColor("$1FFFFFFFF"), TConvertError);
}

TEST(TextToColor, SystemColorsReadTheSystemColorSource) {
  // Without a desktop palette a fixed light scheme answers.
  SetSystemColorSource(nullptr);
  EXPECT_EQ(TextToColor("clWindow"), 0xFFFFFFu);
  EXPECT_EQ(TextToColor("clwindowtext"), 0x000000u);
  EXPECT_EQ(TextToColor("clNone"), 0x1FFFFFFFu);  // "no colour", not a colour of the scheme
  SetSystemColorSource([](int32_t index) -> uint32_t { return 0xAB0000u + static_cast<uint32_t>(index + 10); });
  EXPECT_EQ(TextToColor("clBtnFace"), 0xAB0000u + 25);
  EXPECT_EQ(TextToColor("clWindow"), 0xAB0000u + 15);
  EXPECT_EQ(TextToColor("clWindowText"), 0xAB0000u + 18);
  EXPECT_EQ(TextToColor("clNone"), 0x1FFFFFFFu);
  EXPECT_EQ(TextToColor("clDefault"), 0xAB0000u + 7);
  EXPECT_EQ(TextToColor("clInfoBk"), 0xAB0000u + 34);
  // The same colours as numbers, in both flag forms and as negative decimals.
  EXPECT_EQ(TextToColor("$FF00000F"), 0xAB0000u + 25);
  EXPECT_EQ(TextToColor("0x80000005"), 0xAB0000u + 15);
  EXPECT_EQ(TextToColor("-16777201"), 0xAB0000u + 25);
  EXPECT_EQ(TextToColor("$1FFFFFFF"), 0x1FFFFFFFu);
  EXPECT_EQ(TextToColor("$20000000"), 0xAB0000u + 7);
  // Index 25 names no system colour; such numbers and plain colours stay as
  // they are.
  EXPECT_EQ(TextToColor("$FF000019"), 0xFF000019u);
  EXPECT_EQ(TextToColor("$FF0000FF"), 0xFF0000FFu);
  EXPECT_EQ(TextToColor("$123456"), 0x123456u);
  SetSystemColorSource(nullptr);
}

TEST(GetRealFromText, PointSeparatorLimitsAndFlag) {
  bool invalid = true;
  EXPECT_DOUBLE_EQ(GetRealFromText("3.5", &invalid), 3.5);
  EXPECT_FALSE(invalid);
  EXPECT_DOUBLE_EQ(GetRealFromText("3,5", &invalid), 0);
  EXPECT_TRUE(invalid);
  EXPECT_DOUBLE_EQ(GetRealFromText("-1e3", &invalid), -1000);
  EXPECT_FALSE(invalid);
  EXPECT_DOUBLE_EQ(GetRealFromText("", &invalid, 7, 10, 0), 7);
  EXPECT_FALSE(invalid);
  EXPECT_DOUBLE_EQ(GetRealFromText("11", &invalid, 7, 10, 0), 7);
  EXPECT_TRUE(invalid);
  EXPECT_DOUBLE_EQ(GetRealFromText("nan", &invalid, 7, 10, 0), 7);
  EXPECT_TRUE(invalid);
  EXPECT_DOUBLE_EQ(GetRealFromText("1e999", &invalid), 0);
  EXPECT_TRUE(invalid);
  EXPECT_DOUBLE_EQ(GetRealFromText("10", nullptr, 7, 10, 0), 10);
}

TEST(SmallConversions, RoundCycleBool) {
  EXPECT_EQ(RoundHalfUp(2.5), 3);
  EXPECT_EQ(RoundHalfUp(-2.5), -2);
  EXPECT_EQ(RoundHalfUp(2.4999), 2);
  EXPECT_EQ(RoundHalfUp(0.49999999999999994), 0);
  EXPECT_EQ(RoundHalfUp(-0.6), -1);

  int32_t v = 4;
  CycleNext(v, 1, 5);
  EXPECT_EQ(v, 5);
  CycleNext(v, 1, 5);
  EXPECT_EQ(v, 1);
  v = 5;
  CycleNext(v, 5, 1);  // the upper bound is max(low, high); wraps to low
  EXPECT_EQ(v, 5);
  v = INT32_MAX;
  CycleNext(v, 0, INT32_MAX);
  EXPECT_EQ(v, 0);

  EXPECT_EQ(BoolToText(true), "TRUE");
  EXPECT_EQ(BoolToText(false), "FALSE");
  EXPECT_TRUE(TextToBool("TRUE"));
  EXPECT_FALSE(TextToBool("true"));
  EXPECT_FALSE(TextToBool("TRUE "));
}
