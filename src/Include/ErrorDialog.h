// The error dialog (TErrorForm), its log file, and the toolkit pieces that the
// status context of Error.h needs: the dialog handler, the fallback message
// box, the report's date-time text and the program path.
#pragma once

#include <QDialog>
#include <QPointer>
#include <QDateTime>
#include <QString>
#include <functional>

class QLabel;
class QPlainTextEdit;
class QPushButton;

class TErrorForm : public QDialog {
  Q_OBJECT
public:
  // Results of the dialog (the button that closed it).
  enum TResult { ResultCancel = 0, ResultOkay = 1, ResultOkayNoErrors = 2 };

  explicit TErrorForm(QWidget *parent = nullptr);
  ~TErrorForm() override;

  QPlainTextEdit *MainMemo = nullptr;
  QPushButton *OkayButton = nullptr;
  QPushButton *OkayNoErrorsButton = nullptr;
  QPushButton *CancelButton = nullptr;
  QPushButton *TerminateButton = nullptr;
  QPushButton *LogButton = nullptr;
  QPushButton *HelpButton = nullptr;
  QLabel *RecursionLabel = nullptr;

  // 0 while closed, 1 while open, more while nested reports are absorbed.
  int RecursionCount = 0;
  int HelpContext = 0;
  // The text the memo shows (and the log receives), kept byte for byte.
  QString MemoText;

  // Shows a report modally (or absorbs it while the dialog is already open).
  // Returns true when accepted; suppressErrors (optional) tells whether
  // "no errors" was chosen.
  bool ShowReport(const QString &caption, const QString &description, const QString &report,
                  bool *suppressErrors);
  // Appends the memo text to Errors.log in the settings folder (SettingsDir);
  // on failure reason (optional) receives the system's message.
  bool WriteErrorLog(QString *reason = nullptr);
  static QString LogPath();

  // Replaces the modal loop (tests): called with the dialog ready to be
  // answered; the hook clicks a button (or does anything else) and the
  // dialog's result() is then taken as the answer. Empty restores exec().
  static void SetExecHook(std::function<void(TErrorForm &)> hook);

protected:
  void showEvent(QShowEvent *event) override;
  void changeEvent(QEvent *event) override;  // focus to "&Okay" on activation

private:
  void OkayButtonClick();
  void OkayNoErrorsButtonClick();
  void TerminateButtonClick();
  void LogButtonClick();
  void HelpButtonClick();
};

// The one error dialog of the process (null while it does not exist).
extern QPointer<TErrorForm> ErrorForm;

// Plugs the toolkit's pieces into the status context: the fallback message
// box (caption "Error") shown while no dialog exists, the report's date-time
// text and the program path. Run once at start-up, before any window.
void InstallErrorProviders();
// Makes form the process's error dialog (reports and the recursion count go
// to it). Null unplugs the dialog.
void InstallErrorForm(TErrorForm *form);

// Writes the log entry for memoText to logPath: a file larger than
// 10,000 bytes starts over, then "**********" + memoText +
// "\r\n**********\r\n" is appended. Returns false on failure.
bool AppendErrorLog(const QString &logPath, const QString &memoText, QString *reason = nullptr);

// The report's date-time text: long date, " (" day of year ") | ", long time
// with ':' as separator, " (" 100-second intervals since midnight ")".
QString ReportDateTime(const QDateTime &when);
// A time format with every separator between the hour, minute and second
// fields replaced by ':' ("HH.mm.ss" -> "HH:mm:ss").
QString ForceTimeColon(const QString &format);
// Opens the help file at a help context (the dialog's and the main window's
// "Help" buttons). Tests and the help window may replace it.
void ShowHelp(int context);
void SetShowHelpHandler(std::function<void(int context)> handler);
