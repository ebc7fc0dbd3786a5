#include "SpeechEngine.h"

#include <QLocale>
#include <QStandardPaths>
#include <QTextToSpeech>
#include <QThread>
#include <algorithm>
#include <atomic>

namespace {

class TSystemSpeechEngine : public ISpeechEngine {
public:
  // The service is reached at the first use, not at start-up: connecting
  // starts the speech service's daemon, which a reader who never listens
  // does not need (nor wait for before the first page). The connection lives
  // on a thread of its own: the service lists every voice it has while the
  // toolkit connects (seconds with espeak-ng's voices), and the window must
  // go on answering meanwhile. Every call on the service is posted to that
  // thread, in order, so that texts asked for while it connects are said
  // once it is ready.
  TSystemSpeechEngine()
      : Possible(!QTextToSpeech::availableEngines().isEmpty() &&
                 !QStandardPaths::findExecutable("speech-dispatcher").isEmpty()) {}
  ~TSystemSpeechEngine() override {
    if (!Worker)
      return;
    // Waits for a connection still being made: the service's objects must go
    // with the thread that made them.
    Post([this] {
      delete Speech;
      Speech = nullptr;
      QThread::currentThread()->quit();
    });
    Worker->wait();
  }
  // The service answers unless the connection itself failed: a failure to
  // set up the default voice (no voice for the system's locale) still
  // leaves the service's own voice.
  bool Available() const override { return Possible && !Broken; }
  void Say(const QString &text, const QString &language) override {
    if (!Available())
      return;
    Waiting = true;
    Begun = false;
    Post([this, text, language] {
      SetLanguage(language);
      Speech->say(text);
    });
  }
  void Stop() override {
    Waiting = false;
    if (Worker)
      Post([this] { Speech->stop(); });
  }
  void Prepare() override {
    if (Possible)
      Start();
  }
  void SetRate(int rate) override {
    const double value = std::clamp(rate, -10, 10) / 10.0;
    Post([this, value] { Speech->setRate(value); });
  }
  void SetVolume(int volume) override {
    const double value = std::clamp(volume, 0, 100) / 100.0;
    Post([this, value] { Speech->setVolume(value); });
  }

private:
  void Post(std::function<void()> work) {
    if (!Possible)
      return;
    Start();
    QMetaObject::invokeMethod(Home.get(), std::move(work), Qt::QueuedConnection);
  }
  void Start() {
    if (Worker)
      return;
    Worker = std::make_unique<QThread>();
    Worker->setObjectName("speech");
    Home = std::make_unique<QObject>();
    Home->moveToThread(Worker.get());
    Worker->start(QThread::LowPriority);
    QMetaObject::invokeMethod(Home.get(), [this] { Connect(); }, Qt::QueuedConnection);
  }
  // On the service's thread.
  void Connect() {
    Speech = new QTextToSpeech;
    const auto failed = [this](QTextToSpeech::State state) {
      if (state == QTextToSpeech::Error && Speech->errorReason() == QTextToSpeech::ErrorReason::Initialization &&
          !Broken.exchange(true))
        QMetaObject::invokeMethod(
            &Receiver,
            [this] {
              if (Lost)
                Lost();
            },
            Qt::QueuedConnection);
    };
    failed(Speech->state());
    QObject::connect(Speech, &QTextToSpeech::stateChanged, Speech, failed);
    // The states reach the window's thread.
    QObject::connect(Speech, &QTextToSpeech::stateChanged, &Receiver,
                     [this](QTextToSpeech::State state) { StateChanged(state); });
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
  // On the service's thread: the first voice of the language, kept until
  // another language is asked for. Without a voice for it (or for the
  // system's locale, such as the C locale, when no language is given) the
  // service would stay silent: its English voice, else its first one, is
  // taken.
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

  const bool Possible;            // a speech plug-in and the speech service are installed
  std::atomic<bool> Broken{false};  // the connection failed
  QObject Receiver;               // the window's thread: where the states arrive
  std::unique_ptr<QThread> Worker;
  std::unique_ptr<QObject> Home;  // the service's thread: where calls are posted
  QTextToSpeech *Speech = nullptr;  // made, used and deleted on the service's thread
  QString Language = "?";         // the service's thread
  bool Waiting = false;           // a text is being said
  bool Begun = false;             // the service has reported speaking it
};

SpeechEngineMaker &Maker() {
  static SpeechEngineMaker maker;
  return maker;
}

}  // namespace

std::unique_ptr<ISpeechEngine> NewSystemSpeechEngine() { return std::make_unique<TSystemSpeechEngine>(); }

void SetSpeechEngineMaker(SpeechEngineMaker maker) { Maker() = std::move(maker); }

std::unique_ptr<ISpeechEngine> MakeSpeechEngine() { return Maker() ? Maker()() : NewSystemSpeechEngine(); }
