#include "ProgramSettings.h"

#include "StoredTextList.h"
#include "Utilities.h"

#include <algorithm>

const char *const ProgramMainSection = "Pagelume_Main";
const char *const ConvertMeasureSection = "Pagelume_ConvertMeasure";
const char *const DefaultDictionaryTitle = "/usr/bin/goldendict";

namespace {

std::vector<int32_t> Steps(int32_t from, int32_t to, int32_t step) {
  std::vector<int32_t> values;
  for (int32_t v = from; v <= to; v += step)
    values.push_back(v);
  return values;
}

std::vector<int32_t> Join(std::vector<int32_t> a, const std::vector<int32_t> &b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

const std::array<TIntOption, ioCount> &IntOptions() {
  static const std::array<TIntOption, ioCount> options = {{
      {"PieceSize", 50000, 10000, 500000, Join(Steps(10000, 100000, 10000), Steps(150000, 500000, 50000))},
      {"RichBoxWidthPercent", 45, 20, 100, Steps(20, 95, 5)},
      {"RichBoxTopPercent", 10, 5, 15, Steps(5, 15, 1)},
      {"RichBoxBottomPercent", 15, 10, 25, Steps(10, 25, 1)},
      {"PrintLeftMargin", 30, 0, 50, Steps(0, 50, 5)},
      {"PrintRightMargin", 20, 0, 50, Steps(0, 50, 5)},
      {"PrintTopMargin", 20, 0, 50, Steps(0, 50, 5)},
      {"PrintBottomMargin", 20, 0, 50, Steps(0, 50, 5)},
  }};
  return options;
}

const char *const QuantityKeys[qCount] = {"Length", "Speed", "Area", "Volume", "Weight", "Temperature"};
const char *const DefaultUnits[qCount] = {"Meters",    "Meters / second", "Meters^2",
                                          "Meters^3",  "Kilograms",       "Celsius"};

}  // namespace

bool TIntOption::IsOffered(int32_t value) const {
  return std::find(Offered.begin(), Offered.end(), value) != Offered.end();
}

int32_t TIntOption::FromText(const std::string &text) const {
  try {
    if (text.empty())
      return Default;
    const int32_t value = TextToInt(text);
    return value >= Minimum && value <= Maximum ? value : Default;
  } catch (const std::exception &) {
    return Default;
  }
}

const TIntOption &ProgramIntOption(int id) { return IntOptions().at(static_cast<size_t>(id)); }

const TIntOption &WheelScrollLinesOption() {
  static const TIntOption option{"WheelScrollLines", 0, 1, 20, Join(Steps(1, 10, 1), {15, 20})};
  return option;
}

const char *QuantityKey(int id) { return QuantityKeys[id]; }
const char *DefaultUnit(int id) { return DefaultUnits[id]; }

std::string MatchUnit(const std::vector<std::string> &offered, const std::string &text,
                      const std::string &defaultUnit) {
  for (const std::string &unit : offered)
    if (SameTextNoCase(unit, text))
      return unit;
  for (const std::string &unit : offered)
    if (SameTextNoCase(unit, defaultUnit))
      return unit;
  return defaultUnit;
}

TProgramSettings::TProgramSettings() {
  for (int id = 0; id < ioCount; ++id)
    Ints[static_cast<size_t>(id)] = ProgramIntOption(id).Default;
}

void TProgramSettings::ReadMain(TStoredTextList &list, int32_t systemWheelLines) {
  const char *s = ProgramMainSection;
  list.ReadBool(s, "AutoSaveProfile", AutoSaveProfile);
  list.ReadBool(s, "AutoBookmark", AutoBookmark);
  list.ReadBool(s, "AutoLoadLast", AutoLoadLast);

  const TIntOption &wheel = WheelScrollLinesOption();
  int32_t lines = systemWheelLines;
  list.ReadInteger(s, wheel.Key, lines, wheel.Minimum, wheel.Maximum);
  WheelScrollLines = wheel.IsOffered(lines) ? lines : 0;

  std::string title = DefaultDictionaryTitle;
  list.ReadString(s, "DictionaryTitle", title, false, MaxSettingText);
  DictionaryTitle = title;

  list.ReadBool(s, "ClipboardForDic", ClipboardForDic);
  list.ReadBool(s, "ForceRichEdit3", ForceRichEdit3);
  list.ReadBool(s, "OpenInPieces", OpenInPieces);

  for (int id = 0; id < ioCount; ++id) {
    const TIntOption &option = ProgramIntOption(id);
    int32_t value = option.Default;
    list.ReadInteger(s, option.Key, value, option.Minimum, option.Maximum);
    Ints[static_cast<size_t>(id)] = option.IsOffered(value) ? value : option.Default;
  }
}

void TProgramSettings::WriteMain(TStoredTextList &list) const {
  const char *s = ProgramMainSection;
  list.WriteBool(s, "AutoSaveProfile", AutoSaveProfile);
  list.WriteBool(s, "AutoBookmark", AutoBookmark);
  list.WriteBool(s, "AutoLoadLast", AutoLoadLast);
  list.WriteInteger(s, WheelScrollLinesOption().Key, WheelScrollLines);
  list.WriteString(s, "DictionaryTitle", DictionaryTitle);
  list.WriteBool(s, "ClipboardForDic", ClipboardForDic);
  list.WriteBool(s, "ForceRichEdit3", ForceRichEdit3);
  list.WriteBool(s, "OpenInPieces", OpenInPieces);
  for (int id = 0; id < ioCount; ++id)
    list.WriteInteger(s, ProgramIntOption(id).Key, Ints[static_cast<size_t>(id)]);
}

void TProgramSettings::ReadConvertMeasure(TStoredTextList &list) {
  for (int id = 0; id < qCount; ++id) {
    std::string text;
    list.ReadString(ConvertMeasureSection, QuantityKey(id), text, false, MaxSettingText);
    Units[static_cast<size_t>(id)] = text;
  }
}

void TProgramSettings::WriteConvertMeasure(TStoredTextList &list) const {
  for (int id = 0; id < qCount; ++id) {
    const std::string &unit = Units[static_cast<size_t>(id)];
    list.WriteString(ConvertMeasureSection, QuantityKey(id), unit.empty() ? DefaultUnit(id) : unit);
  }
}
