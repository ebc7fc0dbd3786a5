#include "BrowserList.h"

#include "UtilitiesQt.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStatusTipEvent>
#include <QStyledItemDelegate>
#include <QCursor>
#include <QToolTip>
#include <cmath>

const char *const TBrowserList::FixedHint =
    "Double-click [LMB] (or press [Enter]) to open the file, or enter the directory. Click [Backspace] to explore "
    "the parent directory. Press [/] to load the partitions list.";

// ---- The model ----

int TBrowserModel::rowCount(const QModelIndex &parent) const {
  return parent.isValid() ? 0 : static_cast<int>(List.size());
}

QVariant TBrowserModel::data(const QModelIndex &index, int role) const {
  if (!index.isValid() || index.row() >= List.size())
    return QVariant();
  if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)
    return List[index.row()].Text;
  return QVariant();
}

void TBrowserModel::SetItems(TFileList items, bool drives) {
  beginResetModel();
  List = std::move(items);
  DrivesList = drives;
  endResetModel();
}

// ---- Drawing ----

namespace {

class TBrowserDelegate : public QStyledItemDelegate {
public:
  explicit TBrowserDelegate(TBrowserList *list) : QStyledItemDelegate(list), List(list) {}

  QSize sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const override {
    return QSize(List->viewport()->width(), List->RowHeight());
  }

  void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override {
    const TBrowserColors &c = List->Colors();
    const TFileItem &item = List->Model()->Items()[index.row()];
    const QRect row = option.rect;
    const int split = row.left() + List->TypeCellWidth();
    const bool selected = option.state & QStyle::State_Selected;
    const QString type = TBrowserList::TypeText(item);
    QString name = item.Text;
    if (List->Model()->Drives())
      name += GetPartitionSuffix(item.Text);

    painter->save();
    const QRect typeCell(row.left(), row.top(), split - row.left(), row.height());
    const QRect nameCell(split, row.top(), row.right() - split + 1, row.height());
    const bool dir = item.Directory;
    painter->fillRect(typeCell, dir ? c.DirTypeBack : c.ScreenBack);
    painter->fillRect(nameCell, selected ? c.FocusBack : c.ScreenBack);
    // The type text may run up to the dividing line: "Plain" must not be cut.
    auto text = [&](const QRect &cell, const QColor &color, const QString &s) {
      const QRect clip = cell.adjusted(3, 2, &cell == &typeCell ? -1 : -3, -2);
      painter->setClipRect(clip);
      painter->setPen(color);
      painter->drawText(QRect(cell.left() + 3, cell.top(), cell.width(), cell.height()),
                        Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, s);
      painter->setClipping(false);
    };
    text(typeCell, dir ? c.DirTypeFore : c.ScreenFore, type);
    // A name too long for its cell ends in an ellipsis.
    text(nameCell, selected ? c.FocusFore : c.ScreenFore,
         painter->fontMetrics().elidedText(name, Qt::ElideRight, nameCell.width() - 6));
    painter->setPen(c.ScreenFore);
    painter->drawLine(split, row.top(), split, row.bottom());
    painter->drawLine(row.left(), row.bottom(), row.right(), row.bottom());
    if (selected)
      DrawItemFocusRect(painter, option, List);
    painter->restore();
  }

private:
  TBrowserList *List;
};

}  // namespace

// ---- The list ----

TBrowserList::TBrowserList(QWidget *parent) : QListView(parent), ItemModel(new TBrowserModel(this)) {
  setModel(ItemModel);
  setItemDelegate(new TBrowserDelegate(this));
  setUniformItemSizes(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  setStatusTip(FixedHint);
  // Where Tahoma is missing its metric stand-in keeps "Plain" inside the
  // type cell, whose width follows the row height.
  QFont rows = font();
  rows.setFamilies({"Tahoma", "Liberation Sans", rows.family()});
  setFont(rows);
  SetColors(RowColors);
  // New rows under a still pointer: the hint and tool tip tell of the new row.
  connect(ItemModel, &QAbstractItemModel::modelReset, this, &TBrowserList::RefreshHint);
  connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this] {
    if (OnSelectionMoved && SelectedIndex() >= 0)
      OnSelectionMoved(SelectedIndex());
  });
}

void TBrowserList::currentChanged(const QModelIndex &current, const QModelIndex &previous) {
  QListView::currentChanged(current, previous);
  if (OnSelectionMoved && current.isValid())
    OnSelectionMoved(current.row());
}

int TBrowserList::RowHeight() const { return fontMetrics().height() + 5; }

int TBrowserList::TypeCellWidth() const {
  // The cell follows the row height, but never cuts a type text (3 pixels
  // before the text, one before the dividing line).
  int widest = 0;
  for (const char *type : {"Dir", "Form", "Plain"})
    widest = std::max(widest, fontMetrics().horizontalAdvance(QString::fromLatin1(type)));
  return std::max(static_cast<int>(std::trunc(RowHeight() * 1.7)), widest + 5);
}

