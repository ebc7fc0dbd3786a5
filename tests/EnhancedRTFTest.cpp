// The enhancement engine on a recording reading box.
#include <gtest/gtest.h>

#include "EnhancedRTF.h"
#include "Error.h"
#include "FakeRichBox.h"
#include "Utilities.h"

namespace {

using Lines = std::vector<std::u16string>;

class EngineTest : public ::testing::Test {
protected:
  TFakeRichBox Box;
  TEnhancedRichEdit Engine;
  std::vector<std::string> Warnings;

  void SetUp() override {
    FunStatContext.Reset();
    Engine.RichBox = &Box;
    Engine.WarningHandler = [this](const std::string &text) { Warnings.push_back(text); };
    // Text black, emphasis red, second emphasis blue, size 16, first-line indent 10.
    Engine.SetBaseFormat(false, false, 120, 5, 10, 0, 0xFF0000, 0x0000FF, 0x000000, 0, 16, "Serif", false);
  }
  Lines Run(const Lines &lines, const std::string &prefix = "None", bool ignoreEmpty = false, bool poorly = false) {
    Engine.EnhanceText(lines, prefix, ignoreEmpty, poorly);
    return Box.Paragraphs;
  }
  // The format calls made on the paragraph that starts at start.
  const TFakeRichBox::TCharCall *CharCallAt(int32_t start) const {
    for (const auto &c : Box.CharCalls)
      if (!c.All && c.Start == start && c.Format.Mask != CFM_COLOR) return &c;
    return nullptr;
  }
  const TFakeRichBox::TParaCall *ParaCallAt(int32_t start) const {
    for (const auto &c : Box.ParaCalls)
      if (c.Start == start) return &c;
    return nullptr;
  }
};

std::u16string Joined(std::u16string paragraph, std::u16string_view line) {
  TEnhancedRichEdit::JoinLines(paragraph, line);
  return paragraph;
}

}  // namespace

// ---------------------------------------------------------------- joining

TEST(EngineJoining, JoinsAndUndoesHyphenation) {
  EXPECT_EQ(Joined(u"exam-", u"ple"), u"example");
  EXPECT_EQ(Joined(u"X-", u"ray"), u"X- ray");
  EXPECT_EQ(Joined(u"well-", u"Known"), u"well- Known");
  EXPECT_EQ(Joined(u"-", u"a"), u"- a");
  EXPECT_EQ(Joined(u"First line", u"second line"), u"First line second line");
  EXPECT_EQ(Joined(u"", u"line"), u"line");
  EXPECT_EQ(Joined(u"para", u""), u"para");
  EXPECT_EQ(Joined(u"\u00e9-", u"t\u00e9"), u"\u00e9- t\u00e9");  // only ASCII letters join
}

TEST(EngineJoining, TrimAndIndentation) {
  EXPECT_EQ(TEnhancedRichEdit::Trim(u"\t  a b \x01\x1f "), u"a b");
  EXPECT_EQ(TEnhancedRichEdit::Trim(u" \u00a0x"), u"\u00a0x");  // no-break space is text
  EXPECT_TRUE(TEnhancedRichEdit::StartsIndented(u"\tx"));
  EXPECT_TRUE(TEnhancedRichEdit::StartsIndented(u"  x"));
  EXPECT_TRUE(TEnhancedRichEdit::StartsIndented(u" \tx"));
  EXPECT_FALSE(TEnhancedRichEdit::StartsIndented(u" x"));
  EXPECT_FALSE(TEnhancedRichEdit::StartsIndented(u" "));
  EXPECT_FALSE(TEnhancedRichEdit::StartsIndented(u""));
}

TEST_F(EngineTest, HyphenatedLinesBecomeOneWord) {
  EXPECT_EQ(Run({u"an exam-", u"ple and an X-", u"ray"}), (Lines{u"an example and an X- ray"}));
}

