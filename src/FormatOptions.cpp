#include "FormatOptions.h"

#include "EnhancedRTF.h"
#include "Error.h"
#include "Hyphenator.h"
#include "RTF.h"
#include "TextFormat.h"
#include "Utilities.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>
#include <climits>
#include <cmath>

namespace {

const QString DefaultFontName = QStringLiteral("Times New Roman");

QStringList Range(int from, int to, int step) {
  QStringList items;
  for (int value = from; value <= to; value += step)
    items << QString::number(value);
  return items;
}

QComboBox *NewList(const char *name, const QStringList &items, const QString &selected, const char *hint) {
  auto *box = new QComboBox;
  box->setObjectName(name);
  box->addItems(items);
  box->setCurrentIndex(box->findText(selected));
  box->setStatusTip(hint);
  return box;
}

QCheckBox *NewCheck(const char *name, const char *caption, bool checked, const char *hint) {
  auto *box = new QCheckBox(caption);
  box->setObjectName(name);
  box->setChecked(checked);
  box->setStatusTip(hint);
  return box;
}

int32_t ReadInt(const QComboBox *box, int32_t minimum, int32_t maximum, int32_t defaultValue) {
  return GetIntFromText(box->currentText().toStdString(), minimum, maximum, defaultValue);
}

void SetAll(TRichEdit *box, const TCharFormat &format) { box->SetCharFormat(format, true); }

}  // namespace

