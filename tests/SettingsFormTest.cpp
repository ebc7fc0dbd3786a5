// Pagelume.ini and the bookshelf through the real main window: the controls,
// the buttons and menus, closing and starting again, damaged files and a kill
// in the middle of the save.
#include "BookLoader.h"
#include "Bookshelf.h"
#include "BrowserList.h"
#include "ColorDialog.h"
#include "Dialogs.h"
#include "Error.h"
#include "File.h"
#include "FormatOptions.h"
#include "History.h"
#include "PagelumeDialog.h"
#include "Program.h"
#include "RTF.h"
#include "StoredTextList.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QProcess>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QFileInfo>
#include <clocale>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray ReadAll(const QString &path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A book of short paragraphs, one display line each.
QByteArray LinesBook(int lines) {
  QByteArray text;
  for (int i = 0; i < lines; ++i)
    text += "  Line " + QByteArray::number(i) + ".\n";
  return text;
}

// A book of paragraphs that wrap over several display lines.
QByteArray WrappedBook(int paragraphs) {
  QByteArray text;
  for (int i = 0; i < paragraphs; ++i) {
    text += "  Paragraph " + QByteArray::number(i) + ":";
    for (int w = 0; w < 40 + i % 17; ++w)
      text += " word" + QByteArray::number(w % 9);
    text += ".\n";
  }
  return text;
}

class SettingsFormTest : public ::testing::Test {
protected:
  void SetUp() override {
    std::setlocale(LC_NUMERIC, "C");
    SetProgramDirOverride(Dir.path());
    SetMessageBoxHandler([this](TMessageKind, const QString &text) {
      Boxes << text;
      return Answer;
    });
    SetShowErrorHandler([this](const TFunStatContext &, const std::string &description, bool *) {
      Errors.push_back(description);
      return true;
    });
  }
  void TearDown() override {
    delete Form;
    SetShowErrorHandler({});
    SetMessageBoxHandler({});
    SetProgramDirOverride(QString());
  }
  QString Write(const QString &name, const QByteArray &bytes) {
    const QString path = Dir.filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return path;
  }
  QString IniPath() const { return Dir.filePath("Pagelume.ini"); }
  // A window started as the program starts it; with a book, as if named on the command line.
  void StartForm(const QString &book = QString()) {
    delete Form;
    Form = new TPagelumeForm;
    Form->IsApplicationActive = [] { return false; };
    Form->resize(1024, 768);
    Form->LayoutWindow();
    if (!book.isEmpty())
      Form->CommandLineBooks = {book};
    Form->Start();
    Form->ApplicationEventsActivate();
  }
  void CloseForm() {
    Form->FormCloseQuery();
    delete Form;
    Form = nullptr;
  }
  void Press(QPushButton *button, Qt::MouseButton which, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(3, 3), button->mapToGlobal(QPointF(3, 3)), which, which,
                      modifiers);
    QApplication::sendEvent(button, &press);
  }
  int32_t TopLine() const { return Form->RichEdit->TopLine(); }
  QStringList MenuItems() const {
    QStringList items;
    if (auto *menu = qobject_cast<QMenu *>(Form->Bookshelf->Menu()))
      for (QAction *a : menu->actions())
        items << a->text();
    return items;
  }
  void TriggerMenuItem(int index) {
    auto *menu = qobject_cast<QMenu *>(Form->Bookshelf->Menu());
    ASSERT_NE(menu, nullptr);
    ASSERT_LT(index, menu->actions().size());
    menu->actions()[index]->trigger();
  }

  QTemporaryDir Dir;
  QStringList Boxes;
  std::vector<std::string> Errors;
  bool Answer = false;
  TPagelumeForm *Form = nullptr;
};

