// Hyphenation: the language guess, the break points the patterns give, and
// long words broken only in the layout of the reading box and of print copies.
#include "BookLoader.h"
#include "BookText.h"
#include "FormFixture.h"
#include "FormatOptions.h"
#include "Hyphenator.h"
#include "LanguageGuess.h"
#include "LineBreaker.h"
#include "PrintBook.h"
#include "RTF.h"
#include "RichLayout.h"

#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QLineEdit>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <thread>

namespace {

const QChar Soft(THyphenator::SoftHyphen);

std::string GuessOf(const QByteArray &bytes) {
  const TTextLines lines = BookBytesToTextLines(std::string_view(bytes.constData(), size_t(bytes.size())));
  return LanguageGuess::Guess(lines.Head(LanguageGuess::GuessChars));
}

QByteArray Fixture(const char *name) {
  QFile file(QString(PAGELUME_TEST_DATA) + "/language/" + name);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Paragraphs of long words, so that a page breaks several of them.
QByteArray LongWordsBook() {
  const QByteArray paragraph =
      "The representatives of the international organisation were extraordinarily uncomfortable with the "
      "administrative arrangements, and they said that the environmental responsibilities of their governments "
      "had been misunderstood by the commentators, who characteristically underestimated the communication "
      "difficulties between the neighbouring municipalities.";
  // Each paragraph starts at another word, so that their lines break differently.
  const QList<QByteArray> words = paragraph.split(' ');
  QByteArray book;
  for (int i = 0; i < 14; ++i) {
    const qsizetype at = i * 3 % words.size();
    book += (words.mid(at) + words.mid(0, at)).join(' ') + "\n\n";
  }
  return book;
}

}  // namespace

TEST(LanguageGuessTest, BookOpeningsAndWrittenTexts) {
  EXPECT_EQ(GuessOf(Fixture("english-opening.txt")), "en");
  EXPECT_EQ(GuessOf(Fixture("cp1252-opening.txt")), "en");  // code page 1252
  EXPECT_EQ(GuessOf(Fixture("french-opening.txt")), "fr");  // behind an English licence header
  EXPECT_EQ(GuessOf(Fixture("french2-opening.txt")), "fr");
  EXPECT_EQ(GuessOf(Fixture("german.txt")), "de");
  EXPECT_EQ(GuessOf(Fixture("spanish.txt")), "es");
}

TEST(LanguageGuessTest, MixedShortOrWordlessTextIsUnknown) {
  // Half English, half German: neither leads clearly.
  const QByteArray english = Fixture("english-opening.txt").right(3000);
  const QByteArray german = Fixture("german.txt").left(3000);
  EXPECT_EQ(GuessOf(english + german), "");
  EXPECT_EQ(GuessOf("The end of the story."), "");
  EXPECT_EQ(GuessOf(QByteArray("3.14159 2.71828 1.41421\n").repeated(200)), "");
  // Only the opening counts: a French book with a long English appendix is French.
  EXPECT_EQ(GuessOf(Fixture("french2-opening.txt").repeated(12) + Fixture("english-opening.txt").repeated(20)), "fr");
}

TEST(HyphenatorTest, PointsFollowTheWordRules) {
  const THyphenator *en = THyphenator::ForLanguage("en");
  if (!en)
    GTEST_SKIP() << "No English hyphenation patterns in " << THyphenator::PatternDir().toStdString();
  EXPECT_EQ(THyphenator::ForLanguage("en"), en);  // loaded once
  EXPECT_EQ(THyphenator::ForLanguage(""), nullptr);
  EXPECT_EQ(THyphenator::ForLanguage("xx"), nullptr);

  std::vector<int> points;
  const QString text = "an extraordinary word";
  en->Points(text, points);
  ASSERT_FALSE(points.empty());
  for (int p : points) {
    EXPECT_GE(p, 3 + THyphenator::MinBefore);             // inside "extraordinary", 2 letters before
    EXPECT_LE(p, 3 + 13 - THyphenator::MinAfter);         // and 3 after
  }
  EXPECT_EQ(THyphenator::WithSoftHyphens(text, points).remove(Soft), text);

  // No point in short words, numbers, addresses, links or hyphenated words.
  for (const char *refused : {"abc123defghij", "someone@example.org", "https://example.org/extraordinary",
                              "www.extraordinary.com", "well-established", "extraordinary\u00ADword"}) {
    points.clear();
    en->Points(QString::fromUtf8(refused), points);
    EXPECT_TRUE(points.empty()) << refused;
  }
  points.clear();
  en->Points(u"doing makes", points);  // five letters at most
  EXPECT_TRUE(points.empty());

  // Patterns in other encodings: Latin-1 (German) and KOI8-R (Russian).
  if (const THyphenator *de = THyphenator::ForLanguage("de")) {
    points.clear();
    de->Points(u"Bäckereiwaren", points);
    EXPECT_FALSE(points.empty());
  }
  if (const THyphenator *ru = THyphenator::ForLanguage("ru")) {
    points.clear();
    ru->Points(u"Достопримечательность", points);
    EXPECT_FALSE(points.empty());
  }
}

TEST(HyphenatorTest, PatternsAskedForFromSeveralThreadsAreLoadedOnce) {
  // The start of the program loads patterns in the background while the
  // first page may already ask for them.
  THyphenator::LoadInBackground("fr");
  THyphenator::LoadInBackground("xx");  // no patterns: nothing starts
  std::vector<const THyphenator *> seen(4);
  std::vector<std::thread> threads;
  for (size_t i = 0; i < seen.size(); ++i)
    threads.emplace_back([&seen, i] { seen[i] = THyphenator::ForLanguage("fr"); });
  const THyphenator *here = THyphenator::ForLanguage("fr");
  for (std::thread &thread : threads)
    thread.join();
  if (!here)
    GTEST_SKIP() << "No French hyphenation patterns in " << THyphenator::PatternDir().toStdString();
  for (const THyphenator *other : seen)
    EXPECT_EQ(other, here);
  std::vector<int> points;
  here->Points(u"extraordinaire", points);
  EXPECT_FALSE(points.empty());
}

TEST(HyphenatorTest, LayoutPositionsMapBothWays) {
  const std::vector<int> hyphens{3, 7};  // "abc\xADdefg\xADhij"
  for (int offset = 0; offset <= 10; ++offset) {
    const int layout = TRichLayout::ToLayout(hyphens, offset);
    EXPECT_EQ(layout, offset <= 2 ? offset : (offset <= 6 ? offset + 1 : offset + 2));
    EXPECT_EQ(TRichLayout::FromLayout(hyphens, layout), offset);
  }
  // A position just before a soft hyphen (the end of a broken line) is the break point.
  EXPECT_EQ(TRichLayout::FromLayout(hyphens, 3), 3);
  EXPECT_EQ(TRichLayout::FromLayout(hyphens, 8), 7);
}

class HyphenationFormTest : public TFormFixture {
protected:
  // A word of the page that the layout breaks: its start and end (Qt positions).
  bool FindBrokenWord(int &start, int &end) {
    TRichEdit *box = Form->RichEdit;
    QTextDocument *doc = box->document();
    static const QRegularExpression word("[A-Za-z]{6,}");
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
      for (auto it = word.globalMatch(b.text()); it.hasNext();) {
        const auto m = it.next();
        QTextCursor c(doc);
        c.setPosition(b.position() + int(m.capturedStart()) + 1);
        const QRect first = box->cursorRect(c);
        c.setPosition(b.position() + int(m.capturedEnd()) - 1);
        const QRect last = box->cursorRect(c);
        if (first.isValid() && last.isValid() && last.top() > first.top()) {
          start = b.position() + int(m.capturedStart());
          end = b.position() + int(m.capturedEnd());
          return true;
        }
      }
    }
    return false;
  }
  QString TextOf(int start, int end) {
    QTextCursor c(Form->RichEdit->document());
    c.setPosition(start);
    c.setPosition(end, QTextCursor::KeepAnchor);
    return c.selectedText();
  }
};

