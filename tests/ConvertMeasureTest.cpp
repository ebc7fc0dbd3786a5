#include "ConvertMeasure.h"
#include "Error.h"

#include <clocale>
#include <cmath>
#include <gtest/gtest.h>
#include <string>

namespace {

// Runs a test in the "C" numeric locale (decimal point, no grouping) and restores the caller's.
class ConvertMeasureTest : public ::testing::Test {
protected:
  void SetUp() override {
    Saved = std::setlocale(LC_NUMERIC, nullptr);
    std::setlocale(LC_NUMERIC, "C");
  }
  void TearDown() override { std::setlocale(LC_NUMERIC, Saved.c_str()); }
  std::string Saved;
};

double Factor(int32_t quantity, const std::string &name) {
  const int32_t i = FindMeasureUnit(quantity, name);
  return i < 0 ? NAN : MeasureUnits(quantity)[static_cast<std::size_t>(i)].Factor;
}

// The number found with the pointer on the first occurrence of `mark` in line.
std::string NumberAt(const std::u16string &line, const std::u16string &mark, char decimal = '.') {
  return GetNumberInLine(line, static_cast<int32_t>(line.find(mark)), decimal);
}

}  // namespace

TEST_F(ConvertMeasureTest, ListsAreSortedAndPowersComeFromLengths) {
  for (int32_t q = 0; q < mqCount; ++q) {
    const auto &units = MeasureUnits(q);
    ASSERT_FALSE(units.empty()) << MeasureQuantityName(q);
    for (std::size_t i = 1; i < units.size(); ++i)
      EXPECT_LT(units[i - 1].Name, units[i].Name) << MeasureQuantityName(q);
    EXPECT_GE(FindMeasureUnit(q, DefaultMeasureUnit(q)), 0) << MeasureQuantityName(q);
  }
  EXPECT_EQ(MeasureUnits(mqArea).size(), 17u);
  EXPECT_EQ(MeasureUnits(mqVolume).size(), 22u);
  EXPECT_DOUBLE_EQ(Factor(mqArea, "Feet^2"), 0.3048 * 0.3048);
  EXPECT_DOUBLE_EQ(Factor(mqArea, "Miles (land)^2"), 1609.0 * 1609.0);
  EXPECT_DOUBLE_EQ(Factor(mqVolume, "Centimeters^3"), 0.01 * 0.01 * 0.01);
  EXPECT_DOUBLE_EQ(Factor(mqVolume, "Yards^3"), 0.9144 * 0.9144 * 0.9144);
  // Barrels in cubic metres: 159 and 165 litres.
  EXPECT_EQ(FullConvertMeasure(mqVolume, "Barrels (159)", "Liters", 1), "1.00 Barrels (159) = 159.00 Liters");
  EXPECT_EQ(FullConvertMeasure(mqVolume, "Barrels (165)", "Liters", 2), "2.00 Barrels (165) = 330.00 Liters");
  EXPECT_TRUE(MeasureUnits(mqCount).empty());
}

TEST_F(ConvertMeasureTest, StoredUnitsMatchIgnoringCaseElseTheDefault) {
  EXPECT_EQ(MeasureUnits(mqSpeed)[StoredMeasureUnit(mqSpeed, "Meters / second")].Name, "Meters / Second");
  EXPECT_EQ(MeasureUnits(mqLength)[StoredMeasureUnit(mqLength, "FEET")].Name, "Feet");
  EXPECT_EQ(MeasureUnits(mqLength)[StoredMeasureUnit(mqLength, "Furlongs")].Name, "Meters");
  EXPECT_EQ(MeasureUnits(mqTemperature)[StoredMeasureUnit(mqTemperature, "")].Name, "Celsius");
  EXPECT_EQ(FindMeasureUnit(mqLength, "Meters "), -1);
}

