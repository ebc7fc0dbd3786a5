// Merged paragraphs (see RichMerged.h).
#include "RichMerged.h"

#include <QTextCursor>
#include <QTextDocument>
#include <QVariant>
#include <algorithm>
#include <unordered_map>

namespace RichMerged {

namespace {

// A paragraph longer than this is never merged: it is laid out in parts of its own.
constexpr qsizetype LongParagraph = 2048;

int MergeAfter = 200000;

}  // namespace

int MergeAfterBlocks() { return MergeAfter; }

void SetMergeAfterBlocks(int blocks) { MergeAfter = std::max(blocks, 1); }

bool HoldsMerged(const QTextDocument *doc) { return doc && doc->property(DocumentFlag).toBool(); }

void SetHoldsMerged(QTextDocument *doc) { doc->setProperty(DocumentFlag, true); }

std::vector<int> ParagraphStarts(const QTextBlock &block) {
  std::vector<int> starts{0};
  if (!IsMerged(block))
    return starts;
  const QString text = block.text();
  starts.reserve(size_t(text.count(QChar::LineSeparator)) + 1);
  for (qsizetype i = 0; i < text.size(); ++i)
    if (text.at(i) == QChar::LineSeparator)
      starts.push_back(int(i) + 1);
  return starts;
}

qsizetype MergeEnds(QString &text, int64_t richStart, std::vector<int64_t> starts,
                    std::vector<int64_t> ends, const std::function<bool(int64_t)> &breathe) {
  std::sort(starts.begin(), starts.end());
  std::sort(ends.begin(), ends.end());
  size_t si = 0, ei = 0;
  qsizetype blockStart = 0;            // where that block starts in text
  qsizetype paraStart = 0;             // where the paragraph starts in text
  qsizetype previousEnd = -1;          // the end before the paragraph, when it was merged
  qsizetype firstMerged = -1;
  bool ownBreak = false;               // the paragraph holds a line break of its own
  int64_t rich = richStart, paraRich = richStart;
  uint32_t count = 0;                  // paragraphs read
  char16_t *p = reinterpret_cast<char16_t *>(text.data());
  const qsizetype n = text.size();
  for (qsizetype i = 0; i < n; ++i) {
    const char16_t c = p[i];
    if (c != 0x2029) {
      ownBreak = ownBreak || c == 0x2028;
      ++rich;
      continue;
    }
    // A paragraph format starting in this paragraph, or a paragraph that must
    // stand alone: the end before it is a block end.
    bool alone = ownBreak || i - paraStart > LongParagraph;
    bool keepBefore = alone;
    while (si < starts.size() && starts[si] < rich + 2)
      keepBefore = keepBefore || starts[si++] >= paraRich;
    if (keepBefore && previousEnd >= 0) {
      p[previousEnd] = 0x2029;
      blockStart = paraStart;
    }
    // A paragraph format ending in this paragraph: its end is a block end.
    bool keep = alone;
    while (ei < ends.size() && ends[ei] <= rich) {
      keep = true;
      ++ei;
    }
    previousEnd = -1;
    if (!keep && i + 1 - blockStart < MergedBlockChars) {
      p[i] = 0x2028;
      previousEnd = i;
      if (firstMerged < 0)
        firstMerged = blockStart;
    } else {
      blockStart = i + 1;
    }
    paraStart = i + 1;
    ownBreak = false;
    rich += 2;
    paraRich = rich;
    if (breathe && (++count & 0xFFFF) == 0 && !breathe(rich))
      return -1;
  }
  return firstMerged;
}

bool SplitAround(QTextDocument *doc, int qtStart, int qtEnd) {
  if (!HoldsMerged(doc))
    return false;
  bool changed = false;
  auto split = [&](int position) {
    QTextCursor c(doc);
    c.setPosition(position);
    c.setPosition(position + 1, QTextCursor::KeepAnchor);
    c.insertBlock();
    changed = true;
  };
  QTextBlock b = doc->findBlock(std::max(qtStart, 0));
  if (b.isValid() && IsMerged(b)) {
    const int before = int(b.text().lastIndexOf(QChar::LineSeparator, qtStart - b.position() - 1));
    if (qtStart > b.position() && before >= 0)
      split(b.position() + before);
  }
  b = doc->findBlock(std::max(qtEnd, 0));
  if (b.isValid() && IsMerged(b)) {
    const int after = int(b.text().indexOf(QChar::LineSeparator, std::max(qtEnd - b.position(), 0)));
    if (after >= 0)
      split(b.position() + after);
  }
  return changed;
}

void TMergedIndex::Build(const QTextDocument *doc) {
  // Prefix[k] for blocks counted before stays: only the blocks after them are read.
  if (!Valid || Doc != doc || Prefix.empty() || Prefix.size() > size_t(doc->blockCount()) + 1)
    Prefix.assign(1, 0);
  Prefix.reserve(size_t(doc->blockCount()) + 1);
  std::unordered_map<int, bool> merged;  // by block format: a document has few
  for (QTextBlock b = doc->findBlockByNumber(int(Prefix.size()) - 1); b.isValid(); b = b.next()) {
    auto found = merged.find(b.blockFormatIndex());
    if (found == merged.end())
      found = merged.emplace(b.blockFormatIndex(), IsMerged(b)).first;
    Prefix.push_back(Prefix.back() + (found->second ? int32_t(b.text().count(QChar::LineSeparator)) : 0));
  }
  Doc = doc;
  Valid = true;
}

int32_t TMergedIndex::Before(const QTextDocument *doc, int block) {
  if (!HoldsMerged(doc) || block <= 0)
    return 0;
  if (!Valid || Doc != doc || int(Prefix.size()) != doc->blockCount() + 1)
    Build(doc);
  return Prefix[size_t(std::min(block, int(Prefix.size()) - 1))];
}

int32_t TMergedIndex::Total(const QTextDocument *doc) { return Before(doc, doc->blockCount()); }

int32_t EndsBefore(const QTextBlock &block, int offset) {
  if (offset <= 0 || !IsMerged(block))
    return 0;
  const QString text = block.text();
  return int32_t(QStringView(text).left(std::min<qsizetype>(offset, text.size())).count(QChar::LineSeparator));
}

int QtOffset(const QTextBlock &block, int32_t richOffset) {
  const QString text = block.text();
  const int length = int(text.size());
  int q = 0;
  for (int32_t r = 0; q < length && r < richOffset; ++q) {
    r += text.at(q) == QChar::LineSeparator ? 2 : 1;
    if (r > richOffset)
      return q;  // between CR and LF: the end itself
  }
  return q;
}

void AppendRich(std::u16string &out, const QString &text, QTextBlock block, bool active) {
  bool merged = active && block.isValid() && IsMerged(block);
  const char16_t *p = reinterpret_cast<const char16_t *>(text.utf16());
  for (qsizetype i = 0; i < text.size(); ++i) {
    const char16_t c = p[i];
    if (c == 0x2029 || (c == 0x2028 && merged)) {
      out += u'\r';
      out += u'\n';
      if (c == 0x2029 && active) {
        block = block.next();
        merged = block.isValid() && IsMerged(block);
      }
    } else {
      out += c;
    }
  }
}

}  // namespace RichMerged
