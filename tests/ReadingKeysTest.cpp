#include "Error.h"
#include "MyMath.h"
#include "RTF.h"
#include "ReadingKeys.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <gtest/gtest.h>

namespace {

class ReadingKeysTest : public ::testing::Test {
protected:
  void SetUp() override {
    Window = new QWidget;
    auto *layout = new QVBoxLayout(Window);
    Box = new TRichEdit;
    Box->setFixedSize(400, 300);
    GotoLine = new QLineEdit;
    FindText = new QLineEdit;
    LineNumber = new QLabel;
    Wheel = new QComboBox;
    Wheel->addItems({"", "1", "3"});
    Wheel->setCurrentIndex(2);
    layout->addWidget(Box);
    layout->addWidget(GotoLine);
    layout->addWidget(FindText);
    layout->addWidget(LineNumber);
    layout->addWidget(Wheel);
    QStringList lines;
    for (int i = 0; i < 200; ++i)
      lines << QString("Line %1").arg(i) + (i == 3 || i == 150 ? " needle" : "");
    for (const QString &line : lines)
      Box->AppendParagraph(line.toStdU16String());
    Box->SetReadOnly(true);

    TReadingCallouts callouts;
    callouts.ShowOpenTab = [this] { ++OpenTabCalls; };
    callouts.Minimise = [this] { Log << "minimise"; };
    callouts.GoToBookmark = [this](int slot) { Log << QString("bookmark %1").arg(slot); };
    callouts.ShowHelp = [this](int context) { Log << QString("help %1").arg(context); };
    callouts.OpenClick = [this] { Log << "open"; };
    callouts.OpenWelcomeBook = [this] { Log << "welcome"; };
    callouts.NextPieceClick = [this] { Log << "next"; };
    callouts.PrevPieceClick = [this] { Log << "prev"; };
    callouts.SaveClick = [this] { Log << "save"; };
    callouts.ShowSidebar = [this](bool hide) { Log << (hide ? "hide sidebar" : "show sidebar"); };
    callouts.SidebarHidden = [this] { return SidebarHidden; };
    callouts.ConverterMouseMove = [this](int32_t pos) { MovePos = pos; };
    callouts.ConverterRightClick = [this](int32_t pos) { Log << QString("converter %1").arg(pos); };
    callouts.DictionaryLookUp = [this] { Log << "dictionary " + Box->textCursor().selectedText(); };
    callouts.RunFile = [this](const QString &target) {
      Log << "run " + target;
      return target != "bad";
    };
    Controller = new TReadingController(Box, GotoLine, FindText, LineNumber, Wheel, callouts, Window);
    Controller->InstallFormKeys(Window);
    Window->show();
    Window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Window));
    Box->setFocus();
    Box->GotoLine(0);
  }
  void TearDown() override { delete Window; }

  void Wheel1(int delta) {
    const QPointF at(50, 50);
    QWheelEvent wheel(at, Box->viewport()->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(Box->viewport(), &wheel);
  }
  void JumpTo(const QString &text) {
    GotoLine->setText(text);
    QTest::keyClick(GotoLine, Qt::Key_Return);
  }

  QWidget *Window = nullptr;
  TRichEdit *Box = nullptr;
  QLineEdit *GotoLine = nullptr;
  QLineEdit *FindText = nullptr;
  QLabel *LineNumber = nullptr;
  QComboBox *Wheel = nullptr;
  TReadingController *Controller = nullptr;
  int OpenTabCalls = 0;
  bool SidebarHidden = true;
  int32_t MovePos = -1;
  QStringList Log;
};

TEST_F(ReadingKeysTest, SpacePagesDownReadOnlyAndTypesABlankWhenEditable) {
  const QString text = Box->toPlainText();
  QTest::keyClick(Box, Qt::Key_Space);
  EXPECT_GT(Box->TopLine(), 5);
  EXPECT_EQ(Box->toPlainText(), text);

  Box->SetReadOnly(false);
  Box->GotoLine(0);
  QTest::keyClick(Box, Qt::Key_Space);
  EXPECT_TRUE(Box->toPlainText().startsWith(" Line 0"));
}

