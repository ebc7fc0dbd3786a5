#include "PagelumeLayout.h"

#include <cmath>

namespace {
// percent x size x 0.01 in floating point, truncated toward zero.
int PercentOf(int percent, int size) { return static_cast<int>(std::trunc(percent * size * 0.01)); }
}  // namespace

TLayoutResult ComputeLayout(const TLayoutInput &in) {
  const int W = in.Width, H = in.Height;
  TLayoutResult r;
  const int richWidth = PercentOf(in.RichBoxWidthPercent, W);
  const int richLeft = (W - richWidth) / 2;
  const int richTop = PercentOf(in.RichBoxTopPercent, H);
  const int richHeight = static_cast<int>(std::trunc((H - richTop) - in.RichBoxBottomPercent * H * 0.01));
  int sidebarLeft = richLeft - in.SidebarWidth - 10;
  if (sidebarLeft < 10)
    sidebarLeft = 10;
  r.RichBox = {richLeft, richTop, richWidth, richHeight};
  r.Sidebar = {sidebarLeft, 10, in.SidebarWidth, H - 20};

  int labelLeft = richLeft;
  if (labelLeft < sidebarLeft + in.SidebarWidth + 10)
    labelLeft = sidebarLeft + in.SidebarWidth + 10;
  const int sidebarBottom = 10 + (H - 20);
  const int hintTop = richTop + richHeight + 10;
  r.HintLabel = {labelLeft, hintTop, W - 2 * labelLeft, sidebarBottom - hintTop};
  r.InfoLabel = {labelLeft, 10, W - 2 * labelLeft, richTop - 20};
  r.Clock = {W - sidebarLeft - ClockWidth - 10, sidebarBottom - ClockHeight, ClockWidth, ClockHeight};
  return r;
}
