// Reading aloud through the window with a stand-in voice: F9, the button and
// Escape, the sentence order and the page following the voice, the cases that
// stop it, the next piece, the background sounds and the auto-bookmark.
#include "BackSounds.h"
#include "BookLoader.h"
#include "Bookshelf.h"
#include "FakeSpeechEngine.h"
#include "FormFixture.h"
#include "ReadAloud.h"
#include "RTF.h"

#include <QFile>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QTest>

namespace {

class ReadAloudTest : public TFormFixture {
protected:
  void SetUp() override {
    TFormFixture::SetUp();
    UseVoice();
  }
  void UseVoice() {
    auto voice = std::make_unique<TFakeSpeechEngine>();
    Voice = voice.get();
    Form->Speech->SetEngine(std::move(voice));
    Form->UpdateReadAloudButton();
  }
  // Sentences numbered through the book, three to a paragraph.
  QString WriteBook(const QString &name, int paragraphs) {
    QByteArray text;
    for (int p = 0; p < paragraphs; ++p) {
      const int n = 3 * p;
      text += "Sentence " + QByteArray::number(n) + " is told by Mr. Smith. Sentence " + QByteArray::number(n + 1) +
              " asks why? Sentence " + QByteArray::number(n + 2) + " ends it!\n\n";
    }
    return Write(name, text);
  }
  void F9() { QTest::keyClick(Form->RichEdit, Qt::Key_F9); }
  // The voice has said its sentence: the next one follows from the event loop.
  void Said() {
    Voice->Finish();
    QCoreApplication::processEvents();
  }
  int NumberSaid(int index) const { return Voice->Said.at(index).section(' ', 1, 1).toInt(); }
  bool Speaking() const { return Form->Speech->Speaking(); }
  std::u16string Selected() const { return Form->RichEdit->SelectedText(); }

  TFakeSpeechEngine *Voice = nullptr;
};

}  // namespace

TEST_F(ReadAloudTest, F9ReadsFromTheTopLineFollowingThePageAndEscapeStops) {
  Form->OpenBook(WriteBook("numbers.txt", 300));
  TRichEdit *box = Form->RichEdit;
  // A top line with words on it (not the blank line between paragraphs).
  int32_t top = 0, lineStart = 0, lineEnd = 0;
  for (int line = 20; lineEnd - top <= 2; ++line) {
    box->GotoLine(line);
    top = box->TopPosition();
    box->LineRangeOf(top, lineStart, lineEnd);
  }

  F9();
  ASSERT_TRUE(Speaking());
  EXPECT_EQ(Form->ReadAloudButton->text(), "Stop &reading");
  ASSERT_EQ(Voice->Said.size(), 1);
  // The first sentence that begins on the top line, said and selected.
  const int32_t first = Form->Speech->SentenceStart();
  EXPECT_GE(first, top);
  EXPECT_LT(first, lineEnd);
  EXPECT_TRUE(Voice->Said[0].startsWith("Sentence "));
  EXPECT_EQ(QString::fromStdU16String(Selected()), Voice->Said[0]);
  EXPECT_EQ(Voice->Rate, 0);
  EXPECT_EQ(Voice->Volume, 80);

  // Sentence after sentence in the book's order, "Mr. Smith" inside its
  // sentence; the page moves on as the voice leaves the screen.
  const int n0 = NumberSaid(0);
  for (int i = 1; i < 60; ++i) {
    Said();
    ASSERT_EQ(Voice->Said.size(), i + 1);
    ASSERT_EQ(NumberSaid(i), n0 + i) << Voice->Said[i].toStdString();
    const int32_t start = Form->Speech->SentenceStart();
    ASSERT_TRUE(box->PositionShown(start));
    ASSERT_TRUE(box->PositionShown(start + Form->Speech->SentenceLength()));
    ASSERT_EQ(QString::fromStdU16String(Selected()), Voice->Said[i]);
  }
  EXPECT_TRUE(Voice->Said.contains("Sentence " + QString::number(3 * (n0 / 3 + 3)) + " is told by Mr. Smith."));
  EXPECT_GT(box->TopPosition(), top);

  // Escape stops at once and does not hide the window; a late report of the
  // stopped sentence says nothing more.
  QTest::keyClick(box, Qt::Key_Escape);
  EXPECT_FALSE(Speaking());
  EXPECT_GE(Voice->Stops, 1);
  EXPECT_FALSE(Form->windowState() & Qt::WindowMinimized);
  EXPECT_EQ(Form->ReadAloudButton->text(), "&Read aloud");
  Said();
  EXPECT_EQ(Voice->Said.size(), 60);

  // The button starts again, F9 stops.
  Form->ReadAloudButton->click();
  EXPECT_TRUE(Speaking());
  F9();
  EXPECT_FALSE(Speaking());
}

