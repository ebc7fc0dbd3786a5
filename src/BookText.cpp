#include "BookText.h"
#include "LargeBuffer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

// ---- Texts ----

std::string EndOfPieceMarker(int32_t piece, int32_t count) {
  return "***** End of Piece " + std::to_string(piece) + " / " + std::to_string(count) + " *****";
}

std::string TooBigBookText(const std::string &formattedLimit) {
  return "You can't open books bigger than " + formattedLimit + " characters.";
}

std::string ConfirmWholeBookText(const std::string &formattedLimit) {
  return "You are trying to open in one piece a book bigger than " + formattedLimit +
         " characters.\nThe opening will take quite some time. Continue opening in one piece?\n\nIf you are not "
         "sure, choose \"Cancel\" then check the \"Open in pieces\"\ncheck-box and open it again.";
}

std::string PiecesLabelText(int32_t itemCount) {
  return itemCount < 2 ? std::string("1 piece") : std::to_string(itemCount) + " pieces";
}

std::string CurrentFileInfoText(const std::string &path, const std::string &extra) {
  if (path.empty())
    return NoBookOpenedText;
  std::filesystem::path p(path);
  std::string directory = p.parent_path().filename().string();
  if (directory.empty())
    directory = p.parent_path().string();
  // Built by appends: the one-expression form trips a false -Wrestrict of GCC 12 at -O3.
  std::string text = "\"";
  text += p.filename().string();
  text += "\" (in \"";
  text += directory;
  text += "\")";
  if (!extra.empty())
    text += " (" + extra + ")";
  return text;
}

// ---- BookState ----

void BookState::StartTimers() {
  TotalTimerStart = ProgressTimerStart = TBookClock::now();
  TimersRunning = true;
}

void BookState::StopTimers() {
  if (TimersRunning)
    TotalTimerStop = TBookClock::now();
  TimersRunning = false;
}

double BookState::TotalSeconds() const {
  auto end = TimersRunning ? TBookClock::now() : TotalTimerStop;
  return std::chrono::duration<double>(end - TotalTimerStart).count();
}

double BookState::SecondsSinceProgress() const {
  return std::chrono::duration<double>(TBookClock::now() - ProgressTimerStart).count();
}

// ---- Piece arithmetic ----

int32_t PieceCountFor(int64_t size, int32_t pieceSize) {
  if (size <= 0 || pieceSize <= 0)
    return 0;
  return static_cast<int32_t>((size + pieceSize - 1) / pieceSize);
}

int64_t PieceStart(int32_t piece, int32_t pieceSize) {
  return std::max<int64_t>(0, static_cast<int64_t>(piece - 1) * pieceSize - PieceOverlap);
}

int64_t PieceLength(int32_t piece, int32_t pieceSize, int64_t fileSize) {
  int64_t start = PieceStart(piece, pieceSize);
  return std::clamp<int64_t>(fileSize - start, 0, static_cast<int64_t>(pieceSize) + PieceOverlap);
}

int32_t ClampPiece(int32_t piece, int32_t count) { return piece < 1 || piece > count ? 1 : piece; }

// ---- Paths ----

namespace {

bool EndsWithNoCase(const std::string &text, const char *suffix) {
  size_t n = std::strlen(suffix);
  if (text.size() < n)
    return false;
  for (size_t i = 0; i < n; ++i) {
    char c = text[text.size() - n + i];
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
    if (c != suffix[i])
      return false;
  }
  return true;
}

}  // namespace

bool MatchesBookPatterns(const std::string &path) {
  // "*" matches any run of characters of the file name, so the patterns come
  // down to the two extensions.
  std::string name = std::filesystem::path(path).filename().string();
  return EndsWithNoCase(name, ".txt") || EndsWithNoCase(name, ".rtf");
}

bool HasRtfExtension(const std::string &path) { return EndsWithNoCase(path, ".rtf"); }

bool IsValidBookPath(const std::string &path) {
  if (path.empty())
    return false;
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec))
    return false;
  return MatchesBookPatterns(path);
}

// ---- Reading the file ----

int64_t FileSizeOf(const std::string &path, int32_t &errorCode) {
  struct stat info;
  if (::stat(path.c_str(), &info) != 0) {
    errorCode = errno;
    return -1;
  }
  errorCode = 0;
  return static_cast<int64_t>(info.st_size);
}