QString TBrowserList::TypeText(const TFileItem &item) {
  if (item.Directory)
    return "Dir";
  return item.Text.endsWith(".rtf", Qt::CaseInsensitive) ? "Form" : "Plain";
}

int TBrowserList::SelectedIndex() const {
  const QModelIndex current = currentIndex();
  return current.isValid() && selectionModel()->isSelected(current) ? current.row() : -1;
}

void TBrowserList::SelectIndex(int index) {
  if (index < 0 || index >= Count()) {
    clearSelection();
    return;
  }
  const QModelIndex target = ItemModel->index(index);
  selectionModel()->setCurrentIndex(target, QItemSelectionModel::ClearAndSelect);
  scrollTo(target);
}

QString TBrowserList::ItemText(int index) const {
  return index >= 0 && index < Count() ? ItemModel->Items()[index].Text : QString();
}

bool TBrowserList::ItemIsDirectory(int index) const {
  return index >= 0 && index < Count() && ItemModel->Items()[index].Directory;
}

int TBrowserList::TopIndex() const { return verticalScrollBar()->value(); }

void TBrowserList::SetTopIndex(int index) { verticalScrollBar()->setValue(index); }

int TBrowserList::RowsThatFit() const { return std::max(1, viewport()->height() / std::max(1, RowHeight())); }

void TBrowserList::SetColors(const TBrowserColors &colors) {
  RowColors = colors;
  QPalette p = palette();
  p.setColor(QPalette::Base, colors.ScreenBack);
  p.setColor(QPalette::Text, colors.ScreenFore);
  setPalette(p);
  viewport()->update();
}

void TBrowserList::keyPressEvent(QKeyEvent *event) {
  switch (event->key()) {
  case Qt::Key_Backspace:
    if (OnUp)
      OnUp();
    break;
  case Qt::Key_Return:
  case Qt::Key_Enter:
    if (OnOpenItem)
      OnOpenItem();
    break;
  case Qt::Key_Slash:
    if (OnDrives)
      OnDrives();
    break;
  case Qt::Key_Up:
  case Qt::Key_Down:
  case Qt::Key_PageUp:
  case Qt::Key_PageDown:
  case Qt::Key_Home:
  case Qt::Key_End:
    // Moving the selection stays possible from the keyboard.
    if (event->modifiers() == Qt::NoModifier) {
      QListView::keyPressEvent(event);
      break;
    }
    [[fallthrough]];
  default:
    break;  // no search by typing: every other key ends here
  }
  event->accept();
}

void TBrowserList::mousePressEvent(QMouseEvent *event) {
  if (event->button() != Qt::LeftButton && event->button() != Qt::RightButton)
    return;
  const QModelIndex at = indexAt(event->position().toPoint());
  if (at.isValid())
    SelectIndex(at.row());  // a press on empty space keeps the selection
  if (event->button() == Qt::LeftButton && event->modifiers() == Qt::ControlModifier && OnExplore)
    OnExplore();
}

void TBrowserList::mouseReleaseEvent(QMouseEvent *) {}

void TBrowserList::mouseDoubleClickEvent(QMouseEvent *event) {
  if (event->button() == Qt::LeftButton && OnOpenItem)
    OnOpenItem();
}

void TBrowserList::mouseMoveEvent(QMouseEvent *event) { ShowHintAt(event->position().toPoint()); }

void TBrowserList::ShowHintAt(const QPoint &at) {
  QString hint = FixedHint;
  const QModelIndex index = indexAt(at);
  if (index.isValid() && ItemHintText)
    hint += ItemHintText(index.row());
  if (hint == statusTip())
    return;
  setStatusTip(hint);
  setToolTip(hint);
  if (!underMouse())
    return;
  QStatusTipEvent tip(hint);
  QApplication::sendEvent(this, &tip);
  if (QToolTip::isVisible())
    QToolTip::showText(QCursor::pos(), hint, this);
}

// The pointer's place is asked of the display only while the list is shown:
// the question waits for the display to finish what it was sent.
void TBrowserList::RefreshHint() {
  ShowHintAt(isVisible() ? viewport()->mapFromGlobal(QCursor::pos()) : QPoint(-1, -1));
}

// The base asks the display where the pointer is, for the hover under it: a
// hidden list has nothing under the pointer, and the question waits for the
// display (at the start, for its copy of the window's surface).
void TBrowserList::verticalScrollbarValueChanged(int value) {
  if (isVisible())
    QListView::verticalScrollbarValueChanged(value);
}

void TBrowserList::focusInEvent(QFocusEvent *event) {
  QListView::focusInEvent(event);
  // The keyboard always has a visible selection to work on.
  if (SelectedIndex() < 0 && Count() > 0)
    SelectIndex(std::max(0, currentIndex().row()));
}
