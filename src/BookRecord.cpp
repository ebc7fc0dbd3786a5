// The converter's record of an enhanced book (see BookRecord.h).
#include "BookRecord.h"

#include <QFileDevice>
#include <QIODevice>
#include <algorithm>
#include <climits>
#include <cstring>
#include <ostream>
#include <stdexcept>
#include <streambuf>

#include "DeviceStream.h"
#include "Error.h"
#include "File.h"
#include "RTF.h"
#include "RtfWriter.h"

namespace {

constexpr char16_t ParagraphEnd = 0x2029;

// What the box shows as a blank: its document would start blocks at them.
inline bool ShownAsBlank(char16_t c) { return c == 0x2029 || c == 0x2028 || c == 0xFDD0 || c == 0xFDD1; }

// Saves through SaveFileSafely (written beside the target, renamed over it
// when complete) and raises failure with the path and the reason.
template <class TWrite> bool SaveWith(const QString &path, const char *failure, const TWrite &write) {
  OP_BEGIN("TBookRecord::Save");
  bool result = false;
  OP_TRY {
    QString reason, writeError;
    bool ok = SaveFileSafely(
        path,
        [&](QIODevice &file) {
          if (!write(file)) {
            writeError = file.errorString();
            return false;
          }
          auto *device = qobject_cast<QFileDevice *>(&file);
          if (device && !device->flush()) {
            writeError = file.errorString();
            return false;
          }
          return true;
        },
        &reason);
    if (!ok) {
      if (!writeError.isEmpty())
        reason = writeError;
      OP_RAISE(failure, path.toStdString(), reason.toStdString());
      return result;
    }
    result = true;
  }
  OP_CATCH;
  return result;
}

// UTF-16 to UTF-8, a half of a pair alone becoming "?"; returns the end.
char *PutUtf8(char *out, const char16_t *p, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    uint32_t c = p[i];
    if (c < 0x80) {
      *out++ = char(c);
    } else if (c < 0x800) {
      *out++ = char(0xC0 | (c >> 6));
      *out++ = char(0x80 | (c & 0x3F));
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      if (c <= 0xDBFF && i + 1 < n && p[i + 1] >= 0xDC00 && p[i + 1] <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (p[i + 1] - 0xDC00u);
        ++i;
        *out++ = char(0xF0 | (c >> 18));
        *out++ = char(0x80 | ((c >> 12) & 0x3F));
        *out++ = char(0x80 | ((c >> 6) & 0x3F));
        *out++ = char(0x80 | (c & 0x3F));
      } else {
        *out++ = '?';
      }
    } else {
      *out++ = char(0xE0 | (c >> 12));
      *out++ = char(0x80 | ((c >> 6) & 0x3F));
      *out++ = char(0x80 | (c & 0x3F));
    }
  }
  return out;
}

}  // namespace

TBookRecord::TBookRecord(const TRichEdit &box, bool textOnly) : Box(box), PlainOnly(textOnly) {
  if (!PlainOnly)
    AppendFormat = InternChar(QTextCharFormat());
  Clear();
}

void TBookRecord::Clear() {
  SelStart = SelLength = 0;
  Utf8.Release();
  Chars.Release();
  BlockStarts.Release();
  BlockFormatOf.Release();
  Runs.clear();
  if (PlainOnly)
    return;
  // Like a cleared document: one empty paragraph in the default format. The
  // format of appended text stays as it was.
  BlockStarts.push_back(0);
  BlockFormatOf.push_back(InternBlock(QTextBlockFormat()));
}

// ---------------------------------------------------------------- text

void TBookRecord::CloseParagraph() {
  Chars.push_back(ParagraphEnd);
  BlockStarts.push_back(End());
  // A new paragraph takes the format of the one the text went into.
  BlockFormatOf.push_back(BlockFormatOf.back());
}

