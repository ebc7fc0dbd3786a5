// The reading box's streaming: plain text and RTF files, round trips, and an
// independent reader's view of what the writer writes.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPdfWriter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <gtest/gtest.h>

#include "Error.h"
#include "RTF.h"

namespace {

QString Fixture(const char *name) { return QStringLiteral(PAGELUME_TEST_DATA "/rtf/") + QLatin1String(name); }

// Fills a box with every character and paragraph attribute the box keeps.
void FillRichDocument(TRichEdit &box) {
  TCharFormat base;
  base.Extended = true;
  base.Mask = 0xE4200007 | CFM_STRIKEOUT;
  base.FaceName = "Liberation Serif";
  base.HeightTwips = 320;
  base.TextColor = 0x00202020;
  base.BackColor = NoBackColor;
  box.SetCharFormat(base, true);
  box.AppendParagraph(u"Chapter 1: \u00C9t\u00E9 \u00E0 la campagne");
  box.AppendParagraph(u"\u201CQuoted,\u201D she said \u2014 \u041F\u0440\u0438\u0432\u0435\u0442, \u043C\u0438\u0440!");
  box.AppendParagraph(u"Tabs\there\tand {braces} \\ backslash");
  box.AppendParagraph(u"");
  box.AppendParagraph(u"Last words");

  struct TRange {
    int32_t Start, Length;
    TCharFormat Format;
  };
  TCharFormat heading;
  heading.Extended = true;
  heading.Mask = CFM_BOLD | CFM_UNDERLINE | CFM_SIZE | CFM_FACE;
  heading.Effects = CFE_BOLD | CFE_UNDERLINE;
  heading.HeightTwips = 480;
  heading.FaceName = "DejaVu Sans";
  TCharFormat emphasis;
  emphasis.Extended = true;
  emphasis.Mask = CFM_ITALIC | CFM_COLOR | CFM_BACKCOLOR | CFM_SPACING | CFM_STRIKEOUT;
  emphasis.Effects = CFE_ITALIC | CFE_STRIKEOUT;
  emphasis.TextColor = 0x000000C0;
  emphasis.BackColor = 0x0080FFFF;
  emphasis.SpacingTwips = -57;
  box.SetSelection(0, 9);
  box.SetCharFormat(heading, false);
  box.SetSelection(31, 10);
  box.SetCharFormat(emphasis, false);

  TParaFormat centred;
  centred.Extended = true;
  centred.Mask = PFM_ALIGNMENT | PFM_SPACEAFTER | PFM_SPACEBEFORE;
  centred.Alignment = PFA_CENTER;
  centred.SpaceAfter = 576;
  centred.SpaceBefore = 144;
  box.SetSelection(0, 0);
  box.SetParaFormat(centred);
  TParaFormat body;
  body.Extended = true;
  body.Mask = PFM_STARTINDENT | PFM_OFFSET | PFM_RIGHTINDENT | PFM_ALIGNMENT | PFM_SPACEAFTER | PFM_LINESPACING |
              PFM_TABSTOPS;
  body.StartIndent = 864;
  body.Offset = -288;
  body.RightIndent = 432;
  body.Alignment = PFA_JUSTIFY;
  body.SpaceAfter = 288;
  body.LineSpacingRule = 5;
  body.LineSpacing = 30;
  body.TabCount = MAX_TAB_STOPS;
  for (int k = 0; k < MAX_TAB_STOPS; ++k)
    body.Tabs[k] = 576 + 864 * k;
  box.SetSelection(31, 40);
  box.SetParaFormat(body);
  TParaFormat right;
  right.Mask = PFM_ALIGNMENT;
  right.Alignment = PFA_RIGHT;
  box.SetSelection(box.TextLength() - 2, 0);
  box.SetParaFormat(right);
  box.Flush();
}

// Compares two boxes paragraph by paragraph and character by character.
void ExpectSameDocument(TRichEdit &a, TRichEdit &b) {
  ASSERT_EQ(a.Text(), b.Text());
  QTextBlock ba = a.document()->begin(), bb = b.document()->begin();
  for (; ba.isValid() && bb.isValid(); ba = ba.next(), bb = bb.next()) {
    EXPECT_EQ(a.FromQtBlockFormat(ba.blockFormat()), b.FromQtBlockFormat(bb.blockFormat()))
        << "paragraph " << ba.blockNumber();
    for (int i = 0; i < ba.length() - 1; ++i) {
      QTextCursor ca(a.document()), cb(b.document());
      ca.setPosition(ba.position() + i + 1);
      cb.setPosition(bb.position() + i + 1);
      TCharFormat fa = a.FromQtCharFormat(ca.charFormat()), fb = b.FromQtCharFormat(cb.charFormat());
      ASSERT_EQ(fa, fb) << "paragraph " << ba.blockNumber() << " character " << i;
    }
  }
  EXPECT_EQ(ba.isValid(), bb.isValid());
}

}  // namespace

