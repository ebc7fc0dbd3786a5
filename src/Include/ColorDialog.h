// The stock-colour dialog and the colour swatch it is built from. The swatch
// also serves the colour slots of the options ("Colors" tab).
#pragma once

#include "Input.h"
#include "StockColors.h"

#include <QDialog>
#include <QFrame>
#include <array>
#include <cstdint>
#include <functional>

class QGroupBox;
class QLabel;
class QPushButton;

// A panel filled with one colour. Its hint goes to the status tip (the hint
// label) and, with pop-up hints on, to the tool tip as well.
class TColorPanel : public QFrame {
  Q_OBJECT
public:
  explicit TColorPanel(QWidget *parent = nullptr, uint32_t defaultColor = 0);

  uint32_t Color() const { return Color_; }
  void SetColor(uint32_t color);
  // The colour a middle click on a colour slot restores.
  uint32_t DefaultColor() const { return DefaultColor_; }
  void SetDefaultColor(uint32_t color) { DefaultColor_ = color; }

  QString Hint() const { return statusTip(); }
  void SetHint(const QString &hint);
  bool ShowHint() const { return ShowHint_; }
  void SetShowHint(bool show);

signals:
  void MouseDown(TColorPanel *panel, Qt::MouseButton button, TShiftState shift);

protected:
  void mousePressEvent(QMouseEvent *event) override;
  // The second press of a double click does nothing: one click, one action.
  void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
  uint32_t Color_ = 0;
  uint32_t DefaultColor_ = 0;
  bool ShowHint_ = false;
};

// Sets the swatch's colour and its hint: stock name + description + the
// instructions for the three mouse buttons.
void SetColorPanel(TColorPanel *panel, uint32_t color);

using TColorPickedCallback = std::function<void(uint32_t color)>;

class TColorForm : public QDialog {
  Q_OBJECT
public:
  static constexpr int GridSize = 12;

  explicit TColorForm(QWidget *parent = nullptr);

  uint32_t ChosenColor = 0;
  TColorPickedCallback ColorPicked;  // empty: right clicks do nothing

  // (Re)creates the 144 swatches; the chosen colour's swatches are smaller.
  void BuildColorGrid();
  void ColorSwatchMouseDown(TColorPanel *swatch, Qt::MouseButton button);

  TColorPanel *Swatch(int index) const { return Swatches.at(static_cast<std::size_t>(index)); }
  QWidget *ColorPanel() const { return ColorPanel_; }

private:
  QGroupBox *StockColorsGroupBox = nullptr;
  QWidget *ColorPanel_ = nullptr;
  QLabel *RemarkLabel = nullptr;
  QPushButton *CancelButton = nullptr;
  std::array<TColorPanel *, GridSize * GridSize> Swatches{};
};

// Shows the dialog modally on color. True when a colour was picked with the
// left button; color then holds the dialog's chosen colour. On a failure
// ("Failed to show color dialog.") the result is false and color is kept.
bool ColorFormDialog(uint32_t &color, const TColorPickedCallback &callback = {}, QWidget *parent = nullptr);
