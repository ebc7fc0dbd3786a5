// The main window's colours: the "Colors" tab of the profile with its ten
// swatches and three colour schemes, the screen colours of the window, its
// labels and clock, re-colouring the book, and the frame around the reading box.
#include "PagelumeDialog.h"

#include "BrowserList.h"

#include "ColorDialog.h"
#include "ColorContrast.h"
#include "ColorSchemes.h"
#include "EnhancedRTF.h"
#include "Error.h"
#include "FormatOptions.h"
#include "MyGDIPlus.h"
#include "RTF.h"
#include "UtilitiesQt.h"

#include <QAbstractScrollArea>
#include <QCheckBox>
#include <QColorDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPaintEvent>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const char *const SwatchGroupHint = "Left click a color to open the stock-color dialog. Right click it to open the "
                                    "color dialog. Middle click it to set the default color.";

// A captioned strip with the swatch at its right end.
TColorPanel *AddSwatch(QGroupBox *group, const char *name, const QString &caption, uint32_t defaultColor) {
  auto *strip = new QFrame(group);
  strip->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  auto *row = new QHBoxLayout(strip);
  row->setContentsMargins(2, 2, 4, 2);
  auto *label = new QLabel(caption, strip);
  label->setStatusTip(SwatchGroupHint);
  row->addWidget(label, 1);
  auto *swatch = new TColorPanel(strip, defaultColor);
  swatch->setObjectName(name);
  swatch->setFrameStyle(QFrame::Box | QFrame::Plain);
  swatch->setFixedSize(40, 16);
  row->addWidget(swatch);
  group->layout()->addWidget(strip);
  SetColorPanel(swatch, defaultColor);
  return swatch;
}

void SetWidgetColor(QWidget *widget, QPalette::ColorRole role, uint32_t color) {
  if (!widget)
    return;
  QPalette palette = widget->palette();
  palette.setColor(role, ColorToQColor(color));
  widget->setPalette(palette);
}

}  // namespace