TEST_F(ConvertMeasureTest, FullConversionsOfTheFactorLists) {
  EXPECT_EQ(FullConvertMeasure(mqLength, "Feet", "Meters", 10), "10.00 Feet = 3.05 Meters");
  EXPECT_EQ(FullConvertMeasure(mqLength, "Meters", "Meters", 1), "1.00 Meters = 1.00 Meters");
  EXPECT_EQ(FullConvertMeasure(mqSpeed, "Knots", "Kilometers / Hour", 10), "10.00 Knots = 18.52 Kilometers / Hour");
  EXPECT_EQ(FullConvertMeasure(mqArea, "Hectares", "Acres", 1), "1.00 Hectares = 2.47 Acres");
  EXPECT_EQ(FullConvertMeasure(mqWeight, "Pounds", "Kilograms", 2), "2.00 Pounds = 0.91 Kilograms");
  // Large results switch to the engineering form.
  EXPECT_EQ(FullConvertMeasure(mqLength, "Light years", "Kilometers", 1), "1.00 Light years = 9.46070e12 Kilometers");
}

TEST_F(ConvertMeasureTest, TemperaturesGoThroughCelsius) {
  EXPECT_EQ(FullConvertMeasure(mqTemperature, "Celsius", "Fahrenheit", 100), "100.00 Celsius = 212.00 Fahrenheit");
  EXPECT_EQ(FullConvertMeasure(mqTemperature, "Kelvin", "Celsius", 100), "100.00 Kelvin = -173.15 Celsius");
  EXPECT_EQ(FullConvertMeasure(mqTemperature, "Fahrenheit", "Celsius", -40), "-40.00 Fahrenheit = -40.00 Celsius");
  // Water freezes at 491.67 degrees Rankine, both ways round.
  EXPECT_EQ(FullConvertMeasure(mqTemperature, "Celsius", "Rankine", 0), "0 Celsius = 491.67 Rankine");
  EXPECT_EQ(FullConvertMeasure(mqTemperature, "Rankine", "Kelvin", 491.67), "491.67 Rankine = 273.15 Kelvin");
  EXPECT_EQ(FullConvertMeasure(mqTemperature, "Kelvin", "Rankine", 0), "0 Kelvin = 0.00 Rankine");
}

TEST_F(ConvertMeasureTest, FailuresOfTheFullConversion) {
  EXPECT_EQ(FullConvertMeasure(mqCount, "Feet", "Meters", 1), "Nothing to convert.");
  EXPECT_EQ(FullConvertMeasure(mqTemperature, "Reaumur", "Celsius", 1), "Nothing to convert.");
  EXPECT_EQ(FullConvertMeasure(mqLength, "Feet", "", 1), "Failed to convert.");
  EXPECT_TRUE(FunStatContext.Failed());
  EXPECT_EQ(FunStatContext.Description, "Failed to convert.");
  EXPECT_EQ(FullConvertMeasure(mqTemperature, "Celsius", "", 1), "Failed to convert.");
  FunStatContext.Reset();
}

TEST_F(ConvertMeasureTest, ShortConversionText) {
  const std::string text = ShortConvertMeasure(100);
  EXPECT_EQ(text.rfind("Convert 100.00 \x7F Centimeters -> Inches = 39.37 \x7F ", 0), 0u) << text;
  EXPECT_NE(text.find(" \x7F Miles -> Kilometers = 160.90 \x7F "), std::string::npos);
  EXPECT_NE(text.find(" \x7F Kilograms -> Pounds = 220.46 \x7F "), std::string::npos);
  EXPECT_NE(text.find(" \x7F Celsius -> Fahrenheit = 212.00 \x7F "), std::string::npos);
  EXPECT_EQ(text.substr(text.size() - 32), " Fahrenheit -> Celsius = 37.78 \x7F");
  int separators = 0;
  for (char c : text)
    separators += c == '\x7F';
  EXPECT_EQ(separators, 13);
}

