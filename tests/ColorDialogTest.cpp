#include "ColorDialog.h"
#include "Error.h"

#include <QApplication>
#include <QClipboard>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

namespace {

// Runs action on the dialog once its modal loop has started.
void WhenDialogShown(std::function<void(TColorForm *)> action) {
  QTimer::singleShot(0, [action] {
    auto *form = qobject_cast<TColorForm *>(QApplication::activeModalWidget());
    if (!form) {
      ADD_FAILURE() << "the dialog is not shown";
      return;
    }
    action(form);
  });
}

bool IsSmall(const TColorPanel *swatch) { return swatch->width() < 30; }

constexpr uint32_t Ochre = Rgb(185, 110, 25);

}  // namespace

TEST(ColorForm, GridMarksTheChosenColour) {
  TColorForm form;
  EXPECT_EQ(form.windowTitle(), "Stock colors");
  EXPECT_EQ(form.size(), QSize(420, 490));
  form.ChosenColor = Ochre;
  form.BuildColorGrid();
  for (int k = 0; k < 144; ++k) {
    TColorPanel *swatch = form.Swatch(k);
    EXPECT_EQ(IsSmall(swatch), k == 86) << k;
    EXPECT_EQ(swatch->Color(), k < 132 ? CStockColors[k].Color : 0u) << k;
  }
  EXPECT_EQ(form.Swatch(86)->geometry(), QRect(2 * 32 + 5, 7 * 28 + 5, 22, 19));
  EXPECT_EQ(form.Swatch(87)->geometry(), QRect(3 * 32 + 5, 7 * 28 + 5, 30, 26));
  EXPECT_EQ(form.Swatch(86)->toolTip(), "Ochre (RGB 185-110-25; Decimal = 12152345; Hexadecimal = 0xB96E19)");

  // Black marks the whole last row (which repeats Black) as well.
  form.ChosenColor = 0;
  form.BuildColorGrid();
  int small = 0;
  for (int k = 0; k < 144; ++k)
    small += IsSmall(form.Swatch(k));
  EXPECT_EQ(small, 13);
  // A colour outside the table marks nothing.
  form.ChosenColor = Rgb(1, 2, 3);
  form.BuildColorGrid();
  for (int k = 0; k < 144; ++k)
    EXPECT_FALSE(IsSmall(form.Swatch(k)));
}

TEST(ColorFormDialog, LeftClickChoosesAndEscapeCancels) {
  uint32_t color = Ochre;
  WhenDialogShown([](TColorForm *form) { QTest::mouseClick(form->Swatch(26), Qt::LeftButton); });
  EXPECT_TRUE(ColorFormDialog(color));
  EXPECT_EQ(color, 0x87AAB9u);  // Cream Gray

  WhenDialogShown([](TColorForm *form) { QTest::keyClick(form, Qt::Key_Escape); });
  EXPECT_FALSE(ColorFormDialog(color));
  EXPECT_EQ(color, 0x87AAB9u);
  EXPECT_EQ(FunStatContext.Status, fsPerfect);
}

TEST(ColorFormDialog, RightClickPicksAndStaysOpenOnlyWithCallback) {
  uint32_t color = Ochre;
  std::vector<uint32_t> picked;
  WhenDialogShown([](TColorForm *form) {
    QTest::mouseClick(form->Swatch(0), Qt::RightButton);  // rebuilds the grid under the click
    QApplication::processEvents();
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(IsSmall(form->Swatch(0)));
    EXPECT_FALSE(IsSmall(form->Swatch(86)));
    form->reject();
  });
  EXPECT_FALSE(ColorFormDialog(color, [&](uint32_t c) { picked.push_back(c); }));
  EXPECT_EQ(picked, std::vector<uint32_t>{0});
  EXPECT_EQ(color, 0u);  // the chosen colour is written back

  color = Ochre;
  WhenDialogShown([](TColorForm *form) {
    QTest::mouseClick(form->Swatch(0), Qt::RightButton);
    EXPECT_TRUE(IsSmall(form->Swatch(86)));
    QTest::mouseClick(form->Swatch(16), Qt::MiddleButton);
    form->reject();
  });
  EXPECT_FALSE(ColorFormDialog(color));
  EXPECT_EQ(color, Ochre);
  EXPECT_EQ(QGuiApplication::clipboard()->text(),
            "White (RGB 255-255-255; Decimal = 16777215; Hexadecimal = 0xFFFFFF)");
}

TEST(SetColorPanel, HintNamesTheColour) {
  TColorPanel panel(nullptr, 0x87AAB9);
  EXPECT_EQ(panel.DefaultColor(), 0x87AAB9u);
  SetColorPanel(&panel, Rgb(1, 2, 3));
  EXPECT_EQ(panel.Color(), Rgb(1, 2, 3));
  EXPECT_EQ(panel.Hint(), " (RGB 1-2-3; Decimal = 66051; Hexadecimal = 0x010203). Left click a color to open the "
                          "stock-color dialog. Right click it to open the color dialog. Middle click it to set the "
                          "default color.");
  EXPECT_TRUE(panel.toolTip().isEmpty());
  SetColorPanel(&panel, 0x87AAB9);
  EXPECT_TRUE(panel.Hint().startsWith("Cream Gray (RGB 185-170-135;"));
  EXPECT_EQ(panel.palette().color(QPalette::Window), QColor(185, 170, 135));
}
