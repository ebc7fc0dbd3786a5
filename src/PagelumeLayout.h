// Where the main window's elements go: pure arithmetic from the window size
// and the three size options to the rectangles of the reading box, the
// sidebar, the two labels and the clock.
#pragma once

struct TLayoutRect {
  int Left = 0;
  int Top = 0;
  int Width = 0;
  int Height = 0;
  bool operator==(const TLayoutRect &) const = default;
};

struct TLayoutInput {
  int Width = 0;   // window width
  int Height = 0;  // window height
  int RichBoxWidthPercent = 45;
  int RichBoxTopPercent = 10;
  int RichBoxBottomPercent = 15;
  int SidebarWidth = 250;
};

struct TLayoutResult {
  TLayoutRect RichBox;
  TLayoutRect Sidebar;
  TLayoutRect HintLabel;
  TLayoutRect InfoLabel;  // CurrentFileInfoLabel
  TLayoutRect Clock;
};

constexpr int ClockWidth = 90;
constexpr int ClockHeight = 20;

TLayoutResult ComputeLayout(const TLayoutInput &in);

// The sidebar shows while the mouse is left of this x (window coordinates).
inline bool SidebarWantedAt(int x, int richLeft) { return x < richLeft - 5; }
