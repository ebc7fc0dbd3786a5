// Lays out the paragraphs of a document one at a time, for the part of a book
// that is on the screen.
//
// The reading box never asks the toolkit to lay out its whole document: a book
// of 20 MB takes seconds that way, and its height in pixels overflows the
// toolkit's fixed-point coordinates at large fonts. Instead each paragraph
// (QTextBlock) is laid out on demand with a QTextLayout of its own, at zoom 1,
// with positions relative to the paragraph's own top; the view scales the
// painter by the zoom. A very long paragraph is cut into parts of about
// PartChars characters, each laid out on its own (a part ends at a space, so a
// part's last line may be a little short; text without spaces is cut into
// parts of UnbrokenChars): no layout ever holds more than a part, whatever the
// size of the paragraph.
//
// A laid-out part is a slab of lines. Line i owns the vertical slot
// [Tops[i], Tops[i + 1]): the paragraph's space before belongs to its first
// line, its space after to its last, so that slots tile the book and the view
// can scroll by (paragraph, part, line) without any height of the whole book.
//
// A merged block (RichMerged.h) holds many paragraphs: each is a part of its
// own, laid out with its paragraph's indents and spaces before and after; the
// merged end that closes it belongs to no part's text, as a block end does.
//
// With a hyphenator set, the text a part's layout holds is the paragraph's text
// with a soft hyphen at each point where a long word may be broken (left-aligned
// and justified paragraphs only): the layout breaks a line there and draws a
// hyphen. The document never holds them; a part maps between its layout's
// positions and the paragraph's offsets (ToLayout, FromLayout), and every
// position a caller gets or gives is the document's.
//
// Laid-out parts are kept in a small cache (the screen and its neighbours);
// the cache is dropped when the width, a format or the text changes.
#pragma once

#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextLayout>
#include <cstdint>
#include <map>
#include <memory>
#include <unordered_map>
#include <vector>

class QTextDocument;
class THyphenator;

class TRichLayout {
public:
  // A paragraph longer than SplitChars is laid out in parts of about PartChars.
  static constexpr int PartChars = 16384;
  static constexpr int SplitChars = 24576;
  // The part size of text with no space to end a part at.
  static constexpr int UnbrokenChars = 2048;

  struct TPart {
    QTextLayout Layout;
    std::vector<double> Tops;  // line count + 1 entries; Tops[0] is 0
    int Start = 0;             // offset of the part in its paragraph
    int Length = 0;
    std::vector<int> Hyphens;  // offsets in the part before which the layout holds a soft hyphen
    // The layout position of an offset in the part, and back.
    int ToLayout(int offset) const { return TRichLayout::ToLayout(Hyphens, offset); }
    int FromLayout(int position) const { return TRichLayout::FromLayout(Hyphens, position); }
    double Height() const { return Tops.back(); }
    int Lines() const { return int(Tops.size()) - 1; }
  };

  explicit TRichLayout(QTextDocument *document = nullptr);

  // Offsets of text and positions of its layout, with a soft hyphen in the
  // layout before each of the (sorted) offsets in hyphens. An offset at a
  // soft hyphen maps after it: to the start of the line a break there begins.
  static int ToLayout(const std::vector<int> &hyphens, int offset);
  static int FromLayout(const std::vector<int> &hyphens, int position);

  // Whether a line of a layout ends at a soft hyphen (a hyphen is drawn there).
  static bool EndsHyphenated(const QTextLayout &layout, const QTextLine &line);
  // Whether a justified line's gaps between words are more than twice a space.
  static bool WideGaps(const QTextLayout &layout, const QTextLine &line);

  // Long words are broken by these patterns (null: never).
  void SetHyphenator(const THyphenator *hyphenator);
  const THyphenator *Hyphenator() const { return Hyph; }

  void SetDocument(QTextDocument *document);
  QTextDocument *Document() const { return Doc; }
  // Width available to the text, in unzoomed pixels.
  void SetWidth(double width);
  double Width() const { return TextWidth; }
  // Forgets every laid-out part (a format or the width changed).
  void Invalidate();
  // The text changed: the parts of long paragraphs are cut anew too.
  void TextChanged();
  // Bumped by every Invalidate: a caller's remembered results are stale when it changed.
  uint64_t Generation() const { return Gen; }

