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
  QString paragraph = ToQString(text);
  BlankDocumentBreaks(paragraph, true);
  PendingText.append(paragraph);
  PendingText.append(QChar::ParagraphSeparator);
  if (!Doc()->isModified())
    Doc()->setModified(true);
}

void TRichEdit::Flush() const {
  if (PendingText.isEmpty() && PendingFormats.empty() && PendingSelStart < 0)
    return;
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
    if (!PendingText.isEmpty()) {
      c.insertText(PendingText, AppendFormat);
      PendingText.clear();
      PendingText.squeeze();
    }
    for (const TPendingFormat &p : PendingFormats) {
      int32_t qs = RichToQt(p.Start);
      int32_t qe = RichToQt(p.Length < 0 ? INT32_MAX : int32_t(std::min<int64_t>(int64_t(p.Start) + p.Length, INT32_MAX)));
      if (p.Para)
        ApplyParaFormat(qs, qe, p.ParaFormat);
      else
        ApplyCharFormat(qs, qe, p.Char);
    }
    PendingFormats.clear();
    c.endEditBlock();
    MarkLinks(firstBlock, doc->blockCount() - 1);
  }
  if (fresh)
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
  QString raw = Doc()->toRawText();
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
  QTextBlock b = doc->findBlockByNumber(std::max(firstBlock, 0));
  for (int n = std::max(firstBlock, 0); b.isValid() && n <= lastBlock; ++n, b = b.next()) {
    // Remove old marks (the text may have changed), then mark what is there now.
    for (auto it = b.begin(); !it.atEnd(); ++it) {
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
    {
      QTextDocument *doc = BeginNewDocument(false);
      QTextCursor c(doc);
      c.insertText(text, AppendFormat);
      MarkLinks(0, doc->blockCount() - 1);
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
  TDocumentSink(const TRichEdit &box, QTextDocument *doc) : Box(box), Cursor(doc) {
    Cursor.movePosition(QTextCursor::End);
    Cursor.beginEditBlock();
  }
  ~TDocumentSink() override { Cursor.endEditBlock(); }
  void RtfText(const std::u16string &text, const TCharFormat &format) override {
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
    PutParagraph();
    SetBlock(format);
    Cursor.insertBlock();
  }
  void RtfDocumentEnd(const TParaFormat &format) override {
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
  QString Text;              // the paragraph being gathered
  std::vector<TRun> Runs;    // its runs, in order
  TCharFormat LastChar;
  QTextCharFormat LastQtChar;
  bool HasChar = false, NewRun = true;
  TParaFormat LastPara;
  QTextBlockFormat LastQtPara;
  bool HasPara = false;
};

}  // namespace

bool TRichEdit::LoadRtf(const QString &path) {
  OP_BEGIN("TRichEdit::LoadRtf");
  bool result = false;
  OP_TRY {
    Clear();
    std::string error;
    bool ok;
    {
      QTextDocument *doc = BeginNewDocument(false);
      TDocumentSink sink(*this, doc);
      TRtfReader reader(sink);
      ok = reader.ReadFile(path.toStdString());
      error = reader.Error();
      if (ok)
        MarkLinks(0, doc->blockCount() - 1);
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
    auto walk = [&](TRtfWriter &w) {
      for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        w.BeginParagraph(FromQtBlockFormat(b.blockFormat()));
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
