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

using namespace RichDocument;

namespace {

// Paragraph ends as a document makes them of inserted text: CR LF, CR and LF
// become U+2029.
void NormaliseBreaks(QString &s) {
  qsizetype i = 0;
  const qsizetype n = s.size();
  const char16_t *p = reinterpret_cast<const char16_t *>(s.constData());
  while (i < n && (p[i] > u'\r' || (p[i] != u'\r' && p[i] != u'\n')))
    ++i;
  if (i == n)
    return;
  QString out;
  out.reserve(n);
  out.append(QStringView(s).left(i));
  for (; i < n; ++i) {
    const QChar ch = s.at(i);
    if (ch == QLatin1Char('\r') || ch == QLatin1Char('\n')) {
      if (ch == QLatin1Char('\r') && i + 1 < n && s.at(i + 1) == QLatin1Char('\n'))
        ++i;
      out.append(QChar::ParagraphSeparator);
    } else
      out.append(ch);
  }
  s.swap(out);
}

const QRegularExpression &LinkPattern() {
  static const QRegularExpression re(QStringLiteral(R"((?:\b(?:https?|ftp|file|news|mailto):|\bwww\.)[^\s<>"]+)"),
                                     QRegularExpression::CaseInsensitiveOption);
  return re;
}

// Writes all of the data; a short write is tried again, so that the device
// records why it stopped (a full disk).
bool WriteAll(QIODevice &device, const char *data, qint64 length) {
  while (length > 0) {
    const qint64 n = device.write(data, length);
    if (n <= 0)
      return false;
    data += n;
    length -= n;
  }
  return true;
}

// The reason of a failed write, kept before the save abandons the file.
bool WriteFailed(QIODevice &device, QString &reason) {
  reason = device.errorString();
  return false;
}

