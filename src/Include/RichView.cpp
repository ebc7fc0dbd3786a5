// The reading box's view (see RTF.h): the lines on the screen, scrolling by
// display lines, painting, the mouse and keys of a read-only box, the line
// numbers, and the switch to the editing view.
#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "RTF.h"
#include "RichDocument.h"
#include "RichEditView.h"

namespace {

// A document layout that lays out nothing: the view lays out what it shows
// itself, so nothing the program does to a document costs a layout of the book.
class TNoLayout : public QAbstractTextDocumentLayout {
public:
  explicit TNoLayout(QTextDocument *doc) : QAbstractTextDocumentLayout(doc) {}
  void draw(QPainter *, const PaintContext &) override {}
  int hitTest(const QPointF &, Qt::HitTestAccuracy) const override { return -1; }
  int pageCount() const override { return 1; }
  QSizeF documentSize() const override { return QSizeF(); }
  QRectF frameBoundingRect(QTextFrame *) const override { return QRectF(); }
  QRectF blockBoundingRect(const QTextBlock &) const override { return QRectF(); }

protected:
  void documentChanged(int, int, int) override {}
};

// Plain text of a selection, paragraph ends as line ends.
QString PlainSelection(const QTextCursor &cursor) {
  QString text = cursor.selectedText();
  text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
  text.replace(QChar::LineSeparator, QLatin1Char('\n'));
  return text;
}

}  // namespace

TRichEdit::TRichEdit(QWidget *parent) : QAbstractScrollArea(parent) {
  Document = new QTextDocument(this);
  InstallReadingLayout(Document);
  Layout.SetDocument(Document);
  Cursor = QTextCursor(Document);
  DefaultPoints = Document->defaultFont().pointSizeF();
  if (DefaultPoints <= 0)
    DefaultPoints = 12;
  ReadOnlyMode = true;
  CaretWidth = 0;
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_InputMethodEnabled, false);
  viewport()->setCursor(Qt::IBeamCursor);
  viewport()->setBackgroundRole(QPalette::Base);
  viewport()->setAutoFillBackground(true);
  verticalScrollBar()->setRange(0, 0);
  CountTimer.setInterval(0);
  connect(&CountTimer, &QTimer::timeout, this, &TRichEdit::CountSlice);
  DeferTimer.setInterval(0);
  connect(&DeferTimer, &QTimer::timeout, this, &TRichEdit::DeferredSlice);
  ConnectDocument();
  ApplyMargins();
}

TRichEdit::~TRichEdit() {
  CountTimer.stop();
  DeferTimer.stop();
  TEditView *editor = Editor;
  Editor = nullptr;  // the editor's last events must not reach it through the box
  delete editor;
}

void TRichEdit::InstallReadingLayout(QTextDocument *doc) const {
  // Replacing a layout announces the whole document as changed: not an edit.
  const bool was = InProgramEdit;
  InProgramEdit = true;
  doc->setDocumentLayout(new TNoLayout(doc));
  InProgramEdit = was;
}

// ---------------------------------------------------------------- geometry

double TRichEdit::TopPadding() const { return Document->documentMargin(); }

QSize TRichEdit::ViewSize() const {
  // A hidden box gets its resize events only when shown: its own size counts.
  if (!isVisible() || testAttribute(Qt::WA_PendingResizeEvent))
    return maximumViewportSize();
  return viewport()->size();
}

double TRichEdit::WantedWidth() const {
  const double margin = Document->documentMargin();
  return std::max((ViewSize().width() - MarginLeft - MarginRight - 2 * margin) / ViewScale(), 8.0);
}

void TRichEdit::SyncWidth() {
  if (std::abs(WantedWidth() - Layout.Width()) > 0.01)
    UpdateLayoutWidth();
}

void TRichEdit::UpdateLayoutWidth() {
  Layout.SetWidth(WantedWidth());
  InvalidateView(false);
}

void TRichEdit::InvalidateView(bool text) {
  if (text)
    Layout.TextChanged();
  else
    Layout.Invalidate();
  MaxTopCache = -1;
  TopPos = std::clamp(TopPos, 0, std::max(Document->characterCount() - 1, 0));
  StartLineCount();
  viewport()->update();
  QTimer::singleShot(0, this, [self = QPointer<TRichEdit>(this)] {
    if (self && !self->BuildDoc)
      self->UpdateScrollBar();
  });
}

