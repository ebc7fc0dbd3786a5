// The main window's program settings: the option controls of the program's
// "General" and "Misc" tabs that belong to Pagelume.ini, reading the file at
// start and writing it at an orderly close.
#include "PagelumeDialog.h"

#include "BookLoader.h"
#include "Bookshelf.h"
#include "Error.h"
#include "File.h"
#include "FormatOptions.h"
#include "ProgramSettings.h"
#include "ProfileSettings.h"
#include "Program.h"
#include "StoredTextList.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace {

const char *const SettingsFileName = "Pagelume.ini";

QComboBox *NewOptionList(QWidget *parent, const char *name, const TIntOption &option, const QString &hint) {
  auto *box = new QComboBox(parent);
  box->setObjectName(name);
  for (int32_t value : option.Offered)
    box->addItem(QString::number(value));
  box->setCurrentIndex(box->findText(QString::number(option.Default)));
  box->setStatusTip(hint);
  return box;
}

QCheckBox *NewOptionCheck(QWidget *parent, const char *name, const QString &caption, const QString &hint) {
  auto *box = new QCheckBox(caption, parent);
  box->setObjectName(name);
  box->setChecked(true);
  box->setStatusTip(hint);
  return box;
}

// Selects the item equal to value, or none.
void ShowInt(QComboBox *box, int32_t value) {
  QSignalBlocker block(box);
  box->setCurrentIndex(box->findText(QString::number(value)));
}

// Inserts before the page's closing stretch.
void AddBeforeStretch(QWidget *page, QWidget *widget) {
  auto *layout = static_cast<QVBoxLayout *>(page->layout());
  int at = layout->count();
  if (at > 0 && layout->itemAt(at - 1)->spacerItem())
    --at;
  layout->insertWidget(at, widget);
}

}  // namespace

// ---- Controls ----

void TPagelumeForm::BuildSettingsOptions() {
  // "General": the automation boxes around the existing load options.
  AutoBookmarkCheckBox = NewOptionCheck(
      GeneralTabSheet, "AutoBookmarkCheckBox", "Auto bookmark",
      "Keep the place in the books of the bookshelf: the auto-bookmark follows the top line when you leave a book "
      "and when the program closes");
  static_cast<QVBoxLayout *>(GeneralTabSheet->layout())->insertWidget(0, AutoBookmarkCheckBox);
  AutoSaveProfileCheckBox = NewOptionCheck(
      GeneralTabSheet, "AutoSaveProfileCheckBox", "Auto save profile",
      "Save the current profile automatically: before another book or profile is loaded and when the program "
      "closes");
  AddBeforeStretch(GeneralTabSheet, AutoSaveProfileCheckBox);

  SizesGroupBox = new QGroupBox("Sizes", GeneralTabSheet);
  SizesGroupBox->setObjectName("SizesGroupBox");
  SizesGroupBox->setStatusTip("The size and place of the rich-box on the screen");
  auto *sizes = new QFormLayout(SizesGroupBox);
  RichBoxWidthPercentComboBox =
      NewOptionList(SizesGroupBox, "RichBoxWidthPercentComboBox", ProgramIntOption(ioRichBoxWidthPercent),
                    "The width of the rich-box, in percent of the screen width");
  RichBoxTopPercentComboBox =
      NewOptionList(SizesGroupBox, "RichBoxTopPercentComboBox", ProgramIntOption(ioRichBoxTopPercent),
                    "The top of the rich-box, in percent of the screen height");
  RichBoxBottomPercentComboBox =
      NewOptionList(SizesGroupBox, "RichBoxBottomPercentComboBox", ProgramIntOption(ioRichBoxBottomPercent),
                    "The space below the rich-box, in percent of the screen height");
  sizes->addRow("Width (%)", RichBoxWidthPercentComboBox);
  sizes->addRow("Top (%)", RichBoxTopPercentComboBox);
  sizes->addRow("Bottom (%)", RichBoxBottomPercentComboBox);
  AddBeforeStretch(GeneralTabSheet, SizesGroupBox);
  for (QComboBox *box : {RichBoxWidthPercentComboBox, RichBoxTopPercentComboBox, RichBoxBottomPercentComboBox})
    connect(box, &QComboBox::currentIndexChanged, this, &TPagelumeForm::SizeComboBoxChange);

  DictionaryGroupBox = new QGroupBox("Dictionary", GeneralTabSheet);
  DictionaryGroupBox->setObjectName("DictionaryGroupBox");
  auto *dictionary = new QVBoxLayout(DictionaryGroupBox);
  DictionaryTitleEdit = new QLineEdit(DefaultDictionaryTitle, DictionaryGroupBox);
  DictionaryTitleEdit->setObjectName("DictionaryTitleEdit");
  DictionaryTitleEdit->setReadOnly(true);
  DictionaryTitleEdit->setStatusTip("File title of dictionary program");
  ClipboardForDicCheckBox = NewOptionCheck(DictionaryGroupBox, "ClipboardForDicCheckBox",
                                           "Use clipboard for dictionary", "Use the clipboard to query the dictionary");
  dictionary->addWidget(DictionaryTitleEdit);
  dictionary->addWidget(ClipboardForDicCheckBox);
  AddBeforeStretch(GeneralTabSheet, DictionaryGroupBox);

  // "Misc": the print margins above the system integration group.
  PrintTextGroupBox = new QGroupBox("Print text", MiscTabSheet);
  PrintTextGroupBox->setObjectName("PrintTextGroupBox");
  PrintTextGroupBox->setStatusTip("Options for printing the currently opened book");
  auto *print = new QFormLayout(PrintTextGroupBox);
  PrintLeftMarginComboBox =
      NewOptionList(PrintTextGroupBox, "PrintLeftMarginComboBox", ProgramIntOption(ioPrintLeftMargin),
                    "Space between paper left-margin and text");
  PrintRightMarginComboBox =
      NewOptionList(PrintTextGroupBox, "PrintRightMarginComboBox", ProgramIntOption(ioPrintRightMargin),
                    "Space between paper right-margin and text");
  PrintTopMarginComboBox =
      NewOptionList(PrintTextGroupBox, "PrintTopMarginComboBox", ProgramIntOption(ioPrintTopMargin),
                    "Space between paper top-margin and text");
  PrintBottomMarginComboBox =
      NewOptionList(PrintTextGroupBox, "PrintBottomMarginComboBox", ProgramIntOption(ioPrintBottomMargin),
                    "Space between paper bottom-margin and text");
  print->addRow("Left margin (mm)", PrintLeftMarginComboBox);
  print->addRow("Right margin (mm)", PrintRightMarginComboBox);
  print->addRow("Top margin (mm)", PrintTopMarginComboBox);
  print->addRow("Bottom margin (mm)", PrintBottomMarginComboBox);
  static_cast<QVBoxLayout *>(MiscTabSheet->layout())->insertWidget(0, PrintTextGroupBox);
}

