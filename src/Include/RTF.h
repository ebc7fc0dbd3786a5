// The reading box: a rich-text box over a QTextDocument with the operations the
// book display needs, in the rich-edit units of TextFormat.h.
//
// Positions ("rich positions") count each paragraph end as two characters
// (CR LF) and other characters as UTF-16 code units. The document always ends
// with a paragraph that has no end: AppendParagraph("A"), AppendParagraph("B")
// give the text "A\r\nB\r\n".
//
// Formats: the true values (twips, points × 20, colours) are kept in the
// document as user properties; what is shown is derived from them with the
// zoom and the screen's logical DPI (pixels = twips × DPI ÷ 1440). Formats read
// back, saved and printed are the true ones, whatever the zoom.
//
// Appends are buffered: AppendParagraph and format calls on the appended text
// are collected and put into the document in one edit when anything reads it.
//
// Appended text takes the character format last set on all text, and the
// paragraph format of the (empty) last paragraph. A large append into the empty
// box, and every load, build a new document that is laid out lazily when shown;
// the line operations force the layout to finish.
//
// Margins (SetMargins) are the root frame's left and right margins, in pixels,
// not zoomed. Tab stops count from the paragraph's left edge.
//
// Web and mail addresses are marked as links (underline and the palette's link
// colour shown; the true format is kept and read back with CFE_LINK); a left
// press on one emits LinkPressed.
#pragma once

#include <QPagedPaintDevice>
#include <QPoint>
#include <QString>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextEdit>
#include <QTextOption>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "TextFormat.h"

class TRichEdit : public QTextEdit, public IRichBox {
  Q_OBJECT
public:
  explicit TRichEdit(QWidget *parent = nullptr);
  ~TRichEdit() override;

  // ---- IRichBox ----
  void AppendParagraph(const std::u16string &text) override;
  void SetSelection(int32_t start, int32_t length) override;  // length < 0 or too long: to the end
  void SetCharFormat(const TCharFormat &format, bool all) override;
  void SetParaFormat(const TParaFormat &format) override;
  std::u16string Text() const override;  // paragraph ends as CR LF
  void Clear() override;
  void SetModified(bool modified) override;

  // ---- text and selection ----
  bool Modified() const;
  int32_t TextLength() const;  // in rich positions
  std::u16string TextRange(int32_t start, int32_t length) const;
  void GetSelection(int32_t &start, int32_t &length) const;
  std::u16string SelectedText() const;
  // Read-only: no caret is shown. Editable: the caret is shown.
  void SetReadOnly(bool readOnly);
  bool ReadOnly() const { return isReadOnly(); }

  // Position conversion (both ways in O(log blocks)).
  int32_t RichToQt(int32_t rich) const;
  int32_t QtToRich(int32_t qt) const;

  // ---- formats ----
  // The format of the selection: fields that differ across it are left out of Mask.
  TCharFormat GetCharFormat() const;
  // The format of the paragraph that holds the selection start.
  TParaFormat GetParaFormat() const;
  // Pixels between the box's edges and the text.
  void SetMargins(int left, int right);
  int LeftMargin() const { return MarginLeft; }
  int RightMargin() const { return MarginRight; }
  // Display zoom numerator / denominator (0/0 or equal: none). Keeps the top line.
  void SetZoom(int numerator, int denominator);
  double Zoom() const { return ZoomFactor; }

  // ---- display lines ----
  int32_t LineCount();
  int32_t TopLine();
  int32_t LineStart(int32_t line);
  int32_t LineOfChar(int32_t position);
  void ScrollLines(int32_t lines);
  void GotoLine(int32_t line);
  void ScrollToEnd();
  void EnsureCaretVisible(int32_t k);
  void GoToCharPos(int32_t position);
  // Rich position of the character under a point of the viewport.
  int32_t CharFromPoint(const QPoint &viewportPoint);
  // Forward from the end of the selection, not case-sensitive, no wrap. Found:
  // selects the match and scrolls it into view.
  bool FindText(const QString &text);

  // ---- streaming (files in UTF-8 names) ----
  // Plain text: UTF-8 (with or without mark) or else code page 1252; one paragraph a line.
  bool LoadText(const QString &path);
  // Plain text in UTF-8, one line per paragraph ("\n" ends).
  bool SaveText(const QString &path);
  // Both raise "Failed to load RTF." / "Failed to save RTF." with the path through the status context.
  bool LoadRtf(const QString &path);
  bool SaveRtf(const QString &path);

  // Converts between the rich-edit structures and toolkit formats (true values
  // kept as properties, shown values zoomed).
  QTextCharFormat ToQtCharFormat(const TCharFormat &format) const;
  QTextBlockFormat ToQtBlockFormat(const TParaFormat &format) const;
  TCharFormat FromQtCharFormat(const QTextCharFormat &format) const;
  TParaFormat FromQtBlockFormat(const QTextBlockFormat &format) const;

