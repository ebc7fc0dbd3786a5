// The program-wide options of Pagelume.ini: section Pagelume_Main and the
// converter's units of section Pagelume_ConvertMeasure, with their defaults,
// ranges, offered values and the order in which they are written. Plain C++:
// the main window copies the record to and from its option controls.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

class TStoredTextList;

// An integer option offered as a drop-down list.
struct TIntOption {
  const char *Key;
  int32_t Default;
  int32_t Minimum;
  int32_t Maximum;
  std::vector<int32_t> Offered;
  bool IsOffered(int32_t value) const;
  // The value read back from a list's text: empty, not a number or outside
  // the range gives the default.
  int32_t FromText(const std::string &text) const;
};

// The integer options of Pagelume_Main after WheelScrollLines, in file order:
// PieceSize, RichBoxWidthPercent, RichBoxTopPercent, RichBoxBottomPercent,
// PrintLeftMargin, PrintRightMargin, PrintTopMargin, PrintBottomMargin.
enum TIntOptionId {
  ioPieceSize,
  ioRichBoxWidthPercent,
  ioRichBoxTopPercent,
  ioRichBoxBottomPercent,
  ioPrintLeftMargin,
  ioPrintRightMargin,
  ioPrintTopMargin,
  ioPrintBottomMargin,
  ioCount
};
const TIntOption &ProgramIntOption(int id);
// WheelScrollLines: 1 to 20, offered 1 to 10, 15, 20; its default is the
// system's setting, and no value means 0 lines.
const TIntOption &WheelScrollLinesOption();

// The converter's quantities in file order, with their default units.
enum TQuantityId { qLength, qSpeed, qArea, qVolume, qWeight, qTemperature, qCount };
const char *QuantityKey(int id);
const char *DefaultUnit(int id);
// The offered unit whose name equals text without regard to case, else the
// offered unit equal to the default unit likewise, else the default unit.
std::string MatchUnit(const std::vector<std::string> &offered, const std::string &text, const std::string &defaultUnit);

extern const char *const ProgramMainSection;      // "Pagelume_Main"
extern const char *const ConvertMeasureSection;   // "Pagelume_ConvertMeasure"
extern const char *const DefaultDictionaryTitle;  // "/usr/bin/goldendict"
constexpr std::size_t MaxSettingText = 259;

struct TProgramSettings {
  bool AutoSaveProfile = true;
  bool AutoBookmark = true;
  bool AutoLoadLast = true;
  int32_t WheelScrollLines = 3;  // 0: no value (the wheel does not scroll)
  std::string DictionaryTitle = DefaultDictionaryTitle;
  bool ClipboardForDic = true;
  bool ForceRichEdit3 = false;
  bool OpenInPieces = true;
  // Indexed by TIntOptionId; each holds an offered value (the defaults are).
  std::array<int32_t, ioCount> Ints{};
  // The unit texts as stored (empty: none stored).
  std::array<std::string, qCount> Units;

  TProgramSettings();

  // Reads Pagelume_Main, starting from the current values as defaults. An
  // integer that is in range but not offered, or out of range, ends as the
  // option's default; the wheel lines then end as 0 when the system setting
  // is not offered either.
  void ReadMain(TStoredTextList &list, int32_t systemWheelLines);
  void WriteMain(TStoredTextList &list) const;
  // Reads the unit texts (empty default, empty not accepted).
  void ReadConvertMeasure(TStoredTextList &list);
  // Writes each unit, or its default unit when none is stored.
  void WriteConvertMeasure(TStoredTextList &list) const;
};
