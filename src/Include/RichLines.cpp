// Background line count (see RichLines.h).
#include "RichLines.h"

#include <QElapsedTimer>
#include <QTextDocument>
#include <algorithm>

#include "RichMerged.h"

void TRichLines::Restart() {
  First.assign(1, 0);
  MergedBlock = -1;
  PartFirst.clear();
  PartialBlock = -1;
  Partial.clear();
  Gen = Layout.Generation();
}

void TRichLines::Sync() {
  if (Gen != Layout.Generation())
    Restart();
}

bool TRichLines::Complete() { return CountedBlocks() >= (Layout.Document() ? Layout.Document()->blockCount() : 0); }

int TRichLines::CountedBlocks() {
  Sync();
  return int(First.size()) - 1;
}

int32_t TRichLines::Known() {
  Sync();
  return First.back();
}

bool TRichLines::CountBlock(const QTextBlock &block, int32_t &lines, const QElapsedTimer *clock, qint64 deadlineNs) {
  if (Layout.HoldsMerged() && RichMerged::IsMerged(block)) {
    // A merged block's parts are counted in one pass; their first lines are
    // found again when asked for (PartFirstLine), not kept for every block.
    lines = Layout.MergedLines(block);
    return true;
  }
  const int parts = Layout.PartCount(block);
  if (parts == 1) {
    lines = Layout.CountLines(block, 0);
    return true;
  }
  if (PartialBlock != block.blockNumber()) {
    PartialBlock = block.blockNumber();
    Partial.assign(1, 0);
  }
  while (int(Partial.size()) - 1 < parts) {
    Partial.push_back(Partial.back() + Layout.CountLines(block, int(Partial.size()) - 1));
    if (clock && int(Partial.size()) - 1 < parts && clock->nsecsElapsed() > deadlineNs)
      return false;
  }
  lines = Partial.back();
  PartFirst[block.blockNumber()] = std::move(Partial);
  Partial.clear();
  PartialBlock = -1;
  return true;
}

bool TRichLines::Step(double budgetMs) {
  Sync();
  QTextDocument *doc = Layout.Document();
  if (!doc)
    return true;
  const int count = doc->blockCount();
  int n = int(First.size()) - 1;
  if (n >= count)
    return true;
  QElapsedTimer clock;
  clock.start();
  const qint64 deadline = qint64(budgetMs * 1e6);
  QTextBlock b = doc->findBlockByNumber(n);
  for (; b.isValid() && n < count; b = b.next(), ++n) {
    int32_t lines = 0;
    if (!CountBlock(b, lines, &clock, deadline))
      return false;
    First.push_back(First.back() + lines);
    if ((n & 7) == 7 && clock.nsecsElapsed() > deadline)
      return int(First.size()) - 1 >= count;
  }
  return true;
}

void TRichLines::CountThrough(int block) {
  Sync();
  QTextDocument *doc = Layout.Document();
  if (!doc)
    return;
  const int last = std::min(block, doc->blockCount() - 1);
  int n = int(First.size()) - 1;
  int32_t lines = 0;
  for (QTextBlock b = doc->findBlockByNumber(n); b.isValid() && n <= last; b = b.next(), ++n) {
    CountBlock(b, lines);
    First.push_back(First.back() + lines);
  }
}

void TRichLines::CountToLine(int32_t line) {
  Sync();
  QTextDocument *doc = Layout.Document();
  if (!doc)
    return;
  const int count = doc->blockCount();
  int n = int(First.size()) - 1;
  int32_t lines = 0;
  for (QTextBlock b = doc->findBlockByNumber(n); b.isValid() && n < count && First.back() <= line; b = b.next(), ++n) {
    CountBlock(b, lines);
    First.push_back(First.back() + lines);
  }
}

int TRichLines::BlockOfLine(int32_t line) {
  Sync();
  // The last counted paragraph whose first line is at or before the line, skipping empty ones.
  auto it = std::upper_bound(First.begin(), First.end() - 1, line);
  int block = std::max(int(it - First.begin()) - 1, 0);
  while (block + 1 < int(First.size()) - 1 && First[size_t(block) + 1] == First[size_t(block)] &&
         First[size_t(block)] <= line)
    ++block;
  return block;
}

int32_t TRichLines::PartFirstLine(const QTextBlock &block, int part) {
  if (part <= 0)
    return 0;
  Sync();
  if (Layout.HoldsMerged() && RichMerged::IsMerged(block)) {
    if (MergedBlock != block.blockNumber()) {
      Layout.MergedLines(block, &MergedFirst);
      MergedBlock = block.blockNumber();
    }
    return MergedFirst[size_t(std::min<int>(part, int(MergedFirst.size()) - 1))];
  }
  auto found = PartFirst.find(block.blockNumber());
  if (found == PartFirst.end()) {
    int32_t lines = 0;
    CountBlock(block, lines);
    found = PartFirst.find(block.blockNumber());
    if (found == PartFirst.end())
      return 0;
  }
  return found->second[size_t(std::min<int>(part, int(found->second.size()) - 1))];
}
