// Manual formatting commands ("^B*", "^FC=Red+", ...) and the colouring of quoted passages.
#include <cstring>
#include <vector>

#include "EnhancedRTF.h"
#include "Error.h"
#include "Utilities.h"

namespace {

bool IsAsciiAlnum(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9'); }
bool IsLineEnd(char16_t c) { return c == u'\r' || c == u'\n'; }

// The first character at or after j that a quote pass must look at: plain
// ASCII text without quotes or line ends is passed four characters at a time
// (a book of one 20 MB paragraph is read twice per paragraph emitted).
size_t SkipPlain(std::u16string_view text, size_t j) {
  constexpr uint64_t ones = 0x0001000100010001ULL, highs = 0x8000800080008000ULL;
  auto holds = [](uint64_t w, uint64_t c) {
    const uint64_t x = w ^ (ones * c);  // a lane equal to c is zero
    return ((x - ones) & ~x & highs) != 0;
  };
  for (; j + 4 <= text.size(); j += 4) {
    uint64_t w;
    std::memcpy(&w, text.data() + j, sizeof w);
    if ((w & 0xFF80FF80FF80FF80ULL) != 0 || holds(w, u'"') || holds(w, u'\'') || holds(w, u'`') || holds(w, u'\n') ||
        holds(w, u'\r'))
      break;
  }
  return j;
}

// Colours of the three colour sets: back, text, emphasis, second emphasis.
struct TColorSet {
  const char *Name;
  uint32_t Back, Text, Empha, SecondEmpha;
};
constexpr TColorSet kColorSets[] = {
    {"PCS_HL", 0xFFFFFF, 0x000000, 0x820000, 0x5A00B4},
    {"PCS_LS", 0x78784B, 0xE6E6E6, 0x64CDFF, 0x0096CD},
    {"PCS_LL", 0x000000, 0x87AAB9, 0x196EB9, 0x0000AA},
};

// The first n code points of a UTF-8 text.
std::string CutUtf8(const std::string &text, size_t n) {
  size_t i = 0;
  for (size_t count = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
      if (count == n) break;
      ++count;
    }
  }
  return text.substr(0, i);
}

}  // namespace

void TEnhancedRichEdit::ParseCommand(std::u16string_view line) {
  HasManualCommands = true;
  CommandPending = true;
  CommandArgument.clear();
  size_t end = line.find(u'+');
  for (char16_t c : {u'*', u'/', u'~'})
    if (end == std::u16string_view::npos) end = line.find(c);
  if (end == std::u16string_view::npos) {
    Warn("Missing end character: " + ToUtf8(line));
    return;
  }
  // Everything after the end character is ignored, an equals sign there included.
  const size_t equals = line.find(u'=');
  const bool hasArgument = equals != std::u16string_view::npos && equals < end;
  const size_t nameEnd = hasArgument ? equals : end;
  Terminator = line[end];
  CommandName.assign(line.substr(1, nameEnd - 1));
  if (hasArgument) CommandArgument.assign(line.substr(equals + 1, end - equals - 1));
  if (!CommandName.empty()) ExecuteCommand();
}

