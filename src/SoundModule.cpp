#include "SoundModule.h"

#include "Program.h"

#include <QDir>
#include <QLibrary>
#include <cstdio>

#ifndef PAGELUME_MODULE_DIR
#define PAGELUME_MODULE_DIR "lib/pagelume"
#endif

QStringList SoundModulePaths() {
  return {ProgramDir() + "pagelume-sound.so",
          QDir::cleanPath(ProgramDir() + "../" PAGELUME_MODULE_DIR "/pagelume-sound.so")};
}

class TModuleSoundOutput : public TWaveOutput {
public:
  void StopWave() override {
    if (Inner)
      Inner->StopWave();
  }
  void PrepareWave(const std::string &path) override {
    if (Load())
      Inner->PrepareWave(path);
  }
  double GetWaveVolume() const override { return Inner ? Inner->GetWaveVolume() : Level; }

protected:
  bool StartWave(const std::string &path, bool loop) override { return Load() && Inner->StartWave(path, loop); }
  void SetLevel(double level) override {
    Level = level;
    if (Inner)
      Inner->SetLevel(level);
  }

private:
  bool Load() {
    if (Tried)
      return Inner != nullptr;
    Tried = true;
    QString reasons;
    for (const QString &path : SoundModulePaths()) {
      // Kept loaded for the rest of the run: the output's code is in it.
      QLibrary module(path);
      using TFactory = TWaveOutput *(*)();
      if (auto factory = reinterpret_cast<TFactory>(module.resolve("PagelumeNewSoundOutput"))) {
        Inner.reset(factory());
        Inner->SetLevel(Level);
        return true;
      }
      reasons += "\n  " + module.errorString();
    }
    std::fprintf(stderr, "Pagelume: no background sounds, the sound module did not load:%s\n", qPrintable(reasons));
    return false;
  }

  bool Tried = false;
  double Level = 1.0;
  std::unique_ptr<TWaveOutput> Inner;
};

std::unique_ptr<TWaveOutput> NewSoundOutput() { return std::make_unique<TModuleSoundOutput>(); }
