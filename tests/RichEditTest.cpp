// The reading box: text, positions, formats, zoom, links, lines and search.
#include "RTF.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTest>
#include <gtest/gtest.h>

namespace {

std::u16string U(const char16_t *s) { return std::u16string(s); }

TCharFormat FullChar() {
  TCharFormat f;
  f.Extended = true;
  f.Mask = CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_STRIKEOUT | CFM_SPACING | CFM_BACKCOLOR | CFM_FACE |
           CFM_COLOR | CFM_SIZE;
  f.FaceName = "DejaVu Serif";
  f.HeightTwips = 320;
  f.TextColor = 0x00123456;
  return f;
}

}  // namespace

TEST(RichEdit, AppendTextAndPositions) {
  TRichEdit box;
  box.AppendParagraph(u"First");
  box.AppendParagraph(u"Second line");
  box.AppendParagraph(u"Third");
  EXPECT_EQ(box.Text(), U(u"First\r\nSecond line\r\nThird\r\n"));
  EXPECT_EQ(box.TextLength(), 5 + 2 + 11 + 2 + 5 + 2);
  // Inside the third paragraph: rich 20 = "Third"[1]; Qt counts one less per paragraph end.
  EXPECT_EQ(box.RichToQt(21), 19);
  EXPECT_EQ(box.QtToRich(19), 21);
  // At a paragraph end: the CR and the LF both map to the Qt paragraph separator.
  EXPECT_EQ(box.RichToQt(5), 5);
  EXPECT_EQ(box.RichToQt(6), 5);
  EXPECT_EQ(box.RichToQt(7), 6);
  EXPECT_EQ(box.QtToRich(6), 7);
  // The end of the text.
  EXPECT_EQ(box.QtToRich(box.document()->characterCount() - 1), box.TextLength());
  EXPECT_EQ(box.RichToQt(box.TextLength()), box.document()->characterCount() - 1);
  EXPECT_EQ(box.RichToQt(1 << 30), box.document()->characterCount() - 1);

  box.SetSelection(7, 6);
  int32_t start = 0, length = 0;
  box.GetSelection(start, length);
  EXPECT_EQ(start, 7);
  EXPECT_EQ(length, 6);
  EXPECT_EQ(box.SelectedText(), U(u"Second"));
  EXPECT_EQ(box.TextRange(3, 6), U(u"st\r\nSe"));

  box.Clear();
  EXPECT_EQ(box.Text(), U(u""));
  EXPECT_EQ(box.TextLength(), 0);
}

TEST(RichEdit, ModifiedAndReadOnly) {
  TRichEdit box;
  EXPECT_FALSE(box.Modified());
  box.AppendParagraph(u"Text");
  EXPECT_TRUE(box.Modified());
  box.SetModified(false);
  box.Text();  // putting the buffered text in does not count as an edit
  EXPECT_FALSE(box.Modified());
  box.SetReadOnly(true);
  EXPECT_TRUE(box.ReadOnly());
  EXPECT_EQ(box.cursorWidth(), 0);
  box.SetReadOnly(false);
  EXPECT_EQ(box.cursorWidth(), 1);
  box.show();
  box.setFocus();
  QTest::keyClicks(&box, "x");
  EXPECT_TRUE(box.Modified());
}