void TBookRecord::AppendParagraph(const std::u16string &text) {
  const char16_t *p = text.data();
  const size_t n = text.size();
  if (PlainOnly) {
    char *out = Utf8.Extend(n * 3 + 1);
    char *const begin = out;
    size_t i = 0;
    while (i < n) {
      // Runs of ASCII from U+000E up (no line end among them), four at a time.
      while (i + 4 <= n) {
        uint64_t v;
        std::memcpy(&v, p + i, sizeof v);
        if ((v & 0xFF80FF80FF80FF80ULL) != 0 ||
            ((v + 0x0072007200720072ULL) & 0x0080008000800080ULL) != 0x0080008000800080ULL)
          break;
        for (size_t k = 0; k < 4; ++k)
          out[k] = char(p[i + k]);
        out += 4;
        i += 4;
      }
      if (i >= n)
        break;
      const char16_t c = p[i];
      if (c == u'\r' || c == u'\n') {
        *out++ = '\n';
        i += c == u'\r' && i + 1 < n && p[i + 1] == u'\n' ? 2 : 1;
      } else if (ShownAsBlank(c)) {
        *out++ = ' ';
        ++i;
      } else if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && p[i + 1] >= 0xDC00 && p[i + 1] <= 0xDFFF) {
        out = PutUtf8(out, p + i, 2);
        i += 2;
      } else {
        out = PutUtf8(out, p + i, 1);
        ++i;
      }
    }
    *out++ = '\n';
    Utf8.Commit(size_t(out - begin));
    return;
  }
  if (End() + uint64_t(n) + 1 > UINT32_MAX)
    throw std::length_error("The text is too long.");
  if (n > 0 && (Runs.empty() || Runs.back().Format != AppendFormat))
    Runs.push_back({End(), AppendFormat});
  size_t from = 0;
  for (size_t i = 0; i < n; ++i) {
    const char16_t c = p[i];
    if (c != u'\r' && c != u'\n' && !ShownAsBlank(c))
      continue;
    Chars.append(p + from, i - from);
    if (ShownAsBlank(c)) {
      Chars.push_back(u' ');
    } else {
      CloseParagraph();
      if (c == u'\r' && i + 1 < n && p[i + 1] == u'\n')
        ++i;
    }
    from = i + 1;
  }
  Chars.append(p + from, n - from);
  if (Runs.empty() || Runs.back().Format != AppendFormat)
    Runs.push_back({End(), AppendFormat});  // the paragraph end
  CloseParagraph();
}

std::u16string TBookRecord::Text() const {
  std::u16string out;
  if (PlainOnly) {
    const QString text = QString::fromUtf8(Utf8.data(), qsizetype(Utf8.size()));
    out.reserve(size_t(text.size()) * 2);
    for (QChar c : text) {
      if (c == QLatin1Char('\n'))
        out += u"\r\n";
      else
        out += char16_t(c.unicode());
    }
    return out;
  }
  out.reserve(Chars.size() + BlockCount());
  for (size_t i = 0; i < Chars.size(); ++i) {
    if (Chars[i] == ParagraphEnd)
      out += u"\r\n";
    else
      out += Chars[i];
  }
  return out;
}

// ---------------------------------------------------------------- positions

size_t TBookRecord::BlockOf(uint32_t position) const {
  const uint32_t *begin = BlockStarts.data(), *end = begin + BlockStarts.size();
  return size_t(std::upper_bound(begin, end, position) - begin) - 1;
}

uint32_t TBookRecord::BlockTextEnd(size_t block) const {
  return block + 1 < BlockCount() ? BlockStarts[block + 1] - 1 : End();
}

uint32_t TBookRecord::RichToPosition(int32_t rich) const {
  if (rich <= 0)
    return 0;
  // The last paragraph whose rich start (its start plus two for each end
  // before it, one of them counted already) is at or before rich.
  size_t lo = 0, hi = BlockCount() - 1;
  while (lo < hi) {
    const size_t mid = lo + (hi - lo + 1) / 2;
    if (int64_t(BlockStarts[mid]) + int64_t(mid) <= rich)
      lo = mid;
    else
      hi = mid - 1;
  }
  const int64_t offset = int64_t(rich) - (int64_t(BlockStarts[lo]) + int64_t(lo));
  return BlockStarts[lo] + uint32_t(std::min<int64_t>(offset, BlockTextEnd(lo) - BlockStarts[lo]));
}

void TBookRecord::SetSelection(int32_t start, int32_t length) {
  SelStart = std::max(start, 0);
  SelLength = length;
}

void TBookRecord::SelectionRange(uint32_t &from, uint32_t &to) const {
  from = RichToPosition(SelStart);
  to = SelLength < 0 ? End() : RichToPosition(int32_t(std::min<int64_t>(int64_t(SelStart) + SelLength, INT32_MAX)));
}

// ---------------------------------------------------------------- formats