// ---------------------------------------------------------------- paragraph rules

TEST_F(EngineTest, SentenceEndsSplitOnlyWhenIndentedOrPoorlyWritten) {
  EXPECT_EQ(Run({u"It ended.", u"Then it began."}), (Lines{u"It ended. Then it began."}));
  Box.Clear();
  EXPECT_EQ(Run({u"It ended.", u"Then it began."}, "None", false, true), (Lines{u"It ended.", u"Then it began."}));
  Box.Clear();
  EXPECT_EQ(Run({u"It ended.", u"  Then it began."}), (Lines{u"It ended.", u"Then it began."}));
  Box.Clear();
  EXPECT_EQ(Run({u"it ended", u"\tthen"}), (Lines{u"it ended then"}));
  Box.Clear();
  EXPECT_EQ(Run({u"He said (so).", u"\t\u201cYes\u201d"}), (Lines{u"He said (so).", u"\u201cYes\u201d"}));
}

TEST_F(EngineTest, ColonListsAndSeparators) {
  EXPECT_EQ(Run({u"Note:", u"Read this"}), (Lines{u"Note:", u"Read this"}));
  Box.Clear();
  EXPECT_EQ(Run({u"note:", u"read this"}), (Lines{u"note: read this"}));
  Box.Clear();
  EXPECT_EQ(Run({u"text", u"- item", u"continued", u"* star", u"= eq", u"\u00b7 dot"}),
            (Lines{u"text", u"- item continued", u"* star", u"= eq", u"\u00b7 dot"}));
  Box.Clear();
  EXPECT_EQ(Run({u"***", u"after", u"--", u"x"}), (Lines{u"***", u"after", u"--", u"x"}));
}

TEST(EngineRules, SeparatorLinesAndHeadings) {
  for (const char16_t *s : {u"*", u"**", u"***x", u"\u00b7\u00b7\u00b7", u"-", u"==", u"=== Title"})
    EXPECT_TRUE(TEnhancedRichEdit::IsSeparatorLine(s)) << TEnhancedRichEdit::ToUtf8(s);
  for (const char16_t *s : {u"*x", u"- item", u"-=", u"", u"**x"})
    EXPECT_FALSE(TEnhancedRichEdit::IsSeparatorLine(s)) << TEnhancedRichEdit::ToUtf8(s);

  for (const char16_t *s : {u"Chapter 1", u"CHAPTER ONE", u"Part II", u"Section 3.2", u"Book of Days", u"# Notes",
                            u"\u00a7 12", u"Part of the house was empty.", u"ChApTeR x"})
    EXPECT_TRUE(TEnhancedRichEdit::IsChapterHeading(s)) << TEnhancedRichEdit::ToUtf8(s);
  for (const char16_t *s : {u"chapter 1", u"Chapters", u"Partial results", u"Chapter", u"", u"Book\t1", u"Cap 1"})
    EXPECT_FALSE(TEnhancedRichEdit::IsChapterHeading(s)) << TEnhancedRichEdit::ToUtf8(s);
}

TEST_F(EngineTest, HeadingsStandAloneUnprefixedUnderlinedAndListed) {
  Lines out = Run({u"text one", u"   Chapter 5", u"text two", u"chapter 6", u"more"}, "Tab");
  EXPECT_EQ(out, (Lines{u"\ttext one", u"Chapter 5", u"\ttext two chapter 6 more"}));
  ASSERT_EQ(Engine.ChaptersMenu.size(), 1u);
  EXPECT_EQ(Engine.ChaptersMenu[0].Caption, u"Chapter 5");
  EXPECT_EQ(Engine.ChaptersMenu[0].Tag, 11);  // "\ttext one" + CR LF
  const auto *c = CharCallAt(11);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->Format.Mask, CFM_UNDERLINE);
  EXPECT_EQ(c->Format.Effects & CFE_UNDERLINE, CFE_UNDERLINE);
  EXPECT_EQ(c->Length, 9);
  EXPECT_EQ(CharCallAt(22), nullptr);  // the next paragraph is in the base format
}

