// Captions of a tab widget's pages in as many rows as they need: a narrow
// panel shows every caption whole instead of a scrolling tab row. The tab
// widget keeps its pages and its current index; its own tab bar is hidden.
#pragma once

#include <QWidget>
#include <vector>

class QButtonGroup;
class QTabWidget;
class QToolButton;

class TTabRows : public QWidget {
public:
  // rowLengths: how many captions each row holds, top row first.
  TTabRows(QTabWidget *tabs, const std::vector<int> &rowLengths, QWidget *parent);
  QToolButton *Button(int index) const;

private:
  QTabWidget *Tabs;
  QButtonGroup *Group;
};
