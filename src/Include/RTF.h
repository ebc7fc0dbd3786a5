// The reading box: a view over a QTextDocument with the operations the book
// display needs, in the rich-edit units of TextFormat.h.
//
// Its units: RTF.cpp (the document, text, appends and links), RichFormats.cpp
// (formats, margins, zoom, printing copy), RichStream.cpp (plain text and RTF
// files), RichView.cpp (the view: lines on the screen, painting, scrolling,
// mouse and keys), RichLayout (paragraph layout on demand and its cache),
// RichLines and RichLineNumbers.cpp (the background line count and the mapping
// of positions and lines), RichEditing.cpp and RichEditView.h (the editing view).
//
// The work of the box follows the screen, not the book: the document is never
// laid out as a whole. The view (RichView.cpp) lays out only the paragraphs on
// and near the screen, one QTextLayout per paragraph or part of a long
// paragraph (RichLayout.h), at zoom 1, and scales the painter by the zoom; it
// scrolls by display lines, keeping the position of the top line's start
// rather than a height in pixels, so no height depends on the whole book and
// no font, size, zoom or spacing reaches a toolkit limit. The vertical scroll
// bar counts characters up to the last top position. Display-line numbers come
// from a count that runs in slices in the background (RichLines.h). The chosen
// way (a view of our own rather than QTextEdit) is what keeps a 20 MB book, or
// a paragraph of several megabytes, as cheap to show as a short one.
//
// Editing ("Allow editing", SetReadOnly(false)) switches to an editing view: a
// QTextEdit over the same document, with the toolkit's own layout of the whole
// document and the zoom written into the document's shown formats; leaving it
// switches back. That switch costs a pass over the document and the toolkit's
// layout of the whole book while editing.
//
// Positions ("rich positions") count each paragraph end as two characters
// (CR LF) and other characters as UTF-16 code units. The document always ends
// with a paragraph that has no end: AppendParagraph("A"), AppendParagraph("B")
// give the text "A\r\nB\r\n".
//
// Formats: the true values (twips, points × 20, colours) are kept in the
// document as user properties; the shown values are derived from them with the
// document's zoom (1 while reading, the box's zoom while editing) and the
// screen's logical DPI (pixels = twips × DPI ÷ 1440). Formats read back, saved
// and printed are the true ones, whatever the zoom.
//
// Appends are buffered: AppendParagraph and format calls on the appended text
// are collected and put into the document in one edit when anything reads it.
// Appended text takes the character format last set on all text, and the
// paragraph format of the (empty) last paragraph. A large append into the empty
// box, and every load, build a new document that is shown when complete.
//
// Margins (SetMargins) are pixels between the box's edges and the text, not
// zoomed. Tab stops count from the paragraph's left edge.
//
// Web and mail addresses are marked as links (underline and the palette's link
// colour shown; the true format is kept and read back with CFE_LINK); a left
// press on one emits LinkPressed.
#pragma once

#include <QPagedPaintDevice>
#include <QPoint>
#include <QString>
#include <QTextCharFormat>
#include <QAbstractScrollArea>
#include <QTextCursor>
#include <QTextEdit>
#include <QTimer>
#include <memory>
#include <QTextOption>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "RichLayout.h"
#include "RichLines.h"
#include "RichMerged.h"
#include "TextFormat.h"

class TEditView;

class TRichEdit : public QAbstractScrollArea, public IRichBox {
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
  bool ReadOnly() const { return ReadOnlyMode; }
  bool isReadOnly() const { return ReadOnlyMode; }

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
  // The colour of marked links (the palette's link colour); the links shown
  // take it at once.
  void SetLinkColor(const QColor &color);
  int LeftMargin() const { return MarginLeft; }
  int RightMargin() const { return MarginRight; }
  // Display zoom numerator / denominator (0/0 or equal: none). Keeps the top line.
  void SetZoom(int numerator, int denominator);
  double Zoom() const { return ZoomFactor; }
  // The width of a line of text in the reading view (unzoomed pixels).
  double TextWidth() const { return WantedWidth(); }
  // Long words are broken at line ends by these patterns, in the reading view
  // and in print copies (null: never). Keeps the top line.
  void SetHyphenator(const THyphenator *hyphenator);
  const THyphenator *Hyphenator() const { return Layout.Hyphenator(); }

