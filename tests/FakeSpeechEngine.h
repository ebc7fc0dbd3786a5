// A stand-in for the speech service: records what it is asked to say and
// reports a text as said when the test says so.
#pragma once

#include "SpeechEngine.h"

#include <QStringList>

class TFakeSpeechEngine : public ISpeechEngine {
public:
  explicit TFakeSpeechEngine(bool available = true) : IsAvailable(available) {}
  bool Available() const override { return IsAvailable; }
  void Say(const QString &text, const QString &language) override {
    Said << text;
    Language = language;
    Saying = true;
  }
  void Stop() override {
    Saying = false;
    ++Stops;
  }
  void SetRate(int rate) override { Rate = rate; }
  void SetVolume(int volume) override { Volume = volume; }
  // The text being said is done.
  void Finish() {
    Saying = false;
    if (Finished)
      Finished();
  }

  // The service stops answering, as a failed connection reports it.
  void Lose() {
    IsAvailable = false;
    if (Lost)
      Lost();
  }

  bool IsAvailable;
  bool Saying = false;
  QStringList Said;
  QString Language;
  int Rate = -99;
  int Volume = -1;
  int Stops = 0;
};
