// Merged paragraphs: a document that keeps many paragraphs in one block must
// answer exactly as one with a block per paragraph — positions, text, files,
// formats, layout, line numbers and find. The merging threshold is lowered so
// that small documents merge.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>

#include "RTF.h"
#include "RichMerged.h"

namespace {

// Lowers the merging threshold for the life of the object.
struct TMergeEarly {
  explicit TMergeEarly(int blocks) { RichMerged::SetMergeAfterBlocks(blocks); }
  ~TMergeEarly() { RichMerged::SetMergeAfterBlocks(200000); }
};

std::vector<std::u16string> Paragraphs(int count) {
  std::vector<std::u16string> out;
  for (int i = 0; i < count; ++i) {
    switch (i % 5) {
    case 0: out.push_back(u"a"); break;
    case 1: out.push_back(u""); break;
    case 2: out.push_back(u"gamma delta " + std::u16string(1, char16_t(u'a' + i % 26))); break;
    case 3: out.push_back(u"see www.example.com/" + std::u16string(1, char16_t(u'a' + i % 26))); break;
    default: out.push_back(u"a longer paragraph that takes more than one line in a narrow box, " + std::u16string(i % 7, u'x')); break;
    }
  }
  return out;
}

TParaFormat IndentedFormat() {
  TParaFormat f;
  f.Extended = true;
  f.Mask = PFM_STARTINDENT | PFM_OFFSET | PFM_SPACEAFTER | PFM_SPACEBEFORE;
  f.StartIndent = 600;
  f.Offset = -300;
  f.SpaceAfter = 240;
  f.SpaceBefore = 60;
  return f;
}

// A box holding the paragraphs, merged after `mergeAfter` blocks (0: never).
void Fill(TRichEdit &box, const std::vector<std::u16string> &paragraphs, int mergeAfter) {
  TMergeEarly early(mergeAfter > 0 ? mergeAfter : 1 << 30);
  box.SetSelection(0, -1);
  box.SetParaFormat(IndentedFormat());
  for (const auto &p : paragraphs)
    box.AppendParagraph(p);
  box.Flush();
}

void Show(TRichEdit &box) {
  box.setFixedSize(300, 400);
  box.show();
  QCoreApplication::processEvents();
}

QByteArray ReadAll(const QString &path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

TEST(RichMerged, PositionsAndTextMatchABlockPerParagraph) {
  const auto paragraphs = Paragraphs(3000);  // more than 4096 characters: a new document is built
  TRichEdit merged, plain;
  Fill(merged, paragraphs, 100);
  Fill(plain, paragraphs, 0);
  ASSERT_TRUE(RichMerged::HoldsMerged(merged.document()));
  EXPECT_LT(merged.document()->blockCount(), 400);
  EXPECT_EQ(plain.document()->blockCount(), 3001);
  EXPECT_EQ(merged.document()->characterCount(), plain.document()->characterCount());

  EXPECT_EQ(merged.Text(), plain.Text());
  ASSERT_EQ(merged.TextLength(), plain.TextLength());
  const int32_t length = plain.TextLength();
  for (int32_t p = 0; p <= length; p += 7) {
    // A rich position goes to the same character; one between CR and LF to the end.
    ASSERT_EQ(merged.RichToQt(p), plain.RichToQt(p)) << p;
    ASSERT_EQ(merged.QtToRich(merged.RichToQt(p)), plain.QtToRich(plain.RichToQt(p))) << p;
    ASSERT_EQ(merged.TextRange(p, 9), plain.TextRange(p, 9)) << p;
  }
  merged.SetSelection(1234, 567);
  plain.SetSelection(1234, 567);
  EXPECT_EQ(merged.SelectedText(), plain.SelectedText());
  int32_t s = 0, l = 0;
  merged.GetSelection(s, l);
  EXPECT_EQ(s, 1234);
  EXPECT_EQ(l, 567);

  // Appending more to a merged document keeps the count right.
  merged.AppendParagraph(u"tail");
  plain.AppendParagraph(u"tail");
  EXPECT_EQ(merged.Text(), plain.Text());
  EXPECT_EQ(merged.TextLength(), plain.TextLength());
}

TEST(RichMerged, TextAndRtfFilesAreWrittenAsForSeparateParagraphs) {
  const auto paragraphs = Paragraphs(1500);
  TRichEdit merged, plain;
  Fill(merged, paragraphs, 50);
  Fill(plain, paragraphs, 0);
  QTemporaryDir dir;
  const QString a = dir.filePath("a.txt"), b = dir.filePath("b.txt");
  ASSERT_TRUE(merged.SaveText(a));
  ASSERT_TRUE(plain.SaveText(b));
  EXPECT_EQ(ReadAll(a), ReadAll(b));
  EXPECT_EQ(ReadAll(a).count('\n'), 1500);

  // The RTF of the merged document has a \par for every paragraph and no \line.
  const QString rtf = dir.filePath("m.rtf");
  ASSERT_TRUE(merged.SaveRtf(rtf));
  const QByteArray written = ReadAll(rtf);
  EXPECT_EQ(written.count("\\par\n"), 1500);
  EXPECT_FALSE(written.contains("\\line"));

  // Read back, merged or not, it is the same text with the same paragraph formats.
  for (int mergeAfter : {0, 40}) {
    TMergeEarly early(mergeAfter > 0 ? mergeAfter : 1 << 30);
    TRichEdit back;
    ASSERT_TRUE(back.LoadRtf(rtf));
    EXPECT_EQ(RichMerged::HoldsMerged(back.document()), mergeAfter > 0);
    EXPECT_EQ(back.Text(), plain.Text()) << mergeAfter;
    for (int32_t p : {0, 5000, back.TextLength() - 3}) {
      back.SetSelection(p, 0);
      plain.SetSelection(p, 0);
      EXPECT_EQ(back.GetParaFormat().StartIndent, plain.GetParaFormat().StartIndent) << p;
      EXPECT_EQ(back.GetParaFormat().SpaceAfter, plain.GetParaFormat().SpaceAfter) << p;
    }
  }
}

TEST(RichMerged, RtfLineBreaksStayLineBreaks) {
  QTemporaryDir dir;
  const QString path = dir.filePath("breaks.rtf");
  QByteArray rtf = "{\\rtf1 ";
  for (int i = 0; i < 400; ++i)
    rtf += i % 50 == 7 ? "one\\line two\\par " : (i % 3 ? "x\\par " : "\\par ");
  rtf += "}";
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(rtf);
  f.close();
  std::u16string expected;
  {
    TRichEdit plain;
    ASSERT_TRUE(plain.LoadRtf(path));
    expected = plain.Text();
  }
  TMergeEarly early(20);
  TRichEdit merged;
  ASSERT_TRUE(merged.LoadRtf(path));
  ASSERT_TRUE(RichMerged::HoldsMerged(merged.document()));
  EXPECT_LT(merged.document()->blockCount(), 100);
  EXPECT_EQ(merged.Text(), expected);
  EXPECT_NE(expected.find(u"one\u2028two"), std::u16string::npos);  // a line break, not a paragraph end
  const QString saved = dir.filePath("saved.rtf");
  ASSERT_TRUE(merged.SaveRtf(saved));
  EXPECT_EQ(ReadAll(saved).count("\\line"), 8);
}

TEST(RichMerged, AParagraphFormatInsideAMergedBlockTouchesOnlyItsParagraphs) {
  const auto paragraphs = Paragraphs(600);
  TRichEdit merged, plain;
  Fill(merged, paragraphs, 20);
  Fill(plain, paragraphs, 0);
  TParaFormat centred;
  centred.Mask = PFM_ALIGNMENT | PFM_STARTINDENT;
  centred.Alignment = PFA_CENTER;
  centred.StartIndent = 1440;
  // Paragraphs 300 to 302, from the middle of the first to the middle of the last.
  int32_t start = 0;
  for (int i = 0; i < 300; ++i)
    start += int32_t(paragraphs[size_t(i)].size()) + 2;
  for (TRichEdit *box : {&merged, &plain}) {
    box->SetSelection(start + 1, 40);
    box->SetParaFormat(centred);
  }
  EXPECT_EQ(merged.Text(), plain.Text());
  int32_t p = 0;
  for (int i = 0; i < 600; ++i) {
    merged.SetSelection(p, 0);
    plain.SetSelection(p, 0);
    ASSERT_EQ(merged.GetParaFormat().Alignment, plain.GetParaFormat().Alignment) << i;
    ASSERT_EQ(merged.GetParaFormat().StartIndent, plain.GetParaFormat().StartIndent) << i;
    p += int32_t(paragraphs[size_t(i)].size()) + 2;
  }
  plain.SetSelection(start, 0);
  EXPECT_EQ(plain.GetParaFormat().Alignment, PFA_CENTER);
  plain.SetSelection(start - 2, 0);
  EXPECT_EQ(plain.GetParaFormat().Alignment, PFA_LEFT);
  // Positions did not move.
  for (int32_t q = 0; q < plain.TextLength(); q += 13)
    ASSERT_EQ(merged.TextRange(q, 4), plain.TextRange(q, 4)) << q;
}

TEST(RichMerged, LayoutLinesAndFindMatchABlockPerParagraph) {
  const auto paragraphs = Paragraphs(2000);
  TRichEdit merged, plain;
  Fill(merged, paragraphs, 30);
  Fill(plain, paragraphs, 0);
  Show(merged);
  Show(plain);
  // Indents and spaces before and after show as for separate paragraphs.
  for (int32_t target : {5000, 20000, 41000}) {
    merged.GoToCharPos(target);
    plain.GoToCharPos(target);
    ASSERT_EQ(merged.TopPosition(), plain.TopPosition()) << target;
    for (int y = 5; y < 400; y += 11)
      for (int x : {5, 30, 150})
        ASSERT_EQ(merged.CharFromPoint(QPoint(x, y)), plain.CharFromPoint(QPoint(x, y))) << target << " " << x << "," << y;
    const int32_t top = plain.TopPosition();
    for (int32_t p = top; p < top + 300; p += 3) {
      merged.SetSelection(p, 0);
      plain.SetSelection(p, 0);
      ASSERT_EQ(merged.cursorRect(merged.textCursor()), plain.cursorRect(plain.textCursor())) << p;
    }
  }
  // Line numbers.
  ASSERT_EQ(merged.LineCount(), plain.LineCount());
  const int32_t lines = plain.LineCount();
  EXPECT_GT(lines, 2000);
  for (int32_t line : {0, 1, 7, lines / 3, lines / 2, lines - 2}) {
    ASSERT_EQ(merged.LineStart(line), plain.LineStart(line)) << line;
    ASSERT_EQ(merged.LineOfChar(plain.LineStart(line) + 1), line) << line;
  }
  merged.GotoLine(lines / 2);
  plain.GotoLine(lines / 2);
  EXPECT_EQ(merged.TopLine(), plain.TopLine());
  EXPECT_EQ(merged.TopPosition(), plain.TopPosition());
  // Find goes from match to match in the same places.
  merged.SetSelection(0, 0);
  plain.SetSelection(0, 0);
  for (int i = 0; i < 5; ++i) {
    ASSERT_TRUE(merged.FindText(QStringLiteral("DELTA L")));
    ASSERT_TRUE(plain.FindText(QStringLiteral("DELTA L")));
    int32_t ms = 0, ml = 0, ps = 0, pl = 0;
    merged.GetSelection(ms, ml);
    plain.GetSelection(ps, pl);
    EXPECT_EQ(ms, ps);
    EXPECT_EQ(ml, pl);
  }
  // Links are marked in merged paragraphs as in separate ones, and end with their paragraph.
  const QTextBlock last = merged.document()->lastBlock().previous();
  ASSERT_TRUE(RichMerged::IsMerged(last));
  int links = 0;
  for (auto it = last.begin(); !it.atEnd(); ++it)
    if (it.fragment().charFormat().isAnchor()) {
      ++links;
      EXPECT_EQ(it.fragment().length(), 17) << it.fragment().text().toStdString();
    }
  EXPECT_GT(links, 0);
}
