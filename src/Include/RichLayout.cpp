// Paragraph layout on demand (see RichLayout.h).
#include "RichLayout.h"

#include <QFontMetricsF>
#include <QTextBlockFormat>
#include <QTextDocument>
#include <QTextOption>
#include <algorithm>

#include "Hyphenator.h"
#include "LineBreaker.h"
#include "RichMerged.h"

namespace {

// The tallest line slot, in unzoomed pixels: a part's height stays inside the
// toolkit's fixed-point range even with absurd line spacing.
constexpr double MaxSlot = 1500;
constexpr int CacheLimit = 192;

}  // namespace

TRichLayout::TRichLayout(QTextDocument *document) : Doc(document) {}

int TRichLayout::ToLayout(const std::vector<int> &hyphens, int offset) {
  return offset + int(std::upper_bound(hyphens.begin(), hyphens.end(), offset) - hyphens.begin());
}

int TRichLayout::FromLayout(const std::vector<int> &hyphens, int position) {
  // The k-th soft hyphen stands at hyphens[k] + k in the layout.
  int lo = 0, hi = int(hyphens.size());
  while (lo < hi) {
    const int mid = (lo + hi) / 2;
    if (hyphens[size_t(mid)] + mid < position)
      lo = mid + 1;
    else
      hi = mid;
  }
  return position - lo;
}

void TRichLayout::SetHyphenator(const THyphenator *hyphenator) {
  if (hyphenator == Hyph)
    return;
  Hyph = hyphenator;
  Invalidate();
}

bool TRichLayout::EndsHyphenated(const QTextLayout &layout, const QTextLine &line) {
  const int end = line.textStart() + line.textLength();
  return line.textLength() > 0 && end <= layout.text().size() && layout.text().at(end - 1) == QChar(THyphenator::SoftHyphen);
}

bool TRichLayout::WideGaps(const QTextLayout &layout, const QTextLine &line) {
  const QString &text = layout.text();
  int from = line.textStart(), to = line.textStart() + line.textLength();
  while (to > from && text.at(to - 1).isSpace())
    --to;
  while (from < to && text.at(from).isSpace())
    ++from;
  int gaps = 0;
  for (int i = from + 1; i < to; ++i)
    if (text.at(i) == u' ' && text.at(i - 1) != u' ')
      ++gaps;
  if (gaps == 0)
    return false;
  // The space's width in the font of the line's first gap.
  QFont font = layout.font();
  const int at = int(text.indexOf(u' ', from));
  for (const QTextLayout::FormatRange &r : layout.formats())
    if (at >= r.start && at < r.start + r.length)
      font = r.format.font().resolve(font);
  const double space = QFontMetricsF(font).horizontalAdvance(u' ');
  return (line.width() - line.naturalTextWidth()) / gaps > space;
}

void TRichLayout::SetDocument(QTextDocument *document) {
  Doc = document;
  TextChanged();
}

void TRichLayout::SetWidth(double width) {
  width = std::max(width, 8.0);
  if (width == TextWidth)
    return;
  TextWidth = width;
  Invalidate();
}

void TRichLayout::Invalidate() {
  Cache.clear();
  Memo.clear();
  ++Gen;
}

void TRichLayout::TextChanged() {
  TextBlock = -1;
  Text.clear();
  Text.squeeze();
  Splits.clear();
  MergedBlocks.clear();
  Runs.clear();
  MergedDoc = RichMerged::HoldsMerged(Doc);
  Invalidate();
}

bool TRichLayout::IsMergedBlock(const QTextBlock &block) {
  if (!MergedDoc)
    return false;
  PartStarts(block);
  auto found = MergedBlocks.find(block.blockNumber());
  return found != MergedBlocks.end() && found->second;
}

int TRichLayout::PartEnd(const QTextBlock &block, int part) {
  const std::vector<int> &starts = PartStarts(block);
  if (part + 1 >= int(starts.size()))
    return block.length() - 1;
  return starts[size_t(part) + 1] - (IsMergedBlock(block) ? 1 : 0);
}

