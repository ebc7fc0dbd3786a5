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

namespace {

// True values kept in the document beside the shown (zoomed) ones.
enum : int {
  PropSizeTwips = QTextFormat::UserProperty + 1,
  PropSpacingTwips,
  PropTextColor,
  PropUnderline,
  PropStartIndent,
  PropOffset,
  PropRightIndent,
  PropSpaceBefore,
  PropSpaceAfter,
  PropTabs,
  PropLink,
  PropFaceKey,  // the face name again, as a string: the toolkit's format table hashes the list of families poorly
};

constexpr uint32_t AllCharMask = CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_STRIKEOUT | CFM_SPACING | CFM_BACKCOLOR |
                                 CFM_FACE | CFM_COLOR | CFM_SIZE;
constexpr uint32_t AllParaMask = PFM_STARTINDENT | PFM_RIGHTINDENT | PFM_OFFSET | PFM_ALIGNMENT | PFM_TABSTOPS |
                                 PFM_SPACEBEFORE | PFM_SPACEAFTER | PFM_LINESPACING;

QColor ToQColor(uint32_t c) { return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF)); }
uint32_t FromQColor(const QColor &c) { return uint32_t(c.red()) | (uint32_t(c.green()) << 8) | (uint32_t(c.blue()) << 16); }

QString ToQString(const std::u16string &s) { return QString::fromUtf16(s.data(), qsizetype(s.size())); }

// U+2029 and the frame marks U+FDD0 and U+FDD1 would start blocks of their
// own inside the document, so every later position of the book would move;
// book text shows them (and U+2028 with lineBreaks) as a blank.
void BlankDocumentBreaks(QString &s, bool lineBreaks, qsizetype from = 0) {
  const char16_t *p = reinterpret_cast<const char16_t *>(s.constData());
  for (qsizetype i = from; i < s.size(); ++i) {
    const char16_t u = p[i];
    if (u == 0x2029 || u == 0xFDD0 || u == 0xFDD1 || (lineBreaks && u == 0x2028)) {
      s[i] = QLatin1Char(' ');
      p = reinterpret_cast<const char16_t *>(s.constData());
    }
  }
}

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

// Keeps the document's modified flag and undo stack out of the program's own rewrites.
class TProgramEdit {
public:
  TProgramEdit(QTextDocument *doc, bool &flag, bool keepUndo = false) : Doc(doc), Flag(flag), WasFlag(flag) {
    Modified = doc->isModified();
    Undo = !keepUndo && doc->isUndoRedoEnabled();
    Flag = true;
    if (Undo)
      doc->setUndoRedoEnabled(false);
  }
  ~TProgramEdit() {
    if (Undo)
      Doc->setUndoRedoEnabled(true);
    Doc->setModified(Modified);
    Flag = WasFlag;
  }
  TProgramEdit(const TProgramEdit &) = delete;
  TProgramEdit &operator=(const TProgramEdit &) = delete;
  bool Modified = false;

private:
  QTextDocument *Doc;
  bool &Flag;
  bool WasFlag;
  bool Undo = false;
};

// Holds the layout back during a large rewrite: the document is laid out once
// afterwards, lazily (what is shown first, the rest in the background), instead
// of piece by piece and at once.
class TLayoutPause {
public:
  explicit TLayoutPause(QTextDocument *doc, bool active = true) : Doc(doc), Active(active) {
    if (Active) {
      Size = doc->pageSize();
      Active = !Size.isNull();
    }
    if (Active)
      doc->setPageSize(QSizeF(0, 0));
  }
  ~TLayoutPause() {
    if (Active)
      Doc->setPageSize(Size);
  }
  TLayoutPause(const TLayoutPause &) = delete;
  TLayoutPause &operator=(const TLayoutPause &) = delete;

private:
  QTextDocument *Doc;
  bool Active;
  QSizeF Size;
};

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

TRichEdit::TRichEdit(QWidget *parent) : QTextEdit(parent) {
  setAcceptRichText(false);
  DefaultPoints = Doc()->defaultFont().pointSizeF();
  if (DefaultPoints <= 0)
    DefaultPoints = 12;
  ConnectDocument();
  ApplyMargins();
}

void TRichEdit::ConnectDocument() {
  QTextDocument *doc = QTextEdit::document();
  connect(doc, &QTextDocument::contentsChange, this, &TRichEdit::OnContentsChange);
  connect(doc->documentLayout(), &QAbstractTextDocumentLayout::documentSizeChanged, this,
          [this](const QSizeF &) { LineFirst.clear(); });
  connect(doc->documentLayout(), &QAbstractTextDocumentLayout::update, this,
          [this](const QRectF &) { LineFirst.clear(); });
}

