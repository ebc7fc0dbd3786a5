// The lines of a book held in one buffer, for books of millions of short
// lines: one string per line costs more than the text itself. Line i is
// Text[Starts[i], Starts[i + 1] − 1); every line is followed by one separator
// character, so Starts always ends with Text.size(). Plain C++.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

class TTextLines {
public:
  size_t size() const { return Starts.size() - 1; }
  bool empty() const { return Starts.size() == 1; }
  std::u16string_view operator[](size_t i) const {
    return std::u16string_view(Text).substr(Starts[i], Starts[i + 1] - 1 - Starts[i]);
  }
  std::u16string_view back() const { return (*this)[size() - 1]; }
  size_t TextSize() const { return Text.size(); }  // all lines with their separators
  // The first n characters of the lines with their separators.
  std::u16string_view Head(size_t n) const { return std::u16string_view(Text).substr(0, n); }
  void pop_back() {
    Starts.pop_back();
    Text.resize(Starts.back());
  }
  void push_back(std::u16string_view line) {
    Text.append(line);
    Text.push_back(u'\n');
    Starts.push_back(uint32_t(Text.size()));
  }
  // Splits text at CR LF, CR or LF, in place; a line end at the very end adds
  // no empty line.
  static TTextLines Split(std::u16string text);
  static TTextLines From(const std::vector<std::u16string> &lines);

private:
  std::u16string Text;
  std::vector<uint32_t> Starts{0};
};

namespace TextLinesDetail {

// The first CR or LF at or after i, or n. Four characters at a time: a group
// with no character below U+0010 holds no line end.
inline size_t FindLineEnd(const char16_t *p, size_t i, size_t n) {
  constexpr uint64_t ones = 0x0001000100010001ULL, highs = 0x8000800080008000ULL;
  for (;;) {
    while (i + 4 <= n) {
      uint64_t v;
      std::memcpy(&v, p + i, sizeof v);
      const uint64_t x = v & 0xFFF0FFF0FFF0FFF0ULL;  // a lane is zero where the character is below U+0010
      if (((x - ones) & ~x & highs) != 0)
        break;
      i += 4;
    }
    const size_t stop = std::min(i + 4, n);
    for (; i < stop; ++i)
      if (p[i] == u'\r' || p[i] == u'\n')
        return i;
    if (i >= n)
      return n;
  }
}

}  // namespace TextLinesDetail

inline TTextLines TTextLines::Split(std::u16string text) {
  using TextLinesDetail::FindLineEnd;
  TTextLines lines;
  lines.Text = std::move(text);
  std::u16string &t = lines.Text;
  t.reserve(t.size() + 64);  // room for an end marker without copying the book
  const size_t n = t.size();
  char16_t *p = t.data();
  // Room for the most lines the text can hold, instead of a pass counting
  // them: memory reserved and never written costs nothing.
  lines.Starts.reserve(n + 2);
  // Each line moves down over the line ends dropped before it.
  size_t w = 0, r = 0, start = 0;
  while (r < n) {
    const size_t e = FindLineEnd(p, r, n);
    if (w != r)
      std::memmove(p + w, p + r, (e - r) * sizeof(char16_t));
    w += e - r;
    if (e == n)
      break;
    r = p[e] == u'\r' && e + 1 < n && p[e + 1] == u'\n' ? e + 2 : e + 1;
    p[w++] = u'\n';
    start = w;
    lines.Starts.push_back(uint32_t(w));
  }
  t.resize(w);
  if (start < w) {  // a last line without its end
    t.push_back(u'\n');
    lines.Starts.push_back(uint32_t(t.size()));
  }
  return lines;
}

inline TTextLines TTextLines::From(const std::vector<std::u16string> &source) {
  TTextLines lines;
  size_t total = 0;
  for (const auto &line : source)
    total += line.size() + 1;
  lines.Text.reserve(total);
  lines.Starts.reserve(source.size() + 1);
  for (const auto &line : source)
    lines.push_back(line);
  return lines;
}
