#include "ProfileSettings.h"

#include "StoredTextList.h"

#include <QString>
#include <algorithm>

#include "MediaTitle.h"

const char *const ProfileMainSection = "Profile_Main";
const char *const ProfileBackSoundsSection = "Profile_BackSounds";
const char *const DefaultProfileFileName = "PagelumeProfile.plp";
const char *const ProfileExtension = ".plp";

namespace {

// from, from + step, ... to.
std::vector<int32_t> Steps(int32_t from, int32_t to, int32_t step) {
  std::vector<int32_t> values;
  for (int32_t value = from; value <= to; value += step)
    values.push_back(value);
  return values;
}

std::vector<int32_t> Join(std::initializer_list<std::vector<int32_t>> parts) {
  std::vector<int32_t> values;
  for (const auto &part : parts)
    values.insert(values.end(), part.begin(), part.end());
  return values;
}

std::vector<int32_t> Fades() { return Join({Steps(0, 30, 5), Steps(40, 100, 10)}); }
std::vector<int32_t> Gammas() {
  return Join({{1, 5}, Steps(10, 30, 5), Steps(40, 200, 10), Steps(250, 500, 50), Steps(600, 1000, 100)});
}

}  // namespace

bool TProfileIntOption::IsOffered(int32_t value) const {
  if (value < Minimum || value > Maximum)
    return false;
  return Offered.empty() || std::find(Offered.begin(), Offered.end(), value) != Offered.end();
}

int32_t TProfileIntOption::Normalise(int32_t value) const { return IsOffered(value) ? value : Default; }

std::vector<std::string> TProfileIntOption::Items() const {
  std::vector<std::string> items;
  for (int32_t value : Offered)
    items.push_back(std::to_string(value));
  return items;
}

namespace ProfileOptions {
const TProfileIntOption FadeScreenBackImage{"FadeScreenBackImage", 0, 0, 100, Fades()};
const TProfileIntOption GammaScreenBackImage{"GammaScreenBackImage", 100, 1, 1000, Gammas()};
const TProfileIntOption FadeCenterScreenBackImage{"FadeCenterScreenBackImage", 0, 0, 100, Steps(0, 100, 10)};
const TProfileIntOption FadeRichBackImage{"FadeRichBackImage", 0, 0, 100, Fades()};
const TProfileIntOption GammaRichBackImage{"GammaRichBackImage", 100, 1, 1000, Gammas()};
const TProfileIntOption LeftMargin{"LeftMargin", 15, 0, 50, Steps(0, 50, 5)};
const TProfileIntOption RightMargin{"RightMargin", 15, 0, 50, Steps(0, 50, 5)};
const TProfileIntOption FontSize{"FontSize", 16, 8, 50, Join({Steps(8, 30, 1), {32, 35, 40, 45, 50}})};
const TProfileIntOption FontZoom{"FontZoom", 100, 10, 500,
                                 Join({Steps(10, 200, 5), {225, 250, 275, 300, 350, 400, 450, 500}})};
const TProfileIntOption CharSpacing{"CharSpacing", 0, -10, 500,
                                    Join({Steps(-10, 20, 1), Steps(25, 50, 5), Steps(60, 100, 10),
                                          Steps(150, 500, 50)})};
const TProfileIntOption LineSpacing{"LineSpacing", 120, 100, 500,
                                    Join({Steps(100, 200, 10), {225, 250, 275, 300, 350, 400, 450, 500}})};
const TProfileIntOption FirstLineIndent{"FirstLineIndent", 10, 0, 50, Steps(0, 50, 5)};
const TProfileIntOption SpaceAfter{"SpaceAfter", 5, 0, 30, Join({Steps(0, 10, 1), {12, 15, 18, 20, 25, 30}})};
const TProfileIntOption SpeechRate{"SpeechRate", 0, -10, 10, Steps(-10, 10, 1)};
const TProfileIntOption SpeechVolume{"SpeechVolume", 80, 0, 100, Steps(0, 100, 5)};
const TProfileIntOption Count{"Count", 1, 1, MaxBackSounds, {}};
const TProfileIntOption Vol{"Vol", 50, 0, 1000, Join({Steps(0, 50, 5), Steps(60, 100, 10), Steps(150, 1000, 50)})};
const TProfileIntOption Dur{"Dur", 5, 1, 500, Join({Steps(1, 10, 1), Steps(15, 100, 5), Steps(150, 300, 50)})};
const TProfileIntOption Prob{"Prob", 100, 1, 1000,
                             Join({Steps(1, 10, 1), Steps(15, 100, 5), {150, 200, 250, 300}, Steps(400, 1000, 100)})};

std::vector<std::string> ParagraphPrefixItems() { return {"None", "Tab", "Blanks", "- ", "* ", "\xC2\xB7 "}; }
}  // namespace ProfileOptions

