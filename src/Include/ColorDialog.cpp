#include "ColorDialog.h"

#include "Error.h"
#include "UtilitiesQt.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>

// ---- TColorPanel ----

TColorPanel::TColorPanel(QWidget *parent, uint32_t defaultColor) : QFrame(parent), DefaultColor_(defaultColor) {
  setAutoFillBackground(true);
  SetColor(defaultColor);
}

void TColorPanel::SetColor(uint32_t color) {
  Color_ = color;
  QPalette pal = palette();
  pal.setColor(QPalette::Window, ColorToQColor(color));
  setPalette(pal);
}

void TColorPanel::SetHint(const QString &hint) {
  setStatusTip(hint);
  setToolTip(ShowHint_ ? hint : QString());
}

void TColorPanel::SetShowHint(bool show) {
  ShowHint_ = show;
  SetHint(Hint());
}

void TColorPanel::mousePressEvent(QMouseEvent *event) {
  emit MouseDown(this, event->button(), ShiftStateOf(event));
  event->accept();
}

void TColorPanel::mouseDoubleClickEvent(QMouseEvent *event) { event->accept(); }

void SetColorPanel(TColorPanel *panel, uint32_t color) {
  if (!panel)
    return;
  panel->SetColor(color);
  panel->SetHint(QString::fromStdString(StockColorName(color) + DescribeColor(color)) +
                 ". Left click a color to open the stock-color dialog. Right click it to open the color dialog. "
                 "Middle click it to set the default color.");
}

// ---- TColorForm ----

TColorForm::TColorForm(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
  setObjectName("ColorForm");
  setWindowTitle("Stock colors");
  setModal(true);
  setFixedSize(420, 490);
  QFont arial("Arial");
  arial.setPixelSize(12);
  setFont(arial);

  StockColorsGroupBox = new QGroupBox("Stock colors", this);
  StockColorsGroupBox->setGeometry(5, 5, 410, 440);

  ColorPanel_ = new QWidget(StockColorsGroupBox);
  ColorPanel_->setObjectName("ColorPanel");
  ColorPanel_->setGeometry(5, 20, 400, 350);

  RemarkLabel = new QLabel("Click a color to select it and close the dialog. [RMB] to select the color and keep the "
                           "dialog open. [MMB] to clip the hint of the color.",
                           StockColorsGroupBox);
  RemarkLabel->setGeometry(10, 380, 390, 45);
  RemarkLabel->setWordWrap(true);
  RemarkLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  // Escape closes a QDialog with the reject (cancel) result by itself.
  CancelButton = new QPushButton("&Cancel", this);
  CancelButton->setGeometry(175, 455, 75, 25);
  CancelButton->setAutoDefault(false);
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);

  // Centred on the main window (the parent, else the active window, else the screen).
  QWidget *owner = parent ? parent->window() : QApplication::activeWindow();
  QRect area = owner ? owner->frameGeometry() : QRect();
  if (area.isEmpty() && QGuiApplication::primaryScreen())
    area = QGuiApplication::primaryScreen()->availableGeometry();
  if (!area.isEmpty())
    move(area.center() - rect().center());
}

void TColorForm::BuildColorGrid() {
  const int cellWidth = (ColorPanel_->width() - 10) / GridSize;
  const int cellHeight = (ColorPanel_->height() - 10) / GridSize;
  for (int i = 0; i < GridSize; ++i) {
    for (int j = 0; j < GridSize; ++j) {
      const int k = i * GridSize + j;
      TColorPanel *&swatch = Swatches[static_cast<std::size_t>(k)];
      // The old swatch may be the one whose mouse handler rebuilds the grid:
      // it goes once that handler has returned.
      if (swatch) {
        swatch->hide();
        swatch->deleteLater();
      }
      const TStockColor &entry = CStockColors[k < static_cast<int>(StockColorCount) ? k : 0];
      swatch = new TColorPanel(ColorPanel_, entry.Color);
      swatch->setFrameStyle(QFrame::Box | QFrame::Plain);
      swatch->setLineWidth(1);
      if (entry.Color == ChosenColor)
        swatch->setGeometry(j * cellWidth + 5, i * cellHeight + 5, static_cast<int>(cellWidth * 0.75 - 2),
                            static_cast<int>(cellHeight * 0.75 - 2));
      else
        swatch->setGeometry(j * cellWidth + 5, i * cellHeight + 5, cellWidth - 2, cellHeight - 2);
      swatch->SetShowHint(true);
      swatch->SetHint(QString::fromUtf8(entry.Name) + QString::fromStdString(DescribeColor(entry.Color)));
      connect(swatch, &TColorPanel::MouseDown, this,
              [this](TColorPanel *panel, Qt::MouseButton button, TShiftState) { ColorSwatchMouseDown(panel, button); });
      swatch->show();
    }
  }
}

void TColorForm::ColorSwatchMouseDown(TColorPanel *swatch, Qt::MouseButton button) {
  if (!swatch)
    return;
  switch (button) {
  case Qt::LeftButton:
    ChosenColor = swatch->Color();
    accept();
    break;
  case Qt::RightButton:
    if (!ColorPicked)
      break;
    ChosenColor = swatch->Color();
    ColorPanel_->hide();
    BuildColorGrid();
    ColorPanel_->show();
    ColorPicked(ChosenColor);
    break;
  case Qt::MiddleButton:
    CopyTextToClipboard(swatch->Hint(), "Failed to copy hint to clipboard.", false, false);
    break;
  default:
    break;
  }
}

bool ColorFormDialog(uint32_t &color, const TColorPickedCallback &callback, QWidget *parent) {
  OP_BEGIN("ColorFormDialog");
  bool result = false;
  OP_TRY {
    TColorForm form(parent);
    form.ColorPicked = callback;
    form.ChosenColor = color;
    form.BuildColorGrid();
    const int answer = form.exec();
    color = form.ChosenColor;
    result = answer == QDialog::Accepted;
  }
  OP_CATCH;
  OP_SHOW("Failed to show color dialog.");
  return result;
}
