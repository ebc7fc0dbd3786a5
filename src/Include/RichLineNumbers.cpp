// The reading box's display-line numbers (see RTF.h): lines of positions and
// positions of lines, from the background count.
#include <QApplication>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <algorithm>
#include <cmath>

#include "RTF.h"
#include "RichEditView.h"

namespace {

// How long one slice of the background line count may run.
constexpr double CountSliceMs = 20;

}  // namespace

// ---------------------------------------------------------------- line numbers

void TRichEdit::StartLineCount() {
  if (Deferred.empty() && isVisible() && !CountTimer.isActive())
    CountTimer.start();
}

void TRichEdit::CountSlice() {
  if (BuildDoc || !isVisible() || !Deferred.empty()) {
    CountTimer.stop();
    return;
  }
  if (KeepAlive)
    return;  // a load still appends text: the lines are counted once it is complete
  if (HoldSliceForPaint(CountTimer))
    return;
  SyncWidth();
  if (Lines.Step(CountSliceMs))
    CountTimer.stop();
}

bool TRichEdit::LinesCounted() {
  Flush();
  SyncWidth();
  return Deferred.empty() && Lines.Complete();
}

int32_t TRichEdit::CountedLines() {
  Flush();
  SyncWidth();
  return Lines.Known();
}

void TRichEdit::WaitForLineCount() {
  Flush();
  FinishDeferred();
  SyncWidth();
  if (Lines.Complete())
    return;
  const bool wait = qobject_cast<QApplication *>(QCoreApplication::instance()) != nullptr &&
                    Document->blockCount() - Lines.CountedBlocks() > 2000;
  if (wait)
    QApplication::setOverrideCursor(Qt::WaitCursor);
  Lines.CountAll();
  if (wait)
    QApplication::restoreOverrideCursor();
}

int32_t TRichEdit::TopLineIfCounted() {
  Flush();
  const TAnchor a = AnchorOf(Editor ? RichToQt(TopPosition()) : TopPos);
  if (Lines.CountedBlocks() <= a.Block)
    return -1;
  return Lines.FirstLine(a.Block) + Lines.PartFirstLine(Document->findBlockByNumber(a.Block), a.Part) + a.Line;
}

int32_t TRichEdit::LineCount() {
  WaitForLineCount();
  return Lines.Known();
}

int32_t TRichEdit::LineStart(int32_t line) {
  Flush();
  SyncWidth();
  line = std::max(line, 0);
  if (line >= Lines.Known() && !Lines.Complete()) {
    const bool wait = qobject_cast<QApplication *>(QCoreApplication::instance()) != nullptr &&
                      Document->blockCount() - Lines.CountedBlocks() > 2000;
    if (wait)
      QApplication::setOverrideCursor(Qt::WaitCursor);
    Lines.CountToLine(line);
    if (wait)
      QApplication::restoreOverrideCursor();
  }
  const int32_t known = Lines.Known();
  if (known <= 0)
    return 0;
  line = std::min(line, known - 1);
  const int block = Lines.BlockOfLine(line);
  const QTextBlock b = Document->findBlockByNumber(block);
  int32_t rest = line - Lines.FirstLine(block);
  int part = 0;
  const int parts = Layout.PartCount(b);
  while (part + 1 < parts && Lines.PartFirstLine(b, part + 1) <= rest)
    ++part;
  rest -= Lines.PartFirstLine(b, part);
  TAnchor a{block, part, int(rest)};
  return QtToRich(PositionOf(a));
}

int32_t TRichEdit::LineOfChar(int32_t position) {
  Flush();
  const TAnchor a = AnchorOf(RichToQt(std::max(position, 0)));
  if (Lines.CountedBlocks() <= a.Block)
    Lines.CountThrough(a.Block);
  return Lines.FirstLine(a.Block) + Lines.PartFirstLine(Document->findBlockByNumber(a.Block), a.Part) + a.Line;
}

int32_t TRichEdit::TopPosition() {
  Flush();
  if (Editor)
    return QtToRich(Editor->cursorForPosition(QPoint(0, 0)).position());
  return QtToRich(PositionOf(AnchorOf(TopPos)));
}

int32_t TRichEdit::TopLine() { return LineOfChar(TopPosition()); }

void TRichEdit::LineRangeOf(int32_t position, int32_t &start, int32_t &end) {
  Flush();
  TAnchor a = AnchorOf(RichToQt(std::max(position, 0)));
  start = QtToRich(PositionOf(a));
  end = NextLine(a) ? QtToRich(PositionOf(a)) : TextLength();
}
