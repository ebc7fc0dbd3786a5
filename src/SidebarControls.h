// Small builders for the sidebar's controls: every control gets its object
// name, caption and hint (its status tip) in one call.
#pragma once

#include <QString>
#include <QStringList>

class QCheckBox;
class QComboBox;
class QPushButton;
class QWidget;

// "from", "from + step", ... up to "to".
QStringList NumberItems(int from, int to, int step);
QCheckBox *NewCheck(QWidget *parent, const char *name, const QString &caption, bool checked,
                       const QString &hint);
// A drop-down list of the items with the selected one chosen.
QComboBox *NewList(QWidget *parent, const char *name, const QStringList &items, const QString &selected,
                      const QString &hint);
QPushButton *NewButton(QWidget *parent, const char *name, const QString &caption, const QString &hint);
