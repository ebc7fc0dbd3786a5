// The main window as a reader meets it first: keys that open the sidebar,
// pop-up hints and the reading box's edge.
#include "Bookshelf.h"
#include "Dialogs.h"
#include "History.h"
#include "HintTiming.h"
#include "PagelumeDialog.h"
#include "Program.h"
#include "RTF.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QCursor>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolTip>
#include <gtest/gtest.h>

namespace {

class PagelumeInteractionTest : public ::testing::Test {
protected:
  void SetUp() override {
    SetProgramDirOverride(Dir.path());
    SetMessageBoxHandler([](TMessageKind, const QString &) { return false; });
    Form = new TPagelumeForm;
    Form->IsApplicationActive = [] { return true; };
    Form->setGeometry(0, 0, 1024, 768);
    Form->LayoutWindow();
    Form->show();
    QCoreApplication::processEvents();
  }
  void TearDown() override {
    delete Form;
    SetMessageBoxHandler({});
    SetProgramDirOverride(QString());
  }
  QTemporaryDir Dir;
  TPagelumeForm *Form = nullptr;
};

TEST_F(PagelumeInteractionTest, FirstAltGPutsThePointerOnTheOpenPage) {
  Form->SidebarGuard = false;
  QCursor::setPos(Form->RichEdit->mapToGlobal(Form->RichEdit->rect().center()));
  ASSERT_TRUE(Form->Container_MainPanel->isHidden());  // never shown so far
  QKeyEvent press(QEvent::KeyPress, Qt::Key_G, Qt::AltModifier);
  QApplication::sendEvent(Form->RichEdit, &press);
  ASSERT_TRUE(Form->Container_MainPanel->isVisible());
  // The top centre of the page as it is laid out now that it is shown.
  const QPoint target = Form->OpenTabSheet->mapToGlobal(QPoint(Form->OpenTabSheet->width() / 2, 0));
  EXPECT_EQ(QCursor::pos(), target);
  const QRect panel(Form->Container_MainPanel->mapToGlobal(QPoint(0, 0)), Form->Container_MainPanel->size());
  EXPECT_TRUE(panel.contains(target)) << target.x() << "," << target.y();
  EXPECT_GT(Form->OpenTabSheet->width(), 100);
  EXPECT_EQ(Form->ProgramPageControl->currentWidget(), Form->OpenTabSheet);
}

TEST_F(PagelumeInteractionTest, ReadingBoxHasNoFrameOfItsOwn) {
  EXPECT_EQ(Form->RichEdit->frameShape(), QFrame::NoFrame);
  EXPECT_EQ(Form->RichEdit->frameWidth(), 0);
}

TEST_F(PagelumeInteractionTest, PopUpHintsUseTheHintTiming) {
  EXPECT_EQ(QApplication::style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay), 400);
  Form->Container_MainPanel->show();
  QPushButton *first = Form->CloseProgramButton, *second = Form->HideProgramButton;
  first->setToolTip("first hint");
  second->setToolTip("second hint");
  auto ask = [](QWidget *w) {
    const QPoint local = w->rect().center();
    QHelpEvent help(QEvent::ToolTip, local, w->mapToGlobal(local));
    QApplication::sendEvent(w, &help);
  };
  ask(first);
  EXPECT_TRUE(QToolTip::isVisible());
  EXPECT_EQ(QToolTip::text(), "first hint");
  // A neighbour's hint replaces it only after the short pause.
  ask(second);
  EXPECT_NE(QToolTip::text(), "second hint");
  QTest::qWait(THintTiming::HintShortPause + 300);
  EXPECT_TRUE(QToolTip::isVisible());
  EXPECT_EQ(QToolTip::text(), "second hint");
  // Left before its pause is over, a neighbour shows no hint.
  ask(first);
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(first, &leave);
  QTest::qWait(THintTiming::HintShortPause + 300);
  EXPECT_NE(QToolTip::text(), "first hint");
  QToolTip::hideText();
}