TEST_F(ReadAloudTest, OpeningPiecesEditingPrintingMinimisingAndClosingStopTheVoice) {
  Form->PieceSizeComboBox->setCurrentText("10000");
  const QString book = WriteBook("long.txt", 300);
  const QString other = WriteBook("other.txt", 10);
  Form->OpenBook(book);
  ASSERT_GE(Form->Loader->State.PieceCount(), 2);
  const std::vector<std::pair<const char *, std::function<void()>>> stops = {
      {"F6 (next piece)", [&] { QTest::keyClick(Form->RichEdit, Qt::Key_F6); }},
      {"another book", [&] { Form->OpenBook(other); }},
      {"the same book again", [&] { Form->OpenBook(other); }},
      {"allow editing", [&] { Form->AllowEditingCheckBox->click(); }},
      {"print", [&] { Form->PrintBookButtonClick(); }},
      {"minimise", [&] { Form->ApplicationEventsMinimize(); }},
      {"close", [&] { Form->FormCloseQuery(); }},
  };
  for (const auto &[what, action] : stops) {
    if (Form->AllowEditingCheckBox->isChecked())
      Form->AllowEditingCheckBox->click();
    F9();
    ASSERT_TRUE(Speaking()) << what;
    action();
    EXPECT_FALSE(Speaking()) << what;
    EXPECT_FALSE(Voice->Saying) << what;
  }
  // F9 does not read while the book is being edited.
  Form->Closing = false;
  Form->AllowEditingCheckBox->click();
  F9();
  EXPECT_FALSE(Speaking());
}

TEST_F(ReadAloudTest, TheVoiceGoesOnIntoTheNextPieceAndStopsAtTheEndOfTheBook) {
  Form->PieceSizeComboBox->setCurrentText("10000");
  Form->OpenBook(WriteBook("long.txt", 300));
  const int32_t pieces = Form->Loader->State.PieceCount();
  ASSERT_GE(pieces, 3);
  Form->RichEdit->ScrollToEnd();
  F9();
  int said = 0;
  while (Speaking() && Form->Loader->State.CurrentPiece == 1 && said < 200) {
    Said();
    ++said;
  }
  ASSERT_EQ(Form->Loader->State.CurrentPiece, 2);
  EXPECT_TRUE(Speaking());
  EXPECT_EQ(Form->PiecesComboBox->currentText(), "2");
  // Piece 2 is read from its start; its opening words (a piece begins
  // wherever the bytes fall) are said, the end marker of piece 1 is not.
  EXPECT_LT(Form->Speech->SentenceStart(), 40);
  for (const QString &text : Voice->Said)
    EXPECT_FALSE(text.contains("End of")) << text.toStdString();

  // In the last piece the end of the book ends the reading.
  while (Form->Loader->State.CurrentPiece < pieces)
    QTest::keyClick(Form->RichEdit, Qt::Key_F6);
  EXPECT_FALSE(Speaking());
  Form->RichEdit->ScrollToEnd();
  F9();
  for (said = 0; Speaking() && said < 200; ++said)
    Said();
  EXPECT_FALSE(Speaking());
  EXPECT_EQ(Form->Loader->State.CurrentPiece, pieces);
  EXPECT_FALSE(Voice->Said.back().contains("End of"));
}

