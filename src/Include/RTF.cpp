// The reading box (see RTF.h).
#include "RTF.h"

#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QFileDevice>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPointer>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStringDecoder>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextLayout>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <ostream>
#include <streambuf>
#include <unordered_map>

#include "Error.h"
#include "File.h"
#include "RtfReader.h"
#include "RtfWriter.h"
#include "RichDocument.h"
#include "RichMerged.h"

using namespace RichDocument;

namespace {

const QRegularExpression &LinkPattern() {
  static const QRegularExpression re(QStringLiteral(R"((?:\b(?:https?|ftp|file|news|mailto):|\bwww\.)[^\s<>"]+)"),
                                     QRegularExpression::CaseInsensitiveOption);
  return re;
}

bool MayHoldLink(const QString &text) {
  return text.contains(QLatin1Char(':')) || text.contains(QLatin1String("www."), Qt::CaseInsensitive);
}

// The numbers of the paragraphs of text (each ended by U+2029, the first
// numbered first) for which MayHoldLink would answer true: one pass over the
// text instead of a copy of every paragraph.
std::vector<int> MayHoldLinks(const QString &text, int first) {
  std::vector<int> blocks;
  const char16_t *p = reinterpret_cast<const char16_t *>(text.constData());
  const qsizetype n = text.size();
  int block = first;
  for (qsizetype i = 0; i < n; ++i) {
    const char16_t c = p[i];
    if (c == 0x2029 || c == u'\r' || c == u'\n') {  // paragraph ends as the document makes them
      if (c == u'\r' && i + 1 < n && p[i + 1] == u'\n')
        ++i;
      ++block;
      continue;
    }
    bool candidate = c == u':';
    if (!candidate && (c == u'w' || c == u'W') && i + 3 < n) {
      candidate = (p[i + 1] == u'w' || p[i + 1] == u'W') && (p[i + 2] == u'w' || p[i + 2] == u'W') && p[i + 3] == u'.';
    }
    if (candidate && (blocks.empty() || blocks.back() != block))
      blocks.push_back(block);
  }
  return blocks;
}

}  // namespace

void TRichEdit::ConnectDocument() {
  connect(Document, &QTextDocument::contentsChange, this, &TRichEdit::OnContentsChange);
}

QTextDocument *TRichEdit::BeginNewDocument(bool keepFormats) const {
  // The new document takes text fast and is shown when complete.
  FinishDeferred();
  QTextDocument *old = Document;
  auto *doc = new QTextDocument(const_cast<TRichEdit *>(this));
  InstallReadingLayout(doc);
  doc->setUndoRedoEnabled(false);
  doc->setDefaultFont(old->defaultFont());
  doc->setDocumentMargin(old->documentMargin());
  doc->rootFrame()->setFrameFormat(old->rootFrame()->frameFormat());
  Merged.Invalidate();
  if (keepFormats) {
    QTextCursor c(doc);
    QTextBlockFormat first = old->firstBlock().blockFormat();
    first.clearProperty(RichMerged::PropMerged);
    c.setBlockFormat(first);
    c.setBlockCharFormat(old->firstBlock().charFormat());
  }
  BuildDoc = doc;
  return doc;
}

void TRichEdit::InstallDocument(bool modified) const {
  auto *self = const_cast<TRichEdit *>(this);
  QTextDocument *doc = BuildDoc;
  BuildDoc = nullptr;
  if (!doc)
    return;
  QPointer<QTextDocument> old = Document;
  doc->setUndoRedoEnabled(true);
  doc->setModified(modified);
  self->Document = doc;
  SlicesWaitForPaint = true;
  Merged.Invalidate();
  self->Layout.SetDocument(doc);
  Cursor = QTextCursor(doc);
  self->TopPos = 0;
  if (self->Editor) {  // editing: the new text is shown by the editing view
    DocZoom = 1.0;
    self->LeaveEditing();
    self->EnterEditing();
  }
  if (old && old->parent() == this)
    delete old.data();
  self->ConnectDocument();
  self->InvalidateView(true);
}


// ---------------------------------------------------------------- text and appends

void TRichEdit::AppendParagraph(const std::u16string &text) {
  const qsizetype start = PendingText.size();
  PendingText.append(QStringView(text.data(), qsizetype(text.size())));
  BlankDocumentBreaks(PendingText, true, start);
  PendingText.append(QChar::ParagraphSeparator);
  if (PlainOnly)
    PendingFormats.clear();  // formats of a text-only box go nowhere
  if (!Doc()->isModified())
    Doc()->setModified(true);
}