void TPagelumeForm::BuildColorOptions() {
  auto *page = static_cast<QVBoxLayout *>(ProfileColorsTabSheet->layout());
  auto addGroup = [&](const char *name, const QString &caption) {
    auto *group = new QGroupBox(caption, ProfileColorsTabSheet);
    group->setObjectName(name);
    group->setStatusTip(SwatchGroupHint);
    auto *layout = new QVBoxLayout(group);
    layout->setContentsMargins(5, 5, 5, 5);
    layout->setSpacing(2);
    page->addWidget(group);
    return group;
  };
  const TColorSlots &d = HighLightColors;
  ScreenColorsGroupBox = addGroup("ScreenColorsGroupBox", "Screen colors");
  ScreenBackColorPanel = AddSwatch(ScreenColorsGroupBox, "ScreenBackColorPanel", "    Back", d.ScreenBackColor);
  ScreenForeColorPanel = AddSwatch(ScreenColorsGroupBox, "ScreenForeColorPanel", "    Fore", d.ScreenForeColor);
  RichBoxColorsGroupBox = addGroup("RichBoxColorsGroupBox", "Rich-box colors");
  RichBoxBackColorPanel =
      AddSwatch(RichBoxColorsGroupBox, "RichBoxBackColorPanel", "    Window back", d.RichBoxBackColor);
  RichBoxForeColorPanel = AddSwatch(RichBoxColorsGroupBox, "RichBoxForeColorPanel", "    Fore", d.RichBoxForeColor);
  EmphaColorPanel = AddSwatch(RichBoxColorsGroupBox, "EmphaColorPanel", "    Empha", d.EmphaColor);
  SecondEmphaColorPanel =
      AddSwatch(RichBoxColorsGroupBox, "SecondEmphaColorPanel", "    Second empha", d.SecondEmphaColor);
  BrowserColorsGroupBox = addGroup("BrowserColorsGroupBox", "Browser colors");
  BrowserFocusBackColorPanel =
      AddSwatch(BrowserColorsGroupBox, "BrowserFocusBackColorPanel", "    Focus back", d.BrowserFocusBackColor);
  BrowserFocusForeColorPanel =
      AddSwatch(BrowserColorsGroupBox, "BrowserFocusForeColorPanel", "    Focus fore", d.BrowserFocusForeColor);
  DirTypeBackColorPanel =
      AddSwatch(BrowserColorsGroupBox, "DirTypeBackColorPanel", "    Directory back", d.DirTypeBackColor);
  DirTypeForeColorPanel =
      AddSwatch(BrowserColorsGroupBox, "DirTypeForeColorPanel", "    Directory fore", d.DirTypeForeColor);

  const std::pair<TColorPanel *, void (TPagelumeForm::*)(Qt::MouseButton)> handlers[] = {
      {ScreenBackColorPanel, &TPagelumeForm::ScreenBackColorPanelMouseUp},
      {ScreenForeColorPanel, &TPagelumeForm::ScreenForeColorPanelMouseUp},
      {RichBoxBackColorPanel, &TPagelumeForm::RichBoxBackColorPanelMouseUp},
      {RichBoxForeColorPanel, &TPagelumeForm::RichBoxForeColorPanelMouseUp},
      {EmphaColorPanel, &TPagelumeForm::EmphaColorPanelMouseUp},
      {SecondEmphaColorPanel, &TPagelumeForm::SecondEmphaColorPanelMouseUp},
      {BrowserFocusBackColorPanel, &TPagelumeForm::BrowserFocusBackColorPanelMouseUp},
      {BrowserFocusForeColorPanel, &TPagelumeForm::BrowserFocusForeColorPanelMouseUp},
      {DirTypeBackColorPanel, &TPagelumeForm::DirTypeBackColorPanelMouseUp},
      {DirTypeForeColorPanel, &TPagelumeForm::DirTypeForeColorPanelMouseUp},
  };
  for (const auto &[panel, handler] : handlers)
    connect(panel, &TColorPanel::MouseDown, this,
            [this, handler = handler](TColorPanel *, Qt::MouseButton button, TShiftState) { (this->*handler)(button); });

  auto *schemes = new QWidget(ProfileColorsTabSheet);
  auto *row = new QHBoxLayout(schemes);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(3);
  auto addScheme = [&](const char *name, const QString &caption, const QString &hint) {
    auto *button = new QPushButton(caption, schemes);
    button->setObjectName(name);
    button->setStatusTip(hint);
    button->setMinimumWidth(10);
    row->addWidget(button);
    return button;
  };
  SetHighLightColorsButton = addScheme("SetHighLightColorsButton", "High light",
                                       "Set all colors with the high light set of colors. Use these colors when the "
                                       "environmental light is high.");
  SetLowStrainColorsButton = addScheme(
      "SetLowStrainColorsButton", "Low strain",
      "Set all colors with the low eyestrain set of colors. Use these colors to decrease the eyestrain.");
  SetLowLightColorsButton = addScheme("SetLowLightColorsButton", "Low light",
                                      "Set all colors with the low light set of colors. Use these colors when the "
                                      "environmental light is low.");
  connect(SetHighLightColorsButton, &QPushButton::clicked, this, &TPagelumeForm::SetHighLightColorsButtonClick);
  connect(SetLowStrainColorsButton, &QPushButton::clicked, this, &TPagelumeForm::SetLowStrainColorsButtonClick);
  connect(SetLowLightColorsButton, &QPushButton::clicked, this, &TPagelumeForm::SetLowLightColorsButtonClick);
  page->addWidget(schemes);

  ShowFrameCheckBox = new QCheckBox("Show rich-box frame", ProfileColorsTabSheet);
  ShowFrameCheckBox->setObjectName("ShowFrameCheckBox");
  ShowFrameCheckBox->setStatusTip("Show the frame around the rich-box");
  connect(ShowFrameCheckBox, &QCheckBox::clicked, this, &TPagelumeForm::ShowFrameCheckBoxClick);
  page->addWidget(ShowFrameCheckBox);
  page->addStretch(1);

  // The window starts in the default colours.
  ApplyScreenAndBoxColors();

  ChooseStockColor = [this](uint32_t &color) { return ColorFormDialog(color, {}, this); };
  ChooseSystemColor = [this](uint32_t &color) {
    const QColor chosen = QColorDialog::getColor(ColorToQColor(color), this, "Color");
    if (!chosen.isValid())
      return false;
    color = QColorToColor(chosen);
    return true;
  };
}

