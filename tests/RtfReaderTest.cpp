// The RTF reader on its own: tokens, destinations, code pages and broken input.
#include "RtfReader.h"

#include <gtest/gtest.h>

#include <sstream>

#include "RtfWriter.h"

namespace {

struct TRecorder : IRtfSink {
  std::u16string Text;  // paragraphs end with '\n'
  std::vector<TCharFormat> Formats;  // one per character of Text (not of '\n')
  std::vector<TParaFormat> Paras;
  void RtfText(const std::u16string &text, const TCharFormat &format) override {
    Text += text;
    Formats.insert(Formats.end(), text.size(), format);
  }
  void RtfParagraphEnd(const TParaFormat &format) override {
    Text += u'\n';
    Formats.push_back(TCharFormat());
    Paras.push_back(format);
  }
  void RtfDocumentEnd(const TParaFormat &format) override { Paras.push_back(format); }
};

std::u16string Read(const std::string &rtf, bool *ok = nullptr, TRecorder *out = nullptr) {
  TRecorder r;
  TRtfReader reader(r);
  bool result = reader.ReadString(rtf);
  if (ok)
    *ok = result;
  if (out)
    *out = r;
  return r.Text;
}

}  // namespace

TEST(RtfReader, CharactersAndSpecials) {
  EXPECT_EQ(Read(R"({\rtf1\ansi Hello\par World})"), u"Hello\nWorld");
  EXPECT_EQ(Read(R"({\rtf1 a\tab b\line c\~d\emdash\endash\lquote\rquote\ldblquote\rdblquote\bullet})"),
            u"a\tb\u2028c\u00A0d\u2014\u2013\u2018\u2019\u201C\u201D\u2022");
  EXPECT_EQ(Read(R"({\rtf1 \{x\}\\})"), u"{x}\\");
  // Control characters are no text, however they come.
  EXPECT_EQ(Read("{\\rtf1 a\x01\\'07\\u25?\x19" "b}"), u"ab");
  // \u with the default skip of one, \uc2, negative values, and a skip that eats \'hh.
  EXPECT_EQ(Read(R"({\rtf1 \u233?t\'e9\uc2\u-3905??x{\uc0\u1046 y}\u1046\'3f!!})"), u"\u00E9t\u00E9\uF0BFx\u0416y\u0416!");
  // Code pages: the document's, and the font's character set.
  EXPECT_EQ(Read(R"({\rtf1\ansi\ansicpg1251 \'cf\'f0\'e8})"), u"\u041F\u0440\u0438");
  EXPECT_EQ(Read(R"({\rtf1\ansi{\fonttbl{\f0 Arial;}{\f1\fcharset204 Arial Cyr;}}\f1\'c0\f0\'c0})"), u"\u0410\u00C0");
  EXPECT_EQ(Read("{\\rtf1 \\'93q\\'94\\'85}"), u"\u201Cq\u201D\u2026");
  // Shift-JIS: a trail byte in the ASCII range follows its lead byte as a plain character.
  EXPECT_EQ(Read(R"({\rtf1\ansi\ansicpg932 \'83e\'83X\'83g!})"), u"\u30C6\u30B9\u30C8!");
}