TEST_F(EngineTest, ThirtyFirstHeadingIsOrdinaryAndCaptionsAreCut) {
  Lines lines;
  std::u16string longHeading = u"Chapter " + std::u16string(72, u'x');
  lines.push_back(longHeading);
  for (int i = 2; i <= 31; ++i) lines.push_back(u"Chapter " + TEnhancedRichEdit::ToU16(std::to_string(i)));
  Lines out = Run(lines, "- ");
  EXPECT_EQ(Engine.ChapterCount, 30);
  ASSERT_EQ(Engine.ChaptersMenu.size(), 30u);
  EXPECT_EQ(out[0], longHeading);
  EXPECT_EQ(Engine.ChaptersMenu[0].Caption, longHeading.substr(0, 50));
  EXPECT_EQ(Engine.ChaptersMenu[1].Tag, 82);
  EXPECT_EQ(Engine.ChaptersMenu[29].Caption, u"Chapter 30");
  EXPECT_EQ(out[30], u"- Chapter 31");
  EXPECT_EQ(out.size(), 31u);
  int32_t lastStart = Engine.Position - int32_t(out[30].size()) - 2;
  EXPECT_EQ(CharCallAt(lastStart), nullptr);  // no forced underline
}

TEST_F(EngineTest, NoHeadingsMeansNoMenu) {
  Run({u"plain", u"", u"text"});
  EXPECT_FALSE(Engine.HasChaptersMenu());
  EXPECT_EQ(Engine.ChapterCount, 0);
}

// ---------------------------------------------------------------- empty lines, prefixes, positions

TEST_F(EngineTest, EmptyLinesWithAndWithoutIgnoring) {
  EXPECT_EQ(Run({u"A", u"", u"B"}, "None", true), (Lines{u"A", u"B"}));
  Box.Clear();
  EXPECT_EQ(Run({u"A", u"", u"", u"B"}, "None", true), (Lines{u"A", u"", u"B"}));
  Box.Clear();
  EXPECT_EQ(Run({u"A", u"", u"B"}), (Lines{u"A", u"", u"B"}));
  Box.Clear();
  EXPECT_EQ(Run({u"", u"  ", u"A"}, "None", true), (Lines{u"", u"", u"A"}));
  Box.Clear();
  EXPECT_TRUE(Run({}).empty());
  EXPECT_FALSE(Engine.HasChaptersMenu());
}

TEST_F(EngineTest, PrefixesAndPositions) {
  EXPECT_EQ(TEnhancedRichEdit::ResolvePrefix("None"), u"");
  EXPECT_EQ(TEnhancedRichEdit::ResolvePrefix("Tab"), u"\t");
  EXPECT_EQ(TEnhancedRichEdit::ResolvePrefix("Blanks"), u"  ");
  EXPECT_EQ(TEnhancedRichEdit::ResolvePrefix("\xc2\xb7 "), u"\u00b7 ");
  EXPECT_EQ(TEnhancedRichEdit::ResolvePrefix("tab"), u"tab");

  std::vector<int32_t> reported;
  Engine.Progress = [&](int32_t position) {
    reported.push_back(position);
    return false;
  };
  Lines out = Run({u"One", u"", u"Chapter 1", u"^B+", u"", u"Two \U0001F600"}, "Blanks");
  EXPECT_EQ(out, (Lines{u"  One", u"", u"Chapter 1", u"", u"  Two \U0001F600"}));
  EXPECT_EQ(reported, (std::vector<int32_t>{0, 9, 22}));  // no callback for empty or command paragraphs
  EXPECT_EQ(Engine.Position, 22 + 8 + 2);
  EXPECT_EQ(Engine.Position, int32_t(Box.Text().size()));
  EXPECT_FALSE(Box.Modified);
  EXPECT_EQ(Box.SelStart, 0);
  EXPECT_EQ(Box.SelLength, 0);
}

