// The reading box's editing view (see RTF.h).
#pragma once

#include <QCoreApplication>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QTextEdit>

#include "RTF.h"

// The editing view: the toolkit's text edit over the box's document. Keys reach
// the box's own handlers (and the filters installed on it) first. It looks as
// the reading view does: the box's background picture, its frame and scroll
// bars (the margins and line metrics are the document's, shared by both).
class TEditView : public QTextEdit {
public:
  explicit TEditView(TRichEdit *owner) : QTextEdit(owner), Owner(owner) {
    setAcceptRichText(false);
    setFrameShape(owner->frameShape());
    setVerticalScrollBarPolicy(owner->verticalScrollBarPolicy());
    setHorizontalScrollBarPolicy(owner->horizontalScrollBarPolicy());
  }
  void HandleKey(QKeyEvent *event) { QTextEdit::keyPressEvent(event); }

protected:
  void paintEvent(QPaintEvent *event) override {
    if (BackgroundShown()) {
      QPainter painter(viewport());
      // As in the reading view, a failure here leaves the text to be painted.
      try {
        Owner->PaintBackground(painter, event->rect());
      } catch (...) {
      }
    }
    QTextEdit::paintEvent(event);
  }
  void scrollContentsBy(int dx, int dy) override {
    QTextEdit::scrollContentsBy(dx, dy);
    // The picture stays where it is while the text moves over it.
    if (BackgroundShown())
      viewport()->update();
  }
  void keyPressEvent(QKeyEvent *event) override {
    Owner->KeyReachedBox = 1;
    QCoreApplication::sendEvent(Owner, event);
    const bool pass = Owner->KeyReachedBox == 2;
    Owner->KeyReachedBox = 0;
    if (pass)
      QTextEdit::keyPressEvent(event);
  }

private:
  bool BackgroundShown() const {
    return Owner->BackgroundShown && Owner->PaintBackground && Owner->BackgroundShown();
  }
  TRichEdit *Owner;
};