TEST(RtfReader, DestinationsAreSkippedFieldsKeepTheirResult) {
  EXPECT_EQ(Read(R"({\rtf1{\info{\title T}}{\*\unknown x}{\header h\par}A{\footnote n}B{\pict 0102}C})"), u"ABC");
  EXPECT_EQ(Read(R"({\rtf1 See {\field{\*\fldinst HYPERLINK "http://x"}{\fldrslt the site}}.})"), u"See the site.");
  EXPECT_EQ(Read(R"({\rtf1 a\bin3 {}}b})"), u"ab");
  EXPECT_EQ(Read(R"({\rtf1{\stylesheet{\s1 Heading;}}Body})"), u"Body");
  EXPECT_EQ(Read(R"({\rtf1 "{\upr{[G]}{\*\ud{[\uc0\u915]}}}"})"), u"\"[\u0393]\"");
}

TEST(RtfReader, FormatsAndTables) {
  TRecorder r;
  Read(R"({\rtf1\ansi\deff1{\fonttbl{\f0\froman Times;}{\f1\fswiss Helvetica;}})"
       R"({\colortbl;\red255\green0\blue0;\red0\green0\blue255;})"
       R"(\pard\qc\li720\fi-360\ri144\sa120\sb60\sl360\slmult1\tx1440\tx2880 )"
       R"(a{\b\i\ul\strike\f0\fs30\cf1\highlight2\expndtw-20 b}{\cb1\expnd4 c}\ulnone d\par)"
       R"(\pard e})",
       nullptr, &r);
  ASSERT_EQ(r.Text, u"abcd\ne");
  EXPECT_EQ(r.Formats[0].FaceName, "Helvetica");
  EXPECT_EQ(r.Formats[0].HeightTwips, 240);
  EXPECT_EQ(r.Formats[0].Effects, 0u);
  const TCharFormat &b = r.Formats[1];
  EXPECT_EQ(b.FaceName, "Times");
  EXPECT_EQ(b.HeightTwips, 300);
  EXPECT_EQ(b.Effects, CFE_BOLD | CFE_ITALIC | CFE_UNDERLINE | CFE_STRIKEOUT);
  EXPECT_EQ(b.TextColor, 0x0000FFu);
  EXPECT_EQ(b.BackColor, 0xFF0000u);
  EXPECT_EQ(b.SpacingTwips, -20);
  EXPECT_EQ(r.Formats[2].BackColor, 0x0000FFu);
  EXPECT_EQ(r.Formats[2].SpacingTwips, 20);
  ASSERT_EQ(r.Paras.size(), 2u);
  const TParaFormat &p = r.Paras[0];
  EXPECT_EQ(p.Alignment, PFA_CENTER);
  EXPECT_EQ(p.StartIndent, 360);
  EXPECT_EQ(p.Offset, 360);
  EXPECT_EQ(p.RightIndent, 144);
  EXPECT_EQ(p.SpaceAfter, 120);
  EXPECT_EQ(p.SpaceBefore, 60);
  EXPECT_EQ(p.LineSpacingRule, 5);
  EXPECT_EQ(p.LineSpacing, 30);
  EXPECT_EQ(p.TabCount, 2);
  EXPECT_EQ(p.Tabs[1], 2880);
  EXPECT_EQ(r.Paras[1].Alignment, PFA_LEFT);  // \pard
}

TEST(RtfReader, BrokenInputFailsCleanly) {
  bool ok = true;
  Read("", &ok);
  EXPECT_FALSE(ok);
  Read("plain text", &ok);
  EXPECT_FALSE(ok);
  Read(R"({\foobar})", &ok);
  EXPECT_FALSE(ok);
  Read(std::string(5000, '{') + "\\rtf1 x" + std::string(5000, '}'), &ok);
  EXPECT_FALSE(ok);
  // Truncated documents keep what was read, wherever the cut falls.
  EXPECT_EQ(Read(R"({\rtf1 abc{\b def)", &ok), u"abcdef");
  EXPECT_TRUE(ok);
  for (const char *cut : {R"({\rtf1 abc\par de\)", R"({\rtf1 abc\par de\'e)", R"({\rtf1 abc\par de\')",
                          R"({\rtf1 abc\par de\bin99999 xx)", R"({\rtf1 abc\par de\pa)"}) {
    EXPECT_EQ(Read(cut, &ok), u"abc\nde") << cut;
    EXPECT_TRUE(ok) << cut;
  }
  // Huge parameters and long control words do not overflow.
  EXPECT_EQ(Read(R"({\rtf1\fs99999999999999999999\uc99999999999 a\abcdefghijklmnopqrstuvwxyzabcdefghijklmnop1 b})", &ok),
            u"ab");
}

TEST(RtfReader, MeasuresAreClampedToWhatAPageHolds) {
  TRecorder r;
  Read(R"({\rtf1\li2147483647\fi-2147483647\ri-99999999\sb2147483647\tx2147483647 a\par)"
       R"(\pard\expnd2147483647 b{\expnd-2147483647 c}{\expndtw99999999 d}\par})",
       nullptr, &r);
  ASSERT_EQ(r.Paras.size(), 3u);
  const TParaFormat &p = r.Paras[0];
  EXPECT_EQ(p.StartIndent + p.Offset, 31680);  // the left indent of the lines after the first
  EXPECT_EQ(p.Offset, 31680);
  EXPECT_EQ(p.RightIndent, -31680);
  EXPECT_EQ(p.SpaceBefore, 31680);
  EXPECT_EQ(p.Tabs[0], 31680);
  ASSERT_EQ(r.Text, u"a\nbcd\n");
  EXPECT_EQ(r.Formats[2].SpacingTwips, 31680);
  EXPECT_EQ(r.Formats[3].SpacingTwips, -31680);
  EXPECT_EQ(r.Formats[4].SpacingTwips, 31680);
}

TEST(RtfReader, TablesStopGrowingAtTheirCap) {
  std::string rtf = R"({\rtf1{\fonttbl)";
  for (int i = 0; i < 5000; ++i)
    rtf += "{\\f" + std::to_string(i) + " Font" + std::to_string(i) + ";}";
  rtf += "}{\\colortbl;";
  for (int i = 0; i < 5000; ++i)
    rtf += "\\red" + std::to_string(i % 256) + "\\green1\\blue2;";
  rtf += R"(}\f4000\cf4000 a\f4999\cf4999 b})";
  TRecorder r;
  bool ok = false;
  Read(rtf, &ok, &r);
  ASSERT_TRUE(ok);
  ASSERT_EQ(r.Text, u"ab");
  EXPECT_EQ(r.Formats[0].FaceName, "Font4000");
  EXPECT_EQ(r.Formats[0].TextColor, 0x020100u | ((3999 % 256)));
  EXPECT_EQ(r.Formats[1].FaceName, "");  // past the cap: the default
  EXPECT_EQ(r.Formats[1].TextColor, 0u);
}

TEST(RtfWriter, WritesWhatTheReaderReadsBack) {
  TCharFormat f;
  f.Extended = true;
  f.Mask = 0xE4200007 | CFM_STRIKEOUT;
  f.FaceName = "Fonte \xC3\xA9l\xC3\xA9gante";
  f.HeightTwips = 410;
  f.Effects = CFE_BOLD | CFE_UNDERLINE;
  f.TextColor = 0x00102030;
  f.BackColor = 0x00FFEEDD;
  f.SpacingTwips = -57;
  TParaFormat p;
  p.Extended = true;
  p.Mask = 0x1DF;
  p.StartIndent = 576;
  p.Offset = -576;
  p.Alignment = PFA_JUSTIFY;
  p.SpaceAfter = 288;
  p.LineSpacingRule = 5;
  p.LineSpacing = 24;
  p.TabCount = 3;
  p.Tabs = {576, 1440, 2304};
  std::u16string text = u"\u00C9t\u00E9 \u041F\u0440\u0438 \u201Cq\u201D {\\} \U0001F600\ttab\u2028line";
  TRtfWriter writer;
  std::ostringstream out;
  ASSERT_TRUE(writer.Write(out, [&](TRtfWriter &w) {
    w.BeginParagraph(p);
    w.Text(text, f);
    w.EndParagraph();
    w.BeginParagraph(p);
  }));
  TRecorder r;
  bool ok = false;
  Read(out.str(), &ok, &r);
  ASSERT_TRUE(ok);
  EXPECT_EQ(r.Text, text + u"\n");
  TCharFormat got = r.Formats[0];
  EXPECT_EQ(got, f);
  ASSERT_EQ(r.Paras.size(), 2u);
  EXPECT_EQ(r.Paras[0], p);
  EXPECT_EQ(r.Paras[1], p);
}

TEST(RtfWriter, AlikeParagraphsShareTheirPropertiesAndAWriterIsReusable) {
  TParaFormat indented;
  indented.StartIndent = 720;
  indented.TabCount = 2;
  indented.Tabs = {360, 1440};
  TParaFormat centred;
  centred.Alignment = PFA_CENTER;
  TCharFormat f;
  f.FaceName = "Liberation Serif";
  f.HeightTwips = 240;
  const std::vector<TParaFormat> paras = {indented, indented, indented, centred, centred, indented};
  TRtfWriter writer;
  for (int round = 0; round < 2; ++round) {  // the second Write starts afresh
    std::ostringstream out;
    ASSERT_TRUE(writer.Write(out, [&](TRtfWriter &w) {
      for (const TParaFormat &p : paras) {
        w.BeginParagraph(p);
        w.Text(u"x", f);
        w.EndParagraph();
      }
    }));
    const std::string rtf = out.str();
    size_t pards = 0;
    for (size_t at = rtf.find("\\pard"); at != std::string::npos; at = rtf.find("\\pard", at + 1))
      ++pards;
    EXPECT_EQ(pards, 3u) << "round " << round;
    TRecorder r;
    bool ok = false;
    Read(rtf, &ok, &r);
    ASSERT_TRUE(ok);
    ASSERT_GE(r.Paras.size(), paras.size());
    for (size_t i = 0; i < paras.size(); ++i) {
      EXPECT_EQ(r.Paras[i].Alignment, paras[i].Alignment) << i;
      EXPECT_EQ(r.Paras[i].StartIndent, paras[i].StartIndent) << i;
      EXPECT_EQ(r.Paras[i].TabCount, paras[i].TabCount) << i;
    }
  }
}