namespace {

const std::string Main = ProfileMainSection;
const std::string Sounds = ProfileBackSoundsSection;

void ReadBool(TStoredTextList &list, const char *key, bool &value, bool defaultValue) {
  value = defaultValue;
  list.ReadBool(Main, key, value);
}

// Read with the option's default; a value that is not offered counts as the default.
void ReadOption(TStoredTextList &list, const TProfileIntOption &option, int32_t &value) {
  value = option.Default;
  list.ReadInteger(Main, option.Key, value, option.Minimum, option.Maximum);
  value = option.Normalise(value);
}

void ReadColor(TStoredTextList &list, const char *key, uint32_t &value, uint32_t defaultValue) {
  value = defaultValue;
  list.ReadColor(Main, key, value);
}

void ReadText(TStoredTextList &list, const std::string &section, const std::string &key, std::string &value,
              const std::string &defaultValue, bool acceptEmpty, int32_t maxLength) {
  value = defaultValue;
  list.ReadString(section, key, value, acceptEmpty, maxLength);
}

std::string Normalised(const std::string &title, const char *base, const char *canonical) {
  return NormaliseDefaultTitle(QString::fromStdString(title), base, canonical).toStdString();
}

}  // namespace

void ReadProfileSettings(TStoredTextList &list, ProfileSettings &s) {
  using namespace ProfileOptions;
  const ProfileSettings d;  // the defaults
  ReadBool(list, "EnhanceText", s.EnhanceText, d.EnhanceText);
  ReadBool(list, "PoorlyWritten", s.PoorlyWritten, d.PoorlyWritten);
  ReadBool(list, "IgnoreEmptyLines", s.IgnoreEmptyLines, d.IgnoreEmptyLines);
  ReadBool(list, "UseScreenBackImage", s.UseScreenBackImage, d.UseScreenBackImage);
  ReadBool(list, "StretchScreenBackImage", s.StretchScreenBackImage, d.StretchScreenBackImage);
  ReadOption(list, FadeScreenBackImage, s.FadeScreenBackImage);
  ReadOption(list, GammaScreenBackImage, s.GammaScreenBackImage);
  // The title first: the fade centre acts on the picture it names.
  ReadText(list, Main, "TitleScreenBackImage", s.TitleScreenBackImage, d.TitleScreenBackImage, false,
           MaxMediaTitleLength);
  s.TitleScreenBackImage = Normalised(s.TitleScreenBackImage, "DefaultScreen", "DefaultScreen.bmp");
  ReadOption(list, FadeCenterScreenBackImage, s.FadeCenterScreenBackImage);
  ReadBool(list, "UseRichBackImage", s.UseRichBackImage, d.UseRichBackImage);
  ReadBool(list, "StretchRichBackImage", s.StretchRichBackImage, d.StretchRichBackImage);
  ReadOption(list, FadeRichBackImage, s.FadeRichBackImage);
  ReadOption(list, GammaRichBackImage, s.GammaRichBackImage);
  ReadText(list, Main, "TitleRichBackImage", s.TitleRichBackImage, d.TitleRichBackImage, false, MaxMediaTitleLength);
  s.TitleRichBackImage = Normalised(s.TitleRichBackImage, "DefaultRich", "DefaultRich.bmp");
  ReadBool(list, "TransparentRichBack", s.TransparentRichBack, d.TransparentRichBack);
  ReadBool(list, "ShowRichBoxFrame", s.ShowRichBoxFrame, d.ShowRichBoxFrame);
  ReadColor(list, "ScreenBackColor", s.ScreenBackColor, d.ScreenBackColor);
  ReadColor(list, "ScreenForeColor", s.ScreenForeColor, d.ScreenForeColor);
  ReadColor(list, "RichBoxBackColor", s.RichBoxBackColor, d.RichBoxBackColor);
  ReadColor(list, "RichBoxForeColor", s.RichBoxForeColor, d.RichBoxForeColor);
  ReadColor(list, "EmphaColor", s.EmphaColor, d.EmphaColor);
  ReadColor(list, "SecondEmphaColor", s.SecondEmphaColor, d.SecondEmphaColor);
  ReadColor(list, "BrowserFocusBackColor", s.BrowserFocusBackColor, d.BrowserFocusBackColor);
  ReadColor(list, "BrowserFocusForeColor", s.BrowserFocusForeColor, d.BrowserFocusForeColor);
  ReadColor(list, "DirTypeBackColor", s.DirTypeBackColor, d.DirTypeBackColor);
  ReadColor(list, "DirTypeForeColor", s.DirTypeForeColor, d.DirTypeForeColor);
  ReadOption(list, LeftMargin, s.LeftMargin);
  ReadOption(list, RightMargin, s.RightMargin);
  ReadBool(list, "BoldFont", s.BoldFont, d.BoldFont);
  ReadBool(list, "JustifiedText", s.JustifiedText, d.JustifiedText);
  ReadText(list, Main, "FontName", s.FontName, d.FontName, false, MaxProfileTextLength);
  ReadOption(list, FontSize, s.FontSize);
  ReadOption(list, FontZoom, s.FontZoom);
  ReadOption(list, CharSpacing, s.CharSpacing);
  ReadOption(list, LineSpacing, s.LineSpacing);
  ReadOption(list, FirstLineIndent, s.FirstLineIndent);
  ReadOption(list, SpaceAfter, s.SpaceAfter);
  ReadText(list, Main, "ParagraphPrefix", s.ParagraphPrefix, d.ParagraphPrefix, false, MaxProfileTextLength);
  // The prefix list is matched without regard to case; a text it does not offer counts as the first item.
  {
    const QString text = QString::fromStdString(s.ParagraphPrefix);
    std::string matched = d.ParagraphPrefix;
    for (const std::string &item : ParagraphPrefixItems())
      if (QString::fromStdString(item).compare(text, Qt::CaseInsensitive) == 0)
        matched = item;
    s.ParagraphPrefix = matched;
  }
  ReadBool(list, "Hyphenation", s.Hyphenation, d.Hyphenation);
  ReadOption(list, SpeechRate, s.SpeechRate);
  ReadOption(list, SpeechVolume, s.SpeechVolume);

  TProfileBackSounds &b = s.BackSounds;
  const TProfileBackSounds db;
  b.Use = db.Use;
  list.ReadBool(Sounds, "Use", b.Use);
  b.Random = db.Random;
  list.ReadBool(Sounds, "Random", b.Random);
  b.Count = Count.Default;
  list.ReadInteger(Sounds, "Count", b.Count, Count.Minimum, Count.Maximum);
  for (int32_t n = 0; n < MaxBackSounds; ++n) {
    b.File[n] = db.File[n];
    b.Vol[n] = Vol.Default;
    b.Dur[n] = Dur.Default;
    b.Prob[n] = Prob.Default;
    if (n >= b.Count)
      continue;
    const std::string index = std::to_string(n);
    ReadText(list, Sounds, "File" + index, b.File[n], db.File[n], true, MaxMediaTitleLength);
    b.File[n] = Normalised(b.File[n], "Default", "Default.wav");
    list.ReadInteger(Sounds, "Vol" + index, b.Vol[n], Vol.Minimum, Vol.Maximum);
    list.ReadInteger(Sounds, "Dur" + index, b.Dur[n], Dur.Minimum, Dur.Maximum);
    list.ReadInteger(Sounds, "Prob" + index, b.Prob[n], Prob.Minimum, Prob.Maximum);
  }
}