TFormatOptionsPanel::TFormatOptionsPanel(TRichEdit *richEdit, TEnhancedRichEdit *engine,
                                         std::function<TFormatColors()> colors, QWidget *parent)
    : QWidget(parent), RichEdit(richEdit), Engine(engine), ColorsCallout(std::move(colors)) {
  const QStringList margins = Range(0, 50, 5);
  LeftMarginComboBox =
      NewList("LeftMarginComboBox", margins, "15", "Left margin between rich-box frame and text");
  RightMarginComboBox =
      NewList("RightMarginComboBox", margins, "15", "Right margin between rich-box frame and text");
  BoldFontCheckBox =
      NewCheck("BoldFontCheckBox", "Bold font", false, "Use a thicker font to display the text with");
  JustifiedTextCheckBox = NewCheck(
      "JustifiedTextCheckBox", "Justified text", true,
      "Spaces between words are expanded so that each line of text fits the whole width of the rich-box");
  HyphenationCheckBox = NewCheck(
      "HyphenationCheckBox", "Hyphenate words", true,
      "Long words are broken with a hyphen at the end of a line, by the rules of the book's language, so that "
      "justified lines have no wide gaps between words. The text itself does not change.");
  QStringList fonts = QFontDatabase::families();
  fonts.sort(Qt::CaseInsensitive);
  FontNameComboBox = NewList("FontNameComboBox", fonts, DefaultFontName, "Font used to display the text with");
  FontSizeComboBox = NewList("FontSizeComboBox", Range(8, 30, 1) + QStringList{"32", "35", "40", "45", "50"}, "16",
                             "Size of font used to display text with");
  FontZoomComboBox =
      NewList("FontZoomComboBox",
              Range(10, 200, 5) + QStringList{"225", "250", "275", "300", "350", "400", "450", "500"}, "100",
              "Zoom factor for size of font used to display text with");
  CharSpacingComboBox = NewList("CharSpacingComboBox",
                                Range(-10, 20, 1) + Range(25, 50, 5) + Range(60, 100, 10) + Range(150, 500, 50), "0",
                                "Spacing between characters of font used to display text with");
  LineSpacingComboBox =
      NewList("LineSpacingComboBox",
              Range(100, 200, 10) + QStringList{"225", "250", "275", "300", "350", "400", "450", "500"}, "120",
              "Space between the lines of a paragraph");
  SpaceAfterComboBox = NewList("SpaceAfterComboBox", Range(0, 10, 1) + QStringList{"12", "15", "18", "20", "25", "30"},
                               "5", "Space after each paragraph");
  FirstLineIndentComboBox = NewList(
      "FirstLineIndentComboBox", margins, "10",
      "The first line of each paragraph is indented to the right. The \"Paragraph prefix\" increases the "
      "indentation, unless it's \"None\".");
  ParagraphPrefixComboBox =
      NewList("ParagraphPrefixComboBox",
              {"None", "Tab", "Blanks", "- ", "* ", QString(QChar(0x00B7)) + QStringLiteral(" ")}, "None",
              "If text is enhanced, each paragraph will begin with this text. If you plan to save the book as plain "
              "text, you should not use \"None\" as \"Paragraph prefix\". Use this option before you open a book.");

  FormatTextGroupBox = new QGroupBox("Format text");
  FormatTextGroupBox->setObjectName("FormatTextGroupBox");
  FormatTextGroupBox->setStatusTip("Options for text formatting");
  auto *text = new QFormLayout(FormatTextGroupBox);
  text->addRow("Left margin (pixels)", LeftMarginComboBox);
  text->addRow("Right margin (pixels)", RightMarginComboBox);
  text->addRow(BoldFontCheckBox);
  text->addRow(JustifiedTextCheckBox);
  text->addRow(HyphenationCheckBox);
  text->addRow("Font name", FontNameComboBox);
  text->addRow("Font size (points)", FontSizeComboBox);
  text->addRow("Font zoom (%)", FontZoomComboBox);
  text->addRow("Char spacing (mm/10)", CharSpacingComboBox);

  FormatParagraphGroupBox = new QGroupBox("Format paragraph");
  FormatParagraphGroupBox->setObjectName("FormatParagraphGroupBox");
  FormatParagraphGroupBox->setStatusTip("Options for paragraph formatting");
  auto *paragraph = new QFormLayout(FormatParagraphGroupBox);
  paragraph->addRow("Line spacing (%)", LineSpacingComboBox);
  paragraph->addRow("Space after (mm)", SpaceAfterComboBox);
  paragraph->addRow("First line indent (mm)", FirstLineIndentComboBox);
  paragraph->addRow("Paragraph prefix", ParagraphPrefixComboBox);

  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(FormatTextGroupBox);
  layout->addWidget(FormatParagraphGroupBox);
  layout->addStretch(1);

  // Only user changes run the handlers; settings loaders call them explicitly.
  auto onActivated = [this](QComboBox *box, void (TFormatOptionsPanel::*handler)()) {
    connect(box, &QComboBox::activated, this, handler);
  };
  onActivated(LeftMarginComboBox, &TFormatOptionsPanel::LeftMarginComboBoxChange);
  onActivated(RightMarginComboBox, &TFormatOptionsPanel::RightMarginComboBoxChange);
  onActivated(FontNameComboBox, &TFormatOptionsPanel::FontNameComboBoxChange);
  onActivated(FontSizeComboBox, &TFormatOptionsPanel::FontSizeComboBoxChange);
  onActivated(FontZoomComboBox, &TFormatOptionsPanel::FontZoomComboBoxChange);
  onActivated(CharSpacingComboBox, &TFormatOptionsPanel::CharSpacingComboBoxChange);
  onActivated(LineSpacingComboBox, &TFormatOptionsPanel::LineSpacingComboBoxChange);
  onActivated(SpaceAfterComboBox, &TFormatOptionsPanel::SpaceAfterComboBoxChange);
  onActivated(FirstLineIndentComboBox, &TFormatOptionsPanel::FirstLineIndentComboBoxChange);
  connect(BoldFontCheckBox, &QCheckBox::clicked, this, &TFormatOptionsPanel::BoldFontCheckBoxClick);
  connect(JustifiedTextCheckBox, &QCheckBox::clicked, this, &TFormatOptionsPanel::JustifiedTextCheckBoxClick);
  connect(HyphenationCheckBox, &QCheckBox::clicked, this, &TFormatOptionsPanel::HyphenationCheckBoxClick);
}

