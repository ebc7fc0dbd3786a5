// Character and paragraph formats of the reading box, in the units and with the
// mask bits of the rich-edit structures (twips, points × 20, 0x00BBGGRR colours).
// Plain C++ so that the enhancement engine can describe formats without the toolkit.
#pragma once

#include <array>
#include <cstdint>
#include <string>

// Character format mask bits.
constexpr uint32_t CFM_BOLD = 0x00000001;
constexpr uint32_t CFM_ITALIC = 0x00000002;
constexpr uint32_t CFM_UNDERLINE = 0x00000004;
constexpr uint32_t CFM_STRIKEOUT = 0x00000008;
constexpr uint32_t CFM_LINK = 0x00000020;
constexpr uint32_t CFM_SPACING = 0x00200000;
constexpr uint32_t CFM_BACKCOLOR = 0x04000000;
constexpr uint32_t CFM_FACE = 0x20000000;
constexpr uint32_t CFM_COLOR = 0x40000000;
constexpr uint32_t CFM_SIZE = 0x80000000;
// Character effects.
constexpr uint32_t CFE_BOLD = 0x0001;
constexpr uint32_t CFE_ITALIC = 0x0002;
constexpr uint32_t CFE_UNDERLINE = 0x0004;
constexpr uint32_t CFE_STRIKEOUT = 0x0008;
constexpr uint32_t CFE_LINK = 0x0020;

// Paragraph format mask bits.
constexpr uint32_t PFM_STARTINDENT = 0x00000001;
constexpr uint32_t PFM_RIGHTINDENT = 0x00000002;
constexpr uint32_t PFM_OFFSET = 0x00000004;
constexpr uint32_t PFM_ALIGNMENT = 0x00000008;
constexpr uint32_t PFM_TABSTOPS = 0x00000010;
constexpr uint32_t PFM_SPACEBEFORE = 0x00000040;
constexpr uint32_t PFM_SPACEAFTER = 0x00000080;
constexpr uint32_t PFM_LINESPACING = 0x00000100;
// Alignments.
constexpr int PFA_LEFT = 1;
constexpr int PFA_RIGHT = 2;
constexpr int PFA_CENTER = 3;
constexpr int PFA_JUSTIFY = 4;
constexpr int MAX_TAB_STOPS = 32;

// Colour value meaning "no back colour".
constexpr uint32_t NoBackColor = 0x1FFFFFFF;

struct TCharFormat {
  bool Extended = false;          // the extended structure: spacing and back colour are used
  uint32_t Mask = 0;              // which fields are valid (CFM_*)
  uint32_t Effects = 0;           // CFE_* bits for bold, italic, underline, ...
  std::string FaceName;           // UTF-8
  int32_t HeightTwips = 0;        // font size in points × 20
  uint32_t TextColor = 0;         // 0x00BBGGRR
  int32_t SpacingTwips = 0;       // extra space between letters (extended only)
  uint32_t BackColor = NoBackColor;  // 0x00BBGGRR, or NoBackColor for none (extended only)
  bool operator==(const TCharFormat &) const = default;
};

struct TParaFormat {
  bool Extended = false;          // the extended structure: space after, line spacing, tabs
  uint32_t Mask = 0;              // PFM_*
  int32_t StartIndent = 0;        // twips, first line
  int32_t Offset = 0;             // twips, following lines relative to the first
  int32_t RightIndent = 0;        // twips
  int32_t Alignment = PFA_LEFT;   // PFA_*
  int32_t SpaceBefore = 0;        // twips (extended only)
  int32_t SpaceAfter = 0;         // twips (extended only)
  int32_t LineSpacing = 0;        // with rule 5: twentieths of a line (extended only)
  int32_t LineSpacingRule = 0;    // 0 single, 5 twentieths of a line (extended only)
  int32_t TabCount = 0;
  std::array<int32_t, MAX_TAB_STOPS> Tabs{};  // twips
  bool operator==(const TParaFormat &) const = default;
};

// What the enhancement engine needs from the reading box. Positions count each
// paragraph end as two characters (CR LF) and other characters as UTF-16 code units.
class IRichBox {
public:
  virtual ~IRichBox() = default;
  // Appends the text as a new paragraph at the end.
  virtual void AppendParagraph(const std::u16string &text) = 0;
  virtual void SetSelection(int32_t start, int32_t length) = 0;
  // Sets the character format on the selection, or on all text.
  virtual void SetCharFormat(const TCharFormat &format, bool all) = 0;
  // Sets the paragraph format of the paragraphs the selection touches.
  virtual void SetParaFormat(const TParaFormat &format) = 0;
  // The whole text, paragraph ends as CR LF.
  virtual std::u16string Text() const = 0;
  virtual void Clear() = 0;
  virtual void SetModified(bool modified) = 0;
};
