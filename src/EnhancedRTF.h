// The enhancement engine: turns the lines of a plain-text book into paragraphs
// of the reading box, executes the manual formatting commands written into the
// text, colours quoted passages and collects the chapter headings.
// Plain C++: the reading box is reached only through IRichBox.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "TextFormat.h"
#include "TextLines.h"

// The sixteen formatted attributes, each with its own stack of levels.
enum TFormatAttribute : int {
  faUnderline,
  faItalic,
  faBold,
  faFontName,
  faFontSize,          // points
  faCharSpacing,       // tenths of a millimetre
  faBackColor,         // 0x00BBGGRR or NoBackColor
  faTextColor,         // 0x00BBGGRR
  faEmphaColor,        // 0x00BBGGRR
  faSecondEmphaColor,  // 0x00BBGGRR
  faAlignment,         // 0 left, 1 right, 2 centre, 3 justified
  faLeftIndent,        // millimetres
  faRightIndent,       // millimetres
  faFirstLineIndent,   // millimetres
  faSpaceAfter,        // millimetres
  faLineSpacing,       // percent of a single line
  faCount
};

class TEnhancedRichEdit {
public:
  static constexpr int32_t StackLevels = 100;
  static constexpr int32_t TopStackLevel = StackLevels - 1;
  static constexpr size_t MaxCaptionLength = 50;
  static constexpr size_t MaxFaceNameLength = 31;

  TEnhancedRichEdit();  // base values of the construction step

  IRichBox *RichBox = nullptr;  // bound by the owner
  bool RichEdit3 = true;        // the extended format structures are always available here
  bool ForceRichEdit3 = false;
  bool HasManualCommands = false, StopRequested = false;
  int32_t ChapterCount = 0, Position = 0, MaxChapters = 30;
  std::u16string Prefix;
  bool PoorlyWritten = false, IgnoreEmptyLines = false;
  bool HeadingFlag = false;

  // The last parsed command.
  char16_t Terminator = 0;
  std::u16string CommandName, CommandArgument;

  struct TChapterEntry {
    std::u16string Caption;
    int32_t Tag;
  };
  std::vector<TChapterEntry> ChaptersMenu;  // in book order; empty = no menu
  bool HasChaptersMenu() const { return !ChaptersMenu.empty(); }

  std::function<bool(int32_t position)> Progress;               // may be empty
  std::function<void(const std::string &text)> WarningHandler;  // UTF-8; may be empty

  // ---- Format stacks ----
  void SetBaseFormat(bool underline, bool italic, int32_t lineSpacing, int32_t spaceAfter, int32_t firstLineIndent,
                     int32_t alignment, uint32_t secondEmphaColor, uint32_t emphaColor, uint32_t textColor,
                     int32_t charSpacing, int32_t fontSize, const std::string &fontName, bool bold);
  void ResetFormatStacks();
  // Value at the top level and at level 0; for faFontName use TopFontName/BaseFontName.
  int64_t Top(TFormatAttribute attribute) const { return Stacks[attribute].Values[Stacks[attribute].Level]; }
  int64_t Base(TFormatAttribute attribute) const { return Stacks[attribute].Values[0]; }
  int32_t Level(TFormatAttribute attribute) const { return Stacks[attribute].Level; }
  char16_t LevelEnd(TFormatAttribute attribute) const { return Stacks[attribute].Ends[Stacks[attribute].Level]; }
  const std::string &TopFontName() const { return FontNames[Stacks[faFontName].Level]; }
  const std::string &BaseFontName() const { return FontNames[0]; }

  // ---- Formats of the reading box ----
  TCharFormat CharFormat(bool all, uint32_t mask) const;
  TParaFormat ParaFormat(bool all, uint32_t mask) const;
  void ApplyCharFormat(bool all, uint32_t mask);
  void ApplyParaFormat(bool all, uint32_t mask);
  // Twips of millimetres (57.6 each) and of tenths of a millimetre (5.76 each), truncated toward zero.
  static int32_t MillimetresToTwips(int64_t millimetres);
  static int32_t TenthsToTwips(int64_t tenths);

  // ---- The engine ----
  static std::u16string ResolvePrefix(const std::string &prefixOption);
  void EnhanceText(const std::vector<std::u16string> &lines, const std::string &prefixOption, bool ignoreEmptyLines,
                   bool poorlyWritten);
  void EnhanceText(const TTextLines &lines, const std::string &prefixOption, bool ignoreEmptyLines,
                   bool poorlyWritten);
  // Adds one paragraph (or executes a command paragraph) and empties text.
  void EmitParagraph(std::u16string &text);

  // The joining and paragraph rules.
  static void JoinLines(std::u16string &paragraph, std::u16string_view line);
  static bool StartsIndented(std::u16string_view line);
  static std::u16string_view Trim(std::u16string_view text);
  bool ContinuesParagraph(std::u16string_view paragraph, std::u16string_view next, bool nextIndented,
                          bool &skip) const;
  static bool IsSeparatorLine(std::u16string_view text);
  static bool IsChapterHeading(std::u16string_view text);

  // ---- Manual commands and emphasis ----
  void ParseCommand(std::u16string_view line);
  void ExecuteCommand();
  void PopOneShotLevels();
  void ColorQuotes(std::u16string_view text, int32_t start, int32_t length);
  // The two colouring passes over RichBox->Text(); the caller keeps the view.
  void EmphasizeText(uint32_t emphaColor, uint32_t secondEmphaColor);

  static bool IsDoubleQuote(char16_t c) {
    return c == u'"' || c == u'\u00AB' || c == u'\u00BB' || c == u'\u201C' || c == u'\u201D';
  }
  static bool IsSingleQuote(char16_t c) { return c == u'\'' || c == u'`'; }
  // UTF-8 ↔ UTF-16 of option texts and messages (invalid bytes become U+FFFD).
  static std::u16string ToU16(std::string_view text);
  static std::string ToUtf8(std::u16string_view text);

private:
  struct TFormatStack {
    std::array<int64_t, StackLevels> Values{};
    std::array<char16_t, StackLevels> Ends{};  // end character of the command that pushed each level
    int32_t Level = 0;
  };
  std::array<TFormatStack, faCount> Stacks{};
  std::array<std::string, StackLevels> FontNames{};

  // Selection of the reading box as the engine last left it.
  int32_t SelStart = 0, SelLength = 0;
  // A command line was met since the last text paragraph.
  bool CommandPending = false;
  // Reused buffers (no allocation per paragraph).
  std::u16string Line, Paragraph, Prefixed;

  template <class TLines>
  void Enhance(const TLines &lines, const std::string &prefixOption, bool ignoreEmptyLines, bool poorlyWritten);
  void Push(TFormatAttribute attribute, int64_t value, char16_t end);
  void PushFont(const std::string &name, char16_t end);
  void PushBase(TFormatAttribute attribute);
  void Pop(TFormatAttribute attribute);
  void SelectRange(int32_t start, int32_t length);
  void ColorRange(int32_t start, int32_t length, uint32_t color);
  void Warn(const std::string &text) const;
  void ColorDoubleQuotes(std::u16string_view text, int32_t origin, uint32_t color, bool lineEndsClose);
  void ColorSingleQuotes(std::u16string_view text, int32_t origin, uint32_t color, bool lineEndsClose);
};
