// The reading box's editing view (see RTF.h).
#pragma once

#include <QCoreApplication>
#include <QKeyEvent>
#include <QTextEdit>

#include "RTF.h"

// The editing view: the toolkit's text edit over the box's document. Keys reach
// the box's own handlers (and the filters installed on it) first.
class TEditView : public QTextEdit {
public:
  explicit TEditView(TRichEdit *owner) : QTextEdit(owner), Owner(owner) {
    setAcceptRichText(false);
    setFrameShape(QFrame::NoFrame);
  }
  void HandleKey(QKeyEvent *event) { QTextEdit::keyPressEvent(event); }

protected:
  void keyPressEvent(QKeyEvent *event) override {
    Owner->KeyReachedBox = 1;
    QCoreApplication::sendEvent(Owner, event);
    const bool pass = Owner->KeyReachedBox == 2;
    Owner->KeyReachedBox = 0;
    if (pass)
      QTextEdit::keyPressEvent(event);
  }

private:
  TRichEdit *Owner;
};