TEST(RichEdit, CharFormatOnSelectionAndAll) {
  TRichEdit box;
  TCharFormat base = FullChar();
  box.SetCharFormat(base, true);
  box.AppendParagraph(u"Plain words here");
  box.AppendParagraph(u"Second paragraph");
  TCharFormat bold;
  bold.Mask = CFM_BOLD | CFM_COLOR | CFM_BACKCOLOR | CFM_SPACING;
  bold.Extended = true;
  bold.Effects = CFE_BOLD;
  bold.TextColor = 0x000000FF;
  bold.BackColor = 0x0000FF00;
  bold.SpacingTwips = -57;
  box.SetSelection(6, 5);  // "words", still buffered
  box.SetCharFormat(bold, false);

  box.SetSelection(6, 5);
  TCharFormat got = box.GetCharFormat();
  EXPECT_EQ(got.FaceName, "DejaVu Serif");
  EXPECT_EQ(got.HeightTwips, 320);
  EXPECT_EQ(got.Effects & (CFE_BOLD | CFE_ITALIC), CFE_BOLD);
  EXPECT_EQ(got.TextColor, 0x000000FFu);
  EXPECT_EQ(got.BackColor, 0x0000FF00u);
  EXPECT_EQ(got.SpacingTwips, -57);
  EXPECT_EQ(got.Mask & CFM_BOLD, CFM_BOLD);

  // A selection over differing text leaves the differing fields out of the mask.
  box.SetSelection(0, 11);
  got = box.GetCharFormat();
  EXPECT_EQ(got.Mask & (CFM_BOLD | CFM_COLOR), 0u);
  EXPECT_EQ(got.Mask & CFM_FACE, CFM_FACE);

  // Without the extended structure, spacing and back colour are not set.
  TCharFormat plain;
  plain.Mask = CFM_SPACING | CFM_BACKCOLOR | CFM_ITALIC;
  plain.Effects = CFE_ITALIC;
  plain.SpacingTwips = 100;
  plain.BackColor = NoBackColor;
  box.SetSelection(18, 6);
  box.SetCharFormat(plain, false);
  got = box.GetCharFormat();
  EXPECT_TRUE(got.Effects & CFE_ITALIC);
  EXPECT_EQ(got.SpacingTwips, 0);

  // All text: the size changes everywhere, other fields stay.
  TCharFormat size;
  size.Mask = CFM_SIZE;
  size.HeightTwips = 400;
  box.SetCharFormat(size, true);
  box.SetSelection(6, 5);
  got = box.GetCharFormat();
  EXPECT_EQ(got.HeightTwips, 400);
  EXPECT_TRUE(got.Effects & CFE_BOLD);
  // Text appended afterwards takes the format set on all text.
  box.AppendParagraph(u"Later");
  box.SetSelection(box.TextLength() - 7, 5);
  EXPECT_EQ(box.SelectedText(), U(u"Later"));
  got = box.GetCharFormat();
  EXPECT_EQ(got.HeightTwips, 400);
  EXPECT_EQ(got.FaceName, "DejaVu Serif");
}