  // ---- the document, the caret and the selection ----
  QTextDocument *document() const {
    FinishDeferred();
    return Doc();
  }
  QTextCursor textCursor() const;
  // Sets the caret and selection; the view does not move.
  void setTextCursor(const QTextCursor &cursor);
  QString toPlainText() const { return Doc()->toPlainText(); }
  // The first characters of the text (at most chars), paragraphs ended by a line feed.
  std::u16string TextHead(size_t chars) const;
  int cursorWidth() const { return CaretWidth; }
  void setCursorWidth(int width);
  // The caret's rectangle in the viewport (empty when it is off the screen).
  QRect cursorRect(const QTextCursor &cursor);
  void copy();        // the selection to the clipboard
  void selectAll();

  // ---- display lines ----
  // Rich position of the top line's start (no line count needed).
  int32_t TopPosition();
  // The background line count: complete, and the lines known so far.
  bool LinesCounted();
  int32_t CountedLines();
  // Counts the rest of the lines now (with the wait cursor).
  void WaitForLineCount();
  // The top line's number when the count has reached it, else -1.
  int32_t TopLineIfCounted();
  // The height of the whole text on the screen, estimated from a sample of
  // paragraphs (pixels, at the box's zoom).
  double EstimatedHeight();
  // Whether the editing view can show the text: the toolkit's layout of the
  // whole text must stay well inside its coordinate range.
  bool EditingPossible();
  // The display line holding a position: its start and the start of the next
  // line (the end of the text for the last), with no line count needed.
  void LineRangeOf(int32_t position, int32_t &start, int32_t &end);
  // Moves the caret by display lines (extending the selection or not); the view does not move.
  void MoveCaretLines(int32_t lines, bool extend = false);
  int32_t LineCount();
  int32_t TopLine();
  int32_t LineStart(int32_t line);
  int32_t LineOfChar(int32_t position);
  void ScrollLines(int32_t lines);
  void GotoLine(int32_t line);
  void ScrollToEnd();
  void EnsureCaretVisible(int32_t k);
  void GoToCharPos(int32_t position);
  // Whether a rich position lies on a line wholly on the screen.
  bool PositionShown(int32_t position);
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
  // The box went back to reading because the text grew too tall for the
  // editing view (a zoom or format change, or editing asked for on such a text).
  void EditingStopped();
  // A left press on a link: its range in rich positions and its text.
  void LinkPressed(int32_t start, int32_t length, const QString &text);

protected:
  void mousePressEvent(QMouseEvent *event) override;
  void mouseMoveEvent(QMouseEvent *event) override;
  void mouseReleaseEvent(QMouseEvent *event) override;
  void mouseDoubleClickEvent(QMouseEvent *event) override;
  void keyPressEvent(QKeyEvent *event) override;
  void wheelEvent(QWheelEvent *event) override;
  void resizeEvent(QResizeEvent *event) override;
  void paintEvent(QPaintEvent *event) override;
  void scrollContentsBy(int dx, int dy) override;
  bool event(QEvent *event) override;
  bool eventFilter(QObject *watched, QEvent *event) override;

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
  mutable bool Flushing = false;            // Flush runs (it may give the event loop turns)
  int RelinkFirst = -1, RelinkLast = -1;    // paragraphs edited by the reader, links to mark again
  mutable QTextCharFormat AppendFormat;             // the format of appended text (set by SetCharFormat on all)
  int MarginLeft = 0, MarginRight = 0;
  mutable double ZoomFactor = 1.0;
  double DefaultPoints = 12;                // the document's default font size, unzoomed
  mutable double DocZoom = 1.0;             // the zoom of the document's shown formats
  bool ReadOnlyMode = false;
  int CaretWidth = 1;
  double Dpi() const;
  QList<QTextOption::Tab> ShownTabs(const TParaFormat &format) const;
  double Pixels(int32_t twips) const;       // zoomed
  int32_t Twips(double pixels) const;       // unzoomed
  void ApplyCharFormat(int32_t qtStart, int32_t qtEnd, const TCharFormat &format) const;
  void ApplyParaFormat(int32_t qtStart, int32_t qtEnd, const TParaFormat &format) const;
  void MarkLinks(int firstBlock, int lastBlock) const;
  // Merged paragraphs (RichMerged.h): the merged ends before each block, and
  // the merging of the ends of pending text (the offset of the first merged
  // block in it, or -1).
  mutable RichMerged::TMergedIndex Merged;
  qsizetype MergePending(QTextDocument *doc, bool breathe) const;
  void ApplyZoomToDocument();
  void ApplyMargins();
  void InstallReadingLayout(QTextDocument *doc) const;
  void SetCaretKeepingView(int32_t qtPosition);
  mutable QTextDocument *BuildDoc = nullptr;  // a document being built, not yet shown
  QTextDocument *Document = nullptr;          // the document shown
  QTextDocument *Doc() const { return BuildDoc ? BuildDoc : Document; }

