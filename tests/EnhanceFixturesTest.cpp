// The engine on small books against the outputs of tests/enhance_check.py
// (an independent model of the rules) committed under tests/data/books/expected.
#include <gtest/gtest.h>

#include "BookLines.h"
#include "EnhancedRTF.h"
#include "FakeRichBox.h"

namespace {

struct TOptionSet {
  const char *Name;
  const char *Prefix;
  bool IgnoreEmptyLines, PoorlyWritten;
};
constexpr TOptionSet kOptionSets[] = {
    {"default", "None", false, false},
    {"tab-ignore", "Tab", true, false},
    {"poorly", "None", false, true},
};
const char *const kBooks[] = {"alice-head",  "handwritten",           "headings-cp1252",
                              "pride-head",  "tour-du-monde-head",    "two-cities-cp1252-head"};

std::string BookPath(const std::string &name) { return std::string(PAGELUME_TEST_DATA) + "/books/" + name; }

}  // namespace

TEST(EnhanceFixtures, EngineMatchesTheIndependentModel) {
  for (const char *book : kBooks) {
    const std::vector<std::u16string> lines = booklines::LoadBook(BookPath(std::string(book) + ".txt"));
    for (const TOptionSet &set : kOptionSets) {
      SCOPED_TRACE(std::string(book) + " " + set.Name);
      TFakeRichBox box;
      TEnhancedRichEdit engine;
      engine.RichBox = &box;
      std::vector<std::string> warnings;
      engine.WarningHandler = [&](const std::string &text) { warnings.push_back(text); };
      engine.EnhanceText(lines, set.Prefix, set.IgnoreEmptyLines, set.PoorlyWritten);

      std::string text, chapters;
      for (const auto &p : box.Paragraphs) text += TEnhancedRichEdit::ToUtf8(p) + "\n";
      for (const auto &c : engine.ChaptersMenu)
        chapters += TEnhancedRichEdit::ToUtf8(c.Caption) + "\t" + std::to_string(c.Tag) + "\n";
      const std::string stem = BookPath("expected/") + book + "." + set.Name;
      EXPECT_EQ(text, booklines::ReadFile(stem + ".txt"));
      EXPECT_EQ(chapters, booklines::ReadFile(stem + ".chapters.txt"));
      EXPECT_EQ(engine.Position, int32_t(box.Text().size()));
      EXPECT_EQ(engine.ChapterCount, int32_t(engine.ChaptersMenu.size()));
      if (std::string(book) == "handwritten") {
        EXPECT_EQ(warnings, (std::vector<std::string>{"Missing end character: ^B", "Unrecognized command: Unknown"}));
      }
    }
  }
}

TEST(EnhanceFixtures, LoaderModelDecodesAndMarksTheEnd) {
  EXPECT_EQ(booklines::SplitLines(u"a\r\nb\rc\nd"), (std::vector<std::u16string>{u"a", u"b", u"c", u"d"}));
  EXPECT_EQ(booklines::SplitLines(u"a\n\n"), (std::vector<std::u16string>{u"a", u""}));
  EXPECT_EQ(booklines::Decode("caf\xe9 \x93x\x94"), u"caf\u00e9 \u201cx\u201d");
  using namespace std::string_literals;
  EXPECT_EQ(booklines::Decode("\xEF\xBB\xBF" "caf\xc3\xa9\0tail"s), u"caf\u00e9");
  std::vector<std::u16string> lines{u"  ", u"", u" ***** End of Book *****", u"\t"};
  booklines::AddEndMarker(lines);
  EXPECT_EQ(lines, (std::vector<std::u16string>{u"  ", u"", u"***** End of Book *****"}));
}
