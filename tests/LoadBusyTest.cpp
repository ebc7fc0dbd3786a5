// A long book load keeps the window alive: the reading box and the engine give
// the event loop turns, and what the reader does during those turns must not
// start another load, change the format or show a half-built book; a close
// request stops the load.
#include "BookLoader.h"
#include "Dialogs.h"
#include "EnhancedRTF.h"
#include "Error.h"
#include "FormatOptions.h"
#include "PagelumeDialog.h"
#include "Program.h"
#include "RTF.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <clocale>
#include <gtest/gtest.h>

#include "FormFixture.h"

namespace {

// ---- the reading box alone ----

TEST(RichEditKeepAlive, SlicesAndAbandon) {
  QString line = QStringLiteral("A line of the book, long enough to fill slices quickly. ");
  std::u16string paragraph = line.repeated(20).toStdU16String();
  const int paragraphs = 2000;  // about 2.2 million characters: several slices

  // Kept alive: the whole text arrives, with turns given on the way.
  TRichEdit box;
  std::vector<int32_t> turns;
  box.KeepAlive = [&](int32_t position) {
    turns.push_back(position);
    return true;
  };
  for (int i = 0; i < paragraphs; ++i)
    box.AppendParagraph(i == paragraphs / 2 ? u"See WWW.example.org: and ftp://host/file." : paragraph);
  box.Flush();
  EXPECT_FALSE(box.LoadAbandoned());
  // The links of a large text put in at once are marked, and only they.
  const int32_t linkParagraph = paragraphs / 2 * int32_t(paragraph.size() + 2);
  auto isLink = [&](int32_t offset) {
    box.SetSelection(linkParagraph + offset, 1);
    return bool(box.GetCharFormat().Effects & CFE_LINK);
  };
  EXPECT_FALSE(isLink(0));
  EXPECT_TRUE(isLink(4));
  EXPECT_FALSE(isLink(19));  // the colon after the address is not part of it
  EXPECT_TRUE(isLink(26));
  box.SetSelection(0, 1);
  EXPECT_FALSE(box.GetCharFormat().Effects & CFE_LINK);
  EXPECT_GE(turns.size(), 1u);
  EXPECT_TRUE(std::is_sorted(turns.begin(), turns.end()));
  EXPECT_EQ(box.TextLength(), (paragraphs - 1) * int32_t(paragraph.size() + 2) + 41 + 2);

  // Refused at the first turn: nothing of the text is shown, until the next load.
  box.Clear();
  box.KeepAlive = [](int32_t) { return false; };
  for (int i = 0; i < paragraphs; ++i)
    box.AppendParagraph(paragraph);
  box.Flush();
  EXPECT_TRUE(box.LoadAbandoned());
  EXPECT_EQ(box.TextLength(), 0);
  EXPECT_TRUE(box.Text().empty());
  box.Clear();
  EXPECT_FALSE(box.LoadAbandoned());

  // Rich text and plain text files stop the same way.
  QTemporaryDir dir;
  const QString rtf = dir.filePath("book.rtf"), txt = dir.filePath("book.txt");
  {
    QFile f(rtf);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("{\\rtf1\\ansi ");
    for (int i = 0; i < 5000; ++i)
      f.write("Paragraph {\\b bold} text.\\par ");
    f.write("}");
    QFile t(txt);
    ASSERT_TRUE(t.open(QIODevice::WriteOnly));
    t.write(QByteArray("Some words of a line.\n").repeated(60000));
  }
  int calls = 0;
  box.KeepAlive = [&](int32_t) { return ++calls < 2; };
  EXPECT_FALSE(box.LoadRtf(rtf));
  EXPECT_TRUE(box.LoadAbandoned());
  EXPECT_EQ(box.TextLength(), 0);
  EXPECT_EQ(calls, 2);  // no more turns once refused
  calls = 0;
  EXPECT_FALSE(box.LoadText(txt));
  EXPECT_TRUE(box.LoadAbandoned());
  EXPECT_EQ(box.TextLength(), 0);
  box.KeepAlive = nullptr;
  EXPECT_TRUE(box.LoadRtf(rtf));
  EXPECT_FALSE(box.LoadAbandoned());
  EXPECT_EQ(box.TextLength(), 5000 * int32_t(std::string("Paragraph bold text.").size() + 2));
}

// ---- the main window ----

class LoadBusyTest : public TFormFixture {
protected:
  void SetUp() override {
    TFormFixture::SetUp();
    Form->OpenInPiecesCheckBox->setChecked(false);
    Form->Loader->ProgressMilliseconds = 0;  // every report gives a turn
    Form->ChooseBookFile = [this](const QString &) {
      ++Dialogs;
      return Other;
    };
    Other = Write("other.txt", "Another book.\n");
    Write("Welcome.txt", "Welcome, reader.\n");
  }
  // Plain text below the size that asks before opening whole, in many paragraphs.
  QString WriteBigBook() {
    return Write("big.txt", QByteArray("The first line of a paragraph\nand its second line.\n\n").repeated(8000));
  }
  QString WriteBigRtf() {
    QByteArray rtf = "{\\rtf1\\ansi ";
    rtf += QByteArray("A paragraph of {\\i rich} text.\\par ").repeated(20000);
    return Write("big.rtf", rtf + "}");
  }
  QString Text() const { return QString::fromStdU16String(Form->RichEdit->Text()); }
  void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(Form->HintLabel, &press);
  }
  // Runs what at the first turn the load gives the window.
  void DuringTheLoad(std::function<void()> what) {
    QTimer::singleShot(0, Form, [this, what] {
      ++Turns;
      if (Form->Loader->Loading())
        what();
    });
  }