TEST_F(ReadingKeysTest, ArrowsScrollOneLineEach) {
  Box->GotoLine(10);
  QTest::keyClick(Box, Qt::Key_Down);
  EXPECT_EQ(Box->TopLine(), 11);
  QTest::keyClick(Box, Qt::Key_Up);
  QTest::keyClick(Box, Qt::Key_Up);
  EXPECT_EQ(Box->TopLine(), 9);
}

TEST_F(ReadingKeysTest, CtrlShortcutsChangeNothingButCopyWorks) {
  Box->SetReadOnly(false);
  QTextCursor cursor = Box->textCursor();
  cursor.setPosition(0);
  cursor.setPosition(4, QTextCursor::KeepAnchor);
  Box->setTextCursor(cursor);
  const QString text = Box->toPlainText();
  const Qt::Alignment alignment = Box->document()->firstBlock().blockFormat().alignment();
  for (Qt::Key key : {Qt::Key_A, Qt::Key_E, Qt::Key_1, Qt::Key_R, Qt::Key_L}) {
    QTest::keyClick(Box, key, Qt::ControlModifier);
    EXPECT_EQ(Box->textCursor().selectedText(), "Line") << key;
  }
  EXPECT_EQ(Box->toPlainText(), text);
  EXPECT_EQ(Box->document()->firstBlock().blockFormat().alignment(), alignment);

  QApplication::clipboard()->clear();
  QTest::keyClick(Box, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), "Line");
}

TEST_F(ReadingKeysTest, WheelScrollsTheOptionsLinesAndNothingWithoutAValue) {
  Box->GotoLine(20);
  Wheel1(-120);
  EXPECT_EQ(Box->TopLine(), 23);
  Wheel1(120);
  EXPECT_EQ(Box->TopLine(), 20);
  Wheel->setCurrentIndex(0);
  Wheel1(-120);
  Wheel1(120);
  EXPECT_EQ(Box->TopLine(), 20);
  EXPECT_EQ(Controller->WheelScrollLines(), 0);
}

TEST_F(ReadingKeysTest, LineJumpKeepsTheTopLineOnForeignNumbers) {
  Box->GotoLine(10);
  for (const QString &text : {QString("0"), QString::number(Box->LineCount() + 1), QString("abc"), QString()}) {
    JumpTo(text);
    EXPECT_EQ(Box->TopLine(), 10) << text.toStdString();
  }
  JumpTo("51");
  EXPECT_EQ(Box->TopLine(), 50);
  EXPECT_TRUE(Box->hasFocus());

  JumpTo(QString::number(Box->LineCount()));
  EXPECT_GT(Box->TopLine(), 150);
  EXPECT_EQ(Box->verticalScrollBar()->value(), Box->verticalScrollBar()->maximum());
}

TEST_F(ReadingKeysTest, F3WithAnEmptyFieldBringsUpTheOpenTab) {
  QTest::keyClick(Box, Qt::Key_F3);
  EXPECT_EQ(OpenTabCalls, 1);
  EXPECT_TRUE(FindText->hasFocus());
}

TEST_F(ReadingKeysTest, FindContinuesAfterTheMatchAndDoesNotWrap) {
  FindText->setFocus();
  FindText->setText("NEEDLE");
  QTest::keyClick(FindText, Qt::Key_Return);
  EXPECT_EQ(Box->textCursor().block().blockNumber(), 3);
  EXPECT_EQ(Box->textCursor().selectedText(), "needle");
  EXPECT_TRUE(Box->hasFocus());
  QTest::keyClick(Box, Qt::Key_F3);
  EXPECT_EQ(Box->textCursor().block().blockNumber(), 150);
  QTest::keyClick(Box, Qt::Key_F3);
  EXPECT_EQ(Box->textCursor().block().blockNumber(), 150);
  EXPECT_EQ(Box->textCursor().selectedText(), "needle");
}

