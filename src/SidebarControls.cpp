#include "SidebarControls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "WrapCheckBox.h"

QStringList NumberItems(int from, int to, int step) {
  QStringList items;
  for (int value = from; value <= to; value += step)
    items << QString::number(value);
  return items;
}

QCheckBox *NewCheck(QWidget *parent, const char *name, const QString &caption, bool checked,
                       const QString &hint) {
  auto *box = new TWrapCheckBox(caption, parent);  // long captions wrap in the narrow sidebar
  box->setObjectName(name);
  box->setChecked(checked);
  box->setStatusTip(hint);
  return box;
}

QComboBox *NewList(QWidget *parent, const char *name, const QStringList &items, const QString &selected,
                      const QString &hint) {
  auto *box = new QComboBox(parent);
  box->setObjectName(name);
  box->addItems(items);
  box->setCurrentIndex(box->findText(selected));
  box->setStatusTip(hint);
  return box;
}

void AddCaptionedLists(QGridLayout *grid, QWidget *parent,
                       std::initializer_list<std::pair<const char *, QComboBox *>> lists) {
  int row = 0;
  for (auto [caption, list] : lists) {
    auto *label = new QLabel(caption, parent);
    label->setBuddy(list);
    grid->addWidget(label, row, 0);
    grid->addWidget(list, row, 1);
    ++row;
  }
}

QPushButton *NewButton(QWidget *parent, const char *name, const QString &caption, const QString &hint) {
  auto *button = new QPushButton(caption, parent);
  button->setObjectName(name);
  button->setStatusTip(hint);
  return button;
}
