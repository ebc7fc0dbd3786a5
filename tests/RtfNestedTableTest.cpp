// Tables inside table cells: their cell and row ends separate the text.
#include "RtfReader.h"

#include <gtest/gtest.h>

namespace {

struct TTextOnly : IRtfSink {
  std::u16string Text;  // paragraphs end with '\n'
  void RtfText(const std::u16string &text, const TCharFormat &) override { Text += text; }
  void RtfParagraphEnd(const TParaFormat &) override { Text += u'\n'; }
  void RtfDocumentEnd(const TParaFormat &) override {}
};

std::u16string ReadText(const std::string &rtf) {
  TTextOnly sink;
  TRtfReader reader(sink);
  EXPECT_TRUE(reader.ReadString(rtf));
  return sink.Text;
}

TEST(RtfNestedTables, CellsAndRowsOfANestedTableStaySeparate) {
  // An outer row of two cells; the first holds a nested row of two cells.
  const std::string rtf =
      "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0"
      "\\trowd\\cellx3000\\cellx6000\\pard\\intbl "
      "\\itap2 Coronararterie\\nestcell Calcium-Score\\nestcell"
      "{\\*\\nesttableprops\\trowd\\cellx1000\\cellx2000\\nestrow}"
      "{\\nonesttables\\par }"
      "\\itap1 outer end\\cell Right\\cell\\row"
      "\\pard After\\par}";
  EXPECT_EQ(ReadText(rtf), u"Coronararterie\tCalcium-Score\t\nouter end\tRight\t\nAfter\n");
}

}  // namespace