// Pushes buffered data to the file, so that a full disk shows here.
bool Flushed(QIODevice &device, QString &reason) {
  auto *file = qobject_cast<QFileDevice *>(&device);
  return !file || file->flush() || WriteFailed(device, reason);
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
  QTextDocument *old = Document;
  auto *doc = new QTextDocument(const_cast<TRichEdit *>(this));
  InstallReadingLayout(doc);
  doc->setUndoRedoEnabled(false);
  doc->setDefaultFont(old->defaultFont());
  doc->setDocumentMargin(old->documentMargin());
  doc->rootFrame()->setFrameFormat(old->rootFrame()->frameFormat());
  if (keepFormats) {
    QTextCursor c(doc);
    c.setBlockFormat(old->firstBlock().blockFormat());
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
      if (fresh) {
        linkBlocks = MayHoldLinks(PendingText, firstBlock);
        InsertSliced(c, PendingText, AppendFormat);
      } else
        c.insertText(PendingText, AppendFormat);
      PendingText.clear();
      PendingText.squeeze();
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

std::u16string TRichEdit::Text() const {
  Flush();
  const QString raw = PlainOnly ? PlainText : Doc()->toRawText();
  std::u16string out;
  out.reserve(size_t(raw.size()) + size_t(Doc()->blockCount()));
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
  {
    TProgramEdit guard(Doc(), InProgramEdit);
    Doc()->clear();
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
  return Doc()->characterCount() - 1 + Doc()->blockCount() - 1;
}

int32_t TRichEdit::RichToQt(int32_t rich) const {
  QTextDocument *doc = Doc();
  if (rich <= 0)
    return 0;
  int lo = 0, hi = doc->blockCount() - 1;
  while (lo < hi) {  // the last block whose rich start is <= rich
    int mid = lo + (hi - lo + 1) / 2;
    if (doc->findBlockByNumber(mid).position() + mid <= rich)
      lo = mid;
    else
      hi = mid - 1;
  }
  QTextBlock b = doc->findBlockByNumber(lo);
  int32_t offset = rich - (b.position() + lo);
  return b.position() + std::min<int32_t>(offset, b.length() - 1);
}

int32_t TRichEdit::QtToRich(int32_t qt) const {
  QTextDocument *doc = Doc();
  qt = std::clamp<int32_t>(qt, 0, doc->characterCount() - 1);
  return qt + doc->findBlock(qt).blockNumber();
}

std::u16string TRichEdit::TextRange(int32_t start, int32_t length) const {
  std::u16string all;
  Flush();
  int32_t qs = RichToQt(start);
  int32_t qe = RichToQt(int32_t(std::min<int64_t>(int64_t(start) + std::max(length, 0), INT32_MAX)));
  QTextCursor c(Doc());
  c.setPosition(qs);
  c.setPosition(qe, QTextCursor::KeepAnchor);
  QString s = c.selectedText();
  for (QChar ch : s) {
    if (ch == QChar::ParagraphSeparator) {
      all += u'\r';
      all += u'\n';
    } else {
      all += char16_t(ch.unicode());
    }
  }
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
  QTextCursor c(Doc());
  c.setPosition(qs);
  c.setPosition(qe, QTextCursor::KeepAnchor);
  setTextCursor(c);
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
    const QString text = b.text();
    if (!MayHoldLink(text))
      continue;
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
  if (!BuildDoc)
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

// ---------------------------------------------------------------- streaming

bool TRichEdit::LoadText(const QString &path) {
  OP_BEGIN("TRichEdit::LoadText");
  bool result = false;
  OP_TRY {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
      OP_RAISE("Failed to load text.", path.toStdString(), file.errorString().toStdString());
      return result;
    }
    QByteArray data = file.readAll();
    file.close();
    QString text;
    if (data.startsWith("\xEF\xBB\xBF")) {
      text = QString::fromUtf8(data.constData() + 3, data.size() - 3);
    } else {
      QStringDecoder utf8(QStringDecoder::Utf8);
      text = utf8.decode(data);
      if (utf8.hasError()) {
        text.resize(data.size());
        QChar *out = text.data();
        for (qsizetype i = 0; i < data.size(); ++i)
          out[i] = QChar(Cp1252ToUnicode(uint8_t(data[i])));
      }
    }
    data = QByteArray();
    BlankDocumentBreaks(text, false);
    Clear();
    if (PlainOnly) {
      NormaliseBreaks(text);
      PlainText.swap(text);
      return true;
    }
    {
      QTextDocument *doc = BeginNewDocument(false);
      QTextCursor c(doc);
      if (InsertSliced(c, text, AppendFormat))
        MarkLinks(0, doc->blockCount() - 1);
    }
    if (Abandoned) {
      AbandonBuild();
      return result;
    }
    InstallDocument(false);
    SetCaretKeepingView(0);
    SetTop(0);
    result = true;
  }
  OP_CATCH;
  return result;
}

bool TRichEdit::SaveText(const QString &path) {
  OP_BEGIN("TRichEdit::SaveText");
  bool result = false;
  OP_TRY {
    Flush();
    // Written beside the target and renamed over it when complete: a failed
    // write leaves the old file as it was.
    QString reason, writeError;
    bool ok = SaveFileSafely(
        path,
        [&](QIODevice &file) {
          QByteArray chunk;
          if (PlainOnly) {  // paragraph ends and line breaks become "\n"
            QString piece;
            for (qsizetype from = 0; from < PlainText.size();) {
              qsizetype to = std::min<qsizetype>(from + (1 << 16), PlainText.size());
              if (to < PlainText.size() && PlainText.at(to - 1).isHighSurrogate())
                ++to;
              piece = PlainText.mid(from, to - from);
              for (QChar &ch : piece)
                if (ch == QChar::ParagraphSeparator || ch == QChar::LineSeparator)
                  ch = QLatin1Char('\n');
              chunk = piece.toUtf8();
              if (!WriteAll(file, chunk.constData(), chunk.size()))
                return WriteFailed(file, writeError);
              from = to;
            }
            return Flushed(file, writeError);
          }
          for (QTextBlock b = Doc()->begin(); b.isValid(); b = b.next()) {
            QString t = b.text();
            t.replace(QChar::LineSeparator, QLatin1Char('\n'));
            chunk += t.toUtf8();
            if (b.next().isValid())
              chunk += '\n';
            if (chunk.size() > (1 << 16)) {
              if (!WriteAll(file, chunk.constData(), chunk.size()))
                return WriteFailed(file, writeError);
              chunk.clear();
            }
          }
          if (!WriteAll(file, chunk.constData(), chunk.size()))
            return WriteFailed(file, writeError);
          return Flushed(file, writeError);
        },
        &reason);
    if (!ok) {
      if (!writeError.isEmpty())
        reason = writeError;
      OP_RAISE("Failed to save text.", path.toStdString(), reason.toStdString());
      return result;
    }
    result = true;
  }
  OP_CATCH;
  return result;
}

namespace {

// An output stream's buffer over a device, for the RTF writer.
class TDeviceStreamBuffer : public std::streambuf {
public:
  explicit TDeviceStreamBuffer(QIODevice &device) : Device(device), Buffer(1 << 16) {
    setp(Buffer.data(), Buffer.data() + Buffer.size());
  }

protected:
  int overflow(int c) override {
    if (!Drain())
      return traits_type::eof();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      *pptr() = traits_type::to_char_type(c);
      pbump(1);
    }
    return traits_type::not_eof(c);
  }
  int sync() override { return Drain() ? 0 : -1; }

private:
  bool Drain() {
    const qint64 n = pptr() - pbase();
    if (!WriteAll(Device, pbase(), n))
      return false;
    setp(Buffer.data(), Buffer.data() + Buffer.size());
    return true;
  }
  QIODevice &Device;
  std::vector<char> Buffer;
};

// Puts what the reader reads into the document through one cursor. A
// paragraph's runs are gathered first and go in as one insertion, their
// formats set on ranges afterwards, all inside one edit block: inserted run by
// run, each insertion had the whole paragraph analysed again.
class TDocumentSink : public IRtfSink {
public:
  // goOn (given the position reached) is asked at every paragraph end; once
  // it answers false, nothing more goes into the document.
  TDocumentSink(const TRichEdit &box, QTextDocument *doc, std::function<bool(int32_t)> goOn = {})
      : Box(box), Cursor(doc), GoOn(std::move(goOn)) {
    Cursor.movePosition(QTextCursor::End);
    Cursor.beginEditBlock();
  }
  ~TDocumentSink() override { Cursor.endEditBlock(); }
  void RtfText(const std::u16string &text, const TCharFormat &format) override {
    if (Stopped)
      return;
    if (!HasChar || !(format == LastChar)) {
      LastChar = format;
      LastQtChar = Box.ToQtCharFormat(format);
      HasChar = true;
      NewRun = true;
    }
    if (text.empty())
      return;
    if (NewRun || Runs.empty())
      Runs.push_back({int(Text.size()), 0, LastQtChar});
    NewRun = false;
    const qsizetype start = Text.size();
    Text += ToQString(text);
    for (qsizetype i = start; i < Text.size(); ++i) {
      const QChar ch = Text.at(i);
      if (ch == QLatin1Char('\n') || ch == QLatin1Char('\r') || ch == QChar::ParagraphSeparator)
        Text[i] = QChar::LineSeparator;
      else if (ch.unicode() == 0xFDD0 || ch.unicode() == 0xFDD1)
        Text[i] = QLatin1Char(' ');  // the document's own markers: shown as a blank
    }
    Runs.back().Length += int(Text.size() - start);
  }
  void RtfParagraphEnd(const TParaFormat &format) override {
    if (Stopped)
      return;
    PutParagraph();
    SetBlock(format);
    Cursor.insertBlock();
    if (GoOn && !GoOn(Cursor.position() + Cursor.blockNumber()))
      Stopped = true;
  }
  void RtfDocumentEnd(const TParaFormat &format) override {
    if (Stopped)
      return;
    PutParagraph();
    SetBlock(format);
  }
  QTextCursor &CursorRef() { return Cursor; }

private:
  struct TRun {
    int Start, Length;
    QTextCharFormat Format;
  };
  void PutParagraph() {
    if (Runs.empty())
      return;
    const int start = Cursor.position();
    Cursor.insertText(Text, Runs.front().Format);
    if (Runs.size() > 1) {
      QTextCursor range(Cursor);
      for (size_t i = 1; i < Runs.size(); ++i) {
        range.setPosition(start + Runs[i].Start);
        range.setPosition(start + Runs[i].Start + Runs[i].Length, QTextCursor::KeepAnchor);
        range.setCharFormat(Runs[i].Format);
      }
    }
    Text.clear();
    Runs.clear();
  }
  void SetBlock(const TParaFormat &format) {
    if (!HasPara || !(format == LastPara)) {
      LastPara = format;
      LastQtPara = Box.ToQtBlockFormat(format);
      HasPara = true;
    }
    Cursor.setBlockFormat(LastQtPara);
  }
  const TRichEdit &Box;
  QTextCursor Cursor;
  std::function<bool(int32_t)> GoOn;
  bool Stopped = false;
  QString Text;              // the paragraph being gathered
  std::vector<TRun> Runs;    // its runs, in order
  TCharFormat LastChar;
  QTextCharFormat LastQtChar;
  bool HasChar = false, NewRun = true;
  TParaFormat LastPara;
  QTextBlockFormat LastQtPara;
  bool HasPara = false;
};

// What the reader reads as the text alone, the way TDocumentSink would put it
// into a document.
class TTextSink : public IRtfSink {
public:
  explicit TTextSink(QString &out) : Out(out) {}
  void RtfText(const std::u16string &text, const TCharFormat &) override {
    const qsizetype start = Out.size();
    Out.append(QStringView(text.data(), qsizetype(text.size())));
    for (qsizetype i = start; i < Out.size(); ++i) {
      const char16_t u = Out.at(i).unicode();
      if (u == u'\n' || u == u'\r' || u == 0x2029)
        Out[i] = QChar::LineSeparator;
      else if (u == 0xFDD0 || u == 0xFDD1)
        Out[i] = QLatin1Char(' ');
    }
  }
  void RtfParagraphEnd(const TParaFormat &) override { Out.append(QChar::ParagraphSeparator); }
  void RtfDocumentEnd(const TParaFormat &) override {}

private:
  QString &Out;
};

}  // namespace

bool TRichEdit::LoadRtf(const QString &path) {
  OP_BEGIN("TRichEdit::LoadRtf");
  bool result = false;
  OP_TRY {
    Clear();
    std::string error;
    bool ok;
    if (PlainOnly) {
      TTextSink sink(PlainText);
      TRtfReader reader(sink);
      ok = reader.ReadFile(path.toStdString());
      error = reader.Error();
      if (!ok) {
        Clear();
        OP_RAISE("Failed to load RTF.", path.toStdString(), error);
        return result;
      }
      return true;
    }
    {
      QTextDocument *doc = BeginNewDocument(false);
      TDocumentSink sink(*this, doc, [this](int32_t position) { return Breathe(position); });
      TRtfReader reader(sink);
      ok = reader.ReadFile(path.toStdString());
      error = reader.Error();
      if (ok && !Abandoned)
        MarkLinks(0, doc->blockCount() - 1);
    }
    if (Abandoned) {
      AbandonBuild();
      return result;
    }
    InstallDocument(false);
    if (!ok) {
      Clear();
      OP_RAISE("Failed to load RTF.", path.toStdString(), error);
      return result;
    }
    SetCaretKeepingView(0);
    SetTop(0);
    result = true;
  }
  OP_CATCH;
  return result;
}

bool TRichEdit::SaveRtf(const QString &path) {
  OP_BEGIN("TRichEdit::SaveRtf");
  bool result = false;
  OP_TRY {
    Flush();
    QTextDocument *doc = Doc();
    std::unordered_map<int, TCharFormat> charCache;
    std::unordered_map<int, TParaFormat> paraCache;  // a book has few paragraph formats, used again and again
    auto walk = [&](TRtfWriter &w) {
      for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        auto para = paraCache.find(b.blockFormatIndex());
        if (para == paraCache.end())
          para = paraCache.emplace(b.blockFormatIndex(), FromQtBlockFormat(b.blockFormat())).first;
        w.BeginParagraph(para->second);
        for (auto it = b.begin(); !it.atEnd(); ++it) {
          QTextFragment fr = it.fragment();
          auto found = charCache.find(fr.charFormatIndex());
          if (found == charCache.end()) {
            TCharFormat f = FromQtCharFormat(fr.charFormat());
            f.Effects &= ~CFE_LINK;
            f.Mask &= ~CFM_LINK;
            found = charCache.emplace(fr.charFormatIndex(), f).first;
          }
          QString t = fr.text();
          w.Text(reinterpret_cast<const char16_t *>(t.utf16()), size_t(t.size()), found->second);
        }
        if (b.next().isValid())
          w.EndParagraph();
      }
    };
    TRtfWriter writer;
    QString reason, writeError;
    bool ok = SaveFileSafely(
        path,
        [&](QIODevice &file) {
          TDeviceStreamBuffer buffer(file);
          std::ostream out(&buffer);
          if (!writer.Write(out, walk) || !out.flush())
            return WriteFailed(file, writeError);
          return Flushed(file, writeError);
        },
        &reason);
    if (!ok) {
      if (!writeError.isEmpty())
        reason = writeError;
      OP_RAISE("Failed to save RTF.", path.toStdString(), reason.toStdString());
      return result;
    }
    result = true;
  }
  OP_CATCH;
  return result;
}

// ---------------------------------------------------------------- long loads kept alive

namespace {

// How often a long load gives the event loop a turn, and how much text goes
// into the document between two looks at the clock.
constexpr int64_t SliceMilliseconds = 30;
constexpr qsizetype SliceCharacters = 64 * 1024;

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
