#include "AboutDialog.h"
#include "Dialogs.h"
#include "Error.h"
#include "PagelumeDialog.h"
#include "Program.h"
#include "RTF.h"

#include <QApplication>
#include <QStatusTipEvent>
#include <QDesktopServices>
#include <QEnterEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

class PagelumeFormTest : public ::testing::Test {
protected:
  void SetUp() override {
    // Nothing beside the test binary is read or written; boxes never block.
    SetProgramDirOverride(Dir.path());
    SetMessageBoxHandler([this](TMessageKind, const QString &text) {
      Boxes << text;
      return false;
    });
    Form = new TPagelumeForm;
    Form->IsApplicationActive = [this] { return Active; };
    Form->resize(1024, 768);
    Form->LayoutWindow();  // a hidden window gets its resize event only when shown
  }
  void TearDown() override {
    delete Form;
    SetMessageBoxHandler({});
    SetProgramDirOverride(QString());
  }
  void MoveOver(QWidget *w, QPoint p) {
    QMouseEvent move(QEvent::MouseMove, p, w->mapToGlobal(p), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(w, &move);
  }
  bool SidebarShown() const { return !Form->Container_MainPanel->isHidden(); }

  QTemporaryDir Dir;
  QStringList Boxes;
  TPagelumeForm *Form = nullptr;
  bool Active = true;
};

// Counts key presses that reach a widget.
class KeyCounter : public QObject {
public:
  int Count = 0;
  bool eventFilter(QObject *, QEvent *event) override {
    if (event->type() == QEvent::KeyPress)
      ++Count;
    return false;
  }
};

TEST_F(PagelumeFormTest, DesignAndControls) {
  EXPECT_TRUE(Form->windowFlags() & Qt::FramelessWindowHint);
  EXPECT_EQ(Form->font().family(), "Tahoma");
  EXPECT_EQ(Form->font().pointSize(), 8);
  EXPECT_EQ(Form->ClockLabel->font().pointSize(), 12);
  EXPECT_TRUE(Form->ClockLabel->font().bold());
  EXPECT_TRUE(Form->RichEdit->isReadOnly());
  EXPECT_TRUE(Form->RichEdit->isHidden());
  EXPECT_EQ(Form->Container_MainPanel->width(), 250);
  for (const char *name : {"CurrentFileInfoLabel", "RichEdit", "HintLabel", "ClockLabel", "Container_MainPanel",
                           "Container_OptionsPageControl", "ProgramPageControl", "ProfilePageControl",
                           "MainButtonsPanel"})
    EXPECT_NE(Form->findChild<QWidget *>(name), nullptr) << name;

  auto tabs = [](QTabWidget *t) {
    QStringList names;
    for (int i = 0; i < t->count(); ++i)
      names << t->tabText(i);
    return names;
  };
  EXPECT_EQ(tabs(Form->Container_OptionsPageControl), QStringList({"Program", "Profile", "Convert"}));
  EXPECT_EQ(tabs(Form->ProgramPageControl), QStringList({"Open", "General", "Misc"}));
  EXPECT_EQ(tabs(Form->ProfilePageControl), QStringList({"General", "Colors", "Format", "Misc"}));
  EXPECT_EQ(Form->BookGroupBox->title(), "Book");
  EXPECT_EQ(Form->BrowserGroupBox->parentWidget(), Form->OpenTabSheet);
  EXPECT_NE(Form->BookshelfGroupBox->layout(), nullptr);
  EXPECT_EQ(Form->CloseProgramButton->text(), "Close");
  EXPECT_EQ(Form->AboutButton->statusTip(), "Display information about the program");
}

TEST_F(PagelumeFormTest, LayoutFollowsTheWindowAndTheSizeOptions) {
  EXPECT_EQ(Form->RichEdit->geometry(), QRect(282, 76, 460, 576));
  EXPECT_EQ(Form->Container_MainPanel->geometry(), QRect(22, 10, 250, 748));
  EXPECT_EQ(Form->HintLabel->geometry(), QRect(282, 662, 460, 96));
  EXPECT_EQ(Form->CurrentFileInfoLabel->geometry(), QRect(282, 10, 460, 56));
  EXPECT_EQ(Form->ClockLabel->geometry(), QRect(902, 738, 90, 20));
  Form->RichBoxWidthPercent = 95;
  Form->LayoutWindow();
  EXPECT_EQ(Form->RichEdit->geometry(), QRect(26, 76, 972, 576));
  EXPECT_EQ(Form->Container_MainPanel->x(), 10);
}

TEST_F(PagelumeFormTest, HintsReachTheHintLabel) {
  EXPECT_EQ(Form->HintLabel->text(), TPagelumeForm::RichEditHint);
  EXPECT_TRUE(QString(TPagelumeForm::RichEditHint).contains("open the \"Welcome\" book"));
  EXPECT_EQ(Form->RichEdit->statusTip(), TPagelumeForm::RichEditHint);
  EXPECT_EQ(Form->CurrentFileInfoLabel->text(), "");
  QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
  QApplication::sendEvent(Form->CloseProgramButton, &enter);
  EXPECT_EQ(Form->HintLabel->text(), "Close the program. [Alt + F4]");
  QApplication::sendEvent(Form->HideProgramButton, &enter);
  EXPECT_EQ(Form->HintLabel->text(), "Hide the program. [Esc]");
}

TEST_F(PagelumeFormTest, SidebarFollowsTheMouse) {
  EXPECT_TRUE(Form->SidebarGuard);
  MoveOver(Form, QPoint(100, 300));  // the guard swallows the first change
  EXPECT_FALSE(SidebarShown());
  EXPECT_FALSE(Form->SidebarGuard);
  MoveOver(Form, QPoint(282 - 6, 300));
  EXPECT_TRUE(SidebarShown());
  MoveOver(Form, QPoint(282 - 5, 300));
  EXPECT_FALSE(SidebarShown());
  for (QWidget *w : {static_cast<QWidget *>(Form->HintLabel), static_cast<QWidget *>(Form->CurrentFileInfoLabel),
                     Form->RichEdit->viewport()}) {
    Form->FormMouseMove(100, 300);
    ASSERT_TRUE(SidebarShown());
    MoveOver(w, QPoint(5, 5));
    EXPECT_FALSE(SidebarShown()) << w->objectName().toStdString();
  }
  Active = false;  // another application is active: nothing changes
  Form->FormMouseMove(100, 300);
  EXPECT_FALSE(SidebarShown());
}

TEST_F(PagelumeFormTest, ShowOpenTabSelectsTheOpenPage) {
  Form->SidebarGuard = false;
  Form->Container_OptionsPageControl->setCurrentWidget(Form->ConvertTabSheet);
  Form->ShowOpenTab();
  EXPECT_EQ(Form->Container_OptionsPageControl->currentWidget(), Form->ProgramTabSheet);
  EXPECT_EQ(Form->ProgramPageControl->currentWidget(), Form->OpenTabSheet);
  EXPECT_TRUE(SidebarShown());
}

TEST_F(PagelumeFormTest, ClockAndTimerFollowMinimiseAndRestore) {
  EXPECT_TRUE(Form->ClockLabel->text().contains(':'));
  EXPECT_EQ(Form->InfoTimer->interval(), 1000);
  EXPECT_TRUE(Form->InfoTimer->isActive());
  Form->setWindowState(Qt::WindowMinimized);
  EXPECT_FALSE(Form->InfoTimer->isActive());
  Form->setWindowState(Qt::WindowNoState);
  EXPECT_TRUE(Form->InfoTimer->isActive());
}

TEST_F(PagelumeFormTest, EscapeMinimisesAndF10IsDiscarded) {
  KeyCounter counter;
  Form->RichEdit->installEventFilter(&counter);
  QKeyEvent f10(QEvent::KeyPress, Qt::Key_F10, Qt::NoModifier);
  QApplication::sendEvent(Form->RichEdit, &f10);
  EXPECT_EQ(counter.Count, 0);
  QKeyEvent a(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a");
  QApplication::sendEvent(Form->RichEdit, &a);
  EXPECT_EQ(counter.Count, 1);
  QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QApplication::sendEvent(Form->RichEdit, &esc);
  EXPECT_TRUE(Form->windowState() & Qt::WindowMinimized);
  EXPECT_FALSE(Form->InfoTimer->isActive());
}

TEST_F(PagelumeFormTest, FirstActivationRunsOnce) {
  Form->ApplicationEventsActivate();
  EXPECT_EQ(Form->HintLabel->text(), TPagelumeForm::SidebarHintText);
  Form->HintLabel->setText("other");
  Form->ApplicationEventsActivate();
  EXPECT_EQ(Form->HintLabel->text(), "other");
}

// The pointer is moved onto the hint label at the start; the window appearing
// under the pointer (the box's tip) or leaving the reading box on the way (an
// empty tip) must not take the start's hint away. A control with a hint of its
// own replaces it as usual.
TEST_F(PagelumeFormTest, TheStartHintOutlivesThePointerLeavingTheBox) {
  Form->ApplicationEventsActivate();
  QStatusTipEvent box(TPagelumeForm::RichEditHint);
  QApplication::sendEvent(Form, &box);
  QStatusTipEvent left{QString()};
  QApplication::sendEvent(Form, &left);
  QEnterEvent arrived(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
  QApplication::sendEvent(Form->HintLabel, &arrived);
  EXPECT_EQ(Form->HintLabel->text(), TPagelumeForm::SidebarHintText);
  QApplication::sendEvent(Form, &left);
  EXPECT_EQ(Form->HintLabel->text(), TPagelumeForm::SidebarHintText);
  QStatusTipEvent entered(Form->CloseProgramButton->statusTip());
  QApplication::sendEvent(Form, &entered);
  EXPECT_EQ(Form->HintLabel->text(), Form->CloseProgramButton->statusTip());
  QApplication::sendEvent(Form, &left);
  EXPECT_EQ(Form->HintLabel->text(), TPagelumeForm::RichEditHint);
}

TEST_F(PagelumeFormTest, CloseIsNeverRefused) {
  EXPECT_TRUE(Form->FormCloseQuery());
  EXPECT_TRUE(Form->Closing);
  EXPECT_EQ(FunStatContext.Status, fsPerfect);
}

// Catches the about dialog's site addresses instead of starting a browser.
class UrlCatcher : public QObject {
  Q_OBJECT
public:
  QStringList Urls;
public slots:
  void Open(const QUrl &url) { Urls << url.toString(); }
};

TEST_F(PagelumeFormTest, AboutDialogFromTheAboutButton) {
  TAboutForm about(Form);
  AboutForm = &about;
  Form->Start();
  EXPECT_EQ(about.DescriptionLabel->text(), "Pagelume");
  EXPECT_EQ(about.VersionLabel->text(), "Version 2.5.1, released on 24.10.2004");
  EXPECT_EQ(about.size(), QSize(425, 270));
  EXPECT_EQ(about.OkayButton->geometry(), QRect(175, 235, 75, 25));
  EXPECT_EQ(about.DescriptionLabel->font().pixelSize(), 48);

  int shown = 0;
  SetDialogExecHook([&](QDialog &d) {
    ++shown;
    EXPECT_EQ(&d, &about);
    d.reject();  // Escape closes with the OK result
    return d.result();
  });
  Form->AboutButtonClick();
  SetDialogExecHook(nullptr);
  EXPECT_EQ(shown, 1);
  EXPECT_EQ(about.result(), QDialog::Accepted);

  UrlCatcher catcher;
  QDesktopServices::setUrlHandler("https", &catcher, "Open");
  about.VisitSiteButton->click();
  about.ContactButton->click();
  QDesktopServices::unsetUrlHandler("https");
  EXPECT_EQ(catcher.Urls, QStringList({TAboutForm::SiteAddress, TAboutForm::ContactAddress}));
  AboutForm = nullptr;
}

}  // namespace

#include "PagelumeFormTest.moc"
