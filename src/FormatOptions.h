// The text and paragraph format options of the profile's "Format" tab, the
// whole-text format operations behind them, and the "Force Rich-edit 3"
// option of the program's "Misc" tab.
#pragma once

#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <string>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class TEnhancedRichEdit;
class TRichEdit;

// The colour slots that enter the base format (0x00BBGGRR).
struct TFormatColors {
  uint32_t RichBoxForeColor = 0x000000;
  uint32_t EmphaColor = 0x820000;
  uint32_t SecondEmphaColor = 0x5A00B4;
};

class TFormatOptionsPanel : public QWidget {
  Q_OBJECT
public:
  // colors (optional) gives the current colour slots; without it the defaults above are used.
  TFormatOptionsPanel(TRichEdit *richEdit, TEnhancedRichEdit *engine, std::function<TFormatColors()> colors = {},
                      QWidget *parent = nullptr);

  // Current option values, read from the controls with their ranges and defaults.
  int32_t LeftMargin() const;
  int32_t RightMargin() const;
  bool BoldFont() const;
  bool JustifiedText() const;
  bool Hyphenation() const;
  QString FontName() const;  // "Times New Roman" when the control is empty
  int32_t FontSize() const;
  int32_t FontZoom() const;
  int32_t CharSpacing() const;
  int32_t LineSpacing() const;
  int32_t SpaceAfter() const;
  int32_t FirstLineIndent() const;
  QString ParagraphPrefix() const;  // the control's text
  int32_t Alignment() const;        // 3 when justified, else 0 (the engine's base alignment)
  TFormatColors Colors() const;
  // The base format of the engine from the options (underline and italic off).
  void SetBaseFormat();

  // Change handlers (also called after a profile is loaded).
  void LeftMarginComboBoxChange();
  void RightMarginComboBoxChange();
  void BoldFontCheckBoxClick();
  void JustifiedTextCheckBoxClick();
  void HyphenationCheckBoxClick();
  // The language of the open book ("" unknown): its patterns break long words
  // when "Hyphenate words" is on.
  void SetBookLanguage(const std::string &tag);
  const std::string &BookLanguage() const { return Language; }
  // Gives the reading box the patterns of the book's language, or none.
  void ApplyHyphenation();
  void FontNameComboBoxChange();
  void FontSizeComboBoxChange();
  void FontZoomComboBoxChange();
  void CharSpacingComboBoxChange();
  void LineSpacingComboBoxChange();
  void SpaceAfterComboBoxChange();
  void FirstLineIndentComboBoxChange();
  // Re-applies the paragraph options to every paragraph, keeping the top line.
  void SetAllParaFormatRichEdit();

  // Whole-text operations on the reading box.
  static void SetBoldAll(TRichEdit *box, bool bold);
  static void SetFaceAll(TRichEdit *box, const QString &face);
  static void SetSizeAll(TRichEdit *box, int32_t points);
  static void SetSpacingAll(TRichEdit *box, int32_t tenthsOfMm);
  static void SetColorAll(TRichEdit *box, uint32_t color);
  // Character spacing in twips: tenths of the program's millimetre × 5.76, truncated toward zero.
  static int32_t SpacingTwips(int32_t tenthsOfMm);

  QGroupBox *FormatTextGroupBox;
  QGroupBox *FormatParagraphGroupBox;
  QComboBox *LeftMarginComboBox;
  QComboBox *RightMarginComboBox;
  QCheckBox *BoldFontCheckBox;
  QCheckBox *JustifiedTextCheckBox;
  QCheckBox *HyphenationCheckBox;
  QComboBox *FontNameComboBox;
  QComboBox *FontSizeComboBox;
  QComboBox *FontZoomComboBox;
  QComboBox *CharSpacingComboBox;
  QComboBox *LineSpacingComboBox;
  QComboBox *SpaceAfterComboBox;
  QComboBox *FirstLineIndentComboBox;
  QComboBox *ParagraphPrefixComboBox;

private:
  // Runs change with the first visible line remembered and brought back to the
  // top afterwards, and the text as modified as it was before.
  void KeepingView(const std::function<void()> &change);
  // Runs change, a reformat of all text, leaving the modified state as it was.
  void KeepingModified(const std::function<void()> &change);

  TRichEdit *RichEdit;
  TEnhancedRichEdit *Engine;
  std::function<TFormatColors()> ColorsCallout;
  std::string Language;
};

// The "System integration" group of the program's "Misc" tab: "Force Rich-edit 3"
// and the detection label.
class TRichEdit3Options : public QWidget {
  Q_OBJECT
public:
  explicit TRichEdit3Options(TEnhancedRichEdit *engine, QWidget *parent = nullptr);
  void ForceRichEdit3CheckBoxClick();
  // Shows the engine's detection result.
  void UpdateDetectLabel();

  QGroupBox *SystemIntegrationGroupBox;
  QCheckBox *ForceRichEdit3CheckBox;
  QLabel *DetectRichEdit3Label;

private:
  TEnhancedRichEdit *Engine;
};