QTextDocument *TRichEdit::BeginNewDocument(bool keepFormats) const {
  // A document without a layout takes text fast; it is laid out once, lazily,
  // when InstallDocument shows it.
  QTextDocument *old = QTextEdit::document();
  auto *doc = new QTextDocument(const_cast<TRichEdit *>(this));
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
  QPointer<QTextDocument> old = QTextEdit::document();
  doc->setUndoRedoEnabled(true);
  doc->setModified(modified);
  self->setDocument(doc);
  if (old && old->parent() == this)
    delete old.data();
  self->ConnectDocument();
  self->setCursorWidth(isReadOnly() ? 0 : 1);
  LineFirst.clear();
}

TRichEdit::~TRichEdit() = default;

// ---------------------------------------------------------------- units

double TRichEdit::Dpi() const {
  int dpi = logicalDpiY();
  return dpi > 0 ? dpi : 96;
}

double TRichEdit::Pixels(int32_t twips) const { return twips * Dpi() / 1440.0 * ZoomFactor; }

int32_t TRichEdit::Twips(double pixels) const { return int32_t(std::lround(pixels * 1440.0 / Dpi() / ZoomFactor)); }

QTextCharFormat TRichEdit::ToQtCharFormat(const TCharFormat &f) const {
  QTextCharFormat q;
  if (f.Mask & CFM_FACE) {
    const QString face = QString::fromStdString(f.FaceName);
    q.setFontFamilies(QStringList{face});
    q.setProperty(PropFaceKey, face);
  }
  if ((f.Mask & CFM_SIZE) && f.HeightTwips > 0) {
    q.setProperty(PropSizeTwips, f.HeightTwips);
    q.setFontPointSize(f.HeightTwips / 20.0 * ZoomFactor);
  }
  if (f.Mask & CFM_BOLD)
    q.setFontWeight((f.Effects & CFE_BOLD) ? QFont::Bold : QFont::Normal);
  if (f.Mask & CFM_ITALIC)
    q.setFontItalic(f.Effects & CFE_ITALIC);
  if (f.Mask & CFM_UNDERLINE) {
    q.setProperty(PropUnderline, bool(f.Effects & CFE_UNDERLINE));
    q.setFontUnderline(f.Effects & CFE_UNDERLINE);
  }
  if (f.Mask & CFM_STRIKEOUT)
    q.setFontStrikeOut(f.Effects & CFE_STRIKEOUT);
  if (f.Mask & CFM_COLOR) {
    q.setProperty(PropTextColor, qlonglong(f.TextColor & 0xFFFFFF));
    q.setForeground(ToQColor(f.TextColor));
  }
  if (f.Extended && (f.Mask & CFM_BACKCOLOR)) {
    if (f.BackColor == NoBackColor)
      q.setBackground(QBrush(Qt::NoBrush));
    else
      q.setBackground(ToQColor(f.BackColor));
  }
  if (f.Extended && (f.Mask & CFM_SPACING)) {
    q.setProperty(PropSpacingTwips, f.SpacingTwips);
    q.setFontLetterSpacingType(QFont::AbsoluteSpacing);
    q.setFontLetterSpacing(Pixels(f.SpacingTwips));
  }
  return q;
}

TCharFormat TRichEdit::FromQtCharFormat(const QTextCharFormat &q) const {
  TCharFormat f;
  f.Extended = true;
  f.Mask = AllCharMask;
  QString face = q.fontFamilies().toStringList().value(0);
  if (face.isEmpty())
    face = Doc()->defaultFont().family();
  f.FaceName = face.toStdString();
  if (q.hasProperty(PropSizeTwips))
    f.HeightTwips = q.intProperty(PropSizeTwips);
  else if (q.fontPointSize() > 0)
    f.HeightTwips = int32_t(std::lround(q.fontPointSize() * 20 / ZoomFactor));
  else
    f.HeightTwips = int32_t(std::lround(DefaultPoints * 20));
  if (q.fontWeight() >= QFont::DemiBold)
    f.Effects |= CFE_BOLD;
  if (q.fontItalic())
    f.Effects |= CFE_ITALIC;
  if (q.hasProperty(PropUnderline) ? q.boolProperty(PropUnderline) : (!q.isAnchor() && q.fontUnderline()))
    f.Effects |= CFE_UNDERLINE;
  if (q.fontStrikeOut())
    f.Effects |= CFE_STRIKEOUT;
  if (q.isAnchor()) {
    f.Effects |= CFE_LINK;
    f.Mask |= CFM_LINK;
  }
  if (q.hasProperty(PropTextColor))
    f.TextColor = uint32_t(q.property(PropTextColor).toLongLong());
  else if (!q.isAnchor() && q.foreground().style() != Qt::NoBrush)
    f.TextColor = FromQColor(q.foreground().color());
  else
    f.TextColor = FromQColor(palette().color(QPalette::Text));
  f.BackColor = q.background().style() != Qt::NoBrush ? FromQColor(q.background().color()) : NoBackColor;
  if (q.hasProperty(PropSpacingTwips))
    f.SpacingTwips = q.intProperty(PropSpacingTwips);
  return f;
}