void TPagelumeForm::SizeComboBoxChange() {
  auto value = [](int id, const QComboBox *box) {
    return ProgramIntOption(id).FromText(box->currentText().toStdString());
  };
  RichBoxWidthPercent = value(ioRichBoxWidthPercent, RichBoxWidthPercentComboBox);
  RichBoxTopPercent = value(ioRichBoxTopPercent, RichBoxTopPercentComboBox);
  RichBoxBottomPercent = value(ioRichBoxBottomPercent, RichBoxBottomPercentComboBox);
  LayoutWindow();
}

// ---- Controls and the settings record ----

namespace {
struct TIntControl {
  int Id;
  QComboBox *Box;
};
}  // namespace

TProgramSettings TPagelumeForm::ProgramSettingsFromControls() const {
  TProgramSettings s;
  s.AutoSaveProfile = AutoSaveProfileCheckBox->isChecked();
  s.AutoBookmark = AutoBookmarkCheckBox->isChecked();
  s.AutoLoadLast = AutoLoadLastCheckBox->isChecked();
  // No value: the wheel scrolls 0 lines, and 0 is written.
  s.WheelScrollLines = WheelScrollLinesComboBox->currentIndex() < 0
                           ? 0
                           : WheelScrollLinesOption().FromText(WheelScrollLinesComboBox->currentText().toStdString());
  s.DictionaryTitle = DictionaryTitleEdit->text().toStdString();
  s.ClipboardForDic = ClipboardForDicCheckBox->isChecked();
  s.ForceRichEdit3 = RichEdit3Options->ForceRichEdit3CheckBox->isChecked();
  s.OpenInPieces = OpenInPiecesCheckBox->isChecked();
  const TIntControl ints[] = {{ioPieceSize, PieceSizeComboBox},
                              {ioRichBoxWidthPercent, RichBoxWidthPercentComboBox},
                              {ioRichBoxTopPercent, RichBoxTopPercentComboBox},
                              {ioRichBoxBottomPercent, RichBoxBottomPercentComboBox},
                              {ioPrintLeftMargin, PrintLeftMarginComboBox},
                              {ioPrintRightMargin, PrintRightMarginComboBox},
                              {ioPrintTopMargin, PrintTopMarginComboBox},
                              {ioPrintBottomMargin, PrintBottomMarginComboBox}};
  for (const TIntControl &c : ints)
    s.Ints[static_cast<size_t>(c.Id)] = ProgramIntOption(c.Id).FromText(c.Box->currentText().toStdString());
  for (int id = 0; id < qCount && id < ConvertMeasureUnits.size(); ++id)
    s.Units[static_cast<size_t>(id)] = ConvertMeasureUnits[id].toStdString();
  return s;
}

