// The reading box of the main window: the one place that decides its class.
#include "PagelumeDialog.h"

#include "RTF.h"

TRichEdit *CreateReadingBox(QWidget *parent) {
  auto *box = new TRichEdit(parent);
  box->SetReadOnly(true);
  box->setFocusPolicy(Qt::ClickFocus);  // no tab stop
  box->setFrameShape(QFrame::NoFrame);  // the window draws the optional frame around it
  box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  box->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);  // wrapped lines never need it
  box->setFrameStyle(QFrame::NoFrame);  // the window draws the optional frame around it
  return box;
}
