// The profile record and the rules by which a profile file is read and
// written, on real files in a temporary folder (no window).
#include "ProfileSettings.h"
#include "StoredTextList.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class ProfileSettingsTest : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(Temp.isValid()); }

  std::string PathOf(const char *name) const { return (Temp.path() + "/" + name).toStdString(); }
  void WriteFile(const char *name, const QByteArray &text) {
    QFile file(QString::fromStdString(PathOf(name)));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
  }
  QByteArray ReadFile(const char *name) const {
    QFile file(QString::fromStdString(PathOf(name)));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }
  // Reads the file into settings (which keep their values where the read stops).
  bool Read(const char *name, ProfileSettings &settings) {
    TStoredTextList list(PathOf(name));
    list.OnLoad = [&](TStoredTextList &l) { ReadProfileSettings(l, settings); };
    return list.Load();
  }
  ProfileSettings ReadText(const QByteArray &text) {
    WriteFile("p.plp", text);
    ProfileSettings settings;
    EXPECT_TRUE(Read("p.plp", settings));
    return settings;
  }
  bool Write(const char *name, const ProfileSettings &settings, const TMediaTitleShortener &shorten = {}) {
    TStoredTextList list(PathOf(name));
    list.OnSave = [&](TStoredTextList &l) { WriteProfileSettings(l, settings, shorten); };
    return list.SaveAs(PathOf(name), false);
  }
  // The keys of the file in their order, as "Section/Key".
  QStringList Keys(const char *name) const {
    QStringList keys;
    QString section;
    for (const QByteArray &line : ReadFile(name).split('\n')) {
      const QString text = QString::fromUtf8(line).trimmed();
      if (text.startsWith('['))
        section = text.mid(1, text.size() - 2);
      else if (text.contains('='))
        keys << section + "/" + text.left(text.indexOf('='));
    }
    return keys;
  }

  // Every option away from its default.
  static ProfileSettings Changed() {
    ProfileSettings s;
    s.EnhanceText = false;
    s.PoorlyWritten = s.IgnoreEmptyLines = true;
    s.UseScreenBackImage = false;
    s.StretchScreenBackImage = true;
    s.FadeScreenBackImage = 40;
    s.GammaScreenBackImage = 250;
    s.FadeCenterScreenBackImage = 70;
    s.TitleScreenBackImage = "/pictures/sky.png";
    s.UseRichBackImage = false;
    s.StretchRichBackImage = true;
    s.FadeRichBackImage = 5;
    s.GammaRichBackImage = 1;
    s.TitleRichBackImage = "paper.jpg";
    s.TransparentRichBack = s.ShowRichBoxFrame = true;
    s.ScreenBackColor = 0x102030;
    s.ScreenForeColor = 0x405060;
    s.RichBoxBackColor = 0x708090;
    s.RichBoxForeColor = 0xA0B0C0;
    s.EmphaColor = 0x0000FF;
    s.SecondEmphaColor = 0x00FF00;
    s.BrowserFocusBackColor = 0x111111;
    s.BrowserFocusForeColor = 0x222222;
    s.DirTypeBackColor = 0x333333;
    s.DirTypeForeColor = 0x444444;
    s.LeftMargin = 0;
    s.RightMargin = 50;
    s.BoldFont = true;
    s.JustifiedText = false;
    s.FontName = "DejaVu Sans";
    s.FontSize = 24;
    s.FontZoom = 450;
    s.CharSpacing = -10;
    s.LineSpacing = 200;
    s.FirstLineIndent = 0;
    s.SpaceAfter = 18;
    s.ParagraphPrefix = "\xC2\xB7 ";
    s.Hyphenation = false;
    s.BackSounds.Use = true;
    s.BackSounds.Random = false;
    s.BackSounds.Count = 3;
    s.BackSounds.File = {"rain.wav", "", "/sounds/sea.wav"};
    s.BackSounds.Vol[1] = 0;
    s.BackSounds.Dur[2] = 400;  // accepted, though the list offers no more than 300
    s.BackSounds.Prob[0] = 1000;
    s.SpeechRate = -4;
    s.SpeechVolume = 35;
    return s;
  }

  QTemporaryDir Temp;
};