  // Prints the text with its true formats (whatever the zoom).
  void Print(QPagedPaintDevice *device) const;
  // A copy of the document with its true formats at zoom 1, for printing; the
  // caller owns it.
  QTextDocument *PrintCopy() const;

  // Puts buffered appends into the document (done by every reading operation).
  void Flush() const;

  // A background picture under the text: when BackgroundShown answers true,
  // PaintBackground paints the given viewport area before the text, and
  // scrolling repaints the whole viewport (the picture stays put).
  std::function<bool()> BackgroundShown;
  std::function<void(QPainter &painter, const QRect &area)> PaintBackground;

signals:
  // A left press on a link: its range in rich positions and its text.
  void LinkPressed(int32_t start, int32_t length, const QString &text);

protected:
  void mousePressEvent(QMouseEvent *event) override;
  void resizeEvent(QResizeEvent *event) override;
  void paintEvent(QPaintEvent *event) override;
  void scrollContentsBy(int dx, int dy) override;

private:
  struct TPendingFormat {
    bool Para = false;
    int32_t Start = 0, Length = 0;
    TCharFormat Char;
    TParaFormat ParaFormat;
  };
  mutable QString PendingText;              // paragraphs, each followed by U+2029
  mutable std::vector<TPendingFormat> PendingFormats;
  mutable int32_t PendingSelStart = -1, PendingSelLength = 0;  // a selection inside pending text
  mutable bool InProgramEdit = false;
  int RelinkFirst = -1, RelinkLast = -1;    // paragraphs edited by the reader, links to mark again
  mutable QTextCharFormat AppendFormat;             // the format of appended text (set by SetCharFormat on all)
  int MarginLeft = 0, MarginRight = 0;
  mutable double ZoomFactor = 1.0;
  double DefaultPoints = 12;                // the document's default font size, unzoomed
  mutable std::vector<int32_t> LineFirst;   // first display line of each block; empty: stale
  double Dpi() const;
  QList<QTextOption::Tab> ShownTabs(const TParaFormat &format) const;
  double Pixels(int32_t twips) const;       // zoomed
  int32_t Twips(double pixels) const;       // unzoomed
  void ApplyCharFormat(int32_t qtStart, int32_t qtEnd, const TCharFormat &format) const;
  void ApplyParaFormat(int32_t qtStart, int32_t qtEnd, const TParaFormat &format) const;
  void MarkLinks(int firstBlock, int lastBlock) const;
  void ApplyZoomToDocument();
  void ApplyMargins();
  bool BuildLines();
  double LineTopY(int32_t line);
  void SetCaretKeepingView(int32_t qtPosition);
  void PinCaret(bool pin) const;
  mutable QTextDocument *BuildDoc = nullptr;  // a document being built, not yet shown
  QTextDocument *Doc() const { return BuildDoc ? BuildDoc : QTextEdit::document(); }
  QTextDocument *BeginNewDocument(bool keepFormats) const;
  void InstallDocument(bool modified) const;
  void ConnectDocument();
  void OnContentsChange(int position, int removed, int added);

  // ---- long loads kept alive ----
public:
  // Called between slices of a long load into the box (the text put into the
  // document, links marked, rich text read) with the rich position reached;
  // false abandons the load: the box is left empty and LoadAbandoned answers
  // true until the next load. Set by the loader for the time of a load only.
  std::function<bool(int32_t position)> KeepAlive;
  bool LoadAbandoned() const { return Abandoned; }

private:
  mutable bool Abandoned = false;
  mutable int64_t KeptAliveAt = 0;  // steady clock, ms: when KeepAlive last ran
  // KeepAlive, at most every SliceMilliseconds; false once the load is abandoned.
  bool Breathe(int32_t position) const;
  void AbandonBuild() const;
  // Inserts text at the cursor in slices, breathing between them; false when abandoned.
  bool InsertSliced(QTextCursor &cursor, const QString &text, const QTextCharFormat &format) const;

  // ---- a box whose text alone is read ----
public:
  // For a box never shown whose text alone is wanted (the converter writing
  // plain text): no document is built and formats are dropped. Only the text
  // operations work then: appends, Flush, Clear, Text, TextLength, SaveText,
  // LoadText and LoadRtf (LoadAbandoned and KeepAlive as usual).
  void SetTextOnly(bool on);
  bool TextOnly() const { return PlainOnly; }

private:
  bool PlainOnly = false;
  // The text of a text-only box as a document would hold it: each paragraph
  // but the last ended by U+2029.
  mutable QString PlainText;
};