bool IsRegularFile(const std::string &path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool ReadFileBytes(const std::string &path, int64_t offset, int64_t length, std::string &bytes, int32_t &errorCode,
                   const std::function<bool()> &keepAlive) {
  bytes.clear();
  errorCode = 0;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    errorCode = errno;
    return false;
  }
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  bool ok = true;
  const size_t wanted = static_cast<size_t>(std::max<int64_t>(length, 0));
  // Kept alive: a slice at a time, each filled before the next is made.
  constexpr size_t slice = size_t(4) << 20;
  bytes.reserve(wanted);
  AdviseLargePages(bytes.data(), bytes.capacity());  // a whole book: fewer page faults
  bytes.resize(keepAlive ? std::min(wanted, slice) : wanted);
  size_t done = 0;
  while (done < bytes.size() || (done < wanted && keepAlive)) {
    if (done == bytes.size()) {
      if (!keepAlive())
        break;
      bytes.resize(std::min(wanted, done + slice));
    }
    ssize_t got = ::pread(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(offset + done));
    if (got < 0) {
      if (errno == EINTR)
        continue;
      errorCode = errno;
      ok = false;
      break;
    }
    if (got == 0)
      break;
    done += static_cast<size_t>(got);
  }
  bytes.resize(ok ? done : 0);
  ::close(fd);
  return ok;
}

// ---- Decoding ----

