// Legibility of colour pairs: relative luminance and contrast ratio as the
// web accessibility guidelines define them, and the link colour a scheme
// derives from its box colour. Plain C++ on 0x00BBGGRR colour values.
#pragma once

#include <cstdint>

// 0 (black) to 1 (white), from the sRGB channels.
double RelativeLuminance(uint32_t color);
// (lighter + 0.05) / (darker + 0.05): 1 for equal colours, 21 for black on white.
double ContrastRatio(uint32_t a, uint32_t b);
// Blue, lightened or darkened just enough to stand at least 4.5 : 1 against
// back (pure blue where it already does).
uint32_t LinkColorFor(uint32_t back);
// Whether a colour is dark enough for the window's own widgets to turn dark.
bool IsDarkColor(uint32_t color);
