// The voice that reads the book aloud: a small interface over the desktop's
// speech service, so that the reading-aloud logic can be driven by a stand-in.
#pragma once

#include <QString>
#include <functional>
#include <memory>

class ISpeechEngine {
public:
  virtual ~ISpeechEngine() = default;
  // Whether a speech service answers; when it does not, nothing is said.
  virtual bool Available() const = 0;
  // Says one text in a language ("en", "fr", ...; empty: the service's own
  // choice). Finished runs once when the text has been said; a text cut short
  // by Stop never reports.
  virtual void Say(const QString &text, const QString &language) = 0;
  virtual void Stop() = 0;
  // Rate -10 (slowest) to 10 (fastest), 0 normal; volume 0 to 100.
  virtual void SetRate(int rate) = 0;
  virtual void SetVolume(int volume) = 0;
  // Reaches the service ahead of the first text (after the first page).
  virtual void Prepare() {}
  std::function<void()> Finished;
  // Runs once, on the window's thread, when the service turns out not to
  // answer (its connection failed): nothing more will be said.
  std::function<void()> Lost;
};

// The desktop's speech service (through the toolkit's text-to-speech module).
std::unique_ptr<ISpeechEngine> NewSystemSpeechEngine();

// The engine the main window takes at start (tests install a maker that
// returns a stand-in); an empty maker restores the system one.
using SpeechEngineMaker = std::function<std::unique_ptr<ISpeechEngine>()>;
void SetSpeechEngineMaker(SpeechEngineMaker maker);
std::unique_ptr<ISpeechEngine> MakeSpeechEngine();