TEST_F(SettingsFormTest, ProgramTabControls) {
  StartForm();
  EXPECT_EQ(Form->AutoBookmarkCheckBox->text(), "Auto bookmark");
  EXPECT_EQ(Form->AutoSaveProfileCheckBox->text(), "Auto save profile");
  EXPECT_EQ(Form->ClipboardForDicCheckBox->text(), "Use clipboard for dictionary");
  EXPECT_EQ(Form->ClipboardForDicCheckBox->statusTip(), "Use the clipboard to query the dictionary");
  EXPECT_TRUE(Form->DictionaryTitleEdit->isReadOnly());
  EXPECT_EQ(Form->DictionaryTitleEdit->statusTip(), "File title of dictionary program");
  EXPECT_EQ(Form->PrintTextGroupBox->title(), "Print text");
  EXPECT_EQ(Form->PrintTextGroupBox->parentWidget(), Form->MiscTabSheet);
  EXPECT_EQ(Form->PrintLeftMarginComboBox->count(), 11);
  EXPECT_EQ(Form->PrintLeftMarginComboBox->currentText(), "30");
  EXPECT_EQ(Form->PrintBottomMarginComboBox->currentText(), "20");
  EXPECT_EQ(Form->PrintTopMarginComboBox->statusTip(), "Space between paper top-margin and text");
  EXPECT_EQ(Form->RichBoxWidthPercentComboBox->count(), 16);
  EXPECT_EQ(Form->RichBoxTopPercentComboBox->currentText(), "10");
  EXPECT_EQ(Form->RichBoxBottomPercentComboBox->count(), 16);
  EXPECT_EQ(Form->PutBookshelfButton->text(), "&Put");
  EXPECT_EQ(Form->OpenBookshelfButton->text(), "&Open (0)");
  EXPECT_FALSE(Form->OpenBookshelfButton->isEnabled());
  EXPECT_FALSE(Form->RemoveBookshelfButton->isEnabled());
  EXPECT_EQ(Form->BookmarkAutoButton->parentWidget(), Form->BookGroupBox);

  // The size lists move the reading box at once.
  Form->RichBoxWidthPercentComboBox->setCurrentText("95");
  EXPECT_EQ(Form->RichBoxWidthPercent, 95);
  EXPECT_EQ(Form->RichEdit->geometry(), QRect(26, 76, 972, 576));
  Form->RichBoxTopPercentComboBox->setCurrentText("5");
  EXPECT_EQ(Form->RichEdit->y(), 38);
  EXPECT_TRUE(Errors.empty());
}