// Every caption on every page of the sidebar fits the sidebar's width.
TEST_F(PagelumeInteractionTest, NoSidebarCaptionIsCut) {
  QWidget *panel = Form->Container_MainPanel;
  panel->show();
  QStringList cut;
  int checked = 0;
  auto checkPage = [&] {
    for (int pass = 0; pass < 3; ++pass) {
      QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
      QCoreApplication::processEvents();
    }
    for (QWidget *w : panel->findChildren<QWidget *>()) {
      if (!w->isVisible() || w->width() <= 0)
        continue;
      QString text;
      bool fits = true;
      if (auto *box = qobject_cast<QCheckBox *>(w)) {
        text = box->text();
        fits = box->hasHeightForWidth() ? box->heightForWidth(box->width()) <= box->height()
                                        : box->sizeHint().width() <= box->width();
      } else if (auto *button = qobject_cast<QAbstractButton *>(w)) {
        text = button->text();
        fits = w->fontMetrics().horizontalAdvance(QString(text).remove('&')) <= button->width();
      } else if (auto *label = qobject_cast<QLabel *>(w)) {
        text = label->text();
        fits = label->wordWrap() ? label->heightForWidth(label->contentsRect().width()) <= label->contentsRect().height()
                                 : label->sizeHint().width() <= label->width();
      } else if (auto *group = qobject_cast<QGroupBox *>(w)) {
        text = group->title();
        fits = w->fontMetrics().horizontalAdvance(text) <= group->width();
      } else {
        continue;
      }
      if (text.isEmpty())
        continue;
      ++checked;
      const QRect inPanel(w->mapTo(panel, QPoint(0, 0)), w->size());
      if (!fits || inPanel.right() >= panel->width())
        cut << text + QString(" (%1x%2 at %3 in %4, needs %5)")
                          .arg(w->width()).arg(w->height()).arg(inPanel.x()).arg(panel->width())
                          .arg(w->hasHeightForWidth() ? w->heightForWidth(w->width()) : w->sizeHint().width());
    }
  };
  for (auto [sheet, tabs] : {std::pair{Form->ProgramTabSheet, Form->ProgramPageControl},
                             std::pair{Form->ProfileTabSheet, Form->ProfilePageControl}}) {
    Form->Container_OptionsPageControl->setCurrentWidget(sheet);
    for (int i = 0; i < tabs->count(); ++i) {
      tabs->setCurrentIndex(i);
      checkPage();
    }
  }
  for (int i = 0; i < Form->Container_OptionsPageControl->count(); ++i) {
    Form->Container_OptionsPageControl->setCurrentIndex(i);
    checkPage();
  }
  EXPECT_GT(checked, 10);
  EXPECT_TRUE(cut.isEmpty()) << cut.join(" | ").toStdString();
}

// The hint label follows the pointer over controls and over the items of the
// pop-up menus; where there is no hint it shows the reading box's.
TEST_F(PagelumeInteractionTest, HintsFollowThePointerIntoMenus) {
  const QString boxHint = TPagelumeForm::RichEditHint;
  Form->SidebarGuard = false;
  Form->ShowSidebar(false);
  Form->ProgramPageControl->setCurrentWidget(Form->OpenTabSheet);
  QCoreApplication::processEvents();
  auto hoverWidget = [](QWidget *w, QPoint at) {
    QTest::mouseMove(w, at);
    QCoreApplication::processEvents();
  };
  hoverWidget(Form->UpBrowserButton, Form->UpBrowserButton->rect().center());
  EXPECT_EQ(Form->HintLabel->text(), "Load the parent directory. [Backspace]");
  hoverWidget(Form->BrowserGroupBox, QPoint(2, 2));  // the group's edge, which has no hint
  EXPECT_EQ(Form->HintLabel->text(), boxHint);

  auto hoverItem = [](QMenu *menu, int index) {
    QTest::mouseMove(menu, menu->actionGeometry(menu->actions()[index]).center());
    QCoreApplication::processEvents();
  };
  Form->DownloadBooksButtonClick();
  QMenu *download = Form->DownloadBooksPopupMenu;
  ASSERT_TRUE(QTest::qWaitForWindowExposed(download));
  hoverItem(download, 0);
  EXPECT_EQ(Form->HintLabel->text(), "All sorts of books");
  hoverItem(download, 3);  // "Alex" has no hint
  EXPECT_EQ(Form->HintLabel->text(), boxHint);
  download->close();

  // The bookshelf's and the history's items name their book or place, and
  // both menus give their items access keys.
  const QString book = Dir.filePath("a.txt");
  Form->Bookshelf->SetBookmark(book.toStdString(), 0, 1, 0);
  Form->OpenBookshelfButtonClick();
  auto *shelf = qobject_cast<QMenu *>(Form->Bookshelf->Menu());
  ASSERT_NE(shelf, nullptr);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(shelf));
  hoverItem(shelf, 0);
  EXPECT_EQ(Form->HintLabel->text(), book);
  shelf->close();

  Form->History->Add(Dir.filePath("x/b.txt"), 0);
  Form->History->Add(Dir.filePath("y/"), 0);
  Form->BrowserHistoryButtonClick();
  QMenu *history = Form->History->Menu();
  ASSERT_NE(history, nullptr);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(history));
  QStringList keys;
  for (QAction *item : history->actions().mid(1))
    keys << item->text().mid(item->text().indexOf('&') + 1, 1);
  EXPECT_EQ(keys.size(), history->actions().size() - 1);
  EXPECT_EQ(keys.removeDuplicates(), 0) << keys.join(" ").toStdString();
  EXPECT_EQ(history->actions()[2]->text().remove('&'), Dir.filePath("x/"));
  hoverItem(history, 2);
  EXPECT_EQ(Form->HintLabel->text(), Dir.filePath("x/b.txt"));
  history->close();
}

}  // namespace
