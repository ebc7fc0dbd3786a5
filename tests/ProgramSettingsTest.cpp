// The program settings record: what Pagelume.ini holds, and what a damaged
// file gives back.
#include "Bookshelf.h"
#include "ProgramSettings.h"
#include "StoredTextList.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <random>

namespace {

// A list holding the text as a loaded document.
TStoredTextList ListOf(const std::string &text) {
  TStoredTextList list;
  list.WriteString("x", "x", "x");
  list.Doc()->Parse(SettingsBytesToText(text));
  return list;
}

// Everything the program reads from Pagelume.ini, in the order it reads it.
struct TAll {
  TProgramSettings Settings;
  TBookshelf Shelf;
  void Read(TStoredTextList &list, int32_t systemWheel) {
    Settings.ReadMain(list, systemWheel);
    Shelf.LoadBookshelf(list);
    Settings.ReadConvertMeasure(list);
  }
  std::string Write() const {
    TStoredTextList list;
    list.WriteString("x", "x", "x");
    list.Clear();
    Settings.WriteMain(list);
    Shelf.SaveBookshelf(list);
    Settings.WriteConvertMeasure(list);
    return list.Text();
  }
};

TEST(ProgramSettings, DefaultsAndTheOrderOfTheFile) {
  TAll all;
  TStoredTextList empty = ListOf("");
  all.Read(empty, 3);
  EXPECT_EQ(all.Write(), "[Pagelume_Main]\r\nAutoSaveProfile=TRUE\r\nAutoBookmark=TRUE\r\nAutoLoadLast=TRUE\r\n"
                         "WheelScrollLines=3\r\nDictionaryTitle=/usr/bin/goldendict\r\nClipboardForDic=TRUE\r\n"
                         "ForceRichEdit3=FALSE\r\nOpenInPieces=TRUE\r\nPieceSize=50000\r\n"
                         "RichBoxWidthPercent=45\r\nRichBoxTopPercent=10\r\nRichBoxBottomPercent=15\r\n"
                         "PrintLeftMargin=30\r\nPrintRightMargin=20\r\nPrintTopMargin=20\r\n"
                         "PrintBottomMargin=20\r\n\r\n"
                         "[Pagelume_Bookshelf_Main]\r\nCount=0\r\n\r\n"
                         "[Pagelume_ConvertMeasure]\r\nLength=Meters\r\nSpeed=Meters / second\r\n"
                         "Area=Meters^2\r\nVolume=Meters^3\r\nWeight=Kilograms\r\nTemperature=Celsius\r\n\r\n");
  EXPECT_EQ(ProgramIntOption(ioPieceSize).Offered.size(), 18u);
  EXPECT_EQ(ProgramIntOption(ioPieceSize).Offered.back(), 500000);
  EXPECT_EQ(ProgramIntOption(ioRichBoxWidthPercent).Offered.back(), 95);
  EXPECT_EQ(WheelScrollLinesOption().Offered, (std::vector<int32_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 15, 20}));
}

TEST(ProgramSettings, ValuesNotOfferedOrOutOfRangeGiveTheDefault) {
  TProgramSettings s;
  s.AutoBookmark = false;  // a boolean's default is its current state
  TStoredTextList list = ListOf("[Pagelume_Main]\r\nAutoLoadLast=true\r\nAutoSaveProfile=FALSE\r\n"
                                "PieceSize=12345\r\nRichBoxWidthPercent=100\r\nRichBoxTopPercent=5\r\n"
                                "RichBoxBottomPercent=26\r\nPrintLeftMargin=$A\r\nPrintTopMargin=abc\r\n"
                                "DictionaryTitle=\r\n");
  s.ReadMain(list, 3);
  EXPECT_FALSE(s.AutoLoadLast);
  EXPECT_FALSE(s.AutoSaveProfile);
  EXPECT_FALSE(s.AutoBookmark);
  EXPECT_EQ(s.Ints[ioPieceSize], 50000);
  EXPECT_EQ(s.Ints[ioRichBoxWidthPercent], 45);
  EXPECT_EQ(s.Ints[ioRichBoxTopPercent], 5);
  EXPECT_EQ(s.Ints[ioRichBoxBottomPercent], 15);
  EXPECT_EQ(s.Ints[ioPrintLeftMargin], 10);
  EXPECT_EQ(s.Ints[ioPrintTopMargin], 20);
  EXPECT_EQ(s.DictionaryTitle, "/usr/bin/goldendict");
  TStoredTextList tooBig = ListOf("[Pagelume_Main]\r\nPieceSize=600000\r\nDictionaryTitle=" + std::string(260, 'x'));
  s.ReadMain(tooBig, 3);
  EXPECT_EQ(s.Ints[ioPieceSize], 50000);
  EXPECT_EQ(s.DictionaryTitle, "/usr/bin/goldendict");

  EXPECT_EQ(ProgramIntOption(ioPieceSize).FromText(""), 50000);
  EXPECT_EQ(ProgramIntOption(ioPieceSize).FromText("5000"), 50000);
  EXPECT_EQ(ProgramIntOption(ioPieceSize).FromText("150000"), 150000);
}

