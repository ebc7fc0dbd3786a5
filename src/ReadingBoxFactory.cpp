// The reading box of the main window. A plain QTextEdit until the reading-box
// class arrives; this function is the one place to swap it.
#include "PagelumeDialog.h"

#include <QTextEdit>

QTextEdit *CreateReadingBox(QWidget *parent) {
  auto *box = new QTextEdit(parent);
  box->setReadOnly(true);
  box->setTabChangesFocus(false);
  box->setFocusPolicy(Qt::ClickFocus);
  box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  return box;
}
