// Background sounds with a recording output and a clock the test moves.
#include "BackSounds.h"
#include "Dialogs.h"
#include "Error.h"
#include "MyTime.h"
#include "Myrandom.h"
#include "PagelumeDialog.h"
#include "Program.h"
#include "SoundModule.h"
#include "SoundOutput.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>
#include <random>

namespace {

// Records what would reach the speakers.
class TRecordingOutput : public TWaveOutput {
public:
  struct TPlay {
    std::string Path;
    bool Loop;
    double Level;
    bool Prepared;  // loaded beforehand, while the sound before it played
  };
  std::vector<TPlay> Plays;
  std::vector<std::string> Prepares;
  int Stops = 0;
  double Level = 1.0;
  bool Playing = false;

  void StopWave() override {
    ++Stops;
    Playing = false;
  }
  void PrepareWave(const std::string &path) override { Prepares.push_back(path); }
  double GetWaveVolume() const override { return Level; }

protected:
  // A file named "missing" cannot be played.
  bool StartWave(const std::string &path, bool loop) override {
    if (path.ends_with("missing"))
      return false;
    Plays.push_back({path, loop, Level, !Prepares.empty() && Prepares.back() == path});
    Playing = true;
    return true;
  }
  void SetLevel(double level) override { Level = level; }
};

class BackSoundsTest : public ::testing::Test {
protected:
  void SetUp() override {
    Sounds.List.Use = true;
    Sounds.ResolveTitle = [](const std::string &title) { return "/sounds/" + title; };
  }
  // Three sounds a, b, c.
  void ThreeSounds(bool random, std::array<int32_t, 3> durations, std::array<int32_t, 3> weights = {100, 100, 100}) {
    Sounds.List.Count = 3;
    Sounds.List.Random = random;
    for (int i = 0; i < 3; ++i) {
      Sounds.List.Titles[i] = std::string(1, static_cast<char>('a' + i));
      Sounds.List.Durations[i] = durations[i];
      Sounds.List.Weights[i] = weights[i];
    }
  }
  // Runs the one-second timer for the given seconds.
  void Run(int seconds) {
    for (int i = 0; i < seconds; ++i) {
      Now += 1;
      Sounds.TimerStep();
    }
  }
  std::string PlayedTitles() const {
    std::string titles;
    for (const auto &play : Output.Plays)
      titles += play.Path.substr(8);
    return titles;
  }

