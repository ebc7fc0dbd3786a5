// A long plain-text book is shown before its load ends: the page appears once
// the text that holds the reading position has arrived, the rest follows
// while keys other than Esc are still refused, and the page does not move
// when later text arrives.
#include "BookLoader.h"
#include "Bookshelf.h"
#include "Dialogs.h"
#include "PagelumeDialog.h"
#include "RTF.h"

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QTabWidget>
#include <QTimer>
#include <gtest/gtest.h>

#include "FormFixture.h"

namespace {

// A turn of the event loop given while appended text and its formats go into
// the document (a paint, a scroll) reads the box; it must not put the same
// pending formats in a second time under the flush that runs.
TEST(RichEditFlush, TurnInsideAFlushLeavesItsFormatsToIt) {
  TRichEdit box;
  for (int i = 0; i < 3000; ++i)
    box.AppendParagraph(u"Already there.");
  box.Flush();
  int turns = 0;
  box.KeepAlive = [&](int32_t) {
    ++turns;
    EXPECT_GT(box.TextLength(), 0);  // reads the box, as a paint does
    return true;
  };
  TCharFormat red;
  red.Mask = CFM_COLOR;
  red.TextColor = 0x0000FF;
  const int32_t first = box.TextLength();
  const std::u16string line = u"A coloured line of the appended text.";
  const int paragraphs = 20000;
  for (int i = 0; i < paragraphs; ++i) {
    const int32_t start = first + i * int32_t(line.size() + 2);
    box.AppendParagraph(line);
    box.SetSelection(start, int32_t(line.size()));
    box.SetCharFormat(red, false);
  }
  box.Flush();
  box.KeepAlive = nullptr;
  EXPECT_GE(turns, 1);
  for (int i : {0, 1023, 1024, paragraphs / 2, paragraphs - 1}) {
    SCOPED_TRACE(i);
    box.SetSelection(first + i * int32_t(line.size() + 2), int32_t(line.size()));
    const TCharFormat f = box.GetCharFormat();
    EXPECT_TRUE(f.Mask & CFM_COLOR);
    EXPECT_EQ(f.TextColor, 0x0000FFu);
  }
  EXPECT_EQ(box.TextLength(), first + paragraphs * int32_t(line.size() + 2));
}

class EarlyPageTest : public TFormFixture {
protected:
  void SetUp() override {
    TFormFixture::SetUp();
    // The book is larger than a whole book opened without asking: the answer is yes.
    SetMessageBoxHandler([this](TMessageKind kind, const QString &text) {
      if (kind == TMessageKind::Query)
        return true;
      Boxes << text;
      return false;
    });
    Form->OpenInPiecesCheckBox->setChecked(false);
    Form->ChooseBookFile = [this](const QString &) {
      ++Dialogs;
      return QString();
    };
    Form->show();
    QApplication::processEvents();
  }
  void TearDown() override {
    Form->hide();
    TFormFixture::TearDown();
  }
  // About 1.5 MB of numbered paragraphs: many portions after the first page.
  QString WriteLongBook() {
    QByteArray bytes;
    for (int i = 0; i < 12000; ++i)
      bytes += "Paragraph " + QByteArray::number(i) +
               " of the long book, with words enough to fill a few lines of the reading box and more.\n"
               "Its second line, joined to the first one by the engine.\n\n";
    return Write("long.txt", bytes);
  }
  // Records every paint of the reading box while the book loads.
  struct TPaint {
    bool Loading;
    int32_t Top;
    int32_t Length;
  };
  class TPaintWatch : public QObject {
  public:
    explicit TPaintWatch(TPagelumeForm *form) : Form(form) { Form->RichEdit->viewport()->installEventFilter(this); }
    bool eventFilter(QObject *, QEvent *event) override {
      if (event->type() == QEvent::Paint && Form->RichEdit->isVisible() && Form->Loader->Loading())
        Paints.push_back({true, Form->RichEdit->TopPosition(), Form->RichEdit->TextLength()});
      return false;
    }
    TPagelumeForm *Form;
    std::vector<TPaint> Paints;
  };
  void Key(QWidget *to, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(to, &press);
  }
  void WaitForLineCount() {
    for (int i = 0; i < 2000 && !Form->RichEdit->LinesCounted(); ++i)
      QApplication::processEvents();
  }
  int Dialogs = 0;
};

TEST_F(EarlyPageTest, PageIsShownWhileTheRestArrivesAndKeysStayRefused) {
  const QString book = WriteLongBook();
  TPaintWatch watch(Form);
  // At the first turn after the page was painted: keys that would scroll, open
  // or reload are refused, and the page does not move.
  bool triedKeys = false;
  int32_t topBeforeKeys = -1;
  QTimer probe;
  probe.setInterval(0);
  QObject::connect(&probe, &QTimer::timeout, [&] {
    if (triedKeys || watch.Paints.empty() || !Form->Loader->Loading())
      return;
    triedKeys = true;
    topBeforeKeys = Form->RichEdit->TopPosition();
    Key(Form->RichEdit, Qt::Key_PageDown);
    Key(Form->RichEdit, Qt::Key_End, Qt::ControlModifier);
    Key(Form->RichEdit, Qt::Key_Down, Qt::ControlModifier);
    Key(Form->HintLabel, Qt::Key_F5);
    Key(Form->HintLabel, Qt::Key_F6);
    EXPECT_EQ(Form->RichEdit->TopPosition(), topBeforeKeys);
    EXPECT_TRUE(Form->Loader->Loading());
  });
  probe.start();
  EXPECT_TRUE(Form->Loader->OpenBook(book, true));
  probe.stop();

  ASSERT_FALSE(watch.Paints.empty()) << "no page painted before the load ended";
  const int32_t length = Form->RichEdit->TextLength();
  // The first page was painted from a part of the text, at the top of the book.
  EXPECT_LT(watch.Paints.front().Length, length / 2);
  EXPECT_EQ(watch.Paints.front().Top, 0);
  for (const TPaint &p : watch.Paints)
    EXPECT_EQ(p.Top, 0);
  EXPECT_TRUE(triedKeys);
  EXPECT_EQ(topBeforeKeys, 0);
  EXPECT_EQ(Dialogs, 0);
  EXPECT_FALSE(Form->Loader->Loading());
  // All of it arrived, in order, and the page stayed.
  const QString text = QString::fromStdU16String(Form->RichEdit->Text());
  EXPECT_TRUE(text.startsWith("Paragraph 0 of the long book"));
  EXPECT_TRUE(text.contains("Paragraph 11999 of the long book"));
  EXPECT_TRUE(text.trimmed().endsWith("***** End of Book *****"));
  EXPECT_EQ(text.count("Its second line"), 12000);
  EXPECT_EQ(Form->RichEdit->TopPosition(), 0);
  EXPECT_TRUE(Form->Container_OptionsPageControl->isEnabled());
  // The line count runs once the load is over, and counts the whole book.
  WaitForLineCount();
  EXPECT_TRUE(Form->RichEdit->LinesCounted());
  EXPECT_GT(Form->RichEdit->CountedLines(), 24000);
  // Keys work again.
  Key(Form->RichEdit, Qt::Key_PageDown);
  EXPECT_GT(Form->RichEdit->TopPosition(), 0);
  EXPECT_TRUE(Errors.empty());
}

TEST_F(EarlyPageTest, FarReadingPositionIsTheFirstPageShownAndStays) {
  const QString book = WriteLongBook();
  const QString other = Write("other.txt", "Another book.\n");
  // Where the reader left the book: a third of the way in, inside a paragraph.
  ASSERT_TRUE(Form->Loader->OpenBook(book, true));
  const int32_t paragraph = int32_t(QString::fromStdU16String(Form->RichEdit->Text()).indexOf("Paragraph 4000 of"));
  ASSERT_GT(paragraph, 0);
  const int32_t far = paragraph + 20;
  ASSERT_TRUE(Form->Loader->OpenBook(other, true));
  Form->Bookshelf->SetBookmark(book.toStdString(), 0, 1, far);

  TPaintWatch watch(Form);
  EXPECT_TRUE(Form->Loader->OpenBook(book, false));
  ASSERT_FALSE(watch.Paints.empty()) << "no page painted before the load ended";
  const int32_t length = Form->RichEdit->TextLength();
  const int32_t first = watch.Paints.front().Top;
  EXPECT_LT(watch.Paints.front().Length, length);
  // The first page shown is the one of the reading position, not the start.
  EXPECT_LE(first, far);
  EXPECT_GE(first, paragraph);
  EXPECT_EQ(QString::fromStdU16String(Form->RichEdit->TextRange(first, 14)), QString("Paragraph 4000"));
  // Later text did not move it, nor did the end of the load.
  for (const TPaint &p : watch.Paints)
    EXPECT_EQ(p.Top, first);
  EXPECT_EQ(Form->RichEdit->TopPosition(), first);
  WaitForLineCount();
  EXPECT_EQ(Form->RichEdit->TopPosition(), first);
  EXPECT_TRUE(Errors.empty());
}

TEST_F(EarlyPageTest, CloseAfterTheFirstPageEmptiesTheBox) {
  const QString book = WriteLongBook();
  TPaintWatch watch(Form);
  bool closed = false;
  QTimer probe;
  probe.setInterval(0);
  QObject::connect(&probe, &QTimer::timeout, [&] {
    if (closed || watch.Paints.empty() || !Form->Loader->Loading())
      return;
    closed = true;
    EXPECT_TRUE(Form->FormCloseQuery());
  });
  probe.start();
  EXPECT_FALSE(Form->Loader->OpenBook(book, true));
  probe.stop();
  EXPECT_TRUE(closed);
  EXPECT_FALSE(Form->Loader->Loading());
  EXPECT_EQ(Form->RichEdit->TextLength(), 0);
  EXPECT_TRUE(Form->Container_OptionsPageControl->isEnabled());
  Form->Loader->State.Closing = false;
}

}  // namespace