void TPagelumeForm::ShowProgramSettings(const TProgramSettings &s) {
  AutoSaveProfileCheckBox->setChecked(s.AutoSaveProfile);
  AutoBookmarkCheckBox->setChecked(s.AutoBookmark);
  AutoLoadLastCheckBox->setChecked(s.AutoLoadLast);
  ShowInt(WheelScrollLinesComboBox, s.WheelScrollLines);
  DictionaryTitleEdit->setText(QString::fromStdString(s.DictionaryTitle));
  ClipboardForDicCheckBox->setChecked(s.ClipboardForDic);
  RichEdit3Options->ForceRichEdit3CheckBox->setChecked(s.ForceRichEdit3);
  RichEdit3Options->ForceRichEdit3CheckBoxClick();  // the engine takes it at once
  OpenInPiecesCheckBox->setChecked(s.OpenInPieces);
  OpenInPiecesCheckBoxClick();  // the pieces controls follow at once
  ShowInt(PieceSizeComboBox, s.Ints[ioPieceSize]);
  ShowInt(RichBoxWidthPercentComboBox, s.Ints[ioRichBoxWidthPercent]);
  ShowInt(RichBoxTopPercentComboBox, s.Ints[ioRichBoxTopPercent]);
  ShowInt(RichBoxBottomPercentComboBox, s.Ints[ioRichBoxBottomPercent]);
  ShowInt(PrintLeftMarginComboBox, s.Ints[ioPrintLeftMargin]);
  ShowInt(PrintRightMarginComboBox, s.Ints[ioPrintRightMargin]);
  ShowInt(PrintTopMarginComboBox, s.Ints[ioPrintTopMargin]);
  ShowInt(PrintBottomMarginComboBox, s.Ints[ioPrintBottomMargin]);
  SizeComboBoxChange();
}

// ---- Pagelume.ini ----

void TPagelumeForm::CreateStoredLists() {
  SettingsList = std::make_unique<TStoredTextList>((SettingsDir() + SettingsFileName).toStdString());
  SettingsList->OnLoad = [this](TStoredTextList &list) { LoadProgramSettings(list); };
  SettingsList->OnSave = [this](TStoredTextList &list) { SaveProgramSettings(list); };
  CreateProfileList();
}

void TPagelumeForm::LoadSettingsList() {
  OP_BEGIN("TPagelumeForm::LoadSettingsList");
  OP_TRY {
    if (SettingsList) {
      RemoveStaleTemporaryFiles(SettingsDir(), {SettingsFileName, DefaultProfileFileName});
      SettingsLoadFailed = !SettingsList->Load() && FileExists(QString::fromStdString(SettingsList->FileName));
      OP_ADOPT();
    }
  }
  OP_CATCH;
  // The program goes on with what was read and the defaults for the rest.
  OP_SHOW("Failed to load file.");
}

void TPagelumeForm::LoadProgramSettings(TStoredTextList &list) {
  TProgramSettings s = ProgramSettingsFromControls();
  s.ReadMain(list, QApplication::wheelScrollLines());
  ShowProgramSettings(s);
  Bookshelf->LoadBookshelf(list);
  RefreshBookshelfButtons();
  s.ReadConvertMeasure(list);
  ConvertMeasureUnits.clear();
  for (const std::string &unit : s.Units)
    ConvertMeasureUnits << QString::fromStdString(unit);
  ApplyConvertMeasureUnits();
}

void TPagelumeForm::SaveProgramSettings(TStoredTextList &list) {
  list.Clear();
  CollectConvertMeasureUnits();
  const TProgramSettings s = ProgramSettingsFromControls();
  s.WriteMain(list);
  UpdateAutoBookmark(true);
  Bookshelf->SaveBookshelf(list);
  if (s.AutoSaveProfile) {
    SaveProfileAtExit();  // shows its own failure; this save goes on
    FunStatContext.Reset();
  }
  s.WriteConvertMeasure(list);
}

void TPagelumeForm::SaveSettings() {
  OP_BEGIN("TPagelumeForm::SaveSettings");
  OP_TRY {
    if (SettingsList && SettingsLoadFailed) {
      // The settings in the file that could not be read are not replaced by
      // the defaults; the profile is still saved.
      if (AutoSaveProfileCheckBox->isChecked()) {
        SaveProfileAtExit();
        FunStatContext.Reset();
      }
    } else if (SettingsList) {
      SettingsList->Save(false);
      OP_ADOPT();
    }
  }
  OP_CATCH;
  // Shown here, and the window closes anyway.
  OP_SHOW("Failed to save file.");
}