TEST_F(HyphenationFormTest, BrokenWordsKeepEveryPositionAndTheSavedText) {
  if (!THyphenator::ForLanguage("en"))
    GTEST_SKIP() << "No English hyphenation patterns in " << THyphenator::PatternDir().toStdString();
  Form->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(Form));
  Form->OpenBook(Write("long-words.txt", LongWordsBook()));
  TRichEdit *box = Form->RichEdit;
  ASSERT_EQ(Form->Loader->State.Language, "en");
  ASSERT_TRUE(Form->FormatOptions->Hyphenation());
  EXPECT_FALSE(box->document()->toPlainText().contains(Soft));

  int start = 0, end = 0;
  ASSERT_TRUE(FindBrokenWord(start, end)) << "no word of the page is broken";
  const QString word = TextOf(start, end);

  // The line after the break starts inside the word, at a document position.
  QTextCursor at(box->document());
  at.setPosition(end - 1);
  const QRect second = box->cursorRect(at);
  const int32_t line = box->LineOfChar(box->QtToRich(end - 1));
  const int lineStart = box->RichToQt(box->LineStart(line));
  EXPECT_GT(lineStart, start + 1);
  EXPECT_LT(lineStart, end - 2);
  // A click at the start of that line puts the caret there.
  QTest::mouseClick(box->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(second.left() - 200, second.center().y()));
  EXPECT_EQ(box->textCursor().position(), lineStart);

  // A double click on either half picks the whole word, without a soft hyphen.
  for (int inside : {start + 1, end - 1}) {
    at.setPosition(inside);
    QTest::mouseDClick(box->viewport(), Qt::LeftButton, Qt::NoModifier, box->cursorRect(at).center());
    EXPECT_EQ(box->textCursor().selectedText(), word) << inside;
  }
  box->copy();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), word);

  // Find, typed into its box: the whole word is found and selected.
  box->setTextCursor(QTextCursor(box->document()));
  Form->FindTextEdit->setText(word);
  QTest::keyClick(Form->FindTextEdit, Qt::Key_Return);
  EXPECT_EQ(box->textCursor().selectedText(), word);

  // Going to the line puts its start at the top.
  box->GotoLine(line);
  EXPECT_EQ(box->RichToQt(box->TopPosition()), lineStart);

  // Saved as plain text and as rich text: no soft hyphen.
  ASSERT_TRUE(box->SaveText(Dir.filePath("saved.txt")));
  ASSERT_TRUE(box->SaveRtf(Dir.filePath("saved.rtf")));
  QFile txt(Dir.filePath("saved.txt")), rtf(Dir.filePath("saved.rtf"));
  ASSERT_TRUE(txt.open(QIODevice::ReadOnly) && rtf.open(QIODevice::ReadOnly));
  const QByteArray plain = txt.readAll(), rich = rtf.readAll();
  EXPECT_FALSE(plain.contains("\xC2\xAD"));
  EXPECT_TRUE(plain.contains(word.toUtf8()));
  EXPECT_FALSE(rich.contains("\\'ad") || rich.contains("\\u173") || rich.contains("\\-"));

  // Off through the check box: the top line stays, no word is broken any more.
  const int32_t top = box->TopPosition();
  Form->FormatOptions->HyphenationCheckBox->click();
  EXPECT_FALSE(Form->FormatOptions->Hyphenation());
  EXPECT_LE(box->TopPosition(), top);
  EXPECT_GT(box->TopPosition(), top - 40);
  EXPECT_FALSE(FindBrokenWord(start, end));
  Form->FormatOptions->HyphenationCheckBox->click();
  EXPECT_TRUE(FindBrokenWord(start, end));
  EXPECT_TRUE(Errors.empty()) << Errors.size() << " error reports, the first: \"" << (Errors.empty() ? "" : Errors.front()) << "\"";
}

