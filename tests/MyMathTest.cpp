#include "Error.h"
#include "Input.h"
#include "MyMath.h"
#include "Utilities.h"

#include <QLocale>
#include <clocale>
#include <gtest/gtest.h>
#include <string>

namespace {

const TNumberSeparators English{",", "."};
const TNumberSeparators German{".", ","};

// Switches the C library and Qt to a locale for one test, restoring both.
class ScopedLocale {
public:
  explicit ScopedLocale(const char *name) : Saved(std::setlocale(LC_ALL, nullptr)), SavedQt(QLocale()) {
    Active = std::setlocale(LC_ALL, name) != nullptr;
    if (Active)
      QLocale::setDefault(QLocale(QString::fromLatin1(name).section('.', 0, 0)));
  }
  ~ScopedLocale() {
    std::setlocale(LC_ALL, Saved.c_str());
    QLocale::setDefault(SavedQt);
  }
  bool Active = false;

private:
  std::string Saved;
  QLocale SavedQt;
};

}  // namespace

TEST(AlignRealToTextPow, GroupedAndEngineeringForms) {
  EXPECT_EQ(AlignRealToTextPow(6, 2, 12345.678, English), "12,345.70");
  EXPECT_EQ(AlignRealToTextPow(6, 2, 1234567.8, English), "1.23457e6");
  EXPECT_EQ(AlignRealToTextPow(6, 2, -1234567.8, English), "-1.23457e6");
  EXPECT_EQ(AlignRealToTextPow(6, 2, 123456789012.0, English), "123.457e9");
  EXPECT_EQ(AlignRealToTextPow(6, 2, 0.0, English), "0");
  EXPECT_EQ(AlignRealToTextPow(6, 2, 0.001234, English), "0.00");
  EXPECT_EQ(AlignRealToTextPow(6, 2, 999499.0, English), "999,499.00");
  EXPECT_EQ(AlignRealToTextPow(6, 2, 999999.0, English), "1.00e6");
  EXPECT_EQ(AlignRealToTextPow(6, 2, 9999999.0, English), "10.0000e6");
  // A mantissa whose whole part rounds to 1000 moves to the next exponent and
  // keeps as many decimals as the rounded whole part leaves digits.
  EXPECT_EQ(AlignRealToTextPow(6, 2, 999600.0, English), "1.00e6");
  EXPECT_EQ(AlignRealToTextPow(6, 2, -999600.0, English), "-1.00e6");
  EXPECT_EQ(AlignRealToTextPow(6, 2, 999999999.9, English), "1.00e9");
  EXPECT_EQ(AlignRealToTextPow(6, 2, 999400000.0, English), "999.400e6");
  EXPECT_EQ(AlignRealToTextPow(6, 2, 9.6e6, English), "9.6000e6");
  EXPECT_EQ(AlignRealToTextPow(6, 2, 12345.678, German), "12.345,70");
  EXPECT_EQ(AlignRealToTextPow(6, 2, 1e300, English), "1.00000e300");
}

TEST(AlignRealToTextPow, InvalidArgumentsShowPanic) {
  std::string shown;
  FunStatus level = fsPerfect;
  SetShowErrorHandler([&](const TFunStatContext &ctx, const std::string &description, bool *) {
    shown = description;
    level = ctx.Status;
    return true;
  });
  EXPECT_EQ(AlignRealToTextPow(0, 2, 1.5, English), "?");
  EXPECT_EQ(shown, "PANIC: Invalid number of digits, or precesion.");
  EXPECT_EQ(level, fsPanic);
  shown.clear();
  EXPECT_EQ(AlignRealToTextPow(6, -1, 1.5, English), "?");
  EXPECT_EQ(shown, "PANIC: Invalid number of digits, or precesion.");
  SetShowErrorHandler(nullptr);
  EXPECT_EQ(FunStatContext.Status, fsPerfect);  // shown at once, not passed on
}

TEST(FormatInt, ThousandsSeparators) {
  EXPECT_EQ(FormatInt(0, English), "0");
  EXPECT_EQ(FormatInt(20000000, English), "20,000,000");
  EXPECT_EQ(FormatInt(-1234, English), "-1,234");
  EXPECT_EQ(FormatInt(999, English), "999");
  EXPECT_EQ(FormatInt(INT64_MIN, English), "-9,223,372,036,854,775,808");
  EXPECT_EQ(FormatInt(1234567, TNumberSeparators{"", "."}), "1234567");
}

TEST(NumberLocale, CommaLocaleKeepsPointForRealsAndGroupsWithItsSeparator) {
  ScopedLocale locale("de_DE.UTF-8");
  if (!locale.Active)
    GTEST_SKIP() << "de_DE.UTF-8 is not installed (scripts/install-deps.sh generates it)";
  bool invalid = false;
  EXPECT_DOUBLE_EQ(GetRealFromText("3,5", &invalid), 0);
  EXPECT_TRUE(invalid);
  EXPECT_DOUBLE_EQ(GetRealFromText("3.5", &invalid), 3.5);
  EXPECT_FALSE(invalid);
  EXPECT_EQ(FormatInt(20000000), "20.000.000");
  EXPECT_EQ(AlignRealToTextPow(6, 2, 12345.678), "12.345,70");
}

TEST(NumberLocale, EnglishLocale) {
  ScopedLocale locale("en_US.UTF-8");
  if (!locale.Active)
    GTEST_SKIP() << "en_US.UTF-8 is not installed";
  EXPECT_EQ(AlignRealToTextPow(6, 2, 12345.678), "12,345.70");
  EXPECT_EQ(AlignRealToTextPow(6, 2, 1234567.8), "1.23457e6");
}

TEST(FitRect, ShrinksKeepingAspectNeverEnlarges) {
  int32_t w = -1, h = -1;
  FitRect(2000, 1000, 1024, 768, false, w, h);
  EXPECT_EQ(w, 1024);
  EXPECT_EQ(h, 512);
  FitRect(100, 50, 1024, 768, false, w, h);
  EXPECT_EQ(w, 100);
  EXPECT_EQ(h, 50);
  FitRect(100, 50, 1024, 768, true, w, h);
  EXPECT_EQ(w, 1024);
  EXPECT_EQ(h, 512);
  FitRect(500, 2000, 1024, 768, false, w, h);
  EXPECT_EQ(w, 192);
  EXPECT_EQ(h, 768);
  FitRect(0, 50, 1024, 768, false, w, h);
  EXPECT_EQ(w, 0);
  EXPECT_EQ(h, 0);
}

TEST(ShiftState, ModifierTests) {
  const TShiftState ctrl{ssCtrl};
  const TShiftState ctrlLeft{ssCtrl, ssLeft};
  EXPECT_TRUE(HasShift(ctrlLeft, ssLeft));
  EXPECT_FALSE(HasShift(ctrlLeft, ssShift));
  EXPECT_FALSE(HasShift(TShiftState{ssDouble}, 7));
  EXPECT_FALSE(HasShift(ctrlLeft, -1));
  EXPECT_TRUE(IsOnlyShift(ctrl, ssCtrl));
  EXPECT_FALSE(IsOnlyShift(ctrlLeft, ssCtrl));
  EXPECT_FALSE(IsOnlyShift(TShiftState{}, 9));
  EXPECT_TRUE(IsNoShift(TShiftState{}));
  EXPECT_FALSE(IsNoShift(TShiftState{ssDouble}));
}