TEST_F(EngineTest, StopRequestEmptiesTheBox) {
  int calls = 0;
  Engine.Progress = [&](int32_t) { return ++calls == 2; };
  Run({u"a", u"", u"b", u"", u"c", u"", u"d"});
  EXPECT_TRUE(Engine.StopRequested);
  EXPECT_EQ(calls, 2);
  EXPECT_TRUE(Box.Paragraphs.empty());
  EXPECT_EQ(Box.ClearCount, 1);
}

TEST_F(EngineTest, AParagraphOfManyLinesIsReportedWhileItIsJoined) {
  Lines book(10000, u"one sentence a line.");  // no blank line, no indent: one paragraph
  std::vector<int32_t> reported;
  Engine.Progress = [&](int32_t position) {
    reported.push_back(position);
    return false;
  };
  Run(book);
  EXPECT_GE(reported.size(), 3u);  // two while joining, one for the paragraph made
  for (int32_t p : reported)
    EXPECT_EQ(p, 0);
  ASSERT_EQ(Box.Paragraphs.size(), 1u);

  Box.Clear();
  reported.clear();
  Engine.Progress = [&](int32_t position) {  // a close request while the paragraph is joined
    reported.push_back(position);
    return true;
  };
  Run(book);
  EXPECT_TRUE(Engine.StopRequested);
  EXPECT_EQ(reported.size(), 1u);
  EXPECT_TRUE(Box.Paragraphs.empty());
}

// ---------------------------------------------------------------- commands

TEST_F(EngineTest, CommandEndCharactersByPreference) {
  Engine.ParseCommand(u"^F=Arial+*");
  EXPECT_EQ(Engine.Terminator, u'+');
  EXPECT_EQ(Engine.CommandName, u"F");
  EXPECT_EQ(Engine.CommandArgument, u"Arial");
  EXPECT_EQ(Engine.TopFontName(), "Arial");
  EXPECT_EQ(Engine.LevelEnd(faFontName), u'+');
  Engine.ParseCommand(u"^F=/x*~");
  EXPECT_EQ(Engine.Terminator, u'*');
  EXPECT_EQ(Engine.CommandArgument, u"/x");
  Engine.ParseCommand(u"^LS/~");
  EXPECT_EQ(Engine.Terminator, u'/');
  Engine.ParseCommand(u"^LS~");
  EXPECT_EQ(Engine.Terminator, u'~');
  Engine.ParseCommand(u"^B*=x");  // what follows the end character is ignored
  EXPECT_EQ(Engine.CommandName, u"B");
  EXPECT_TRUE(Engine.CommandArgument.empty());
  EXPECT_TRUE(Warnings.empty());
  EXPECT_TRUE(Engine.HasManualCommands);

  Engine.ParseCommand(u"^B");
  Engine.ParseCommand(u"^*");
  Engine.ParseCommand(u"^ B*");
  Engine.ParseCommand(u"^Z~");
  Engine.ParseCommand(u"^AC/");
  Engine.ParseCommand(u"^PCS_XX*");
  EXPECT_EQ(Warnings, (std::vector<std::string>{"Missing end character: ^B", "Unrecognized command:  B",
                                                "Unrecognized command: Z", "Unrecognized command: AC",
                                                "Unrecognized command: PCS_XX"}));
}