TEST_F(HyphenationFormTest, PrintedPagesBreakWordsLikeTheScreen) {
  const THyphenator *en = THyphenator::ForLanguage("en");
  const QString pdftotext = QStandardPaths::findExecutable("pdftotext");
  if (!en || pdftotext.isEmpty())
    GTEST_SKIP() << "Needs the English hyphenation patterns and pdftotext";
  QTextDocument doc;
  doc.setPlainText(QString::fromUtf8(LongWordsBook()));
  QTextBlockFormat justified;
  justified.setAlignment(Qt::AlignJustify);
  QTextCursor all(&doc);
  all.select(QTextCursor::Document);
  all.mergeBlockFormat(justified);
  const QString plain = doc.toPlainText();

  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(Dir.filePath("print.pdf"));
  ASSERT_GT(PrintDocument(doc, printer, TPrintMargins(), "book", nullptr, en), 0);
  EXPECT_EQ(doc.toPlainText(), plain);  // the document printed is not changed

  QProcess process;
  process.start(pdftotext, {"-layout", Dir.filePath("print.pdf"), "-"});
  ASSERT_TRUE(process.waitForFinished(60000));
  QString printed = QString::fromUtf8(process.readAllStandardOutput());
  for (const auto &[ligature, letters] : {std::pair{u"\uFB00", u"ff"}, {u"\uFB01", u"fi"}, {u"\uFB02", u"fl"},
                                          {u"\uFB03", u"ffi"}, {u"\uFB04", u"ffl"}})
    printed.replace(QString::fromUtf16(ligature), QString::fromUtf16(letters));
  // Lines end in a hyphen inside a word; joined again, the words are the book's.
  static const QRegularExpression broken("[a-z]-\\s*\\n\\s*[a-z]");
  EXPECT_TRUE(broken.match(printed).hasMatch()) << printed.left(400).toStdString();
  QString joined = printed;
  joined.replace(QRegularExpression("([a-z])-\\s*\\n\\s*([a-z])"), "\\1\\2");
  EXPECT_EQ(joined.simplified(), plain.simplified());
}

