// What the reading box's units share about its document: the true values
// kept as user properties beside the shown ones, colour conversions, and the
// guards of the program's own rewrites of the document.
#pragma once

#include <QColor>
#include <QSizeF>
#include <QString>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFormat>
#include <cstdint>
#include <string>

#include "TextFormat.h"

namespace RichDocument {

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

// A cursor with its anchor and position placed. Placing a cursor makes the
// toolkit itemize the whole paragraph it lands in for the document's own
// layout (0.4 s for a paragraph of 20 million characters, again after each
// change of it); one made at a paragraph's start is placed without that.
inline QTextCursor CursorAt(QTextDocument *doc, int anchor, int position) {
  QTextCursor c(doc->findBlock(anchor));
  if (c.isNull())
    c = QTextCursor(doc);
  if (c.position() != anchor)
    c.setPosition(anchor);
  if (position != anchor)
    c.setPosition(position, QTextCursor::KeepAnchor);
  return c;
}

inline QColor ToQColor(uint32_t c) { return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF)); }
inline uint32_t FromQColor(const QColor &c) { return uint32_t(c.red()) | (uint32_t(c.green()) << 8) | (uint32_t(c.blue()) << 16); }

inline QString ToQString(const std::u16string &s) { return QString::fromUtf16(s.data(), qsizetype(s.size())); }

// U+2029 and the frame marks U+FDD0 and U+FDD1 would start blocks of their
// own inside the document, so every later position of the book would move;
// book text shows them (and U+2028 with lineBreaks) as a blank.
inline void BlankDocumentBreaks(QString &s, bool lineBreaks, qsizetype from = 0) {
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
inline void NormaliseBreaks(QString &s) {
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

}  // namespace RichDocument