namespace {

// The shown block measures of the true ones.
void SetShownIndents(QTextBlockFormat &q, double startPx, double offsetPx) {
  q.setLeftMargin(std::max(0.0, startPx + offsetPx));
  q.setTextIndent(-offsetPx);
}

QString TabsText(const TParaFormat &f) {
  QString s;
  for (int i = 0; i < f.TabCount && i < MAX_TAB_STOPS; ++i) {
    if (i)
      s += QLatin1Char(',');
    s += QString::number(f.Tabs[i]);
  }
  return s;
}

}  // namespace

QList<QTextOption::Tab> TRichEdit::ShownTabs(const TParaFormat &f) const {
  // Tab stops count from the paragraph's left edge; the layout counts them from
  // where the first line starts.
  QList<QTextOption::Tab> tabs;
  for (int i = 0; i < f.TabCount && i < MAX_TAB_STOPS; ++i)
    if (f.Tabs[i] > f.StartIndent)
      tabs.append(QTextOption::Tab(Pixels(f.Tabs[i] - f.StartIndent), QTextOption::LeftTab));
  return tabs;
}

QTextBlockFormat TRichEdit::ToQtBlockFormat(const TParaFormat &f) const {
  QTextBlockFormat q;
  if ((f.Mask & PFM_STARTINDENT) && (f.Mask & PFM_OFFSET)) {
    q.setProperty(PropStartIndent, f.StartIndent);
    q.setProperty(PropOffset, f.Offset);
    SetShownIndents(q, Pixels(f.StartIndent), Pixels(f.Offset));
  }
  if (f.Mask & PFM_RIGHTINDENT) {
    q.setProperty(PropRightIndent, f.RightIndent);
    q.setRightMargin(Pixels(f.RightIndent));
  }
  if (f.Mask & PFM_ALIGNMENT) {
    switch (f.Alignment) {
    case PFA_RIGHT: q.setAlignment(Qt::AlignRight); break;
    case PFA_CENTER: q.setAlignment(Qt::AlignHCenter); break;
    case PFA_JUSTIFY: q.setAlignment(Qt::AlignJustify); break;
    default: q.setAlignment(Qt::AlignLeft); break;
    }
  }
  if (f.Mask & PFM_TABSTOPS) {
    q.setTabPositions(ShownTabs(f));
    q.setProperty(PropTabs, TabsText(f));
  }
  if (f.Extended) {
    if (f.Mask & PFM_SPACEBEFORE) {
      q.setProperty(PropSpaceBefore, f.SpaceBefore);
      q.setTopMargin(Pixels(f.SpaceBefore));
    }
    if (f.Mask & PFM_SPACEAFTER) {
      q.setProperty(PropSpaceAfter, f.SpaceAfter);
      q.setBottomMargin(Pixels(f.SpaceAfter));
    }
    if (f.Mask & PFM_LINESPACING) {
      switch (f.LineSpacingRule) {
      case 1: q.setLineHeight(150, QTextBlockFormat::ProportionalHeight); break;
      case 2: q.setLineHeight(200, QTextBlockFormat::ProportionalHeight); break;
      case 3: q.setLineHeight(Pixels(f.LineSpacing), QTextBlockFormat::MinimumHeight); break;
      case 4: q.setLineHeight(Pixels(f.LineSpacing), QTextBlockFormat::FixedHeight); break;
      case 5:
        if (f.LineSpacing > 0) {
          q.setLineHeight(f.LineSpacing * 5, QTextBlockFormat::ProportionalHeight);
          break;
        }
        [[fallthrough]];
      default: q.setLineHeight(0, QTextBlockFormat::SingleHeight); break;
      }
    }
  }
  return q;
}

