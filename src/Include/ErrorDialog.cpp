#include "ErrorDialog.h"

#include "Dialogs.h"
#include "Error.h"
#include "File.h"
#include "Program.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QGridLayout>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QUrl>
#include <QVBoxLayout>
#include <cstdlib>
#include <iostream>

QPointer<TErrorForm> ErrorForm;

namespace {

std::function<void(TErrorForm &)> &ExecHook() {
  static std::function<void(TErrorForm &)> hook;
  return hook;
}

std::function<void(int)> &HelpHandler() {
  static std::function<void(int)> handler;
  return handler;
}

const qint64 MaxLogSize = 10000;

}  // namespace

TErrorForm::TErrorForm(QWidget *parent) : QDialog(parent) {
  setObjectName("ErrorForm");
  setWindowTitle("Error");
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  setFont(QFont("Arial", 9));
  setModal(true);

  MainMemo = new QPlainTextEdit(this);
  MainMemo->setObjectName("MainMemo");
  MainMemo->setReadOnly(true);
  MainMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  MainMemo->setFixedHeight(120);

  auto makeButton = [this](const char *name, const QString &caption) {
    auto *button = new QPushButton(caption, this);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
  };
  OkayButton = makeButton("OkayButton", "&Okay");
  OkayButton->setDefault(true);
  OkayNoErrorsButton = makeButton("OkayNoErrorsButton", "O&kay (no errors)");
  CancelButton = makeButton("CancelButton", "&Cancel");
  TerminateButton = makeButton("TerminateButton", "&Terminate application immediately");
  LogButton = makeButton("LogButton", "&Log");
  HelpButton = makeButton("HelpButton", "&Help");
  RecursionLabel = new QLabel("Recursion", this);
  RecursionLabel->setObjectName("RecursionLabel");

  auto *grid = new QGridLayout;
  grid->addWidget(OkayButton, 0, 0);
  grid->addWidget(OkayNoErrorsButton, 0, 1);
  grid->addWidget(CancelButton, 0, 2);
  grid->addWidget(TerminateButton, 1, 0, 1, 3);
  grid->addWidget(LogButton, 2, 0);
  grid->addWidget(HelpButton, 2, 1);
  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(5, 5, 5, 5);
  layout->addWidget(MainMemo);
  layout->addLayout(grid);
  layout->addWidget(RecursionLabel);
  layout->addStretch(1);
  setFixedSize(340, 265);

  connect(OkayButton, &QPushButton::clicked, this, &TErrorForm::OkayButtonClick);
  connect(OkayNoErrorsButton, &QPushButton::clicked, this, &TErrorForm::OkayNoErrorsButtonClick);
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
  connect(TerminateButton, &QPushButton::clicked, this, &TErrorForm::TerminateButtonClick);
  connect(LogButton, &QPushButton::clicked, this, &TErrorForm::LogButtonClick);
  connect(HelpButton, &QPushButton::clicked, this, &TErrorForm::HelpButtonClick);
}

TErrorForm::~TErrorForm() {
  if (ErrorForm == this)
    InstallErrorForm(nullptr);
}

void TErrorForm::showEvent(QShowEvent *event) {
  QDialog::showEvent(event);
  OkayButton->setFocus();
}

void TErrorForm::changeEvent(QEvent *event) {
  QDialog::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow())
    OkayButton->setFocus();
}

bool TErrorForm::ShowReport(const QString &caption, const QString &description, const QString &report,
                            bool *suppressErrors) {
  if (suppressErrors)
    *suppressErrors = false;
  try {
    setWindowTitle(caption);
    if (RecursionCount > 0) {
      // Reached again through the dialog's own event loop: absorbed.
      ++RecursionCount;
      RecursionLabel->setText("Recursive attempts = " + QString::number(RecursionCount - 1));
      return true;
    }
    RecursionCount = 1;
    RecursionLabel->setText("Recursive attempts = None");
    MemoText = "DESCRIPTION\r\n" + (description.isEmpty() ? QString("Failed to perform.") : description) + "\r\n" +
               report;
    MainMemo->setPlainText(MemoText);
    int result = ResultCancel;
    if (ExecHook()) {
      setResult(ResultCancel);
      ExecHook()(*this);
      result = this->result();
    } else {
      result = exec();
    }
    RecursionCount = 0;
    if (suppressErrors)
      *suppressErrors = result == ResultOkayNoErrors;
    return result == ResultOkay || result == ResultOkayNoErrors;
  } catch (...) {
    RecursionCount = 0;
    if (suppressErrors)
      *suppressErrors = false;
    return false;
  }
}

QString TErrorForm::LogPath() { return SettingsDir() + "Errors.log"; }

bool TErrorForm::WriteErrorLog(QString *reason) { return AppendErrorLog(LogPath(), MemoText, reason); }

void TErrorForm::SetExecHook(std::function<void(TErrorForm &)> hook) { ExecHook() = std::move(hook); }

