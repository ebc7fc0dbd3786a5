// The enhancement engine: format stacks, the paragraph rules and the main run.
// Manual commands and quote colouring are in EnhancedRTFCommands.cpp.
#include "EnhancedRTF.h"

#include <type_traits>

#include "Error.h"

namespace {

constexpr char16_t kHyphen = u'-';
constexpr char16_t kCircumflex = u'^';
constexpr char16_t kNumberSign = u'#';
constexpr char16_t kSectionSign = u'\u00A7';
constexpr char16_t kMiddleDot = u'\u00B7';

bool IsUpperAscii(char16_t c) { return c >= u'A' && c <= u'Z'; }
bool IsLowerAscii(char16_t c) { return c >= u'a' && c <= u'z'; }

// Characters that always begin a paragraph of their own kind: list items and separators.
bool IsListMark(char16_t c) { return c == u'*' || c == kHyphen || c == u'=' || c == kMiddleDot; }

bool IsQuoteChar(char16_t c) { return TEnhancedRichEdit::IsDoubleQuote(c) || TEnhancedRichEdit::IsSingleQuote(c); }

bool EndsSentence(char16_t c) { return c == u'.' || c == u'?' || c == u'!' || c == u')' || IsQuoteChar(c); }

bool IsHeadingLetter(char16_t c) { return c == u'C' || c == u'P' || c == u'S' || c == u'B'; }

// Keyword comparison without regard to case. Book text comes from single-byte
// text where only the ASCII letters fold onto the keywords' letters.
bool StartsWithNoCase(std::u16string_view text, std::u16string_view keyword) {
  if (text.size() < keyword.size()) return false;
  for (size_t i = 0; i < keyword.size(); ++i) {
    char16_t a = text[i], b = keyword[i];
    if (IsLowerAscii(a)) a = char16_t(a - 32);
    if (IsLowerAscii(b)) b = char16_t(b - 32);
    if (a != b) return false;
  }
  return true;
}

bool SameFaceName(const std::string &a, const std::string &b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = char(x - 32);
    if (y >= 'a' && y <= 'z') y = char(y - 32);
    if (x != y) return false;
  }
  return true;
}

}  // namespace

// ---------------------------------------------------------------- conversions

std::u16string TEnhancedRichEdit::ToU16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  size_t i = 0, n = text.size();
  while (i < n) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    uint32_t cp = 0xFFFD;
    size_t len = 1;
    if (c < 0x80) {
      cp = c;
    } else {
      size_t need = (c >= 0xC2 && c <= 0xDF) ? 2 : (c >= 0xE0 && c <= 0xEF) ? 3 : (c >= 0xF0 && c <= 0xF4) ? 4 : 0;
      if (need && i + need <= n) {
        uint32_t v = c & (need == 2 ? 0x1F : need == 3 ? 0x0F : 0x07);
        bool ok = true;
        for (size_t k = 1; k < need && ok; ++k) {
          unsigned char d = static_cast<unsigned char>(text[i + k]);
          ok = (d & 0xC0) == 0x80;
          v = (v << 6) | (d & 0x3F);
        }
        if (ok && ((need == 3 && v >= 0x800 && (v < 0xD800 || v > 0xDFFF)) || (need == 4 && v >= 0x10000 && v <= 0x10FFFF) ||
                   need == 2)) {
          cp = v;
          len = need;
        }
      }
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(char16_t(0xD800 + (cp >> 10)));
      out.push_back(char16_t(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(char16_t(cp));
    }
    i += len;
  }
  return out;
}

