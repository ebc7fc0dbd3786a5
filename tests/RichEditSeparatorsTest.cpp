// Characters that the document model would take as paragraph or frame breaks
// keep the positions of the book exact.
#include "RTF.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <gtest/gtest.h>

namespace {

const std::u16string Breaks = u"a\u2029b\u2028c\uFDD0d\uFDD1e";

TEST(RichEditSeparators, BookParagraphsKeepTheirPositions) {
  TRichEdit box;
  box.AppendParagraph(Breaks);
  box.AppendParagraph(u"Chapter 2");
  EXPECT_EQ(box.Text(), u"a b c d e\r\nChapter 2\r\n");
  EXPECT_EQ(box.TextLength(), 9 + 2 + 9 + 2);
  EXPECT_EQ(box.document()->blockCount(), 3);  // two paragraphs and the empty last one
  EXPECT_EQ(box.TextRange(11, 9), u"Chapter 2");
  // A format at a position lands on the characters the position names.
  TCharFormat bold;
  bold.Mask = CFM_BOLD;
  bold.Effects = CFE_BOLD;
  box.SetSelection(11, 7);
  box.SetCharFormat(bold, false);
  QTextCursor c(box.document()->findBlockByNumber(1));
  c.movePosition(QTextCursor::Right);
  EXPECT_EQ(c.charFormat().fontWeight(), QFont::Bold);
}

TEST(RichEditSeparators, LoadedTextAndRtfKeepTheirPositions) {
  QTemporaryDir dir;
  const QString txt = dir.filePath("book.txt"), rtf = dir.filePath("book.rtf");
  {
    QFile f(txt);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QString::fromStdU16String(Breaks).toUtf8() + "\nnext");
  }
  {
    QFile f(rtf);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("{\\rtf1\\ansi x\\u8233?y\\u64976?z\\u64977?w\\par next\\par}");
  }
  TRichEdit box;
  ASSERT_TRUE(box.LoadText(txt));
  EXPECT_EQ(box.Text(), u"a b\u2028c d e\r\nnext");
  ASSERT_TRUE(box.LoadRtf(rtf));
  EXPECT_EQ(box.document()->blockCount(), 3);
  EXPECT_EQ(box.TextRange(0, 7), u"x\u2028y z w");
  EXPECT_EQ(box.TextRange(9, 4), u"next");
}

}  // namespace