// ---------------------------------------------------------------- lines on the screen

TRichEdit::TAnchor TRichEdit::AnchorOf(int position) {
  SyncWidth();
  QTextBlock b = Document->findBlock(std::max(position, 0));
  if (!b.isValid())
    b = Document->lastBlock();
  const int offset = std::clamp(position - b.position(), 0, std::max(b.length() - 1, 0));
  TAnchor a;
  a.Block = b.blockNumber();
  a.Part = Layout.PartOf(b, offset);
  const TRichLayout::TPart &part = Layout.Part(b, a.Part);
  const QTextLine line = part.Layout.lineForTextPosition(part.ToLayout(offset - part.Start));
  a.Line = line.isValid() ? line.lineNumber() : std::max(part.Lines() - 1, 0);
  return a;
}

int TRichEdit::PositionOf(const TAnchor &anchor) {
  const QTextBlock b = Document->findBlockByNumber(anchor.Block);
  const TRichLayout::TPart &part = Layout.Part(b, anchor.Part);
  if (part.Lines() == 0)
    return b.position() + part.Start;
  return b.position() + part.Start + part.FromLayout(part.Layout.lineAt(std::min(anchor.Line, part.Lines() - 1)).textStart());
}

bool TRichEdit::NextLine(TAnchor &a) {
  const QTextBlock b = Document->findBlockByNumber(a.Block);
  if (a.Line + 1 < Layout.Part(b, a.Part).Lines()) {
    ++a.Line;
    return true;
  }
  if (a.Part + 1 < Layout.PartCount(b)) {
    ++a.Part;
    a.Line = 0;
    return true;
  }
  if (a.Block + 1 < Document->blockCount()) {
    ++a.Block;
    a.Part = 0;
    a.Line = 0;
    return true;
  }
  return false;
}

bool TRichEdit::PreviousLine(TAnchor &a) {
  if (a.Line > 0) {
    --a.Line;
    return true;
  }
  QTextBlock b = Document->findBlockByNumber(a.Block);
  if (a.Part > 0) {
    --a.Part;
  } else if (a.Block > 0) {
    b = b.previous();
    --a.Block;
    a.Part = Layout.PartCount(b) - 1;
  } else {
    return false;
  }
  a.Line = std::max(Layout.Part(b, a.Part).Lines() - 1, 0);
  return true;
}

double TRichEdit::LineHeight(const TAnchor &a) {
  const TRichLayout::TPart &part = Layout.Part(Document->findBlockByNumber(a.Block), a.Part);
  if (a.Line + 1 >= int(part.Tops.size()))
    return 0;
  return (part.Tops[size_t(a.Line) + 1] - part.Tops[size_t(a.Line)]) * ViewScale();
}

int TRichEdit::MaxTop() {
  SyncWidth();
  const int height = ViewSize().height();
  if (MaxTopCache >= 0 && MaxTopGen == Layout.Generation() + uint64_t(height) * 1000003u)
    return MaxTopCache;
  const double room = height - TopPadding();
  TAnchor a;
  a.Block = Document->blockCount() - 1;
  const QTextBlock last = Document->lastBlock();
  a.Part = Layout.PartCount(last) - 1;
  a.Line = std::max(Layout.Part(last, a.Part).Lines() - 1, 0);
  double used = LineHeight(a);
  for (TAnchor p = a; PreviousLine(p);) {
    const double h = LineHeight(p);
    if (used + h > room + 0.5)
      break;
    used += h;
    a = p;
  }
  MaxTopCache = PositionOf(a);
  MaxTopGen = Layout.Generation() + uint64_t(height) * 1000003u;
  return MaxTopCache;
}

void TRichEdit::SetTop(int position, bool clamp) {
  position = PositionOf(AnchorOf(std::clamp(position, 0, std::max(Document->characterCount() - 1, 0))));
  if (clamp)
    position = std::min(position, MaxTop());
  if (position != TopPos) {
    TopPos = position;
    viewport()->update();
  }
  UpdateScrollBar();
}