const std::vector<int> &TRichLayout::PartStarts(const QTextBlock &block) {
  const int length = block.length() - 1;
  if (length <= SplitChars && !MergedDoc)
    return Whole;
  auto found = Splits.find(block.blockNumber());
  if (found != Splits.end())
    return found->second;
  if (MergedDoc && RichMerged::IsMerged(block)) {
    // Only the merged blocks lately shown are kept (no caller holds the
    // starts of one block while asking for another's).
    if (Splits.size() > 1024) {
      for (auto it = Splits.begin(); it != Splits.end();) {
        if (MergedBlocks[it->first]) {
          MergedBlocks.erase(it->first);
          it = Splits.erase(it);
        } else {
          ++it;
        }
      }
    }
    MergedBlocks[block.blockNumber()] = true;
    return Splits.emplace(block.blockNumber(), RichMerged::ParagraphStarts(block)).first->second;
  }
  if (length <= SplitChars)
    return Whole;
  std::vector<int> starts{0};
  // The paragraph's text is read once; the space before each part's end is
  // found by one pass that only moves forward (text without spaces would
  // otherwise be searched again for each of its short parts).
  const QString &text = BlockText(block);
  const QChar *p = text.constData();
  int scannedTo = 0, lastSpace = -1;  // lastSpace: the last space before scannedTo
  while (length - starts.back() > SplitChars) {
    // A part ends after the first space past PartChars, else after the last
    // space before it; text without spaces goes in short parts, which the
    // toolkit breaks into lines much faster.
    const int start = starts.back();
    const int windowEnd = std::min(start + PartChars + 4096, length);
    int cut = -1;
    for (int k = start + PartChars; k < windowEnd && cut < 0; ++k)
      if (p[k].isSpace())
        cut = k + 1 - start;
    if (cut < 0) {
      for (; scannedTo < start + PartChars; ++scannedTo)
        if (p[scannedTo].isSpace())
          lastSpace = scannedTo;
      if (lastSpace > start + UnbrokenChars)
        cut = lastSpace + 1 - start;
    }
    if (cut < 0)
      cut = UnbrokenChars;
    if (start + cut < windowEnd && p[start + cut].isLowSurrogate())
      ++cut;
    starts.push_back(start + cut);
  }
  MergedBlocks[block.blockNumber()] = false;
  return Splits.emplace(block.blockNumber(), std::move(starts)).first->second;
}

const QString &TRichLayout::BlockText(const QTextBlock &block) const {
  // A cursor is not used to read a part: placing one makes the document
  // itemize the whole paragraph for its own layout, which a long paragraph
  // pays again after every change.
  if (TextBlock != block.blockNumber() || TextStart != block.position() || int(Text.size()) != block.length() - 1) {
    Text = block.text();
    TextBlock = block.blockNumber();
    TextStart = block.position();
  }
  return Text;
}

QString TRichLayout::TextOf(const QTextBlock &block, int start, int length) const {
  if (start == 0 && length == block.length() - 1)
    return block.text();
  return BlockText(block).mid(start, length);
}

int TRichLayout::PartOf(const QTextBlock &block, int offset) {
  const std::vector<int> &starts = PartStarts(block);
  return int(std::upper_bound(starts.begin(), starts.end(), offset) - starts.begin()) - 1;
}

