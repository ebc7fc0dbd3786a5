// Small builders for the sidebar's controls: every control gets its object
// name, caption and hint (its status tip) in one call.
#pragma once

#include <QString>
#include <QStringList>
#include <initializer_list>
#include <utility>

class QCheckBox;
class QComboBox;
class QGridLayout;
class QPushButton;
class QWidget;

// "from", "from + step", ... up to "to".
QStringList NumberItems(int from, int to, int step);
QCheckBox *NewCheck(QWidget *parent, const char *name, const QString &caption, bool checked,
                       const QString &hint);
// A drop-down list of the items with the selected one chosen.
QComboBox *NewList(QWidget *parent, const char *name, const QStringList &items, const QString &selected,
                      const QString &hint);
// Fills an empty grid with one row per list: its caption (a label whose Alt
// key reaches the list) and the list.
void AddCaptionedLists(QGridLayout *grid, QWidget *parent,
                       std::initializer_list<std::pair<const char *, QComboBox *>> lists);
QPushButton *NewButton(QWidget *parent, const char *name, const QString &caption, const QString &hint);
