// The browser's history and its list, on temporary folder trees.
#include "BrowserList.h"
#include "Dialogs.h"
#include "Error.h"
#include "File.h"
#include "History.h"
#include "PagelumeDialog.h"
#include "Program.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

void Touch(const QString &path, int bytes = 10) {
  QDir().mkpath(QFileInfo(path).path());
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(QByteArray(bytes, 'x'));
}

TEST(History, OneEntryPerDirectoryMostRecentLast) {
  THistoryDialog history;
  history.Add("/books/a/", 0);
  history.Add("/books/a/x.txt", 4);  // same directory as the last: replaces it
  EXPECT_EQ(history.Count(), 1);
  EXPECT_EQ(history.Items()[0].Path, "/books/a/x.txt");
  history.Add("/books/b/", 0);
  history.Add("/books/c/y.txt", 2);
  // A known directory keeps the item remembered there.
  history.Add("/books/a/", 9);
  THistoryEntry entry;
  ASSERT_EQ(history.Find("/books/a/", &entry), 0);
  EXPECT_EQ(entry.Path, "/books/a/x.txt");
  EXPECT_EQ(entry.TopIndex, 4);
  // Revisiting with an item moves the directory to the most recent place.
  history.Add("/books/a/z.txt", 7);
  EXPECT_EQ(history.Count(), 3);
  EXPECT_EQ(history.Items().last().Path, "/books/a/z.txt");
  EXPECT_EQ(history.Find("/books/a/"), 2);
  // A directory that cannot be listed goes, wherever it stands.
  history.Forget("/books/b/");
  EXPECT_EQ(history.Find("/books/b/"), -1);
  EXPECT_EQ(history.Count(), 2);
  history.Add("", 0);
  history.Add("/home:", 0);
  EXPECT_EQ(history.Count(), 2);
}

TEST(History, HoldsThreeHundredAndThePopupShowsTwenty) {
  THistoryDialog history;
  for (int i = 0; i < 301; ++i)
    history.Add(QString("/d%1/").arg(i), 0);
  EXPECT_EQ(history.Count(), 300);
  EXPECT_EQ(history.Find("/d0/"), -1);
  EXPECT_EQ(history.Find("/d1/"), 0);

  QWidget button;
  QStringList picked;
  history.OnSelect = [&](const THistoryEntry &entry) { picked << entry.Path; };
  history.DialogButton(&button, "Browser history");
  QMenu *menu = history.Menu();
  ASSERT_NE(menu, nullptr);
  const QList<QAction *> actions = menu->actions();
  ASSERT_EQ(actions.size(), 21);
  EXPECT_EQ(actions[0]->text(), "Browser history (300 items)");
  EXPECT_TRUE(actions[0]->font().bold());
  EXPECT_EQ(actions[1]->text(), "/&d300/");
  EXPECT_EQ(actions[20]->text().remove('&'), "/d281/");
  actions[0]->trigger();  // the title does nothing
  EXPECT_TRUE(picked.isEmpty());
  actions[2]->trigger();
  EXPECT_EQ(picked, QStringList{"/d299/"});
  menu->close();
}

// The window seeds the history with the documents folders only when they are
// there: looking never makes a folder.
TEST(History, TheWindowSeedsOnlyDocumentsFoldersThatExist) {
  QTemporaryDir temp;
  const QString home = temp.path() + "/home";
  QDir().mkpath(home);
  struct TEnvironment {
    QByteArray Home = qgetenv("HOME"), Config = qgetenv("XDG_CONFIG_HOME");
    ~TEnvironment() {
      qputenv("HOME", Home);
      Config.isNull() ? qunsetenv("XDG_CONFIG_HOME") : qputenv("XDG_CONFIG_HOME", Config);
      SetProgramDirOverride(QString());
      SetMessageBoxHandler({});
    }
  } restore;
  qputenv("HOME", home.toUtf8());
  qputenv("XDG_CONFIG_HOME", (home + "/.config").toUtf8());
  SetProgramDirOverride(temp.path());
  SetMessageBoxHandler([](TMessageKind, const QString &) { return false; });
  THistoryEntry entry;
  {
    TPagelumeForm form;
    EXPECT_EQ(form.History->Find(home + "/"), -1);
  }
  EXPECT_FALSE(QFileInfo::exists(home + "/Documents"));
  EXPECT_FALSE(QFileInfo::exists(home + "/Public"));
  QDir().mkpath(home + "/Documents");
  TPagelumeForm form;
  ASSERT_GE(form.History->Find(home + "/", &entry), 0);
  EXPECT_EQ(entry.Path, home + "/Documents");
  EXPECT_FALSE(QFileInfo::exists(home + "/Public"));
}

