// The converter's tab and the number under the pointer, and the dictionary
// look-up, on the main window.
#include "ConvertMeasure.h"
#include "Dialogs.h"
#include "Error.h"
#include "PagelumeDialog.h"
#include "Program.h"
#include "ProgramSettings.h"
#include "RTF.h"
#include "ReadingKeys.h"
#include "StoredTextList.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <clocale>
#include <gtest/gtest.h>

namespace {

class ReadingAidsTest : public ::testing::Test {
protected:
  void SetUp() override {
    SavedLocale = std::setlocale(LC_NUMERIC, nullptr);
    std::setlocale(LC_NUMERIC, "C");
    SetProgramDirOverride(Dir.path());
    SetMessageBoxHandler([](TMessageKind, const QString &) { return false; });
    SetShowErrorHandler([this](const TFunStatContext &ctx, const std::string &description, bool *) {
      Errors.push_back(description.empty() ? ctx.Description : description);
      return true;
    });
    Form = new TPagelumeForm;
    Form->IsApplicationActive = [] { return true; };
    Form->resize(1024, 768);
    Form->LayoutWindow();
  }
  void TearDown() override {
    delete Form;
    SetShowErrorHandler({});
    SetMessageBoxHandler({});
    SetProgramDirOverride(QString());
    std::setlocale(LC_NUMERIC, SavedLocale.c_str());
  }
  void SetText(const std::u16string &text) {
    Form->RichEdit->Clear();
    Form->RichEdit->AppendParagraph(text);
  }
  // The rich position of the first occurrence of mark.
  int32_t At(const std::u16string &mark) {
    return static_cast<int32_t>(Form->RichEdit->Text().find(mark));
  }
  void Select(const std::u16string &word) {
    Form->RichEdit->SetSelection(At(word), static_cast<int32_t>(word.size()));
  }
  QString ToolTipOver(QListWidget *list, const QString &unit) {
    QListWidgetItem *item = list->findItems(unit, Qt::MatchExactly).value(0);
    if (!item)
      return "no such unit";
    const QPoint p = list->visualItemRect(item).center();
    Form->ConvertListBoxMouseMove(list, p, list->viewport()->mapToGlobal(p));
    return list->toolTip();
  }

  QTemporaryDir Dir;
  std::string SavedLocale;
  std::vector<std::string> Errors;
  TPagelumeForm *Form = nullptr;
};

// A stand-in dictionary that records every start: its arguments, NUL-separated,
// after the argument count, one record per start.
class StandInDictionary {
public:
  explicit StandInDictionary(const QString &dir) : Script(dir + "/dictionary"), Log(dir + "/runs.log") {
    QFile file(Script);
    file.open(QIODevice::WriteOnly);
    file.write("#!/bin/sh\nprintf '%s\\0' \"$#\" \"$@\" >> \"$(dirname \"$0\")/runs.log\"\n");
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  }
  // The recorded starts; waits up to five seconds for the expected number.
  QList<QStringList> Runs(int expected) const {
    (void)QTest::qWaitFor([&] { return Read().size() >= expected; }, 5000);
    return Read();
  }
  QString Script, Log;

private:
  QList<QStringList> Read() const {
    QFile file(Log);
    QList<QStringList> runs;
    if (!file.open(QIODevice::ReadOnly))
      return runs;
    QList<QByteArray> fields = file.readAll().split('\0');
    fields.removeLast();  // after the last NUL
    for (int i = 0; i < fields.size();) {
      const int count = fields[i++].toInt();
      QStringList args;
      for (int k = 0; k < count && i < fields.size(); ++k)
        args << QString::fromUtf8(fields[i++]);
      runs << args;
    }
    return runs;
  }
};

}  // namespace

TEST_F(ReadingAidsTest, ConvertTabLayoutAndDefaults) {
  ASSERT_NE(Form->ConvertPageControl, nullptr);
  QStringList tabs;
  for (int i = 0; i < Form->ConvertPageControl->count(); ++i)
    tabs << Form->ConvertPageControl->tabText(i);
  EXPECT_EQ(tabs, QStringList({"Length", "Speed", "Area", "Volume", "Weight", "Temperature", "Misc"}));
  EXPECT_EQ(Form->SelectedUnitText(mqLength), "Meters");
  EXPECT_EQ(Form->SelectedUnitText(mqSpeed), "Meters / Second");
  EXPECT_EQ(Form->SelectedUnitText(mqTemperature), "Celsius");
  EXPECT_EQ(Form->VolumeListBox->count(), 22);
  EXPECT_TRUE(Form->MiscMemo->isReadOnly());
}