void TRichEdit::Flush() const {
  if (PendingText.isEmpty() && PendingFormats.empty() && PendingSelStart < 0)
    return;
  // A turn given inside a flush (a paint, a scroll) must not start another on
  // the same pending text and formats: the flush under way puts them in.
  if (Flushing)
    return;
  struct TFlushing {
    bool &Flag;
    ~TFlushing() { Flag = false; }
  } flushing{Flushing};
  Flushing = true;
  FinishDeferred();
  if (PlainOnly) {
    NormaliseBreaks(PendingText);
    if (PlainText.isEmpty())
      PlainText.swap(PendingText);
    else
      PlainText += PendingText;
    PendingText.clear();
    PendingText.squeeze();
    PendingFormats.clear();
    PendingSelStart = -1;
    return;
  }
  if (BuildDoc)
    return;  // inside a build: the caller puts everything in
  auto *self = const_cast<TRichEdit *>(this);
  QTextDocument *doc = Doc();
  // Text for an empty box (a whole book) goes into a new document, shown when complete.
  bool fresh = doc->characterCount() == 1 && PendingText.size() > 4096;
  bool modified = doc->isModified();
  if (fresh)
    doc = BeginNewDocument(true);
  {
    TLayoutPause pause(doc, !fresh && PendingText.size() > 65536 && PendingText.size() > doc->characterCount() / 8);
    TProgramEdit guard(doc, InProgramEdit);
    if (!fresh)
      Cursor.setKeepPositionOnInsert(true);  // the caret keeps its place while text goes in after it
    QTextCursor c(doc);
    c.movePosition(QTextCursor::End);
    int firstBlock = c.blockNumber();
    c.beginEditBlock();
    std::vector<int> linkBlocks;  // of a new document: the paragraphs that may hold a link
    if (!PendingText.isEmpty()) {
      const qsizetype merged = MergePending(doc, fresh);
      if (fresh)
        linkBlocks = MayHoldLinks(PendingText, firstBlock);
      if (merged >= 0) {  // the blocks from there on hold merged paragraphs
        const QString head = PendingText.left(merged);
        PendingText.remove(0, merged);
        if (fresh || KeepAlive)
          InsertSliced(c, head, AppendFormat);
        else
          c.insertText(head, AppendFormat);
        QTextBlockFormat flag;
        flag.setProperty(RichMerged::PropMerged, true);
        c.mergeBlockFormat(flag);
        RichMerged::SetHoldsMerged(doc);
      }
      // During a load (a page may already be shown) long text goes in in slices too.
      if (fresh || KeepAlive)
        InsertSliced(c, PendingText, AppendFormat);
      else
        c.insertText(PendingText, AppendFormat);
      PendingText.clear();
      PendingText.squeeze();
      Merged.ChangedFrom(firstBlock);
    }
    for (const TPendingFormat &p : PendingFormats) {
      if (fresh && !Breathe(p.Start))
        break;
      int32_t qs = RichToQt(p.Start);
      int32_t qe = RichToQt(p.Length < 0 ? INT32_MAX : int32_t(std::min<int64_t>(int64_t(p.Start) + p.Length, INT32_MAX)));
      if (p.Para)
        ApplyParaFormat(qs, qe, p.ParaFormat);
      else
        ApplyCharFormat(qs, qe, p.Char);
    }
    PendingFormats.clear();
    PendingFormats.shrink_to_fit();
    c.endEditBlock();
    if (fresh) {  // only the paragraphs found beforehand
      for (int block : linkBlocks)
        if (!Abandoned)
          MarkLinks(block, block);
    } else if (!Abandoned)
      MarkLinks(firstBlock, doc->blockCount() - 1);
  }
  if (fresh && Abandoned)
    AbandonBuild();
  else if (fresh)
    InstallDocument(modified);
  else
    Cursor.setKeepPositionOnInsert(false);
  if (PendingSelStart >= 0) {
    int32_t s = PendingSelStart, l = PendingSelLength;
    PendingSelStart = -1;
    self->SetSelection(s, l);
  }
}

