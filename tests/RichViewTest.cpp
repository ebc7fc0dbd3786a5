// The reading box's view: layout of what is on the screen only, long
// paragraphs in parts, the background line count, extreme formats, the scroll
// bar and the switch to the editing view.
#include <gtest/gtest.h>

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <functional>

#include "RTF.h"

namespace {

std::u16string Words(int count) {
  std::u16string text;
  for (int i = 0; i < count; ++i)
    text += u"word" + std::u16string(1, char16_t(u'a' + i % 26)) + u" ";
  return text;
}

void ShowBox(TRichEdit &box, int width = 320, int height = 160) {
  box.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  box.setFixedSize(width, height);
  box.show();
  QCoreApplication::processEvents();
}

bool CountInBackground(TRichEdit &box, int limitMs = 20000) {
  QElapsedTimer clock;
  clock.start();
  while (!box.LinesCounted() && clock.elapsed() < limitMs)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  return box.LinesCounted();
}

}  // namespace

TEST(RichView, TheDocumentIsNeverLaidOutWhole) {
  TRichEdit box;
  for (int i = 0; i < 2000; ++i)
    box.AppendParagraph(u"A paragraph of a book that is never shown.");
  box.GoToCharPos(40000);
  EXPECT_GT(box.TopPosition(), 0);
  // The document's own layout is the one that lays out nothing.
  EXPECT_TRUE(box.document()->documentLayout()->documentSize().isEmpty());
  EXPECT_EQ(box.document()->lastBlock().layout()->lineCount(), 0);
}

TEST(RichView, AGiantParagraphIsLaidOutInParts) {
  TRichEdit box;
  ShowBox(box);
  box.AppendParagraph(u"First.");
  box.AppendParagraph(Words(12000));  // about 72,000 characters: several parts
  box.AppendParagraph(u"Last.");
  const int32_t count = box.LineCount();
  EXPECT_GT(count, 1000);
  // Line starts and lines of positions agree across the parts.
  for (int32_t line : {2, 3, count / 3, count / 2, count - 3}) {
    const int32_t start = box.LineStart(line);
    EXPECT_EQ(box.LineOfChar(start), line) << line;
    EXPECT_EQ(box.LineOfChar(start + 1), line) << line;
    EXPECT_EQ(box.TextRange(start - 1, 1), u" ") << line;  // lines break after spaces
  }
  // Going to a position in the middle shows its line at the top.
  const int32_t middle = 8 + 36000;
  box.GoToCharPos(middle);
  EXPECT_EQ(box.TopLine(), box.LineOfChar(middle));
  EXPECT_LE(box.TopPosition(), middle);
  box.ScrollLines(5);
  EXPECT_EQ(box.TopLine(), box.LineOfChar(middle) + 5);
  box.ScrollToEnd();
  EXPECT_EQ(box.verticalScrollBar()->value(), box.verticalScrollBar()->maximum());
  EXPECT_GT(box.TopLine(), count - 12);
}

TEST(RichView, APartlyScrolledParagraphIsPaintedFromTheTop) {
  TRichEdit box;
  ShowBox(box);
  box.AppendParagraph(Words(400));  // one paragraph of many lines
  box.ScrollLines(4);               // its fifth line at the top
  ASSERT_EQ(box.TopLine(), 4);
  const QImage image = box.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
  // Every band of a line's height holds text: none of the shown lines is left out.
  const int band = 12;
  for (int y0 = 0; y0 + band <= image.height() - band; y0 += band) {
    int dark = 0;
    for (int y = y0; y < y0 + band; ++y)
      for (int x = 0; x < image.width(); ++x)
        dark += qGray(image.pixel(x, y)) < 128;
    EXPECT_GT(dark, 0) << "nothing painted at y " << y0;
  }
}

