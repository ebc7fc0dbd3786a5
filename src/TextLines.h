// The lines of a book held in one buffer, for books of millions of short
// lines: one string per line costs more than the text itself. Line i is
// Text[Starts[i], Starts[i + 1] − 1); every line is followed by one separator
// character, so Starts always ends with Text.size(). Plain C++.
#pragma once

#include <cstdint>
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

inline TTextLines TTextLines::Split(std::u16string text) {
  TTextLines lines;
  lines.Text = std::move(text);
  std::u16string &t = lines.Text;
  t.reserve(t.size() + 64);  // room for an end marker without copying the book
  const size_t n = t.size();
  size_t lineCount = 0;
  for (char16_t c : t)
    lineCount += c == u'\n' || c == u'\r';
  lines.Starts.reserve(lineCount + 2);
  size_t w = 0, start = 0;
  for (size_t r = 0; r < n; ++r) {
    const char16_t c = t[r];
    if (c != u'\r' && c != u'\n') {
      t[w++] = c;
      continue;
    }
    if (c == u'\r' && r + 1 < n && t[r + 1] == u'\n')
      ++r;
    t[w++] = u'\n';
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