qsizetype TRichEdit::MergePending(QTextDocument *doc, bool breathe) const {
  // Only a text of many paragraphs may reach the count at which merging
  // starts; all of it is merged then (a whole book is appended at once, so
  // such a book is merged from its start, and its first paragraphs cost no
  // more than the others).
  const int blocks = doc->blockCount();
  if (blocks + PendingText.size() < RichMerged::MergeAfterBlocks() ||
      blocks + PendingText.count(QChar::ParagraphSeparator) < RichMerged::MergeAfterBlocks())
    return -1;
  std::vector<int64_t> starts, ends;
  for (const TPendingFormat &p : PendingFormats)
    if (p.Para) {
      starts.push_back(p.Start);
      ends.push_back(p.Length < 0 ? INT64_MAX : int64_t(p.Start) + p.Length);
    }
  const int64_t richStart = doc->characterCount() - 1 + blocks - 1 + Merged.Total(doc);
  std::function<bool(int64_t)> turn;
  if (breathe)
    turn = [this](int64_t position) { return Breathe(int32_t(std::min<int64_t>(position, INT32_MAX))); };
  return RichMerged::MergeEnds(PendingText, richStart, std::move(starts), std::move(ends), turn);
}

std::u16string TRichEdit::Text() const {
  Flush();
  const QString raw = PlainOnly ? PlainText : Doc()->toRawText();
  std::u16string out;
  out.reserve(size_t(raw.size()) + size_t(Doc()->blockCount()));
  if (!PlainOnly && RichMerged::HoldsMerged(Doc())) {
    RichMerged::AppendRich(out, raw, Doc()->begin(), true);
    return out;
  }
  const char16_t *p = reinterpret_cast<const char16_t *>(raw.utf16());
  for (qsizetype i = 0; i < raw.size(); ++i) {
    if (p[i] == 0x2029) {
      out += u'\r';
      out += u'\n';
    } else {
      out += p[i];
    }
  }
  return out;
}

void TRichEdit::Clear() {
  PlainText.clear();
  PlainText.squeeze();
  Abandoned = false;
  KeptAliveAt = 0;  // a new load has its first turn at once
  PendingText.clear();
  PendingFormats.clear();
  PendingSelStart = -1;
  RelinkFirst = RelinkLast = -1;
  Deferred.clear();
  DeferTimer.stop();
  SlicesWaitForPaint = true;
  Merged.Invalidate();
  {
    TProgramEdit guard(Doc(), InProgramEdit);
    Doc()->clear();
    Doc()->setProperty(RichMerged::DocumentFlag, false);
    guard.Modified = false;
  }
  ApplyMargins();
  TopPos = 0;
  InvalidateView(true);
}

void TRichEdit::SetModified(bool modified) { Doc()->setModified(modified); }

bool TRichEdit::Modified() const { return Doc()->isModified(); }

int32_t TRichEdit::TextLength() const {
  Flush();
  if (PlainOnly)
    return int32_t(PlainText.size() + PlainText.count(QChar::ParagraphSeparator));
  return Doc()->characterCount() - 1 + Doc()->blockCount() - 1 + Merged.Total(Doc());
}

int32_t TRichEdit::RichToQt(int32_t rich) const {
  QTextDocument *doc = Doc();
  if (rich <= 0)
    return 0;
  const bool merged = RichMerged::HoldsMerged(doc);
  auto richStart = [&](int block, int position) {
    return int64_t(position) + block + (merged ? Merged.Before(doc, block) : 0);
  };
  int lo = 0, hi = doc->blockCount() - 1;
  while (lo < hi) {  // the last block whose rich start is <= rich
    int mid = lo + (hi - lo + 1) / 2;
    if (richStart(mid, doc->findBlockByNumber(mid).position()) <= rich)
      lo = mid;
    else
      hi = mid - 1;
  }
  QTextBlock b = doc->findBlockByNumber(lo);
  int32_t offset = int32_t(rich - richStart(lo, b.position()));
  if (merged && RichMerged::IsMerged(b))
    offset = RichMerged::QtOffset(b, offset);
  return b.position() + std::min<int32_t>(offset, b.length() - 1);
}

int32_t TRichEdit::QtToRich(int32_t qt) const {
  QTextDocument *doc = Doc();
  qt = std::clamp<int32_t>(qt, 0, doc->characterCount() - 1);
  const QTextBlock b = doc->findBlock(qt);
  if (!RichMerged::HoldsMerged(doc))
    return qt + b.blockNumber();
  return qt + b.blockNumber() + Merged.Before(doc, b.blockNumber()) + RichMerged::EndsBefore(b, qt - b.position());
}