namespace {

// Code page 1252 from 0x80 to 0x9F; the five unassigned bytes keep their value.
constexpr char16_t Cp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

constexpr std::string_view Utf8Bom = "\xEF\xBB\xBF";

// Length of the UTF-8 sequence at p (1 to 4), or 0 when it is invalid.
// incomplete is set when the bytes present are a valid start of a sequence
// that the end of the buffer cuts short.
size_t SequenceLength(const unsigned char *p, size_t available, bool &incomplete) {
  incomplete = false;
  unsigned char c = p[0];
  if (c < 0x80)
    return 1;
  size_t length;
  unsigned char low = 0x80, high = 0xBF;  // range of the second byte
  if (c >= 0xC2 && c <= 0xDF)
    length = 2;
  else if (c >= 0xE0 && c <= 0xEF) {
    length = 3;
    if (c == 0xE0)
      low = 0xA0;
    else if (c == 0xED)
      high = 0x9F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    length = 4;
    if (c == 0xF0)
      low = 0x90;
    else if (c == 0xF4)
      high = 0x8F;
  } else
    return 0;
  for (size_t i = 1; i < length; ++i) {
    if (i >= available) {
      incomplete = true;
      return 0;
    }
    unsigned char b = p[i];
    if (i == 1 ? (b < low || b > high) : (b < 0x80 || b > 0xBF))
      return 0;
  }
  return length;
}

struct TUtf8Span {
  size_t Begin = 0, End = 0;  // the part to decode
  bool Valid = true;          // no invalid byte inside it
};

// Checks the bytes; for a piece, a sequence cut at either edge is left out of
// the span instead of counting as invalid.
TUtf8Span ScanUtf8(std::string_view bytes, bool piece) {
  TUtf8Span span{0, bytes.size(), true};
  auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
  if (piece)
    while (span.Begin < 3 && span.Begin < span.End && p[span.Begin] >= 0x80 && p[span.Begin] <= 0xBF)
      ++span.Begin;
  size_t i = span.Begin;
  while (i < span.End) {
    // Runs of ASCII, eight bytes at a time.
    while (i + 8 <= span.End) {
      uint64_t word;
      std::memcpy(&word, p + i, 8);
      if (word & 0x8080808080808080ULL)
        break;
      i += 8;
    }
    if (i >= span.End)
      break;
    bool incomplete;
    size_t length = SequenceLength(p + i, span.End - i, incomplete);
    if (length == 0) {
      if (incomplete && piece) {
        span.End = i;
        break;
      }
      span.Valid = false;
      return span;
    }
    i += length;
  }
  return span;
}

void AppendUtf8(std::u16string &out, const unsigned char *p, size_t n) {
  // Never more UTF-16 units than bytes: written in place, cut to size at the end.
  const size_t base = out.size();
  out.resize(base + n);
  char16_t *o = out.data() + base;
  size_t i = 0, w = 0;
  while (i < n) {
    // Runs of ASCII, eight bytes at a time.
    while (i + 8 <= n) {
      uint64_t word;
      std::memcpy(&word, p + i, 8);
      if (word & 0x8080808080808080ULL)
        break;
      for (size_t k = 0; k < 8; ++k)
        o[w + k] = p[i + k];
      i += 8;
      w += 8;
    }
    if (i >= n)
      break;
    unsigned char c = p[i];
    if (c < 0x80) {
      o[w++] = c;
      ++i;
      continue;
    }
    bool incomplete;
    size_t length = SequenceLength(p + i, n - i, incomplete);
    if (length == 0) {
      o[w++] = u'\uFFFD';
      ++i;
      continue;
    }
    char32_t cp = length == 2 ? (c & 0x1F) : length == 3 ? (c & 0x0F) : (c & 0x07);
    for (size_t k = 1; k < length; ++k)
      cp = (cp << 6) | (p[i + k] & 0x3F);
    if (cp >= 0x10000) {
      cp -= 0x10000;
      o[w++] = static_cast<char16_t>(0xD800 + (cp >> 10));
      o[w++] = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else
      o[w++] = static_cast<char16_t>(cp);
    i += length;
  }
  out.resize(base + w);
}

std::u16string DecodeUtf8Or1252(std::string_view bytes, bool piece);

std::string_view UpToNul(std::string_view bytes) {
  size_t nul = bytes.find('\0');
  return nul == std::string_view::npos ? bytes : bytes.substr(0, nul);
}

std::u16string_view TrimBlanks(std::u16string_view text) {
  size_t b = 0, e = text.size();
  while (b < e && text[b] <= u' ')
    ++b;
  while (e > b && text[e - 1] <= u' ')
    --e;
  return text.substr(b, e - b);
}

}  // namespace

TTextEncoding DetectEncoding(std::string_view bytes, bool piece) {
  bytes = UpToNul(bytes);
  if (bytes.substr(0, 3) == Utf8Bom)
    return TTextEncoding::Utf8;
  return ScanUtf8(bytes, piece).Valid ? TTextEncoding::Utf8 : TTextEncoding::Windows1252;
}

std::u16string DecodeWindows1252(std::string_view bytes) {
  std::u16string out;
  out.resize(bytes.size());
  for (size_t i = 0; i < bytes.size(); ++i) {
    auto c = static_cast<unsigned char>(bytes[i]);
    out[i] = c >= 0x80 && c <= 0x9F ? Cp1252High[c - 0x80] : static_cast<char16_t>(c);
  }
  return out;
}

std::u16string DecodeBookBytes(std::string_view bytes, bool piece) {
  if (TUtf16Mark mark = Utf16MarkOf(bytes); mark != TUtf16Mark::None)
    return DecodeUtf16(bytes, mark, 0, piece);
  return DecodeUtf8Or1252(bytes, piece);
}

namespace {

std::u16string DecodeUtf8Or1252(std::string_view bytes, bool piece) {
  bytes = UpToNul(bytes);
  bool bom = bytes.substr(0, 3) == Utf8Bom;
  if (bom)
    bytes.remove_prefix(3);
  TUtf8Span span = ScanUtf8(bytes, piece);
  if (!span.Valid && !bom)
    return DecodeWindows1252(bytes);
  if (!span.Valid)  // a byte-order mark says UTF-8 whatever follows: keep the whole text
    span = {0, bytes.size(), false};
  std::u16string out;
  out.reserve(span.End - span.Begin);
  AppendUtf8(out, reinterpret_cast<const unsigned char *>(bytes.data()) + span.Begin, span.End - span.Begin);
  return out;
}

}  // namespace

std::vector<std::u16string> SplitLines(std::u16string_view text) {
  std::vector<std::u16string> lines;
  size_t start = 0, n = text.size();
  for (size_t i = 0; i < n; ++i) {
    char16_t c = text[i];
    if (c != u'\r' && c != u'\n')
      continue;
    lines.emplace_back(text.substr(start, i - start));
    if (c == u'\r' && i + 1 < n && text[i + 1] == u'\n')
      ++i;
    start = i + 1;
  }
  if (start < n)
    lines.emplace_back(text.substr(start));
  return lines;
}

std::vector<std::u16string> BookBytesToLines(std::string_view bytes, bool piece) {
  return SplitLines(DecodeBookBytes(bytes, piece));
}

// ---- UTF-16 ----

TUtf16Mark Utf16MarkOf(std::string_view firstBytes) {
  if (firstBytes.substr(0, 2) == std::string_view("\xFF\xFE", 2))
    return TUtf16Mark::LittleEndian;
  if (firstBytes.substr(0, 2) == std::string_view("\xFE\xFF", 2))
    return TUtf16Mark::BigEndian;
  return TUtf16Mark::None;
}

std::u16string DecodeUtf16(std::string_view bytes, TUtf16Mark mark, int64_t offset, bool piece) {
  auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
  size_t i = 0;
  if (offset % 2 != 0)  // the second byte of a character: the character belongs to the piece before
    i = 1;
  else if (offset == 0 && Utf16MarkOf(bytes) != TUtf16Mark::None)
    i = 2;
  const bool big = mark == TUtf16Mark::BigEndian;
  std::u16string out;
  out.reserve((bytes.size() - std::min(i, bytes.size())) / 2);
  for (; i + 1 < bytes.size(); i += 2) {
    char16_t c = big ? char16_t(p[i] << 8 | p[i + 1]) : char16_t(p[i + 1] << 8 | p[i]);
    if (c == 0)
      break;
    out.push_back(c);
  }
  // Surrogates must come in pairs: a half cut at a piece's edge is dropped,
  // any other lone half becomes the replacement character.
  auto lead = [](char16_t c) { return c >= 0xD800 && c <= 0xDBFF; };
  auto trail = [](char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; };
  if (piece && !out.empty() && trail(out.front()))
    out.erase(0, 1);
  if (piece && !out.empty() && lead(out.back()))
    out.pop_back();
  for (size_t k = 0; k < out.size(); ++k) {
    if (lead(out[k]) && k + 1 < out.size() && trail(out[k + 1]))
      ++k;
    else if (lead(out[k]) || trail(out[k]))
      out[k] = u'\uFFFD';
  }
  return out;
}

std::vector<std::u16string> BookBytesToLines(std::string_view bytes, bool piece, TUtf16Mark mark, int64_t offset) {
  if (mark != TUtf16Mark::None)
    return SplitLines(DecodeUtf16(bytes, mark, offset, piece));
  return SplitLines(DecodeUtf8Or1252(bytes, piece));
}

// ---- End markers ----

TTextLines BookBytesToTextLines(std::string_view bytes, const std::function<bool()> &keepAlive) {
  if (!keepAlive || Utf16MarkOf(bytes) != TUtf16Mark::None)
    return TTextLines::Split(DecodeBookBytes(bytes, false));
  // The encoding is decided on the whole book; then the bytes are decoded a
  // slice at a time, each ending after a line feed (never inside a sequence).
  bytes = UpToNul(bytes);
  const bool utf8 = DetectEncoding(bytes, false) == TTextEncoding::Utf8;
  if (bytes.substr(0, 3) == Utf8Bom)
    bytes.remove_prefix(3);
  std::u16string text;
  text.reserve(bytes.size() + 64);  // and room for the end marker
  AdviseLargePages(text.data(), text.capacity() * sizeof(char16_t));
  constexpr size_t slice = 1 << 20;
  for (size_t from = 0; from < bytes.size();) {
    size_t to = from + slice >= bytes.size() ? bytes.size() : bytes.find('\n', from + slice);
    to = to == std::string_view::npos ? bytes.size() : std::min(to + 1, bytes.size());
    const std::string_view part = bytes.substr(from, to - from);
    if (utf8)
      AppendUtf8(text, reinterpret_cast<const unsigned char *>(part.data()), part.size());
    else
      text += DecodeWindows1252(part);
    from = to;
    if (!keepAlive())
      return {};
  }
  return TTextLines::Split(std::move(text));
}

void AddEndMarker(TTextLines &lines, int32_t piece, int32_t count) {
  static const std::u16string endOfBook = u"***** End of Book *****";
  while (lines.size() > 1) {
    std::u16string_view last = TrimBlanks(lines.back());
    if (!last.empty() && last != endOfBook)
      break;
    lines.pop_back();
  }
  lines.push_back(std::u16string_view());
  if (piece < count) {
    std::string marker = EndOfPieceMarker(piece, count);
    lines.push_back(std::u16string(marker.begin(), marker.end()));
  } else
    lines.push_back(endOfBook);
}

void AddEndMarker(std::vector<std::u16string> &lines, int32_t piece, int32_t count) {
  static const std::u16string endOfBook = u"***** End of Book *****";
  while (lines.size() > 1) {
    std::u16string_view last = TrimBlanks(lines.back());
    if (!last.empty() && last != endOfBook)
      break;
    lines.pop_back();
  }
  lines.emplace_back();
  if (piece < count) {
    std::string marker = EndOfPieceMarker(piece, count);
    lines.emplace_back(marker.begin(), marker.end());
  } else
    lines.push_back(endOfBook);
}
