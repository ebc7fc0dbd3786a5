// A seeded explorer of the main window: it builds the real window on a program
// folder of its own and drives it with random real input events (pointer,
// wheel, keys, typed text) as a person would, answering whatever dialog opens,
// and checks after every event that the window still keeps its promises.
// The same seed gives the same sequence of events.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>
#include <cstdint>
#include <map>
#include <memory>
#include <random>

class QDialog;
class QWidget;
class TPagelumeForm;
class TSilentOutput;

// Records what would have gone to the desktop (web links, documents, folders).
class TUrlRecorder : public QObject {
  Q_OBJECT
public:
  QList<QUrl> Urls;
public slots:
  void Open(const QUrl &url) { Urls.append(url); }
};

class TExplorer : public QObject {
  Q_OBJECT
public:
  explicit TExplorer(uint64_t seed);
  ~TExplorer() override;

  // Sends up to count events; stops at the first broken promise. Returns the
  // failure (with the seed, the event and the events before it), or empty.
  QString Run(int count);
  int EventsDone() const { return Done; }
  // The last events sent, oldest first.
  QStringList LastEvents(int count = 50) const;
  // What the run went through: restarts, events in editing mode, dialogs.
  QString Summary() const;

  // Limits: one event may take this long, a dialog may stay open this long.
  static int EventLimitMs();

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  uint64_t Seed;
  std::mt19937_64 Random;
  QTemporaryDir Root;
  QString ProgramDir, BooksDir;
  QByteArray SavedHome;
  QStringList Books;           // books the fixtures hold (one of them is missing)
  QStringList ChoosablePaths;  // what a file dialog is given
  TPagelumeForm *Form = nullptr;
  std::unique_ptr<TSilentOutput> Silent;
  TUrlRecorder Urls;
  QStringList Log;
  int Done = 0;
  int Restarts = 0;
  QString Failure;
  // What the dialogs asked during the current event.
  int EditQuestions = 0;
  int SavedMessages = 0;
  QString CleanText;  // the box's text when it last held no edits
  int EditingEvents = 0, ModifiedEvents = 0, Questions = 0, Dialogs = 0, Menus = 0;
  // The last state of every settings and profile file checked (size, time).
  std::map<QString, QString> FileStamps;
  std::map<QString, QStringList> FirstKeys;

  // Set-up.
  void MakeFolders();
  void CreateForm();
  void DestroyForm();
  void ShelveBooks();

  // Random choices.
  int Pick(int count);
  bool Chance(double p);
  template <class T> const T &PickOf(const QList<T> &list) { return list[Pick(list.size())]; }

  // One event of each kind.
  void Step();
  void PointerEvent(QWidget *target);
  void ClickAt(QWidget *on, const QPoint &local, bool doubleClick = false);
  void KeyEvent();
  void TypeText();
  void RevealAndClick(QWidget *widget);
  void TurnPage();
  void DropBook();
  QWidget *PickTarget();
  QWidget *PickVisibleIn(QWidget *root);
  void Note(const QString &text);
  static QString Describe(QWidget *widget);

  // The watcher of dialogs.
  void AnswerLater(QWidget *dialog, int steps);
  void Answer(QPointer<QWidget> dialog, int steps);
  void AnswerFileDialog(QDialog *dialog);

  // Invariants after an event.
  void CheckAfter(bool modifiedBefore, qint64 elapsedMs, const QString &event);
  void CheckStoredFiles();
  void CheckIniFile(const QString &path, const QStringList &sections);
  void Fail(const QString &what);
};