TEST_F(SettingsFormTest, BookshelfButtonsAndMenus) {
  Write("Welcome.txt", "Welcome.\n");
  const QString a = Write("a.txt", LinesBook(400));
  const QString b = Write("b.txt", LinesBook(400));
  StartForm(a);
  EXPECT_EQ(Form->BookmarkAutoButton->text(), "&Auto");  // not on the shelf
  Form->RichEdit->GotoLine(40);
  Press(Form->Bookmark1Button, Qt::RightButton);  // not kept for a book off the shelf
  EXPECT_EQ(Form->Bookmark1Button->text(), "&1");

  Form->PutBookshelfButtonClick();
  EXPECT_EQ(Form->OpenBookshelfButton->text(), "&Open (1)");
  EXPECT_TRUE(Form->RemoveBookshelfButton->isEnabled());
  EXPECT_EQ(Form->BookmarkAutoButton->text(), "&Auto*");
  {
    // On the shown sidebar the set auto button shows its caption whole,
    // with the style's margins on both sides.
    Form->show();
    Form->ShowSidebar(false);
    Form->Container_MainPanel->show();
    QApplication::processEvents();
    QPushButton *autoButton = Form->BookmarkAutoButton;
    QStyleOptionButton option;
    option.initFrom(autoButton);
    const QRect text = autoButton->style()->subElementRect(QStyle::SE_PushButtonContents, &option, autoButton);
    const int margin = autoButton->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, autoButton);
    EXPECT_GE(text.width(), autoButton->fontMetrics().horizontalAdvance("Auto*") + margin)
        << autoButton->width();
    // The row fits its box: no button is drawn over its neighbour.
    for (int slot = 1; slot < TBookmark::Slots; ++slot) {
      const QRect left = Form->BookmarkButton(slot - 1)->geometry(), right = Form->BookmarkButton(slot)->geometry();
      EXPECT_LT(left.right(), right.left()) << slot;
    }
  }
  const int32_t line40 = Form->RichEdit->LineStart(40);
  int32_t piece = 0;
  EXPECT_EQ(Form->Bookshelf->GetBookmark(a.toStdString(), 0, piece), line40);
  EXPECT_TRUE(Boxes.isEmpty());

  // Setting a set mark asks first; No keeps it.
  Form->RichEdit->GotoLine(60);
  Answer = false;
  Press(Form->BookmarkAutoButton, Qt::RightButton);
  ASSERT_EQ(Boxes.size(), 1);
  EXPECT_TRUE(Boxes[0].startsWith("This book already has an auto-bookmark. Do you want to overwrite it?\n\n"));
  EXPECT_EQ(Form->Bookshelf->GetBookmark(a.toStdString(), 0, piece), line40);
  Press(Form->Bookmark3Button, Qt::RightButton);
  EXPECT_EQ(Form->Bookmark3Button->text(), "&3*");
  EXPECT_EQ(Boxes.size(), 1);  // a new mark asks nothing
  Form->RichEdit->GotoLine(80);
  Press(Form->Bookmark3Button, Qt::RightButton);
  EXPECT_EQ(Boxes.last(), "This bookmark is already set for this book. Do you want to overwrite it?");
  Answer = true;
  Press(Form->Bookmark3Button, Qt::RightButton);
  // Left goes, other presses do nothing.
  Form->RichEdit->GotoLine(0);
  Press(Form->Bookmark3Button, Qt::LeftButton, Qt::ShiftModifier);
  EXPECT_EQ(TopLine(), 0);
  Press(Form->Bookmark3Button, Qt::LeftButton);
  EXPECT_EQ(TopLine(), 80);
  Press(Form->BookmarkAutoButton, Qt::LeftButton);
  EXPECT_EQ(TopLine(), 40);
  // Ctrl+right clears a numbered mark without a question.
  const int boxes = Boxes.size();
  Press(Form->Bookmark3Button, Qt::RightButton, Qt::ControlModifier);
  EXPECT_EQ(Form->Bookmark3Button->text(), "&3");
  EXPECT_EQ(Boxes.size(), boxes);

  // Leaving for another book keeps the place of the one left.
  Form->RichEdit->GotoLine(120);
  Press(Form->Bookmark2Button, Qt::RightButton);
  Form->OpenBook(b);
  EXPECT_EQ(Form->Bookshelf->GetBookmark(a.toStdString(), 0, piece), Form->RichEdit->LineStart(120));
  EXPECT_EQ(Form->BookmarkAutoButton->text(), "&Auto");
  EXPECT_EQ(Form->Bookmark2Button->text(), "&2");
  Form->PutBookshelfButtonClick();  // at the top: position 0
  EXPECT_EQ(Form->Bookshelf->GetBookmark(b.toStdString(), 0, piece), 0);
  Form->PutBookshelfButtonClick();  // a position of 0 asks nothing
  EXPECT_EQ(Boxes.size(), boxes);

  // The open menu lists the most recent first; picking a book opens it at its auto-bookmark.
  Form->OpenBookshelfButtonClick();
  ASSERT_EQ(MenuItems().size(), 2);
  EXPECT_EQ(QString(MenuItems()[0]).remove('&'), b);
  EXPECT_EQ(QString(MenuItems()[1]).remove('&'), a);
  TriggerMenuItem(1);
  EXPECT_EQ(Form->Loader->State.Path, a.toStdString());
  EXPECT_EQ(TopLine(), 120);
  EXPECT_EQ(Form->Bookmark2Button->text(), "&2*");
  EXPECT_EQ(Form->Bookshelf->LastBook(), a.toStdString());

  // Reopening the open book goes to its saved auto-bookmark, not to the current place.
  Form->RichEdit->GotoLine(300);
  Form->OpenBookshelfButtonClick();
  TriggerMenuItem(0);
  EXPECT_EQ(TopLine(), 120);

  // Leaving a book within its first five lines keeps its auto-bookmark but makes it the most recent.
  Form->OpenBook(b);
  Form->RichEdit->GotoLine(3);
  Form->OpenBook(a);
  EXPECT_EQ(Form->Bookshelf->GetBookmark(b.toStdString(), 0, piece), 0);
  Form->OpenBook(Dir.filePath("Welcome.txt"));
  EXPECT_EQ(Form->Bookshelf->LastBook(), a.toStdString());

  // The remove menu takes a book off without a question.
  Form->RemoveBookshelfButtonClick();
  ASSERT_EQ(MenuItems().size(), 2);
  TriggerMenuItem(1);  // b, the least recent
  EXPECT_EQ(Form->Bookshelf->IndexOf(b.toStdString()), -1);
  EXPECT_EQ(Form->OpenBookshelfButton->text(), "&Open (1)");

  // Ctrl+right on "&Auto" takes the open book off the shelf with its marks.
  Form->OpenBook(a);
  EXPECT_EQ(Form->Bookmark2Button->text(), "&2*");
  Press(Form->BookmarkAutoButton, Qt::RightButton, Qt::ControlModifier);
  EXPECT_EQ(Form->Bookshelf->Count(), 0);
  EXPECT_EQ(Form->BookmarkAutoButton->text(), "&Auto");
  EXPECT_EQ(Form->Bookmark2Button->text(), "&2");
  EXPECT_EQ(Form->OpenBookshelfButton->text(), "&Open (0)");
  EXPECT_FALSE(Form->RemoveBookshelfButton->isEnabled());
  EXPECT_EQ(Boxes.size(), boxes);
  EXPECT_TRUE(Errors.empty());
}