void TRichEdit::UpdateScrollBar() {
  if (Editor)
    return;
  QScrollBar *bar = verticalScrollBar();
  const int maximum = MaxTop();
  SettingBar = true;
  bar->setRange(0, maximum);
  bar->setPageStep(std::max(1, std::min(maximum, 2000)));
  bar->setSingleStep(std::max(1, std::min(maximum / 1000, 80)));
  bar->setValue(std::min(TopPos, maximum));
  SettingBar = false;
}

void TRichEdit::scrollContentsBy(int, int) {
  if (SettingBar || Editor)
    return;
  // The reader moved the scroll bar: the line holding its value goes to the top.
  const int value = verticalScrollBar()->value();
  const int top = PositionOf(AnchorOf(value));
  if (top != TopPos) {
    TopPos = std::min(top, MaxTop());
    viewport()->update();
  }
}

// Fills Shown with the lines on the screen, from the top line down.
void TRichEdit::ComputeShown() {
  Shown.clear();
  const double scale = ViewScale();
  const double height = ViewSize().height();
  double y = TopPadding();
  TAnchor a = AnchorOf(TopPos);
  for (;;) {
    const QTextBlock b = Document->findBlockByNumber(a.Block);
    const TRichLayout::TPart &part = Layout.Part(b, a.Part);
    if (part.Lines() > 0) {
      const QTextLine line = part.Layout.lineAt(a.Line);
      TShownLine s;
      s.Where = a;
      s.Top = y;
      y += (part.Tops[size_t(a.Line) + 1] - part.Tops[size_t(a.Line)]) * scale;
      s.Bottom = y;
      s.Start = b.position() + part.Start + part.FromLayout(line.textStart());
      s.End = b.position() + part.Start + part.FromLayout(line.textStart() + line.textLength());
      Shown.push_back(s);
    }
    if (y >= height || !NextLine(a))
      break;
  }
}

bool TRichEdit::HoldSliceForPaint(QTimer &timer) {
  if (!SlicesWaitForPaint)
    return false;
  timer.stop();
  SlicesHeld = true;
  return true;
}

void TRichEdit::SlicesAfterPaint() {
  if (!SlicesWaitForPaint)
    return;
  SlicesWaitForPaint = false;
  if (!SlicesHeld)
    return;
  SlicesHeld = false;  // the timers fire once this paint is on the screen
  if (!Deferred.empty())
    DeferTimer.start();
  StartLineCount();
}

void TRichEdit::paintEvent(QPaintEvent *event) {
  SlicesAfterPaint();
  if (Editor)
    return;
  QPainter painter(viewport());
  // A failure while painting the background is swallowed: the text is still painted.
  try {
    if (BackgroundShown && PaintBackground && BackgroundShown())
      PaintBackground(painter, event->rect());
  } catch (...) {
  }
  Flush();
  if (BuildDoc)
    return;
  ComputeShown();
  const double scale = ViewScale();
  const double x0 = MarginLeft + Document->documentMargin();
  const int selStart = Cursor.selectionStart(), selEnd = Cursor.selectionEnd();
  QTextCharFormat selected;
  selected.setBackground(palette().brush(QPalette::Highlight));
  selected.setForeground(palette().brush(QPalette::HighlightedText));
  painter.setPen(palette().color(QPalette::Text));
  for (size_t i = 0; i < Shown.size();) {
    // The run of shown lines of one part is drawn in one call.
    size_t j = i + 1;
    while (j < Shown.size() && Shown[j].Where.Block == Shown[i].Where.Block && Shown[j].Where.Part == Shown[i].Where.Part)
      ++j;
    const TAnchor &a = Shown[i].Where;
    const QTextBlock b = Document->findBlockByNumber(a.Block);
    const TRichLayout::TPart &part = Layout.Part(b, a.Part);
    const int base = b.position() + part.Start;
    QList<QTextLayout::FormatRange> selections;
    if (selEnd > selStart && selEnd > base && selStart < base + part.Length + 1) {
      QTextLayout::FormatRange r;
      r.start = part.ToLayout(std::max(selStart - base, 0));
      r.length = part.ToLayout(std::min(selEnd - base, part.Length)) - r.start;
      r.format = selected;
      if (r.length > 0)
        selections.append(r);
    }
    const double top = part.Tops[size_t(a.Line)];
    const double bottom = part.Tops[size_t(Shown[j - 1].Where.Line) + 1];
    painter.save();
    painter.translate(x0, Shown[i].Top);
    painter.scale(scale, scale);
    // The clip is in the painter's coordinates, where the first shown line starts at 0.
    part.Layout.draw(&painter, QPointF(0, -top), selections, QRectF(-1e5, 0, 1e6, bottom - top));
    painter.restore();
    i = j;
  }
}