TEST(RichEdit, ParaFormatUnitsAndReadBack) {
  TRichEdit box;
  box.AppendParagraph(u"One");
  box.AppendParagraph(u"Two");
  TParaFormat p;
  p.Extended = true;
  p.Mask = PFM_STARTINDENT | PFM_OFFSET | PFM_RIGHTINDENT | PFM_ALIGNMENT | PFM_SPACEAFTER | PFM_LINESPACING |
           PFM_TABSTOPS;
  p.StartIndent = 576;
  p.Offset = -576;
  p.RightIndent = 288;
  p.Alignment = PFA_JUSTIFY;
  p.SpaceAfter = 288;
  p.LineSpacingRule = 5;
  p.LineSpacing = 24;
  p.TabCount = MAX_TAB_STOPS;
  for (int k = 0; k < MAX_TAB_STOPS; ++k)
    p.Tabs[k] = 576 + 864 * k;
  box.SetSelection(0, 0);
  box.SetParaFormat(p);
  box.Flush();

  QTextBlockFormat shown = box.document()->firstBlock().blockFormat();
  double dpi = box.logicalDpiY();
  EXPECT_NEAR(shown.leftMargin(), 0, 0.01);
  EXPECT_NEAR(shown.textIndent(), 576 * dpi / 1440, 0.01);
  EXPECT_NEAR(shown.rightMargin(), 288 * dpi / 1440, 0.01);
  EXPECT_NEAR(shown.bottomMargin(), 288 * dpi / 1440, 0.01);
  EXPECT_EQ(shown.lineHeightType(), int(QTextBlockFormat::ProportionalHeight));
  EXPECT_NEAR(shown.lineHeight(), 120, 0.01);
  EXPECT_EQ(shown.alignment() & Qt::AlignHorizontal_Mask, Qt::AlignJustify);
  // Shown tab stops count from the first line's start; the stop at the start itself goes.
  ASSERT_EQ(shown.tabPositions().size(), MAX_TAB_STOPS - 1);
  EXPECT_NEAR(shown.tabPositions()[0].position, 864 * dpi / 1440, 0.01);

  TParaFormat got = box.GetParaFormat();
  EXPECT_EQ(got.StartIndent, 576);
  EXPECT_EQ(got.Offset, -576);
  EXPECT_EQ(got.RightIndent, 288);
  EXPECT_EQ(got.Alignment, PFA_JUSTIFY);
  EXPECT_EQ(got.SpaceAfter, 288);
  EXPECT_EQ(got.LineSpacingRule, 5);
  EXPECT_EQ(got.LineSpacing, 24);
  EXPECT_EQ(got.TabCount, MAX_TAB_STOPS);
  EXPECT_EQ(got.Tabs, p.Tabs);
  // The second paragraph was not touched.
  box.SetSelection(5, 0);
  EXPECT_EQ(box.GetParaFormat().Alignment, PFA_LEFT);

  // Only the start indent: the offset of the paragraph stays.
  TParaFormat start;
  start.Mask = PFM_STARTINDENT;
  start.StartIndent = 1440;
  box.SetSelection(0, 0);
  box.SetParaFormat(start);
  got = box.GetParaFormat();
  EXPECT_EQ(got.StartIndent, 1440);
  EXPECT_EQ(got.Offset, -576);
}

TEST(RichEdit, ZoomKeepsTrueFormats) {
  TRichEdit box;
  TCharFormat f = FullChar();
  f.SpacingTwips = 60;
  box.SetCharFormat(f, true);
  box.AppendParagraph(u"Zoomed text");
  TParaFormat p;
  p.Mask = PFM_STARTINDENT | PFM_OFFSET;
  p.StartIndent = 720;
  box.SetSelection(0, 0);
  box.SetParaFormat(p);
  box.SetZoom(200, 100);
  EXPECT_DOUBLE_EQ(box.Zoom(), 2.0);
  box.SetSelection(0, 6);
  TCharFormat got = box.GetCharFormat();
  EXPECT_EQ(got.HeightTwips, 320);
  EXPECT_EQ(got.SpacingTwips, 60);
  EXPECT_EQ(box.GetParaFormat().StartIndent, 720);
  // What is shown is twice as large: the view scales it while reading...
  box.resize(400, 200);
  box.show();
  QTextCursor c(box.document());
  c.setPosition(2);
  EXPECT_DOUBLE_EQ(c.charFormat().fontPointSize(), 16.0);
  const int zoomedHeight = box.cursorRect(c).height();
  box.SetZoom(0, 0);
  EXPECT_NEAR(box.cursorRect(c).height() * 2.0, zoomedHeight, 2);
  // ... and the editing view shows it through the document's formats.
  box.SetZoom(200, 100);
  box.SetReadOnly(false);
  c.setPosition(2);
  EXPECT_DOUBLE_EQ(c.charFormat().fontPointSize(), 32.0);
  EXPECT_NEAR(box.document()->firstBlock().blockFormat().leftMargin(), 2 * 720 * box.logicalDpiY() / 1440.0, 0.01);
  box.SetSelection(0, 6);
  EXPECT_EQ(box.GetCharFormat().HeightTwips, 320);
  box.SetZoom(0, 0);
  c.setPosition(2);
  EXPECT_DOUBLE_EQ(c.charFormat().fontPointSize(), 16.0);
  box.SetZoom(200, 100);
  box.SetReadOnly(true);
  c.setPosition(2);
  EXPECT_DOUBLE_EQ(c.charFormat().fontPointSize(), 16.0);
  EXPECT_EQ(box.GetParaFormat().StartIndent, 720);
}