// Every caption of the converter's seven pages shows whole in the sidebar,
// and a click on one shows its page.
TEST_F(ReadingAidsTest, ConvertTabsAllShownWhole) {
  Form->show();
  QApplication::processEvents();
  Form->ShowSidebar(false);
  Form->Container_MainPanel->show();
  Form->Container_OptionsPageControl->setCurrentWidget(Form->ConvertTabSheet);
  QApplication::processEvents();
  const QRect page = Form->ConvertTabSheet->rect();
  for (int i = 0; i < Form->ConvertPageControl->count(); ++i) {
    const QString caption = Form->ConvertPageControl->tabText(i);
    auto *button = Form->ConvertTabSheet->findChild<QAbstractButton *>(caption + "TabButton");
    ASSERT_NE(button, nullptr) << caption.toStdString();
    ASSERT_TRUE(button->isVisible());
    const QRect shown(button->mapTo(Form->ConvertTabSheet, QPoint(0, 0)), button->size());
    EXPECT_TRUE(page.contains(shown)) << caption.toStdString();
    EXPECT_GE(button->width(), button->fontMetrics().horizontalAdvance(caption) + 4) << caption.toStdString();
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(Form->ConvertPageControl->currentIndex(), i);
  }
  // A page chosen by the program marks its caption.
  Form->ConvertPageControl->setCurrentIndex(mqArea);
  EXPECT_TRUE(Form->ConvertTabSheet->findChild<QAbstractButton *>("AreaTabButton")->isChecked());
}

TEST_F(ReadingAidsTest, StoredUnitsAreMatchedIgnoringCase) {
  Form->SelectUnitByText(mqSpeed, "Meters / second");
  EXPECT_EQ(Form->SelectedUnitText(mqSpeed), "Meters / Second");
  Form->SelectUnitByText(mqLength, "feet");
  EXPECT_EQ(Form->SelectedUnitText(mqLength), "Feet");
  Form->SelectUnitByText(mqLength, "Cubits");
  EXPECT_EQ(Form->SelectedUnitText(mqLength), "Meters");
  Form->SelectUnitByText(mqWeight, "");
  EXPECT_EQ(Form->SelectedUnitText(mqWeight), "Kilograms");
}

TEST_F(ReadingAidsTest, UnitsComeFromAndGoToTheSettingsFile) {
  TStoredTextList in;
  in.WriteString("Pagelume_ConvertMeasure", "Speed", "meters / SECOND");
  in.WriteString("Pagelume_ConvertMeasure", "Length", "Cubits");
  in.WriteString("Pagelume_ConvertMeasure", "Volume", "barrels (159)");
  Form->SelectUnitByText(mqLength, "Feet");
  Form->LoadProgramSettings(in);
  EXPECT_EQ(Form->SelectedUnitText(mqSpeed), "Meters / Second");
  EXPECT_EQ(Form->SelectedUnitText(mqLength), "Meters");
  EXPECT_EQ(Form->SelectedUnitText(mqVolume), "Barrels (159)");
  Form->SelectUnitByText(mqTemperature, "Kelvin");
  TStoredTextList out;
  Form->SaveProgramSettings(out);
  auto stored = [&out](const char *key) {
    const std::string *value = out.Find("Pagelume_ConvertMeasure", key);
    return value ? *value : std::string("(none)");
  };
  EXPECT_EQ(stored("Speed"), "Meters / Second");
  EXPECT_EQ(stored("Volume"), "Barrels (159)");
  EXPECT_EQ(stored("Temperature"), "Kelvin");
  EXPECT_EQ(stored("Weight"), "Kilograms");
}