TEST_F(ConvertMeasureTest, NotesLines) {
  const auto lines = MiscConvertMeasure(2);
  ASSERT_EQ(lines.size(), 12u);
  EXPECT_EQ(lines[0], " \x7F 2.00 Horse-power = 150.00 Kilograms-force * meter / second");
  EXPECT_EQ(lines[3], " \x7F 2.00 Kilograms / Centimeters^2 = 28.45 Pounds / Inch^2");
  EXPECT_EQ(lines[11], " \x7F 2.00 Pounds-force * foot / second = 0.00 Horse-power");
}

TEST_F(ConvertMeasureTest, NumberUnderThePointer) {
  const std::u16string line = u"He walked 1,234 miles in 12-15 days, 3.5 km, 1 000 000 m.";
  EXPECT_EQ(NumberAt(line, u"234"), "1234");        // separators between digits are bridged
  EXPECT_EQ(NumberAt(line, u",234"), "1234");
  EXPECT_EQ(NumberAt(line, u"12-"), "12");
  EXPECT_EQ(NumberAt(line, u"2-15"), "12");          // the pointer on the 2 of 12
  EXPECT_EQ(NumberAt(line, u"15 days"), "15");       // a hyphen ends the number
  EXPECT_EQ(NumberAt(line, u"5 km"), "3.5");
  EXPECT_EQ(NumberAt(line, u"000 m"), "000");        // only the group under the pointer
  EXPECT_EQ(NumberAt(line, u"1 000"), "1");
  EXPECT_EQ(NumberAt(line, u"walked"), "");          // no digits around the pointer
  EXPECT_EQ(NumberAt(line, u" miles"), "1234");      // the place right after a number
  // A separator not between two digits ends the number.
  EXPECT_EQ(NumberAt(u"Chapter 7. Then", u"7"), "7");
  EXPECT_EQ(NumberAt(u"(,5)", u"5"), "5");
  EXPECT_EQ(GetNumberInLine(u"page 40", 7, '.'), "40");   // past the last character: the number before
  EXPECT_EQ(GetNumberInLine(u"page 40", 8, '.'), "");     // beyond the line
  EXPECT_EQ(GetNumberInLine(u"", 0, '.'), "");
}

TEST_F(ConvertMeasureTest, NumberThatStartsALine) {
  EXPECT_EQ(GetNumberInLine(u"40 miles", 0, '.'), "40");
  EXPECT_EQ(GetNumberInLine(u",5 miles", 0, '.'), "5");
  EXPECT_EQ(GetNumberInLine(u"miles", 0, '.'), "");
}

TEST_F(ConvertMeasureTest, DecimalCommaIsReadAsTheDecimalPoint) {
  double value = 0;
  EXPECT_EQ(NumberAt(u"about 3,5 km", u"5", ','), "3,5");
  EXPECT_EQ(NumberAt(u"about 1.234,5 km", u"5", ','), "1234,5");
  ASSERT_TRUE(ParseMeasureNumber("3,5", ',', value));
  EXPECT_DOUBLE_EQ(value, 3.5);
  ASSERT_TRUE(ParseMeasureNumber("1234", '.', value));
  EXPECT_DOUBLE_EQ(value, 1234);
  // Two decimal points (a version or an address) are no number.
  EXPECT_FALSE(ParseMeasureNumber(GetNumberInLine(u"1.2.3", 2, '.'), '.', value));
  EXPECT_FALSE(ParseMeasureNumber("", '.', value));
}

TEST_F(ConvertMeasureTest, DecimalCharacterFollowsTheNumericLocale) {
  EXPECT_EQ(MeasureDecimalCharacter(), '.');
  for (const char *name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8"}) {
    if (std::setlocale(LC_NUMERIC, name)) {
      EXPECT_EQ(MeasureDecimalCharacter(), ',') << name;
      return;
    }
  }
  GTEST_SKIP() << "no locale with a decimal comma installed";
}