TEST(LineBreakerTest, PlannedLinesFitTheirWidth) {
  const THyphenator *en = THyphenator::ForLanguage("en");
  if (!en)
    GTEST_SKIP() << "No English hyphenation patterns in " << THyphenator::PatternDir().toStdString();
  const QString text = QString::fromUtf8(LongWordsBook()).section("\n\n", 0, 2).replace("\n\n", " ");
  std::vector<int> points;
  en->Points(text, points);
  QTextLayout layout(THyphenator::WithSoftHyphens(text, points));
  QFont font("Liberation Serif");
  font.setPixelSize(21);
  layout.setFont(font);
  QTextOption option;
  option.setAlignment(Qt::AlignJustify);
  layout.setTextOption(option);
  for (const double width : {120.0, 230.0, 408.0, 777.0}) {
    const std::vector<int> plan = LineBreaker::Plan(layout, width - 30, width);
    ASSERT_FALSE(plan.empty()) << width;
    int total = 0;
    layout.beginLayout();
    for (size_t i = 0; i < plan.size(); ++i) {
      QTextLine line = layout.createLine();
      const double room = i == 0 ? width - 30 : width;
      line.setNumColumns(plan[i], room);
      EXPECT_EQ(line.textLength(), plan[i]);
      EXPECT_LE(line.naturalTextWidth(), room + 0.01) << width << " line " << i;
      total += plan[i];
    }
    layout.endLayout();
    EXPECT_EQ(total, layout.text().size());
  }
  // A word wider than the line cannot be planned: the toolkit breaks it.
  QTextLayout unbreakable(QString(80, u'm'));
  unbreakable.setFont(font);
  EXPECT_TRUE(LineBreaker::Plan(unbreakable, 100, 100).empty());
}