TEST(RichEdit, LinksAreDetected) {
  TRichEdit box;
  box.AppendParagraph(u"See http://example.org/a, or www.example.org.");
  box.AppendParagraph(u"Not example.org nor news: items");
  box.Text();
  auto anchorAt = [&](int32_t rich) {
    QTextCursor c(box.document());
    c.setPosition(box.RichToQt(rich) + 1);
    return c.charFormat().isAnchor();
  };
  EXPECT_TRUE(anchorAt(4));
  EXPECT_TRUE(anchorAt(21));
  EXPECT_TRUE(anchorAt(23));
  EXPECT_FALSE(anchorAt(24));  // the comma after the address
  EXPECT_TRUE(anchorAt(29));
  EXPECT_TRUE(anchorAt(43));
  EXPECT_FALSE(anchorAt(44));  // the closing full stop
  int32_t second = 48;
  for (int32_t i = second; i < second + 30; ++i)
    EXPECT_FALSE(anchorAt(i)) << i;
  // Read back, the link keeps its true format and says it is a link.
  box.SetSelection(4, 5);
  TCharFormat got = box.GetCharFormat();
  EXPECT_TRUE(got.Effects & CFE_LINK);
  EXPECT_FALSE(got.Effects & CFE_UNDERLINE);
}

TEST(RichEdit, LinkPressSignalsRangeAndText) {
  TRichEdit box;
  box.resize(400, 200);
  box.show();
  box.AppendParagraph(u"Go to http://example.org/a now");
  TCharFormat bold;
  bold.Mask = CFM_BOLD;
  bold.Effects = CFE_BOLD;
  box.SetSelection(13, 7);  // a link in two formats is still one link
  box.SetCharFormat(bold, false);
  box.Text();
  QTextCursor c(box.document());
  c.setPosition(10);
  QPoint point = box.cursorRect(c).center() + QPoint(2, 0);
  int32_t start = -1, length = -1;
  QString text;
  QObject::connect(&box, &TRichEdit::LinkPressed, [&](int32_t s, int32_t l, const QString &t) {
    start = s;
    length = l;
    text = t;
  });
  QTest::mouseClick(box.viewport(), Qt::LeftButton, Qt::NoModifier, point);
  EXPECT_EQ(start, 6);
  EXPECT_EQ(length, 20);
  EXPECT_EQ(text, QStringLiteral("http://example.org/a"));
}

TEST(RichEdit, FindTextContinuesAndDoesNotWrap) {
  TRichEdit box;
  box.AppendParagraph(u"Alpha beta");
  box.AppendParagraph(u"gamma BETA delta");
  box.SetSelection(0, 0);
  EXPECT_TRUE(box.FindText(QStringLiteral("beta")));
  int32_t s, l;
  box.GetSelection(s, l);
  EXPECT_EQ(s, 6);
  EXPECT_EQ(l, 4);
  EXPECT_TRUE(box.FindText(QStringLiteral("beta")));
  box.GetSelection(s, l);
  EXPECT_EQ(s, 18);
  EXPECT_FALSE(box.FindText(QStringLiteral("beta")));
  box.GetSelection(s, l);
  EXPECT_EQ(s, 18);  // nothing changes without a match
  EXPECT_FALSE(box.FindText(QStringLiteral("alpha")));
}

class RichEditLines : public ::testing::Test {
protected:
  void SetUp() override {
    box.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont font = box.font();
    font.setPointSize(10);
    box.document()->setDefaultFont(font);
    box.setFixedSize(300, 70);
    box.show();
    for (int i = 0; i < 60; ++i)
      box.AppendParagraph(u"Paragraph " + std::u16string(1, char16_t(u'A' + i % 26)));
    box.AppendParagraph(u"A long paragraph that wraps over several display lines because it holds many words "
                        u"and the box is narrow.");
  }
  TRichEdit box;
};