std::u16string TRichEdit::TextRange(int32_t start, int32_t length) const {
  std::u16string all;
  Flush();
  int32_t qs = RichToQt(start);
  int32_t qe = RichToQt(int32_t(std::min<int64_t>(int64_t(start) + std::max(length, 0), INT32_MAX)));
  const QTextCursor c = RichDocument::CursorAt(Doc(), qs, qe);
  RichMerged::AppendRich(all, c.selectedText(), Doc()->findBlock(qs), RichMerged::HoldsMerged(Doc()));
  // A range that ends between CR and LF keeps the CR only.
  if (int64_t(all.size()) > length && length >= 0)
    all.resize(size_t(length));
  return all;
}

void TRichEdit::SetSelection(int32_t start, int32_t length) {
  if (!PendingText.isEmpty()) {
    PendingSelStart = std::max(start, 0);
    PendingSelLength = length;
    return;
  }
  Flush();
  int32_t qs = RichToQt(start);
  int32_t qe = length < 0 ? Doc()->characterCount() - 1
                          : RichToQt(int32_t(std::min<int64_t>(int64_t(std::max(start, 0)) + length, INT32_MAX)));
  setTextCursor(RichDocument::CursorAt(Doc(), qs, qe));
}

void TRichEdit::GetSelection(int32_t &start, int32_t &length) const {
  Flush();
  QTextCursor c = textCursor();
  start = QtToRich(c.selectionStart());
  length = QtToRich(c.selectionEnd()) - start;
}

std::u16string TRichEdit::SelectedText() const {
  int32_t s, l;
  GetSelection(s, l);
  return TextRange(s, l);
}

// ---------------------------------------------------------------- links

void TRichEdit::SetLinkColor(const QColor &color) {
  QPalette p = palette();
  if (p.color(QPalette::Link) == color)
    return;
  p.setColor(QPalette::Link, color);
  setPalette(p);
  Flush();
  MarkLinks(0, Doc()->blockCount() - 1);
}

void TRichEdit::MarkLinks(int firstBlock, int lastBlock) const {
  QTextDocument *doc = Doc();
  TProgramEdit guard(doc, InProgramEdit, true);
  QTextCursor c(doc);
  QTextCharFormat linkFormat;
  linkFormat.setAnchor(true);
  linkFormat.setFontUnderline(true);
  linkFormat.setForeground(palette().color(QPalette::Link));
  linkFormat.setProperty(PropLink, true);
  // Old marks to remove only in a shown document that has a link format at
  // all (a document being built has only marks of its current text).
  bool marked = false;
  if (doc != BuildDoc)
    for (const QTextFormat &f : doc->allFormats())
      marked = marked || f.hasProperty(PropLink);
  QTextBlock b = doc->findBlockByNumber(std::max(firstBlock, 0));
  for (int n = std::max(firstBlock, 0); b.isValid() && n <= lastBlock; ++n, b = b.next()) {
    if ((n & 1023) == 0 && !Breathe(b.position()))
      return;
    // Remove old marks (the text may have changed), then mark what is there now.
    for (auto it = marked ? b.begin() : QTextBlock::iterator(); marked && !it.atEnd(); ++it) {
      QTextFragment fr = it.fragment();
      QTextCharFormat f = fr.charFormat();
      if (!f.hasProperty(PropLink))
        continue;
      f.clearProperty(PropLink);
      f.setAnchor(false);
      f.clearProperty(QTextFormat::AnchorHref);
      f.setFontUnderline(f.boolProperty(PropUnderline));
      if (f.hasProperty(PropTextColor))
        f.setForeground(ToQColor(uint32_t(f.property(PropTextColor).toLongLong())));
      else
        f.clearForeground();
      c.setPosition(fr.position());
      c.setPosition(fr.position() + fr.length(), QTextCursor::KeepAnchor);
      c.setCharFormat(f);
    }
    QString text = b.text();
    if (!MayHoldLink(text))
      continue;
    if (RichMerged::IsMerged(b))  // its line separators end paragraphs, and links with them
      text.replace(QChar::LineSeparator, QLatin1Char(' '));
    auto matches = LinkPattern().globalMatch(text);
    while (matches.hasNext()) {
      auto m = matches.next();
      QString url = m.captured(0);
      while (!url.isEmpty() && QStringLiteral(".,;:!?)]}'\"\u00BB\u201D\u2019").contains(url.back()))
        url.chop(1);
      if (url.endsWith(QLatin1Char(':')) || url.compare(QLatin1String("www."), Qt::CaseInsensitive) == 0)
        continue;
      int colon = url.indexOf(QLatin1Char(':'));
      if (colon >= 0 && colon == url.size() - 1)
        continue;
      QTextCharFormat lf = linkFormat;
      lf.setAnchorHref(url.startsWith(QLatin1String("www."), Qt::CaseInsensitive) ? QStringLiteral("http://") + url
                                                                                  : url);
      c.setPosition(b.position() + int(m.capturedStart(0)));
      c.setPosition(b.position() + int(m.capturedStart(0)) + int(url.size()), QTextCursor::KeepAnchor);
      c.mergeCharFormat(lf);
    }
  }
}