TParaFormat TRichEdit::FromQtBlockFormat(const QTextBlockFormat &q) const {
  TParaFormat f;
  f.Extended = true;
  f.Mask = AllParaMask;
  if (q.hasProperty(PropStartIndent) && q.hasProperty(PropOffset)) {
    f.StartIndent = q.intProperty(PropStartIndent);
    f.Offset = q.intProperty(PropOffset);
  } else {
    f.Offset = -Twips(q.textIndent());
    f.StartIndent = Twips(q.leftMargin()) - f.Offset;
  }
  f.RightIndent = q.hasProperty(PropRightIndent) ? q.intProperty(PropRightIndent) : Twips(q.rightMargin());
  f.SpaceBefore = q.hasProperty(PropSpaceBefore) ? q.intProperty(PropSpaceBefore) : Twips(q.topMargin());
  f.SpaceAfter = q.hasProperty(PropSpaceAfter) ? q.intProperty(PropSpaceAfter) : Twips(q.bottomMargin());
  Qt::Alignment a = q.alignment() & Qt::AlignHorizontal_Mask;
  if (a & Qt::AlignJustify)
    f.Alignment = PFA_JUSTIFY;
  else if (a & (Qt::AlignRight | Qt::AlignTrailing))
    f.Alignment = PFA_RIGHT;
  else if (a & Qt::AlignHCenter)
    f.Alignment = PFA_CENTER;
  else
    f.Alignment = PFA_LEFT;
  if (q.lineHeightType() == QTextBlockFormat::ProportionalHeight && q.lineHeight() > 0) {
    f.LineSpacingRule = 5;
    f.LineSpacing = int32_t(std::lround(q.lineHeight() / 5));
  } else if (q.lineHeightType() == QTextBlockFormat::MinimumHeight) {
    f.LineSpacingRule = 3;
    f.LineSpacing = Twips(q.lineHeight());
  } else if (q.lineHeightType() == QTextBlockFormat::FixedHeight) {
    f.LineSpacingRule = 4;
    f.LineSpacing = Twips(q.lineHeight());
  }
  if (q.hasProperty(PropTabs)) {
    const QStringList parts = q.stringProperty(PropTabs).split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const QString &p : parts)
      if (f.TabCount < MAX_TAB_STOPS)
        f.Tabs[f.TabCount++] = p.toInt();
  } else {
    for (const QTextOption::Tab &t : q.tabPositions())
      if (f.TabCount < MAX_TAB_STOPS)
        f.Tabs[f.TabCount++] = Twips(t.position) + f.StartIndent;
  }
  return f;
}

// ---------------------------------------------------------------- text and appends

void TRichEdit::PinCaret(bool pin) const {
  // The caret keeps its place while text is inserted at it, so that a large
  // insertion does not drag it (and the layout it needs) to the end.
  auto *self = const_cast<TRichEdit *>(this);
  QTextCursor c = textCursor();
  if (c.keepPositionOnInsert() == pin)
    return;
  int v = verticalScrollBar()->value(), h = horizontalScrollBar()->value();
  c.setKeepPositionOnInsert(pin);
  self->setTextCursor(c);
  verticalScrollBar()->setValue(v);
  horizontalScrollBar()->setValue(h);
}

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
      PinCaret(true);
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
    PinCaret(false);
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
  LineFirst.clear();
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

void TRichEdit::SetReadOnly(bool readOnly) {
  setReadOnly(readOnly);
  if (readOnly)
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard | Qt::LinksAccessibleByMouse);
  setCursorWidth(readOnly ? 0 : 1);
}

// ---------------------------------------------------------------- formats

void TRichEdit::ApplyCharFormat(int32_t qtStart, int32_t qtEnd, const TCharFormat &format) const {
  if (qtEnd <= qtStart)
    return;
  QTextCursor c(Doc());
  c.setPosition(qtStart);
  c.setPosition(qtEnd, QTextCursor::KeepAnchor);
  c.mergeCharFormat(ToQtCharFormat(format));
  if (format.Mask & (CFM_COLOR | CFM_UNDERLINE))
    MarkLinks(Doc()->findBlock(qtStart).blockNumber(), Doc()->findBlock(qtEnd).blockNumber());
}

void TRichEdit::ApplyParaFormat(int32_t qtStart, int32_t qtEnd, const TParaFormat &format) const {
  QTextDocument *doc = Doc();
  QTextBlockFormat q = ToQtBlockFormat(format);
  bool half = bool(format.Mask & PFM_STARTINDENT) != bool(format.Mask & PFM_OFFSET);
  QTextCursor c(doc);
  if (!half) {
    c.setPosition(qtStart);
    c.setPosition(std::max(qtStart, qtEnd), QTextCursor::KeepAnchor);
    c.mergeBlockFormat(q);
    return;
  }
  // Only one of start indent and offset: combine with each paragraph's other one.
  QTextBlock last = doc->findBlock(std::max(qtStart, qtEnd));
  for (QTextBlock b = doc->findBlock(qtStart); b.isValid(); b = b.next()) {
    TParaFormat cur = FromQtBlockFormat(b.blockFormat());
    TParaFormat f;
    f.Mask = PFM_STARTINDENT | PFM_OFFSET;
    f.StartIndent = (format.Mask & PFM_STARTINDENT) ? format.StartIndent : cur.StartIndent;
    f.Offset = (format.Mask & PFM_OFFSET) ? format.Offset : cur.Offset;
    QTextBlockFormat bq = q;
    bq.merge(ToQtBlockFormat(f));
    c.setPosition(b.position());
    c.mergeBlockFormat(bq);
    if (b == last)
      break;
  }
}