// ---- Slots ----

TColorSlots TPagelumeForm::ColorSlots() const {
  return {RichBoxBackColorPanel->Color(),      RichBoxForeColorPanel->Color(),      EmphaColorPanel->Color(),
          SecondEmphaColorPanel->Color(),      BrowserFocusBackColorPanel->Color(), BrowserFocusForeColorPanel->Color(),
          DirTypeBackColorPanel->Color(),      DirTypeForeColorPanel->Color(),      ScreenBackColorPanel->Color(),
          ScreenForeColorPanel->Color()};
}

void TPagelumeForm::SetColorSlots(const TColorSlots &c) {
  SetColorPanel(RichBoxBackColorPanel, c.RichBoxBackColor);
  SetColorPanel(RichBoxForeColorPanel, c.RichBoxForeColor);
  SetColorPanel(EmphaColorPanel, c.EmphaColor);
  SetColorPanel(SecondEmphaColorPanel, c.SecondEmphaColor);
  SetColorPanel(BrowserFocusBackColorPanel, c.BrowserFocusBackColor);
  SetColorPanel(BrowserFocusForeColorPanel, c.BrowserFocusForeColor);
  SetColorPanel(DirTypeBackColorPanel, c.DirTypeBackColor);
  SetColorPanel(DirTypeForeColorPanel, c.DirTypeForeColor);
  SetColorPanel(ScreenBackColorPanel, c.ScreenBackColor);
  SetColorPanel(ScreenForeColorPanel, c.ScreenForeColor);
}

bool TPagelumeForm::PickColor(TColorPanel *panel, Qt::MouseButton button) {
  if (!panel)
    return false;
  uint32_t color = panel->Color();
  switch (button) {
  case Qt::LeftButton:
    if (!ChooseStockColor || !ChooseStockColor(color))
      return false;
    break;
  case Qt::RightButton:
    if (!ChooseSystemColor || !ChooseSystemColor(color))
      return false;
    break;
  case Qt::MiddleButton:
    color = panel->DefaultColor();
    break;
  default:
    return false;
  }
  SetColorPanel(panel, color);
  return true;
}

// ---- Swatch handlers ----

void TPagelumeForm::ScreenBackColorPanelMouseUp(Qt::MouseButton button) {
  if (PickColor(ScreenBackColorPanel, button)) {
    IniScreenBackImage();  // a translucent picture shows the new colour (sets the window colour too)
    ColorWindowWidgets();
    ColorScreenLists();
    RichEdit->viewport()->update();
    DrawRichBoxFrame();
  }
  RichEdit->setFocus();
}

void TPagelumeForm::ScreenForeColorPanelMouseUp(Qt::MouseButton button) {
  if (PickColor(ScreenForeColorPanel, button)) {
    SetWindowForeColor();
    ColorScreenLists();
    RichEdit->viewport()->update();
    DrawRichBoxFrame();
  }
  RichEdit->setFocus();
}

void TPagelumeForm::RichBoxBackColorPanelMouseUp(Qt::MouseButton button) {
  if (PickColor(RichBoxBackColorPanel, button)) {
    SetWidgetColor(RichEdit, QPalette::Base, RichBoxBackColorPanel->Color());
    IniRichBackImage();
    RepaintRichBox();
  }
  RichEdit->setFocus();
}

void TPagelumeForm::RichBoxForeColorPanelMouseUp(Qt::MouseButton button) {
  if (PickColor(RichBoxForeColorPanel, button))
    RecolorText(true);
  RichEdit->setFocus();
}

void TPagelumeForm::EmphaColorPanelMouseUp(Qt::MouseButton button) {
  if (PickColor(EmphaColorPanel, button))
    RecolorText(false);
  RichEdit->setFocus();
}

void TPagelumeForm::SecondEmphaColorPanelMouseUp(Qt::MouseButton button) {
  if (PickColor(SecondEmphaColorPanel, button))
    RecolorText(false);
  RichEdit->setFocus();
}

void TPagelumeForm::BrowserFocusBackColorPanelMouseUp(Qt::MouseButton button) {
  if (PickColor(BrowserFocusBackColorPanel, button))
    RepaintBrowserList();
  RichEdit->setFocus();
}

