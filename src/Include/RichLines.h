// Display-line numbers of a book, counted in the background.
//
// The line of a far position (the top-line label, go to line, bookmarks) needs
// the line counts of every paragraph before it. They are counted a slice at a
// time (Step, from a timer of the reading box) with the same layout as the
// screen, and counted at once (CountThrough, CountToLine) only when an
// operation needs a line that is not counted yet. Any change of the width, a
// format or the text starts the count again.
#pragma once

#include <QtGlobal>
#include <QtGlobal>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "RichLayout.h"

class QElapsedTimer;

class TRichLines {
public:
  explicit TRichLines(TRichLayout &layout) : Layout(layout) {}

  void Restart();
  bool Complete();
  int CountedBlocks();
  // Lines in the paragraphs counted so far.
  int32_t Known();
  // Counts for about budgetMs milliseconds; true when the count is complete.
  bool Step(double budgetMs);
  // Counts up to and including a paragraph.
  void CountThrough(int block);
  // Counts until a line is counted (or the book is).
  void CountToLine(int32_t line);
  void CountAll() { CountThrough(INT32_MAX); }
  // The first line of a counted paragraph.
  int32_t FirstLine(int block) { return First[size_t(block)]; }
  // The paragraph holding a counted line (the last paragraph for lines past the end).
  int BlockOfLine(int32_t line);
  // The first line of each part of a counted paragraph, from the paragraph's first line.
  int32_t PartFirstLine(const QTextBlock &block, int part);

private:
  TRichLayout &Layout;
  uint64_t Gen = 0;
  std::vector<int32_t> First{0};  // First[k]: first line of paragraph k; the last entry ends the counted ones
  std::unordered_map<int, std::vector<int32_t>> PartFirst;
  // A long paragraph counted part by part across slices: the first lines of its parts so far.
  int PartialBlock = -1;
  std::vector<int32_t> Partial;
  // The first lines of the parts of the merged block last asked for.
  int MergedBlock = -1;
  std::vector<int32_t> MergedFirst;
  void Sync();
  // Counts a paragraph (or more of its parts, until the deadline passes: false then).
  bool CountBlock(const QTextBlock &block, int32_t &lines, const class QElapsedTimer *clock = nullptr,
                  qint64 deadlineNs = 0);
};