void TRichLayout::Prepare(const QTextBlock &block, int start, int length, QTextLayout &layout,
                          std::vector<int> &hyphens) const {
  hyphens.clear();
  QString text = TextOf(block, start, length);
  // An empty paragraph takes its height from the paragraph mark's font, as in
  // the toolkit's own layout (the editing view and print).
  layout.setFont(length == 0 && !(MergedDoc && RichMerged::IsMerged(block))
                     ? block.charFormat().font().resolve(Doc->defaultFont())
                     : Doc->defaultFont());
  QList<QTextLayout::FormatRange> ranges;
  const int end = start + length;
  auto add = [&](int fs, int fe, const QTextCharFormat &format) {
    QTextLayout::FormatRange r;
    r.start = std::max(fs, start) - start;
    r.length = std::min(fe, end) - std::max(fs, start);
    r.format = format;
    ranges.append(r);
  };
  if (block.length() - 1 <= SplitChars && !(MergedDoc && RichMerged::IsMerged(block))) {
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextFragment f = it.fragment();
      const int fs = f.position() - block.position(), fe = fs + f.length();
      if (fe > start && fs < end)
        add(fs, fe, f.charFormat());
    }
  } else {
    const std::vector<TRun> &runs = RunsOf(block);
    auto it = std::upper_bound(runs.begin(), runs.end(), start,
                               [](int position, const TRun &run) { return position < run.Start + run.Length; });
    for (; it != runs.end() && it->Start < end; ++it)
      add(it->Start, it->Start + it->Length, it->Format);
  }
  const QTextBlockFormat bf = block.blockFormat();
  const bool rightToLeft = bf.hasProperty(QTextFormat::LayoutDirection) && bf.layoutDirection() == Qt::RightToLeft;
  if (Hyph && !rightToLeft && !(bf.alignment() & (Qt::AlignRight | Qt::AlignHCenter))) {
    Hyph->Points(text, hyphens);
    // A link is never broken.
    for (const QTextLayout::FormatRange &r : ranges)
      if (r.format.isAnchor())
        hyphens.erase(std::remove_if(hyphens.begin(), hyphens.end(),
                                     [&](int p) { return p >= r.start && p <= r.start + r.length; }),
                      hyphens.end());
    if (!hyphens.empty()) {
      text = THyphenator::WithSoftHyphens(text, hyphens);
      // A soft hyphen takes the format of the letter before it.
      for (QTextLayout::FormatRange &r : ranges) {
        const int from = ToLayout(hyphens, r.start), to = ToLayout(hyphens, r.start + r.length);
        r.start = from;
        r.length = to - from;
      }
    }
  }
  layout.setText(text);
  layout.setFormats(ranges);
  QTextOption option = Doc->defaultTextOption();
  option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  option.setAlignment(bf.alignment());
  option.setTextDirection(bf.hasProperty(QTextFormat::LayoutDirection) ? bf.layoutDirection() : Qt::LeftToRight);
  if (!bf.tabPositions().isEmpty())
    option.setTabs(bf.tabPositions());
  layout.setTextOption(option);
}

const std::vector<TRichLayout::TRun> &TRichLayout::RunsOf(const QTextBlock &block) const {
  auto found = Runs.find(block.blockNumber());
  if (found == Runs.end()) {
    std::vector<TRun> runs;
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextFragment f = it.fragment();
      runs.push_back(TRun{f.position() - block.position(), f.length(), f.charFormat(), f.charFormatIndex()});
    }
    found = Runs.emplace(block.blockNumber(), std::move(runs)).first;
  }
  return found->second;
}