// A double click is a press followed by a second press that arrives as a
// double-click event: a button that acts on presses acts once.
TEST_F(SettingsFormTest, ADoubleClickOnAPressButtonActsOnce) {
  auto doubleClick = [](QWidget *w, Qt::MouseButton which, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::mouseClick(w, which, modifiers);
    QTest::mouseDClick(w, which, modifiers);
    QTest::mouseRelease(w, which, modifiers);
  };
  const QString a = Write("a.txt", LinesBook(400));
  StartForm(a);
  Form->RichEdit->GotoLine(40);
  Form->PutBookshelfButtonClick();
  doubleClick(Form->Bookmark1Button, Qt::RightButton);
  EXPECT_EQ(Form->Bookmark1Button->text(), "&1*");
  doubleClick(Form->BookmarkAutoButton, Qt::LeftButton);
  EXPECT_EQ(TopLine(), 40);
  EXPECT_TRUE(Boxes.isEmpty()) << Boxes.join("|").toStdString();

  int chosen = 0;
  Form->ChooseImageFile = [&](const QString &, const QString &) { return ++chosen, QString(); };
  Form->ChooseSoundFile = [&](const QString &) { return ++chosen, QString(); };
  Form->ChooseProfileFile = [&](const QString &, const QString &, bool) { return ++chosen, QString(); };
  Form->ChooseStockColor = [&](uint32_t &) { return ++chosen, false; };
  for (QWidget *w : std::initializer_list<QWidget *>{
           Form->ChangeScreenBackImageButton, Form->ChangeRichBackImageButton, Form->ChangeBackSoundButton,
           Form->LoadProfileButton, Form->SaveProfileButton, Form->DeleteProfileButton, Form->ScreenBackColorPanel}) {
    chosen = 0;
    doubleClick(w, Qt::LeftButton);
    EXPECT_EQ(chosen, 1) << w->objectName().toStdString();
  }
  EXPECT_TRUE(Errors.empty());
}

// Paths are compared as the file system compares names: here "a.txt" and
// "A.txt" are two books, each with its own place, and two folders differing
// in case are two places in the browser's history. A name stored in another
// spelling (written where case did not count) still finds its book.
TEST_F(SettingsFormTest, NamesDifferingInCaseAreDifferentBooks) {
  Write("Welcome.txt", "Welcome.\n");
  ASSERT_TRUE(QDir(Dir.path()).mkpath("shelf/x") && QDir(Dir.path()).mkpath("shelf/X"));
  const QString lower = Write("shelf/a.txt", LinesBook(300));
  const QString upper = Write("shelf/A.txt", LinesBook(300));
  const QString old = Write("shelf/old.txt", LinesBook(300));
  Write("Pagelume.ini", "[Pagelume_Bookshelf_Main]\r\nCount=1\r\n0=" + Dir.filePath("SHELF/Old.TXT").toUtf8() +
                            "\r\n[Pagelume_Bookshelf_CaretPos]\r\n0=2000\r\n");
  StartForm();
  EXPECT_TRUE(Boxes.isEmpty()) << Boxes.join("|").toStdString();
  EXPECT_EQ(Form->Loader->State.Path, old.toStdString());
  EXPECT_GT(TopLine(), 50);

  int32_t piece = 0;
  for (auto [book, line] : {std::pair{lower, 40}, std::pair{upper, 80}}) {
    Form->OpenBook(book);
    Form->RichEdit->GotoLine(line);
    Form->PutBookshelfButtonClick();
  }
  EXPECT_EQ(Form->Bookshelf->Count(), 3);
  EXPECT_EQ(Form->Bookshelf->GetBookmark(lower.toStdString(), 0, piece), Form->RichEdit->LineStart(40));
  EXPECT_EQ(Form->Bookshelf->GetBookmark(upper.toStdString(), 0, piece), Form->RichEdit->LineStart(80));

  const QString x = Dir.filePath("shelf/x/"), X = Dir.filePath("shelf/X/");
  Form->LoadBrowserContent(x);
  Form->LoadBrowserContent(X);
  const int atX = Form->History->Find(x), atUpperX = Form->History->Find(X);
  EXPECT_GE(atX, 0);
  EXPECT_GE(atUpperX, 0);
  EXPECT_NE(atX, atUpperX);
  EXPECT_TRUE(Errors.empty());
}