  QString Other;
  int Dialogs = 0, Turns = 0;
};

TEST_F(LoadBusyTest, KeysDropsAndOptionsAreRefusedWhileABookLoads) {
  for (bool enhance : {true, false}) {
    SCOPED_TRACE(enhance ? "enhanced" : "unchanged");
    Form->EnhanceTextCheckBox->setChecked(enhance);
    const QString book = WriteBigBook();
    const int zoom = Form->FormatOptions->FontZoomComboBox->currentIndex();
    bool seen = false;
    DuringTheLoad([&] {
      seen = true;
      EXPECT_FALSE(Form->Container_OptionsPageControl->isEnabled());
      EXPECT_TRUE(Form->RichEdit->isHidden());
      EXPECT_TRUE(Form->CurrentFileInfoLabel->text().contains("characters;"));
      Key(Qt::Key_F5);
      Key(Qt::Key_F5, Qt::ControlModifier);
      Key(Qt::Key_F6);
      Key(Qt::Key_F7);
      Key(Qt::Key_O, Qt::AltModifier);
      Key(Qt::Key_A, Qt::AltModifier);
      Key(Qt::Key_S, Qt::AltModifier);
      Form->FilesDropped({QUrl::fromLocalFile(Other)});
      Form->OpenBookButtonClick();
      Form->NextPieceButtonClick();
      Form->PreviousPieceButtonClick();
      Form->PiecesComboBoxChange("2");
      Form->OpenBook(Other);
      Form->Loader->OpenWelcomeBook();
      // The format controls are disabled: keys on them change nothing.
      Form->FormatOptions->FontZoomComboBox->setFocus();
      QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
      QApplication::sendEvent(Form->FormatOptions->FontZoomComboBox, &down);
      EXPECT_TRUE(Form->Loader->Loading());
    });
    EXPECT_TRUE(Form->Loader->OpenBook(book, true));
    EXPECT_TRUE(seen);
    EXPECT_FALSE(Form->Loader->Loading());
    EXPECT_EQ(Dialogs, 0);
    EXPECT_EQ(QString::fromStdString(Form->Loader->State.Path), book);
    EXPECT_TRUE(Text().startsWith("The first line of a paragraph"));
    EXPECT_TRUE(Text().trimmed().endsWith("***** End of Book *****"));
    EXPECT_EQ(Form->FormatOptions->FontZoomComboBox->currentIndex(), zoom);
    EXPECT_TRUE(Form->Container_OptionsPageControl->isEnabled());
    EXPECT_FALSE(Form->RichEdit->isHidden());
  }
  // Once the load is over the same keys work again.
  Key(Qt::Key_F5);
  EXPECT_EQ(Dialogs, 1);
  EXPECT_TRUE(Text().startsWith("Another book."));
  EXPECT_TRUE(Errors.empty());
  EXPECT_TRUE(Boxes.isEmpty());
}

TEST_F(LoadBusyTest, RichTextLoadGivesTurnsAndRefusesAnotherLoad) {
  const QString book = WriteBigRtf();
  bool seen = false;
  DuringTheLoad([&] {
    seen = true;
    Key(Qt::Key_F5, Qt::ControlModifier);
    Form->FilesDropped({QUrl::fromLocalFile(Other)});
  });
  EXPECT_TRUE(Form->Loader->OpenBook(book, true));
  EXPECT_TRUE(seen);
  EXPECT_TRUE(Text().startsWith("A paragraph of rich text.\r\n"));
  EXPECT_EQ(Text().count("A paragraph"), 20000);
  EXPECT_TRUE(Errors.empty());
}

TEST_F(LoadBusyTest, CloseRequestStopsTheLoadAndShowsNoHalfBook) {
  struct TCase {
    const char *Name;
    bool Enhance;
    bool Rtf;
  };
  for (const TCase &c : {TCase{"enhanced", true, false}, TCase{"unchanged", false, false}, TCase{"rich", false, true}}) {
    SCOPED_TRACE(c.Name);
    Form->Loader->State.Closing = false;
    Form->EnhanceTextCheckBox->setChecked(c.Enhance);
    const QString book = c.Rtf ? WriteBigRtf() : WriteBigBook();
    // Counts the turns the load gives the window after the close request.
    int turnsAfterClose = -1;
    QTimer counter;
    counter.setInterval(0);
    QObject::connect(&counter, &QTimer::timeout, [&] {
      if (turnsAfterClose >= 0)
        ++turnsAfterClose;
    });
    counter.start();
    DuringTheLoad([&] {
      EXPECT_TRUE(Form->FormCloseQuery());
      turnsAfterClose = 0;
    });
    EXPECT_FALSE(Form->Loader->OpenBook(book, true));
    counter.stop();
    EXPECT_LE(turnsAfterClose, 1);  // the turn of the close itself may count once
    EXPECT_FALSE(Form->Loader->Loading());
    EXPECT_EQ(Form->RichEdit->TextLength(), 0);
    EXPECT_FALSE(Form->RichEdit->isHidden());
    EXPECT_TRUE(Form->Container_OptionsPageControl->isEnabled());
  }
  EXPECT_TRUE(Errors.empty());
}

}  // namespace