class BrowserTest : public ::testing::Test {
protected:
  void SetUp() override {
    SetProgramDirOverride(Temp.path());
    SetMessageBoxHandler([](TMessageKind, const QString &) { return false; });
    Root = Temp.path() + "/lib/";
    Form = new TPagelumeForm;
    Form->resize(1024, 768);
    Form->LayoutWindow();
    Form->show();
    Form->ShowSidebar(false);
    Form->Container_MainPanel->show();
    QApplication::processEvents();
  }
  void TearDown() override {
    delete Form;
    SetMessageBoxHandler({});
    SetProgramDirOverride(QString());
  }
  QStringList Items() const {
    QStringList items;
    for (int i = 0; i < List()->Count(); ++i)
      items << List()->ItemText(i);
    return items;
  }
  QString Selected() const { return List()->ItemText(List()->SelectedIndex()); }
  TBrowserList *List() const { return Form->BrowserListBox; }

  QTemporaryDir Temp;
  QString Root;
  TPagelumeForm *Form = nullptr;
};

TEST_F(BrowserTest, ListsFoldersThenBooksSortedWithTheirTypes) {
  for (const char *name : {"b.TXT", "a.rtf", "notes.doc", ".hidden.txt", "Pride.txt", "Éluard.txt", "Book 10.txt",
                           "Book 2.txt"})
    Touch(Root + QString::fromUtf8(name));
  for (const char *name : {"Zeta", "alpha", ".secret", "Écrits"})
    QDir().mkpath(Root + QString::fromUtf8(name));
  Form->LoadBrowserContent(Root);
  EXPECT_EQ(Form->BrowserPath, Root);
  // The language's order: case ignored, accents beside their letters, numbers by value.
  EXPECT_EQ(Items(), (QStringList{"alpha", "Écrits", "Zeta", "a.rtf", "b.TXT", "Book 2.txt", "Book 10.txt",
                                  "Éluard.txt", "Pride.txt"}));
  QStringList types;
  for (const TFileItem &item : List()->Model()->Items())
    types << TBrowserList::TypeText(item);
  EXPECT_EQ(types.mid(0, 5), (QStringList{"Dir", "Dir", "Dir", "Form", "Plain"}));
  EXPECT_EQ(List()->RowHeight(), List()->fontMetrics().height() + 5);
  // The type cell follows the row height, but "Form" and "Plain" show whole.
  EXPECT_GE(List()->TypeCellWidth(), static_cast<int>(List()->RowHeight() * 1.7));
  for (const char *type : {"Form", "Plain"})
    EXPECT_GE(List()->TypeCellWidth(), List()->fontMetrics().horizontalAdvance(type) + 5) << type;
  EXPECT_EQ(Selected(), "alpha");

  // The hint names the item under the pointer and its folder; books also
  // their size.
  EXPECT_TRUE(Form->BrowserItemHint(3).startsWith(" SIZE 10 characters."));
  EXPECT_TRUE(Form->BrowserItemHint(3).endsWith(" NAME \"a.rtf\" (IN \"lib\")."));
  EXPECT_EQ(Form->BrowserItemHint(0), " NAME \"alpha\" (IN \"lib\").");
}

TEST_F(BrowserTest, UpDrivesAndFallBacks) {
  QDir().mkpath(Root + "Old/inner");
  QDir().mkpath(Root + "New");
  Form->LoadBrowserContent(Root + "Old/");
  EXPECT_EQ(Items(), QStringList{"inner"});
  Form->UpBrowserButtonClick();
  EXPECT_EQ(Form->BrowserPath, Root);
  EXPECT_EQ(Selected(), "Old");

  // From the root, "Up" shows the drives with the root's volume selected.
  Form->LoadBrowserContent("/");
  Form->UpBrowserButtonClick();
  EXPECT_TRUE(Form->BrowserPath.isEmpty());
  EXPECT_EQ(Selected(), "/");
  EXPECT_TRUE(List()->Model()->Drives());

  // "/" in the list: the drives, the current folder's volume selected.
  Form->LoadBrowserContent(Root);
  List()->setFocus();
  QTest::keyClick(List(), Qt::Key_Slash);
  EXPECT_TRUE(Form->BrowserPath.isEmpty());
  EXPECT_EQ(Selected(), DriveRoot(Root));
  // Entering a drive lists its root.
  Form->OpenBrowserItem();
  EXPECT_EQ(Form->BrowserPath, WithSeparator(DriveRoot(Root)));

  // A folder deleted since falls back to its nearest parent and is forgotten.
  Form->LoadBrowserContent(Root + "New/");
  ASSERT_TRUE(QDir(Root + "New").removeRecursively());
  Form->LoadBrowserContent(Root + "New/");
  EXPECT_EQ(Form->BrowserPath, Root);
  EXPECT_EQ(Form->History->Find(Root + "New/"), -1);
  Form->OpenBrowserItem();  // "Old", inside the parent
  EXPECT_EQ(Form->BrowserPath, Root + "Old/");
}