TEST(RichEditRtf, RoundTripKeepsEveryAttribute) {
  QTemporaryDir dir;
  TRichEdit box;
  FillRichDocument(box);
  QString path = dir.filePath(QStringLiteral("round.rtf"));
  ASSERT_TRUE(box.SaveRtf(path));
  TRichEdit back;
  ASSERT_TRUE(back.LoadRtf(path));
  EXPECT_FALSE(back.Modified());
  ExpectSameDocument(box, back);
  // Saved again, the file is the same.
  QString again = dir.filePath(QStringLiteral("again.rtf"));
  ASSERT_TRUE(back.SaveRtf(again));
  QFile f1(path), f2(again);
  ASSERT_TRUE(f1.open(QIODevice::ReadOnly) && f2.open(QIODevice::ReadOnly));
  EXPECT_EQ(f1.readAll(), f2.readAll());
}

TEST(RichEditRtf, ZoomDoesNotReachTheFile) {
  QTemporaryDir dir;
  TRichEdit box;
  FillRichDocument(box);
  box.SetZoom(250, 100);
  QString path = dir.filePath(QStringLiteral("zoom.rtf"));
  ASSERT_TRUE(box.SaveRtf(path));
  box.SetZoom(100, 100);
  TRichEdit back;
  ASSERT_TRUE(back.LoadRtf(path));
  ExpectSameDocument(box, back);
}

TEST(RichEditRtf, IndependentReaderAgrees) {
  QString unrtf = QStandardPaths::findExecutable(QStringLiteral("unrtf"));
  if (unrtf.isEmpty())
    GTEST_SKIP() << "unrtf is not installed";
  QTemporaryDir dir;
  TRichEdit box;
  FillRichDocument(box);
  QString path = dir.filePath(QStringLiteral("words.rtf"));
  ASSERT_TRUE(box.SaveRtf(path));
  QProcess p;
  p.start(unrtf, {QStringLiteral("--text"), path});
  ASSERT_TRUE(p.waitForFinished(20000));
  QString out = QString::fromUtf8(p.readAllStandardOutput());
  QStringList lines = out.split(QLatin1Char('\n'));
  lines.erase(std::remove_if(lines.begin(), lines.end(), [](const QString &l) { return l.startsWith(QLatin1String("###")) || l.startsWith(QLatin1String("-----")); }), lines.end());
  // unrtf's text output shows characters outside ASCII as "?": words holding them are left out on both sides.
  QString ours = QString::fromStdU16String(box.Text());
  for (QChar &c : ours)
    if (c.unicode() > 0x7F)
      c = QLatin1Char('?');
  auto words = [](const QString &text) {
    QStringList list = text.split(QRegularExpression(QStringLiteral("[^A-Za-z0-9?]+")), Qt::SkipEmptyParts);
    list.removeIf([](const QString &w) { return w.contains(QLatin1Char('?')); });
    return list;
  };
  QStringList theirsWords = words(lines.join(QLatin1Char(' '))), oursWords = words(ours);
  EXPECT_GT(oursWords.size(), 10);
  EXPECT_EQ(theirsWords, oursWords);
}