// Start on a book, read on, mark a place, change options, close; start again.
TEST_F(SettingsFormTest, ClosingAndStartingAgainComesBackToTheSamePlace) {
  const QString book = Write("long.txt", LinesBook(1500));
  StartForm(book);
  Form->PutBookshelfButtonClick();
  Form->RichEdit->GotoLine(700);
  Press(Form->Bookmark2Button, Qt::RightButton);
  Form->RichEdit->GotoLine(500);
  Form->AutoSaveProfileCheckBox->setChecked(false);
  Form->PieceSizeComboBox->setCurrentText("100000");
  Form->RichBoxWidthPercentComboBox->setCurrentText("60");
  CloseForm();
  const QByteArray first = ReadAll(IniPath());
  ASSERT_FALSE(first.isEmpty());
  EXPECT_TRUE(first.contains("AutoSaveProfile=FALSE\r\n"));
  EXPECT_TRUE(first.contains("PieceSize=100000\r\n"));
  EXPECT_FALSE(first.startsWith("\xEF\xBB\xBF"));

  StartForm();  // no book named
  EXPECT_EQ(Form->Loader->State.Path, book.toStdString());
  EXPECT_EQ(TopLine(), 500);
  EXPECT_EQ(Form->Bookmark2Button->text(), "&2*");
  EXPECT_EQ(Form->BookmarkAutoButton->text(), "&Auto*");
  EXPECT_EQ(Form->Bookmark1Button->text(), "&1");
  EXPECT_FALSE(Form->AutoSaveProfileCheckBox->isChecked());
  EXPECT_EQ(Form->PieceSizeComboBox->currentText(), "100000");
  EXPECT_EQ(Form->RichBoxWidthPercentComboBox->currentText(), "60");
  EXPECT_EQ(Form->RichBoxWidthPercent, 60);
  Press(Form->Bookmark2Button, Qt::LeftButton);
  EXPECT_EQ(TopLine(), 700);
  CloseForm();
  const QByteArray second = ReadAll(IniPath());
  EXPECT_NE(second, first);  // the auto-bookmark followed the reader to line 700

  // With nothing changed, the file comes out byte for byte the same.
  StartForm();
  EXPECT_EQ(TopLine(), 700);
  CloseForm();
  EXPECT_EQ(ReadAll(IniPath()), second);
  EXPECT_TRUE(Errors.empty());
  EXPECT_TRUE(Boxes.isEmpty());
}