void TEnhancedRichEdit::ExecuteCommand() {
  std::string name = ToUtf8(CommandName);
  for (char &c : name)
    if (c >= 'a' && c <= 'z') c = char(c - 32);
  const std::string argument = ToUtf8(CommandArgument);
  const char16_t end = Terminator;
  const bool valueForm = end == u'*' || end == u'+';

  // Attributes that each command affects in its slash and tilde forms.
  struct TCommandAttributes {
    const char *Name;
    std::vector<TFormatAttribute> Attributes;
  };
  static const TCommandAttributes kTable[] = {
      {"U", {faUnderline}},
      {"I", {faItalic}},
      {"B", {faBold}},
      {"F", {faFontName}},
      {"S", {faFontSize}},
      {"CS", {faCharSpacing}},
      {"BC", {faBackColor}},
      {"FC", {faTextColor}},
      {"EC", {faEmphaColor}},
      {"SEC", {faSecondEmphaColor}},
      {"A", {faAlignment}},
      {"LPI", {faLeftIndent}},
      {"RPI", {faRightIndent}},
      {"FLI", {faFirstLineIndent}},
      {"LS", {faLineSpacing}},
      {"PS_T", {faUnderline, faBold, faFontSize, faAlignment, faLeftIndent, faFirstLineIndent}},
      {"PS_H", {faUnderline, faBold, faFontSize}},
      {"PS_N", {faItalic, faFontSize}},
      {"PCS", {faBackColor, faTextColor, faEmphaColor, faSecondEmphaColor}},
      {"ALL",
       {faUnderline, faItalic, faBold, faFontName, faFontSize, faCharSpacing, faBackColor, faTextColor, faEmphaColor,
        faSecondEmphaColor, faAlignment, faLeftIndent, faRightIndent, faFirstLineIndent, faSpaceAfter,
        faLineSpacing}},
  };
  static const std::vector<TFormatAttribute> kNone;
  const std::vector<TFormatAttribute> *found = &kNone;
  for (const TCommandAttributes &entry : kTable)
    if (name == entry.Name) found = &entry.Attributes;
  const std::vector<TFormatAttribute> &affected = *found;

  if (!valueForm) {
    // Slash and tilde: every attribute-setting command but Z, the alignments, the colour sets and CAD.
    if (affected.empty()) {
      Warn("Unrecognized command: " + ToUtf8(CommandName));
      return;
    }
    for (TFormatAttribute a : affected) {
      if (end == u'/')
        PushBase(a);
      else
        Pop(a);
    }
    return;
  }

  const int64_t baseSize = Base(faFontSize);
  if (name == "U" || name == "I" || name == "B") {
    Push(affected.front(), 1, end);
  } else if (name == "F") {
    PushFont(CutUtf8(argument, MaxFaceNameLength), end);
  } else if (name == "S") {
    Push(faFontSize, GetIntFromText(argument, 8, 50, 16), end);
  } else if (name == "Z") {
    Push(faFontSize, GetIntFromText(argument, 10, 500, 100) * baseSize / 100, end);
  } else if (name == "CS") {
    Push(faCharSpacing, GetIntFromText(argument, -10, 500, 0), end);
  } else if (name == "BC" || name == "FC" || name == "EC" || name == "SEC") {
    Push(affected.front(), TextToColor(argument), end);
  } else if (name == "AL" || name == "AR" || name == "AC" || name == "AJ") {
    const int64_t alignment = name == "AL" ? 0 : name == "AR" ? 1 : name == "AC" ? 2 : 3;
    Push(faAlignment, alignment, end);
  } else if (name == "LPI") {
    Push(faLeftIndent, GetIntFromText(argument, 0, 100, 0), end);
  } else if (name == "RPI") {
    Push(faRightIndent, GetIntFromText(argument, 0, 100, 0), end);
  } else if (name == "FLI") {
    Push(faFirstLineIndent, GetIntFromText(argument, 0, 50, 10), end);
  } else if (name == "LS") {
    Push(faLineSpacing, GetIntFromText(argument, 100, 500, 120), end);
  } else if (name == "PS_T") {
    Push(faUnderline, 1, end);
    Push(faBold, 1, end);
    Push(faFontSize, baseSize * 16 / 10, end);
    Push(faAlignment, 2, end);
    Push(faLeftIndent, 0, end);
    Push(faFirstLineIndent, 0, end);
  } else if (name == "PS_H") {
    Push(faUnderline, 1, end);
    Push(faBold, 1, end);
    Push(faFontSize, baseSize * 12 / 10, end);
  } else if (name == "PS_N") {
    Push(faItalic, 1, end);
    Push(faFontSize, baseSize * 8 / 10, end);
  } else if (name.starts_with("PCS_")) {
    const TColorSet *set = nullptr;
    for (const TColorSet &s : kColorSets)
      if (name == s.Name) set = &s;
    if (!set) {
      Warn("Unrecognized command: " + ToUtf8(CommandName));
      return;
    }
    Push(faBackColor, set->Back, end);
    Push(faTextColor, set->Text, end);
    Push(faEmphaColor, set->Empha, end);
    Push(faSecondEmphaColor, set->SecondEmpha, end);
  } else if (name == "CAD") {
    for (int a = 0; a < faCount; ++a) Stacks[a].Values[0] = Stacks[a].Values[Stacks[a].Level];
    FontNames[0] = FontNames[Stacks[faFontName].Level];
    ApplyCharFormat(true, 0);
    if (RichBox) RichBox->SetSelection(SelStart, SelLength);
    ApplyParaFormat(true, 0);
  } else {
    Warn("Unrecognized command: " + ToUtf8(CommandName));
  }
}

