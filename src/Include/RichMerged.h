// Merged paragraphs: how the reading box keeps books of millions of tiny
// paragraphs in its document.
//
// A QTextDocument block costs about 4.6 µs to insert and 130 bytes to keep, so
// a book of 6,666,000 one-letter paragraphs, one block each, takes half a
// minute and about a gigabyte before anything is shown. A document that
// would hold more than MergeAfterBlocks() blocks (no ordinary book does: a
// 20 MB novel has about 155,000 paragraphs) keeps paragraphs with the same
// paragraph format in one block, up to about MergedBlockChars characters, each
// ended by U+2028 inside it: a whole book appended at once is merged from its
// start; one read from RTF, once the document holds that many blocks. Such a block carries PropMerged in its block
// format: in it, and only in it, every U+2028 is a paragraph end. A paragraph
// that holds a genuine line break (U+2028 of its own) or that is long is never
// merged, so no meaning is lost.
//
// The end is not told apart by a character format: a format of its own on
// every paragraph end makes two fragments per paragraph, which costs more than
// the blocks saved (measured: 79 s and 449 MB for the book above, against 1.2 s
// and 43 MB for plain text of merged paragraphs).
//
// Everything that sees paragraphs treats an end inside a merged block as it
// treats a block end: rich positions count it as CR LF (TMergedIndex keeps the
// number of such ends before each block, built when first needed and dropped on
// any change of the text), text and RTF are written with a paragraph end there,
// the layout lays out each merged paragraph as a part of its own with its
// indents and spaces before and after, and a paragraph format given to a range
// inside a merged block first turns the ends at the range's edges into block
// ends (SplitAround), a local change that moves no position.
#pragma once

#include <QString>
#include <QTextBlock>
#include <QTextFormat>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QTextDocument;

namespace RichMerged {

// In a block format: the U+2028 of the block are paragraph ends.
constexpr int PropMerged = QTextFormat::UserProperty + 64;
// A document property: the document holds (or held) merged blocks.
constexpr const char *DocumentFlag = "mergedParagraphs";
constexpr int MergedBlockChars = 8000;
// Merging starts once a document holds this many blocks (200,000; tests set
// fewer to merge small documents).
int MergeAfterBlocks();
void SetMergeAfterBlocks(int blocks);

inline bool IsMerged(const QTextBlock &block) { return block.blockFormat().boolProperty(PropMerged); }
bool HoldsMerged(const QTextDocument *doc);
void SetHoldsMerged(QTextDocument *doc);

// Offsets in a merged block's text at which its paragraphs start ({0} for any other block).
std::vector<int> ParagraphStarts(const QTextBlock &block);

// Turns the paragraph ends (U+2029) of text, appended to a document at rich
// position richStart, into merged ends, with a block end at least every
// MergedBlockChars characters, and block ends kept around the paragraphs in
// which a paragraph format starts (starts) or ends (ends, rich positions) and
// around paragraphs that hold a line break or are long. Returns the offset in
// text of the first block that holds a merged end, or -1 when nothing was
// merged.
// breathe (given the rich position reached) is asked now and then; once it
// answers false, the text is left as it is and -1 returned.
qsizetype MergeEnds(QString &text, int64_t richStart, std::vector<int64_t> starts,
                    std::vector<int64_t> ends, const std::function<bool(int64_t)> &breathe = {});

// Makes the paragraph ends of merged blocks just before qtStart and at or after
// qtEnd (in its paragraph) block ends, so that [qtStart, qtEnd] covers whole
// blocks. Positions do not move. True when anything changed.
bool SplitAround(QTextDocument *doc, int qtStart, int qtEnd);

// Rich positions in a document that holds merged blocks: the merged paragraph
// ends before each block, counted when first needed.
class TMergedIndex {
public:
  void Invalidate() { Valid = false; Doc = nullptr; }
  // The text changed from this block on (blocks before it are as they were):
  // only the rest is counted again, so appends cost what they add.
  void ChangedFrom(int block) {
    if (block < 0)
      Invalidate();
    else if (Valid && size_t(block) + 1 < Prefix.size())
      Prefix.resize(size_t(block) + 1);
  }
  // Merged ends in the blocks before a block (0 when the document holds none).
  int32_t Before(const QTextDocument *doc, int block);
  // Merged ends in the whole document.
  int32_t Total(const QTextDocument *doc);

private:
  bool Valid = false;
  const QTextDocument *Doc = nullptr;
  std::vector<int32_t> Prefix;  // Prefix[k]: merged ends in blocks 0 .. k-1
  void Build(const QTextDocument *doc);
};

// Merged ends in a block's text before an offset (0 for any other block).
int32_t EndsBefore(const QTextBlock &block, int offset);
// The offset in a merged block's text of a rich offset from its start (an
// offset between CR and LF goes to the end itself).
int QtOffset(const QTextBlock &block, int32_t richOffset);

// Appends text of the document (block ends as U+2029, starting in block) to
// out with block ends and, when active, merged ends as CR LF.
void AppendRich(std::u16string &out, const QString &text, QTextBlock block, bool active);

}  // namespace RichMerged
