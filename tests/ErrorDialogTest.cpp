#include "Dialogs.h"
#include "Error.h"
#include "ErrorDialog.h"
#include "PagelumeApplication.h"
#include "Program.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cstdio>
#include <gtest/gtest.h>

namespace {

// A real error dialog, answered by a hook instead of a modal loop.
class ErrorDialogTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(Temp.isValid());
    SetProgramDirOverride(Temp.path());
    Form = new TErrorForm;
    InstallErrorProviders();
    InstallErrorForm(Form);
    SetDateTimeTextProvider([] { return std::string("today"); });
    FunStatContext.Reset(fsPerfect);
  }
  void TearDown() override {
    TErrorForm::SetExecHook(nullptr);
    delete Form;
    SetNoDialogHandler([](const std::string &, const std::string &) {});
    SetProgramPathProvider(nullptr);
    SetDateTimeTextProvider(nullptr);
    SetProgramDirOverride(QString());
    FunStatContext.Reset(fsPerfect);
  }
  // Raises an error in a fresh context and shows it; returns the outcome.
  static bool ShowOne(const std::string &description, bool *suppress = nullptr) {
    TFunStatContext c;
    c.Raise("F.cpp", "F", 1, fsError, "Failed.");
    return c.ShowError(description, suppress);
  }
  QString LogPath() const { return QDir(Temp.path()).filePath("Errors.log"); }
  QByteArray ReadLog() const {
    QFile f(LogPath());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }

  QTemporaryDir Temp;
  TErrorForm *Form = nullptr;
};

TEST_F(ErrorDialogTest, ControlsAndDesign) {
  EXPECT_EQ(Form->size(), QSize(340, 265));
  EXPECT_EQ(Form->font().family(), "Arial");
  EXPECT_EQ(Form->font().pointSize(), 9);
  EXPECT_TRUE(Form->MainMemo->isReadOnly());
  EXPECT_EQ(Form->MainMemo->height(), 120);
  EXPECT_EQ(Form->TerminateButton->text(), "&Terminate application immediately");
  EXPECT_EQ(Form->OkayNoErrorsButton->text(), "O&kay (no errors)");
  EXPECT_EQ(Form->RecursionLabel->text(), "Recursion");
  for (const char *name : {"MainMemo", "OkayButton", "OkayNoErrorsButton", "CancelButton", "TerminateButton",
                           "LogButton", "HelpButton", "RecursionLabel"})
    EXPECT_NE(Form->findChild<QWidget *>(name), nullptr) << name;
}

TEST_F(ErrorDialogTest, ButtonsDecideTheOutcome) {
  QPushButton *TErrorForm::*buttons[] = {&TErrorForm::OkayButton, &TErrorForm::OkayNoErrorsButton,
                                         &TErrorForm::CancelButton};
  const bool accepted[] = {true, true, false};
  const bool suppressed[] = {false, true, false};
  for (int i = 0; i < 3; ++i) {
    TErrorForm::SetExecHook([&](TErrorForm &f) { (f.*buttons[i])->click(); });
    bool suppress = !suppressed[i];
    EXPECT_EQ(ShowOne("Failed to open book.", &suppress), accepted[i]) << i;
    EXPECT_EQ(suppress, suppressed[i]) << i;
    EXPECT_EQ(Form->RecursionCount, 0);
  }
  // Escape (reject) and a hook that does nothing both count as cancelled.
  TErrorForm::SetExecHook([](TErrorForm &f) { f.reject(); });
  EXPECT_FALSE(ShowOne("x"));
  TErrorForm::SetExecHook([](TErrorForm &) {});
  EXPECT_FALSE(ShowOne("x"));
}

TEST_F(ErrorDialogTest, MemoHoldsDescriptionAndReport) {
  QString memo, caption;
  TErrorForm::SetExecHook([&](TErrorForm &f) {
    memo = f.MemoText;
    caption = f.windowTitle();
    f.OkayButton->click();
  });
  ShowOne("");
  EXPECT_TRUE(memo.startsWith("DESCRIPTION\r\nFailed to perform.\r\n\r\nRAISE CONTEXT\r\n* Status: Error\r\n"));
  EXPECT_TRUE(memo.contains("* Time: today\r\n* Program: " + ProgramPath() + "\r\n* Recursive attempts: 0\r\n"));
  EXPECT_EQ(caption, "Error");
  ShowOne("Failed to save.");
  EXPECT_TRUE(memo.startsWith("DESCRIPTION\r\nFailed to save.\r\n\r\nRAISE"));
}

TEST_F(ErrorDialogTest, NestedReportsAreCountedNotShown) {
  QStringList labels;
  int shows = 0;
  TErrorForm::SetExecHook([&](TErrorForm &f) {
    ++shows;
    labels << f.RecursionLabel->text();
    if (shows == 1) {
      EXPECT_TRUE(ShowOne("nested"));
      labels << f.RecursionLabel->text();
      EXPECT_TRUE(ShowOne("nested"));
      labels << f.RecursionLabel->text();
      EXPECT_FALSE(f.MemoText.contains("nested"));
    }
    f.OkayButton->click();
  });
  ShowOne("first");
  ShowOne("second");
  EXPECT_EQ(shows, 2);
  EXPECT_EQ(labels, QStringList({"Recursive attempts = None", "Recursive attempts = 1", "Recursive attempts = 2",
                                 "Recursive attempts = None"}));
}

