#include "PagelumeLayout.h"

#include <gtest/gtest.h>

TEST(Layout, DefaultsAt1024x768) {
  TLayoutResult r = ComputeLayout({1024, 768});
  EXPECT_EQ(r.RichBox, (TLayoutRect{282, 76, 460, 576}));
  EXPECT_EQ(r.Sidebar, (TLayoutRect{22, 10, 250, 748}));
  EXPECT_EQ(r.HintLabel, (TLayoutRect{282, 662, 460, 96}));
  EXPECT_EQ(r.InfoLabel, (TLayoutRect{282, 10, 460, 56}));
  EXPECT_EQ(r.Clock, (TLayoutRect{902, 738, 90, 20}));
}

TEST(Layout, WideRichBoxPushesLabelsPastTheSidebar) {
  TLayoutResult r = ComputeLayout({1024, 768, 95, 10, 15});
  EXPECT_EQ(r.RichBox, (TLayoutRect{26, 76, 972, 576}));
  EXPECT_EQ(r.Sidebar.Left, 10);  // overlaps the rich box when shown
  EXPECT_EQ(r.HintLabel, (TLayoutRect{270, 662, 484, 96}));
  EXPECT_EQ(r.InfoLabel, (TLayoutRect{270, 10, 484, 56}));
  EXPECT_EQ(r.Clock, (TLayoutRect{914, 738, 90, 20}));
}

TEST(Layout, ExtremeOptionsAndOddSizes) {
  TLayoutResult r = ComputeLayout({1920, 1080, 20, 15, 25});
  EXPECT_EQ(r.RichBox, (TLayoutRect{768, 162, 384, 648}));
  EXPECT_EQ(r.Sidebar, (TLayoutRect{508, 10, 250, 1060}));
  EXPECT_EQ(r.HintLabel.Top, 820);
  EXPECT_EQ(r.HintLabel.Height, 1070 - 820);
  r = ComputeLayout({1001, 601, 45, 5, 10});
  EXPECT_EQ(r.RichBox, (TLayoutRect{275, 30, 450, 510}));  // 450.45, 30.05, 571 - 60.1
}

TEST(Layout, SidebarStripEndsFivePixelsLeftOfTheRichBox) {
  EXPECT_TRUE(SidebarWantedAt(282 - 6, 282));
  EXPECT_FALSE(SidebarWantedAt(282 - 5, 282));
  EXPECT_FALSE(SidebarWantedAt(900, 282));
}