TEST_F(EngineTest, EachCommandPushesItsValues) {
  Engine.ParseCommand(u"^b*");
  EXPECT_EQ(Engine.Top(faBold), 1);
  Engine.ParseCommand(u"^S=100*");
  EXPECT_EQ(Engine.Top(faFontSize), 16);
  Engine.ParseCommand(u"^S=20*");
  EXPECT_EQ(Engine.Top(faFontSize), 20);
  Engine.ParseCommand(u"^Z=150*");
  EXPECT_EQ(Engine.Top(faFontSize), 24);
  Engine.ParseCommand(u"^S~");
  EXPECT_EQ(Engine.Top(faFontSize), 20);
  Engine.ParseCommand(u"^CS=-10*");
  EXPECT_EQ(Engine.Top(faCharSpacing), -10);
  Engine.ParseCommand(u"^FC=Red*");
  Engine.ParseCommand(u"^FC=$00FF00*");
  EXPECT_EQ(Engine.Top(faTextColor), 0x00FF00);
  Engine.ParseCommand(u"^FC~");
  EXPECT_EQ(Engine.Top(faTextColor), TextToColor("Red"));
  Engine.ParseCommand(u"^FC/");
  EXPECT_EQ(Engine.Top(faTextColor), 0);
  Engine.ParseCommand(u"^BC=*");
  EXPECT_EQ(Engine.Top(faBackColor), 0);
  Engine.ParseCommand(u"^AC*");
  EXPECT_EQ(Engine.Top(faAlignment), 2);
  Engine.ParseCommand(u"^A~");
  EXPECT_EQ(Engine.Top(faAlignment), 0);
  Engine.ParseCommand(u"^LPI=7*");
  Engine.ParseCommand(u"^RPI=200*");
  Engine.ParseCommand(u"^FLI=abc*");
  Engine.ParseCommand(u"^LS=200*");
  EXPECT_EQ(Engine.Top(faLeftIndent), 7);
  EXPECT_EQ(Engine.Top(faRightIndent), 0);
  EXPECT_EQ(Engine.Top(faFirstLineIndent), 10);
  EXPECT_EQ(Engine.Top(faLineSpacing), 200);
  Engine.ParseCommand(u"^PCS_LS*");
  EXPECT_EQ(Engine.Top(faBackColor), 0x78784B);
  EXPECT_EQ(Engine.Top(faSecondEmphaColor), 0x0096CD);
  Engine.ParseCommand(u"^PCS~");
  EXPECT_EQ(Engine.Top(faBackColor), 0);
  Engine.ParseCommand(u"^ALL/");
  for (int a = 0; a < faCount; ++a) EXPECT_EQ(Engine.Top(TFormatAttribute(a)), Engine.Base(TFormatAttribute(a)));
  EXPECT_EQ(Engine.TopFontName(), "Serif");
  EXPECT_TRUE(Warnings.empty());
}

TEST_F(EngineTest, ParagraphStylesUseTheBaseSize) {
  Engine.ParseCommand(u"^S=30*");
  Engine.ParseCommand(u"^PS_T*");
  EXPECT_EQ(Engine.Top(faFontSize), 25);  // 16 × 1.6, not 30 × 1.6
  EXPECT_EQ(Engine.Top(faAlignment), 2);
  EXPECT_EQ(Engine.Top(faFirstLineIndent), 0);
  Engine.ParseCommand(u"^PS_H*");
  EXPECT_EQ(Engine.Top(faFontSize), 19);
  Engine.ParseCommand(u"^PS_N*");
  EXPECT_EQ(Engine.Top(faFontSize), 12);
  EXPECT_EQ(Engine.Top(faItalic), 1);
  Engine.ParseCommand(u"^PS_N~");
  Engine.ParseCommand(u"^PS_H~");
  Engine.ParseCommand(u"^PS_T~");
  EXPECT_EQ(Engine.Top(faFontSize), 30);
  EXPECT_EQ(Engine.Level(faUnderline), 0);
}