void TRichLayout::LayOut(const QTextBlock &block, int start, int length, bool first, bool last, QTextLayout &layout,
                         std::vector<double> &tops, std::vector<int> &hyphens) const {
  Prepare(block, start, length, layout, hyphens);
  const QTextBlockFormat bf = block.blockFormat();
  const double left = std::max(0.0, bf.leftMargin());
  const double available = std::max(TextWidth - left - std::max(0.0, bf.rightMargin()), 8.0);
  const double indent = first ? bf.textIndent() : 0;
  const int type = bf.lineHeightType();
  const double value = bf.lineHeight();
  // The space between two paragraphs is the larger of the first's space
  // after and the second's space before, as in the toolkit's own layout (the
  // editing view and print): the previous paragraph's last slot holds its
  // space after already.
  // A paragraph inside a merged block follows one in its own format.
  double y = 0;
  if (first) {
    const QTextBlock previous = start == 0 ? block.previous() : block;
    const double before = previous.isValid() ? bf.topMargin() - std::max(0.0, previous.blockFormat().bottomMargin())
                                             : bf.topMargin();
    y = std::clamp(before, 0.0, MaxSlot);
  }
  tops.assign(1, 0.0);
  // A justified paragraph with hyphenation points gets the breaks chosen for
  // all its lines together.
  std::vector<int> plan;
  if (!hyphens.empty() && (bf.alignment() & Qt::AlignJustify))
    plan = LineBreaker::Plan(layout, std::max(available - indent, 8.0), available);
  layout.beginLayout();
  bool lastHyphenated = false;
  for (size_t lineIndex = 0;; ++lineIndex) {
    QTextLine line = layout.createLine();
    if (!line.isValid())
      break;
    const double shift = lineIndex == 0 ? indent : 0;
    // A line's height counts the font's leading, as the toolkit's own layout
    // (the editing view) does: both views keep the same line pitch.
    line.setLeadingIncluded(true);
    const double width = std::max(available - shift, 8.0);
    if (lineIndex + 1 < plan.size())
      line.setNumColumns(plan[lineIndex], width);
    else
      line.setLineWidth(width);
    if (!hyphens.empty() && plan.empty())
      lastHyphenated = AvoidSecondHyphen(layout, line, width, lastHyphenated);
    const double height = line.height();
    double slot = height, adjust = 0;
    switch (type) {
    case QTextBlockFormat::ProportionalHeight: slot = height * value / 100.0; break;
    case QTextBlockFormat::FixedHeight:
      slot = value;
      adjust = line.ascent() + std::max(line.leading(), 0.0) - std::min(slot, MaxSlot) * 4 / 5;
      break;
    case QTextBlockFormat::MinimumHeight:
      slot = std::max(height, value);
      adjust = height - slot;
      break;
    case QTextBlockFormat::LineDistanceHeight: slot = height + value; break;
    default: break;
    }
    slot = std::clamp(slot, 1.0, MaxSlot);
    adjust = std::clamp(adjust, -MaxSlot, MaxSlot);
    line.setPosition(QPointF(std::max(0.0, left + shift), y - adjust));
    y += slot;
    tops.push_back(y);
  }
  layout.endLayout();
  if (last)
    tops.back() += std::clamp(bf.bottomMargin(), 0.0, MaxSlot);
}

bool TRichLayout::AvoidSecondHyphen(QTextLayout &layout, QTextLine &line, double width, bool lastHyphenated) {
  if (!EndsHyphenated(layout, line))
    return false;
  if (!lastHyphenated)
    return true;
  // Two hyphenated line ends in a row: this line ends at its last space
  // instead, unless that leaves its gaps too wide.
  const QString &text = layout.text();
  int space = line.textStart() + line.textLength() - 1;
  while (space > line.textStart() && text.at(space) != u' ')
    --space;
  if (space <= line.textStart())
    return true;
  line.setNumColumns(space + 1 - line.textStart(), width);
  if (!WideGaps(layout, line))
    return false;
  line.setLineWidth(width);
  return true;
}

const TRichLayout::TPart &TRichLayout::Part(const QTextBlock &block, int part) {
  const auto key = std::make_pair(block.blockNumber(), part);
  auto found = Cache.find(key);
  if (found != Cache.end()) {
    found->second.Used = ++UseClock;
    return *found->second.Part;
  }
  Trim();
  const std::vector<int> &starts = PartStarts(block);
  part = std::clamp(part, 0, int(starts.size()) - 1);
  const bool merged = IsMergedBlock(block);
  auto laid = std::make_unique<TPart>();
  laid->Start = starts[size_t(part)];
  laid->Length = PartEnd(block, part) - laid->Start;
  laid->Layout.setCacheEnabled(true);
  LayOut(block, laid->Start, laid->Length, merged || part == 0, merged || part + 1 == int(starts.size()), laid->Layout,
         laid->Tops, laid->Hyphens);
  TCached &slot = Cache[key];
  slot.Part = std::move(laid);
  slot.Used = ++UseClock;
  return *slot.Part;
}

