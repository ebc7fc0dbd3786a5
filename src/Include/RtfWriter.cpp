// RTF writer (see RtfWriter.h).
#include "RtfWriter.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <vector>

namespace {

// UTF-8 → UTF-16 code units (font names).
std::u16string Utf8To16(const std::string &s) {
  std::u16string out;
  for (size_t i = 0; i < s.size();) {
    unsigned char c = s[i];
    uint32_t u = 0xFFFD;
    size_t n = 1;
    if (c < 0x80) {
      u = c;
    } else if ((c >> 5) == 6 && i + 1 < s.size()) {
      u = ((c & 0x1F) << 6) | (s[i + 1] & 0x3F);
      n = 2;
    } else if ((c >> 4) == 14 && i + 2 < s.size()) {
      u = ((c & 0x0F) << 12) | ((s[i + 1] & 0x3F) << 6) | (s[i + 2] & 0x3F);
      n = 3;
    } else if ((c >> 3) == 30 && i + 3 < s.size()) {
      u = ((c & 0x07) << 18) | ((s[i + 1] & 0x3F) << 12) | ((s[i + 2] & 0x3F) << 6) | (s[i + 3] & 0x3F);
      n = 4;
    }
    if (u >= 0x10000) {
      u -= 0x10000;
      out += char16_t(0xD800 + (u >> 10));
      out += char16_t(0xDC00 + (u & 0x3FF));
    } else {
      out += char16_t(u);
    }
    i += n;
  }
  return out;
}

// Escapes text for RTF: ASCII as is (with \ { } escaped), the rest as \uN?.
void Escape(std::string &out, const char16_t *text, size_t length, bool inFontTable) {
  for (size_t i = 0; i < length; ++i) {
    // A run of characters written as they are goes in at once.
    size_t plain = i;
    while (plain < length && text[plain] >= 0x20 && text[plain] < 0x80 && text[plain] != '\\' &&
           text[plain] != '{' && text[plain] != '}')
      ++plain;
    if (plain > i) {
      const size_t at = out.size();
      out.resize(at + (plain - i));
      std::copy(text + i, text + plain, out.begin() + std::ptrdiff_t(at));
      i = plain;
      if (i == length)
        break;
    }
    char16_t c = text[i];
    if (c == '\\' || c == '{' || c == '}') {
      out += '\\';
      out += char(c);
    } else if (c == '\t' && !inFontTable) {
      out += "\\tab ";
    } else if ((c == 0x2028 || c == 0x0B) && !inFontTable) {
      out += "\\line ";
    } else if (c >= 0x20 && c < 0x80) {
      out += char(c);
    } else if (c < 0x20) {
      // Other control characters are not text.
    } else {
      out += "\\u";
      out += std::to_string(int(int16_t(c)));
      out += '?';
    }
  }
}

}  // namespace

int TRtfWriter::FontIndex(const std::string &name) {
  auto it = FontIndexes.find(name);
  if (it != FontIndexes.end())
    return it->second;
  if (!Gathering)
    return 0;
  Fonts.push_back(name);
  FontIndexes.emplace(name, int(Fonts.size()) - 1);
  return int(Fonts.size()) - 1;
}

int TRtfWriter::ColorIndex(uint32_t color) {
  auto it = ColorIndexes.find(color);
  if (it != ColorIndexes.end())
    return it->second;
  if (!Gathering)
    return 0;
  Colors.push_back(color);
  ColorIndexes.emplace(color, int(Colors.size()));
  return int(Colors.size());
}

bool TRtfWriter::WriteFile(const std::string &path, const TWalk &walk) {
  std::ofstream out;
  std::vector<char> buffer(1 << 16);
  out.rdbuf()->pubsetbuf(buffer.data(), std::streamsize(buffer.size()));
  out.open(path, std::ios::binary | std::ios::trunc);
  if (!out) {
    ErrorText = std::strerror(errno);
    return false;
  }
  bool ok = Write(out, walk);
  out.close();
  if (ok && !out) {
    ErrorText = "The file could not be written.";
    ok = false;
  }
  return ok;
}

