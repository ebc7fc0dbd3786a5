// The text of a book without a document: the lines in one buffer, and a
// reading box that keeps only the text. Both must give exactly what the
// string list and the document give.
#include "BookText.h"
#include "RTF.h"
#include "TextLines.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

std::vector<std::u16string> Lines(const TTextLines &lines) {
  std::vector<std::u16string> out;
  for (size_t i = 0; i < lines.size(); ++i)
    out.emplace_back(lines[i]);
  return out;
}

TEST(TextLines, SplitAndEndMarkersAsTheStringList) {
  const std::u16string texts[] = {u"",          u"one",           u"one\n",         u"a\r\nb\rc\nd",
                                  u"\n\n\n",    u"a\r\n\r\n",     u"x\r",           u"  \n***** End of Book *****\n\n",
                                  u" \n \n",    u"last\n   \n\n", u"\xD83D\xDE00\n\n"};
  for (const std::u16string &text : texts) {
    SCOPED_TRACE(std::string(text.begin(), text.end()));
    TTextLines lines = TTextLines::Split(text);
    std::vector<std::u16string> list = SplitLines(text);
    EXPECT_EQ(Lines(lines), list);
    for (int32_t piece : {1, 2}) {
      TTextLines marked = lines;
      std::vector<std::u16string> markedList = list;
      if (markedList.empty())
        continue;  // the loader never marks a book without lines
      AddEndMarker(marked, piece, 2);
      AddEndMarker(markedList, piece, 2);
      EXPECT_EQ(Lines(marked), markedList);
    }
  }
  std::vector<std::u16string> source = {u"a", u"", u"long line"};
  EXPECT_EQ(Lines(TTextLines::From(source)), source);
  EXPECT_TRUE(TTextLines().empty());
}

TEST(TextLines, DecodedInSlicesAsWhole) {
  // Over a megabyte, so that the decoding goes in slices: UTF-8 with
  // multibyte letters, the same with a mark, code page 1252, text after a NUL.
  std::string utf8;
  for (int i = 0; i < 80000; ++i)
    utf8 += "Ligne num\xC3\xA9ro " + std::to_string(i) + " \xE2\x80\x94 caf\xC3\xA9\r\n";
  std::string cp1252 = utf8;
  cp1252[5] = '\xE9';  // no longer UTF-8
  const std::string books[] = {utf8, "\xEF\xBB\xBF" + utf8, cp1252, utf8 + std::string(1, '\0') + "dropped"};
  for (const std::string &bytes : books) {
    int turns = 0;
    TTextLines lines = BookBytesToTextLines(bytes, [&] { return ++turns > 0; });
    EXPECT_GE(turns, 2);
    EXPECT_EQ(Lines(lines), BookBytesToLines(bytes, false));
  }
  EXPECT_TRUE(BookBytesToTextLines(utf8, [] { return false; }).empty());
  EXPECT_EQ(Lines(BookBytesToTextLines(utf8)), BookBytesToLines(utf8, false));
}

QByteArray ReadAll(const QString &path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The same appends, loads and saves into a box with a document and into a text-only one.
TEST(TextOnlyBox, GivesTheTextOfTheDocument) {
  QTemporaryDir dir;
  TRichEdit document, plain;
  plain.SetTextOnly(true);
  ASSERT_TRUE(plain.TextOnly());

  // Paragraph and line breaks and the document's own marks inside the text, a
  // pair across the 64 K slices of the save, and enough text for a document
  // of its own.
  std::vector<std::u16string> paragraphs = {u"First", u"", u"with\x2029para and\x2028line", u"marks \xFDD0\xFDD1.",
                                            u"tab\there"};
  std::u16string longOne(65535, u'x');
  longOne += u"\xD83D\xDE00 after the pair";
  paragraphs.push_back(longOne);
  for (TRichEdit *box : {&document, &plain})
    for (int copy = 0; copy < 3; ++copy)
      for (const auto &p : paragraphs)
        box->AppendParagraph(p);
  EXPECT_EQ(plain.Text(), document.Text());
  EXPECT_EQ(plain.TextLength(), document.TextLength());
  ASSERT_TRUE(document.SaveText(dir.filePath("document.txt")));
  ASSERT_TRUE(plain.SaveText(dir.filePath("plain.txt")));
  EXPECT_EQ(ReadAll(dir.filePath("plain.txt")), ReadAll(dir.filePath("document.txt")));

  // Rich text with line breaks, tabs, groups and a last paragraph without an end.
  const QString rtf = dir.filePath("book.rtf");
  {
    QFile f(rtf);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("{\\rtf1\\ansi {\\fonttbl{\\f0 Times;}}Hello {\\b bold}\\line next\\tab tab\\par\\par "
            "Caf\\'e9 \\u8364? end.\\par The last one}");
  }
  const QString txt = dir.filePath("book-in.txt");
  {
    QFile f(txt);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("One\r\nTwo\rThree\n\nFour\xe2\x80\xa8line");
  }
  for (const QString &in : {rtf, txt}) {
    SCOPED_TRACE(in.toStdString());
    for (TRichEdit *box : {&document, &plain})
      ASSERT_TRUE(in.endsWith(".rtf") ? box->LoadRtf(in) : box->LoadText(in));
    EXPECT_EQ(plain.Text(), document.Text());
    EXPECT_EQ(plain.TextLength(), document.TextLength());
    ASSERT_TRUE(document.SaveText(dir.filePath("document.txt")));
    ASSERT_TRUE(plain.SaveText(dir.filePath("plain.txt")));
    EXPECT_EQ(ReadAll(dir.filePath("plain.txt")), ReadAll(dir.filePath("document.txt")));
  }

  plain.Clear();
  EXPECT_EQ(plain.TextLength(), 0);
  EXPECT_TRUE(plain.Text().empty());
  EXPECT_FALSE(plain.LoadRtf(dir.filePath("missing.rtf")));
  EXPECT_EQ(plain.TextLength(), 0);
}

}  // namespace
