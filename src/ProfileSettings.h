// The profile: everything about how a book is shown and treated that may
// differ from book to book, as one plain record (no toolkit), with the rules
// by which a profile file is read and written.
//
// Fields are named by their keys in the profile file. Sections
// "Profile_Main" (in the order the file is written) and "Profile_BackSounds".
// Colours are 0x00BBGGRR. Texts are UTF-8. Media titles (pictures, sounds)
// are stored as MediaTitle.h describes.
//
// Integer options hold one of their offered values; a value read from a file
// that is in range but not offered counts as the default (its drop-down list
// would show no value), and so does anything out of range.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class TStoredTextList;

// An integer option: default, accepted range and the values its drop-down
// list offers.
struct TProfileIntOption {
  const char *Key;
  int32_t Default;
  int32_t Minimum;
  int32_t Maximum;
  std::vector<int32_t> Offered;

  bool IsOffered(int32_t value) const;
  // The value when it is offered, else the default.
  int32_t Normalise(int32_t value) const;
  // The offered values as list items.
  std::vector<std::string> Items() const;
};

// The integer options of both sections (the per-sound lists apply to every
// sound).
namespace ProfileOptions {
extern const TProfileIntOption FadeScreenBackImage;
extern const TProfileIntOption GammaScreenBackImage;
extern const TProfileIntOption FadeCenterScreenBackImage;
extern const TProfileIntOption FadeRichBackImage;
extern const TProfileIntOption GammaRichBackImage;
extern const TProfileIntOption LeftMargin;
extern const TProfileIntOption RightMargin;
extern const TProfileIntOption FontSize;
extern const TProfileIntOption FontZoom;
extern const TProfileIntOption CharSpacing;
extern const TProfileIntOption LineSpacing;
extern const TProfileIntOption FirstLineIndent;
extern const TProfileIntOption SpaceAfter;
extern const TProfileIntOption SpeechRate;    // -10 (slowest) to 10 (fastest)
extern const TProfileIntOption SpeechVolume;  // percent
// Section "Profile_BackSounds". Count has no drop-down list: every value of
// its range is taken.
extern const TProfileIntOption Count;
extern const TProfileIntOption Vol;
extern const TProfileIntOption Dur;
extern const TProfileIntOption Prob;

// The items of the "Paragraph prefix" list; the last is a middle dot and a blank.
std::vector<std::string> ParagraphPrefixItems();
}  // namespace ProfileOptions

constexpr int32_t MaxBackSounds = 20;
constexpr int32_t MaxProfileTextLength = 31;   // FontName, ParagraphPrefix
constexpr int32_t MaxMediaTitleLength = 259;   // picture and sound titles

extern const char *const ProfileMainSection;        // "Profile_Main"
extern const char *const ProfileBackSoundsSection;  // "Profile_BackSounds"
extern const char *const DefaultProfileFileName;    // "PagelumeProfile.plp"
extern const char *const ProfileExtension;          // ".plp"

// Section "Profile_BackSounds": the sound list, four parallel arrays of which
// the first Count entries are stored.
struct TProfileBackSounds {
  bool Use = false;
  bool Random = true;
  int32_t Count = 1;
  std::array<std::string, MaxBackSounds> File{"Default.wav"};  // titles; entry 0 "Default.wav", the rest empty
  std::array<int32_t, MaxBackSounds> Vol;   // thousandths of full volume
  std::array<int32_t, MaxBackSounds> Dur;   // seconds
  std::array<int32_t, MaxBackSounds> Prob;  // parts of the sum of all
  TProfileBackSounds() {
    Vol.fill(50);
    Dur.fill(5);
    Prob.fill(100);
  }
  bool operator==(const TProfileBackSounds &) const = default;
};

struct ProfileSettings {
  // ---- Section "Profile_Main", in the order it is written ----
  bool EnhanceText = true;
  bool PoorlyWritten = false;
  bool IgnoreEmptyLines = false;
  bool UseScreenBackImage = true;
  bool StretchScreenBackImage = false;
  int32_t FadeScreenBackImage = 0;         // percent
  int32_t GammaScreenBackImage = 100;      // percent
  int32_t FadeCenterScreenBackImage = 0;   // percent
  std::string TitleScreenBackImage = "DefaultScreen.bmp";
  bool UseRichBackImage = true;
  bool StretchRichBackImage = false;
  int32_t FadeRichBackImage = 0;
  int32_t GammaRichBackImage = 100;
  std::string TitleRichBackImage = "DefaultRich.bmp";
  bool TransparentRichBack = false;
  bool ShowRichBoxFrame = false;
  uint32_t ScreenBackColor = 0xFFFFFF;
  uint32_t ScreenForeColor = 0x000000;
  uint32_t RichBoxBackColor = 0xFFFFFF;
  uint32_t RichBoxForeColor = 0x000000;
  uint32_t EmphaColor = 0x820000;
  uint32_t SecondEmphaColor = 0x5A00B4;
  uint32_t BrowserFocusBackColor = 0x196EB9;
  uint32_t BrowserFocusForeColor = 0xFFFFFF;
  uint32_t DirTypeBackColor = 0x4B96AA;
  uint32_t DirTypeForeColor = 0xFFFFFF;
  int32_t LeftMargin = 15;       // pixels
  int32_t RightMargin = 15;      // pixels
  bool BoldFont = false;
  bool JustifiedText = true;
  std::string FontName = "Times New Roman";
  int32_t FontSize = 16;         // points
  int32_t FontZoom = 100;        // percent
  int32_t CharSpacing = 0;       // tenths of a millimetre
  int32_t LineSpacing = 120;     // percent
  int32_t FirstLineIndent = 10;  // millimetres
  int32_t SpaceAfter = 5;        // millimetres
  std::string ParagraphPrefix = "None";
  bool Hyphenation = true;       // long words broken at line ends in the book's language
  int32_t SpeechRate = 0;
  int32_t SpeechVolume = 80;     // percent

  // ---- Section "Profile_BackSounds" ----
  TProfileBackSounds BackSounds;

  bool operator==(const ProfileSettings &) const = default;
};

// Turns a media title as it will be stored (the saver shortens full paths
// against the profile and media directories). Identity when empty.
using TMediaTitleShortener = std::function<std::string(const std::string &title, bool sound)>;

// Reads a profile from the list (inside its load callback). Every option is
// read with its default, so a missing key resets the option (profiles do not
// inherit). "TitleScreenBackImage" is read before
// "FadeCenterScreenBackImage"; then the sounds. The "Default..." media titles
// are normalised. When a read fails (a colour text that is no colour), the
// failure propagates and the fields read so far keep their new values.
void ReadProfileSettings(TStoredTextList &list, ProfileSettings &settings);
// Empties the list and writes the profile in file order; media titles go
// through shorten when it is set.
void WriteProfileSettings(TStoredTextList &list, const ProfileSettings &settings,
                          const TMediaTitleShortener &shorten = {});