bool TRtfWriter::Write(std::ostream &out, const TWalk &walk) {
  Fonts.clear();
  Colors.clear();
  FontIndexes.clear();
  ColorIndexes.clear();
  Gathering = true;
  Out = nullptr;
  walk(*this);
  if (Fonts.empty())
    FontIndex("Times New Roman");
  Gathering = false;
  Out = &out;
  HasLast = false;
  HasLastPara = false;
  std::string head = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1{\\fonttbl";
  for (size_t i = 0; i < Fonts.size(); ++i) {
    head += "{\\f" + std::to_string(i) + "\\fnil\\fcharset0 ";
    std::u16string name = Utf8To16(Fonts[i]);
    Escape(head, name.data(), name.size(), true);
    head += ";}";
  }
  head += "}\n{\\colortbl;";
  for (uint32_t c : Colors)
    head += "\\red" + std::to_string(c & 0xFF) + "\\green" + std::to_string((c >> 8) & 0xFF) + "\\blue" +
            std::to_string((c >> 16) & 0xFF) + ";";
  head += "}\n";
  out << head;
  walk(*this);
  out << "}\n";
  Out = nullptr;
  if (!out) {
    ErrorText = "The file could not be written.";
    return false;
  }
  return true;
}

void TRtfWriter::BeginParagraph(const TParaFormat &p) {
  if (Gathering)
    return;
  // A paragraph keeps the properties of the one before it until \pard: a book of
  // many alike paragraphs is not made many times longer by repeating them.
  if (HasLastPara && p == LastPara)
    return;
  std::string s = "\\pard";
  switch (p.Alignment) {
  case PFA_RIGHT: s += "\\qr"; break;
  case PFA_CENTER: s += "\\qc"; break;
  case PFA_JUSTIFY: s += "\\qj"; break;
  default: s += "\\ql"; break;
  }
  s += "\\li" + std::to_string(p.StartIndent + p.Offset) + "\\fi" + std::to_string(-p.Offset);
  s += "\\ri" + std::to_string(p.RightIndent);
  if (p.SpaceBefore)
    s += "\\sb" + std::to_string(p.SpaceBefore);
  s += "\\sa" + std::to_string(p.SpaceAfter);
  if (p.LineSpacingRule == 5 && p.LineSpacing > 0)
    s += "\\sl" + std::to_string(p.LineSpacing * 12) + "\\slmult1";
  for (int i = 0; i < p.TabCount && i < MAX_TAB_STOPS; ++i)
    s += "\\tx" + std::to_string(p.Tabs[i]);
  s += ' ';
  *Out << s;
  LastPara = p;
  HasLastPara = true;
}

void TRtfWriter::WriteCharFormat(const TCharFormat &f) {
  std::string s = "\\plain\\f" + std::to_string(FontIndex(f.FaceName));
  int halfPoints = (f.HeightTwips + 5) / 10;
  s += "\\fs" + std::to_string(halfPoints > 0 ? halfPoints : 24);
  if (f.Effects & CFE_BOLD) s += "\\b";
  if (f.Effects & CFE_ITALIC) s += "\\i";
  if (f.Effects & CFE_UNDERLINE) s += "\\ul";
  if (f.Effects & CFE_STRIKEOUT) s += "\\strike";
  s += "\\cf" + std::to_string(ColorIndex(f.TextColor & 0xFFFFFF));
  if (f.BackColor != NoBackColor)
    s += "\\highlight" + std::to_string(ColorIndex(f.BackColor & 0xFFFFFF));
  if (f.SpacingTwips != 0)
    s += "\\expnd" + std::to_string(f.SpacingTwips / 5) + "\\expndtw" + std::to_string(f.SpacingTwips);
  s += ' ';
  *Out << s;
}

void TRtfWriter::Text(const std::u16string &text, const TCharFormat &format) {
  Text(text.data(), text.size(), format);
}

void TRtfWriter::Text(const char16_t *text, size_t length, const TCharFormat &format) {
  if (Gathering) {
    FontIndex(format.FaceName);
    ColorIndex(format.TextColor & 0xFFFFFF);
    if (format.BackColor != NoBackColor)
      ColorIndex(format.BackColor & 0xFFFFFF);
    return;
  }
  if (!HasLast || !(format == Last)) {
    WriteCharFormat(format);
    Last = format;
    HasLast = true;
  }
  std::string s;
  s.reserve(length + 16);
  Escape(s, text, length, false);
  *Out << s;
}

void TRtfWriter::EndParagraph() {
  if (!Gathering)
    *Out << "\\par\n";
}