TEST_F(ErrorDialogTest, LogAppendsUpTo10000BytesThenStartsOver) {
  Form->MemoText = "DESCRIPTION\r\nx";
  const QByteArray entry = "**********DESCRIPTION\r\nx\r\n**********\r\n";
  ASSERT_TRUE(Form->WriteErrorLog());
  EXPECT_EQ(ReadLog(), entry);

  const QByteArray full(10000, 'a');
  for (int extra : {0, 1}) {
    QFile f(LogPath());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(full + QByteArray(extra, 'b'));
    f.close();
    Form->LogButton->click();  // writes and beeps; the dialog stays
    EXPECT_EQ(ReadLog(), extra ? entry : full + entry) << extra;
  }
}

// Sets XDG_CONFIG_HOME for one test and puts the old value back.
class ScopedConfigHome {
public:
  explicit ScopedConfigHome(const QString &dir) : Old(qgetenv("XDG_CONFIG_HOME")), Had(qEnvironmentVariableIsSet("XDG_CONFIG_HOME")) {
    qputenv("XDG_CONFIG_HOME", dir.toLocal8Bit());
  }
  ~ScopedConfigHome() {
    if (Had)
      qputenv("XDG_CONFIG_HOME", Old);
    else
      qunsetenv("XDG_CONFIG_HOME");
  }

private:
  QByteArray Old;
  bool Had;
};

TEST_F(ErrorDialogTest, LogGoesToTheConfigFolderWhenTheProgramFolderIsNotWritable) {
  // A folder below a plain file can be neither created nor written, even by root.
  QFile plain(QDir(Temp.path()).filePath("plain"));
  ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
  plain.close();
  const QString config = QDir(Temp.path()).filePath("config");
  ScopedConfigHome home(config);
  SetProgramDirOverride(plain.fileName() + "/program-a/");
  Form->MemoText = "x";
  int warnings = 0;
  SetMessageBoxHandler([&](TMessageKind, const QString &) { return ++warnings, true; });
  Form->LogButton->click();
  EXPECT_EQ(warnings, 0);
  EXPECT_TRUE(TErrorForm::LogPath().startsWith(config + "/")) << TErrorForm::LogPath().toStdString();
  QFile log(TErrorForm::LogPath());
  ASSERT_TRUE(log.open(QIODevice::ReadOnly));
  EXPECT_EQ(log.readAll(), "**********x\r\n**********\r\n");
  SetMessageBoxHandler(nullptr);
}

TEST_F(ErrorDialogTest, LogFailureIsReportedWithItsReason) {
  QFile plain(QDir(Temp.path()).filePath("plain"));
  ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
  plain.close();
  ScopedConfigHome home(plain.fileName() + "/config");
  SetProgramDirOverride(plain.fileName() + "/program-b/");
  Form->MemoText = "x";
  QString reason;
  EXPECT_FALSE(Form->WriteErrorLog(&reason));
  EXPECT_FALSE(reason.isEmpty());
  QStringList shown;
  SetMessageBoxHandler([&](TMessageKind kind, const QString &text) {
    EXPECT_EQ(kind, TMessageKind::Warning);
    shown << text;
    return true;
  });
  Form->LogButton->click();
  ASSERT_EQ(shown.size(), 1);
  EXPECT_TRUE(shown[0].startsWith("Failed to write the error log.\n" + TErrorForm::LogPath() + "\n"))
      << shown[0].toStdString();
  SetMessageBoxHandler(nullptr);
}

TEST_F(ErrorDialogTest, TerminateEndsTheProcessWithStatus1) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(Form->TerminateButton->click(), ::testing::ExitedWithCode(1), "");
}

TEST_F(ErrorDialogTest, ExceptionLeavingAnEventHandlerIsReported) {
  QString memo;
  TErrorForm::SetExecHook([&](TErrorForm &f) { memo = f.MemoText; });
  EXPECT_FALSE(TPagelumeApplication::DeliverGuarded([]() -> bool { throw std::runtime_error("oops"); }));
  EXPECT_TRUE(memo.startsWith("DESCRIPTION\r\nUnhandled error.\r\noops\r\n"));
  EXPECT_EQ(FunStatContext.Status, fsPerfect);
  EXPECT_TRUE(TPagelumeApplication::DeliverGuarded([] { return true; }));
}

TEST(ErrorDialogTime, ForceTimeColon) {
  EXPECT_EQ(ForceTimeColon("HH.mm.ss"), "HH:mm:ss");
  EXPECT_EQ(ForceTimeColon("h:mm:ss AP t"), "h:mm:ss AP t");
  EXPECT_EQ(ForceTimeColon("hh.mm.ss t"), "hh:mm:ss t");
  EXPECT_EQ(ForceTimeColon("H 'h' mm"), "H 'h' mm");
  EXPECT_EQ(ForceTimeColon("H.mm"), "H:mm");
}

TEST(ErrorDialogTime, DateTimeTextHasDayOfYearAndHundredSeconds) {
  const QString start = ReportDateTime(QDateTime(QDate(2024, 1, 1), QTime(0, 1, 40)));
  EXPECT_TRUE(start.contains(QRegularExpression("\\(1\\) \\| .*01:40.* \\(1\\)$"))) << start.toStdString();
  const QString end = ReportDateTime(QDateTime(QDate(2024, 12, 31), QTime(23, 59, 59)));
  EXPECT_TRUE(end.contains(QRegularExpression("\\(366\\) \\| .*59:59.* \\(863\\)$"))) << end.toStdString();
}

}  // namespace

TEST(TerminateHook, ReportsAndEndsWithStatus1) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        SetShowErrorHandler([](const TFunStatContext &ctx, const std::string &description, bool *) {
          std::fprintf(stderr, "%s|%s|", ctx.RaiseFunction.c_str(), description.c_str());
          return true;
        });
        std::terminate();
      },
      ::testing::ExitedWithCode(1), "TerminateProgramFun\\|Abort intercepted.\r\nProgram must be terminated.\\|");
}