int TRichEdit::HitTest(const QPointF &point, bool *onText) {
  if (onText)
    *onText = false;
  ComputeShown();
  if (Shown.empty())
    return 0;
  size_t k = 0;
  while (k + 1 < Shown.size() && Shown[k].Bottom <= point.y())
    ++k;
  const TShownLine &s = Shown[k];
  const QTextBlock b = Document->findBlockByNumber(s.Where.Block);
  const TRichLayout::TPart &part = Layout.Part(b, s.Where.Part);
  const QTextLine line = part.Layout.lineAt(s.Where.Line);
  const double x = (point.x() - MarginLeft - Document->documentMargin()) / ViewScale();
  const int offset = part.FromLayout(line.xToCursor(x, QTextLine::CursorBetweenCharacters));
  if (onText)
    *onText = point.y() >= s.Top && point.y() < s.Bottom && x >= line.x() && x < line.x() + line.naturalTextWidth();
  return b.position() + part.Start + offset;
}

bool TRichEdit::CaretShown(int position) {
  ComputeShown();
  const double height = ViewSize().height();
  for (const TShownLine &s : Shown)
    if (position >= s.Start && position <= s.End && s.Bottom <= height + 0.5)
      return true;
  return false;
}

// ---------------------------------------------------------------- caret and selection

bool TRichEdit::PositionShown(int32_t position) {
  Flush();
  if (Editor) {
    QTextCursor c(Doc());
    c.setPosition(std::clamp(RichToQt(position), 0, std::max(Doc()->characterCount() - 1, 0)));
    return Editor->viewport()->rect().contains(Editor->cursorRect(c));
  }
  return CaretShown(RichToQt(position));
}

QTextCursor TRichEdit::textCursor() const {
  Flush();
  return Editor ? Editor->textCursor() : Cursor;
}

void TRichEdit::setTextCursor(const QTextCursor &cursor) {
  Flush();
  Cursor = cursor;
  if (Editor)
    Editor->setTextCursor(cursor);
  viewport()->update();
}

void TRichEdit::setCursorWidth(int width) {
  CaretWidth = width;
  if (Editor)
    Editor->setCursorWidth(width);
}

QRect TRichEdit::cursorRect(const QTextCursor &cursor) {
  Flush();
  if (Editor)
    return Editor->cursorRect(cursor);
  ComputeShown();
  const int position = cursor.position();
  for (const TShownLine &s : Shown) {
    if (position < s.Start || position > s.End)
      continue;
    const QTextBlock b = Document->findBlockByNumber(s.Where.Block);
    const TRichLayout::TPart &part = Layout.Part(b, s.Where.Part);
    const double x = part.Layout.lineAt(s.Where.Line).cursorToX(part.ToLayout(position - b.position() - part.Start));
    const int left = int(std::lround(MarginLeft + Document->documentMargin() + x * ViewScale()));
    return QRect(left, int(std::lround(s.Top)), 1, std::max(1, int(std::lround(s.Bottom - s.Top))));
  }
  return QRect();
}

void TRichEdit::copy() {
  if (Editor) {
    Editor->copy();
    return;
  }
  if (Cursor.hasSelection())
    QGuiApplication::clipboard()->setText(PlainSelection(Cursor));
}

void TRichEdit::selectAll() {
  Flush();
  Cursor.select(QTextCursor::Document);
  if (Editor)
    Editor->selectAll();
  viewport()->update();
}

void TRichEdit::SetCaretKeepingView(int32_t qtPosition) {
  const int at = std::clamp(qtPosition, 0, std::max(Doc()->characterCount() - 1, 0));
  Cursor = RichDocument::CursorAt(Doc(), at, at);
  if (Editor) {
    const int value = Editor->verticalScrollBar()->value();
    Editor->setTextCursor(Cursor);
    Editor->verticalScrollBar()->setValue(value);
  }
  viewport()->update();
}

