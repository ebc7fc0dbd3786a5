// The program's sound output on Qt Multimedia: one looping wave at a time,
// at the program's own output level (never the system mixer's). Starting,
// switching and stopping never wait for the audio device: QSoundEffect loads
// and plays on its own. The next sound is loaded while the current one plays
// (PrepareWave), so a switch starts it at once instead of after its loading.
#pragma once

#include "BackSounds.h"

#include <memory>

class QSoundEffect;

class TSoundOutput : public TWaveOutput {
public:
  TSoundOutput();
  ~TSoundOutput() override;
  void StopWave() override;
  void PrepareWave(const std::string &path) override;
  double GetWaveVolume() const override { return Level; }
  // The file being played (empty when silent).
  std::string Playing() const;

protected:
  bool StartWave(const std::string &path, bool loop) override;
  void SetLevel(double level) override;

private:
  double Level = 1.0;
  std::unique_ptr<QSoundEffect> Effect;    // the sound playing
  std::unique_ptr<QSoundEffect> Prepared;  // loaded, waiting for its turn
};