void TEnhancedRichEdit::PopOneShotLevels() {
  for (TFormatStack &stack : Stacks)
    if (stack.Level > 0 && stack.Ends[stack.Level] == u'+') {
      stack.Ends[stack.Level] = 0;
      --stack.Level;
    }
}

void TEnhancedRichEdit::ColorRange(int32_t start, int32_t length, uint32_t color) {
  if (length <= 0 || !RichBox) return;
  SelectRange(start, length);
  TCharFormat format;
  format.Mask = CFM_COLOR;
  format.TextColor = color;
  RichBox->SetCharFormat(format, false);
}

// Double quotes are interchangeable: the first opens, the next closes.
void TEnhancedRichEdit::ColorDoubleQuotes(std::u16string_view text, int32_t origin, uint32_t color,
                                          bool lineEndsClose) {
  ptrdiff_t open = -1;
  for (size_t j = SkipPlain(text, 0); j < text.size(); j = SkipPlain(text, j + 1)) {
    const char16_t c = text[j];
    if (lineEndsClose && IsLineEnd(c)) {
      open = -1;
    } else if (IsDoubleQuote(c)) {
      if (open < 0) {
        open = ptrdiff_t(j);
      } else {
        ColorRange(origin + int32_t(open) + 1, int32_t(j - open - 1), color);
        open = -1;
      }
    }
  }
}

// Single quotes, telling apostrophes (a letter or digit before an opening one,
// after a closing one) from quotes; a double quote closes without colouring.
void TEnhancedRichEdit::ColorSingleQuotes(std::u16string_view text, int32_t origin, uint32_t color,
                                          bool lineEndsClose) {
  ptrdiff_t open = -1;
  for (size_t j = SkipPlain(text, 0); j < text.size(); j = SkipPlain(text, j + 1)) {
    const char16_t c = text[j];
    if ((lineEndsClose && IsLineEnd(c)) || IsDoubleQuote(c)) {
      open = -1;
    } else if (IsSingleQuote(c)) {
      if (open < 0) {
        if (!(j > 0 && IsAsciiAlnum(text[j - 1]))) open = ptrdiff_t(j);
      } else if (!(j + 1 < text.size() && IsAsciiAlnum(text[j + 1]))) {
        ColorRange(origin + int32_t(open) + 1, int32_t(j - open - 1), color);
        open = -1;
      }
    }
  }
}

void TEnhancedRichEdit::ColorQuotes(std::u16string_view text, int32_t start, int32_t length) {
  text = text.substr(0, size_t(std::max(length, 0)));
  const uint32_t empha = uint32_t(Top(faEmphaColor)), second = uint32_t(Top(faSecondEmphaColor));
  if (empha != uint32_t(Base(faTextColor))) ColorDoubleQuotes(text, start, empha, false);
  if (second != empha) ColorSingleQuotes(text, start, second, false);
}

void TEnhancedRichEdit::EmphasizeText(uint32_t emphaColor, uint32_t secondEmphaColor) {
  OP_BEGIN("TEnhancedRichEdit::EmphasizeText");
  OP_TRY {
    if (RichBox) {
      SelectRange(0, 0);
      const std::u16string text = RichBox->Text();
      ColorDoubleQuotes(text, 0, emphaColor, true);
      ColorSingleQuotes(text, 0, secondEmphaColor, true);
    }
  }
  OP_CATCH;
  SelectRange(0, 0);
}
