#include "Dialogs.h"
#include "Error.h"
#include "Utilities.h"
#include "UtilitiesQt.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionViewItem>
#include <gtest/gtest.h>
#include <vector>

namespace {

struct CapturedBoxes {
  CapturedBoxes() {
    SetMessageBoxHandler([this](TMessageKind kind, const QString &text) {
      Kinds.push_back(kind);
      Texts.push_back(text);
      return false;
    });
  }
  ~CapturedBoxes() { SetMessageBoxHandler(nullptr); }
  std::vector<TMessageKind> Kinds;
  std::vector<QString> Texts;
};

}  // namespace

TEST(GetIntFromEdit, NoIntegerWarnsAndWritesDefault) {
  CapturedBoxes boxes;
  QLineEdit edit;
  edit.setText("12x");
  EXPECT_EQ(GetIntFromEdit(&edit), 0);
  ASSERT_EQ(boxes.Texts.size(), 1u);
  EXPECT_EQ(boxes.Kinds[0], TMessageKind::Warning);
  EXPECT_EQ(boxes.Texts[0], "Integer value outside limits.\nIt will be set to default.\n    * Minimum = -2147483648\n"
                            "    * Maximum = 2147483647\n    * Default = 0");
  EXPECT_EQ(edit.text(), "0");
}

TEST(GetIntFromEdit, RangeOnComboBoxes) {
  CapturedBoxes boxes;
  QComboBox combo;
  combo.setEditable(true);
  combo.addItems({"100", "200"});
  combo.setEditText("150");
  EXPECT_EQ(GetIntFromEdit(&combo, 100, 200, 120), 150);
  combo.setEditText("");
  EXPECT_EQ(GetIntFromEdit(&combo, 100, 200, 120), 120);
  EXPECT_TRUE(boxes.Texts.empty());
  combo.setEditText("201");
  EXPECT_EQ(GetIntFromEdit(&combo, 100, 200, 120), 120);
  EXPECT_EQ(combo.currentText(), "120");
  // An empty text whose default lies outside the limits is a failure too.
  combo.setEditText("");
  EXPECT_EQ(GetIntFromEdit(&combo, 100, 200, 50), 50);
  EXPECT_EQ(boxes.Texts.size(), 2u);

  QComboBox list;  // a plain drop-down list selects the item of the default
  list.addItems({"1", "2", "3"});
  list.setCurrentIndex(2);
  EXPECT_EQ(GetIntFromEdit(&list, 1, 2, 2), 2);
  EXPECT_EQ(list.currentIndex(), 1);
}

TEST(MyFocusControl, FocusOrRecordedFailure) {
  QLineEdit hidden;
  MyFocusControl(&hidden);
  EXPECT_EQ(FunStatContext.Status, fsError);
  EXPECT_EQ(FunStatContext.Description, "Failed to focus control.");
  MyFocusControl(nullptr);
  EXPECT_EQ(FunStatContext.Status, fsError);

  QWidget window;
  auto *edit = new QLineEdit(&window);
  window.show();
  window.activateWindow();
  MyFocusControl(edit);
  EXPECT_EQ(FunStatContext.Status, fsPerfect);
}

TEST(GetFontHeight, FontPixels) {
  QListWidget list;
  QFont font("Arial");
  font.setPixelSize(20);
  list.setFont(font);
  EXPECT_GE(GetFontHeight(&list), 20);
  EXPECT_EQ(GetFontHeight(nullptr), 0);
  EXPECT_EQ(FunStatContext.Description, "Failed to get device context.");
  FunStatContext.Reset();
}

TEST(CopyTextToClipboard, AppendAndEmptyText) {
  CapturedBoxes boxes;
  QClipboard *clipboard = QGuiApplication::clipboard();
  ASSERT_TRUE(CopyTextToClipboard("first"));
  EXPECT_EQ(clipboard->text(), "first");
  ASSERT_TRUE(CopyTextToClipboard(" second", "Failed.", false, true));
  EXPECT_EQ(clipboard->text(), "first second");
  EXPECT_FALSE(CopyTextToClipboard(""));
  ASSERT_EQ(boxes.Texts.size(), 1u);
  EXPECT_EQ(boxes.Texts[0], "There is no text to copy to clipboard.");
  EXPECT_EQ(clipboard->text(), "first second");
}

TEST(ShiftState, FromQtEvents) {
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(1, 1), QPointF(1, 1), Qt::RightButton, Qt::RightButton,
                    Qt::ControlModifier);
  EXPECT_EQ(ShiftStateOf(&press), (TShiftState{ssCtrl, ssRight}));
  QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(1, 1), QPointF(1, 1), Qt::LeftButton, Qt::LeftButton,
                  Qt::NoModifier);
  EXPECT_EQ(ShiftStateOf(&dbl), (TShiftState{ssLeft, ssDouble}));
  EXPECT_EQ(ShiftStateFromQt(Qt::ShiftModifier | Qt::AltModifier, Qt::MiddleButton, false),
            (TShiftState{ssShift, ssAlt, ssMiddle}));
}

TEST(ColorConversion, QtColorsKeepTheByteOrder) {
  EXPECT_EQ(ColorToQColor(0x87AAB9), QColor(0xB9, 0xAA, 0x87));
  EXPECT_EQ(QColorToColor(QColor(185, 110, 25)), 0x196EB9u);
}

TEST(ColorConversion, SystemColorsFollowTheApplicationPalette) {
  const QPalette saved = QGuiApplication::palette();
  QPalette palette = saved;
  palette.setColor(QPalette::Button, QColor(1, 2, 3));
  palette.setColor(QPalette::Base, QColor(4, 5, 6));
  palette.setColor(QPalette::Text, QColor(7, 8, 9));
  QGuiApplication::setPalette(palette);
  UsePaletteForSystemColors();
  EXPECT_EQ(TextToColor("clBtnFace"), 0x030201u);
  EXPECT_EQ(TextToColor("clWindow"), 0x060504u);
  EXPECT_EQ(TextToColor("clWindowText"), 0x090807u);
  SetSystemColorSource(nullptr);
  QGuiApplication::setPalette(saved);
}

TEST(ListBoxUtilities, SelectAtPointAndFocusRectangle) {
  QListWidget list;
  list.addItems({"a", "b", "c"});
  list.resize(100, 200);
  list.show();
  const QRect second = list.visualItemRect(list.item(1));
  SelectListItemAt(&list, second.center());
  EXPECT_EQ(list.currentRow(), 1);
  list.clearSelection();
  SelectListItemAt(&list, QPoint(50, 190));  // below the last item: re-select the current one
  EXPECT_EQ(list.currentRow(), 1);
  EXPECT_TRUE(list.item(1)->isSelected());

  QImage image(50, 20, QImage::Format_RGB32);
  QPainter painter(&image);
  QStyleOptionViewItem option;
  option.rect = QRect(0, 0, 50, 20);
  option.state = QStyle::State_Selected;
  EXPECT_FALSE(DrawItemFocusRect(&painter, option, &list));
  option.state = QStyle::State_HasFocus;
  EXPECT_FALSE(DrawItemFocusRect(&painter, option, &list));
  option.state = QStyle::State_Selected | QStyle::State_HasFocus;
  EXPECT_TRUE(DrawItemFocusRect(&painter, option, &list));
}