TEST_F(ReadingAidsTest, PointerOverANumberFillsValueHintAndNotes) {
  SetText(u"They rode 40 miles in 12-15 days at 1,234 feet.");
  Form->ConvertMeasureRichEditMouseMove(At(u"0 miles"));
  EXPECT_EQ(Form->ConvertMeasureEdit->text(), "40");
  EXPECT_TRUE(Form->HintLabel->text().startsWith("Convert 40.00 \u2022 Centimeters -> Inches = 15.75"))
      << Form->HintLabel->text().toStdString();
  EXPECT_TRUE(Form->HintLabel->text().contains("Miles -> Kilometers = 64.36"));
  EXPECT_EQ(Form->MiscMemo->document()->blockCount(), 12);
  EXPECT_TRUE(Form->MiscMemo->toPlainText().startsWith(" \u2022 40.00 Horse-power = 3000.00"));
  // The separator shows as a bullet: 0x7F is an empty box in the screen's fonts.
  EXPECT_FALSE(Form->HintLabel->text().contains(QChar(0x7F)));

  Form->ConvertMeasureRichEditMouseMove(At(u"2-15"));
  EXPECT_EQ(Form->ConvertValue(), 12);
  Form->ConvertMeasureRichEditMouseMove(At(u"5 days"));
  EXPECT_EQ(Form->ConvertValue(), 15);
  Form->ConvertMeasureRichEditMouseMove(At(u"34 feet"));
  EXPECT_EQ(Form->ConvertValue(), 1234);
  // The first character of the book is a number's first character.
  SetText(u"7 leagues");
  Form->ConvertMeasureRichEditMouseMove(0);
  EXPECT_EQ(Form->ConvertValue(), 7);

  // No digits: the reading box's own hint; the value stays.
  Form->ConvertMeasureRichEditMouseMove(At(u"eagues"));
  EXPECT_EQ(Form->HintLabel->text(), TPagelumeForm::RichEditHint);
  EXPECT_EQ(Form->ConvertValue(), 7);

  // While a book loads (the options are disabled) moves leave everything alone.
  SetText(u"9 leagues");
  Form->Container_OptionsPageControl->setEnabled(false);
  Form->ConvertMeasureRichEditMouseMove(0);
  EXPECT_EQ(Form->ConvertValue(), 7);
}

TEST_F(ReadingAidsTest, NumberThatDoesNotParseShowsOnlyInTheHint) {
  SetText(u"Version 2.5.1 of the reader");
  Form->ConvertMeasureEdit->setText("3");
  Form->ConvertMeasureRichEditMouseMove(At(u"5.1"));
  EXPECT_EQ(Form->HintLabel->text(), "Failed to convert measure.");
  EXPECT_EQ(Form->ConvertValue(), 3);
  EXPECT_TRUE(Errors.empty());
  EXPECT_FALSE(FunStatContext.Failed());
  Form->ConvertMeasureEdit->setText("many");
  EXPECT_EQ(Form->ConvertValue(), 0);
}

TEST_F(ReadingAidsTest, UnitToolTipConvertsToTheSelectedUnit) {
  Form->ConvertMeasureEdit->setText("10");
  EXPECT_EQ(ToolTipOver(Form->LengthListBox, "Feet"), "10.00 Feet = 3.05 Meters");
  Form->ConvertMeasureEdit->setText("100");
  Form->SelectUnitByText(mqTemperature, "Fahrenheit");
  EXPECT_EQ(ToolTipOver(Form->TemperatureListBox, "Celsius"), "100.00 Celsius = 212.00 Fahrenheit");
  Form->SelectUnitByText(mqTemperature, "Celsius");
  EXPECT_EQ(ToolTipOver(Form->TemperatureListBox, "Kelvin"), "100.00 Kelvin = -173.15 Celsius");
  // Below the last unit there is nothing to convert.
  Form->ConvertListBoxMouseMove(Form->TemperatureListBox, QPoint(5, 5000), QPoint());
  EXPECT_EQ(Form->TemperatureListBox->toolTip(), " ");
}

TEST_F(ReadingAidsTest, RightPressJumpsToLengthWithTheValue) {
  Form->show();
  QApplication::setActiveWindow(Form);
  SetText(u"A wall 12 feet high.");
  Form->ConvertPageControl->setCurrentIndex(mqWeight);
  Form->ShowSidebar(true);  // as the pointer over the reading box does
  ASSERT_TRUE(Form->Container_MainPanel->isHidden());
  Form->ConvertMeasureRichEditRightClick(At(u"2 feet"));
  EXPECT_FALSE(Form->Container_MainPanel->isHidden());
  EXPECT_EQ(Form->Container_OptionsPageControl->currentWidget(), Form->ConvertTabSheet);
  EXPECT_EQ(Form->ConvertPageControl->currentWidget(), Form->LengthTabSheet);
  EXPECT_EQ(Form->ConvertMeasureEdit->text(), "12");
  EXPECT_EQ(QCursor::pos(), Form->LengthTabSheet->mapToGlobal(QPoint(Form->LengthTabSheet->width() / 2, 0)));
  EXPECT_TRUE(Form->ConvertMeasureEdit->hasFocus() || QApplication::focusWidget() == nullptr);
}