  double Now = 1000;
  TRecordingOutput Output;
  TBackSounds Sounds{&Output, [this] { return Now; }};
};

TEST_F(BackSoundsTest, OneSoundLoopsForEverWhateverRandomSays) {
  for (bool random : {false, true}) {
    Output.Plays.clear();
    Sounds.List.Random = random;
    Sounds.List.Durations[0] = 1;
    Sounds.PlaySoundAt(0);
    Run(100);
    ASSERT_EQ(Output.Plays.size(), 1u);
    EXPECT_TRUE(Output.Plays[0].Loop);
    EXPECT_EQ(Output.Plays[0].Path, "/sounds/Default.wav");
  }
}

TEST_F(BackSoundsTest, PausedNothingPlaysOrSwitchesAndResumingReplaysTheCurrentSound) {
  ThreeSounds(false, {5, 5, 5});
  Sounds.PlaySoundAt(0);
  Sounds.Pause(true, true);
  EXPECT_FALSE(Output.Playing);
  Run(20);
  EXPECT_EQ(Sounds.List.Current, 0);
  Sounds.Pause(false, true);
  EXPECT_EQ(PlayedTitles(), "aa");
  Sounds.Pause(true, true);
  Sounds.PlaySoundAt(1);  // "Use sound" ticked again while paused
  EXPECT_FALSE(Output.Playing);
  Sounds.Pause(false, false);  // resumed while minimised: stays quiet
  EXPECT_FALSE(Output.Playing);
  EXPECT_EQ(PlayedTitles(), "aa");
  Run(5);
  EXPECT_EQ(PlayedTitles(), "aac");
}

TEST_F(BackSoundsTest, InTurnEachForItsDuration) {
  ThreeSounds(false, {5, 10, 5});
  Sounds.PlaySoundAt(0);
  std::vector<int> switchTimes;
  for (int second = 1; second <= 40; ++second) {
    const size_t before = Output.Plays.size();
    Run(1);
    if (Output.Plays.size() != before)
      switchTimes.push_back(second);
  }
  EXPECT_EQ(PlayedTitles(), "abcabca");
  EXPECT_EQ(switchTimes, (std::vector<int>{5, 15, 20, 25, 35, 40}));
}

TEST_F(BackSoundsTest, RandomChoiceKeepsPlayingWhenTheSameSoundIsPicked) {
  ThreeSounds(true, {5, 5, 5});
  std::vector<int32_t> picks = {0, 2, 2, 1};
  size_t next = 0;
  Sounds.PickWeighted = [&](int32_t, const int32_t *) { return picks[next++ % picks.size()]; };
  Sounds.PlaySoundAt(0);
  Run(20);
  // 0 again: no restart; 2; 2 again: no restart; 1.
  EXPECT_EQ(PlayedTitles(), "acb");
}

TEST_F(BackSoundsTest, EachSwitchStartsASoundPreparedWhileTheOneBeforePlayed) {
  ThreeSounds(false, {5, 10, 5});
  Sounds.PlaySoundAt(0);
  EXPECT_EQ(Output.Prepares, std::vector<std::string>{"/sounds/b"});
  Run(40);
  ThreeSounds(true, {5, 5, 5});
  std::vector<int32_t> picks = {1, 1, 2, 0, 0, 1};
  size_t next = 0;
  Sounds.PickWeighted = [&](int32_t, const int32_t *) { return picks[next++ % picks.size()]; };
  Sounds.PlaySoundAt(0);
  Run(60);
  ASSERT_EQ(PlayedTitles(), "abcabca" "a" "bcabcab");
  for (size_t i = 0; i < Output.Plays.size(); ++i)
    EXPECT_EQ(Output.Plays[i].Prepared, i != 0 && i != 7) << i;
}

TEST_F(BackSoundsTest, AFileThatCannotPlaySilencesTheBackgroundAtAnyVolume) {
  ThreeSounds(false, {5, 5, 5});
  Sounds.List.Titles[1] = "missing";
  for (int32_t volume : {0, 300}) {
    Sounds.List.Volumes[1] = volume;
    Sounds.PlaySoundAt(0);
    ASSERT_TRUE(Output.Playing);
    Run(5);
    EXPECT_FALSE(Output.Playing) << volume;
    Run(5);
    EXPECT_TRUE(Output.Playing);  // the next sound plays again
  }
}

TEST_F(BackSoundsTest, VolumesAndTheStartUpLevel) {
  Output.Level = 0.8;
  Sounds.Start();
  EXPECT_DOUBLE_EQ(Sounds.SavedVolume, 0.8);

  // A sound's own volume replaces the level; volume 0 leaves it in force.
  Sounds.List.Volumes[0] = 500;
  Sounds.PlaySoundAt(0);
  EXPECT_NEAR(Output.Level, 0.5, 1e-4);
  Sounds.List.Volumes[0] = 0;
  Sounds.PlaySoundAt(0);
  EXPECT_NEAR(Output.Plays.back().Level, 0.5, 1e-4);

  // "Use sound" off stops and restores the level found at start-up.
  Sounds.List.Use = false;
  const int stops = Output.Stops;
  Sounds.PlaySoundAt(0);
  EXPECT_GT(Output.Stops, stops);
  EXPECT_FALSE(Output.Playing);
  EXPECT_DOUBLE_EQ(Output.Level, 0.8);

  // Out-of-range levels count as silence; the level is a 16-bit step.
  Output.SetWaveVolume(1.5);
  EXPECT_EQ(Output.Level, 0);
  Output.SetWaveVolume(-0.1);
  EXPECT_EQ(Output.Level, 0);
  Output.SetWaveVolume(0.5);
  EXPECT_DOUBLE_EQ(Output.Level, 32767.0 / 65535.0);

  // An empty title is silence, reported nowhere.
  Sounds.List.Use = true;
  Sounds.List.Titles[0].clear();
  const size_t plays = Output.Plays.size();
  Sounds.PlaySoundAt(0);
  EXPECT_EQ(Output.Plays.size(), plays);
  EXPECT_FALSE(Output.Playing);

  // At exit the sound stops and the start-up level comes back.
  Sounds.SetFirstVolume(300);
  Sounds.Exit();
  EXPECT_DOUBLE_EQ(Output.Level, 0.8);
}

TEST_F(BackSoundsTest, NothingStartsWhileTheProfileLoads) {
  bool loading = true;
  Sounds.Loading = [&] { return loading; };
  Sounds.PlaySoundAt(0);
  EXPECT_TRUE(Output.Plays.empty());
  loading = false;
  Sounds.PlaySoundAt(0);
  EXPECT_EQ(Output.Plays.size(), 1u);
}

// A file that is there (the output plays it, or stays silent, on its own).
std::string ShortWave(const QTemporaryDir &dir) {
  const std::string wave = dir.filePath("tone.wav").toStdString();
  QFile file(QString::fromStdString(wave));
  if (file.open(QIODevice::WriteOnly))
    file.write("RIFF");
  return wave;
}

// The real output: a file that cannot be played silences the sound before
// it, whatever the volume; a prepared file is the one that starts.
TEST(SoundOutput, AMissingFileSilencesTheSoundBefore) {
  QTemporaryDir dir;
  const std::string wave = ShortWave(dir);
  TSoundOutput output;
  output.PrepareWave(wave);
  EXPECT_TRUE(output.PlayWave(wave, true, 0.5));
  EXPECT_EQ(output.Playing(), wave);
  EXPECT_FALSE(output.PlayWave(dir.filePath("missing.wav").toStdString(), true, 0));
  EXPECT_EQ(output.Playing(), "");
}

// The program does not link the multimedia libraries; its output loads the
// sound module (built beside it) at the first sound and hands it on.
TEST(SoundOutput, TheModuleIsLoadedAtTheFirstSound) {
  QFile program(QString(PAGELUME_BIN_DIR) + "/Pagelume");
  ASSERT_TRUE(program.open(QIODevice::ReadOnly));
  EXPECT_FALSE(program.readAll().contains("libQt6Multimedia.so"));

  QTemporaryDir dir;
  const std::string wave = ShortWave(dir);
  std::unique_ptr<TWaveOutput> output = NewSoundOutput();
  EXPECT_EQ(output->GetWaveVolume(), 1.0);
  EXPECT_TRUE(output->PlayWave(wave, true, 0.5));
  EXPECT_NEAR(output->GetWaveVolume(), 0.5, 1e-4);
  QFile maps("/proc/self/maps");
  ASSERT_TRUE(maps.open(QIODevice::ReadOnly));
  EXPECT_TRUE(maps.readAll().contains("/pagelume-sound.so"));
  EXPECT_FALSE(output->PlayWave(dir.filePath("missing.wav").toStdString(), true, 0));
  output->StopWave();
}

TEST(Crono, PeriodsAndTheStoppedChronometer) {
  double now = 10;
  TCrono crono([&] { return now; });
  std::vector<std::string> shown;
  SetShowErrorHandler([&](const TFunStatContext &ctx, const std::string &description, bool *) {
    EXPECT_EQ(ctx.Status, fsPanic);
    shown.push_back(description);
    return true;
  });
  EXPECT_FALSE(crono.IsPeriod(5));
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0], "PANIC: Cronometer is stopped.");
  SetShowErrorHandler({});

  crono.Start();
  EXPECT_FALSE(crono.IsPeriod(0));
  now = 14.9;
  EXPECT_FALSE(crono.IsPeriod(5));
  now = 15;
  EXPECT_TRUE(crono.IsPeriod(5));  // and restarts
  now = 19;
  EXPECT_FALSE(crono.IsPeriod(5));
  now = 5;  // a clock that went back counts as no time
  EXPECT_EQ(crono.Elapsed(), 0);
}