void TRichEdit::MoveCaretLines(int32_t lines, bool extend) {
  Flush();
  if (Editor) {
    QTextCursor c = Editor->textCursor();
    c.movePosition(lines < 0 ? QTextCursor::Up : QTextCursor::Down,
                   extend ? QTextCursor::KeepAnchor : QTextCursor::MoveAnchor, std::abs(lines));
    Editor->setTextCursor(c);
    Cursor = c;
    return;
  }
  const int position = Cursor.position();
  TAnchor a = AnchorOf(position);
  const QTextBlock b = Document->findBlockByNumber(a.Block);
  double x = 0;
  {
    const TRichLayout::TPart &part = Layout.Part(b, a.Part);
    x = part.Layout.lineAt(a.Line).cursorToX(part.ToLayout(position - b.position() - part.Start));
  }
  bool moved = false;
  for (int32_t n = 0; n < std::abs(lines); ++n)
    moved = (lines < 0 ? PreviousLine(a) : NextLine(a)) || moved;
  if (!moved)
    return;
  const QTextBlock nb = Document->findBlockByNumber(a.Block);
  const TRichLayout::TPart &part = Layout.Part(nb, a.Part);
  const int offset = part.FromLayout(part.Layout.lineAt(a.Line).xToCursor(x));
  Cursor.setPosition(nb.position() + part.Start + offset, extend ? QTextCursor::KeepAnchor : QTextCursor::MoveAnchor);
  viewport()->update();
}

// ---------------------------------------------------------------- scrolling

void TRichEdit::ScrollLines(int32_t lines) {
  if (lines == 0)
    return;
  Flush();
  if (Editor) {
    QScrollBar *bar = Editor->verticalScrollBar();
    bar->setValue(bar->value() + lines * Editor->fontMetrics().lineSpacing());
    return;
  }
  TAnchor a = AnchorOf(TopPos);
  for (int32_t n = 0; n < std::abs(lines); ++n)
    if (!(lines < 0 ? PreviousLine(a) : NextLine(a)))
      break;
  SetTop(PositionOf(a));
}

void TRichEdit::PageDown() {
  ComputeShown();
  const double height = ViewSize().height();
  TAnchor a = AnchorOf(TopPos);
  for (const TShownLine &s : Shown)
    if (s.Bottom <= height + 0.5)
      a = s.Where;
  if (!NextLine(a))
    return;
  SetTop(PositionOf(a));
}

void TRichEdit::PageUp() {
  const double room = ViewSize().height() - TopPadding();
  TAnchor a = AnchorOf(TopPos);
  double used = 0;
  for (TAnchor p = a; PreviousLine(p);) {
    const double h = LineHeight(p);
    if (used + h > room + 0.5 && used > 0)
      break;
    used += h;
    a = p;
  }
  SetTop(PositionOf(a));
}

void TRichEdit::GotoLine(int32_t line) {
  Flush();
  const int32_t position = RichToQt(LineStart(std::max(line, 0)));
  if (Editor) {
    SetCaretKeepingView(position);
    Editor->ensureCursorVisible();
    return;
  }
  SetTop(position);
  SetCaretKeepingView(position);
}

void TRichEdit::ScrollToEnd() {
  Flush();
  if (Editor) {
    Editor->verticalScrollBar()->setValue(Editor->verticalScrollBar()->maximum());
    return;
  }
  SetTop(MaxTop());
  EnsureCaretVisible(1);
}

void TRichEdit::EnsureCaretVisible(int32_t k) {
  Flush();
  if (Editor) {
    Editor->ensureCursorVisible();
    return;
  }
  if (CaretShown(Cursor.position()))
    return;
  TAnchor a = AnchorOf(TopPos);
  for (int32_t n = 0; n < k && NextLine(a); ++n) {
  }
  SetCaretKeepingView(PositionOf(a));
}

void TRichEdit::GoToCharPos(int32_t position) {
  if (position < 0)
    return;
  Flush();
  const int qt = RichToQt(position);
  if (Editor) {
    SetCaretKeepingView(qt);
    Editor->ensureCursorVisible();
    return;
  }
  const TAnchor a = AnchorOf(qt);
  // Among the last few lines: the end of the book is shown.
  TAnchor probe = a;
  int below = 0;
  while (below < 4 && NextLine(probe))
    ++below;
  if (below < 4) {
    ScrollToEnd();
    return;
  }
  const int start = PositionOf(a);
  SetTop(start);
  SetCaretKeepingView(start);
}