void TRichEdit::SetCharFormat(const TCharFormat &format, bool all) {
  if ((format.Mask & ~CFM_LINK) == 0)
    return;
  if (all) {
    Flush();
    TLayoutPause pause(Doc(), Doc()->characterCount() > 65536);
    TProgramEdit guard(Doc(), InProgramEdit);
    QTextCursor c(Doc());
    c.beginEditBlock();
    ApplyCharFormat(0, Doc()->characterCount() - 1, format);
    c.movePosition(QTextCursor::End);
    c.mergeBlockCharFormat(ToQtCharFormat(format));
    c.endEditBlock();
    AppendFormat.merge(ToQtCharFormat(format));
    guard.Modified = guard.Modified || Doc()->characterCount() > 1;
    return;
  }
  if (!PendingText.isEmpty()) {
    TPendingFormat p;
    if (PendingSelStart >= 0) {
      p.Start = PendingSelStart;
      p.Length = PendingSelLength;
    } else {
      GetSelection(p.Start, p.Length);
    }
    p.Char = format;
    PendingFormats.push_back(p);
    return;
  }
  QTextCursor c = textCursor();
  if (!c.hasSelection()) {
    mergeCurrentCharFormat(ToQtCharFormat(format));
    return;
  }
  TProgramEdit guard(Doc(), InProgramEdit);
  guard.Modified = true;
  ApplyCharFormat(c.selectionStart(), c.selectionEnd(), format);
}

void TRichEdit::SetParaFormat(const TParaFormat &format) {
  if (format.Mask == 0)
    return;
  if (!PendingText.isEmpty()) {
    TPendingFormat p;
    p.Para = true;
    if (PendingSelStart >= 0) {
      p.Start = PendingSelStart;
      p.Length = PendingSelLength;
    } else {
      GetSelection(p.Start, p.Length);
    }
    p.ParaFormat = format;
    PendingFormats.push_back(p);
    return;
  }
  QTextCursor c = textCursor();
  TLayoutPause pause(Doc(), c.selectionEnd() - c.selectionStart() > 65536);
  TProgramEdit guard(Doc(), InProgramEdit);
  guard.Modified = guard.Modified || Doc()->characterCount() > 1;
  c.beginEditBlock();
  ApplyParaFormat(c.selectionStart(), c.selectionEnd(), format);
  c.endEditBlock();
}

TCharFormat TRichEdit::GetCharFormat() const {
  Flush();
  QTextCursor c = textCursor();
  if (!c.hasSelection())
    return FromQtCharFormat(c.charFormat());
  QTextDocument *doc = Doc();
  int s = c.selectionStart(), e = c.selectionEnd();
  TCharFormat result;
  bool first = true;
  std::unordered_map<int, bool> seen;
  for (QTextBlock b = doc->findBlock(s); b.isValid() && b.position() < e; b = b.next()) {
    for (auto it = b.begin(); !it.atEnd(); ++it) {
      QTextFragment fr = it.fragment();
      if (fr.position() + fr.length() <= s || fr.position() >= e)
        continue;
      if (seen.count(fr.charFormatIndex()))
        continue;
      seen[fr.charFormatIndex()] = true;
      TCharFormat f = FromQtCharFormat(fr.charFormat());
      if (first) {
        result = f;
        first = false;
        continue;
      }
      if (f.FaceName != result.FaceName) result.Mask &= ~CFM_FACE;
      if (f.HeightTwips != result.HeightTwips) result.Mask &= ~CFM_SIZE;
      if (f.TextColor != result.TextColor) result.Mask &= ~CFM_COLOR;
      if (f.BackColor != result.BackColor) result.Mask &= ~CFM_BACKCOLOR;
      if (f.SpacingTwips != result.SpacingTwips) result.Mask &= ~CFM_SPACING;
      uint32_t diff = f.Effects ^ result.Effects;
      if (diff & CFE_BOLD) result.Mask &= ~CFM_BOLD;
      if (diff & CFE_ITALIC) result.Mask &= ~CFM_ITALIC;
      if (diff & CFE_UNDERLINE) result.Mask &= ~CFM_UNDERLINE;
      if (diff & CFE_STRIKEOUT) result.Mask &= ~CFM_STRIKEOUT;
      if (diff & CFE_LINK) result.Mask &= ~CFM_LINK;
    }
  }
  return first ? FromQtCharFormat(c.charFormat()) : result;
}

TParaFormat TRichEdit::GetParaFormat() const {
  Flush();
  return FromQtBlockFormat(Doc()->findBlock(textCursor().selectionStart()).blockFormat());
}

void TRichEdit::ApplyMargins() {
  TProgramEdit guard(Doc(), InProgramEdit);
  QTextFrameFormat ff = Doc()->rootFrame()->frameFormat();
  ff.setLeftMargin(MarginLeft);
  ff.setRightMargin(MarginRight);
  Doc()->rootFrame()->setFrameFormat(ff);
  LineFirst.clear();
}