TEST_F(ReadingKeysTest, WindowKeys) {
  QTest::keyClick(Box, Qt::Key_Escape);
  QTest::keyClick(Box, Qt::Key_3, Qt::AltModifier);
  QTest::keyClick(GotoLine, Qt::Key_A, Qt::AltModifier);
  QTest::keyClick(Box, Qt::Key_T, Qt::ControlModifier);
  QTest::keyClick(Box, Qt::Key_F5);
  QTest::keyClick(Box, Qt::Key_F5, Qt::ControlModifier);
  QTest::keyClick(Box, Qt::Key_F6);
  QTest::keyClick(Box, Qt::Key_F7);
  QTest::keyClick(Box, Qt::Key_S, Qt::AltModifier);
  EXPECT_EQ(Log, QStringList({"minimise", "bookmark 3", "bookmark 0", "help 10000", "open", "welcome", "next",
                              "prev", "save"}));
  QTest::keyClick(Box, Qt::Key_G, Qt::AltModifier);
  EXPECT_TRUE(GotoLine->hasFocus());
  EXPECT_EQ(OpenTabCalls, 1);
  // Plain letters still reach the edits.
  QTest::keyClick(GotoLine, Qt::Key_7);
  EXPECT_EQ(GotoLine->text(), "7");
  // The window keys win over a label's mnemonic.
  auto *label = new QLabel("&Find text", Window);
  label->setBuddy(GotoLine);
  label->show();
  Box->setFocus();
  QTest::keyClick(Box, Qt::Key_F, Qt::AltModifier);
  EXPECT_TRUE(FindText->hasFocus());
  EXPECT_EQ(OpenTabCalls, 2);
}

TEST_F(ReadingKeysTest, MouseHandsWordsAndNumbersOn) {
  int shown = 0;
  SetShowErrorHandler([&](const TFunStatContext &, const std::string &, bool *) { return ++shown > 0; });
  // Third paragraph, "Line 2": paragraph ends before it count two characters each.
  const QRect third = Box->cursorRect(QTextCursor(Box->document()->findBlockByNumber(2)));
  const QPoint word(third.x() + 8, third.center().y());
  QTest::mouseMove(Box->viewport(), word);
  QMouseEvent move(QEvent::MouseMove, word, Box->viewport()->mapToGlobal(word), Qt::NoButton, Qt::NoButton,
                   Qt::NoModifier);
  QApplication::sendEvent(Box->viewport(), &move);
  EXPECT_TRUE(Log.contains("hide sidebar"));
  EXPECT_GE(MovePos, 14 + 0);
  EXPECT_LE(MovePos, 14 + 4);
  Log.clear();
  QTest::mouseDClick(Box->viewport(), Qt::LeftButton, Qt::NoModifier, word);
  EXPECT_EQ(Log, QStringList({"dictionary Line"}));
  Log.clear();
  QTest::mouseClick(Box->viewport(), Qt::RightButton, Qt::NoModifier, word);
  ASSERT_EQ(Log.size(), 1);
  EXPECT_TRUE(Log[0].startsWith("converter 1")) << Log[0].toStdString();
  SidebarHidden = false;
  QTest::mouseClick(Box->viewport(), Qt::RightButton, Qt::NoModifier, word);
  EXPECT_EQ(Log.size(), 1);
  EXPECT_EQ(shown, 0);
  SetShowErrorHandler(nullptr);
}

TEST_F(ReadingKeysTest, LinkFailureShowsItsDescription) {
  std::string shown;
  SetShowErrorHandler([&](const TFunStatContext &, const std::string &description, bool *) {
    shown = description;
    return true;
  });
  Controller->OpenLink("https://example.org");
  EXPECT_EQ(shown, "");
  Controller->OpenLink("bad");
  EXPECT_EQ(shown, "Failed to open link.");
  SetShowErrorHandler(nullptr);
  EXPECT_EQ(Log, QStringList({"run https://example.org", "run bad"}));
}

TEST_F(ReadingKeysTest, TopLineLabel) {
  Box->GotoLine(10);
  const int32_t lines = Box->LineCount();  // counted to the end, however slow the machine
  Controller->UpdateLineNumberLabel();
  EXPECT_EQ(LineNumber->text(), QString("Top line 11 (%1 total lines)").arg(lines));
  EXPECT_EQ(TReadingController::LineNumberText(0, 1234567).toStdString(),
            "Top line 1 (" + FormatInt(1234567) + " total lines)");
}

}  // namespace