TEST_F(SettingsFormTest, DamagedSettingsStartWithWhatIsValid) {
  Write("Welcome.txt", "Welcome.\n");
  const QString book = Write("book.txt", LinesBook(300));
  QByteArray ini = "garbage line\r\n\x01\x02\xFF\r\n[Pagelume_Main]\r\nAutoLoadLast=TRUE\r\nAutoBookmark=yes\r\n"
                   "PieceSize=" + QByteArray(5000, '9') + "\r\nWheelScrollLines=5\r\nRichBoxTopPercent=7\r\n"
                   "[Pagelume_Bookshelf_Main]\r\nCount=3\r\n0=/no/such/book.txt\r\n1=" + book.toUtf8() +
                   "\r\n2=" + Dir.filePath("gone.txt").toUtf8() + "\r\n"
                   "[Pagelume_Bookshelf_CaretPos]\r\n0=5\r\n1=99999999\r\n1_1=-40\r\n1_2=250\r\n"
                   "[Pagelume_Bookshelf_Pieces]\r\n1=1\r\n1_2=7\r\n";
  Write("Pagelume.ini", ini);
  StartForm();
  // The most recent book no longer exists: the welcome book opens instead.
  EXPECT_EQ(Boxes, QStringList({"The book is not a valid text file, or it doesn't exist."}));
  EXPECT_TRUE(Form->Loader->State.Path.ends_with("Welcome.txt"));
  EXPECT_FALSE(Form->AutoBookmarkCheckBox->isChecked());
  EXPECT_EQ(Form->WheelScrollLinesComboBox->currentText(), "5");
  EXPECT_EQ(Form->RichBoxTopPercentComboBox->currentText(), "7");
  EXPECT_EQ(Form->PieceSizeComboBox->currentText(), "50000");
  EXPECT_EQ(Form->Bookshelf->Count(), 3);

  // A position past the end of the book: the end; a mark in a piece the book does not have: not followed.
  Form->OpenBook(book);
  EXPECT_GT(TopLine(), 200);
  Press(Form->Bookmark2Button, Qt::LeftButton);
  EXPECT_GT(TopLine(), 200);
  EXPECT_EQ(Form->Bookmark1Button->text(), "&1");
  CloseForm();

  // What is written back is a clean file that reads back to itself.
  const QByteArray clean = ReadAll(IniPath());
  EXPECT_TRUE(clean.startsWith("[Pagelume_Main]\r\nAutoSaveProfile=TRUE\r\n"));
  EXPECT_TRUE(clean.contains("PieceSize=50000\r\n"));
  EXPECT_TRUE(clean.contains("Count=3\r\n"));
  EXPECT_TRUE(IsValidUtf8(clean.toStdString()));
  StartForm(book);
  CloseForm();
  EXPECT_EQ(ReadAll(IniPath()), clean);
  EXPECT_TRUE(Errors.empty());
}