void TRichEdit::SetMargins(int left, int right) {
  MarginLeft = std::max(0, left);
  MarginRight = std::max(0, right);
  ApplyMargins();
}

void TRichEdit::SetZoom(int numerator, int denominator) {
  double factor = (numerator > 0 && denominator > 0) ? double(numerator) / denominator : 1.0;
  factor = std::clamp(factor, 1.0 / 64, 64.0);
  if (factor == ZoomFactor)
    return;
  Flush();
  int32_t top = LineStart(TopLine());
  ZoomFactor = factor;
  ApplyZoomToDocument();
  GoToCharPos(top);
}

void TRichEdit::ApplyZoomToDocument() {
  QTextDocument *doc = Doc();
  TLayoutPause pause(doc);
  TProgramEdit guard(doc, InProgramEdit);
  QFont font = doc->defaultFont();
  font.setPointSizeF(DefaultPoints * ZoomFactor);
  doc->setDefaultFont(font);
  QTextCursor c(doc);
  c.beginEditBlock();
  for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
    QTextBlockFormat bf = b.blockFormat();
    TParaFormat p = FromQtBlockFormat(bf);
    QTextBlockFormat shown;
    SetShownIndents(shown, Pixels(p.StartIndent), Pixels(p.Offset));
    shown.setRightMargin(Pixels(p.RightIndent));
    shown.setTopMargin(Pixels(p.SpaceBefore));
    shown.setBottomMargin(Pixels(p.SpaceAfter));
    if (p.TabCount > 0)
      shown.setTabPositions(ShownTabs(p));
    // Keep the true values where only pixels were known.
    shown.setProperty(PropStartIndent, p.StartIndent);
    shown.setProperty(PropOffset, p.Offset);
    shown.setProperty(PropRightIndent, p.RightIndent);
    shown.setProperty(PropSpaceBefore, p.SpaceBefore);
    shown.setProperty(PropSpaceAfter, p.SpaceAfter);
    c.setPosition(b.position());
    c.mergeBlockFormat(shown);
    for (auto it = b.begin(); !it.atEnd(); ++it) {
      QTextFragment fr = it.fragment();
      QTextCharFormat f = fr.charFormat();
      if (!f.hasProperty(PropSizeTwips) && !f.hasProperty(PropSpacingTwips))
        continue;
      QTextCharFormat z;
      if (f.hasProperty(PropSizeTwips))
        z.setFontPointSize(f.intProperty(PropSizeTwips) / 20.0 * ZoomFactor);
      if (f.hasProperty(PropSpacingTwips))
        z.setFontLetterSpacing(Pixels(f.intProperty(PropSpacingTwips)));
      c.setPosition(fr.position());
      c.setPosition(fr.position() + fr.length(), QTextCursor::KeepAnchor);
      c.mergeCharFormat(z);
    }
  }
  c.endEditBlock();
  if (AppendFormat.hasProperty(PropSizeTwips))
    AppendFormat.setFontPointSize(AppendFormat.intProperty(PropSizeTwips) / 20.0 * ZoomFactor);
  if (AppendFormat.hasProperty(PropSpacingTwips))
    AppendFormat.setFontLetterSpacing(Pixels(AppendFormat.intProperty(PropSpacingTwips)));
  LineFirst.clear();
}

void TRichEdit::Print(QPagedPaintDevice *device) const {
  std::unique_ptr<QTextDocument> copy(PrintCopy());
  copy->print(device);
}