uint32_t TBookRecord::InternChar(const QTextCharFormat &format) {
  for (size_t i = CharFormats.size(); i-- > 0;)
    if (CharFormats[i] == format)
      return uint32_t(i);
  CharFormats.push_back(format);
  return uint32_t(CharFormats.size() - 1);
}

uint32_t TBookRecord::InternBlock(const QTextBlockFormat &format) {
  for (size_t i = BlockFormats.size(); i-- > 0;)
    if (BlockFormats[i] == format)
      return uint32_t(i);
  BlockFormats.push_back(format);
  return uint32_t(BlockFormats.size() - 1);
}

uint32_t TBookRecord::CharDelta(const TCharFormat &format) {
  for (const auto &known : CharDeltas)
    if (known.first == format)
      return known.second;
  const uint32_t delta = InternChar(Box.ToQtCharFormat(format));
  CharDeltas.emplace_back(format, delta);
  return delta;
}

uint32_t TBookRecord::ParaDelta(const TParaFormat &format) {
  for (const auto &known : ParaDeltas)
    if (known.first == format)
      return known.second;
  const uint32_t delta = InternBlock(Box.ToQtBlockFormat(format));
  ParaDeltas.emplace_back(format, delta);
  return delta;
}

uint32_t TBookRecord::MergeChar(uint32_t format, uint32_t delta) {
  const uint64_t key = (uint64_t(format) << 32) | delta;
  auto found = CharMerges.find(key);
  if (found != CharMerges.end())
    return found->second;
  QTextCharFormat merged = CharFormats[format];
  merged.merge(CharFormats[delta]);
  const uint32_t result = InternChar(merged);
  CharMerges.emplace(key, result);
  return result;
}

uint32_t TBookRecord::MergeBlock(uint32_t format, uint32_t delta) {
  const uint64_t key = (uint64_t(format) << 32) | delta;
  auto found = BlockMerges.find(key);
  if (found != BlockMerges.end())
    return found->second;
  QTextBlockFormat merged = BlockFormats[format];
  merged.merge(BlockFormats[delta]);
  const uint32_t result = InternBlock(merged);
  BlockMerges.emplace(key, result);
  return result;
}

void TBookRecord::SplitRunAt(uint32_t position) {
  if (position == 0 || position >= End())
    return;
  auto after = std::upper_bound(Runs.begin(), Runs.end(), position,
                                [](uint32_t p, const TRun &run) { return p < run.Start; });
  const TRun &holder = *(after - 1);
  if (holder.Start != position)
    Runs.insert(after, TRun{position, holder.Format});
}

void TBookRecord::MergeRange(uint32_t from, uint32_t to, uint32_t delta) {
  to = std::min(to, End());
  if (to <= from)
    return;
  SplitRunAt(from);
  SplitRunAt(to);
  auto first = std::lower_bound(Runs.begin(), Runs.end(), from,
                                [](const TRun &run, uint32_t p) { return run.Start < p; });
  auto last = first;
  for (; last != Runs.end() && last->Start < to; ++last)
    last->Format = MergeChar(last->Format, delta);
  // Neighbours of one format become one run again.
  auto begin = first == Runs.begin() ? first : first - 1;
  auto end = last == Runs.end() ? last : last + 1;
  auto kept = begin;
  for (auto it = begin + 1; it < end; ++it)
    if (it->Format != kept->Format)
      *++kept = *it;
  Runs.erase(kept + 1, end);
}

void TBookRecord::SetCharFormat(const TCharFormat &format, bool all) {
  if ((format.Mask & ~CFM_LINK) == 0 || PlainOnly)
    return;
  const uint32_t delta = CharDelta(format);
  if (all) {
    MergeRange(0, End(), delta);
    AppendFormat = MergeChar(AppendFormat, delta);
    return;
  }
  uint32_t from, to;
  SelectionRange(from, to);
  MergeRange(from, to, delta);
}

