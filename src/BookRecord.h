// What the enhancement engine puts into a reading box, kept as a record for
// the converter: the text and, for rich text, the runs of character formats
// and the paragraph formats; written out as plain text or RTF without a
// QTextDocument. A document of a 20 MB book costs seconds to build; the record
// costs one pass over the text.
//
// The file is the one the reading box would write. The formats are the box's
// own (its conversions between the rich-edit structures and the toolkit's
// formats), merged the way its document merges them: a character format merged
// into every run of a range, a paragraph format into every paragraph the range
// touches, appended text in the format last set on all text, and a new
// paragraph in the format of the (empty) last one. Positions count paragraph
// ends as two characters (CR LF), as the box's do. Paragraph ends and the
// document's own marks in appended text are treated as the box treats them
// (U+2029, U+2028, U+FDD0 and U+FDD1 shown as a blank; CR LF, CR and LF end
// paragraphs). Links are not marked: the RTF of the box does not keep them.
// A range is formatted when its format is set; the box formats text it is
// still taking in once that text is in. The engine formats only text it has
// already appended, where the two agree.
//
// A record made for plain text keeps only the text, already in the UTF-8 of
// the file (a UTF-16 half of a pair alone is written as "?", as the toolkit's
// conversion does), and drops every format.
#pragma once

#include <QString>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "LargeBuffer.h"
#include "TextFormat.h"

class TRichEdit;

class TBookRecord : public IRichBox {
public:
  // box: the reading box whose format conversions the record uses (it is not
  // changed). textOnly: keep the text alone.
  TBookRecord(const TRichEdit &box, bool textOnly);

  // ---- IRichBox ----
  void AppendParagraph(const std::u16string &text) override;
  void SetSelection(int32_t start, int32_t length) override;  // length < 0 or too long: to the end
  void SetCharFormat(const TCharFormat &format, bool all) override;
  void SetParaFormat(const TParaFormat &format) override;
  std::u16string Text() const override;  // paragraph ends as CR LF
  void Clear() override;
  void SetModified(bool) override {}

  bool TextOnly() const { return PlainOnly; }
  // Plain text in UTF-8, one line per paragraph ("\n" ends); raises "Failed to
  // save text." with the path and the reason through the status context.
  bool SaveText(const QString &path);
  // Rich text (a record made for rich text only); raises "Failed to save RTF.".
  bool SaveRtf(const QString &path);

private:
  struct TRun {  // a character format from Start up to the next run's start
    uint32_t Start;
    uint32_t Format;
  };
  const TRichEdit &Box;
  const bool PlainOnly;
  int32_t SelStart = 0, SelLength = 0;

  // ---- text only ----
  TLargeBuffer<char> Utf8;  // each paragraph followed by "\n"

  // ---- rich text ----
  // Every paragraph but the last is followed by U+2029; an index into Chars is
  // a position as the box's document counts it.
  TLargeBuffer<char16_t> Chars;
  TLargeBuffer<uint32_t> BlockStarts;   // where each paragraph starts
  TLargeBuffer<uint32_t> BlockFormatOf; // its paragraph format (an index into BlockFormats)
  std::vector<TRun> Runs;               // over all of Chars, in order; empty when Chars is
  std::vector<QTextCharFormat> CharFormats;    // each once
  std::vector<QTextBlockFormat> BlockFormats;  // each once
  uint32_t AppendFormat = 0;
  std::vector<std::pair<TCharFormat, uint32_t>> CharDeltas;  // formats set, as merged
  std::vector<std::pair<TParaFormat, uint32_t>> ParaDeltas;
  std::unordered_map<uint64_t, uint32_t> CharMerges, BlockMerges;  // (format, delta) -> result

  uint32_t InternChar(const QTextCharFormat &format);
  uint32_t InternBlock(const QTextBlockFormat &format);
  uint32_t CharDelta(const TCharFormat &format);
  uint32_t ParaDelta(const TParaFormat &format);
  uint32_t MergeChar(uint32_t format, uint32_t delta);
  uint32_t MergeBlock(uint32_t format, uint32_t delta);
  uint32_t End() const { return uint32_t(Chars.size()); }
  size_t BlockCount() const { return BlockStarts.size(); }
  size_t BlockOf(uint32_t position) const;
  uint32_t BlockTextEnd(size_t block) const;
  uint32_t RichToPosition(int32_t rich) const;
  void SelectionRange(uint32_t &from, uint32_t &to) const;
  void SplitRunAt(uint32_t position);
  void MergeRange(uint32_t from, uint32_t to, uint32_t delta);
  void ApplyParaFormat(uint32_t from, uint32_t to, const TParaFormat &format);
  void CloseParagraph();
};
