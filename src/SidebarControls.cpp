#include "SidebarControls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>

QStringList NumberItems(int from, int to, int step) {
  QStringList items;
  for (int value = from; value <= to; value += step)
    items << QString::number(value);
  return items;
}

QCheckBox *NewCheckBox(QWidget *parent, const char *name, const QString &caption, bool checked,
                       const QString &hint) {
  auto *box = new QCheckBox(caption, parent);
  box->setObjectName(name);
  box->setChecked(checked);
  box->setStatusTip(hint);
  return box;
}

QComboBox *NewListBox(QWidget *parent, const char *name, const QStringList &items, const QString &selected,
                      const QString &hint) {
  auto *box = new QComboBox(parent);
  box->setObjectName(name);
  box->addItems(items);
  box->setCurrentIndex(box->findText(selected));
  box->setStatusTip(hint);
  return box;
}

QPushButton *NewPushButton(QWidget *parent, const char *name, const QString &caption, const QString &hint) {
  auto *button = new QPushButton(caption, parent);
  button->setObjectName(name);
  button->setStatusTip(hint);
  return button;
}