TEST(RandomGenerator, WeightedPicksFollowTheWeights) {
  TRandom random;
  random.Initialize(123, 456);
  const int32_t weights[3] = {100, 100, 200};
  std::array<int, 3> counts{};
  std::mt19937 pointer(7);
  for (int i = 0; i < 10000; ++i) {
    if (i % 10 == 0)
      random.AddEntropy(static_cast<int32_t>(pointer() % 1024), static_cast<int32_t>(pointer() % 768));
    const int32_t pick = random.PickWeighted(3, weights);
    ASSERT_GE(pick, 0);
    ASSERT_LT(pick, 3);
    ++counts[pick];
  }
  // Binomial(10000, 1/2) lies within ±300 (6 standard deviations) but for
  // about two runs in a billion; the other two share the rest alike.
  EXPECT_NEAR(counts[2], 5000, 300);
  EXPECT_NEAR(counts[0], 2500, 300);
  EXPECT_EQ(random.PickWeighted(0, weights), -1);
}

// The window: the group's controls, minimise and restore, a new book.
class BackSoundsFormTest : public ::testing::Test {
protected:
  void SetUp() override {
    SetProgramDirOverride(Dir.path());
    SetMessageBoxHandler([](TMessageKind, const QString &) { return false; });
    Form = new TPagelumeForm;
    Form->Sounds->SetOutput(&Output);
    Form->Sounds->Crono = TCrono([this] { return Now; });
  }
  void TearDown() override {
    Form->Sounds->SetOutput(Form->SoundOutput.get());
    delete Form;
    SetMessageBoxHandler({});
    SetProgramDirOverride(QString());
  }
  QTemporaryDir Dir;
  double Now = 0;
  TRecordingOutput Output;
  TPagelumeForm *Form = nullptr;
};