void TRichEdit::OnContentsChange(int position, int /*removed*/, int added) {
  if (BuildDoc)
    Merged.Invalidate();
  else
    Merged.ChangedFrom(Document->findBlock(position).blockNumber());
  if (!BuildDoc && !Deferring)
    InvalidateView(true);
  if (InProgramEdit)
    return;
  // An edit by the reader: the links of the touched paragraphs are marked again
  // once the edit is over.
  QTextDocument *doc = Doc();
  int first = doc->findBlock(position).blockNumber();
  int last = doc->findBlock(position + added).blockNumber();
  if (first < 0)
    return;
  if (last < first)
    last = doc->blockCount() - 1;
  if (RelinkFirst < 0) {
    QTimer::singleShot(0, this, [this] {
      int f = RelinkFirst, l = RelinkLast;
      RelinkFirst = RelinkLast = -1;
      if (f >= 0)
        MarkLinks(f, std::min(l, Doc()->blockCount() - 1));
    });
    RelinkFirst = first;
    RelinkLast = last;
  } else {
    RelinkFirst = std::min(RelinkFirst, first);
    RelinkLast = std::max(RelinkLast, last);
  }
}

// ---------------------------------------------------------------- long loads kept alive

namespace {

// How often a long load gives the event loop a turn, and how much text goes
// into the document between two looks at the clock.
constexpr int64_t SliceMilliseconds = 30;
constexpr qsizetype SliceCharacters = 64 * 1024;
constexpr qsizetype SliceBlocks = 4096;

int64_t SteadyMilliseconds() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

bool TRichEdit::Breathe(int32_t position) const {
  if (Abandoned)
    return false;
  if (!KeepAlive)
    return true;
  const int64_t now = SteadyMilliseconds();
  if (now - KeptAliveAt < SliceMilliseconds)
    return true;
  KeptAliveAt = now;
  if (!KeepAlive(position))
    Abandoned = true;
  KeptAliveAt = SteadyMilliseconds();  // the turn itself is not counted
  return !Abandoned;
}

void TRichEdit::AbandonBuild() const {
  // The half-built document is never shown; the box stays empty.
  delete BuildDoc;
  BuildDoc = nullptr;
  PendingText.clear();
  PendingText.squeeze();
  PendingFormats.clear();
  PendingSelStart = -1;
  Abandoned = true;
}

bool TRichEdit::InsertSliced(QTextCursor &cursor, const QString &text, const QTextCharFormat &format) const {
  qsizetype from = 0;
  while (from < text.size()) {
    if (!Breathe(cursor.position() + cursor.blockNumber()))
      return false;
    qsizetype to = std::min(from + SliceCharacters, text.size());
    // Each paragraph is a block, which costs far more than its characters: a
    // slice of tiny paragraphs is cut shorter.
    for (qsizetype k = from, blocks = 0; k < to; ++k)
      if (text.at(k) == QChar::ParagraphSeparator && ++blocks == SliceBlocks) {
        to = k + 1;
        break;
      }
    if (to < text.size() && text.at(to - 1).isHighSurrogate())
      ++to;  // a pair stays in one slice
    // The slice is read in place: the document copies it into its own buffer.
    cursor.insertText(QString::fromRawData(text.constData() + from, to - from), format);
    from = to;
  }
  return true;
}

// ---------------------------------------------------------------- a box whose text alone is read

void TRichEdit::SetTextOnly(bool on) {
  if (on == PlainOnly)
    return;
  Clear();
  PlainOnly = on;
}