void WriteProfileSettings(TStoredTextList &list, const ProfileSettings &s, const TMediaTitleShortener &shorten) {
  auto title = [&](const std::string &text, bool sound) { return shorten ? shorten(text, sound) : text; };
  auto boolean = [&](const char *key, bool value) { list.WriteBool(Main, key, value); };
  auto integer = [&](const TProfileIntOption &option, int32_t value) {
    list.WriteInteger(Main, option.Key, option.Normalise(value));
  };
  auto color = [&](const char *key, uint32_t value) { list.WriteColor(Main, key, value); };
  using namespace ProfileOptions;

  list.Clear();
  boolean("EnhanceText", s.EnhanceText);
  boolean("PoorlyWritten", s.PoorlyWritten);
  boolean("IgnoreEmptyLines", s.IgnoreEmptyLines);
  boolean("UseScreenBackImage", s.UseScreenBackImage);
  boolean("StretchScreenBackImage", s.StretchScreenBackImage);
  integer(FadeScreenBackImage, s.FadeScreenBackImage);
  integer(GammaScreenBackImage, s.GammaScreenBackImage);
  integer(FadeCenterScreenBackImage, s.FadeCenterScreenBackImage);
  list.WriteString(Main, "TitleScreenBackImage", title(s.TitleScreenBackImage, false));
  boolean("UseRichBackImage", s.UseRichBackImage);
  boolean("StretchRichBackImage", s.StretchRichBackImage);
  integer(FadeRichBackImage, s.FadeRichBackImage);
  integer(GammaRichBackImage, s.GammaRichBackImage);
  list.WriteString(Main, "TitleRichBackImage", title(s.TitleRichBackImage, false));
  boolean("TransparentRichBack", s.TransparentRichBack);
  boolean("ShowRichBoxFrame", s.ShowRichBoxFrame);
  color("ScreenBackColor", s.ScreenBackColor);
  color("ScreenForeColor", s.ScreenForeColor);
  color("RichBoxBackColor", s.RichBoxBackColor);
  color("RichBoxForeColor", s.RichBoxForeColor);
  color("EmphaColor", s.EmphaColor);
  color("SecondEmphaColor", s.SecondEmphaColor);
  color("BrowserFocusBackColor", s.BrowserFocusBackColor);
  color("BrowserFocusForeColor", s.BrowserFocusForeColor);
  color("DirTypeBackColor", s.DirTypeBackColor);
  color("DirTypeForeColor", s.DirTypeForeColor);
  integer(LeftMargin, s.LeftMargin);
  integer(RightMargin, s.RightMargin);
  boolean("BoldFont", s.BoldFont);
  boolean("JustifiedText", s.JustifiedText);
  list.WriteString(Main, "FontName", s.FontName);
  integer(FontSize, s.FontSize);
  integer(FontZoom, s.FontZoom);
  integer(CharSpacing, s.CharSpacing);
  integer(LineSpacing, s.LineSpacing);
  integer(FirstLineIndent, s.FirstLineIndent);
  integer(SpaceAfter, s.SpaceAfter);
  list.WriteString(Main, "ParagraphPrefix", s.ParagraphPrefix);
  boolean("Hyphenation", s.Hyphenation);
  integer(SpeechRate, s.SpeechRate);
  integer(SpeechVolume, s.SpeechVolume);

  const TProfileBackSounds &b = s.BackSounds;
  const int32_t count = std::clamp(b.Count, Count.Minimum, Count.Maximum);
  list.WriteBool(Sounds, "Use", b.Use);
  list.WriteBool(Sounds, "Random", b.Random);
  list.WriteInteger(Sounds, "Count", count);
  for (int32_t n = 0; n < count; ++n) {
    const std::string index = std::to_string(n);
    list.WriteString(Sounds, "File" + index, title(b.File[n], true));
    list.WriteInteger(Sounds, "Vol" + index, b.Vol[n]);
    list.WriteInteger(Sounds, "Dur" + index, b.Dur[n]);
    list.WriteInteger(Sounds, "Prob" + index, b.Prob[n]);
  }
}