TEST_F(RichEditLines, CountsAndPositions) {
  int32_t count = box.LineCount();
  EXPECT_GT(count, 63);  // 60 one-line paragraphs, a wrapped one and the empty last
  EXPECT_EQ(box.LineStart(0), 0);
  EXPECT_EQ(box.LineStart(1), 13);
  EXPECT_EQ(box.LineOfChar(13), 1);
  EXPECT_EQ(box.LineOfChar(12), 0);
  int32_t wrapped = 60 * 13;
  EXPECT_EQ(box.LineOfChar(wrapped), 60);
  EXPECT_GT(box.LineStart(61), wrapped);
  EXPECT_EQ(box.LineOfChar(box.LineStart(61)), 61);
  EXPECT_EQ(box.LineOfChar(box.TextLength()), count - 1);
}

TEST_F(RichEditLines, ScrollAndGoto) {
  EXPECT_EQ(box.TopLine(), 0);
  box.ScrollLines(3);
  EXPECT_EQ(box.TopLine(), 3);
  box.ScrollLines(-2);
  EXPECT_EQ(box.TopLine(), 1);
  box.GotoLine(20);
  EXPECT_EQ(box.TopLine(), 20);
  int32_t s, l;
  box.GetSelection(s, l);
  EXPECT_EQ(s, box.LineStart(20));
  EXPECT_EQ(l, 0);
  box.ScrollToEnd();
  EXPECT_EQ(box.verticalScrollBar()->value(), box.verticalScrollBar()->maximum());
  // The caret was at line 20, out of view: it moved to the line after the top one.
  box.GetSelection(s, l);
  EXPECT_EQ(s, box.LineStart(box.TopLine() + 1));
}

TEST_F(RichEditLines, GoToCharPosNearTheEnd) {
  int32_t count = box.LineCount();
  box.GoToCharPos(box.LineStart(count - 5) + 1);
  EXPECT_EQ(box.TopLine(), count - 5);
  box.GotoLine(0);
  box.GoToCharPos(box.LineStart(count - 4));
  EXPECT_EQ(box.verticalScrollBar()->value(), box.verticalScrollBar()->maximum());
  box.GoToCharPos(0);
  EXPECT_EQ(box.TopLine(), 0);
  box.GoToCharPos(-1);
  EXPECT_EQ(box.TopLine(), 0);
}

TEST_F(RichEditLines, CharFromPoint) {
  box.GotoLine(10);
  int32_t p = box.CharFromPoint(QPoint(1, 2));
  EXPECT_EQ(box.LineOfChar(p), 10);
}

TEST(RichEdit, LargeAppendKeepsTheBoxState) {
  // The enhancement engine's way: base formats on the empty box, then a whole
  // book one paragraph at a time, formats on a few ranges.
  TRichEdit box;
  box.SetReadOnly(true);
  TCharFormat base = FullChar();
  box.SetCharFormat(base, true);
  TParaFormat para;
  para.Extended = true;
  para.Mask = PFM_STARTINDENT | PFM_OFFSET | PFM_SPACEAFTER;
  para.StartIndent = 576;
  para.Offset = -576;
  para.SpaceAfter = 288;
  box.SetSelection(0, 0);
  box.SetParaFormat(para);
  TCharFormat bold;
  bold.Mask = CFM_BOLD;
  bold.Effects = CFE_BOLD;
  int32_t position = 0;
  for (int i = 0; i < 3000; ++i) {
    std::u16string text = u"Paragraph number " + std::u16string(1, char16_t(u'0' + i % 10));
    box.AppendParagraph(text);
    if (i == 2500) {
      box.SetSelection(position, int32_t(text.size()));
      box.SetCharFormat(bold, false);
    }
    box.SetModified(false);
    position += int32_t(text.size()) + 2;
  }
  box.SetSelection(0, 0);
  EXPECT_EQ(box.TextLength(), position);
  EXPECT_FALSE(box.Modified());
  EXPECT_EQ(box.cursorWidth(), 0);
  EXPECT_TRUE(box.ReadOnly());
  int32_t s, l;
  box.GetSelection(s, l);
  EXPECT_EQ(s, 0);
  EXPECT_EQ(l, 0);
  box.SetSelection(2500 * 20 + 3, 4);
  TCharFormat got = box.GetCharFormat();
  EXPECT_TRUE(got.Effects & CFE_BOLD);
  EXPECT_EQ(got.FaceName, "DejaVu Serif");
  EXPECT_EQ(box.GetParaFormat().SpaceAfter, 288);
  box.SetSelection(2499 * 20 + 3, 4);
  EXPECT_FALSE(box.GetCharFormat().Effects & CFE_BOLD);
  EXPECT_EQ(box.GetParaFormat().StartIndent, 576);
}