void TRichLayout::Measure(const QTextBlock &block, int part, std::vector<double> &tops) {
  const std::vector<int> &starts = PartStarts(block);
  const int start = starts[size_t(part)];
  const int length = PartEnd(block, part) - start;
  if (IsMergedBlock(block)) {
    const QString text = TextOf(block, start, length);
    MergedTops(block, RunsOf(block), block.blockFormatIndex(), start, text, tops);
    return;
  }
  QTextLayout layout;
  std::vector<int> hyphens;
  LayOut(block, start, length, part == 0, part + 1 == int(starts.size()), layout, tops, hyphens);
}

void TRichLayout::MergedTops(const QTextBlock &block, const std::vector<TRun> &runs, int blockFormat, int start,
                             QStringView text, std::vector<double> &tops) {
  // A short paragraph in one format is laid out once for all its copies.
  size_t key = 0;
  int format = -1;
  if (text.size() <= 64 && start > 0) {  // the first one's space before depends on the block before
    auto it = std::upper_bound(runs.begin(), runs.end(), start,
                               [](int position, const TRun &run) { return position < run.Start + run.Length; });
    if (it != runs.end() && it->Start + it->Length >= start + int(text.size())) {
      format = it->Index;
      key = qHash(text, size_t(format) * 1000003u + size_t(blockFormat));
      auto found = Memo.find(key);
      if (found != Memo.end() && found->second.Format == format && found->second.BlockFormat == blockFormat &&
          found->second.Text == text) {
        tops = found->second.Tops;
        return;
      }
    }
  }
  QTextLayout layout;
  std::vector<int> hyphens;
  LayOut(block, start, int(text.size()), true, true, layout, tops, hyphens);
  if (format >= 0 && Memo.size() < 4096)
    Memo[key] = TMemo{text.toString(), format, blockFormat, tops};
}

int32_t TRichLayout::MergedLines(const QTextBlock &block, std::vector<int32_t> *partFirst) {
  const QString text = block.text();
  if (partFirst)
    partFirst->assign(1, 0);
  int32_t lines = 0;
  std::vector<double> tops;
  const std::vector<TRun> &runs = RunsOf(block);
  const int blockFormat = block.blockFormatIndex();
  qsizetype from = 0;
  for (qsizetype i = 0; i <= text.size(); ++i) {
    if (i < text.size() && text.at(i) != QChar::LineSeparator)
      continue;
    MergedTops(block, runs, blockFormat, int(from), QStringView(text).mid(from, i - from), tops);
    lines += int32_t(tops.size()) - 1;
    if (partFirst)
      partFirst->push_back(lines);
    from = i + 1;
  }
  return lines;
}

int TRichLayout::CountLines(const QTextBlock &block, int part) {
  auto found = Cache.find(std::make_pair(block.blockNumber(), part));
  if (found != Cache.end())
    return found->second.Part->Lines();
  std::vector<double> tops;
  Measure(block, part, tops);
  return int(tops.size()) - 1;
}

double TRichLayout::PartHeight(const QTextBlock &block, int part) {
  auto found = Cache.find(std::make_pair(block.blockNumber(), part));
  if (found != Cache.end())
    return found->second.Part->Height();
  std::vector<double> tops;
  Measure(block, part, tops);
  return tops.back();
}

void TRichLayout::Trim() {
  if (Cache.size() < CacheLimit)
    return;
  // Drop the least recently used half.
  std::vector<uint64_t> uses;
  uses.reserve(Cache.size());
  for (const auto &entry : Cache)
    uses.push_back(entry.second.Used);
  std::nth_element(uses.begin(), uses.begin() + long(uses.size() / 2), uses.end());
  const uint64_t cut = uses[uses.size() / 2];
  for (auto it = Cache.begin(); it != Cache.end();)
    it = it->second.Used < cut ? Cache.erase(it) : std::next(it);
}