TEST_F(ProfileSettingsTest, EveryKeyIsWrittenInOrderAndReadBack) {
  const ProfileSettings changed = Changed();
  ASSERT_TRUE(Write("all.plp", changed));
  ProfileSettings read;
  ASSERT_TRUE(Read("all.plp", read));
  EXPECT_EQ(read, changed);

  const QStringList main = {
      "EnhanceText", "PoorlyWritten", "IgnoreEmptyLines", "UseScreenBackImage", "StretchScreenBackImage",
      "FadeScreenBackImage", "GammaScreenBackImage", "FadeCenterScreenBackImage", "TitleScreenBackImage",
      "UseRichBackImage", "StretchRichBackImage", "FadeRichBackImage", "GammaRichBackImage", "TitleRichBackImage",
      "TransparentRichBack", "ShowRichBoxFrame", "ScreenBackColor", "ScreenForeColor", "RichBoxBackColor",
      "RichBoxForeColor", "EmphaColor", "SecondEmphaColor", "BrowserFocusBackColor", "BrowserFocusForeColor",
      "DirTypeBackColor", "DirTypeForeColor", "LeftMargin", "RightMargin", "BoldFont", "JustifiedText", "FontName",
      "FontSize", "FontZoom", "CharSpacing", "LineSpacing", "FirstLineIndent", "SpaceAfter", "ParagraphPrefix",
      "Hyphenation", "SpeechRate", "SpeechVolume"};
  QStringList expected;
  for (const QString &key : main)
    expected << "Profile_Main/" + key;
  expected << "Profile_BackSounds/Use" << "Profile_BackSounds/Random" << "Profile_BackSounds/Count";
  for (int n = 0; n < 3; ++n)
    for (const char *key : {"File", "Vol", "Dur", "Prob"})
      expected << QString("Profile_BackSounds/%1%2").arg(key).arg(n);
  EXPECT_EQ(Keys("all.plp"), expected);

  // Values as the file holds them: booleans, decimal colours, texts unchanged.
  const QByteArray text = ReadFile("all.plp");
  EXPECT_TRUE(text.contains("EnhanceText=FALSE\r\n"));
  EXPECT_TRUE(text.contains("ScreenBackColor=" + QByteArray::number(0x102030) + "\r\n"));
  EXPECT_TRUE(text.contains("ParagraphPrefix=\xC2\xB7 \r\n"));
  EXPECT_TRUE(text.contains("File1=\r\n"));
  EXPECT_TRUE(text.contains("Hyphenation=FALSE\r\n"));

  // Saving the same record again gives the same bytes.
  ASSERT_TRUE(Write("again.plp", read));
  EXPECT_EQ(ReadFile("again.plp"), text);
}

TEST_F(ProfileSettingsTest, MissingKeysResetToDefaultsWithoutInheriting) {
  ProfileSettings settings = Changed();
  WriteFile("only.plp", "[Profile_Main]\r\nEnhanceText=FALSE\r\n");
  ASSERT_TRUE(Read("only.plp", settings));
  ProfileSettings expected;
  expected.EnhanceText = false;
  EXPECT_EQ(settings, expected);

  // A file that does not exist gives the defaults as well.
  settings = Changed();
  ASSERT_TRUE(Read("missing.plp", settings));
  EXPECT_EQ(settings, ProfileSettings());
}

TEST_F(ProfileSettingsTest, ValuesOutsideTheirListsKeepTheDefault) {
  const ProfileSettings s = ReadText("[Profile_Main]\r\n"
                                     "FontSize=31\r\n"            // in range, not offered
                                     "FontZoom=501\r\n"           // out of range
                                     "LineSpacing=abc\r\n"        // no number
                                     "CharSpacing=-10\r\n"        // the lowest offered
                                     "GammaScreenBackImage=1000\r\n"
                                     "GammaRichBackImage=1001\r\n"
                                     "FadeCenterScreenBackImage=15\r\n"  // offered for fades, not for the centre
                                     "SpaceAfter=$C\r\n"          // hexadecimal 12
                                     "FontName=A font name that is far too long for it\r\n"
                                     "ParagraphPrefix=tAB\r\n"
                                     "BoldFont=true\r\n"          // only exactly TRUE is true
                                     "TitleScreenBackImage=\r\n"  // empty is not taken
                                     "TitleRichBackImage=defaultrich.jpg\r\n");
  EXPECT_EQ(s.FontSize, 16);
  EXPECT_EQ(s.FontZoom, 100);
  EXPECT_EQ(s.LineSpacing, 120);
  EXPECT_EQ(s.CharSpacing, -10);
  EXPECT_EQ(s.GammaScreenBackImage, 1000);
  EXPECT_EQ(s.GammaRichBackImage, 100);
  EXPECT_EQ(s.FadeCenterScreenBackImage, 0);
  EXPECT_EQ(s.SpaceAfter, 12);
  EXPECT_EQ(s.FontName, "Times New Roman");
  EXPECT_EQ(s.ParagraphPrefix, "Tab");
  EXPECT_FALSE(s.BoldFont);
  EXPECT_EQ(s.TitleScreenBackImage, "DefaultScreen.bmp");
  EXPECT_EQ(s.TitleRichBackImage, "DefaultRich.bmp");

  EXPECT_EQ(ReadText("[Profile_Main]\r\nParagraphPrefix=>> \r\n").ParagraphPrefix, "None");
  // A name of exactly 31 characters is taken.
  EXPECT_EQ(ReadText("[Profile_Main]\r\nFontName=1234567890123456789012345678901\r\n").FontName,
            "1234567890123456789012345678901");
}

