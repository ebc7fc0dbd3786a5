// RTF reader: tokenizer and interpreter (see RtfReader.h).
#include "RtfReader.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <unordered_map>
#include <unordered_set>
#include <vector>

char16_t Cp1252ToUnicode(uint8_t byte) {
  static const char16_t high[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
  if (byte >= 0x80 && byte < 0xA0)
    return high[byte - 0x80];
  return byte;
}

namespace {

// Where the text of a group goes.
enum class TDest { Text, FontTable, FontName, ColorTable, Skip, Upr };

struct TGroupState {
  TCharFormat Char;
  TParaFormat Para;
  TDest Dest = TDest::Text;
  int Uc = 1;
  int FontNumber = -1;  // the \f in force, for its code page
};

struct TFont {
  std::string Name;
  int CodePage = 0;  // 0: the document's
};

// Code page of an RTF character set number (\fcharset); 0 for "the document's".
int CharsetCodePage(int charset) {
  switch (charset) {
  case 0: return 1252;
  case 77: return 10000;
  case 128: return 932;
  case 129: return 949;
  case 134: return 936;
  case 136: return 950;
  case 161: return 1253;
  case 162: return 1254;
  case 163: return 1258;
  case 177: return 1255;
  case 178: return 1256;
  case 186: return 1257;
  case 204: return 1251;
  case 222: return 874;
  case 238: return 1250;
  default: return 0;
  }
}

void AppendUtf8(std::string &out, char16_t c) {
  // Font names are short and rarely outside the basic plane: surrogates pass as
  // replacement characters.
  uint32_t u = (c >= 0xD800 && c < 0xE000) ? 0xFFFD : c;
  if (u < 0x80) {
    out += char(u);
  } else if (u < 0x800) {
    out += char(0xC0 | (u >> 6));
    out += char(0x80 | (u & 0x3F));
  } else {
    out += char(0xE0 | (u >> 12));
    out += char(0x80 | ((u >> 6) & 0x3F));
    out += char(0x80 | (u & 0x3F));
  }
}

TCharFormat DefaultCharFormat() {
  TCharFormat f;
  f.Extended = true;
  f.Mask = CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_STRIKEOUT | CFM_SPACING | CFM_BACKCOLOR | CFM_FACE |
           CFM_COLOR | CFM_SIZE;
  f.HeightTwips = 240;
  return f;
}

TParaFormat DefaultParaFormat() {
  TParaFormat p;
  p.Extended = true;
  p.Mask = PFM_STARTINDENT | PFM_RIGHTINDENT | PFM_OFFSET | PFM_ALIGNMENT | PFM_TABSTOPS | PFM_SPACEBEFORE |
           PFM_SPACEAFTER | PFM_LINESPACING;
  return p;
}

}  // namespace

struct TRtfReader::TImpl {
  IRtfSink &Sink;
  explicit TImpl(IRtfSink &sink) : Sink(sink) {}
  ~TImpl() {
    for (auto &c : Converters)
      if (c.second != iconv_t(-1))
        iconv_close(c.second);
  }

  // ---- input ----
  std::FILE *File = nullptr;
  const std::string *Data = nullptr;
  std::vector<char> Buffer;
  size_t BufPos = 0, BufLen = 0;
  bool Eof = false;

  int Get() {
    if (BufPos < BufLen)
      return uint8_t(Buffer[BufPos++]);
    if (Eof)
      return -1;
    if (Data) {
      Eof = true;
      return -1;
    }
    BufLen = std::fread(Buffer.data(), 1, Buffer.size(), File);
    BufPos = 0;
    if (BufLen == 0) {
      Eof = true;
      return -1;
    }
    return uint8_t(Buffer[BufPos++]);
  }
  void Unget() {
    if (BufPos > 0)
      --BufPos;
  }

  // ---- state ----
  std::vector<TGroupState> Stack;
  TGroupState St;
  std::map<int, TFont> Fonts;
  static constexpr uint32_t AutoColor = 0xFFFFFFFF;
  // Entries kept of the font and colour tables; what a table holds beyond
  // them is read and left out (their runs take the default).
  static constexpr size_t MaxFonts = 4096, MaxColors = 4096;
  std::vector<uint32_t> Colors;  // 0x00BBGGRR, or AutoColor for an empty entry
  int ColorR = 0, ColorG = 0, ColorB = 0;
  bool ColorHasValue = false;
  int DefaultFont = -1;
  int DocCodePage = 1252;
  int SkipCount = 0;  // characters still to skip after \u
  bool SeenRtf = false;
  std::string FontNameBytes;
  std::vector<int> PendingTabs;

  // ---- output ----
  std::u16string Run;
  TCharFormat RunFormat;
  std::string Bytes;  // undecoded \'hh and raw high bytes
  std::map<int, iconv_t> Converters;

  int CurrentCodePage() const {
    auto it = Fonts.find(St.FontNumber);
    if (it != Fonts.end() && it->second.CodePage != 0)
      return it->second.CodePage;
    return DocCodePage;
  }

  void Decode(const std::string &bytes, std::u16string &out) {
    int cp = CurrentCodePage();
    if (cp == 1252 || cp == 0) {
      for (unsigned char b : bytes)
        out += Cp1252ToUnicode(b);
      return;
    }
    auto it = Converters.find(cp);
    if (it == Converters.end()) {
      std::string name = cp == 10000 ? "MACINTOSH" : "CP" + std::to_string(cp);
      it = Converters.emplace(cp, iconv_open("UTF-16LE", name.c_str())).first;
    }
    if (it->second == iconv_t(-1)) {
      for (unsigned char b : bytes)
        out += Cp1252ToUnicode(b);
      return;
    }
    iconv(it->second, nullptr, nullptr, nullptr, nullptr);
    std::string in = bytes;
    char *inPtr = in.data();
    size_t inLeft = in.size();
    std::vector<char> buf(in.size() * 4 + 8);
    while (inLeft > 0) {
      char *outPtr = buf.data();
      size_t outLeft = buf.size();
      size_t r = iconv(it->second, &inPtr, &inLeft, &outPtr, &outLeft);
      size_t produced = buf.size() - outLeft;
      for (size_t i = 0; i + 1 < produced; i += 2)
        out += char16_t(uint8_t(buf[i]) | (uint8_t(buf[i + 1]) << 8));
      if (r == size_t(-1)) {
        if (errno == E2BIG)
          continue;
        // An invalid or incomplete sequence: one replacement character per byte.
        out += char16_t(0xFFFD);
        ++inPtr;
        --inLeft;
        iconv(it->second, nullptr, nullptr, nullptr, nullptr);
      }
    }
  }

  // True when the undecoded bytes end with the lead byte of a double-byte
  // character whose trail byte may follow as a plain character.
  bool AwaitsTrailByte() const {
    int cp = CurrentCodePage();
    if (cp != 932 && cp != 936 && cp != 949 && cp != 950)
      return false;
    size_t i = 0;
    while (i < Bytes.size()) {
      uint8_t b = uint8_t(Bytes[i]);
      bool lead = cp == 932 ? ((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC)) : (b >= 0x81 && b <= 0xFE);
      i += lead ? 2 : 1;
    }
    return i > Bytes.size();
  }

  void FlushBytes() {
    if (Bytes.empty())
      return;
    std::string bytes;
    bytes.swap(Bytes);
    if (St.Dest == TDest::FontName) {
      std::u16string text;
      Decode(bytes, text);
      for (char16_t c : text)
        AppendUtf8(FontNameBytes, c);
    } else if (St.Dest == TDest::Text) {
      if (!(St.Char == RunFormat))
        FlushRun();
      std::u16string text;
      Decode(bytes, text);
      for (char16_t c : text)
        if (!IsControl(c))
          Run += c;
    }
  }

  void FlushRun() {
    if (!Run.empty())
      Sink.RtfText(Run, RunFormat);
    Run.clear();
    RunFormat = St.Char;
  }

  // Control characters other than the tab are not text.
  static bool IsControl(char16_t c) { return (c < 0x20 && c != 0x09) || c == 0x7F; }

  void PutChar(char16_t c) {
    if (IsControl(c))
      return;
    if (St.Dest == TDest::FontName) {
      AppendUtf8(FontNameBytes, c);
      return;
    }
    if (St.Dest != TDest::Text)
      return;
    if (!Bytes.empty())
      FlushBytes();
    if (!(St.Char == RunFormat))
      FlushRun();
    Run += c;
  }

  void ParagraphEnd() {
    FlushBytes();
    if (St.Dest != TDest::Text)
      return;
    FlushRun();
    Sink.RtfParagraphEnd(St.Para);
  }

  void EndFontName() {
    FlushBytes();
    std::string name = FontNameBytes;
    while (!name.empty() && (name.back() == ' ' || name.back() == ';'))
      name.pop_back();
    size_t first = name.find_first_not_of(' ');
    name = first == std::string::npos ? std::string() : name.substr(first);
    if (St.FontNumber >= 0)
      Fonts[St.FontNumber].Name = name;
    FontNameBytes.clear();
  }

  void SelectFont(int number) {
    St.FontNumber = number;
    auto it = Fonts.find(number);
    St.Char.FaceName = it != Fonts.end() ? it->second.Name : std::string();
  }

  uint32_t ColorAt(int index, uint32_t fallback) const {
    if (index < 0 || index >= int(Colors.size()) || Colors[index] == AutoColor)
      return fallback;
    return Colors[index];
  }

  // Measures as far as a page can hold them (22 inches either way), so that
  // no sum or scaling of them overflows.
  static constexpr int MaxTwips = 31680;
  static int32_t Twips(int value) { return std::clamp(value, -MaxTwips, MaxTwips); }

  bool Fail(std::string &error, const std::string &text) {
    error = text;
    return false;
  }

  // A control word with its parameter.
  void ControlWord(const std::string &word, bool hasParam, int param, bool starred) {
    if (SkipCount > 0) {
      // A control word stands for one skipped character, except the group-opening ones.
      --SkipCount;
      return;
    }
    TCharFormat &c = St.Char;
    TParaFormat &p = St.Para;
    auto on = [&](uint32_t effect) {
      if (!hasParam || param != 0)
        c.Effects |= effect;
      else
        c.Effects &= ~effect;
    };
    // Destinations.
    static const std::unordered_set<std::string> skipped = {
        "pict", "info", "stylesheet", "header", "footer", "headerl", "headerr", "headerf", "footerl", "footerr",
        "footerf", "footnote", "annotation", "object", "fldinst", "themedata", "colorschememapping",
        "latentstyles", "datastore", "xmlnstbl", "listtable", "listoverridetable", "rsidtbl", "generator",
        "bkmkstart", "bkmkend", "nonshppict", "shp", "shpinst", "shppict", "author", "operator", "title",
        "comment", "atnid", "atnauthor", "private", "revtbl", "filetbl", "pgdsctbl", "xe", "tc", "txe",
        "objdata", "result", "do", "template", "userprops", "docvar", "mmathPr", "fchars", "lchars",
        "pnseclvl", "pntxta", "pntxtb", "subject", "keywords", "doccomm", "company", "category",
        "manager", "hlinkbase", "creatim", "revtim", "printim", "buptim", "wgrffmtfilter", "ftnsep",
        "ftnsepc", "ftncn", "aftnsep", "aftnsepc", "aftncn", "panose", "falt", "fname", "listpicture",
        "passwordhash", "factoidname", "blipuid", "sp", "sn", "sv", "picprop", "background"};
    // Nested tables: \nonesttables holds the text meant for readers without
    // them; the row end \nestrow is written inside \*\nesttableprops.
    if (skipped.count(word) || word == "nonesttables") {
      FlushBytes();
      if (St.Dest == TDest::Text)
        FlushRun();
      St.Dest = TDest::Skip;
      return;
    }
    // {\upr{ANSI text}{\*\ud{Unicode text}}}: the Unicode text is shown.
    if (word == "upr" && St.Dest == TDest::Text) {
      FlushBytes();
      FlushRun();
      St.Dest = TDest::Upr;
      return;
    }
    if (word == "ud" && St.Dest == TDest::Upr) {
      St.Dest = TDest::Text;
      return;
    }
    if (St.Dest == TDest::Skip || St.Dest == TDest::Upr)
      return;
    if (starred && word != "fldrslt" && word != "shptxt" && word != "pntext" && word != "listtext" &&
        word != "nesttableprops") {
      // An unknown optional destination: skipped as a whole.
      FlushBytes();
      if (St.Dest == TDest::Text)
        FlushRun();
      St.Dest = TDest::Skip;
      return;
    }
    if (word == "fonttbl") {
      St.Dest = TDest::FontTable;
      return;
    }
    if (word == "colortbl") {
      St.Dest = TDest::ColorTable;
      Colors.clear();
      ColorHasValue = false;
      return;
    }
    if (word == "u") {
      int v = param;
      if (v < 0)
        v += 65536;
      if (v >= 0 && v <= 0xFFFF)
        PutChar(char16_t(v));
      SkipCount = St.Uc;
      return;
    }
    if (word == "uc") {
      St.Uc = param < 0 ? 0 : (param > 10 ? 10 : param);
      return;
    }
    if (St.Dest == TDest::FontTable || St.Dest == TDest::FontName) {
      if (word == "f") {
        // A table beyond its cap: the further fonts are read and forgotten.
        St.FontNumber = Fonts.size() < MaxFonts || Fonts.count(param) ? param : -1;
        if (St.FontNumber >= 0)
          Fonts[param];
        St.Dest = TDest::FontName;
        FontNameBytes.clear();
      } else if (word == "fcharset" && St.FontNumber >= 0) {
        Fonts[St.FontNumber].CodePage = CharsetCodePage(param);
      } else if (word == "cpg" && St.FontNumber >= 0 && hasParam) {
        Fonts[St.FontNumber].CodePage = param;
      }
      return;
    }
    if (St.Dest == TDest::ColorTable) {
      if (word == "red") {
        ColorR = param;
        ColorHasValue = true;
      } else if (word == "green") {
        ColorG = param;
        ColorHasValue = true;
      } else if (word == "blue") {
        ColorB = param;
        ColorHasValue = true;
      }
      return;
    }
    // Document properties.
    if (word == "rtf") {
      SeenRtf = true;
      return;
    }
    if (word == "ansicpg") {
      if (param > 0)
        DocCodePage = param;
      return;
    }
    if (word == "mac") {
      DocCodePage = 10000;
      return;
    }
    if (word == "pc") {
      DocCodePage = 437;
      return;
    }
    if (word == "pca") {
      DocCodePage = 850;
      return;
    }
    if (word == "deff") {
      DefaultFont = param;
      return;
    }
    // Special characters and breaks.
    if (word == "par" || word == "sect" || word == "row" || word == "nestrow") {
      ParagraphEnd();
      return;
    }
    static const std::unordered_map<std::string, char16_t> specials = {
        {"line", 0x2028},    {"tab", 0x0009},      {"cell", 0x0009},    {"nestcell", 0x0009}, {"emdash", 0x2014},
        {"endash", 0x2013},  {"lquote", 0x2018},   {"rquote", 0x2019},  {"ldblquote", 0x201C},
        {"rdblquote", 0x201D}, {"bullet", 0x2022}, {"emspace", 0x2003}, {"enspace", 0x2002},
        {"qmspace", 0x2005}, {"zwj", 0x200D},      {"zwnj", 0x200C},    {"zwbo", 0x200B},
        {"ltrmark", 0x200E}, {"rtlmark", 0x200F}};
    auto special = specials.find(word);
    if (special != specials.end()) {
      PutChar(special->second);
      return;
    }
    // Character formats.
    if (word == "plain") {
      c = DefaultCharFormat();
      SelectFont(Fonts.count(DefaultFont) || Fonts.empty() ? DefaultFont : Fonts.begin()->first);
      return;
    }
    if (word == "b") return on(CFE_BOLD);
    if (word == "i") return on(CFE_ITALIC);
    if (word == "strike" || word == "striked") return on(CFE_STRIKEOUT);
    if (word == "ul" || word == "uld" || word == "uldb" || word == "uldash" || word == "uldashd" ||
        word == "uldashdd" || word == "ulth" || word == "ulw" || word == "ulwave" || word == "uldbwave" ||
        word == "ulhwave" || word == "ulthd" || word == "ulthdash" || word == "ulldash")
      return on(CFE_UNDERLINE);
    if (word == "ulnone") {
      c.Effects &= ~CFE_UNDERLINE;
      return;
    }
    if (word == "f") {
      SelectFont(param);
      return;
    }
    if (word == "fs") {
      if (hasParam && param > 0 && param <= 3276)
        c.HeightTwips = param * 10;
      return;
    }
    if (word == "cf") {
      c.TextColor = ColorAt(param, 0);
      return;
    }
    if (word == "cb" || word == "highlight" || word == "chcbpat") {
      c.BackColor = ColorAt(param, NoBackColor);
      return;
    }
    if (word == "expnd") {
      c.SpacingTwips = std::clamp(param, -MaxTwips / 5, MaxTwips / 5) * 5;  // quarter points
      return;
    }
    if (word == "expndtw") {
      c.SpacingTwips = Twips(param);
      return;
    }
    // Paragraph formats.
    if (word == "pard") {
      p = DefaultParaFormat();
      PendingTabs.clear();
      return;
    }
    if (word == "ql") { p.Alignment = PFA_LEFT; return; }
    if (word == "qr") { p.Alignment = PFA_RIGHT; return; }
    if (word == "qc") { p.Alignment = PFA_CENTER; return; }
    if (word == "qj" || word == "qd") { p.Alignment = PFA_JUSTIFY; return; }
    if (word == "li") {
      // Left indent of the following lines: keep the first-line indent relative to it.
      int32_t firstRel = -p.Offset;
      p.StartIndent = Twips(param) + firstRel;
      p.Offset = -firstRel;
      return;
    }
    if (word == "fi") {
      int32_t left = p.StartIndent + p.Offset;
      p.Offset = -Twips(param);
      p.StartIndent = left + Twips(param);
      return;
    }
    if (word == "ri") { p.RightIndent = Twips(param); return; }
    if (word == "sa") { p.SpaceAfter = Twips(param); return; }
    if (word == "sb") { p.SpaceBefore = Twips(param); return; }
    if (word == "sl") {
      // Taken as proportional until \slmult0 says otherwise; 0 or negative means single.
      if (param > 0) {
        p.LineSpacingRule = 5;
        p.LineSpacing = Twips(param) / 12;
      } else {
        p.LineSpacingRule = 0;
        p.LineSpacing = 0;
      }
      return;
    }
    if (word == "slmult") {
      if (param == 0) {  // exact or at-least spacing in twips: shown single
        p.LineSpacingRule = 0;
        p.LineSpacing = 0;
      }
      return;
    }
    if (word == "tx" || word == "tb") {
      if (p.TabCount < MAX_TAB_STOPS && param >= 0)
        p.Tabs[p.TabCount++] = Twips(param);
      return;
    }
  }

  // A control symbol (\ followed by a non-letter).
  void ControlSymbol(int ch) {
    if (SkipCount > 0 && ch != '\'') {
      --SkipCount;
      return;
    }
    switch (ch) {
    case '\\': case '{': case '}':
      PutChar(char16_t(ch));
      break;
    case '~': PutChar(0x00A0); break;
    case '_': PutChar(0x2011); break;
    case '-': PutChar(0x00AD); break;
    case '\r': case '\n':
      ParagraphEnd();
      break;
    default:
      break;
    }
  }

  void EndColor() {
    if (Colors.size() >= MaxColors)
      return;
    if (ColorHasValue)
      Colors.push_back(uint32_t((ColorR & 0xFF) | ((ColorG & 0xFF) << 8) | ((ColorB & 0xFF) << 16)));
    else
      Colors.push_back(AutoColor);
    ColorR = ColorG = ColorB = 0;
    ColorHasValue = false;
  }

  bool Parse(std::string &error) {
    St.Char = DefaultCharFormat();
    St.Para = DefaultParaFormat();
    RunFormat = St.Char;
    // Leading white space is tolerated; the first token must open the document.
    int ch = Get();
    while (ch == ' ' || ch == '\r' || ch == '\n' || ch == '\t' || ch == 0xEF || ch == 0xBB || ch == 0xBF)
      ch = Get();
    if (ch != '{')
      return Fail(error, "The file does not begin with an RTF group.");
    Unget();
    int depth = 0;
    bool done = false;
    while (!done) {
      ch = Get();
      if (ch < 0)
        break;
      switch (ch) {
      case '{':
        FlushBytes();
        if (depth >= MaxDepth)
          return Fail(error, "Groups are nested too deeply.");
        Stack.push_back(St);
        ++depth;
        SkipCount = 0;
        break;
      case '}': {
        FlushBytes();
        if (St.Dest == TDest::FontName)
          EndFontName();
        if (Stack.empty())
          return Fail(error, "A group ends that never began.");
        if (Stack.size() == 1) {
          // The end of the document: the state stays for the last paragraph.
          done = true;
          break;
        }
        bool wasFontTable = St.Dest == TDest::FontTable;
        St = Stack.back();
        Stack.pop_back();
        --depth;
        SkipCount = 0;
        if (wasFontTable && St.Dest == TDest::Text && St.FontNumber < 0 && !Fonts.empty()) {
          // The default font: \deff, else the first of the table.
          SelectFont(Fonts.count(DefaultFont) ? DefaultFont : Fonts.begin()->first);
          if (Run.empty())
            RunFormat = St.Char;
        }
        if (depth == 0)
          done = true;
        break;
      }
      case '\\': {
        int c2 = Get();
        if (c2 < 0) {
          done = true;  // a lone backslash at the end: the text read stays
          break;
        }
        if ((c2 >= 'a' && c2 <= 'z') || (c2 >= 'A' && c2 <= 'Z')) {
          std::string word(1, char(c2));
          int c3 = Get();
          while ((c3 >= 'a' && c3 <= 'z') || (c3 >= 'A' && c3 <= 'Z')) {
            if (word.size() < 32)  // longer words are no words of ours
              word += char(c3);
            c3 = Get();
          }
          bool hasParam = false, negative = false;
          long long param = 0;
          if (c3 == '-') {
            negative = true;
            c3 = Get();
          }
          int digits = 0;
          while (c3 >= '0' && c3 <= '9') {
            hasParam = true;
            if (digits < 10)
              param = param * 10 + (c3 - '0');
            ++digits;
            c3 = Get();
          }
          if (param > 2147483647LL)
            param = 2147483647LL;
          if (negative)
            param = -param;
          if (c3 >= 0 && c3 != ' ')
            Unget();
          if (word == "bin") {
            // Binary data: skipped byte by byte.
            for (long long k = 0; k < param && !done; ++k)
              done = Get() < 0;  // cut inside the data: the text read stays
            break;
          }
          if (word != "u" && word != "'")
            FlushBytes();
          ControlWord(word, hasParam, int(param), PendingStar);
          PendingStar = false;
        } else if (c2 == '\'') {
          int h1 = Get(), h2 = Get();
          auto hex = [](int h) {
            if (h >= '0' && h <= '9') return h - '0';
            if (h >= 'a' && h <= 'f') return h - 'a' + 10;
            if (h >= 'A' && h <= 'F') return h - 'A' + 10;
            return -1;
          };
          if (h1 < 0 || h2 < 0) {
            done = true;  // cut inside the code: the text read stays
            break;
          }
          int v1 = hex(h1), v2 = hex(h2);
          if (v1 < 0 || v2 < 0)
            break;  // a broken code: ignored
          if (SkipCount > 0) {
            --SkipCount;
            break;
          }
          if (St.Dest == TDest::Text || St.Dest == TDest::FontName)
            Bytes += char(v1 * 16 + v2);
        } else if (c2 == '*') {
          PendingStar = true;
        } else {
          FlushBytes();
          ControlSymbol(c2);
        }
        break;
      }
      case '\r':
      case '\n':
        break;
      default:
        if (SkipCount > 0) {
          --SkipCount;
          break;
        }
        if (St.Dest == TDest::ColorTable) {
          if (ch == ';')
            EndColor();
          break;
        }
        if (St.Dest == TDest::FontName && ch == ';') {
          EndFontName();
          St.Dest = TDest::FontTable;
          break;
        }
        if (St.Dest == TDest::FontTable) {
          // Text right after \fonttbl without a \f: an unnumbered font.
          break;
        }
        if (St.Dest != TDest::Text && St.Dest != TDest::FontName)
          break;
        if (ch == 0)
          break;
        if (ch >= 0x80 || (!Bytes.empty() && AwaitsTrailByte())) {
          Bytes += char(ch);
        } else {
          PutChar(char16_t(ch));
        }
        break;
      }
      if (ch != '\\')
        PendingStar = false;
    }
    if (!SeenRtf)
      return Fail(error, "The file is not RTF: the \\rtf keyword is missing.");
    // A truncated document keeps what was read (as word processors do).
    FlushBytes();
    FlushRun();
    Sink.RtfDocumentEnd(St.Para);
    return true;
  }
  bool PendingStar = false;
};

TRtfReader::TRtfReader(IRtfSink &sink) : Impl(nullptr), Sink(sink) {}

TRtfReader::~TRtfReader() { delete Impl; }

bool TRtfReader::Run(std::FILE *file, const std::string *data) {
  delete Impl;
  Impl = new TImpl(Sink);
  ErrorText.clear();
  if (data) {
    Impl->Data = data;
    Impl->Buffer.assign(data->begin(), data->end());
    Impl->BufLen = data->size();
  } else {
    Impl->File = file;
    Impl->Buffer.resize(1 << 16);
  }
  bool ok = Impl->Parse(ErrorText);
  delete Impl;
  Impl = nullptr;
  return ok;
}

bool TRtfReader::ReadFile(const std::string &path) {
  std::FILE *file = std::fopen(path.c_str(), "rb");
  if (!file) {
    ErrorText = std::strerror(errno);
    return false;
  }
  bool ok = Run(file, nullptr);
  if (ok && std::ferror(file)) {
    ErrorText = "The file could not be read.";
    ok = false;
  }
  std::fclose(file);
  return ok;
}

bool TRtfReader::ReadString(const std::string &data) { return Run(nullptr, &data); }