// The page of a new text comes first: a slice of the count run before it
// would hold the page back by the slice's length.
TEST(RichView, NewTextIsPaintedBeforeItsLinesAreCounted) {
  TRichEdit box;
  for (int i = 0; i < 30000; ++i)
    box.AppendParagraph(u"A line of text that is a paragraph of its own in a long book");
  box.Flush();
  int32_t countedAtPaint = -1;
  struct TFirstPaint : QObject {
    std::function<void()> Seen;
    bool eventFilter(QObject *, QEvent *event) override {
      if (event->type() == QEvent::Paint && Seen) {
        Seen();
        Seen = nullptr;
      }
      return false;
    }
  } probe;
  probe.Seen = [&] { countedAtPaint = box.CountedLines(); };
  box.viewport()->installEventFilter(&probe);
  box.setFixedSize(320, 160);
  box.show();
  QElapsedTimer clock;
  clock.start();
  while (countedAtPaint < 0 && clock.elapsed() < 5000)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  EXPECT_EQ(countedAtPaint, 0);
  // The count then runs as before.
  EXPECT_TRUE(CountInBackground(box));
  EXPECT_GT(box.LineCount(), 30000);
}

TEST(RichView, LinesAreCountedInTheBackground) {
  TRichEdit box;
  ShowBox(box);
  for (int i = 0; i < 30000; ++i)
    box.AppendParagraph(u"A line of text that is a paragraph of its own in a long book");
  box.Flush();
  box.GoToCharPos(box.TextLength() / 2);
  // Nothing was counted to show the middle of the book.
  EXPECT_FALSE(box.LinesCounted());
  EXPECT_EQ(box.TopLineIfCounted(), -1);
  ASSERT_TRUE(CountInBackground(box));
  const int32_t top = box.TopLineIfCounted();
  EXPECT_GT(top, 0);
  EXPECT_EQ(top, box.TopLine());
  EXPECT_EQ(box.CountedLines(), box.LineCount());
  // A change of width starts the count again; the top line's text stays.
  const int32_t position = box.TopPosition();
  box.setFixedSize(220, 160);
  QCoreApplication::processEvents();
  EXPECT_FALSE(box.LinesCounted());
  EXPECT_LE(box.TopPosition(), position);
  EXPECT_GT(box.TopPosition(), position - 80);
  ASSERT_TRUE(CountInBackground(box));
  EXPECT_GT(box.LineCount(), 30000);
}

TEST(RichView, ExtremeFormatsNeitherHangNorOverflow) {
  TRichEdit box;
  ShowBox(box);
  TParaFormat spacing;
  spacing.Extended = true;
  spacing.Mask = PFM_LINESPACING | PFM_SPACEAFTER;
  spacing.LineSpacingRule = 4;
  spacing.LineSpacing = 2000000000;  // an absurd exact spacing
  spacing.SpaceAfter = 2000000000;
  for (int i = 0; i < 20000; ++i)
    box.AppendParagraph(u"Spaced paragraph");
  box.SetSelection(0, -1);
  box.SetParaFormat(spacing);
  box.SetZoom(64, 1);
  box.ScrollToEnd();
  EXPECT_EQ(box.verticalScrollBar()->value(), box.verticalScrollBar()->maximum());
  EXPECT_GT(box.TopPosition(), 0);
  box.GoToCharPos(1000);
  EXPECT_LE(box.TopPosition(), 1000);
  EXPECT_GE(box.LineCount(), 20000);
  EXPECT_EQ(box.GetParaFormat().LineSpacing, 2000000000);
}

TEST(RichView, TheScrollBarMovesTheTopLine) {
  TRichEdit box;
  ShowBox(box);
  for (int i = 0; i < 500; ++i)
    box.AppendParagraph(u"Paragraph " + std::u16string(1, char16_t(u'A' + i % 26)));
  QScrollBar *bar = box.verticalScrollBar();
  box.TopPosition();
  QCoreApplication::processEvents();
  EXPECT_GT(bar->maximum(), 0);
  // The bar counts characters with one for each paragraph end.
  bar->setValue(12 * 100 + 4);  // inside the 101st paragraph
  EXPECT_EQ(box.TopPosition(), 13 * 100);
  EXPECT_EQ(box.TopLine(), 100);
  box.ScrollLines(-1);
  EXPECT_EQ(bar->value(), 12 * 99);
}