int32_t TRichEdit::CharFromPoint(const QPoint &viewportPoint) {
  Flush();
  if (Editor)
    return QtToRich(Editor->cursorForPosition(viewportPoint).position());
  return QtToRich(HitTest(viewportPoint));
}

bool TRichEdit::FindText(const QString &text) {
  Flush();
  if (text.isEmpty())
    return false;
  QTextCursor found = Doc()->find(text, textCursor().selectionEnd());
  if (found.isNull())
    return false;
  if (Editor) {
    Editor->setTextCursor(found);
    Editor->ensureCursorVisible();
    Cursor = found;
    return true;
  }
  Cursor = found;
  if (!CaretShown(found.selectionStart()) || !CaretShown(found.selectionEnd())) {
    // The match goes a third of the way down the screen.
    TAnchor a = AnchorOf(found.selectionStart());
    double used = 0;
    const double room = ViewSize().height() / 3.0;
    for (TAnchor p = a; PreviousLine(p);) {
      used += LineHeight(p);
      if (used > room)
        break;
      a = p;
    }
    SetTop(PositionOf(a));
  }
  viewport()->update();
  return true;
}

// ---------------------------------------------------------------- events

void TRichEdit::resizeEvent(QResizeEvent *event) {
  QAbstractScrollArea::resizeEvent(event);
  if (Editor)
    Editor->setGeometry(rect());
  if (std::abs(WantedWidth() - Layout.Width()) > 0.01)
    UpdateLayoutWidth();
  else
    MaxTopCache = -1;
  UpdateScrollBar();
}

bool TRichEdit::event(QEvent *event) {
  if (event->type() == QEvent::Show)
    StartLineCount();
  return QAbstractScrollArea::event(event);
}

bool TRichEdit::eventFilter(QObject *watched, QEvent *event) {
  // The editing view's mouse moves reach whoever watches the box's viewport.
  if (Editor && watched == Editor->viewport() && event->type() == QEvent::MouseMove) {
    // The two viewports are siblings, neither an ancestor of the other: map
    // through the screen.
    auto *move = static_cast<QMouseEvent *>(event);
    const QPointF local = viewport()->mapFromGlobal(move->globalPosition());
    QMouseEvent copy(QEvent::MouseMove, local, move->globalPosition(), move->button(), move->buttons(),
                     move->modifiers());
    QCoreApplication::sendEvent(viewport(), &copy);
  }
  return QAbstractScrollArea::eventFilter(watched, event);
}

void TRichEdit::mousePressEvent(QMouseEvent *event) {
  if (event->button() != Qt::LeftButton) {
    QAbstractScrollArea::mousePressEvent(event);
    return;
  }
  Flush();
  setFocus(Qt::MouseFocusReason);
  bool onText = false;
  const int p = HitTest(event->position(), &onText);
  if (onText) {
    // The run of link fragments (a link may hold several formats) under the press.
    const QTextBlock b = Document->findBlock(p);
    QString href;
    for (auto it = b.begin(); !it.atEnd(); ++it) {
      const QTextFragment fr = it.fragment();
      if (p >= fr.position() && p < fr.position() + fr.length() && fr.charFormat().isAnchor())
        href = fr.charFormat().anchorHref();
    }
    if (!href.isEmpty()) {
      int start = -1, end = -1;
      bool hit = false;
      for (auto it = b.begin(); !it.atEnd(); ++it) {
        const QTextFragment fr = it.fragment();
        const bool isLink = fr.charFormat().isAnchor() && fr.charFormat().anchorHref() == href;
        const int fs = fr.position(), fe = fr.position() + fr.length();
        if (isLink && start >= 0 && fs == end) {
          end = fe;
        } else if (isLink) {
          if (hit)
            break;
          start = fs;
          end = fe;
        } else {
          if (hit)
            break;
          start = -1;
        }
        if (isLink && p >= fs && p <= fe)
          hit = true;
      }
      if (hit && start >= 0) {
        const int32_t rs = QtToRich(start);
        const int32_t rl = QtToRich(end) - rs;
        QTextCursor c(Document);
        c.setPosition(start);
        c.setPosition(end, QTextCursor::KeepAnchor);
        emit LinkPressed(rs, rl, c.selectedText());
      }
    }
  }
  Cursor.setPosition(p, (event->modifiers() & Qt::ShiftModifier) ? QTextCursor::KeepAnchor : QTextCursor::MoveAnchor);
  Selecting = true;
  viewport()->update();
}