TEST(RichEditRtf, FixturesFromOtherProgramsLoad) {
  TRichEdit box;
  ASSERT_TRUE(box.LoadRtf(Fixture("p058b_link.rtf")));
  QString text = QString::fromStdU16String(box.Text());
  EXPECT_TRUE(text.contains(QStringLiteral("There are examples and errata at")));
  EXPECT_TRUE(text.contains(QStringLiteral("this book's web site")));
  EXPECT_FALSE(text.contains(QStringLiteral("HYPERLINK")));
  EXPECT_FALSE(text.contains(QStringLiteral("chpgn")));

  ASSERT_TRUE(box.LoadRtf(Fixture("p056_footnotes.rtf")));
  text = QString::fromStdU16String(box.Text());
  EXPECT_TRUE(text.contains(QStringLiteral("as in North America")));
  EXPECT_FALSE(text.contains(QStringLiteral("Navajo")));

  ASSERT_TRUE(box.LoadRtf(Fixture("p034_daodejing.rtf")));
  EXPECT_TRUE(QString::fromStdU16String(box.Text()).contains(QString::fromUtf16(u"\u9053\u00B7\u53EF\u9053")));

  ASSERT_TRUE(box.LoadRtf(Fixture("RtfInterpreterTest_2.rtf")));
  text = QString::fromStdU16String(box.Text());
  EXPECT_TRUE(text.startsWith(QString::fromUtf16(u"Hellou RTF W\u00F6rld\r\n")));
  box.SetSelection(0, 3);
  TCharFormat f = box.GetCharFormat();
  EXPECT_EQ(f.FaceName, "Verdana");
  EXPECT_EQ(f.HeightTwips, 360);
  int bold = int(text.indexOf(QStringLiteral("bold")));
  box.SetSelection(bold, 4);
  EXPECT_TRUE(box.GetCharFormat().Effects & CFE_BOLD);
}

TEST(RichEditRtf, BrokenFilesFailThroughTheStatusContext) {
  TRichEdit box;
  box.AppendParagraph(u"Old text");
  for (const char *name : {"RtfParserTest_fail_0.rtf", "RtfInterpreterTest_fail_3.rtf", "missing.rtf"}) {
    FunStatContext.Reset();
    EXPECT_FALSE(box.LoadRtf(Fixture(name))) << name;
    EXPECT_TRUE(FunStatContext.Failed()) << name;
    EXPECT_EQ(FunStatContext.Description, "Failed to load RTF.");
    EXPECT_EQ(FunStatContext.Param1, Fixture(name).toStdString());
    EXPECT_EQ(box.TextLength(), 0);
  }
  FunStatContext.Reset();
  QTemporaryDir dir;
  EXPECT_FALSE(box.SaveRtf(dir.filePath(QStringLiteral("no/such/dir/x.rtf"))));
  EXPECT_EQ(FunStatContext.Description, "Failed to save RTF.");
  FunStatContext.Reset();
}

// A paragraph's runs go in together; each keeps its own format and line breaks.
TEST(RichEditRtf, ParagraphOfManyRunsKeepsEachFormat) {
  QTemporaryDir dir;
  QString path = dir.filePath(QStringLiteral("runs.rtf"));
  QByteArray rtf = "{\\rtf1{\\fonttbl{\\f0 Alpha;}{\\f1 Beta;}}";
  for (int i = 0; i < 3000; ++i)
    rtf += (i % 3 == 0) ? "\\b\\f1 a" : (i % 3 == 1) ? "\\b0{\\i}\\line b" : "\\f0 c";
  rtf += "\\par\\b0 next}";
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(rtf);
  file.close();
  TRichEdit box;
  ASSERT_TRUE(box.LoadRtf(path));
  std::u16string text = box.Text();
  ASSERT_EQ(text.size(), 4000u + 2 + 4);
  EXPECT_EQ(text.substr(0, 7), u"a\u2028bca\u2028b");
  EXPECT_EQ(text.substr(4000, 6), u"\r\nnext");
  for (int32_t i : {0, 1, 2, 3, 1501, 1502, 3998, 3999}) {
    box.SetSelection(i, 1);
    TCharFormat f = box.GetCharFormat();
    const char16_t c = text[size_t(i)];
    EXPECT_EQ(bool(f.Effects & CFE_BOLD), c == u'a') << i;
    EXPECT_EQ(f.FaceName, c == u'c' ? "Alpha" : "Beta") << i;
    EXPECT_FALSE(f.Effects & CFE_ITALIC) << i;
  }
}

