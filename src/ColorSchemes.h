// The ten colour slots of a profile and the three built-in colour schemes.
// Plain C++: the swatches that show the slots live in the main window.
#pragma once

#include <cstdint>

// Colour values are 0x00BBGGRR (red in the low byte).
struct TColorSlots {
  uint32_t RichBoxBackColor;
  uint32_t RichBoxForeColor;
  uint32_t EmphaColor;
  uint32_t SecondEmphaColor;
  uint32_t BrowserFocusBackColor;
  uint32_t BrowserFocusForeColor;
  uint32_t DirTypeBackColor;
  uint32_t DirTypeForeColor;
  uint32_t ScreenBackColor;
  uint32_t ScreenForeColor;
  bool operator==(const TColorSlots &) const = default;
};

// For bright surroundings; also every slot's default.
constexpr TColorSlots HighLightColors{0xFFFFFF, 0x000000, 0x820000, 0x5A00B4, 0x196EB9,
                                      0xFFFFFF, 0x4B96AA, 0xFFFFFF, 0xFFFFFF, 0x000000};
// Less eyestrain: light text on blue-grey.
constexpr TColorSlots LowStrainColors{0x78784B, 0xE6E6E6, 0x64CDFF, 0x0096CD, 0x196EB9,
                                      0x000000, 0x553C32, 0xE6E6E6, 0x78784B, 0xE6E6E6};
// For a dark room: cream text on black.
constexpr TColorSlots LowLightColors{0x000000, 0x87AAB9, 0x196EB9, 0x0000AA, 0x196EB9,
                                     0xC8D7E1, 0x000082, 0x87AAB9, 0x000000, 0x87AAB9};