int32_t TFormatOptionsPanel::LeftMargin() const { return ReadInt(LeftMarginComboBox, 0, 50, 15); }
int32_t TFormatOptionsPanel::RightMargin() const { return ReadInt(RightMarginComboBox, 0, 50, 15); }
bool TFormatOptionsPanel::BoldFont() const { return BoldFontCheckBox->isChecked(); }
bool TFormatOptionsPanel::JustifiedText() const { return JustifiedTextCheckBox->isChecked(); }
bool TFormatOptionsPanel::Hyphenation() const { return HyphenationCheckBox->isChecked(); }
QString TFormatOptionsPanel::FontName() const {
  const QString name = FontNameComboBox->currentText();
  return name.isEmpty() ? DefaultFontName : name;
}
int32_t TFormatOptionsPanel::FontSize() const { return ReadInt(FontSizeComboBox, 8, 50, 16); }
int32_t TFormatOptionsPanel::FontZoom() const { return ReadInt(FontZoomComboBox, 10, 500, 100); }
int32_t TFormatOptionsPanel::CharSpacing() const { return ReadInt(CharSpacingComboBox, -10, 500, 0); }
int32_t TFormatOptionsPanel::LineSpacing() const { return ReadInt(LineSpacingComboBox, 100, 500, 120); }
int32_t TFormatOptionsPanel::SpaceAfter() const { return ReadInt(SpaceAfterComboBox, 0, 30, 5); }
int32_t TFormatOptionsPanel::FirstLineIndent() const { return ReadInt(FirstLineIndentComboBox, 0, 50, 10); }
QString TFormatOptionsPanel::ParagraphPrefix() const { return ParagraphPrefixComboBox->currentText(); }
int32_t TFormatOptionsPanel::Alignment() const { return JustifiedText() ? 3 : 0; }
TFormatColors TFormatOptionsPanel::Colors() const { return ColorsCallout ? ColorsCallout() : TFormatColors(); }

int32_t TFormatOptionsPanel::SpacingTwips(int32_t tenthsOfMm) {
  return static_cast<int32_t>(std::trunc(tenthsOfMm * 5.76));
}

void TFormatOptionsPanel::SetBoldAll(TRichEdit *box, bool bold) {
  TCharFormat format;
  format.Mask = CFM_BOLD;
  format.Effects = bold ? CFE_BOLD : 0;
  SetAll(box, format);
}

void TFormatOptionsPanel::SetFaceAll(TRichEdit *box, const QString &face) {
  TCharFormat format;
  format.Mask = CFM_FACE;
  format.FaceName = face.toStdString();
  SetAll(box, format);
}

void TFormatOptionsPanel::SetSizeAll(TRichEdit *box, int32_t points) {
  TCharFormat format;
  format.Mask = CFM_SIZE;
  format.HeightTwips = points * 20;
  SetAll(box, format);
}

void TFormatOptionsPanel::SetSpacingAll(TRichEdit *box, int32_t tenthsOfMm) {
  TCharFormat format;
  format.Extended = true;  // always the extended structure
  format.Mask = CFM_SPACING;
  format.SpacingTwips = SpacingTwips(tenthsOfMm);
  SetAll(box, format);
}

void TFormatOptionsPanel::SetColorAll(TRichEdit *box, uint32_t color) {
  TCharFormat format;
  format.Mask = CFM_COLOR;
  format.TextColor = color;
  SetAll(box, format);
}

void TFormatOptionsPanel::KeepingView(const std::function<void()> &change) {
  const int32_t position = RichEdit->TopPosition();
  KeepingModified(change);
  RichEdit->GoToCharPos(position);
}

void TFormatOptionsPanel::KeepingModified(const std::function<void()> &change) {
  // A new look is no edit, but the reader's edits are still in the text.
  const bool edited = RichEdit->Modified();
  change();
  RichEdit->SetModified(edited);
}

void TFormatOptionsPanel::LeftMarginComboBoxChange() {
  KeepingView([this] { RichEdit->SetMargins(LeftMargin(), RichEdit->RightMargin()); });
}

void TFormatOptionsPanel::RightMarginComboBoxChange() {
  KeepingView([this] { RichEdit->SetMargins(RichEdit->LeftMargin(), RightMargin()); });
}

void TFormatOptionsPanel::BoldFontCheckBoxClick() {
  KeepingView([this] { SetBoldAll(RichEdit, BoldFont()); });
  RichEdit->setFocus(Qt::OtherFocusReason);
}

void TFormatOptionsPanel::JustifiedTextCheckBoxClick() {
  SetAllParaFormatRichEdit();
  RichEdit->setFocus(Qt::OtherFocusReason);
}

void TFormatOptionsPanel::HyphenationCheckBoxClick() {
  ApplyHyphenation();
  RichEdit->setFocus(Qt::OtherFocusReason);
}

void TFormatOptionsPanel::SetBookLanguage(const std::string &tag) {
  Language = tag;
  ApplyHyphenation();
}

void TFormatOptionsPanel::ApplyHyphenation() {
  // The reading box keeps its top line through the new layout.
  RichEdit->SetHyphenator(Hyphenation() ? THyphenator::ForLanguage(Language) : nullptr);
}