void TBookRecord::ApplyParaFormat(uint32_t from, uint32_t to, const TParaFormat &format) {
  const size_t first = BlockOf(from), last = BlockOf(std::max(from, to));
  const uint32_t delta = ParaDelta(format);
  const bool half = bool(format.Mask & PFM_STARTINDENT) != bool(format.Mask & PFM_OFFSET);
  for (size_t b = first; b <= last; ++b) {
    if (!half) {
      BlockFormatOf[b] = MergeBlock(BlockFormatOf[b], delta);
      continue;
    }
    // Only one of start indent and offset: combined with the paragraph's other one.
    const TParaFormat current = Box.FromQtBlockFormat(BlockFormats[BlockFormatOf[b]]);
    TParaFormat f;
    f.Mask = PFM_STARTINDENT | PFM_OFFSET;
    f.StartIndent = (format.Mask & PFM_STARTINDENT) ? format.StartIndent : current.StartIndent;
    f.Offset = (format.Mask & PFM_OFFSET) ? format.Offset : current.Offset;
    QTextBlockFormat combined = BlockFormats[delta];
    combined.merge(Box.ToQtBlockFormat(f));
    BlockFormatOf[b] = MergeBlock(BlockFormatOf[b], InternBlock(combined));
  }
}

void TBookRecord::SetParaFormat(const TParaFormat &format) {
  if (format.Mask == 0 || PlainOnly)
    return;
  uint32_t from, to;
  SelectionRange(from, to);
  ApplyParaFormat(from, to, format);
}

// ---------------------------------------------------------------- files

bool TBookRecord::SaveText(const QString &path) {
  return SaveWith(path, "Failed to save text.", [this](QIODevice &file) {
    if (PlainOnly)
      return WriteAll(file, Utf8.data(), qint64(Utf8.size()));
    std::string chunk;
    for (size_t from = 0; from < Chars.size();) {
      size_t to = std::min(from + (size_t(1) << 16), Chars.size());
      if (to < Chars.size() && Chars[to - 1] >= 0xD800 && Chars[to - 1] <= 0xDBFF)
        ++to;  // a pair stays in one piece
      chunk.resize((to - from) * 3);
      char *end = chunk.data();
      for (size_t i = from; i < to;) {
        size_t next = i;
        while (next < to && Chars[next] != ParagraphEnd)
          ++next;
        end = PutUtf8(end, Chars.data() + i, next - i);
        if (next < to)
          *end++ = '\n';
        i = next + 1;
      }
      if (!WriteAll(file, chunk.data(), qint64(end - chunk.data())))
        return false;
      from = to;
    }
    return true;
  });
}

bool TBookRecord::SaveRtf(const QString &path) {
  if (PlainOnly) {
    OP_BEGIN("TBookRecord::SaveRtf");
    OP_RAISE("Failed to save RTF.", path.toStdString(), "The record holds the text alone.");
    return false;
  }
  std::vector<int> paraKnown(BlockFormats.size(), 0), charKnown(CharFormats.size(), 0);
  std::vector<TParaFormat> paras(BlockFormats.size());
  std::vector<TCharFormat> chars(CharFormats.size());
  auto para = [&](uint32_t index) -> const TParaFormat & {
    if (!paraKnown[index]) {
      paras[index] = Box.FromQtBlockFormat(BlockFormats[index]);
      paraKnown[index] = 1;
    }
    return paras[index];
  };
  auto character = [&](uint32_t index) -> const TCharFormat & {
    if (!charKnown[index]) {
      TCharFormat f = Box.FromQtCharFormat(CharFormats[index]);
      f.Effects &= ~CFE_LINK;
      f.Mask &= ~CFM_LINK;
      chars[index] = f;
      charKnown[index] = 1;
    }
    return chars[index];
  };
  auto walk = [&](TRtfWriter &w) {
    const size_t blocks = BlockCount();
    size_t run = 0;
    for (size_t b = 0; b < blocks; ++b) {
      w.BeginParagraph(para(BlockFormatOf[b]));
      const uint32_t from = BlockStarts[b], to = BlockTextEnd(b);
      while (run + 1 < Runs.size() && Runs[run + 1].Start <= from)
        ++run;
      for (size_t r = run; r < Runs.size() && Runs[r].Start < to; ++r) {
        const uint32_t s = std::max(from, Runs[r].Start);
        const uint32_t e = std::min(to, r + 1 < Runs.size() ? Runs[r + 1].Start : End());
        if (e > s)
          w.Text(Chars.data() + s, e - s, character(Runs[r].Format));
      }
      if (b + 1 < blocks)
        w.EndParagraph();
    }
  };
  TRtfWriter writer;
  return SaveWith(path, "Failed to save RTF.", [&](QIODevice &file) {
    TDeviceStreamBuffer buffer(file);
    std::ostream out(&buffer);
    return writer.Write(out, walk) && bool(out.flush());
  });
}
