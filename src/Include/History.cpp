#include "History.h"

#include "Error.h"
#include "File.h"
#include "Utilities.h"

#include <QAction>
#include <QCursor>
#include <QMenu>
#include <QPointer>
#include <QWidget>


THistoryDialog::THistoryDialog() = default;

THistoryDialog::~THistoryDialog() { delete PopupMenu; }

void THistoryDialog::Add(const QString &path, int topIndex) {
  const QString full = FullPath(path);
  if (full.isEmpty() || IsBareDrive(full))
    return;
  const QString directory = FilePath(full);
  if (full.endsWith('/') && Find(directory) >= 0)
    return;
  THistoryEntry entry;
  entry.Path = full;
  entry.TopIndex = topIndex;
  if (!Entries.isEmpty() && SamePathName(FilePath(Entries.last().Path), directory)) {
    Entries.last() = entry;
    return;
  }
  Forget(full);
  if (Entries.size() >= MaxCount)
    Entries.removeFirst();
  Entries.append(entry);
}

int THistoryDialog::Find(const QString &directory, THistoryEntry *entry) const {
  const QString wanted = FullPath(directory);
  for (int i = Count() - 1; i >= 0; --i)
    if (SamePathName(FilePath(Entries[i].Path), wanted)) {
      if (entry)
        *entry = Entries[i];
      return i;
    }
  return -1;
}

void THistoryDialog::Forget(const QString &path) {
  const QString directory = FilePath(FullPath(path));
  for (int i = Count() - 1; i >= 0; --i)
    if (SamePathName(FilePath(Entries[i].Path), directory)) {
      Entries.remove(i);
      return;
    }
}

void THistoryDialog::DialogButton(QWidget *button, const QString &title) {
  OP_BEGIN("THistoryDialog::DialogButton");
  OP_TRY {
    delete PopupMenu;
    PopupMenu = nullptr;
    if (!button) {
      OP_RAISE("Failed to show history.");
    } else {
      PopupMenu = new QMenu(button);
      PopupMenu->setObjectName("HistoryPopupMenu");
      PopupMenu->setSeparatorsCollapsible(true);
      QAction *head = PopupMenu->addAction(title + " (" + QString::number(Count()) + " items)");
      QFont bold = head->font();
      bold.setBold(true);
      head->setFont(bold);
      PopupMenu->setDefaultAction(head);
      const int first = Count() - 1;
      const int last = std::max(0, Count() - MaxMenuItems);
      std::vector<std::string> directories;
      for (int i = first; i >= last; --i)
        directories.push_back(FilePath(Entries[i].Path).toStdString());
      const std::vector<std::string> captions = WithAccessKeys(directories);
      for (int i = first; i >= last; --i) {
        const THistoryEntry entry = Entries[i];
        QAction *action = PopupMenu->addAction(QString::fromStdString(captions[static_cast<size_t>(first - i)]));
        action->setStatusTip(entry.Path);
        QObject::connect(action, &QAction::triggered, PopupMenu, [this, entry] {
          if (OnSelect)
            OnSelect(entry);
        });
      }
      const QSize size = PopupMenu->sizeHint();
      const QPoint below = button->mapToGlobal(QPoint(0, button->height()));
      PopupMenu->popup(QPoint(QCursor::pos().x() - size.width() / 2, below.y()));
    }
  }
  OP_CATCH;
  if (OP_FAILED()) {
    delete PopupMenu;
    PopupMenu = nullptr;
  }
  OP_SHOW("Failed to show history.");
}