TEST_F(EngineTest, OneShotLevelsLastOneTextParagraph) {
  Lines out = Run({u"^LS=200+", u"^B+", u"", u"First", u"", u"Second", u"^PS_T+", u"A Title", u"", u"Body"});
  EXPECT_EQ(out, (Lines{u"", u"First", u"", u"Second", u"A Title", u"", u"Body"}));
  const auto *para = ParaCallAt(2);
  ASSERT_NE(para, nullptr);
  EXPECT_EQ(para->Format.Mask, PFM_LINESPACING);
  EXPECT_EQ(para->Format.LineSpacing, 40);
  EXPECT_EQ(CharCallAt(2)->Format.Mask, CFM_BOLD);
  EXPECT_EQ(CharCallAt(11), nullptr);  // "Second"
  const auto *title = CharCallAt(19);
  ASSERT_NE(title, nullptr);
  EXPECT_EQ(title->Format.Mask, CFM_BOLD | CFM_UNDERLINE | CFM_SIZE);
  EXPECT_EQ(title->Format.HeightTwips, 25 * 20);
  EXPECT_EQ(ParaCallAt(19)->Format.Mask, PFM_ALIGNMENT | PFM_STARTINDENT | PFM_OFFSET);
  EXPECT_EQ(ParaCallAt(19)->Format.Alignment, PFA_CENTER);
  EXPECT_EQ(CharCallAt(30), nullptr);  // "Body"
  for (int a = 0; a < faCount; ++a) EXPECT_EQ(Engine.Level(TFormatAttribute(a)), 0);
}

TEST_F(EngineTest, PersistentLevelsStayUntilTilde) {
  Run({u"^I*", u"one", u"", u"two", u"^I~", u"three"});
  EXPECT_NE(CharCallAt(0), nullptr);
  EXPECT_NE(CharCallAt(7), nullptr);
  EXPECT_EQ(CharCallAt(12), nullptr);
}

TEST_F(EngineTest, EmptyCommandDoesNotKeepOneShotLevels) {
  Run({u"^B+", u"^*", u"one", u"", u"two"});
  EXPECT_NE(CharCallAt(0), nullptr);
  EXPECT_EQ(CharCallAt(7), nullptr);
}

TEST_F(EngineTest, OverflowDropsPushedLevels) {
  for (int i = 0; i < 99; ++i) Engine.ParseCommand(u"^B*");
  EXPECT_EQ(Engine.Level(faBold), 99);
  Engine.ParseCommand(u"^B*");
  EXPECT_EQ(Engine.Level(faBold), 1);
  EXPECT_EQ(Engine.Top(faBold), 1);
  Engine.ParseCommand(u"^B~");
  Engine.ParseCommand(u"^B~");
  EXPECT_EQ(Engine.Level(faBold), 0);
}

TEST_F(EngineTest, CadMakesTheCurrentFormatTheBase) {
  Lines out = Run({u"one", u"^S=20*", u"^CAD*", u"two"});
  EXPECT_EQ(out, (Lines{u"one", u"two"}));
  EXPECT_EQ(Engine.Base(faFontSize), 20);
  EXPECT_EQ(CharCallAt(5), nullptr);  // "two" is in the new base format
  const TFakeRichBox::TCharCall *all = nullptr;
  for (const auto &c : Box.CharCalls)
    if (c.All) all = &c;
  ASSERT_NE(all, nullptr);
  EXPECT_EQ(all->Format.HeightTwips, 400);
  EXPECT_EQ(all->Format.Effects & CFE_UNDERLINE, 0u);
  ASSERT_EQ(Box.ParaCalls.size(), 1u);
  EXPECT_EQ(Box.ParaCalls[0].Start, 5);  // the insertion point after "one"
  EXPECT_EQ(Box.ParaCalls[0].Length, 0);
}

TEST_F(EngineTest, CadRightAfterAHeadingDoesNotUnderlineEverything) {
  Run({u"Chapter 1", u"^CAD*", u"text"});
  ASSERT_FALSE(Box.CharCalls.empty());
  bool sawAll = false;
  for (const auto &c : Box.CharCalls)
    if (c.All) {
      sawAll = true;
      EXPECT_EQ(c.Format.Effects & CFE_UNDERLINE, 0u);
    }
  EXPECT_TRUE(sawAll);
  EXPECT_FALSE(Engine.HeadingFlag);
}