void TPagelumeForm::BrowserFocusForeColorPanelMouseUp(Qt::MouseButton button) {
  if (PickColor(BrowserFocusForeColorPanel, button))
    RepaintBrowserList();
  RichEdit->setFocus();
}

void TPagelumeForm::DirTypeBackColorPanelMouseUp(Qt::MouseButton button) {
  if (PickColor(DirTypeBackColorPanel, button))
    RepaintBrowserList();
  RichEdit->setFocus();
}

void TPagelumeForm::DirTypeForeColorPanelMouseUp(Qt::MouseButton button) {
  if (PickColor(DirTypeForeColorPanel, button))
    RepaintBrowserList();
  RichEdit->setFocus();
}

// ---- Schemes ----

void TPagelumeForm::SetHighLightColorsButtonClick() {
  SetColorSlots(HighLightColors);
  ApplyColors();
}

void TPagelumeForm::SetLowStrainColorsButtonClick() {
  SetColorSlots(LowStrainColors);
  ApplyColors();
}

void TPagelumeForm::SetLowLightColorsButtonClick() {
  SetColorSlots(LowLightColors);
  ApplyColors();
}

// ---- Applying the colours ----

void TPagelumeForm::SetWindowBackColor() {
  // The window paints its own background (paintEvent): the picture when there
  // is one, else this colour. Children keep their own palettes.
  update();
}

void TPagelumeForm::SetWindowForeColor() {
  const uint32_t fore = ScreenForeColorPanel->Color();
  for (QLabel *label : {CurrentFileInfoLabel, HintLabel, ClockLabel})
    SetWidgetColor(label, QPalette::WindowText, fore);
}

void TPagelumeForm::ColorScreenLists() {
  const uint32_t back = ScreenBackColorPanel->Color();
  for (const QPointer<QWidget> &list : ScreenColorLists)
    SetWidgetColor(list, QPalette::Base, back);
  // The browser's rows and the converter's units draw in all six colours.
  TBrowserColors colors;
  colors.ScreenBack = ColorToQColor(back);
  colors.ScreenFore = ColorToQColor(ScreenForeColorPanel->Color());
  colors.FocusBack = ColorToQColor(BrowserFocusBackColorPanel->Color());
  colors.FocusFore = ColorToQColor(BrowserFocusForeColorPanel->Color());
  colors.DirTypeBack = ColorToQColor(DirTypeBackColorPanel->Color());
  colors.DirTypeFore = ColorToQColor(DirTypeForeColorPanel->Color());
  if (BrowserListBox)
    BrowserListBox->SetColors(colors);
  SetConverterColors(colors.ScreenBack, colors.ScreenFore, colors.FocusBack, colors.FocusFore);
}

void TPagelumeForm::RepaintBrowserList() {
  ColorScreenLists();
  for (const QPointer<QWidget> &list : ScreenColorLists) {
    if (!list)
      continue;
    if (auto *area = qobject_cast<QAbstractScrollArea *>(list.data()))
      area->viewport()->update();
    else
      list->update();
  }
}

void TPagelumeForm::ColorWindowWidgets() {
  // On a dark screen the sidebar, the scroll bars and the editing view's
  // frame turn dark too; otherwise they keep the desktop's palette.
  const bool dark = IsDarkColor(ScreenBackColorPanel->Color());
  if (dark == DarkWidgets)
    return;
  DarkWidgets = dark;
  QPalette p;
  if (dark) {
    const QColor window(40, 40, 40), text(215, 210, 200), base(24, 24, 24), button(55, 55, 55);
    p = QPalette(text, button, button.lighter(130), button.darker(150), button.darker(120), text, text, base,
                 window);
    p.setColor(QPalette::ToolTipBase, window);
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, text.darker(160));
    p.setColor(QPalette::Highlight, QColor(25, 110, 185));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Link, QColor(120, 170, 255));
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
      p.setColor(QPalette::Disabled, role, QColor(120, 120, 120));
  }
  // Roles the window's parts set themselves (list and box colours) stay theirs.
  setPalette(p);
}