  // ---- the view (RichView.cpp) ----
  struct TAnchor {  // a display line: paragraph, part and line in the part
    int Block = 0, Part = 0, Line = 0;
  };
  struct TShownLine {  // a line on the screen
    TAnchor Where;
    double Top = 0, Bottom = 0;  // viewport pixels
    int Start = 0, End = 0;      // document positions
  };
  mutable TRichLayout Layout;
  mutable TRichLines Lines{Layout};
  mutable QTextCursor Cursor;               // caret and selection while reading
  int TopPos = 0;                           // document position of the top line's start
  int MaxTopCache = -1;                     // the last top position that still fills the screen
  uint64_t MaxTopGen = 0;
  std::vector<TShownLine> Shown;            // what the last paint showed
  bool Selecting = false;
  bool SettingBar = false;
  QTimer CountTimer;
  // New text: the background slices (line count, deferred formats) wait for
  // its first paint, so that the page is not held up by a slice.
  mutable bool SlicesWaitForPaint = true;
  bool SlicesHeld = false;
  bool HoldSliceForPaint(QTimer &timer);
  void SlicesAfterPaint();
  TEditView *Editor = nullptr;              // the editing view, while editing
  int KeyReachedBox = 0;
  double ViewScale() const { return ZoomFactor / DocZoom; }
  double TopPadding() const;
  QSize ViewSize() const;
  double WantedWidth() const;
  void SyncWidth();
  void UpdateLayoutWidth();
  void InvalidateView(bool text);
  TAnchor AnchorOf(int position);
  int PositionOf(const TAnchor &anchor);
  bool NextLine(TAnchor &anchor);
  bool PreviousLine(TAnchor &anchor);
  double LineHeight(const TAnchor &anchor);  // viewport pixels
  int MaxTop();
  void SetTop(int position, bool clamp = true);
  void UpdateScrollBar();
  void ComputeShown();
  void PageDown();
  void PageUp();
  int HitTest(const QPointF &point, bool *onText = nullptr);
  bool CaretShown(int position);
  void StartLineCount();
  void CountSlice();
  void EnterEditing();
  void LeaveEditing();
  // Runs a program-wide change with the editing view closed, and opens it
  // again only when the text still fits it.
  void WithoutEditingView(const std::function<void()> &change);
  void ForwardKey(QKeyEvent *event);
  friend class TEditView;
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

  // ---- whole-text formats put on in slices (RichDeferred.cpp) ----
  // A format for a long stretch of a shown text goes on the paragraphs around
  // the screen at once, and on the rest in slices between events; whatever
  // reads formats, saves, edits or needs the final line count finishes it first.
  struct TDeferredFormat {
    int32_t Start = 0, End = 0;  // document positions still to do
    bool Para = false;
    TCharFormat Char;
    TParaFormat ParaFormat;
  };
  mutable std::vector<TDeferredFormat> Deferred;
  mutable bool Deferring = false;  // a slice is running: the view is refreshed once at its end
  QTimer DeferTimer;
  // Puts the format on [qtStart, qtEnd), deferring the part off the screen when
  // that is worth it; the caller holds the program-edit guard.
  void ApplyFormatAroundScreen(int32_t qtStart, int32_t qtEnd, bool para, const TCharFormat &charFormat,
                               const TParaFormat &paraFormat);
  void FinishDeferred() const;
  void DeferredSlice();
  void ApplyOne(int32_t qtStart, int32_t qtEnd, const TDeferredFormat &format) const;

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