TEST_F(BrowserTest, ReturningToAFolderRestoresItsItemAndScroll) {
  for (int i = 0; i < 60; ++i)
    Touch(Root + QString("Many/book%1.txt").arg(i, 2, 10, QChar('0')));
  Form->LoadBrowserContent(Root + "Many/");
  ASSERT_GT(List()->RowsThatFit(), 3);
  List()->SetTopIndex(25);
  List()->SelectIndex(27);
  Form->UpBrowserButtonClick();
  EXPECT_EQ(Selected(), "Many");
  Form->OpenBrowserItem();
  EXPECT_EQ(Selected(), "book27.txt");
  EXPECT_EQ(List()->TopIndex(), 25);
}

TEST_F(BrowserTest, KeysTypingAndOpeningABook) {
  Touch(Root + "apple.txt");
  {
    QFile f(Root + "book.txt");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("A short book.\r\n");
  }
  Form->LoadBrowserContent(Root);
  List()->setFocus();
  EXPECT_EQ(Selected(), "apple.txt");
  QTest::keyClicks(List(), "bo");  // no search by typing
  EXPECT_EQ(Selected(), "apple.txt");
  QTest::keyClick(List(), Qt::Key_Down);
  EXPECT_EQ(Selected(), "book.txt");
  QTest::keyClick(List(), Qt::Key_Return);
  EXPECT_TRUE(Form->CurrentFileInfoLabel->text().contains("book.txt")) << Form->CurrentFileInfoLabel->text().toStdString();
  QTest::keyClick(List(), Qt::Key_Backspace);
  EXPECT_EQ(Form->BrowserPath, Temp.path() + "/");
  EXPECT_EQ(Selected(), "lib");
}

}  // namespace

// A long name ends in an ellipsis; new rows under a still pointer bring their
// own tool tip.
TEST_F(BrowserTest, LongNamesElidedAndTheToolTipFollowsTheList) {
  const QString longName = "A very long name of a book that goes on well beyond the width of the list.txt";
  Touch(Root + "One/" + longName);
  Touch(Root + "Two/short.txt");
  Form->LoadBrowserContent(Root + "One/");
  QApplication::processEvents();
  const QRect row = List()->visualRect(List()->Model()->index(0));
  const QImage drawn = List()->viewport()->grab(row).toImage();
  // The same row painted with the elided name itself.
  const int cell = row.width() - List()->TypeCellWidth();
  TFileItem item = List()->Model()->Items()[0];
  item.Text = List()->fontMetrics().elidedText(longName, Qt::ElideRight, cell - 6);
  ASSERT_TRUE(item.Text.endsWith(QChar(0x2026)));
  const int selected = List()->SelectedIndex();
  List()->Model()->SetItems({item}, false);
  List()->SelectIndex(selected);
  QApplication::processEvents();
  EXPECT_EQ(List()->viewport()->grab(row).toImage(), drawn);

  Form->LoadBrowserContent(Root + "One/");
  const QPoint over = row.center();
  QCursor::setPos(List()->viewport()->mapToGlobal(over));
  QMouseEvent move(QEvent::MouseMove, over, List()->viewport()->mapToGlobal(over), Qt::NoButton, Qt::NoButton,
                   Qt::NoModifier);
  QApplication::sendEvent(List()->viewport(), &move);
  ASSERT_TRUE(List()->toolTip().contains(longName)) << List()->toolTip().toStdString();
  // The pointer rests over the list, so the sidebar is out (the offscreen
  // pointer's move may have sent it away).
  Form->Container_MainPanel->show();
  Form->LoadBrowserContent(Root + "Two/");
  EXPECT_TRUE(List()->toolTip().contains("short.txt")) << List()->toolTip().toStdString();
  EXPECT_FALSE(List()->toolTip().contains(longName));
}