// Cut and overflowing files (run by the sanitizer build too): each loads what
// it holds and saves as text and as RTF.
TEST(RichEditRtf, DamagedFilesLoadWhatTheyHold) {
  QTemporaryDir dir;
  const QStringList names = QDir(QStringLiteral(PAGELUME_TEST_DATA "/rtf/broken")).entryList({"*.rtf"}, QDir::Files);
  ASSERT_GE(names.size(), 9);
  for (const QString &name : names) {
    TRichEdit box;
    FunStatContext.Reset();
    ASSERT_TRUE(box.LoadRtf(QStringLiteral(PAGELUME_TEST_DATA "/rtf/broken/") + name)) << name.toStdString();
    QString text = QString::fromStdU16String(box.Text());
    EXPECT_TRUE(text.startsWith(name.startsWith("trunc") ? QStringLiteral("Long text of a book.\r\nMore text")
                                                         : QStringLiteral("text")) ||
                text.startsWith(QStringLiteral("a\tb")))
        << name.toStdString() << ": " << text.toStdString();
    EXPECT_TRUE(box.SaveText(dir.filePath(QStringLiteral("out.txt"))));
    EXPECT_TRUE(box.SaveRtf(dir.filePath(QStringLiteral("out.rtf"))));
    TRichEdit again;
    ASSERT_TRUE(again.LoadRtf(dir.filePath(QStringLiteral("out.rtf"))));
    EXPECT_EQ(again.Text(), box.Text()) << name.toStdString();
  }
}

TEST(RichEditRtf, PlainTextLoadAndSave) {
  QTemporaryDir dir;
  QString utf8 = dir.filePath(QStringLiteral("u.txt"));
  QFile f(utf8);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write("\xEF\xBB\xBF\xC3\x89t\xC3\xA9\r\nsecond line\r\nvisit www.example.org\n");
  f.close();
  TRichEdit box;
  ASSERT_TRUE(box.LoadText(utf8));
  EXPECT_EQ(box.Text(), std::u16string(u"\u00C9t\u00E9\r\nsecond line\r\nvisit www.example.org\r\n"));
  EXPECT_FALSE(box.Modified());
  QString out = dir.filePath(QStringLiteral("out.txt"));
  ASSERT_TRUE(box.SaveText(out));
  QFile o(out);
  ASSERT_TRUE(o.open(QIODevice::ReadOnly));
  EXPECT_EQ(o.readAll(), QByteArray("\xC3\x89t\xC3\xA9\nsecond line\nvisit www.example.org\n"));

  QString ansi = dir.filePath(QStringLiteral("a.txt"));
  QFile a(ansi);
  ASSERT_TRUE(a.open(QIODevice::WriteOnly));
  a.write("\x93quoted\x94 caf\xE9");
  a.close();
  ASSERT_TRUE(box.LoadText(ansi));
  EXPECT_EQ(box.Text(), std::u16string(u"\u201Cquoted\u201D caf\u00E9"));
}

TEST(RichEditRtf, PrintingIgnoresTheZoom) {
  QTemporaryDir dir;
  TRichEdit box;
  FillRichDocument(box);
  box.SetZoom(300, 100);
  QString pdf = dir.filePath(QStringLiteral("print.pdf"));
  {
    QPdfWriter writer(pdf);
    box.Print(&writer);
  }
  EXPECT_GT(QFileInfo(pdf).size(), 1000);
  // The box keeps its zoom and its true formats.
  EXPECT_DOUBLE_EQ(box.Zoom(), 3.0);
  box.SetSelection(0, 3);
  EXPECT_EQ(box.GetCharFormat().HeightTwips, 480);
  // While reading, the zoom is the view's: the document keeps its sizes.
  QTextCursor c(box.document());
  c.setPosition(2);
  EXPECT_DOUBLE_EQ(c.charFormat().fontPointSize(), 24.0);
}
