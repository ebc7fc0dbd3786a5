#include "SidebarControls.h"

#include <QCheckBox>
#include <QComboBox>
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

QPushButton *NewButton(QWidget *parent, const char *name, const QString &caption, const QString &hint) {
  auto *button = new QPushButton(caption, parent);
  button->setObjectName(name);
  button->setStatusTip(hint);
  return button;
}
