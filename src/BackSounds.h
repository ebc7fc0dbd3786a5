// Background sounds: a list of up to 20 wave files played while the reader
// reads, one looping for ever or several in turn or at random, each for its
// duration and at its own volume.
//
// Plain C++. The window keeps the controls in step with the list and supplies
// the output (TWaveOutput), the clock of the chronometer and the resolution of
// titles to paths; tests supply stand-ins for all three.
#pragma once

#include "MyTime.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>

struct TSoundList {
  static constexpr int32_t MaxCount = 20;
  static constexpr const char *DefaultTitle = "Default.wav";

  bool Use = false;     // "Use sound"
  bool Random = true;   // "Random"
  int32_t Count = 1;
  std::array<std::string, MaxCount> Titles;  // UTF-8; may be empty
  std::array<int32_t, MaxCount> Volumes;     // thousandths of full volume, 0 to 1000
  std::array<int32_t, MaxCount> Durations;   // seconds, 1 to 500
  std::array<int32_t, MaxCount> Weights;     // parts of the sum, 1 to 1000
  int32_t Current = -1;                      // the sound playing; -1 before the first

  TSoundList() { Clear(); }
  // Every entry to its default: "Default.wav" first, empty titles after it,
  // volume 50, duration 5, weight 100.
  void Clear();
};

// The program's sound output. PlayWave keeps the rule that a volume of 0
// leaves the output level as it was; the rest is the platform's.
class TWaveOutput {
public:
  virtual ~TWaveOutput() = default;
  // Stops any sound; if volume > 0, sets the output level to it; then starts
  // the file asynchronously. False when it cannot be played: the output is
  // silent then, whatever the volume.
  bool PlayWave(const std::string &path, bool loop, double volume);
  virtual void StopWave() = 0;
  // Loads a file that is to be played next, while the current sound plays
  // on, so that PlayWave of it starts without a pause. Only the last file
  // prepared is kept.
  virtual void PrepareWave(const std::string &path) { (void)path; }
  // A fraction outside 0 to 1 counts as 0; the level is kept as
  // trunc(f × 65535) ÷ 65535, as a 16-bit channel level would be.
  void SetWaveVolume(double fraction);
  virtual double GetWaveVolume() const = 0;

protected:
  // (The output that loads the sound module hands these on.)
  friend class TModuleSoundOutput;
  virtual bool StartWave(const std::string &path, bool loop) = 0;
  virtual void SetLevel(double level) = 0;
};

class TBackSounds {
public:
  explicit TBackSounds(TWaveOutput *output, TCrono::TClock clock = {});
  // Replaces the output (tests record what would be played).
  void SetOutput(TWaveOutput *output) { Output = output; }
  TWaveOutput *GetOutput() const { return Output; }

  TSoundList List;
  // The output level found at start-up; -1 when unknown.
  double SavedVolume = -1;
  TCrono Crono;
  // Whether the profile list is loading (nothing starts then).
  std::function<bool()> Loading;
  // The full path of a title in the sounds directory.
  std::function<std::string(const std::string &title)> ResolveTitle;
  // Picks the next random sound among count weights (the process generator
  // by default).
  std::function<int32_t(int32_t count, const int32_t *weights)> PickWeighted;

  // Reads the output level found at start-up.
  void Start();
  // Makes the sound at index the current one and plays it from its start
  // (when "Use sound" is on and its title is not empty); restores the start-up
  // level when sound is off.
  void PlaySoundAt(int32_t index);
  // The one-second step: switches to the next sound when the current one has
  // played its duration. The next sound is chosen, and prepared, as soon as
  // the current one starts, so the switch leaves no pause.
  void TimerStep();
  void Stop();
  // At exit: stops the sound and restores the start-up level.
  void Exit();
  // While paused (the book is read aloud) nothing plays, and the sounds do
  // not switch; the current sound stays the current one. Resuming plays it
  // again from its start when replay is true.
  void Pause(bool on, bool replay);
  bool Paused() const { return IsPaused; }
  // A volume chosen for the first sound takes effect at once.
  void SetFirstVolume(int32_t thousandths);

private:
  // Chooses the sound to follow the current one and prepares it.
  void ChooseNext();
  std::string PathOf(int32_t index) const;

  TWaveOutput *Output;
  bool IsPaused = false;
  int32_t Next = -1;  // the sound to follow the current one; -1 when none is chosen
};