QTextDocument *TRichEdit::PrintCopy() const {
  Flush();
  // A copy at zoom 1: what is printed does not depend on the zoom.
  QTextDocument *copy = QTextEdit::document()->clone();
  if (ZoomFactor == 1.0)
    return copy;
  double zoom = ZoomFactor;
  QTextCharFormat append = AppendFormat;
  BuildDoc = copy;
  ZoomFactor = 1.0;
  const_cast<TRichEdit *>(this)->ApplyZoomToDocument();
  BuildDoc = nullptr;
  ZoomFactor = zoom;
  AppendFormat = append;
  return copy;
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
  LineFirst.clear();
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

void TRichEdit::mousePressEvent(QMouseEvent *event) {
  if (event->button() == Qt::LeftButton) {
    Flush();
    QPoint pos = event->position().toPoint();
    QString href = anchorAt(pos);
    if (!href.isEmpty()) {
      int p = cursorForPosition(pos).position();
      QTextBlock b = Doc()->findBlock(p);
      // The run of link fragments (a link may hold several formats) under the press.
      int start = -1, end = -1;
      bool hit = false;
      for (auto it = b.begin(); !it.atEnd(); ++it) {
        QTextFragment fr = it.fragment();
        bool isLink = fr.charFormat().isAnchor() && fr.charFormat().anchorHref() == href;
        int fs = fr.position(), fe = fr.position() + fr.length();
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
      if (!hit)
        start = -1;
      if (start >= 0) {
        int32_t rs = QtToRich(start);
        int32_t rl = QtToRich(end) - rs;
        QTextCursor c(Doc());
        c.setPosition(start);
        c.setPosition(end, QTextCursor::KeepAnchor);
        emit LinkPressed(rs, rl, c.selectedText());
      }
    }
  }
  QTextEdit::mousePressEvent(event);
}

// ---------------------------------------------------------------- lines

void TRichEdit::resizeEvent(QResizeEvent *event) {
  QTextEdit::resizeEvent(event);
  LineFirst.clear();
}

void TRichEdit::paintEvent(QPaintEvent *event) {
  // A failure while painting the background is swallowed: the text is still painted.
  try {
    if (BackgroundShown && PaintBackground && BackgroundShown()) {
      QPainter painter(viewport());
      PaintBackground(painter, event->rect());
    }
  } catch (...) {
  }
  QTextEdit::paintEvent(event);
}

void TRichEdit::scrollContentsBy(int dx, int dy) {
  QTextEdit::scrollContentsBy(dx, dy);
  // The text moves over a picture that stays put: no moved pixels can be reused.
  if (BackgroundShown && BackgroundShown())
    viewport()->update();
}

bool TRichEdit::BuildLines() {
  Flush();
  if (!LineFirst.empty())
    return true;
  QTextDocument *doc = Doc();
  // Finish the layout, and tell the scroll bars now rather than from a timer.
  QAbstractTextDocumentLayout *layout = doc->documentLayout();
  emit layout->documentSizeChanged(layout->documentSize());
  std::vector<int32_t> first;
  first.reserve(size_t(doc->blockCount()) + 1);
  int32_t total = 0;
  for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
    first.push_back(total);
    QTextLayout *layout = b.layout();
    total += layout ? layout->lineCount() : 0;
  }
  first.push_back(total);
  LineFirst.swap(first);
  return true;
}

int32_t TRichEdit::LineCount() {
  BuildLines();
  return LineFirst.back();
}

// The block holding a display line, and the line's index inside it.
static void LocateLine(const std::vector<int32_t> &firsts, int32_t line, int &block, int &index) {
  auto it = std::upper_bound(firsts.begin(), firsts.end() - 1, line);
  block = int(it - firsts.begin()) - 1;
  // Skip blocks without lines (hidden).
  while (block + 1 < int(firsts.size()) - 1 && firsts[size_t(block) + 1] == firsts[size_t(block)] &&
         firsts[size_t(block)] <= line)
    ++block;
  index = line - firsts[size_t(block)];
}

int32_t TRichEdit::LineStart(int32_t line) {
  int32_t count = LineCount();
  if (count <= 0)
    return 0;
  line = std::clamp(line, 0, count - 1);
  int block, index;
  LocateLine(LineFirst, line, block, index);
  QTextBlock b = Doc()->findBlockByNumber(block);
  QTextLayout *layout = b.layout();
  int offset = (layout && index < layout->lineCount()) ? layout->lineAt(index).textStart() : 0;
  return QtToRich(b.position() + offset);
}

int32_t TRichEdit::LineOfChar(int32_t position) {
  BuildLines();
  int32_t qt = RichToQt(std::max(position, 0));
  QTextBlock b = Doc()->findBlock(qt);
  QTextLayout *layout = b.layout();
  int32_t base = LineFirst[size_t(b.blockNumber())];
  if (!layout || layout->lineCount() == 0)
    return base;
  QTextLine l = layout->lineForTextPosition(qt - b.position());
  return base + (l.isValid() ? l.lineNumber() : layout->lineCount() - 1);
}

double TRichEdit::LineTopY(int32_t line) {
  int32_t count = LineCount();
  if (count <= 0)
    return 0;
  line = std::clamp(line, 0, count - 1);
  int block, index;
  LocateLine(LineFirst, line, block, index);
  QTextLayout *layout = Doc()->findBlockByNumber(block).layout();
  if (!layout || index >= layout->lineCount())
    return 0;
  return layout->position().y() + layout->lineAt(index).y();
}

int32_t TRichEdit::TopLine() {
  int32_t count = LineCount();
  if (count <= 0)
    return 0;
  QTextDocument *doc = Doc();
  double y0 = verticalScrollBar()->value();
  int lo = 0, hi = doc->blockCount() - 1;
  while (lo < hi) {  // the last block that starts at or above y0
    int mid = lo + (hi - lo + 1) / 2;
    QTextLayout *l = doc->findBlockByNumber(mid).layout();
    if (l && l->position().y() <= y0)
      lo = mid;
    else
      hi = mid - 1;
  }
  for (int n = lo; n < doc->blockCount(); ++n) {
    QTextLayout *layout = doc->findBlockByNumber(n).layout();
    if (!layout)
      continue;
    for (int k = 0; k < layout->lineCount(); ++k) {
      QTextLine l = layout->lineAt(k);
      if (layout->position().y() + l.y() + l.height() > y0 + 0.5)
        return LineFirst[size_t(n)] + k;
    }
  }
  return count - 1;
}

void TRichEdit::ScrollLines(int32_t lines) {
  if (lines == 0)
    return;
  int32_t count = LineCount();
  if (count <= 0)
    return;
  int32_t target = int32_t(std::clamp<int64_t>(int64_t(TopLine()) + lines, 0, count - 1));
  verticalScrollBar()->setValue(int(std::ceil(LineTopY(target) - 0.01)));
}

void TRichEdit::SetCaretKeepingView(int32_t qtPosition) {
  int v = verticalScrollBar()->value(), h = horizontalScrollBar()->value();
  QTextCursor c(Doc());
  c.setPosition(qtPosition);
  setTextCursor(c);
  verticalScrollBar()->setValue(v);
  horizontalScrollBar()->setValue(h);
}

void TRichEdit::GotoLine(int32_t line) {
  BuildLines();
  verticalScrollBar()->setValue(0);
  ScrollLines(std::max(line, 0));
  SetCaretKeepingView(RichToQt(LineStart(line)));
}

void TRichEdit::ScrollToEnd() {
  BuildLines();
  verticalScrollBar()->setValue(verticalScrollBar()->maximum());
  EnsureCaretVisible(1);
}

void TRichEdit::EnsureCaretVisible(int32_t k) {
  BuildLines();
  QRect r = cursorRect();
  QRect client = viewport()->rect();
  if (r.x() >= 0 && r.x() < client.width() && r.y() >= 0 && r.y() < client.height())
    return;
  int32_t line = std::min(TopLine() + k, std::max(LineCount() - 1, 0));
  SetCaretKeepingView(RichToQt(LineStart(line)));
}

void TRichEdit::GoToCharPos(int32_t position) {
  if (position < 0)
    return;
  Flush();
  // Lays out only what is needed: up to the line of the position and a page
  // below it (or the few lines that tell it is near the end), not the whole
  // book, which takes seconds for a large one.
  QTextDocument *doc = Doc();
  QAbstractTextDocumentLayout *layout = doc->documentLayout();
  int32_t qt = RichToQt(position);
  QTextBlock b = doc->findBlock(qt);
  QTextLine line;
  double y = 0;
  int below = 0;
  // A second pass when telling the scroll bars the new height showed one and
  // so narrowed the text (which is then laid out anew).
  for (int pass = 0; pass < 2; ++pass) {
    int width = viewport()->width();
    double bottom = layout->blockBoundingRect(b).bottom();
    QTextLayout *text = b.layout();
    if (!text || text->lineCount() == 0) {  // a hidden paragraph: count the lines
      int32_t n = position == 0 ? 0 : LineOfChar(position);
      if (n > LineCount() - 5)
        ScrollToEnd();
      else
        GotoLine(n);
      return;
    }
    line = text->lineForTextPosition(qt - b.position());
    if (!line.isValid())
      line = text->lineAt(text->lineCount() - 1);
    y = text->position().y() + line.y();
    below = text->lineCount() - 1 - line.lineNumber();
    double needed = y + viewport()->height();
    for (QTextBlock n = b.next(); n.isValid() && (below < 4 || bottom < needed); n = n.next()) {
      bottom = layout->blockBoundingRect(n).bottom();
      if (n.layout())
        below += n.layout()->lineCount();
    }
    if (below < 4)
      break;
    // The scroll bars learn the height laid out so far now rather than from a timer.
    emit layout->documentSizeChanged(QSizeF(doc->textWidth(), bottom));
    if (viewport()->width() == width)
      break;
  }
  if (below < 4) {  // among the last lines: the end is shown
    ScrollToEnd();
    return;
  }
  verticalScrollBar()->setValue(int(std::ceil(y - 0.01)));
  SetCaretKeepingView(b.position() + line.textStart());
}

int32_t TRichEdit::CharFromPoint(const QPoint &viewportPoint) {
  Flush();
  return QtToRich(cursorForPosition(viewportPoint).position());
}

bool TRichEdit::FindText(const QString &text) {
  Flush();
  if (text.isEmpty())
    return false;
  QTextCursor found = Doc()->find(text, textCursor().selectionEnd());
  if (found.isNull())
    return false;
  setTextCursor(found);
  ensureCursorVisible();
  return true;
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
    verticalScrollBar()->setValue(0);
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
    verticalScrollBar()->setValue(0);
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
