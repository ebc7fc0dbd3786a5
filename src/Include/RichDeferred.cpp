// The reading box (see RTF.h): a format for the whole of a long text, put on
// the paragraphs around the screen first and on the rest in slices.
//
// Merging a format into each of a long book's paragraphs costs the toolkit's
// document more than a tenth of a second on a book of 20 MB, all of it before
// the new page can be shown. The view lays out only what is on the screen, so
// the paragraphs around it are all it needs at once; the rest goes on in slices
// of a few milliseconds between events, in order, and anything that reads the
// document's formats, changes its text or needs the final line count finishes
// the rest first (FinishDeferred). Painting and scrolling do not: far paragraphs
// reached before their slice show the old format for a moment.
#include <QTextBlock>
#include <QTextDocument>
#include <algorithm>
#include <chrono>

#include "RTF.h"
#include "RichDocument.h"

using namespace RichDocument;

namespace {

// Shorter stretches are done at once.
constexpr int32_t DeferAbove = 256 * 1024;
// Characters around the top of the screen put on at once, before the screen is
// checked: the stretch doubles until it holds every line shown.
constexpr int32_t FirstSpan = 64 * 1024;
// A slice of the rest: its length in time, and the characters between looks at the clock.
constexpr int64_t SliceMs = 15;
constexpr int32_t StepCharacters = 16 * 1024;

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// The end of the paragraph that holds position, after its separator.
int32_t ParagraphEnd(QTextDocument *doc, int32_t position) {
  const QTextBlock b = doc->findBlock(std::clamp(position, 0, doc->characterCount() - 1));
  return b.isValid() ? b.position() + b.length() : doc->characterCount();
}

}  // namespace

void TRichEdit::ApplyOne(int32_t qtStart, int32_t qtEnd, const TDeferredFormat &format) const {
  if (format.Para)
    ApplyParaFormat(qtStart, qtEnd, format.ParaFormat);
  else
    ApplyCharFormat(qtStart, qtEnd, format.Char);
}

void TRichEdit::ApplyFormatAroundScreen(int32_t qtStart, int32_t qtEnd, bool para, const TCharFormat &charFormat,
                                        const TParaFormat &paraFormat) {
  FinishDeferred();  // an earlier change goes on whole before this one
  TDeferredFormat f;
  f.Para = para;
  f.Char = charFormat;
  f.ParaFormat = paraFormat;
  QTextDocument *doc = Doc();
  if (Editor || BuildDoc || !isVisible() || qtEnd - qtStart < DeferAbove) {
    ApplyOne(qtStart, qtEnd, f);
    return;
  }
  // The paragraphs from just above the top line on, until the screen is full.
  const int32_t from = std::clamp(doc->findBlock(std::max(0, TopPos - 1)).position(), qtStart, qtEnd);
  int32_t to = from;
  for (int64_t span = FirstSpan;; span *= 2) {
    const int32_t next = std::min(qtEnd, ParagraphEnd(doc, int32_t(std::min<int64_t>(int64_t(TopPos) + span, INT32_MAX))));
    if (next > to)
      ApplyOne(to, next, f);
    to = std::max(to, next);
    if (to >= qtEnd)
      break;
    InvalidateView(true);
    ComputeShown();
    if (Shown.empty() || Shown.back().End < to)
      break;
  }
  // The rest: below the screen first, where the reader goes next.
  if (to < qtEnd) {
    f.Start = to;
    f.End = qtEnd;
    Deferred.push_back(f);
  }
  if (from > qtStart) {
    f.Start = qtStart;
    f.End = from;
    Deferred.push_back(f);
  }
  if (!Deferred.empty())
    DeferTimer.start();
}

void TRichEdit::DeferredSlice() {
  if (Deferred.empty() || BuildDoc) {
    DeferTimer.stop();
    return;
  }
  if (HoldSliceForPaint(DeferTimer))
    return;
  const int64_t begin = NowMs();
  {
    TProgramEdit guard(Doc(), InProgramEdit);
    Deferring = true;
    while (!Deferred.empty() && NowMs() - begin < SliceMs) {
      TDeferredFormat &d = Deferred.front();
      const int32_t stop = std::min(d.End, ParagraphEnd(Doc(), d.Start + StepCharacters));
      ApplyOne(d.Start, stop, d);
      d.Start = stop;
      if (d.Start >= d.End)
        Deferred.erase(Deferred.begin());
    }
    Deferring = false;
  }
  if (Deferred.empty())
    DeferTimer.stop();
  InvalidateView(true);
}

void TRichEdit::FinishDeferred() const {
  if (Deferred.empty())
    return;
  auto *self = const_cast<TRichEdit *>(this);
  self->DeferTimer.stop();
  {
    TProgramEdit guard(Doc(), InProgramEdit);
    Deferring = true;
    for (const TDeferredFormat &d : Deferred)
      ApplyOne(d.Start, d.End, d);
    Deferred.clear();
    Deferring = false;
  }
  self->InvalidateView(true);
}