void TPagelumeForm::ApplyScreenAndBoxColors() {
  ColorWindowWidgets();
  SetWidgetColor(RichEdit, QPalette::Base, RichBoxBackColorPanel->Color());
  SetWidgetColor(RichEdit, QPalette::Text, RichBoxForeColorPanel->Color());
  FollowBoxTone();
  SetWindowBackColor();
  SetWindowForeColor();
  ColorScreenLists();
}

void TPagelumeForm::FollowBoxTone() {
  // A picture drawn over the box colour can dim it: the links are made legible
  // on the tone the reader sees.
  QColor shown = ColorToQColor(RichBoxBackColorPanel->Color());
  if (TransparentRichBackCheckBox && RichBackPictureShown())  // the picture options exist after the colours
    shown = PictureTone(TransparentRichBackCheckBox->isChecked() ? ScreenCenterBitmap : RichBackBitmap);
  RichEdit->SetLinkColor(ColorToQColor(LinkColorFor(Rgb(shown.red(), shown.green(), shown.blue()))));
}

void TPagelumeForm::ApplyColors() {
  ApplyScreenAndBoxColors();
  RebuildBackImages();  // translucent pictures show the new colours
  RecolorText(true);
  RepaintScreen();
  RichEdit->setFocus();
}

void TPagelumeForm::RecolorText(bool includeForeground) {
  // Painting is held back instead of hiding the box (hiding would move the focus).
  const bool updates = RichEdit->updatesEnabled();
  RichEdit->setUpdatesEnabled(false);
  const int32_t position = RichEdit->TopPosition();
  const bool edited = RichEdit->Modified();
  OP_BEGIN("TPagelumeForm::RecolorText");
  OP_TRY {
    if (includeForeground)
      TFormatOptionsPanel::SetColorAll(RichEdit, RichBoxForeColorPanel->Color());
    Enhancer->EmphasizeText(EmphaColorPanel->Color(), SecondEmphaColorPanel->Color());
    OP_ADOPT();
  }
  OP_CATCH;
  RichEdit->SetModified(edited);  // re-colouring is no edit, nor does it undo one
  RichEdit->GoToCharPos(position);
  RichEdit->setUpdatesEnabled(updates);
}

// ---- Frame and window surface ----

void TPagelumeForm::DrawRichBoxFrame() {
  // The frame is painted with the window (paintEvent); this asks for it.
  const QRect box = RichEdit->geometry();
  update(box.adjusted(-1, -1, 1, 1));
}

void TPagelumeForm::ShowFrameCheckBoxClick() {
  if (!ShowFrameCheckBox->isChecked()) {
    update();
    RichEdit->viewport()->update();
  }
  DrawRichBoxFrame();
  RichEdit->setFocus();
}

void TPagelumeForm::paintEvent(QPaintEvent *event) {
  QPainter painter(this);
  const QRect area = event->rect();
  const bool picture = !ScreenBackBitmap.isNull() && !BackPictureDetached;
  // The colour under whatever the picture does not cover (a window grown
  // before its picture is rebuilt).
  if (!picture || !ScreenBackBitmap.rect().contains(area))
    painter.fillRect(area, ColorToQColor(ScreenBackColorPanel->Color()));
  if (picture)
    painter.drawImage(area.topLeft(), ScreenBackBitmap, area);
  // The frame: one pixel around the reading box, in the screen's text colour.
  if (ShowFrameCheckBox->isChecked() && !RichEdit->isHidden()) {
    const QRect box = RichEdit->geometry();
    painter.setPen(ColorToQColor(ScreenForeColorPanel->Color()));
    const QPoint points[] = {{box.left() - 1, box.top() - 1},
                             {box.left() + box.width(), box.top() - 1},
                             {box.left() + box.width(), box.top() + box.height()},
                             {box.left() - 1, box.top() + box.height()},
                             {box.left() - 1, box.top() - 1}};
    painter.drawPolyline(points, 5);
  }
}

TFormatColors TPagelumeForm::FormatColors() const {
  TFormatColors colors;
  if (RichBoxForeColorPanel) {
    colors.RichBoxForeColor = RichBoxForeColorPanel->Color();
    colors.EmphaColor = EmphaColorPanel->Color();
    colors.SecondEmphaColor = SecondEmphaColorPanel->Color();
  }
  return colors;
}