TEST_F(ProfileSettingsTest, SoundsFollowTheirCount) {
  // 25 is out of range: one sound, the others are not read.
  TProfileBackSounds b = ReadText("[Profile_BackSounds]\r\nCount=25\r\nFile0=a.wav\r\nFile1=b.wav\r\n").BackSounds;
  EXPECT_EQ(b.Count, 1);
  EXPECT_EQ(b.File[0], "a.wav");
  EXPECT_EQ(b.File[1], "");

  b = ReadText("[Profile_BackSounds]\r\nUse=TRUE\r\nRandom=FALSE\r\nCount=2\r\n"
               "File0=DEFAULT.mp3\r\nVol0=1001\r\nDur0=500\r\nProb0=0\r\n"
               "File1=\r\nVol1=0\r\nDur1=301\r\nProb1=1000\r\n"
               "File2=c.wav\r\n")
          .BackSounds;
  EXPECT_TRUE(b.Use);
  EXPECT_FALSE(b.Random);
  EXPECT_EQ(b.Count, 2);
  EXPECT_EQ(b.File[0], "Default.wav");
  EXPECT_EQ(b.Vol[0], 50);
  EXPECT_EQ(b.Dur[0], 500);  // the range, not the list, decides
  EXPECT_EQ(b.Prob[0], 100);
  EXPECT_EQ(b.File[1], "");  // empty is accepted for sounds
  EXPECT_EQ(b.Vol[1], 0);
  EXPECT_EQ(b.Dur[1], 301);
  EXPECT_EQ(b.Prob[1], 1000);
  EXPECT_EQ(b.File[2], "");  // beyond the count
}

TEST_F(ProfileSettingsTest, BadColourFailsTheLoadAndKeepsWhatWasRead) {
  WriteFile("bad.plp", "[Profile_Main]\r\nEnhanceText=FALSE\r\nTitleRichBackImage=x.png\r\n"
                       "ScreenBackColor=clRed\r\nScreenForeColor=$0000FF\r\nRichBoxBackColor=no colour\r\n"
                       "FontSize=30\r\n");
  ProfileSettings settings = Changed();
  EXPECT_FALSE(Read("bad.plp", settings));
  EXPECT_FALSE(settings.EnhanceText);
  EXPECT_FALSE(settings.PoorlyWritten);  // reset: read before the failure
  EXPECT_EQ(settings.TitleRichBackImage, "x.png");
  EXPECT_EQ(settings.ScreenBackColor, 0x0000FFu);
  EXPECT_EQ(settings.ScreenForeColor, 0xFFu);
  EXPECT_EQ(settings.RichBoxForeColor, Changed().RichBoxForeColor);  // after the failure: kept
  EXPECT_EQ(settings.FontSize, Changed().FontSize);
}

TEST_F(ProfileSettingsTest, MediaTitlesGoThroughTheShortener) {
  ProfileSettings s = Changed();
  ASSERT_TRUE(Write("short.plp", s, [](const std::string &title, bool sound) {
    return (sound ? "S:" : "P:") + title;
  }));
  const QByteArray text = ReadFile("short.plp");
  EXPECT_TRUE(text.contains("TitleScreenBackImage=P:/pictures/sky.png\r\n"));
  EXPECT_TRUE(text.contains("TitleRichBackImage=P:paper.jpg\r\n"));
  EXPECT_TRUE(text.contains("File0=S:rain.wav\r\n"));
  EXPECT_TRUE(text.contains("FontName=DejaVu Sans\r\n"));  // other texts are not titles
}

TEST(ProfileOptionsTest, OfferedValuesMatchTheirRanges) {
  using namespace ProfileOptions;
  for (const TProfileIntOption *o : {&FadeScreenBackImage, &GammaScreenBackImage, &FadeCenterScreenBackImage,
                                     &FadeRichBackImage, &GammaRichBackImage, &LeftMargin, &RightMargin, &FontSize,
                                     &FontZoom, &CharSpacing, &LineSpacing, &FirstLineIndent, &SpaceAfter, &Vol, &Dur,
                                     &Prob}) {
    SCOPED_TRACE(o->Key);
    ASSERT_FALSE(o->Offered.empty());
    EXPECT_TRUE(o->IsOffered(o->Default));
    EXPECT_TRUE(std::is_sorted(o->Offered.begin(), o->Offered.end()));
    EXPECT_GE(o->Offered.front(), o->Minimum);
    EXPECT_LE(o->Offered.back(), o->Maximum);
  }
  EXPECT_EQ(GammaScreenBackImage.Offered.size(), 35u);
  EXPECT_EQ(FontSize.Offered.size(), 28u);
  EXPECT_EQ(Dur.Offered.back(), 300);
  EXPECT_TRUE(Count.IsOffered(20));
  EXPECT_FALSE(Count.IsOffered(21));
}

}  // namespace
