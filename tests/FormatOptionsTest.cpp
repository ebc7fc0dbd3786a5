#include "EnhancedRTF.h"
#include "FormatOptions.h"
#include "RTF.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <gtest/gtest.h>

namespace {

class FormatOptionsTest : public ::testing::Test {
protected:
  void SetUp() override {
    Box = new TRichEdit;
    Box->setFixedSize(500, 300);
    Engine.RichBox = Box;
    Panel = new TFormatOptionsPanel(Box, &Engine);
    Panel->SetBaseFormat();
    Engine.ApplyCharFormat(true, 0);
    Engine.ApplyParaFormat(true, 0);
    for (int i = 0; i < 150; ++i)
      Box->AppendParagraph(i == 40 ? u"CHAPTER II" : u"Some words of an ordinary paragraph that fits one line.");
    Panel->SetAllParaFormatRichEdit();
    Box->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Box));
  }
  void TearDown() override {
    delete Panel;
    delete Box;
  }

  static void Choose(QComboBox *box, const QString &text) {
    box->setCurrentIndex(box->findText(text));
    ASSERT_EQ(box->currentText(), text);
  }
  // Selects the paragraph (0-based) as the engine does, paragraph ends counting two.
  void SelectParagraph(int paragraph) {
    const QTextBlock block = Box->document()->findBlockByNumber(paragraph);
    Box->SetSelection(block.position() + paragraph, block.length() - 1);
  }
  template <class Test> void ForEachFragment(Test test) {
    for (QTextBlock block = Box->document()->begin(); block.isValid(); block = block.next())
      for (auto it = block.begin(); !it.atEnd(); ++it)
        test(block.blockNumber(), it.fragment().charFormat());
  }

  TRichEdit *Box = nullptr;
  TEnhancedRichEdit Engine;
  TFormatOptionsPanel *Panel = nullptr;
};

TEST_F(FormatOptionsTest, ReadsTheListsWithTheirRangesAndDefaults) {
  EXPECT_EQ(Panel->LeftMargin(), 15);
  EXPECT_EQ(Panel->FontSize(), 16);
  EXPECT_EQ(Panel->FontZoom(), 100);
  EXPECT_EQ(Panel->LineSpacing(), 120);
  EXPECT_EQ(Panel->SpaceAfter(), 5);
  EXPECT_EQ(Panel->FirstLineIndent(), 10);
  EXPECT_EQ(Panel->CharSpacing(), 0);
  EXPECT_EQ(Panel->ParagraphPrefix(), "None");
  EXPECT_TRUE(Panel->JustifiedText());
  EXPECT_EQ(Panel->Alignment(), 3);
  EXPECT_EQ(Panel->FontSizeComboBox->count(), 23 + 5);
  EXPECT_EQ(Panel->CharSpacingComboBox->itemText(0), "-10");
  EXPECT_EQ(Panel->CharSpacingComboBox->itemText(Panel->CharSpacingComboBox->count() - 1), "500");
  EXPECT_EQ(Panel->ParagraphPrefixComboBox->itemText(5), QString::fromUtf8("\xC2\xB7 "));
  Panel->FontSizeComboBox->setCurrentIndex(-1);
  EXPECT_EQ(Panel->FontSize(), 16);
  Panel->FontNameComboBox->setCurrentIndex(-1);
  EXPECT_EQ(Panel->FontName(), "Times New Roman");
  const QStringList fonts = [this] {
    QStringList items;
    for (int i = 0; i < Panel->FontNameComboBox->count(); ++i)
      items << Panel->FontNameComboBox->itemText(i);
    return items;
  }();
  QStringList sorted = fonts;
  sorted.sort(Qt::CaseInsensitive);
  EXPECT_EQ(fonts, sorted);
  EXPECT_EQ(TFormatOptionsPanel::SpacingTwips(-10), -57);
  EXPECT_EQ(TFormatOptionsPanel::SpacingTwips(25), 144);
}

TEST_F(FormatOptionsTest, LineSpacingChangeRespacesEveryParagraphAndKeepsTheView) {
  // A heading centred by a manual command.
  SelectParagraph(40);
  TParaFormat centre;
  centre.Extended = true;
  centre.Mask = PFM_ALIGNMENT;
  centre.Alignment = PFA_CENTER;
  Box->SetParaFormat(centre);
  ASSERT_EQ(Box->document()->findBlockByNumber(40).blockFormat().alignment() & Qt::AlignHorizontal_Mask,
            Qt::AlignHCenter);
  Box->GotoLine(30);
  ASSERT_EQ(Box->TopLine(), 30);
  Box->document()->setModified(false);

  Choose(Panel->LineSpacingComboBox, "200");
  Panel->LineSpacingComboBoxChange();

  for (QTextBlock block = Box->document()->begin(); block.isValid(); block = block.next()) {
    const QTextBlockFormat format = block.blockFormat();
    EXPECT_EQ(format.lineHeightType(), int(QTextBlockFormat::ProportionalHeight)) << block.blockNumber();
    EXPECT_DOUBLE_EQ(format.lineHeight(), 200) << block.blockNumber();
    EXPECT_EQ(format.alignment() & Qt::AlignHorizontal_Mask, Qt::AlignJustify) << block.blockNumber();
  }
  EXPECT_EQ(Box->TopLine(), 30);
  EXPECT_FALSE(Box->document()->isModified());
  EXPECT_FALSE(Box->textCursor().hasSelection());
}

