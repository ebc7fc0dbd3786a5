// Test helper: reads a plain-text book the way the loader does (UTF-8 when the
// bytes are valid UTF-8 or start with its byte-order mark, else code page 1252;
// text after a NUL dropped; lines split at CR LF, CR or LF) and appends the end marker.
#pragma once

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "EnhancedRTF.h"

namespace booklines {

inline bool ValidUtf8(const std::string &s) {
  size_t i = 0, n = s.size();
  while (i < n) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    size_t need;
    unsigned char lo = 0x80, hi = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) need = 1;
    else if (c == 0xE0) need = 2, lo = 0xA0;
    else if (c >= 0xE1 && c <= 0xEC) need = 2;
    else if (c == 0xED) need = 2, hi = 0x9F;
    else if (c >= 0xEE && c <= 0xEF) need = 2;
    else if (c == 0xF0) need = 3, lo = 0x90;
    else if (c >= 0xF1 && c <= 0xF3) need = 3;
    else if (c == 0xF4) need = 3, hi = 0x8F;
    else return false;
    if (i + need >= n) return false;
    for (size_t k = 1; k <= need; ++k) {
      unsigned char d = static_cast<unsigned char>(s[i + k]);
      if (k == 1 ? (d < lo || d > hi) : (d < 0x80 || d > 0xBF)) return false;
    }
    i += need + 1;
  }
  return true;
}

inline std::u16string Decode(std::string bytes) {
  size_t nul = bytes.find('\0');
  if (nul != std::string::npos) bytes.resize(nul);
  std::u16string out;
  out.reserve(bytes.size());
  bool bom = bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0;
  if (bom || ValidUtf8(bytes)) {
    return TEnhancedRichEdit::ToU16(std::string_view(bytes).substr(bom ? 3 : 0));
  } else {
    static const char16_t k80[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                     0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                     0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                     0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    for (unsigned char c : bytes) out.push_back(c >= 0x80 && c < 0xA0 ? k80[c - 0x80] : char16_t(c));
  }
  return out;
}

inline std::vector<std::u16string> SplitLines(const std::u16string &text) {
  std::vector<std::u16string> lines;
  size_t start = 0, i = 0, n = text.size();
  while (i < n) {
    if (text[i] == u'\r' || text[i] == u'\n') {
      lines.emplace_back(text, start, i - start);
      if (text[i] == u'\r' && i + 1 < n && text[i + 1] == u'\n') ++i;
      start = ++i;
    } else {
      ++i;
    }
  }
  if (start < n) lines.emplace_back(text, start, n - start);
  return lines;
}

inline std::u16string TrimBlanks(const std::u16string &s) {
  size_t b = 0, e = s.size();
  while (b < e && s[b] <= 32) ++b;
  while (e > b && s[e - 1] <= 32) --e;
  return s.substr(b, e - b);
}

// Whole book: piece 1 of 1.
inline void AddEndMarker(std::vector<std::u16string> &lines) {
  while (lines.size() > 1) {
    std::u16string t = TrimBlanks(lines.back());
    if (!t.empty() && t != u"***** End of Book *****") break;
    lines.pop_back();
  }
  lines.emplace_back();
  lines.emplace_back(u"***** End of Book *****");
}

inline std::string ReadFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline std::vector<std::u16string> LoadBook(const std::string &path) {
  std::vector<std::u16string> lines = SplitLines(Decode(ReadFile(path)));
  AddEndMarker(lines);
  return lines;
}

}  // namespace booklines
