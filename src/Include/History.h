// The places a browser has shown, one entry per directory, most recent last,
// each with the item selected there and the first visible row, and the pop-up
// menu that offers them again. Held in memory for the run of the program.
#pragma once

#include <QMenu>
#include <QPointer>
#include <QString>
#include <QVector>
#include <functional>

class QWidget;

struct THistoryEntry {
  QString Path;      // the selected item's full path, or the directory ending with a separator
  QString Value;     // kept for the caller
  int TopIndex = 0;  // the first visible row of the list
  int Extra1 = 0;    // kept for the caller
  int Extra2 = 0;
};

class THistoryDialog {
public:
  static constexpr int MaxCount = 300;
  static constexpr int MaxMenuItems = 20;

  THistoryDialog();
  ~THistoryDialog();
  THistoryDialog(const THistoryDialog &) = delete;
  THistoryDialog &operator=(const THistoryDialog &) = delete;

  int Count() const { return static_cast<int>(Entries.size()); }
  // Least recent first.
  const QVector<THistoryEntry> &Items() const { return Entries; }

  // Records a place: a directory already known keeps its entry; a place in
  // the directory of the most recent entry replaces that entry; otherwise the
  // directory's older entry goes and the place becomes the most recent (the
  // least recent of 300 is dropped).
  void Add(const QString &path, int topIndex);
  // The most recent entry of the directory (compared without regard to
  // case), or -1. entry (may be null) receives it.
  int Find(const QString &directory, THistoryEntry *entry = nullptr) const;
  // Removes the entry of the directory of the path.
  void Forget(const QString &path);

  // Shows the pop-up: a bold first line "<title> (<count> items)" that does
  // nothing, then the 20 most recent directories, most recent first, centred
  // on the pointer below the button. "Failed to show history." on failure.
  void DialogButton(QWidget *button, const QString &title);
  // The menu of the last DialogButton (tests).
  QMenu *Menu() const { return PopupMenu; }

  std::function<void(const THistoryEntry &entry)> OnSelect;

private:
  QVector<THistoryEntry> Entries;
  // Owned by its button, which may go first.
  QPointer<QMenu> PopupMenu;
};