TEST_F(ReadAloudTest, SoundsPauseAndTheAutoBookmarkFollowsTheVoiceAcrossARestart) {
  const QString book = WriteBook("numbers.txt", 300);
  Form->Start();
  UseVoice();
  Form->OpenBook(book);
  Form->PutBookshelfButtonClick();
  Form->SpeechRateComboBox->setCurrentText("-3");
  Form->SpeechVolumeComboBox->setCurrentText("55");

  F9();
  EXPECT_TRUE(Form->Sounds->Paused());
  EXPECT_EQ(Voice->Rate, -3);
  EXPECT_EQ(Voice->Volume, 55);
  for (int i = 0; i < 40; ++i)
    Said();
  const int32_t spoken = Form->Speech->SentenceStart();
  const int last = NumberSaid(int(Voice->Said.size()) - 1);
  ASSERT_GT(spoken, Form->RichEdit->TopPosition());
  F9();
  EXPECT_FALSE(Form->Sounds->Paused());

  // Closed after listening, the book opens at the sentence where the voice stopped.
  Form->FormCloseQuery();
  delete Form;
  Form = new TPagelumeForm;
  Form->IsApplicationActive = [] { return false; };
  Form->resize(1024, 768);
  Form->LayoutWindow();
  Form->CommandLineBooks = {book};
  Form->Start();
  Form->ApplicationEventsActivate();
  int32_t start = 0, end = 0;
  Form->RichEdit->LineRangeOf(Form->RichEdit->TopPosition(), start, end);
  EXPECT_EQ(start, Form->RichEdit->TopPosition());
  EXPECT_LE(start, spoken);
  EXPECT_GT(end, spoken);
  // The rate and volume came back with the profile.
  EXPECT_EQ(Form->SpeechRateComboBox->currentText(), "-3");
  EXPECT_EQ(Form->SpeechVolumeComboBox->currentText(), "55");
  // F9 goes on from the first sentence of that line: the last one said, or
  // one before it on the same line.
  UseVoice();
  F9();
  ASSERT_EQ(Voice->Said.size(), 1);
  EXPECT_LE(NumberSaid(0), last);
  EXPECT_GE(NumberSaid(0), last - 2);
}

TEST_F(ReadAloudTest, WithoutASpeechServiceTheButtonSaysWhatToInstall) {
  Form->Speech->SetEngine(std::make_unique<TFakeSpeechEngine>(false));
  Form->UpdateReadAloudButton();
  Form->OpenBook(WriteBook("numbers.txt", 20));
  EXPECT_FALSE(Form->ReadAloudButton->isEnabled());
  EXPECT_TRUE(Form->ReadAloudButton->statusTip().contains("speech-dispatcher"));
  F9();
  EXPECT_FALSE(Form->Speech->Speaking());
  // Escape still hides the window.
  QTest::keyClick(Form->RichEdit, Qt::Key_Escape);
  EXPECT_TRUE(Form->windowState() & Qt::WindowMinimized);
}

// The service is reached after the first page; when that fails while the
// book is read, the reading ends and the button tells what to install.
TEST_F(ReadAloudTest, AServiceThatStopsAnsweringEndsTheReadingAndDisablesTheButton) {
  Form->OpenBook(WriteBook("numbers.txt", 20));
  F9();
  ASSERT_TRUE(Speaking());
  EXPECT_EQ(Form->ReadAloudButton->text(), "Stop &reading");
  Voice->Lose();
  EXPECT_FALSE(Speaking());
  EXPECT_FALSE(Form->ReadAloudButton->isEnabled());
  EXPECT_EQ(Form->ReadAloudButton->text(), "&Read aloud");
  EXPECT_TRUE(Form->ReadAloudButton->statusTip().contains("speech-dispatcher"));
  F9();
  EXPECT_FALSE(Speaking());
}

// The voice speaks the language guessed from the book's opening.
TEST_F(ReadAloudTest, TheVoiceSpeaksTheBooksLanguage) {
  for (const auto &[name, language] : {std::pair{"tour-du-monde-head.txt", "fr"}, std::pair{"pride-head.txt", "en"}}) {
    QFile fixture(QString(PAGELUME_TEST_DATA) + "/books/" + name);
    ASSERT_TRUE(fixture.open(QIODevice::ReadOnly)) << name;
    Form->OpenBook(Write(name, fixture.readAll()));
    F9();
    ASSERT_TRUE(Speaking()) << name;
    EXPECT_EQ(Voice->Language, language);
    F9();
  }
}
