#include "SpeechEngine.h"

#include <QLocale>
#include <QStandardPaths>
#include <QTextToSpeech>
#include <algorithm>

namespace {

class TSystemSpeechEngine : public ISpeechEngine {
public:
  // The service is reached at the first use, not at start-up: connecting
  // starts the speech service's daemon, which a reader who never listens
  // does not need (nor wait for before the first page).
  TSystemSpeechEngine()
      : Possible(!QTextToSpeech::availableEngines().isEmpty() &&
                 !QStandardPaths::findExecutable("speech-dispatcher").isEmpty()) {}
  // The service answers unless the connection itself failed: a failure to
  // set up the default voice (no voice for the system's locale) still
  // leaves the service's own voice.
  bool Available() const override {
    if (!Speech)
      return Possible;
    return !(Speech->state() == QTextToSpeech::Error &&
             Speech->errorReason() == QTextToSpeech::ErrorReason::Initialization);
  }
  void Say(const QString &text, const QString &language) override {
    if (!Connect() || !Available())
      return;
    SetLanguage(language);
    Waiting = true;
    Begun = false;
    Speech->say(text);
  }
  void Stop() override {
    Waiting = false;
    if (Speech)
      Speech->stop();
  }
  void Prepare() override { Connect(); }
  void SetRate(int rate) override {
    if (Connect())
      Speech->setRate(std::clamp(rate, -10, 10) / 10.0);
  }
  void SetVolume(int volume) override {
    if (Connect())
      Speech->setVolume(std::clamp(volume, 0, 100) / 100.0);
  }

private:
  bool Connect() {
    if (!Speech && Possible) {
      Speech = std::make_unique<QTextToSpeech>();
      QObject::connect(Speech.get(), &QTextToSpeech::stateChanged, Speech.get(),
                       [this](QTextToSpeech::State state) { StateChanged(state); });
    }
    return Speech != nullptr;
  }
  // The service reports its states later than they happen: the end of a text
  // stopped before may arrive after the next Say, so a text is done only when
  // the service went from speaking it back to ready (or failed).
  void StateChanged(QTextToSpeech::State state) {
    if (!Waiting)
      return;
    if (state == QTextToSpeech::Speaking) {
      Begun = true;
      return;
    }
    if (state == QTextToSpeech::Ready && !Begun)
      return;
    Waiting = false;
    if (Finished)
      Finished();
  }
  // The first voice of the language, kept until another language is asked
  // for. Without a voice for it (or for the system's locale, such as the C
  // locale, when no language is given) the service would stay silent: its
  // English voice, else its first one, is taken.
  void SetLanguage(const QString &language) {
    if (language == Language)
      return;
    Language = language;
    const QList<QLocale> locales = Speech->availableLocales();
    const QLocale::Language wanted = language.isEmpty() ? Speech->locale().language() : QLocale(language).language();
    const auto speaks = [&](QLocale::Language which) {
      return std::find_if(locales.begin(), locales.end(),
                          [which](const QLocale &locale) { return locale.language() == which; });
    };
    auto found = speaks(wanted);
    if (found == locales.end())
      found = speaks(QLocale::English);
    if (found == locales.end())
      found = locales.begin();
    if (found != locales.end() && *found != Speech->locale())
      Speech->setLocale(*found);
  }

  const bool Possible;  // a speech plug-in and the speech service are installed
  std::unique_ptr<QTextToSpeech> Speech;
  QString Language = "?";
  bool Waiting = false;  // a text is being said
  bool Begun = false;    // the service has reported speaking it
};

SpeechEngineMaker &Maker() {
  static SpeechEngineMaker maker;
  return maker;
}

}  // namespace

std::unique_ptr<ISpeechEngine> NewSystemSpeechEngine() { return std::make_unique<TSystemSpeechEngine>(); }

void SetSpeechEngineMaker(SpeechEngineMaker maker) { Maker() = std::move(maker); }

std::unique_ptr<ISpeechEngine> MakeSpeechEngine() { return Maker() ? Maker()() : NewSystemSpeechEngine(); }