  // Offsets in the paragraph at which its parts start (one part: {0}).
  const std::vector<int> &PartStarts(const QTextBlock &block);
  int PartCount(const QTextBlock &block) { return int(PartStarts(block).size()); }
  // The part holding an offset of the paragraph.
  int PartOf(const QTextBlock &block, int offset);
  // Where a part ends in its paragraph (before the merged end that closes it).
  int PartEnd(const QTextBlock &block, int part);
  // A merged block (RichMerged.h): each of its paragraphs is a part.
  bool HoldsMerged() const { return MergedDoc; }
  bool IsMergedBlock(const QTextBlock &block);
  // The lines of a merged block, and the first line of each of its parts (one
  // more entry: the total), counted in one pass over its text.
  int32_t MergedLines(const QTextBlock &block, std::vector<int32_t> *partFirst = nullptr);
  // The laid-out part (cached). The reference stays valid until the next
  // call that lays out another part, which may drop parts not used lately.
  const TPart &Part(const QTextBlock &block, int part);
  // The number of lines of a part, without keeping its layout.
  int CountLines(const QTextBlock &block, int part);
  // The height of a part (unzoomed pixels), without keeping its layout.
  double PartHeight(const QTextBlock &block, int part);

  // Lays out the text of a part into a layout; fills the line slots and the
  // offsets in the part before which the layout holds a soft hyphen.
  void LayOut(const QTextBlock &block, int start, int length, bool first, bool last, QTextLayout &layout,
              std::vector<double> &tops, std::vector<int> &hyphens) const;

private:
  QTextDocument *Doc = nullptr;
  const THyphenator *Hyph = nullptr;
  double TextWidth = 200;
  uint64_t Gen = 1;
  uint64_t UseClock = 0;
  struct TCached {
    std::unique_ptr<TPart> Part;
    uint64_t Used = 0;
  };
  std::map<std::pair<int, int>, TCached> Cache;  // (paragraph, part)
  // The text of the paragraph last read in parts.
  mutable QString Text;
  mutable int TextBlock = -1, TextStart = -1;
  const QString &BlockText(const QTextBlock &block) const;
  QString TextOf(const QTextBlock &block, int start, int length) const;
  std::unordered_map<int, std::vector<int>> Splits;  // the parts of long paragraphs and merged blocks
  bool MergedDoc = false;                             // the document holds merged blocks
  std::unordered_map<int, bool> MergedBlocks;         // of the blocks in Splits: merged or long
  // Line slots of short merged paragraphs laid out once, by text and formats:
  // a book of millions of tiny paragraphs repeats a few of them.
  struct TMemo {
    QString Text;
    int Format = 0, BlockFormat = 0;
    std::vector<double> Tops;
  };
  std::unordered_map<size_t, TMemo> Memo;
  // The line slots of the paragraph of a merged block at start, whose text is given.
  struct TRun;
  void MergedTops(const QTextBlock &block, const std::vector<TRun> &runs, int blockFormat, int start, QStringView text,
                  std::vector<double> &tops);
  struct TRun {  // a run of one format in a long paragraph
    int Start = 0, Length = 0;
    QTextCharFormat Format;
    int Index = 0;  // of the format in the document
  };
  // The format runs of long paragraphs, read once rather than for each part.
  mutable std::unordered_map<int, std::vector<TRun>> Runs;
  std::vector<int> Whole{0};
  void Trim();
  // Keeps a line from being the second hyphenated one in a row where a break
  // at a space is as good; returns whether the line ends hyphenated.
  static bool AvoidSecondHyphen(QTextLayout &layout, QTextLine &line, double width, bool lastHyphenated);
  // Lays out a part in a scratch layout and keeps only its line slots.
  void Measure(const QTextBlock &block, int part, std::vector<double> &tops);
  void Prepare(const QTextBlock &block, int start, int length, QTextLayout &layout, std::vector<int> &hyphens) const;
  const std::vector<TRun> &RunsOf(const QTextBlock &block) const;
};
