// The reading box's switch between the reading view and the editing view (see RTF.h).
#include <QApplication>
#include <QScrollBar>
#include <functional>
#include <QTextBlock>
#include <QTextDocument>
#include <algorithm>
#include <QAbstractTextDocumentLayout>
#include <cmath>

#include "RTF.h"
#include "RichEditView.h"

// ---------------------------------------------------------------- editing view

double TRichEdit::EstimatedHeight() {
  Flush();
  FinishDeferred();
  SyncWidth();
  const int count = Document->blockCount();
  const int samples = std::min(count, 64);
  double sum = 0;
  for (int k = 0; k < samples; ++k) {
    const QTextBlock b = Document->findBlockByNumber(int(int64_t(k) * count / samples));
    const int parts = Layout.PartCount(b);
    sum += Layout.PartHeight(b, 0) * parts;
  }
  return samples > 0 ? sum / samples * count * ViewScale() * DocZoom : 0;
}

bool TRichEdit::EditingPossible() {
  // The toolkit's layout keeps heights in 26.6 fixed point: 2^25 pixels at most.
  constexpr double Limit = 20e6;
  return EstimatedHeight() < Limit;
}

void TRichEdit::WithoutEditingView(const std::function<void()> &change) {
  if (!Editor) {
    change();
    return;
  }
  LeaveEditing();
  change();
  if (EditingPossible()) {
    EnterEditing();
    return;
  }
  ReadOnlyMode = true;
  setCursorWidth(0);
  emit EditingStopped();
}

void TRichEdit::SetReadOnly(bool readOnly) {
  Flush();
  if (!readOnly && !Editor && !EditingPossible()) {
    emit EditingStopped();
    return;
  }
  ReadOnlyMode = readOnly;
  if (readOnly)
    LeaveEditing();
  else
    EnterEditing();
  setCursorWidth(readOnly ? 0 : 1);
}

void TRichEdit::EnterEditing() {
  if (Editor)
    return;
  FinishDeferred();
  const bool wait = qobject_cast<QApplication *>(QCoreApplication::instance()) != nullptr &&
                    Document->characterCount() > 1000000;
  if (wait)
    QApplication::setOverrideCursor(Qt::WaitCursor);
  const int top = TopPos;
  // Where the top line's text stands below the top of its slot (the space
  // before its paragraph, a taller line spacing), in viewport pixels.
  double textDrop = 0;
  ComputeShown();
  if (!Shown.empty()) {
    const TShownLine &first = Shown.front();
    const TRichLayout::TPart &part = Layout.Part(Document->findBlockByNumber(first.Where.Block), first.Where.Part);
    const QTextLine line = part.Layout.lineAt(first.Where.Line);
    if (line.isValid())
      textDrop = std::max(0.0, (line.y() - part.Tops[size_t(first.Where.Line)]) * ViewScale());
  }
  {
    const bool was = InProgramEdit;
    InProgramEdit = true;
    Document->setDocumentLayout(nullptr);
    Document->documentLayout();  // the toolkit's own layout, made now: announcing it is not an edit
    InProgramEdit = was;
  }
  if (ZoomFactor != 1.0) {
    DocZoom = ZoomFactor;
    ApplyZoomToDocument();
  }
  Editor = new TEditView(this);
  Editor->setDocument(Document);
  Editor->setCursorWidth(CaretWidth);
  Editor->setGeometry(rect());
  Editor->viewport()->setMouseTracking(true);
  Editor->viewport()->installEventFilter(this);
  const bool focused = hasFocus();
  setFocusProxy(Editor);
  Editor->show();
  if (focused)
    Editor->setFocus();
  Editor->setTextCursor(Cursor);
  // The top line stays where it was, below the same top padding. The text
  // is laid out as far as the line first, and the scroll range made long
  // enough for it: the view's own range follows a lazy layout only later.
  QTextCursor t(Document);
  t.setPosition(std::clamp(top, 0, std::max(Document->characterCount() - 1, 0)));
  QAbstractTextDocumentLayout *layout = Document->documentLayout();
  layout->blockBoundingRect(Document->findBlock(t.position()).next());
  const QRect r = Editor->cursorRect(t);
  QScrollBar *bar = Editor->verticalScrollBar();
  const int wanted = bar->value() + r.top() - int(std::lround(TopPadding() + textDrop));
  if (wanted > bar->maximum())
    bar->setMaximum(std::max(wanted, int(std::ceil(layout->documentSize().height())) - Editor->viewport()->height()));
  bar->setValue(wanted);
  if (wait)
    QApplication::restoreOverrideCursor();
}

void TRichEdit::LeaveEditing() {
  if (!Editor)
    return;
  TEditView *editor = Editor;
  Cursor = editor->textCursor();
  const int top = editor->cursorForPosition(QPoint(0, 0)).position();
  const bool focused = editor->hasFocus();
  setFocusProxy(nullptr);
  editor->viewport()->removeEventFilter(this);
  editor->hide();
  editor->setDocument(new QTextDocument(editor));
  editor->deleteLater();
  Editor = nullptr;
  if (DocZoom != 1.0) {
    DocZoom = 1.0;
    ApplyZoomToDocument();
  }
  InstallReadingLayout(Document);
  InvalidateView(true);
  UpdateLayoutWidth();
  if (focused)
    setFocus();
  SetTop(top);
}