TEST_F(SettingsFormTest, ASettingsFileThatCannotBeReadIsReportedAndKept) {
  auto startAndClose = [&] {
    Errors.clear();
    ::alarm(60);  // a start that blocks on the file ends the test run
    StartForm();
    ::alarm(0);
    EXPECT_EQ(Errors, std::vector<std::string>({"Failed to load file."}));
    EXPECT_EQ(Form->PieceSizeComboBox->currentText(), "50000");
    Form->PieceSizeComboBox->setCurrentText("200000");
    Errors.clear();
    CloseForm();
    EXPECT_TRUE(Errors.empty());
  };
  // A folder in its place.
  ASSERT_TRUE(QDir(Dir.path()).mkdir("Pagelume.ini"));
  startAndClose();
  EXPECT_TRUE(QFileInfo(IniPath()).isDir());
  ASSERT_TRUE(QDir(Dir.path()).rmdir("Pagelume.ini"));
  // A named pipe: never opened for reading (that would wait for a writer) nor replaced.
  ASSERT_EQ(::mkfifo(QFile::encodeName(IniPath()).constData(), 0644), 0);
  startAndClose();
  struct stat st {};
  EXPECT_EQ(::lstat(QFile::encodeName(IniPath()).constData(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  ASSERT_TRUE(QFile::remove(IniPath()));
  // A file too large to be read: the settings and the shelf in it are not
  // replaced by the defaults, while the profile is still saved.
  const QByteArray head = "[Pagelume_Main]\r\nPieceSize=100000\r\n";
  const QByteArray big = head + ";" + QByteArray(TStoredTextList::MaxFileSize - head.size(), 'x') + "\r\n";
  Write("Pagelume.ini", big);
  startAndClose();
  EXPECT_TRUE(ReadAll(IniPath()) == big);
  EXPECT_TRUE(QFile::exists(Dir.filePath("PagelumeProfile.plp")));
}

TEST_F(SettingsFormTest, AMarkInAPieceTheBookNoLongerHasOpensTheTop) {
  const QString book = Write("pieces.txt", WrappedBook(500));  // about 140000 bytes: 3 pieces of 50000
  Write("Pagelume.ini", "[Pagelume_Bookshelf_Main]\r\nCount=1\r\n0=" + book.toUtf8() +
                            "\r\n[Pagelume_Bookshelf_CaretPos]\r\n0=500\r\n[Pagelume_Bookshelf_Pieces]\r\n0=9\r\n");
  StartForm();
  EXPECT_EQ(Form->Loader->State.Path, book.toStdString());
  EXPECT_EQ(Form->Loader->State.CurrentPiece, 1);
  EXPECT_EQ(TopLine(), 0);
  // A mark in another piece reopens the book at that piece and line.
  Form->RichEdit->GotoLine(321);
  Press(Form->Bookmark4Button, Qt::RightButton);
  Form->NextPieceButtonClick();
  Form->NextPieceButtonClick();
  EXPECT_EQ(Form->Loader->State.CurrentPiece, 3);
  Press(Form->Bookmark4Button, Qt::LeftButton);
  EXPECT_EQ(Form->Loader->State.CurrentPiece, 1);
  EXPECT_EQ(TopLine(), 321);
  EXPECT_TRUE(Errors.empty());
}

TEST_F(SettingsFormTest, AnUnreadableBookKeepsItsPlaceOnTheShelf) {
  const QString readable = Write("a.txt", LinesBook(50));
  const QString unreadable = Write("pieces.txt", WrappedBook(500));  // 3 pieces of 50000 bytes
  Write("Pagelume.ini", "[Pagelume_Main]\r\nAutoSaveProfile=FALSE\r\n[Pagelume_Bookshelf_Main]\r\nCount=2\r\n0=" +
                            unreadable.toUtf8() + "\r\n1=" + readable.toUtf8() +
                            "\r\n[Pagelume_Bookshelf_CaretPos]\r\n0=5000\r\n1=0\r\n"
                            "[Pagelume_Bookshelf_Pieces]\r\n0=2\r\n1=1\r\n");
  StartForm(readable);
  ASSERT_EQ(::chmod(QFile::encodeName(Dir.path()).constData(), 0755), 0);
  ASSERT_EQ(::chmod(QFile::encodeName(unreadable).constData(), 0), 0);
  // Root reads anything: the book is read as another user would.
  const bool asRoot = ::geteuid() == 0;
  if (asRoot)
    ::setfsuid(65534);
  Form->OpenBookshelfButton->click();
  ASSERT_EQ(MenuItems().size(), 2);
  TriggerMenuItem(1);  // the least recent book
  if (asRoot)
    ::setfsuid(0);
  EXPECT_EQ(Form->Loader->State.Path, unreadable.toStdString());
  EXPECT_EQ(Errors, std::vector<std::string>({"Failed to load."}));
  CloseForm();
  TStoredTextList saved(IniPath().toStdString());
  ASSERT_TRUE(saved.Load());
  TBookshelf shelf;
  shelf.LoadBookshelf(saved);
  int32_t piece = 0;
  EXPECT_EQ(shelf.GetBookmark(unreadable.toStdString(), 0, piece), 5000);
  EXPECT_EQ(piece, 2);
}

TEST_F(SettingsFormTest, ABookWhosePathHoldsALineBreakIsNotShelved) {
  ASSERT_TRUE(QDir(Dir.path()).mkdir("new\nline"));
  const QString book = Write("new\nline/book.txt", LinesBook(50));
  StartForm(book);
  ASSERT_EQ(Form->Loader->State.Path, book.toStdString());
  Form->PutBookshelfButton->click();
  EXPECT_EQ(Boxes, QStringList({"The path of this book holds a line break: it cannot be put on the bookshelf."}));
  EXPECT_EQ(Form->Bookshelf->Count(), 0);
  CloseForm();
  EXPECT_TRUE(ReadAll(IniPath()).contains("[Pagelume_Bookshelf_Main]\r\nCount=0\r\n"));
}

// ---- A kill while the settings are written ----

// Run by the test below in a child process: closes a window whose settings
// save stops half way until it is killed.
TEST(SettingsKill, Child) {
  const QString dir = qEnvironmentVariable("PAGELUME_SETTINGS_KILL_DIR");
  if (dir.isEmpty())
    GTEST_SKIP() << "runs as a child of SettingsKill.SaveKilledHalfWay";
  SetProgramDirOverride(dir);
  SetMessageBoxHandler([](TMessageKind, const QString &) { return false; });
  if (qEnvironmentVariableIsEmpty("PAGELUME_SETTINGS_NO_STALL"))
    TStoredTextList::MidWriteHook = [dir] {
    QFile marker(dir + "/stalled");
    marker.open(QIODevice::WriteOnly);
    marker.close();
    QThread::sleep(60);
  };
  TPagelumeForm form;
  form.Start();
  form.PieceSizeComboBox->setCurrentText("200000");
  form.FormCloseQuery();
  TStoredTextList::MidWriteHook = {};
}

TEST(SettingsKill, SaveKilledHalfWayLeavesTheOldFile) {
  QTemporaryDir dir;
  const QByteArray old = "[Pagelume_Main]\r\nPieceSize=100000\r\n\r\n";
  {
    QFile f(dir.filePath("Pagelume.ini"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(old);
  }
  QProcess child;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("PAGELUME_SETTINGS_KILL_DIR", dir.path());
  env.insert("QT_QPA_PLATFORM", "offscreen");
  env.insert("TMPDIR", dir.path());
  child.setProcessEnvironment(env);
  child.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=SettingsKill.Child"});
  ASSERT_TRUE(child.waitForStarted(10000));
  QElapsedTimer timer;
  timer.start();
  while (!QFile::exists(dir.filePath("stalled")) && timer.elapsed() < 60000 &&
         child.state() == QProcess::Running)
    QThread::msleep(20);
  ASSERT_TRUE(QFile::exists(dir.filePath("stalled"))) << child.readAllStandardError().toStdString();
  child.kill();  // SIGKILL
  child.waitForFinished(10000);
  EXPECT_EQ(ReadAll(dir.filePath("Pagelume.ini")), old);

  // Without the stall the same close writes the whole new file.
  env.insert("PAGELUME_SETTINGS_NO_STALL", "1");
  child.setProcessEnvironment(env);
  child.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=SettingsKill.Child"});
  ASSERT_TRUE(child.waitForFinished(60000));
  EXPECT_EQ(child.exitCode(), 0);
  const QByteArray saved = ReadAll(dir.filePath("Pagelume.ini"));
  EXPECT_TRUE(saved.startsWith("[Pagelume_Main]\r\n"));
  EXPECT_TRUE(saved.contains("PieceSize=200000\r\n"));
  EXPECT_TRUE(saved.endsWith("Temperature=Celsius\r\n\r\n"));
}

}  // namespace

// A book whose name is no UTF-8 (written under another encoding) opens from
// the command line, the browser and the shelf, and its name comes back from
// the settings file byte for byte.
TEST_F(SettingsFormTest, ABookNamedInAnotherEncodingOpensEverywhere) {
  const QByteArray bookBytes = QFile::encodeName(Dir.path()) + "/caf\xE9.txt";
  const int fd = ::open(bookBytes.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::write(fd, "A line of the book.\n", 20), 20);
  ::close(fd);
  const QString book = DecodeFileName(bookBytes);
  const QString other = Write("other.txt", "Another book.\n");
  auto shown = [this] { return QString::fromStdU16String(Form->RichEdit->Text()); };

  StartForm(book);
  EXPECT_EQ(Form->Loader->State.Path, bookBytes.toStdString());
  EXPECT_TRUE(shown().contains("A line of the book.")) << shown().toStdString();
  Form->PutBookshelfButtonClick();
  CloseForm();
  QFile ini(IniPath());
  ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
  const QByteArray settings = ini.readAll();
  EXPECT_TRUE(settings.contains("=file://" + QFile::encodeName(Dir.path()) + "/caf%E9.txt\r\n"))
      << settings.toStdString();
  EXPECT_EQ(QString::fromUtf8(settings).toUtf8(), settings);  // the file stays UTF-8

  StartForm(other);
  ASSERT_TRUE(shown().contains("Another book."));
  EXPECT_EQ(Form->Bookshelf->LastBook(), bookBytes.toStdString());
  Form->OpenBookshelfButtonClick();
  TriggerMenuItem(0);
  EXPECT_EQ(Form->Loader->State.Path, bookBytes.toStdString());
  EXPECT_TRUE(shown().contains("A line of the book."));

  Form->OpenBook(other);
  Form->LoadBrowserContent(WithSeparator(Dir.path()));
  TBrowserList *list = Form->BrowserListBox;
  for (int i = 0; i < list->Count(); ++i)
    if (list->ItemText(i) == FileName(book))
      list->SelectIndex(i);
  QTest::keyClick(list, Qt::Key_Return);
  EXPECT_EQ(Form->Loader->State.Path, bookBytes.toStdString());
  EXPECT_TRUE(shown().contains("A line of the book."));
  EXPECT_TRUE(Errors.empty()) << Errors.front();
  EXPECT_TRUE(Boxes.isEmpty()) << Boxes.join('\n').toStdString();
}
