#include "TabRows.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

TTabRows::TTabRows(QTabWidget *tabs, const std::vector<int> &rowLengths, QWidget *parent)
    : QWidget(parent), Tabs(tabs), Group(new QButtonGroup(this)) {
  Group->setExclusive(true);
  auto *rows = new QVBoxLayout(this);
  rows->setContentsMargins(0, 0, 0, 0);
  rows->setSpacing(1);
  int index = 0;
  for (int length : rowLengths) {
    auto *row = new QHBoxLayout;
    row->setSpacing(1);
    for (int k = 0; k < length && index < tabs->count(); ++k, ++index) {
      auto *button = new QToolButton(this);
      const QString caption = tabs->tabText(index);
      button->setText(caption);
      button->setObjectName(QString(caption).remove('&') + "TabButton");
      button->setCheckable(true);
      button->setFocusPolicy(Qt::NoFocus);
      button->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
      Group->addButton(button, index);
      row->addWidget(button);
    }
    rows->addLayout(row);
  }
  tabs->tabBar()->hide();
  if (QAbstractButton *current = Group->button(tabs->currentIndex()))
    current->setChecked(true);
  connect(Group, &QButtonGroup::idClicked, tabs, &QTabWidget::setCurrentIndex);
  connect(tabs, &QTabWidget::currentChanged, this, [this](int current) {
    if (QAbstractButton *button = Group->button(current))
      button->setChecked(true);
  });
}

QToolButton *TTabRows::Button(int index) const { return static_cast<QToolButton *>(Group->button(index)); }