TEST_F(EngineTest, BadColourEndsTheRunAndIsReported) {
  Lines out = Run({u"one", u"", u"^FC=NoSuchColour*", u"two", u"", u"three"});
  EXPECT_EQ(out, (Lines{u"one", u""}));
  EXPECT_TRUE(FunStatContext.Failed());
  EXPECT_EQ(FunStatContext.RaiseFunction, "TEnhancedRichEdit::EnhanceText");
  EXPECT_NE(FunStatContext.Description.find("Unhandled exception: "), std::string::npos);
  EXPECT_NE(FunStatContext.Description.find("NoSuchColour"), std::string::npos);
  EXPECT_EQ(Box.SelStart, 0);
  FunStatContext.Reset();
}

// ---------------------------------------------------------------- formats

TEST_F(EngineTest, TwipsOfTheFormats) {
  Engine.SetBaseFormat(false, false, 120, 5, 10, 3, 0, 0, 0, -10, 12, "", true);
  TCharFormat c = Engine.CharFormat(true, 0);
  EXPECT_EQ(c.Mask, 0xE0200007u);
  EXPECT_EQ(c.SpacingTwips, -57);
  EXPECT_EQ(c.HeightTwips, 240);
  EXPECT_EQ(c.FaceName, "Times New Roman");
  EXPECT_EQ(c.Effects, CFE_BOLD);
  EXPECT_TRUE(c.Extended);
  TParaFormat p = Engine.ParaFormat(true, 0);
  EXPECT_EQ(p.Mask, 0x18Fu | PFM_TABSTOPS);
  EXPECT_EQ(p.StartIndent, 576);
  EXPECT_EQ(p.Offset, -576);
  EXPECT_EQ(p.LineSpacing, 24);
  EXPECT_EQ(p.LineSpacingRule, 5);
  EXPECT_EQ(p.SpaceAfter, 288);
  EXPECT_EQ(p.Alignment, PFA_JUSTIFY);
  EXPECT_EQ(p.TabCount, 32);
  EXPECT_EQ(p.Tabs[0], 576);
  EXPECT_EQ(p.Tabs[31], 576 + 864 * 31);

  Engine.ParseCommand(u"^LPI=3*");
  Engine.ParseCommand(u"^FLI=7*");
  Engine.ParseCommand(u"^RPI=1*");
  Engine.ParseCommand(u"^CS=7*");
  p = Engine.ParaFormat(false, PFM_STARTINDENT | PFM_OFFSET);
  EXPECT_EQ(p.StartIndent, 576);  // (3 + 7) × 57.6
  EXPECT_EQ(p.Offset, -403);       // −(7 × 57.6 = 403.2)
  EXPECT_EQ(p.RightIndent, 57);
  EXPECT_EQ(p.TabCount, 0);
  EXPECT_EQ(Engine.CharFormat(false, CFM_SPACING).SpacingTwips, 40);  // 7 × 5.76 = 40.32

  Engine.RichEdit3 = false;
  c = Engine.CharFormat(true, 0);
  EXPECT_FALSE(c.Extended);
  EXPECT_EQ(c.Mask, 0xE0000007u);
  p = Engine.ParaFormat(true, 0);
  EXPECT_EQ(p.Mask, 0x0Fu);
  EXPECT_EQ(p.LineSpacing, 0);
  Engine.ForceRichEdit3 = true;
  EXPECT_TRUE(Engine.ParaFormat(true, 0).Extended);
}

