// The program's help window: the manual "Help.html" in a browser of its own,
// with back and forward, the contents, and a search box (Ctrl+F, Enter or F3
// for the next match, Shift+Enter for the previous one).
#pragma once

#include <QString>
#include <QWidget>

class QLabel;
class QLineEdit;
class QTextBrowser;
class QToolButton;

class THelpForm : public QWidget {
  Q_OBJECT
public:
  explicit THelpForm(QWidget *parent = nullptr);

  QTextBrowser *Browser = nullptr;
  QLineEdit *SearchEdit = nullptr;
  QLabel *SearchStatusLabel = nullptr;
  QToolButton *BackButton = nullptr;
  QToolButton *ForwardButton = nullptr;
  QToolButton *ContentsButton = nullptr;

  // Loads the help file (if it is not shown yet) and goes to the anchor of the
  // context ("100", "10000"; 0 is the top). False when the file is missing.
  bool ShowContext(const QString &helpFile, int context);
  // Finds the search box's text from the cursor on; wraps around once. True
  // when found (the match is selected and shown).
  bool FindNext(bool backward = false);

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;
};