TEST_F(BackSoundsFormTest, ControlsEditTheFirstSoundAndMinimiseSilences) {
  EXPECT_EQ(Form->TitleBackSoundEdit->text(), "Default.wav");
  EXPECT_TRUE(Form->TitleBackSoundEdit->isReadOnly());
  EXPECT_EQ(Form->VolumeBackSoundComboBox->currentText(), "50");
  EXPECT_EQ(Form->VolumeBackSoundComboBox->itemText(1), "5");
  EXPECT_EQ(Form->VolumeBackSoundComboBox->findText("60"), 11);
  EXPECT_EQ(Form->DurationBackSoundComboBox->itemText(Form->DurationBackSoundComboBox->count() - 1), "300");
  EXPECT_EQ(Form->ProbabilityBackSoundComboBox->itemText(Form->ProbabilityBackSoundComboBox->count() - 1), "1000");

  // A chosen file outside the sounds folder keeps its full path.
  const QString wave = Dir.path() + "/rain.wav";
  Form->ChooseSoundFile = [&](const QString &) { return wave; };
  Form->UseBackSoundCheckBox->setChecked(true);
  Form->ChangeBackSoundButtonMouseDown(Qt::LeftButton, Qt::NoModifier);
  EXPECT_EQ(Form->TitleBackSoundEdit->text(), wave);
  ASSERT_EQ(Output.Plays.size(), 1u);
  EXPECT_EQ(Output.Plays[0].Path, wave.toStdString());
  // A right press does nothing.
  Form->ChangeBackSoundButtonMouseDown(Qt::RightButton, Qt::NoModifier);
  EXPECT_EQ(Output.Plays.size(), 1u);

  Form->VolumeBackSoundComboBox->setCurrentText("200");
  EXPECT_EQ(Form->Sounds->List.Volumes[0], 200);
  EXPECT_NEAR(Output.Level, 0.2, 1e-4);
  Form->DurationBackSoundComboBox->setCurrentText("15");
  Form->ProbabilityBackSoundComboBox->setCurrentText("400");
  EXPECT_EQ(Form->Sounds->List.Durations[0], 15);
  EXPECT_EQ(Form->Sounds->List.Weights[0], 400);

  Form->ApplicationEventsMinimize();
  EXPECT_FALSE(Output.Playing);
  EXPECT_FALSE(Form->InfoTimer->isActive());
  Form->ApplicationEventsRestore();
  EXPECT_TRUE(Output.Playing);
  EXPECT_TRUE(Form->InfoTimer->isActive());
  ASSERT_EQ(Output.Plays.size(), 2u);  // replayed from its start
  EXPECT_EQ(Output.Plays[1].Path, wave.toStdString());

  // "Use sound" off silences and restores the level found at start-up.
  Form->UseBackSoundCheckBox->click();
  EXPECT_FALSE(Output.Playing);
  EXPECT_DOUBLE_EQ(Output.Level, 1.0);
}

TEST_F(BackSoundsFormTest, ListFromAProfileShowsItsFirstSound) {
  TSoundList &list = Form->Sounds->List;
  list.Use = true;
  list.Random = false;
  list.Titles[0] = "Rain.wav";
  list.Volumes[0] = 150;
  list.Durations[0] = 12;  // not offered: no selection
  list.Weights[0] = 300;
  Form->SoundListToControls();
  EXPECT_TRUE(Form->UseBackSoundCheckBox->isChecked());
  EXPECT_FALSE(Form->RandomBackSoundCheckBox->isChecked());
  EXPECT_EQ(Form->TitleBackSoundEdit->text(), "Rain.wav");
  EXPECT_EQ(Form->VolumeBackSoundComboBox->currentText(), "150");
  EXPECT_EQ(Form->DurationBackSoundComboBox->currentIndex(), -1);
  EXPECT_EQ(Form->ProbabilityBackSoundComboBox->currentText(), "300");
  // Showing the list changes nothing in it and plays nothing.
  EXPECT_EQ(list.Volumes[0], 150);
  EXPECT_TRUE(Output.Plays.empty());
}

}  // namespace
