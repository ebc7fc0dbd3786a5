#include "BackSounds.h"

#include "Myrandom.h"

#include <cmath>

void TSoundList::Clear() {
  Use = false;
  Random = true;
  Count = 1;
  for (int32_t i = 0; i < MaxCount; ++i) {
    Titles[i] = i == 0 ? DefaultTitle : "";
    Volumes[i] = 50;
    Durations[i] = 5;
    Weights[i] = 100;
  }
  Current = -1;
}

bool TWaveOutput::PlayWave(const std::string &path, bool loop, double volume) {
  // The sound before always stops: a file that cannot be played leaves silence.
  StopWave();
  if (volume > 0)
    SetWaveVolume(volume);
  return StartWave(path, loop);
}

void TWaveOutput::SetWaveVolume(double fraction) {
  if (!(fraction >= 0 && fraction <= 1))
    fraction = 0;
  SetLevel(std::trunc(fraction * 65535) / 65535.0);
}

TBackSounds::TBackSounds(TWaveOutput *output, TCrono::TClock clock) : Crono(std::move(clock)), Output(output) {
  PickWeighted = [](int32_t count, const int32_t *weights) { return Random.PickWeighted(count, weights); };
}

void TBackSounds::Start() {
  SavedVolume = Output->GetWaveVolume();
  List.Current = -1;
}

void TBackSounds::PlaySoundAt(int32_t index) {
  if (Loading && Loading())
    return;
  if (List.Count >= 1) {
    Crono.Start();
    List.Current = index;
    const bool valid = index >= 0 && index < List.Count && index < TSoundList::MaxCount;
    Next = -1;
    if (List.Use && valid && !List.Titles[index].empty() && !IsPaused) {
      Output->PlayWave(PathOf(index), true, List.Volumes[index] * 0.001);
      ChooseNext();
    } else {
      Output->StopWave();
    }
  }
  if (!List.Use && SavedVolume >= 0)
    Output->SetWaveVolume(SavedVolume);
}

void TBackSounds::Pause(bool on, bool replay) {
  if (on == IsPaused)
    return;
  IsPaused = on;
  if (on)
    Output->StopWave();
  else if (replay)
    PlaySoundAt(List.Current);
}

void TBackSounds::TimerStep() {
  if (IsPaused || !List.Use || List.Count < 2 || List.Current < 0 || List.Current >= List.Count)
    return;
  const int32_t period = List.Durations[List.Current];
  if (!Crono.IsPeriod(period))
    return;
  if (Next < 0 || Next >= List.Count)
    ChooseNext();  // the list changed under the sound
  if (Next != List.Current)
    PlaySoundAt(Next);
  else
    ChooseNext();  // the same sound again: it loops on for another period
}

void TBackSounds::ChooseNext() {
  const int32_t current = List.Current;
  Next = current;
  if (!List.Use || List.Count < 2 || current < 0 || current >= List.Count)
    return;
  if (List.Random) {
    Next = PickWeighted(List.Count, List.Weights.data());
    if (Next < 0 || Next >= List.Count)
      Next = current;
  } else {
    Next = current + 1 >= List.Count ? 0 : current + 1;
  }
  if (Next != current && !List.Titles[Next].empty())
    Output->PrepareWave(PathOf(Next));
}

std::string TBackSounds::PathOf(int32_t index) const {
  return ResolveTitle ? ResolveTitle(List.Titles[index]) : List.Titles[index];
}

void TBackSounds::Stop() { Output->StopWave(); }

void TBackSounds::Exit() {
  Output->StopWave();
  if (SavedVolume >= 0)
    Output->SetWaveVolume(SavedVolume);
}

void TBackSounds::SetFirstVolume(int32_t thousandths) {
  List.Volumes[0] = thousandths;
  Output->SetWaveVolume(thousandths * 0.001);
}
