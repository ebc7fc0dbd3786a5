// The browser's list: the drives or one directory's subfolders and books,
// drawn as rows of two cells (the type "Dir", "Form" or "Plain", then the
// name) in the profile's colours. The list holds only the items and draws
// them; what its keys and clicks do is the window's (see the callbacks).
//
// A model of its own over a flat vector keeps a folder of tens of thousands
// of books quick to fill (one reset, no per-row signals) and to scroll
// (uniform row heights; only the visible rows are drawn).
#pragma once

#include "File.h"

#include <QAbstractListModel>
#include <QColor>
#include <QListView>
#include <functional>

struct TBrowserColors {
  QColor ScreenBack{255, 255, 255};
  QColor ScreenFore{0, 0, 0};
  QColor FocusBack{185, 110, 25};
  QColor FocusFore{255, 255, 255};
  QColor DirTypeBack{170, 150, 75};
  QColor DirTypeFore{255, 255, 255};
};

class TBrowserModel : public QAbstractListModel {
public:
  using QAbstractListModel::QAbstractListModel;
  int rowCount(const QModelIndex &parent = QModelIndex()) const override;
  QVariant data(const QModelIndex &index, int role) const override;
  void SetItems(TFileList items, bool drives);
  const TFileList &Items() const { return List; }
  bool Drives() const { return DrivesList; }

private:
  TFileList List;
  bool DrivesList = false;
};

class TBrowserList : public QListView {
  Q_OBJECT
public:
  explicit TBrowserList(QWidget *parent = nullptr);

  static const char *const FixedHint;

  TBrowserModel *Model() const { return ItemModel; }
  int Count() const { return ItemModel->rowCount(); }
  int SelectedIndex() const;
  void SelectIndex(int index);
  QString ItemText(int index) const;
  bool ItemIsDirectory(int index) const;
  // The first visible row, and how many rows fit in the view.
  int TopIndex() const;
  void SetTopIndex(int index);
  int RowsThatFit() const;
  int RowHeight() const;
  // The width of the type cell: trunc(row height × 1.7).
  int TypeCellWidth() const;

  // "Dir" for a directory or drive, "Form" for a ".rtf" file, "Plain" for
  // any other file.
  static QString TypeText(const TFileItem &item);

  void SetColors(const TBrowserColors &colors);
  const TBrowserColors &Colors() const { return RowColors; }

  // ---- What the window does with the list ----
  std::function<void()> OnUp;            // Backspace
  std::function<void()> OnOpenItem;      // Enter, left double click
  std::function<void()> OnDrives;        // "/"
  std::function<void()> OnExplore;       // Ctrl + left press
  // The selection moved or the list scrolled (the history follows them).
  std::function<void(int index)> OnSelectionMoved;
  // The text added to the fixed hint for the row under the pointer.
  std::function<QString(int index)> ItemHintText;

protected:
  void keyPressEvent(QKeyEvent *event) override;
  void mousePressEvent(QMouseEvent *event) override;
  void mouseReleaseEvent(QMouseEvent *event) override;
  void mouseMoveEvent(QMouseEvent *event) override;
  void mouseDoubleClickEvent(QMouseEvent *event) override;
  void focusInEvent(QFocusEvent *event) override;
  void verticalScrollbarValueChanged(int value) override;
  void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;

private:
  // The fixed hint plus the text of the row at a viewport point.
  void ShowHintAt(const QPoint &at);
  void RefreshHint();
  TBrowserModel *ItemModel;
  TBrowserColors RowColors;
};
