// Whole-text formats on a long shown text: the paragraphs around the screen
// get the format at once, the rest between events, and nothing that reads or
// changes the document sees a half-done change.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTextBlock>
#include <QTextDocument>

#include "RTF.h"

namespace {

constexpr int Paragraphs = 4000;  // about 400,000 characters: long enough to be done in slices

void FillAndShow(TRichEdit &box) {
  for (int i = 0; i < Paragraphs; ++i)
    box.AppendParagraph(u"Paragraph " + std::u16string(1, char16_t(u'a' + i % 26)) +
                        u" of a long book, with words enough to fill most of one line of the box.");
  box.setFixedSize(480, 240);
  box.show();
  box.GoToCharPos(200000);  // the middle of the book
  QCoreApplication::processEvents();
}

TParaFormat Spacing(int percent) {
  TParaFormat f;
  f.Extended = true;
  f.Mask = PFM_LINESPACING;
  f.LineSpacingRule = 5;
  f.LineSpacing = percent / 5;
  return f;
}

void SetSpacingAll(TRichEdit &box, int percent) {
  box.SetSelection(0, INT32_MAX);
  box.SetParaFormat(Spacing(percent));
  box.SetSelection(0, 0);
}

double HeightOf(const QTextDocument *doc, int block) { return doc->findBlockByNumber(block).blockFormat().lineHeight(); }

bool SettleDown(TRichEdit &box) {
  QElapsedTimer clock;
  clock.start();
  while (!box.LinesCounted() && clock.elapsed() < 20000)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  return box.LinesCounted();
}

}  // namespace

TEST(RichDeferred, TheScreenFirstThenTheRestBetweenEvents) {
  TRichEdit box;
  FillAndShow(box);
  const QTextDocument *doc = box.document();
  const int top = doc->findBlock(box.RichToQt(box.TopPosition())).blockNumber();
  SetSpacingAll(box, 200);
  box.SetModified(false);
  // The paragraphs on the screen have it at once; the first ones of the book not yet.
  for (int k = 0; k < 5; ++k)
    EXPECT_EQ(HeightOf(doc, top + k), 200) << k;
  EXPECT_NE(HeightOf(doc, 0), 200);
  EXPECT_FALSE(box.LinesCounted());  // no final count before the rest is done
  ASSERT_TRUE(SettleDown(box));
  for (int block : {0, 1, top - 1, top + 200, Paragraphs - 1})
    EXPECT_EQ(HeightOf(doc, block), 200) << block;
  EXPECT_FALSE(box.Modified());  // the slices leave the modified flag alone
}

TEST(RichDeferred, ReadersAndWritersSeeTheWholeChange) {
  TRichEdit box;
  FillAndShow(box);
  box.SetModified(false);
  SetSpacingAll(box, 150);
  // A second change while the first is still going on: the second wins everywhere.
  SetSpacingAll(box, 250);
  box.SetSelection(5, 0);
  EXPECT_EQ(box.GetParaFormat().LineSpacing, 250 / 5);  // read at once: the change is complete
  const QTextDocument *doc = box.document();
  for (int block : {0, 1999, Paragraphs - 1})
    EXPECT_EQ(HeightOf(doc, block), 250) << block;
  // Text appended while a change is going on keeps its place and the change.
  SetSpacingAll(box, 300);
  box.AppendParagraph(u"An appended paragraph.");
  EXPECT_EQ(box.TextRange(box.TextLength() - 24, 24), u"An appended paragraph.\r\n");
  ASSERT_TRUE(SettleDown(box));
  EXPECT_EQ(HeightOf(doc, 0), 300);
  // Emptying the box during a change leaves nothing to do on the new text.
  SetSpacingAll(box, 120);
  box.Clear();
  box.AppendParagraph(u"Short.");
  EXPECT_TRUE(SettleDown(box));
  EXPECT_EQ(box.Text(), u"Short.\r\n");
}

TEST(RichDeferred, FontSizeOnTheWholeTextKeepsTheTopLine) {
  TRichEdit box;
  FillAndShow(box);
  const int32_t top = box.TopPosition();
  TCharFormat size;
  size.Mask = CFM_SIZE;
  size.HeightTwips = 20 * 20;
  box.SetCharFormat(size, true);
  // The old top line's first character stays on the top line.
  EXPECT_LE(box.TopPosition(), top);
  EXPECT_GT(box.TopPosition(), top - 60);
  ASSERT_TRUE(SettleDown(box));
  const QTextDocument *doc = box.document();
  for (int block : {0, Paragraphs / 2, Paragraphs - 1})
    EXPECT_EQ(doc->findBlockByNumber(block).begin().fragment().charFormat().fontPointSize(), 20) << block;
  EXPECT_LE(box.TopPosition(), top);
  EXPECT_GT(box.TopPosition(), top - 60);
}