TEST(ProgramSettings, WheelLinesFollowTheSystemSettingWhenNoneIsStored) {
  TProgramSettings s;
  TStoredTextList none = ListOf("");
  s.ReadMain(none, 3);
  EXPECT_EQ(s.WheelScrollLines, 3);
  // A system setting that is not offered: no value, 0 lines, and 0 written.
  s.ReadMain(none, 12);
  EXPECT_EQ(s.WheelScrollLines, 0);
  TStoredTextList zero = ListOf("[Pagelume_Main]\r\nWheelScrollLines=0\r\n");
  s.ReadMain(zero, 4);  // 0 is out of range: the system setting is tried again
  EXPECT_EQ(s.WheelScrollLines, 4);
  TStoredTextList stored = ListOf("[Pagelume_Main]\r\nWheelScrollLines=15\r\n");
  s.ReadMain(stored, 4);
  EXPECT_EQ(s.WheelScrollLines, 15);
}

TEST(ProgramSettings, ConverterUnitsAreMatchedWithoutRegardToCase) {
  TProgramSettings s;
  TStoredTextList list = ListOf("[Pagelume_ConvertMeasure]\r\nLength=Furlongs\r\nSpeed=METERS / SECOND\r\n"
                                "Area=\r\n");
  s.ReadConvertMeasure(list);
  EXPECT_EQ(s.Units[qLength], "Furlongs");
  EXPECT_EQ(s.Units[qArea], "");
  const std::vector<std::string> lengths = {"Kilometers", "Meters", "Feet"};
  const std::vector<std::string> speeds = {"Kilometers / Hour", "Meters / Second"};
  EXPECT_EQ(MatchUnit(lengths, s.Units[qLength], DefaultUnit(qLength)), "Meters");
  EXPECT_EQ(MatchUnit(speeds, s.Units[qSpeed], DefaultUnit(qSpeed)), "Meters / Second");
  EXPECT_EQ(MatchUnit(speeds, "", DefaultUnit(qSpeed)), "Meters / Second");
  EXPECT_EQ(MatchUnit({}, "", DefaultUnit(qTemperature)), "Celsius");
}

// Random and mutated files: the reader takes what it can, and what it writes
// back is a clean file that reads back to itself.
TEST(ProgramSettings, DamagedFilesNeverCostTheRest) {
  TAll good;
  TStoredTextList empty = ListOf("");
  good.Read(empty, 3);
  for (int i = 0; i < 30; ++i) {
    good.Shelf.SetBookmark("/books/b" + std::to_string(i) + ".txt", 0, 1 + i % 3, i * 100);
    good.Shelf.SetBookmark("/books/b" + std::to_string(i) + ".txt", 1 + i % 5, 2, i * 7);
  }
  const std::string sample = good.Write();
  const std::string pieces[] = {"[Pagelume_Main]",  "[Pagelume_Bookshelf_Main]", "[Pagelume_Bookshelf_CaretPos]",
                                "Count=31",         "Count=2",                   "0=",
                                "0_1=-7",           "PieceSize=-1",              "WheelScrollLines=99999999999",
                                "\r\n",             "\n",                        "\r",
                                "=",                ";",                         "[",
                                "]",                "\xFF\xFE",                  std::string("\0", 1),
                                "0x7FFFFFFF",       "$FFFFFFFF",                 std::string(5000, 'a')};
  std::mt19937 random(20261208);
  auto pick = [&](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(random); };
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    if (round % 3 == 0) {
      const size_t length = pick(2000);
      for (size_t i = 0; i < length; ++i)
        text += static_cast<char>(pick(256));
    } else {
      text = sample;
      const size_t edits = 1 + pick(20);
      for (size_t e = 0; e < edits && !text.empty(); ++e) {
        const size_t at = pick(text.size());
        switch (pick(4)) {
        case 0: text[at] = static_cast<char>(pick(256)); break;
        case 1: text.erase(at, pick(40)); break;
        case 2: text.insert(at, pieces[pick(std::size(pieces))]); break;
        default: text.insert(at, text.substr(pick(text.size()), pick(200))); break;
        }
      }
    }
    TStoredTextList list = ListOf(text);
    TAll all;
    ASSERT_NO_THROW(all.Read(list, 3)) << round;
    const std::string saved = all.Write();
    ASSERT_TRUE(IsValidUtf8(saved)) << round;
    ASSERT_LE(all.Shelf.Count(), 30);
    for (int id = 0; id < ioCount; ++id)
      ASSERT_TRUE(ProgramIntOption(id).IsOffered(all.Settings.Ints[static_cast<size_t>(id)])) << round;
    for (int32_t b = 0; b < all.Shelf.Count(); ++b) {
      ASSERT_FALSE(all.Shelf.Book(b).FileName.empty());
      ASSERT_GE(all.Shelf.Book(b).CaretPos[0], 0);
      for (int32_t piece : all.Shelf.Book(b).Pieces)
        ASSERT_GE(piece, 1);
    }
    // The clean file reads back to the same file.
    TStoredTextList again = ListOf(saved);
    TAll back;
    back.Read(again, 3);
    ASSERT_EQ(back.Write(), saved) << round;
  }
}

}  // namespace