TEST(RichView, MouseSelectsAndPageKeysMove) {
  TRichEdit box;
  ShowBox(box);
  for (int i = 0; i < 200; ++i)
    box.AppendParagraph(u"alpha beta gamma");
  const QRect first = box.cursorRect(QTextCursor(box.document()));
  const QPoint start(first.x() + 1, first.center().y());
  QTest::mousePress(box.viewport(), Qt::LeftButton, Qt::NoModifier, start);
  QTest::mouseMove(box.viewport(), QPoint(start.x() + 200, start.y() + first.height()));
  QTest::mouseRelease(box.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(start.x() + 200, start.y() + first.height()));
  EXPECT_TRUE(box.textCursor().selectedText().startsWith("alpha beta gamma"));
  const int32_t top = box.TopLine();
  QTest::keyClick(&box, Qt::Key_PageDown);
  const int32_t page = box.TopLine() - top;
  EXPECT_GT(page, 3);
  QTest::keyClick(&box, Qt::Key_PageUp);
  EXPECT_EQ(box.TopLine(), top);
  QTest::keyClick(&box, Qt::Key_End, Qt::ControlModifier);
  EXPECT_EQ(box.verticalScrollBar()->value(), box.verticalScrollBar()->maximum());
}

TEST(RichView, EditingViewKeepsThePlaceAndTheText) {
  TRichEdit box;
  ShowBox(box, 320, 200);
  for (int i = 0; i < 300; ++i)
    box.AppendParagraph(u"Line number " + std::u16string(1, char16_t(u'0' + i % 10)));
  box.SetModified(false);
  box.GotoLine(120);
  const int32_t top = box.TopPosition();
  box.SetReadOnly(false);
  EXPECT_NEAR(box.TopPosition(), top, 15);
  box.setFocus();
  QTest::keyClicks(&box, "new ");
  EXPECT_TRUE(box.Modified());
  EXPECT_EQ(box.TextRange(top, 4), u"new ");
  box.SetReadOnly(true);
  EXPECT_NEAR(box.TopPosition(), top, 15);
  EXPECT_TRUE(box.document()->documentLayout()->documentSize().isEmpty());
  EXPECT_EQ(box.TextRange(top, 16), u"new Line number ");
}

TEST(RichView, TextTooTallForTheEditingViewStaysReadable) {
  TRichEdit box;
  ShowBox(box);
  for (int i = 0; i < 40000; ++i)
    box.AppendParagraph(u"Paragraph of a long book");
  int stopped = 0;
  QObject::connect(&box, &TRichEdit::EditingStopped, [&] { ++stopped; });
  box.SetReadOnly(false);  // fits at zoom 1
  EXPECT_FALSE(box.ReadOnly());
  box.GotoLine(30000);
  box.SetModified(false);
  box.setFocus();
  QTest::keyClicks(&box, "x");
  EXPECT_TRUE(box.Modified());
  // A zoom that would take the toolkit's layout past its range closes the
  // editing view instead; the edit and the place are kept.
  const int32_t top = box.TopPosition();
  box.SetZoom(64, 1);
  EXPECT_EQ(stopped, 1);
  EXPECT_TRUE(box.ReadOnly());
  EXPECT_EQ(box.cursorWidth(), 0);
  EXPECT_TRUE(box.Modified());
  EXPECT_NEAR(box.TopPosition(), top, 30);
  // Asked for again at that size, editing is refused.
  box.SetReadOnly(false);
  EXPECT_EQ(stopped, 2);
  EXPECT_TRUE(box.ReadOnly());
}

TEST(RichView, TheLineUnderThePointerNeedsNoLineCount) {
  TRichEdit box;
  ShowBox(box, 700);
  for (int i = 0; i < 30000; ++i)
    box.AppendParagraph(u"Measure 12.5 cm of paragraph " + std::u16string(1, char16_t(u'A' + i % 26)));
  box.Flush();
  const int32_t far = 32 * 25000 + 10;  // inside paragraph 25,000
  int32_t start = 0, end = 0;
  box.LineRangeOf(far, start, end);
  EXPECT_EQ(start, 32 * 25000);
  EXPECT_EQ(end, 32 * 25001);
  EXPECT_EQ(box.TextRange(start, 12), u"Measure 12.5");
  EXPECT_FALSE(box.LinesCounted());
  box.LineRangeOf(box.TextLength(), start, end);
  EXPECT_EQ(end, box.TextLength());
}
