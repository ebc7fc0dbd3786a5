// The reading box's formats (see RTF.h): the conversion between the rich-edit
// structures and the toolkit's formats, whole-text and selection formats,
// margins, zoom and the printed copy.
#include <QPagedPaintDevice>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <algorithm>
#include <cmath>
#include <memory>
#include <unordered_map>

#include "RTF.h"
#include "RichDocument.h"

using namespace RichDocument;

// ---------------------------------------------------------------- units

double TRichEdit::Dpi() const {
  int dpi = logicalDpiY();
  return dpi > 0 ? dpi : 96;
}

double TRichEdit::Pixels(int32_t twips) const { return twips * Dpi() / 1440.0 * DocZoom; }

int32_t TRichEdit::Twips(double pixels) const { return int32_t(std::lround(pixels * 1440.0 / Dpi() / DocZoom)); }

QTextCharFormat TRichEdit::ToQtCharFormat(const TCharFormat &f) const {
  QTextCharFormat q;
  if (f.Mask & CFM_FACE) {
    const QString face = QString::fromStdString(f.FaceName);
    q.setFontFamilies(QStringList{face});
    q.setProperty(PropFaceKey, face);
  }
  if ((f.Mask & CFM_SIZE) && f.HeightTwips > 0) {
    q.setProperty(PropSizeTwips, f.HeightTwips);
    q.setFontPointSize(f.HeightTwips / 20.0 * DocZoom);
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
    f.HeightTwips = int32_t(std::lround(q.fontPointSize() * 20 / DocZoom));
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
  const int firstBlock = doc->findBlock(qtStart).blockNumber();
  if (RichMerged::SplitAround(doc, qtStart, std::max(qtStart, qtEnd)))  // the range's paragraphs as blocks of their own
    Merged.ChangedFrom(firstBlock);
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
  FinishDeferred();
  if (all && Editor && !BuildDoc && Doc()->characterCount() > 65536) {
    WithoutEditingView([&] { SetCharFormat(format, true); });
    return;
  }
  if (all) {
    Flush();
    TLayoutPause pause(Doc(), Doc()->characterCount() > 65536);
    TProgramEdit guard(Doc(), InProgramEdit);
    QTextCursor c(Doc());
    c.beginEditBlock();
    ApplyFormatAroundScreen(0, Doc()->characterCount() - 1, false, format, TParaFormat());
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
    c.mergeCharFormat(ToQtCharFormat(format));
    setTextCursor(c);
    return;
  }
  TProgramEdit guard(Doc(), InProgramEdit);
  guard.Modified = true;
  ApplyCharFormat(c.selectionStart(), c.selectionEnd(), format);
}

void TRichEdit::SetParaFormat(const TParaFormat &format) {
  if (format.Mask == 0)
    return;
  FinishDeferred();
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
  if (Editor && !BuildDoc && c.selectionEnd() - c.selectionStart() > 65536) {
    WithoutEditingView([&] { SetParaFormat(format); });
    return;
  }
  TLayoutPause pause(Doc(), c.selectionEnd() - c.selectionStart() > 65536);
  TProgramEdit guard(Doc(), InProgramEdit);
  guard.Modified = guard.Modified || Doc()->characterCount() > 1;
  c.beginEditBlock();
  ApplyFormatAroundScreen(c.selectionStart(), c.selectionEnd(), true, TCharFormat(), format);
  c.endEditBlock();
}

TCharFormat TRichEdit::GetCharFormat() const {
  Flush();
  FinishDeferred();
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
  FinishDeferred();
  return FromQtBlockFormat(Doc()->findBlock(textCursor().selectionStart()).blockFormat());
}

void TRichEdit::ApplyMargins() {
  TProgramEdit guard(Doc(), InProgramEdit);
  // The toolkit's layout (editing) puts the text where the reading view does:
  // the document margin inside the box's margins.
  QTextFrameFormat ff = Doc()->rootFrame()->frameFormat();
  ff.setLeftMargin(MarginLeft + Doc()->documentMargin());
  ff.setRightMargin(MarginRight + Doc()->documentMargin());
  Doc()->rootFrame()->setFrameFormat(ff);
  UpdateLayoutWidth();
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
  const int32_t top = TopPosition();
  WithoutEditingView([&] {
    ZoomFactor = factor;
    UpdateLayoutWidth();
  });
  GoToCharPos(top);
}

std::u16string TRichEdit::TextHead(size_t chars) const {
  std::u16string head;
  for (QTextBlock b = Doc()->begin(); b.isValid() && head.size() < chars; b = b.next()) {
    const QString text = b.text();
    head.append(reinterpret_cast<const char16_t *>(text.constData()),
                std::min(size_t(text.size()), chars - head.size()));
    head.push_back(u'\n');
  }
  head.resize(std::min(head.size(), chars));
  return head;
}

void TRichEdit::SetHyphenator(const THyphenator *hyphenator) {
  if (hyphenator == Layout.Hyphenator())
    return;
  Flush();
  const int32_t top = TopPosition();
  Layout.SetHyphenator(hyphenator);
  InvalidateView(false);
  GoToCharPos(top);
}

void TRichEdit::ApplyZoomToDocument() {
  FinishDeferred();
  QTextDocument *doc = Doc();
  TLayoutPause pause(doc);
  TProgramEdit guard(doc, InProgramEdit);
  QFont font = doc->defaultFont();
  font.setPointSizeF(DefaultPoints * DocZoom);
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
        z.setFontPointSize(f.intProperty(PropSizeTwips) / 20.0 * DocZoom);
      if (f.hasProperty(PropSpacingTwips))
        z.setFontLetterSpacing(Pixels(f.intProperty(PropSpacingTwips)));
      c.setPosition(fr.position());
      c.setPosition(fr.position() + fr.length(), QTextCursor::KeepAnchor);
      c.mergeCharFormat(z);
    }
  }
  c.endEditBlock();
  if (AppendFormat.hasProperty(PropSizeTwips))
    AppendFormat.setFontPointSize(AppendFormat.intProperty(PropSizeTwips) / 20.0 * DocZoom);
  if (AppendFormat.hasProperty(PropSpacingTwips))
    AppendFormat.setFontLetterSpacing(Pixels(AppendFormat.intProperty(PropSpacingTwips)));
  InvalidateView(false);
}

void TRichEdit::Print(QPagedPaintDevice *device) const {
  std::unique_ptr<QTextDocument> copy(PrintCopy());
  copy->print(device);
}

QTextDocument *TRichEdit::PrintCopy() const {
  Flush();
  FinishDeferred();
  // A copy at zoom 1: what is printed does not depend on the zoom.
  QTextDocument *copy = Document->clone();
  if (DocZoom == 1.0)
    return copy;
  const double zoom = DocZoom;
  QTextCharFormat append = AppendFormat;
  BuildDoc = copy;
  DocZoom = 1.0;
  const_cast<TRichEdit *>(this)->ApplyZoomToDocument();
  BuildDoc = nullptr;
  DocZoom = zoom;
  AppendFormat = append;
  return copy;
}