TEST_F(FormatOptionsTest, FontSizeSetsEveryCharacterHeadingsIncluded) {
  SelectParagraph(40);
  TCharFormat heading;
  heading.Mask = CFM_SIZE | CFM_BOLD;
  heading.HeightTwips = 30 * 20;
  heading.Effects = CFE_BOLD;
  Box->SetCharFormat(heading, false);
  Box->document()->setModified(false);

  Choose(Panel->FontSizeComboBox, "20");
  Panel->FontSizeComboBoxChange();
  ForEachFragment([](int block, const QTextCharFormat &format) { EXPECT_DOUBLE_EQ(format.fontPointSize(), 20) << block; });
  EXPECT_FALSE(Box->document()->isModified());
}

TEST_F(FormatOptionsTest, EmptyFontNameGivesTimesNewRomanAndBoldAppliesToAll) {
  Panel->FontNameComboBox->setCurrentIndex(-1);
  Panel->FontNameComboBoxChange();
  ForEachFragment([](int block, const QTextCharFormat &format) {
    EXPECT_EQ(format.fontFamilies().toStringList().value(0), "Times New Roman") << block;
  });
  Box->document()->setModified(true);
  Panel->BoldFontCheckBox->setChecked(true);
  Panel->BoldFontCheckBoxClick();
  ForEachFragment([](int block, const QTextCharFormat &format) { EXPECT_EQ(format.fontWeight(), QFont::Bold) << block; });
  EXPECT_TRUE(Box->document()->isModified());  // an edited text stays edited
}

TEST_F(FormatOptionsTest, CharacterSpacingKeepsTheViewAndIndentStartsTheFirstLine) {
  Box->GotoLine(25);
  const int32_t top = Box->LineStart(25);
  Choose(Panel->CharSpacingComboBox, "-10");
  Panel->CharSpacingComboBoxChange();
  // Narrower text wraps less: the same text stays at the top.
  EXPECT_EQ(Box->TopLine(), Box->LineOfChar(top));
  EXPECT_GT(Box->TopLine(), 0);
  ForEachFragment([](int block, const QTextCharFormat &format) {
    EXPECT_EQ(format.fontLetterSpacingType(), QFont::AbsoluteSpacing) << block;
    EXPECT_LT(format.fontLetterSpacing(), 0) << block;
  });
  Box->SetSelection(300, 40);
  EXPECT_EQ(Box->GetCharFormat().SpacingTwips, -57);
  // A first-line indent of 10 mm without left indent: the first line at 576 twips, the others at 0.
  const TParaFormat paragraph = Box->GetParaFormat();
  EXPECT_EQ(paragraph.StartIndent, 576);
  EXPECT_EQ(paragraph.StartIndent + paragraph.Offset, 0);
  EXPECT_EQ(paragraph.LineSpacing, 24);
  EXPECT_EQ(paragraph.SpaceAfter, 288);
}

TEST_F(FormatOptionsTest, MarginsKeepTheViewAndZoomReachesTheBox) {
  Box->GotoLine(40);
  const int32_t top = Box->LineStart(40);
  Choose(Panel->LeftMarginComboBox, "50");
  Panel->LeftMarginComboBoxChange();
  Choose(Panel->RightMarginComboBox, "45");
  Panel->RightMarginComboBoxChange();
  EXPECT_EQ(Box->LeftMargin(), 50);
  EXPECT_EQ(Box->RightMargin(), 45);
  EXPECT_EQ(Box->TopLine(), Box->LineOfChar(top));

  Choose(Panel->FontZoomComboBox, "150");
  Panel->FontZoomComboBoxChange();
  EXPECT_DOUBLE_EQ(Box->Zoom(), 1.5);
  // The formats read back stay the true ones.
  Box->SetSelection(0, 0);
  EXPECT_EQ(Box->GetCharFormat().HeightTwips, 16 * 20);
}

TEST(RichEdit3OptionsTest, ForceFlagAndDetectionLabel) {
  TEnhancedRichEdit engine;
  engine.RichEdit3 = false;
  TRichEdit3Options options(&engine);
  EXPECT_EQ(options.DetectRichEdit3Label->text(), "Rich-edit 3 is NOT installed.");
  engine.RichEdit3 = true;
  options.UpdateDetectLabel();
  EXPECT_EQ(options.DetectRichEdit3Label->text(), "Rich-edit 3 is installed.");
  options.ForceRichEdit3CheckBox->click();
  EXPECT_TRUE(engine.ForceRichEdit3);
  options.ForceRichEdit3CheckBox->click();
  EXPECT_FALSE(engine.ForceRichEdit3);
}

}  // namespace