TEST_F(EngineTest, FormatCallsOnlyForParagraphsThatDiffer) {
  Run({u"^FC=$123456+", u"^BC=Yellow+", u"^F=serif+", u"one", u"^F=Mono+", u"two", u"^BC=$1FFFFFFF+", u"three"});
  EXPECT_EQ(CharCallAt(0)->Format.Mask, CFM_COLOR | CFM_BACKCOLOR);  // font names compare without case
  EXPECT_EQ(CharCallAt(0)->Format.TextColor, 0x123456u);
  EXPECT_EQ(ParaCallAt(0), nullptr);
  EXPECT_EQ(CharCallAt(5)->Format.Mask, CFM_FACE);
  EXPECT_EQ(CharCallAt(5)->Format.FaceName, "Mono");
  EXPECT_EQ(CharCallAt(10), nullptr);  // "no back colour" is never set
}

// ---------------------------------------------------------------- quotes

TEST_F(EngineTest, QuotesApostrophesAndTheirColours) {
  // Base text black, emphasis 0x0000FF, second emphasis 0xFF0000.
  Run({u"Don't say \"yes\" or 'no' \u00abx\u00bb 'open"});
  EXPECT_EQ(Box.ColorSpans(), (std::vector<TFakeRichBox::TColorSpan>{
                                  {11, 3, 0x0000FF}, {25, 1, 0x0000FF}, {20, 2, 0xFF0000}}));
}

TEST_F(EngineTest, QuotesAreFoundAtEveryOffsetOfALongParagraph) {
  // Long plain runs of every length modulo 4 before each quote: plain text is passed in words.
  std::u16string line;
  std::vector<TFakeRichBox::TColorSpan> doubles, singles;
  for (int k = 0; k < 8; ++k) {
    line += std::u16string(size_t(37 + k), u'a');
    const int32_t at = int32_t(line.size());
    line += u"\"bc\" \u201Cd\u201D 'e' `y` x'z";  // the last an apostrophe
    doubles.push_back({at + 1, 2, 0x0000FF});
    doubles.push_back({at + 6, 1, 0x0000FF});
    singles.push_back({at + 10, 1, 0xFF0000});
    singles.push_back({at + 14, 1, 0xFF0000});
  }
  Run({line});
  doubles.insert(doubles.end(), singles.begin(), singles.end());
  EXPECT_EQ(Box.ColorSpans(), doubles);
}

TEST_F(EngineTest, QuotesRunOnlyWhenColoursDiffer) {
  Engine.SetBaseFormat(false, false, 120, 5, 10, 0, 0x00FF00, 0x000000, 0x000000, 0, 16, "Serif", false);
  Run({u"a \"b\" 'c'"});
  EXPECT_EQ(Box.ColorSpans(), (std::vector<TFakeRichBox::TColorSpan>{{7, 1, 0x00FF00}}));
  Box.Clear();
  Box.CharCalls.clear();
  Run({u"^EC=$0000FF*", u"^SEC=$0000FF*", u"a \"b\" 'c'"});
  EXPECT_EQ(Box.ColorSpans(), (std::vector<TFakeRichBox::TColorSpan>{{3, 1, 0x0000FF}}));
}

TEST_F(EngineTest, QuotesNeverCrossParagraphs) {
  Run({u"He said \"wait", u"", u"and\" then 'x", u"", u"y'"});
  EXPECT_TRUE(Box.ColorSpans().empty());
  Box.CharCalls.clear();
  Engine.EmphasizeText(0x11, 0x22);
  EXPECT_TRUE(Box.ColorSpans().empty());
}

TEST_F(EngineTest, EmphasizeTextColoursTheWholeBox) {
  Box.AppendParagraph(u"Don't \"a\" 'b' \"c 'd");
  Box.AppendParagraph(u"e\" x 'y\"z'");
  Engine.EmphasizeText(0x11, 0x22);
  EXPECT_EQ(Box.ColorSpans(), (std::vector<TFakeRichBox::TColorSpan>{{7, 1, 0x11}, {23, 5, 0x11}, {11, 1, 0x22}}));
  EXPECT_EQ(Box.SelStart, 0);
  EXPECT_EQ(Box.SelLength, 0);
}