void TRichEdit::mouseMoveEvent(QMouseEvent *event) {
  if (!Selecting || !(event->buttons() & Qt::LeftButton)) {
    QAbstractScrollArea::mouseMoveEvent(event);
    return;
  }
  const QPointF at = event->position();
  if (at.y() < 0)
    ScrollLines(-1);
  else if (at.y() > viewport()->height())
    ScrollLines(1);
  Cursor.setPosition(HitTest(at), QTextCursor::KeepAnchor);
  viewport()->update();
}

void TRichEdit::mouseReleaseEvent(QMouseEvent *event) {
  if (event->button() == Qt::LeftButton && Selecting) {
    Selecting = false;
    if (Cursor.hasSelection() && QGuiApplication::clipboard()->supportsSelection())
      QGuiApplication::clipboard()->setText(PlainSelection(Cursor), QClipboard::Selection);
  }
  QAbstractScrollArea::mouseReleaseEvent(event);
}

void TRichEdit::mouseDoubleClickEvent(QMouseEvent *event) {
  if (event->button() != Qt::LeftButton)
    return;
  Flush();
  Cursor.setPosition(HitTest(event->position()));
  Cursor.select(QTextCursor::WordUnderCursor);
  viewport()->update();
}

void TRichEdit::wheelEvent(QWheelEvent *event) {
  if (Editor) {
    event->ignore();
    return;
  }
  const int notches = event->angleDelta().y() / 120;
  if (notches != 0)
    ScrollLines(-notches * QApplication::wheelScrollLines());
  event->accept();
}

void TRichEdit::ForwardKey(QKeyEvent *event) { Editor->HandleKey(event); }

void TRichEdit::keyPressEvent(QKeyEvent *event) {
  if (Editor) {
    if (KeyReachedBox == 1)
      KeyReachedBox = 2;  // from the editing view, which handles it now
    else
      ForwardKey(event);  // sent to the box itself
    return;
  }
  Flush();
  const bool shift = event->modifiers() & Qt::ShiftModifier;
  const bool ctrl = event->modifiers() & Qt::ControlModifier;
  const QTextCursor::MoveMode mode = shift ? QTextCursor::KeepAnchor : QTextCursor::MoveAnchor;
  if (event == QKeySequence::Copy) {
    copy();
    return;
  }
  if (event == QKeySequence::SelectAll) {
    selectAll();
    return;
  }
  switch (event->key()) {
  case Qt::Key_PageDown:
    PageDown();
    Cursor.setPosition(TopPos, mode);
    break;
  case Qt::Key_PageUp:
    PageUp();
    Cursor.setPosition(TopPos, mode);
    break;
  case Qt::Key_Home:
    if (ctrl) {
      SetTop(0);
      Cursor.setPosition(0, mode);
    } else {
      Cursor.movePosition(QTextCursor::StartOfBlock, mode);
    }
    break;
  case Qt::Key_End:
    if (ctrl) {
      SetTop(MaxTop());
      Cursor.setPosition(Document->characterCount() - 1, mode);
    } else {
      Cursor.movePosition(QTextCursor::EndOfBlock, mode);
    }
    break;
  case Qt::Key_Up:
  case Qt::Key_Down:
    if (ctrl)
      ScrollLines(event->key() == Qt::Key_Up ? -1 : 1);
    else
      MoveCaretLines(event->key() == Qt::Key_Up ? -1 : 1, shift);
    break;
  case Qt::Key_Left:
  case Qt::Key_Right:
    Cursor.movePosition(event->key() == Qt::Key_Left ? (ctrl ? QTextCursor::PreviousWord : QTextCursor::Left)
                                                     : (ctrl ? QTextCursor::NextWord : QTextCursor::Right),
                        mode);
    break;
  default:
    event->ignore();
    return;
  }
  viewport()->update();
}