TEST(RichEdit, MarginsAndLinksTypedByTheReader) {
  TRichEdit box;
  box.resize(300, 200);
  box.show();
  box.SetMargins(15, 25);
  // The document's own margin lies inside the box's margins, as the reading view draws it.
  const double inside = box.document()->documentMargin();
  QTextFrameFormat ff = box.document()->rootFrame()->frameFormat();
  EXPECT_DOUBLE_EQ(ff.leftMargin(), 15 + inside);
  EXPECT_DOUBLE_EQ(ff.rightMargin(), 25 + inside);
  EXPECT_EQ(box.LeftMargin(), 15);
  box.Clear();  // margins stay with the box
  EXPECT_DOUBLE_EQ(box.document()->rootFrame()->frameFormat().leftMargin(), 15 + inside);

  box.SetReadOnly(false);
  box.setFocus();
  QTest::keyClicks(&box, "see www.example.org now");
  QCoreApplication::processEvents();
  QTextCursor c(box.document());
  c.setPosition(6);
  EXPECT_TRUE(c.charFormat().isAnchor());
  c.setPosition(21);
  EXPECT_FALSE(c.charFormat().isAnchor());
  EXPECT_TRUE(box.Modified());
}

TEST(RichEdit, LinesRightAfterALargeAppend) {
  TRichEdit box;
  box.setFixedSize(300, 120);
  box.show();
  for (int i = 0; i < 4000; ++i)
    box.AppendParagraph(u"A line of text that is a paragraph");
  box.GotoLine(3500);
  EXPECT_EQ(box.TopLine(), 3500);
  box.GoToCharPos(box.LineStart(100) + 3);
  EXPECT_EQ(box.TopLine(), 100);
}

TEST(RichEdit, GoToCharPosBeforeTheBookIsLaidOut) {
  // The position is placed with only part of the book laid out: the scroll
  // range must already reach it, and a wrapped line must be found.
  TRichEdit box;
  box.setFixedSize(300, 120);
  box.show();
  for (int i = 0; i < 6000; ++i)
    box.AppendParagraph(i % 10 ? u"A line of text that is a paragraph"
                               : u"A long paragraph that wraps over several display lines because it holds "
                                 u"many words and the box is narrow.");
  for (int32_t target : {120000, 1000}) {
    box.GoToCharPos(target);
    int32_t line = box.LineOfChar(target);
    EXPECT_EQ(box.TopLine(), line) << target;
    int32_t s, l;
    box.GetSelection(s, l);
    EXPECT_EQ(s, box.LineStart(line)) << target;
  }
}

TEST_F(RichEditLines, ZoomKeepsTheTopLine) {
  box.GotoLine(30);
  int32_t top = box.LineStart(box.TopLine());
  box.SetZoom(150, 100);
  EXPECT_EQ(box.LineStart(box.TopLine()), top);
  box.SetZoom(1, 1);
  EXPECT_EQ(box.LineStart(box.TopLine()), top);
}
