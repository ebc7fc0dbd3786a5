// The converter's record of an enhanced book must write the very files the
// reading box writes after the same calls; and the faster scans of the text
// must give what the plain loops gave.
#include "BookRecord.h"
#include "BookLines.h"
#include "BookText.h"
#include "EnhancedRTF.h"
#include "Error.h"
#include "LargeBuffer.h"
#include "RTF.h"
#include "TextLines.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <random>

namespace {

QByteArray ReadAll(const QString &path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

// The same calls into a reading box and into a record; their files compared.
class BookRecordTest : public ::testing::Test {
protected:
  QTemporaryDir Dir;
  QString Path(const char *name) const { return Dir.filePath(QString::fromLatin1(name)); }

  // Runs the engine as the loader does (base format, then the lines) into box.
  static void Enhance(IRichBox &box, const std::vector<std::u16string> &lines, const char *prefix, bool poorly) {
    TEnhancedRichEdit engine;
    engine.RichBox = &box;
    engine.SetBaseFormat(false, false, 130, 4, 8, 3, 0x00AA00, 0x0000CC, 0x202020, 2, 15, "DejaVu Serif", false);
    engine.ApplyCharFormat(true, 0);
    engine.ApplyParaFormat(true, 0);
    engine.EnhanceText(lines, prefix, false, poorly);
  }

  void ExpectSameFiles(TRichEdit &box, TBookRecord &record, bool rtf) {
    ASSERT_TRUE(rtf ? box.SaveRtf(Path("box")) : box.SaveText(Path("box")));
    ASSERT_TRUE(rtf ? record.SaveRtf(Path("record")) : record.SaveText(Path("record")));
    EXPECT_EQ(ReadAll(Path("record")), ReadAll(Path("box")));
  }
};

const std::vector<std::u16string> CommandsBook = {
    u"^PS_T+", u"A Title", u"", u"^EC=clRed*", u"^SEC=clGreen*",
    u"He said \"hello there\" and 'quoted' it, don't you; \"open", u"", u"^B*", u"Bold \"words\" here.", u"",
    u"^LPI=20*", u"^FLI=0+", u"Indented paragraph with a hyphen-", u"ated word.", u"", u"^AC*", u"Centred.", u"",
    u"^S=30*", u"^FC=clBlue*", u"Big blue \"quote\".", u"", u"^CAD*", u"After all text changed.", u"",
    u"Chapter 2", u"", u"^PS_N+", u"A note.", u"", u"^ALL/", u"Base again 'x'.", u"",
    u"Marks \u2029 \u2028 \uFDD0 \uFDD1, a pair \U0001F600, alone \xD800 and \xDC00.", u"", u"***", u"Last."};

TEST_F(BookRecordTest, EnhancedBooksWriteAsTheBox) {
  std::vector<std::vector<std::u16string>> books = {CommandsBook};
  for (const char *name : {"handwritten.txt", "pride-head.txt", "headings-cp1252.txt"})
    books.push_back(booklines::LoadBook(std::string(PAGELUME_TEST_DATA) + "/books/" + name));
  for (size_t i = 0; i < books.size(); ++i) {
    for (bool rtf : {true, false}) {
      SCOPED_TRACE("book " + std::to_string(i) + (rtf ? " rtf" : " txt"));
      TRichEdit box, recordBox;
      box.SetTextOnly(!rtf);
      TBookRecord record(recordBox, !rtf);
      Enhance(box, books[i], i % 2 ? "Tab" : "None", i == 2);
      Enhance(record, books[i], i % 2 ? "Tab" : "None", i == 2);
      ExpectSameFiles(box, record, rtf);
      if (rtf) {
        EXPECT_EQ(record.Text(), box.Text());
      }
    }
  }
}

TEST_F(BookRecordTest, DirectCallsAsTheBox) {
  // Paragraph ends inside appended text, ranges over several paragraphs or
  // past the end, half a paragraph indent, a format of all text in between.
  TRichEdit box, recordBox;
  TBookRecord record(recordBox, false);
  TCharFormat color;
  color.Mask = CFM_COLOR | CFM_BOLD;
  color.TextColor = 0x3366FF;
  color.Effects = CFE_BOLD;
  TCharFormat all;
  all.Mask = CFM_FACE | CFM_SIZE | CFM_UNDERLINE;
  all.FaceName = "Liberation Sans";
  all.HeightTwips = 300;
  all.Effects = CFE_UNDERLINE;
  TParaFormat start;
  start.Mask = PFM_STARTINDENT;
  start.StartIndent = 720;
  TParaFormat offset;
  offset.Mask = PFM_OFFSET | PFM_ALIGNMENT;
  offset.Offset = -360;
  offset.Alignment = PFA_CENTER;
  for (IRichBox *b : {static_cast<IRichBox *>(&box), static_cast<IRichBox *>(&record)}) {
    b->SetCharFormat(all, true);
    b->AppendParagraph(u"first\r\nsecond\rthird\nfourth");
    b->AppendParagraph(u"");
    b->AppendParagraph(u"a longer paragraph of text");
    b->SetSelection(3, 20);
    b->SetCharFormat(color, false);
    b->SetParaFormat(start);
    b->SetSelection(-5, 2);
    b->SetParaFormat(offset);
    b->SetSelection(40, 1000);
    b->SetCharFormat(color, false);
    all.HeightTwips = 360;
    b->SetCharFormat(all, true);
    b->AppendParagraph(u"after the change");
    b->SetSelection(60, 5);
    b->SetParaFormat(offset);
    b->SetCharFormat(TCharFormat(), false);  // nothing to set
    b->SetSelection(0, 0);
  }
  ExpectSameFiles(box, record, true);
  ExpectSameFiles(box, record, false);
  EXPECT_EQ(record.Text(), box.Text());
  record.Clear();
  box.Clear();
  ExpectSameFiles(box, record, true);
}

TEST_F(BookRecordTest, FailedSaveTellsWhy) {
  TRichEdit box;
  TBookRecord record(box, true);
  record.AppendParagraph(u"text");
  FunStatContext.Reset();
  EXPECT_FALSE(record.SaveText(Dir.filePath("missing/folder/out.txt")));
  EXPECT_EQ(FunStatContext.Description, "Failed to save text.");
  EXPECT_FALSE(FunStatContext.Param2.empty());
  EXPECT_FALSE(record.SaveRtf(Path("out.rtf")));  // a record of text alone has no formats to write
  FunStatContext.Reset();
}

TEST(TextLines, SplitsLongMixedTextAsTheStringList) {
  // Line ends and other characters below U+0010 anywhere in groups of four.
  std::mt19937 random(7);
  const char16_t alphabet[] = {u'a', u' ', u'\t', u'\r', u'\n', u'\0', 0x0F, 0x10, 0x2029, 0xFFF0, 0x00E9};
  for (int round = 0; round < 200; ++round) {
    std::u16string text(random() % 64, u'x');
    for (char16_t &c : text)
      c = alphabet[random() % std::size(alphabet)];
    TTextLines lines = TTextLines::Split(text);
    std::vector<std::u16string> got;
    for (size_t i = 0; i < lines.size(); ++i)
      got.emplace_back(lines[i]);
    ASSERT_EQ(got, SplitLines(text)) << round;
  }
}

TEST(TextLines, WholeBookLineEndsAsTheStringList) {
  // Decoded in slices with the line ends made LF on the way: CR alone, CR LF,
  // CR CR LF, LF CR, ends at eight-byte edges, multibyte letters between.
  const char *ends[] = {"\r", "\r\n", "\r\r\n", "\n\r", "\n", "\r\r", ""};
  std::mt19937 random(11);
  std::string bytes;
  while (bytes.size() < 1'200'000) {
    bytes += std::string(random() % 19, 'x') + (random() % 3 ? "" : "\xC3\xA9\xE2\x80\x94");
    bytes += ends[random() % std::size(ends)];
  }
  for (const std::string &book : {bytes, bytes + "\r", "\r" + bytes + "\r\n"}) {
    TTextLines lines = BookBytesToTextLines(book, [] { return true; });
    std::vector<std::u16string> got;
    for (size_t i = 0; i < lines.size(); ++i)
      got.emplace_back(lines[i]);
    EXPECT_EQ(got, BookBytesToLines(book, false));
  }
}

TEST(LargeBuffer, GrowsKeepingItsContent) {
  TLargeBuffer<uint32_t> buffer;
  for (uint32_t i = 0; i < 3'000'000; ++i)  // several steps of growth, past large pages
    buffer.push_back(i);
  const uint32_t more[] = {7, 8, 9};
  buffer.append(more, 3);
  ASSERT_EQ(buffer.size(), 3'000'003u);
  bool same = true;
  for (uint32_t i = 0; i < 3'000'000; ++i)
    same = same && buffer[i] == i;
  EXPECT_TRUE(same);
  EXPECT_EQ(buffer.back(), 9u);
  buffer.Release();
  EXPECT_TRUE(buffer.empty());
}

}  // namespace