void TFormatOptionsPanel::FontNameComboBoxChange() {
  KeepingView([this] { SetFaceAll(RichEdit, FontName()); });
}

void TFormatOptionsPanel::FontSizeComboBoxChange() {
  const int32_t size = FontSize();
  KeepingModified([&] { SetSizeAll(RichEdit, size); });
}

void TFormatOptionsPanel::FontZoomComboBoxChange() { RichEdit->SetZoom(FontZoom(), 100); }

void TFormatOptionsPanel::CharSpacingComboBoxChange() {
  KeepingView([this] { SetSpacingAll(RichEdit, CharSpacing()); });
}

void TFormatOptionsPanel::LineSpacingComboBoxChange() { SetAllParaFormatRichEdit(); }
void TFormatOptionsPanel::SpaceAfterComboBoxChange() { SetAllParaFormatRichEdit(); }
void TFormatOptionsPanel::FirstLineIndentComboBoxChange() { SetAllParaFormatRichEdit(); }

void TFormatOptionsPanel::SetBaseFormat() {
  const TFormatColors colors = Colors();
  Engine->SetBaseFormat(false, false, LineSpacing(), SpaceAfter(), FirstLineIndent(), Alignment(),
                        colors.SecondEmphaColor, colors.EmphaColor, colors.RichBoxForeColor, CharSpacing(), FontSize(),
                        FontNameComboBox->currentText().toStdString(), BoldFont());
}

void TFormatOptionsPanel::SetAllParaFormatRichEdit() {
  const int32_t position = RichEdit->TopPosition();
  const bool edited = RichEdit->Modified();
  // Painting is held back instead of hiding the box, which would move the keyboard focus.
  const bool updates = RichEdit->updatesEnabled();
  RichEdit->setUpdatesEnabled(false);
  OP_BEGIN("TPagelumeForm::SetAllParaFormatRichEdit");
  OP_TRY {
    RichEdit->SetSelection(0, INT32_MAX);
    SetBaseFormat();
    Engine->ApplyParaFormat(true, PFM_STARTINDENT | PFM_RIGHTINDENT | PFM_OFFSET | PFM_ALIGNMENT |
                                      PFM_SPACEAFTER | PFM_LINESPACING);
  }
  OP_CATCH;
  RichEdit->SetModified(edited);  // a new look is no edit, nor does it undo one
  RichEdit->SetSelection(0, 0);
  RichEdit->GoToCharPos(position);
  RichEdit->setUpdatesEnabled(updates);
}

TRichEdit3Options::TRichEdit3Options(TEnhancedRichEdit *engine, QWidget *parent) : QWidget(parent), Engine(engine) {
  SystemIntegrationGroupBox = new QGroupBox("System integration");
  SystemIntegrationGroupBox->setObjectName("SystemIntegrationGroupBox");
  SystemIntegrationGroupBox->setStatusTip("Options to better integrate the program with the operating system");
  ForceRichEdit3CheckBox =
      NewCheck("ForceRichEdit3CheckBox", "Force Rich-edit 3", false,
               "If the program doesn't detect Rich-edit 3, but you know it is installed on your system, check this "
               "box to force the program use Rich-edit 3. Use this option before you open a book.");
  DetectRichEdit3Label = new QLabel;
  DetectRichEdit3Label->setObjectName("DetectRichEdit3Label");
  DetectRichEdit3Label->setStatusTip(
      "Indicates if Rich-edit 3 is installed or not on your system. If it is not installed then some minor "
      "features of the program will not work; in this case check the \"Force Rich-edit 3\" box, reopen the current "
      "book and only if the text looks worse uncheck it back.");
  auto *group = new QVBoxLayout(SystemIntegrationGroupBox);
  group->addWidget(ForceRichEdit3CheckBox);
  group->addWidget(DetectRichEdit3Label);
  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(SystemIntegrationGroupBox);
  connect(ForceRichEdit3CheckBox, &QCheckBox::clicked, this, &TRichEdit3Options::ForceRichEdit3CheckBoxClick);
  UpdateDetectLabel();
}

void TRichEdit3Options::ForceRichEdit3CheckBoxClick() { Engine->ForceRichEdit3 = ForceRichEdit3CheckBox->isChecked(); }

void TRichEdit3Options::UpdateDetectLabel() {
  DetectRichEdit3Label->setText(Engine->RichEdit3 ? "Rich-edit 3 is installed." : "Rich-edit 3 is NOT installed.");
}