std::string TEnhancedRichEdit::ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    if (cp < 0x80) {
      out.push_back(char(cp));
    } else if (cp < 0x800) {
      out.push_back(char(0xC0 | (cp >> 6)));
      out.push_back(char(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(char(0xE0 | (cp >> 12)));
      out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(char(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(char(0xF0 | (cp >> 18)));
      out.push_back(char(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(char(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

// ---------------------------------------------------------------- format stacks

TEnhancedRichEdit::TEnhancedRichEdit() {
  SetBaseFormat(false, false, 120, 5, 10, 0, 0, 0, 0, 0, 16, "Times New Roman", false);
}

void TEnhancedRichEdit::SetBaseFormat(bool underline, bool italic, int32_t lineSpacing, int32_t spaceAfter,
                                      int32_t firstLineIndent, int32_t alignment, uint32_t secondEmphaColor,
                                      uint32_t emphaColor, uint32_t textColor, int32_t charSpacing, int32_t fontSize,
                                      const std::string &fontName, bool bold) {
  const int64_t values[faCount] = {underline,
                                   italic,
                                   bold,
                                   0,
                                   fontSize,
                                   charSpacing,
                                   NoBackColor,
                                   textColor,
                                   emphaColor,
                                   secondEmphaColor,
                                   alignment,
                                   0,
                                   0,
                                   firstLineIndent,
                                   spaceAfter,
                                   lineSpacing};
  for (int a = 0; a < faCount; ++a) Stacks[a].Values.fill(values[a]);
  FontNames.fill(fontName.empty() ? std::string("Times New Roman") : fontName);
  HeadingFlag = false;
  ResetFormatStacks();
}

void TEnhancedRichEdit::ResetFormatStacks() {
  for (auto &stack : Stacks) {
    stack.Level = 0;
    stack.Ends.fill(0);
  }
}

void TEnhancedRichEdit::Push(TFormatAttribute attribute, int64_t value, char16_t end) {
  TFormatStack &stack = Stacks[attribute];
  if (stack.Level >= TopStackLevel) stack.Level = 0;  // overflow: the pushed levels are dropped
  ++stack.Level;
  stack.Values[stack.Level] = value;
  stack.Ends[stack.Level] = end;
}

void TEnhancedRichEdit::PushFont(const std::string &name, char16_t end) {
  Push(faFontName, 0, end);
  FontNames[Stacks[faFontName].Level] = name;
}

void TEnhancedRichEdit::PushBase(TFormatAttribute attribute) {
  if (attribute == faFontName)
    PushFont(FontNames[0], u'/');
  else
    Push(attribute, Stacks[attribute].Values[0], u'/');
}

void TEnhancedRichEdit::Pop(TFormatAttribute attribute) {
  TFormatStack &stack = Stacks[attribute];
  if (stack.Level > 0) {
    stack.Ends[stack.Level] = 0;
    --stack.Level;
  }
}

// ---------------------------------------------------------------- formats

int32_t TEnhancedRichEdit::MillimetresToTwips(int64_t millimetres) { return int32_t(millimetres * 576 / 10); }
int32_t TEnhancedRichEdit::TenthsToTwips(int64_t tenths) { return int32_t(tenths * 576 / 100); }

TCharFormat TEnhancedRichEdit::CharFormat(bool all, uint32_t mask) const {
  TCharFormat f;
  f.Extended = RichEdit3 || ForceRichEdit3;
  if (all) mask = CFM_SIZE | CFM_COLOR | CFM_FACE | CFM_SPACING | CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE;
  if (!f.Extended) mask &= ~(CFM_SPACING | CFM_BACKCOLOR);
  f.Mask = mask;
  if (Top(faUnderline) || HeadingFlag) f.Effects |= CFE_UNDERLINE;
  if (Top(faItalic)) f.Effects |= CFE_ITALIC;
  if (Top(faBold)) f.Effects |= CFE_BOLD;
  f.FaceName = TopFontName();
  f.HeightTwips = int32_t(Top(faFontSize) * 20);
  f.TextColor = uint32_t(Top(faTextColor));
  if (f.Extended) {
    f.SpacingTwips = TenthsToTwips(Top(faCharSpacing));
    f.BackColor = uint32_t(Top(faBackColor));
  }
  return f;
}

TParaFormat TEnhancedRichEdit::ParaFormat(bool all, uint32_t mask) const {
  static constexpr int32_t kAlignments[4] = {PFA_LEFT, PFA_RIGHT, PFA_CENTER, PFA_JUSTIFY};
  TParaFormat f;
  f.Extended = RichEdit3 || ForceRichEdit3;
  if (all)
    mask = PFM_STARTINDENT | PFM_RIGHTINDENT | PFM_OFFSET | PFM_ALIGNMENT | PFM_SPACEAFTER | PFM_LINESPACING;
  f.StartIndent = MillimetresToTwips(Top(faLeftIndent) + Top(faFirstLineIndent));
  f.Offset = -MillimetresToTwips(Top(faFirstLineIndent));
  f.RightIndent = MillimetresToTwips(Top(faRightIndent));
  int64_t alignment = Top(faAlignment);
  f.Alignment = (alignment >= 0 && alignment <= 3) ? kAlignments[alignment] : PFA_LEFT;
  if (f.Extended) {
    f.SpaceAfter = MillimetresToTwips(Top(faSpaceAfter));
    f.LineSpacing = int32_t(Top(faLineSpacing) / 5);
    f.LineSpacingRule = 5;
    if (all) {
      mask |= PFM_TABSTOPS;
      f.TabCount = MAX_TAB_STOPS;
      for (int32_t k = 0; k < MAX_TAB_STOPS; ++k) f.Tabs[k] = f.StartIndent + 864 * k;
    }
  } else {
    mask &= PFM_STARTINDENT | PFM_RIGHTINDENT | PFM_OFFSET | PFM_ALIGNMENT;
  }
  f.Mask = mask;
  return f;
}

void TEnhancedRichEdit::ApplyCharFormat(bool all, uint32_t mask) {
  if (!RichBox || (!all && mask == 0)) return;
  RichBox->SetCharFormat(CharFormat(all, mask), all);
}

void TEnhancedRichEdit::ApplyParaFormat(bool all, uint32_t mask) {
  if (!RichBox || (!all && mask == 0)) return;
  RichBox->SetParaFormat(ParaFormat(all, mask));
}

void TEnhancedRichEdit::SelectRange(int32_t start, int32_t length) {
  SelStart = start;
  SelLength = length;
  if (RichBox) RichBox->SetSelection(start, length);
}

// ---------------------------------------------------------------- paragraph rules

std::u16string_view TEnhancedRichEdit::Trim(std::u16string_view text) {
  size_t b = 0, e = text.size();
  while (b < e && text[b] <= 32) ++b;
  while (e > b && text[e - 1] <= 32) --e;
  return text.substr(b, e - b);
}

void TEnhancedRichEdit::JoinLines(std::u16string &paragraph, std::u16string_view line) {
  if (paragraph.empty()) {
    paragraph.assign(line);
    return;
  }
  if (line.empty()) return;
  size_t n = paragraph.size();
  if (n >= 2 && paragraph[n - 1] == kHyphen && IsLowerAscii(paragraph[n - 2]) && IsLowerAscii(line[0])) {
    paragraph.pop_back();
  } else {
    paragraph.push_back(u' ');
  }
  paragraph.append(line);
}

bool TEnhancedRichEdit::StartsIndented(std::u16string_view line) {
  if (line.empty()) return false;
  if (line[0] == u'\t') return true;
  return line.size() >= 2 && line[0] == u' ' && (line[1] == u' ' || line[1] == u'\t');
}

bool TEnhancedRichEdit::ContinuesParagraph(std::u16string_view paragraph, std::u16string_view next, bool nextIndented,
                                           bool &skip) const {
  skip = IgnoreEmptyLines && !paragraph.empty() && next.empty();
  if (paragraph.empty() || next.empty()) return false;                                       // rule 1
  const char16_t F = paragraph.front(), L = paragraph.back(), N = next.front();
  if ((nextIndented || PoorlyWritten) && (IsUpperAscii(N) || IsQuoteChar(N)) && EndsSentence(L)) return false;  // 2
  if (IsListMark(N)) return false;                                                           // rule 3
  if (F == kCircumflex || N == kCircumflex) return false;                                    // rule 4
  if (F == kNumberSign || F == kSectionSign || N == kNumberSign || N == kSectionSign) return false;  // rule 5
  if (IsHeadingLetter(F) && IsChapterHeading(paragraph)) return false;                      // rule 6
  if (IsHeadingLetter(N) && IsChapterHeading(next)) return false;                           // rule 7
  if (IsListMark(F) && IsSeparatorLine(paragraph)) return false;                            // rule 8
  if (L == u':' && IsUpperAscii(N)) return false;                                            // rule 9
  return true;                                                                               // rule 10
}

bool TEnhancedRichEdit::IsSeparatorLine(std::u16string_view text) {
  for (char16_t c : {u'*', kMiddleDot, kHyphen, u'='}) {
    if (text.size() == 1 && text[0] == c) return true;
    if (text.size() == 2 && text[0] == c && text[1] == c) return true;
    if (text.size() >= 3 && text[0] == c && text[1] == c && text[2] == c) return true;
  }
  return false;
}

bool TEnhancedRichEdit::IsChapterHeading(std::u16string_view text) {
  if (text.empty()) return false;
  const char16_t first = text[0];
  if (first == kNumberSign || first == kSectionSign) return true;
  if (!IsHeadingLetter(first)) return false;
  for (std::u16string_view keyword : {u"Chapter ", u"Part ", u"Section ", u"Book "})
    if (StartsWithNoCase(text, keyword)) return true;
  return false;
}

// ---------------------------------------------------------------- the run

std::u16string TEnhancedRichEdit::ResolvePrefix(const std::string &prefixOption) {
  if (prefixOption == "None") return std::u16string();
  if (prefixOption == "Tab") return u"\t";
  if (prefixOption == "Blanks") return u"  ";
  return ToU16(prefixOption);
}

void TEnhancedRichEdit::EnhanceText(const std::vector<std::u16string> &lines, const std::string &prefixOption,
                                    bool ignoreEmptyLines, bool poorlyWritten) {
  Enhance(lines, prefixOption, ignoreEmptyLines, poorlyWritten);
}

void TEnhancedRichEdit::EnhanceText(const TTextLines &lines, const std::string &prefixOption, bool ignoreEmptyLines,
                                    bool poorlyWritten) {
  Enhance(lines, prefixOption, ignoreEmptyLines, poorlyWritten);
}

template <class TLines>
void TEnhancedRichEdit::Enhance(const TLines &lines, const std::string &prefixOption, bool ignoreEmptyLines,
                                bool poorlyWritten) {
  OP_BEGIN("TEnhancedRichEdit::EnhanceText");
  StopRequested = false;
  HasManualCommands = false;
  ChapterCount = 0;
  IgnoreEmptyLines = ignoreEmptyLines;
  PoorlyWritten = poorlyWritten;
  Prefix = ResolvePrefix(prefixOption);
  ChaptersMenu.clear();
  Position = 0;
  Paragraph.clear();
  CommandPending = false;
  Terminator = 0;
  CommandName.clear();
  CommandArgument.clear();
  if constexpr (std::is_same_v<TLines, TTextLines>)
    Paragraph.reserve(lines.TextSize());  // a book of one paragraph grows it without a copy
  OP_TRY {
    const size_t count = lines.size();
    size_t i = 0, joined = 0;  // joined: lines in the paragraph being built
    while (i < count && !StopRequested) {
      std::u16string_view trimmed = Trim(Paragraph);
      if (trimmed.size() != Paragraph.size()) {
        Line.assign(trimmed);
        Paragraph.swap(Line);
      }
      JoinLines(Paragraph, Trim(lines[i]));
      std::u16string_view next;
      bool nextIndented = false;
      if (i + 1 < count) {
        nextIndented = StartsIndented(lines[i + 1]);
        next = Trim(lines[i + 1]);
      }
      bool skip = false;
      if (!ContinuesParagraph(Paragraph, next, nextIndented, skip)) {
        EmitParagraph(Paragraph);
        joined = 0;
      } else if (++joined % 4096 == 0 && Progress) {
        StopRequested = Progress(Position);  // a paragraph of many lines still lets the caller breathe
      }
      i += skip ? 2 : 1;
    }
  }
  OP_CATCH;
  SelectRange(0, 0);
  if (StopRequested && RichBox) RichBox->Clear();
}

void TEnhancedRichEdit::EmitParagraph(std::u16string &text) {
  if (text.empty()) {
    if (RichBox) RichBox->AppendParagraph(text);
    Position += 2;
    SelStart = Position;
    SelLength = 0;
    return;
  }
  if (text[0] == kCircumflex) {
    ParseCommand(text);
    text.clear();
    return;
  }
  const int32_t start = Position;
  int32_t length = int32_t(text.size());
  const std::u16string *shown = &text;
  if (ChapterCount < MaxChapters && IsChapterHeading(text)) {
    if (RichBox) RichBox->AppendParagraph(text);
    size_t cut = std::min(text.size(), MaxCaptionLength);
    if (cut < text.size() && text[cut - 1] >= 0xD800 && text[cut - 1] <= 0xDBFF) --cut;  // keep pairs whole
    ChaptersMenu.push_back({text.substr(0, cut), start});
    ++ChapterCount;
    HeadingFlag = true;
  } else {
    if (!Prefix.empty()) {
      Prefixed.assign(Prefix);
      Prefixed.append(text);
      shown = &Prefixed;
      length += int32_t(Prefix.size());
    }
    if (RichBox) RichBox->AppendParagraph(*shown);
    HeadingFlag = false;
  }
  SelStart = start + length + 2;
  SelLength = 0;

  uint32_t charMask = 0, paraMask = 0;
  auto differs = [this](TFormatAttribute a) { return Top(a) != Base(a); };
  if (!SameFaceName(TopFontName(), BaseFontName())) charMask |= CFM_FACE;
  if (differs(faUnderline) || HeadingFlag) charMask |= CFM_UNDERLINE;
  if (differs(faItalic)) charMask |= CFM_ITALIC;
  if (differs(faBold)) charMask |= CFM_BOLD;
  if (differs(faFontSize)) charMask |= CFM_SIZE;
  if (differs(faCharSpacing)) charMask |= CFM_SPACING;
  if (differs(faTextColor)) charMask |= CFM_COLOR;
  if (differs(faBackColor) && uint32_t(Top(faBackColor)) != NoBackColor) charMask |= CFM_BACKCOLOR;
  if (differs(faLeftIndent) || differs(faFirstLineIndent)) paraMask |= PFM_STARTINDENT | PFM_OFFSET;
  if (differs(faAlignment)) paraMask |= PFM_ALIGNMENT;
  if (differs(faRightIndent)) paraMask |= PFM_RIGHTINDENT;
  if (differs(faSpaceAfter)) paraMask |= PFM_SPACEAFTER;
  if (differs(faLineSpacing)) paraMask |= PFM_LINESPACING;
  if (charMask || paraMask) {
    SelectRange(start, length);
    ApplyCharFormat(false, charMask);
    ApplyParaFormat(false, paraMask);
  }

  ColorQuotes(*shown, start, length);
  if (CommandPending) PopOneShotLevels();
  CommandPending = false;
  HeadingFlag = false;  // a later format of all text (CAD) must not underline everything
  if (RichBox) RichBox->SetModified(false);
  StopRequested = Progress ? Progress(start) : false;
  Terminator = 0;
  CommandName.clear();
  CommandArgument.clear();
  Position += length + 2;
  text.clear();
}

void TEnhancedRichEdit::Warn(const std::string &text) const {
  if (WarningHandler) WarningHandler(text);
}