void TErrorForm::OkayButtonClick() { done(ResultOkay); }
void TErrorForm::OkayNoErrorsButtonClick() { done(ResultOkayNoErrors); }

void TErrorForm::TerminateButtonClick() {
  // Nothing is saved and nothing is cleaned up: the process ends here.
  std::_Exit(1);
}

void TErrorForm::LogButtonClick() {
  QString reason;
  const bool written = WriteErrorLog(&reason);
  QApplication::beep();
  if (!written)
    Warning("Failed to write the error log.\n" + LogPath() + (reason.isEmpty() ? QString() : "\n" + reason));
}

void TErrorForm::HelpButtonClick() { ShowHelp(HelpContext); }

bool AppendErrorLog(const QString &logPath, const QString &memoText, QString *reason) {
  try {
    QFile file(logPath);
    auto fail = [&] {
      if (reason)
        *reason = file.errorString();
      return false;
    };
    // A device or pipe of that name is never written to.
    if (FileExists(logPath) && !IsRegularFile(logPath)) {
      if (reason)
        *reason = "Not a regular file.";
      return false;
    }
    if (!file.open(QIODevice::ReadWrite))
      return fail();
    if (file.size() > MaxLogSize && !file.resize(0))
      return fail();
    if (!file.seek(file.size()))
      return fail();
    const QByteArray entry = ("**********" + memoText + "\r\n**********\r\n").toUtf8();
    const bool written = file.write(entry) == entry.size();
    file.close();
    if (!written || file.error() != QFileDevice::NoError)
      return fail();
    return true;
  } catch (...) {
    return false;
  }
}

QString ForceTimeColon(const QString &format) {
  auto isTimeField = [](QChar c) { return c == 'h' || c == 'H' || c == 'm' || c == 's'; };
  QString result;
  bool afterField = false;  // a time field was the last thing written
  QString pending;          // separator text seen since that field
  for (qsizetype i = 0; i < format.size(); ++i) {
    const QChar c = format[i];
    if (c == '\'') {
      // Quoted literal: copied as it stands and ends any separator run.
      qsizetype end = format.indexOf('\'', i + 1);
      if (end < 0)
        end = format.size() - 1;
      result += pending + format.mid(i, end - i + 1);
      pending.clear();
      afterField = false;
      i = end;
    } else if (isTimeField(c)) {
      if (afterField && !pending.isEmpty())
        result += ':';
      else
        result += pending;
      pending.clear();
      result += c;
      while (i + 1 < format.size() && format[i + 1] == c)
        result += format[++i];
      afterField = true;
    } else if (afterField && !c.isLetter()) {
      pending += c;
    } else {
      result += pending + c;
      pending.clear();
      afterField = false;
    }
  }
  return result + pending;
}

QString ReportDateTime(const QDateTime &when) {
  const QLocale locale = QLocale::system();
  const QDate date = when.date();
  const QTime time = when.time();
  const int secondsOfDay = time.msecsSinceStartOfDay() / 1000;
  return locale.toString(date, QLocale::LongFormat) + " (" + QString::number(date.dayOfYear()) + ") | " +
         locale.toString(time, ForceTimeColon(locale.timeFormat(QLocale::LongFormat))) + " (" +
         QString::number(secondsOfDay / 100) + ")";
}

void ShowHelp(int context) {
  if (HelpHandler()) {
    HelpHandler()(context);
    return;
  }
  QUrl url = QUrl::fromLocalFile(HelpFilePath());
  if (context != 0)
    url.setFragment(QString::number(context));
  QDesktopServices::openUrl(url);
}

void SetShowHelpHandler(std::function<void(int)> handler) { HelpHandler() = std::move(handler); }

void InstallErrorForm(TErrorForm *form) {
  ErrorForm = form;
  if (!form) {
    SetShowErrorHandler(nullptr);
    SetRecursionCountProvider(nullptr);
    return;
  }
  SetShowErrorHandler([](const TFunStatContext &ctx, const std::string &description, bool *suppressErrors) {
    if (!ErrorForm) {
      if (suppressErrors)
        *suppressErrors = false;
      return false;
    }
    return ErrorForm->ShowReport(QString::fromStdString(TFunStatContext::StatusName(ctx.Status)),
                                 QString::fromStdString(description), QString::fromStdString(ctx.ReportText()),
                                 suppressErrors);
  });
  SetRecursionCountProvider([] { return ErrorForm ? ErrorForm->RecursionCount : 0; });
}

void InstallErrorProviders() {
  SetNoDialogHandler([](const std::string &text, const std::string &caption) {
    if (!qobject_cast<QApplication *>(QCoreApplication::instance())) {
      std::cerr << caption << ": " << text << std::endl;
      return;
    }
    QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(caption), QString::fromStdString(text),
                    QMessageBox::Ok);
    box.exec();
  });
  SetDateTimeTextProvider([] { return ReportDateTime(QDateTime::currentDateTime()).toStdString(); });
  SetProgramPathProvider([] { return ProgramPath().toStdString(); });
}
