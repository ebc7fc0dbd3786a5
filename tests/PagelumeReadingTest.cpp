// The main window reading books end to end: the loader, the engine, the
// reading box, the pieces controls, the chapters menu and the start-up book.
#include "BookLoader.h"
#include "Dialogs.h"
#include "EnhancedRTF.h"
#include "Error.h"
#include "PagelumeDialog.h"
#include "Program.h"
#include "RTF.h"

#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QUrl>
#include <clocale>
#include <gtest/gtest.h>

#include "FormFixture.h"

namespace {

class PagelumeReadingTest : public TFormFixture {
protected:
  // Two chapters with enough text between them for the second to scroll to the top.
  QString WriteChaptersBook() {
    QByteArray text = "Chapter 1\n\nShe said \"come in\" and the\ndoor opened.\n\n";
    for (int i = 0; i < 150; ++i)
      text += "Paragraph " + QByteArray::number(i) + " of the first chapter.\n\n";
    text += "Chapter 2 Tom & Jerry\n\n";
    for (int i = 0; i < 150; ++i)
      text += "Paragraph " + QByteArray::number(i) + " of the second chapter.\n\n";
    return Write("chapters.txt", text);
  }
  QString Text() const { return QString::fromStdU16String(Form->RichEdit->Text()); }

};

TEST_F(PagelumeReadingTest, ControlsOfTheSidebar) {
  EXPECT_EQ(Form->ChaptersButton->text(), "&Chapters (0)");
  EXPECT_FALSE(Form->ChaptersButton->isEnabled());
  EXPECT_EQ(Form->ChaptersButton->statusTip(), "Go to a chapter from the list. [Alt + C]");
  EXPECT_EQ(Form->PiecesLabel->text(), "1 piece");
  EXPECT_TRUE(Form->OpenInPiecesCheckBox->isChecked());
  EXPECT_EQ(Form->PieceSizeComboBox->currentText(), "50000");
  EXPECT_EQ(Form->PieceSizeComboBox->count(), 18);
  EXPECT_EQ(Form->PieceSizeComboBox->itemText(10), "150000");
  EXPECT_EQ(Form->WheelScrollLinesComboBox->count(), 12);
  EXPECT_TRUE(Form->EnhanceTextCheckBox->isChecked());
  EXPECT_FALSE(Form->PoorlyWrittenCheckBox->isChecked());
  EXPECT_EQ(Form->EnhancePlainTextGroupBox->title(), "Enhance plain text");
  EXPECT_TRUE(Form->RichEdit->isHidden());
  EXPECT_TRUE(Form->RichEdit->ReadOnly());
  EXPECT_EQ(Form->RichEdit->focusPolicy(), Qt::ClickFocus);
  for (const char *name : {"GotoLineEdit", "FindTextEdit", "LineNumberLabel", "PiecesComboBox", "NextPieceButton",
                           "PreviousPieceButton", "OpenBookButton", "AutoLoadLastCheckBox", "IgnoreEmptyLinesCheckBox",
                           "LineSpacingComboBox", "ForceRichEdit3CheckBox"})
    EXPECT_NE(Form->findChild<QWidget *>(name), nullptr) << name;
}

TEST_F(PagelumeReadingTest, EnhancedBookWithChapters) {
  Form->OpenBook(WriteChaptersBook());
  EXPECT_FALSE(Form->RichEdit->isHidden());
  EXPECT_TRUE(Text().startsWith("Chapter 1\r\n"));
  EXPECT_TRUE(Text().contains("She said \"come in\" and the door opened.")) << Text().left(200).toStdString();
  EXPECT_TRUE(Text().trimmed().endsWith("***** End of Book *****"));
  EXPECT_EQ(Form->ChaptersButton->text(), "&Chapters (2)");
  EXPECT_TRUE(Form->ChaptersButton->isEnabled());
  EXPECT_TRUE(Form->CurrentFileInfoLabel->text().startsWith("\"chapters.txt\" (in \""));
  EXPECT_TRUE(Form->CurrentFileInfoLabel->text().contains("(opened in 0 seconds)"));
  EXPECT_TRUE(Form->Container_OptionsPageControl->isEnabled());
  EXPECT_TRUE(Form->AboutButton->isEnabled());
  EXPECT_TRUE(Boxes.isEmpty());
  EXPECT_TRUE(Errors.empty());

  ASSERT_NE(Form->ChaptersPopupMenu, nullptr);
  const QList<QAction *> entries = Form->ChaptersPopupMenu->actions();
  ASSERT_EQ(entries.size(), 2);
  EXPECT_EQ(entries[1]->text(), "Chapter 2 Tom && Jerry");  // no hot key
  EXPECT_EQ(Form->RichEdit->TopLine(), 0);
  entries[1]->trigger();
  const int32_t top = Form->RichEdit->TopLine();
  EXPECT_GT(top, 100);
  EXPECT_EQ(top, Form->RichEdit->LineOfChar(entries[1]->data().toInt()));

  Form->InfoTimerTimer();
  EXPECT_TRUE(Form->LineNumberLabel->text().startsWith("Top line " + QString::number(top + 1) + " ("));

  // A book without headings has no menu.
  Form->OpenBook(Write("plain.txt", "Just one line.\n"));
  EXPECT_EQ(Form->ChaptersPopupMenu, nullptr);
  EXPECT_EQ(Form->ChaptersButton->text(), "&Chapters (0)");
  EXPECT_FALSE(Form->ChaptersButton->isEnabled());
}

TEST_F(PagelumeReadingTest, AltCShowsTheChaptersMenuBelowTheButton) {
  Form->OpenBook(WriteChaptersBook());
  QKeyEvent altC(QEvent::KeyPress, Qt::Key_C, Qt::AltModifier, "c");
  QApplication::sendEvent(Form->RichEdit, &altC);
  ASSERT_NE(Form->ChaptersPopupMenu, nullptr);
  EXPECT_TRUE(Form->ChaptersPopupMenu->isVisible());
  EXPECT_EQ(Form->ChaptersPopupMenu->pos().x(), Form->ChaptersButton->mapToGlobal(QPoint(0, 0)).x());
  Form->ChaptersPopupMenu->hide();
}

TEST_F(PagelumeReadingTest, BookInPieces) {
  QByteArray line(99, 'x');
  line += '\n';
  Form->OpenBook(Write("long.txt", line.repeated(1200)));
  EXPECT_EQ(Form->PiecesLabel->text(), "3 pieces");
  EXPECT_EQ(Form->PiecesComboBox->count(), 3);
  EXPECT_EQ(Form->PiecesComboBox->currentText(), "1");
  EXPECT_TRUE(Form->PiecesComboBox->isEnabled());
  EXPECT_TRUE(Form->NextPieceButton->isEnabled());
  EXPECT_FALSE(Form->PreviousPieceButton->isEnabled());
  EXPECT_TRUE(Text().trimmed().endsWith("***** End of Piece 1 / 3 *****"));

  Form->NextPieceButton->click();
  EXPECT_EQ(Form->PiecesComboBox->currentText(), "2");
  EXPECT_TRUE(Form->NextPieceButton->isEnabled());
  EXPECT_TRUE(Form->PreviousPieceButton->isEnabled());
  EXPECT_TRUE(Text().trimmed().endsWith("***** End of Piece 2 / 3 *****"));

  QKeyEvent f6(QEvent::KeyPress, Qt::Key_F6, Qt::NoModifier);
  QApplication::sendEvent(Form->RichEdit, &f6);
  EXPECT_EQ(Form->PiecesComboBox->currentText(), "3");
  EXPECT_FALSE(Form->NextPieceButton->isEnabled());
  EXPECT_TRUE(Text().trimmed().endsWith("***** End of Book *****"));

  // Without pieces the list shows one item and the navigation is off.
  Form->OpenInPiecesCheckBox->click();
  EXPECT_FALSE(Form->PiecesComboBox->isEnabled());
  EXPECT_FALSE(Form->NextPieceButton->isEnabled());
  EXPECT_FALSE(Form->PreviousPieceButton->isEnabled());
  EXPECT_TRUE(Errors.empty());
}

TEST_F(PagelumeReadingTest, RichTextShownWholeAndRefusedBooks) {
  Form->OpenBook(Write("book.rtf", "{\\rtf1\\ansi Hello {\\b bold} world.\\par Chapter 1\\par}"));
  EXPECT_FALSE(Form->RichEdit->isHidden());
  EXPECT_TRUE(Text().startsWith("Hello bold world.\r\nChapter 1"));
  EXPECT_FALSE(Text().contains("*****"));
  EXPECT_EQ(Form->PiecesLabel->text(), "1 piece");
  EXPECT_FALSE(Form->ChaptersButton->isEnabled());  // rich text is never enhanced

  Form->OpenBook(Dir.filePath("missing.txt"));
  EXPECT_EQ(Boxes, QStringList{"The book is not a valid text file, or it doesn't exist."});
  EXPECT_TRUE(Text().isEmpty());
  EXPECT_EQ(Form->PiecesComboBox->count(), 0);
  EXPECT_TRUE(Errors.empty());
}

TEST_F(PagelumeReadingTest, StartUpBookAndDroppedFiles) {
  // The command-line book opens at the first activation.
  Form->CommandLineBooks = {Write("first.txt", "First book.\n")};
  Form->ApplicationEventsActivate();
  EXPECT_TRUE(Text().startsWith("First book."));
  EXPECT_EQ(Form->HintLabel->text(), TPagelumeForm::SidebarHintText);

  // Dropped files: only the first opens.
  Form->FilesDropped({QUrl::fromLocalFile(Write("second.txt", "Second book.\n")),
                      QUrl::fromLocalFile(Write("third.txt", "Third book.\n"))});
  EXPECT_TRUE(Text().startsWith("Second book."));

  // Ctrl+F5 opens the welcome book beside the program.
  Write("Welcome.txt", "Welcome, reader.\n");
  QKeyEvent ctrlF5(QEvent::KeyPress, Qt::Key_F5, Qt::ControlModifier);
  QApplication::sendEvent(Form->RichEdit, &ctrlF5);
  EXPECT_TRUE(Text().startsWith("Welcome, reader."));

  // F5 and the "Open" button use the open dialog; a cancelled dialog changes nothing.
  QStringList starts;
  Form->ChooseBookFile = [&](const QString &start) {
    starts << start;
    return QString();
  };
  QKeyEvent f5(QEvent::KeyPress, Qt::Key_F5, Qt::NoModifier);
  QApplication::sendEvent(Form->RichEdit, &f5);
  EXPECT_EQ(starts, QStringList{Dir.filePath("Welcome.txt")});
  EXPECT_TRUE(Text().startsWith("Welcome, reader."));
  EXPECT_TRUE(Boxes.isEmpty());
}

TEST_F(PagelumeReadingTest, CloseRequestReachesTheLoad) {
  // A close request during a load: the engine's progress answer is the stop flag.
  Form->OpenBook(Write("short.txt", "Short.\n"));
  EXPECT_FALSE(Form->Loader->State.Closing);
  EXPECT_TRUE(Form->FormCloseQuery());
  EXPECT_TRUE(Form->Loader->State.Closing);
  Form->Loader->State.ProgressTimerStart = {};  // the next report is due
  EXPECT_TRUE(Form->Enhancer->Progress(0));
}

TEST_F(PagelumeReadingTest, StartWithoutAnyBookWarnsOnce) {
  Form->ApplicationEventsActivate();
  EXPECT_EQ(Boxes, QStringList{"The book is not a valid text file, or it doesn't exist."});
  EXPECT_TRUE(Errors.empty());
}

}  // namespace