TEST_F(ReadingAidsTest, DictionaryGetsTheWordAsItsOneArgument) {
  StandInDictionary dictionary(Dir.path());
  Form->DictionaryTitleEdit->setText(dictionary.Script);
  Form->ClipboardForDicCheckBox->setChecked(false);
  QApplication::clipboard()->setText("left alone");
  const std::u16string hostile1 = u"\"; rm -rf ~; \"";
  const std::u16string hostile2 = u"$(reboot)";
  SetText(u"word " + hostile1 + u" " + hostile2 + u" 'a b' \\x end");
  for (const std::u16string &word : {std::u16string(u"word"), hostile1, hostile2, std::u16string(u"'a b' \\x")}) {
    Select(word);
    Form->LookUpWord();
    EXPECT_FALSE(FunStatContext.Failed());
  }
  // The starts run side by side, so they may be recorded in any order.
  QList<QStringList> runs = dictionary.Runs(4);
  std::sort(runs.begin(), runs.end());
  QList<QStringList> expected = {{"word"},
                                 {QString::fromStdU16String(hostile1)},
                                 {QString::fromStdU16String(hostile2)},
                                 {"'a b' \\x"}};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(runs, expected);
  EXPECT_EQ(QApplication::clipboard()->text(), "left alone");
}

TEST_F(ReadingAidsTest, DictionaryThroughTheClipboardGetsNoArgument) {
  StandInDictionary dictionary(Dir.path());
  Form->DictionaryTitleEdit->setText(dictionary.Script);
  ASSERT_TRUE(Form->ClipboardForDicCheckBox->isChecked());
  SetText(u"The lexicon");
  Select(u"lexicon");
  Form->LookUpWord();
  EXPECT_EQ(QApplication::clipboard()->text(), "lexicon");
  const auto runs = dictionary.Runs(1);
  ASSERT_EQ(runs.size(), 1);
  EXPECT_TRUE(runs[0].isEmpty());
}

TEST_F(ReadingAidsTest, DictionaryIsNotStartedForLongBlankOrMissing) {
  StandInDictionary dictionary(Dir.path());
  Form->DictionaryTitleEdit->setText(dictionary.Script);
  Form->ClipboardForDicCheckBox->setChecked(false);
  SetText(u"abcdefghijklmnopqrstu   abcdefghijklmnopqrst");
  Select(u"abcdefghijklmnopqrstu");  // 21 characters
  Form->LookUpWord();
  Form->RichEdit->SetSelection(At(u"   "), 3);
  Form->LookUpWord();
  Form->DictionaryTitleEdit->clear();
  Select(u"abcdefghijklmnopqrst");
  Form->LookUpWord();
  // Twenty characters go; by then the others would have been recorded first.
  Form->DictionaryTitleEdit->setText(dictionary.Script);
  Form->LookUpWord();
  const auto runs = dictionary.Runs(1);
  ASSERT_EQ(runs.size(), 1);
  EXPECT_EQ(runs[0], QStringList{"abcdefghijklmnopqrst"});
  EXPECT_TRUE(Errors.empty());
}

TEST_F(ReadingAidsTest, MissingDictionaryReportsOnceOnDoubleClick) {
  Form->DictionaryTitleEdit->setText(Dir.path() + "/no-such-dictionary");
  SetText(u"A word here");
  Select(u"word");
  QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton, Qt::LeftButton,
                  Qt::NoModifier);
  Form->Reading->RichEditMouseDown(&dbl);
  ASSERT_EQ(Errors.size(), 1u);
  EXPECT_EQ(Errors[0], "Failed to run file.");
}

TEST_F(ReadingAidsTest, ChangeDictionaryTakesTheChosenProgram) {
  QString offered;
  Form->ChooseDictionaryFile = [&](const QString &current) {
    offered = current;
    return QString();
  };
  Form->ChangeDictionaryButtonClick();
  EXPECT_EQ(offered, QString(DefaultDictionaryTitle));
  EXPECT_EQ(Form->DictionaryTitleEdit->text(), QString(DefaultDictionaryTitle));
  Form->ChooseDictionaryFile = [&](const QString &) { return Dir.path() + "/bin/../dict"; };
  Form->ChangeDictionaryButtonClick();
  EXPECT_EQ(Form->DictionaryTitleEdit->text(), Dir.path() + "/dict");
  EXPECT_TRUE(Errors.empty());
}
