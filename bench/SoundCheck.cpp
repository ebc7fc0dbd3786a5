// Plays a wave file through the program's real sound output for a moment and
// says whether it started and stopped, so a machine's audio path can be
// checked by hand (scripts/sound-check.sh runs it against a silent sink).
// With --switch it plays two sounds in turn as background sounds, each for
// the given seconds, through the given number of switches (the script
// records them to measure the pause at each switch).
//
//   build/bin/SoundCheck [FILE.wav] [SECONDS]
//   build/bin/SoundCheck --switch A.wav B.wav SECONDS SWITCHES
#include "BackSounds.h"
#include "SoundOutput.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QSoundEffect>
#include <QTimer>

#include <cstdio>
#include <cstring>

namespace {
// The streams the sound server is playing now (pactl), or "" without one.
QString ServerStreams() {
  QProcess pactl;
  pactl.start("pactl", {"list", "short", "sink-inputs"});
  if (!pactl.waitForFinished(3000))
    return QString();
  return QString::fromLocal8Bit(pactl.readAllStandardOutput()).trimmed();
}

// Background sounds a, b, a, ... each for seconds, on the one-second timer as
// in the program; ends a second after the last switch.
int PlayInTurn(QCoreApplication &app, const std::string &a, const std::string &b, int seconds, int switches) {
  TSoundOutput output;
  TBackSounds sounds(&output);
  sounds.List.Use = true;
  sounds.List.Random = false;
  sounds.List.Count = 2;
  sounds.List.Titles[0] = a;
  sounds.List.Titles[1] = b;
  for (int i = 0; i < 2; ++i) {
    sounds.List.Durations[i] = seconds;
    sounds.List.Volumes[i] = 500;
  }
  QElapsedTimer clock;
  clock.start();
  sounds.PlaySoundAt(0);
  int done = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, &app, [&] {
    const int before = sounds.List.Current;
    sounds.TimerStep();
    if (sounds.List.Current == before)
      return;
    std::printf("switch %d at %lld ms: now %s\n", ++done, static_cast<long long>(clock.elapsed()),
                output.Playing().c_str());
    if (done == switches)
      QTimer::singleShot(1000, &app, [&] { app.exit(0); });
  });
  timer.start(1000);
  const int result = app.exec();
  sounds.Stop();
  return result;
}

}  // namespace

int main(int argc, char **argv) {
  QCoreApplication app(argc, argv);
  if (argc == 6 && std::strcmp(argv[1], "--switch") == 0)
    return PlayInTurn(app, argv[2], argv[3], std::atoi(argv[4]), std::atoi(argv[5]));
  const QString file = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString("BackSounds/Rain.wav");
  const int seconds = argc > 2 ? std::atoi(argv[2]) : 2;

  TSoundOutput output;
  QElapsedTimer timer;
  timer.start();
  const bool started = output.PlayWave(file.toStdString(), true, 0.2);
  std::printf("PlayWave returned %s after %lld ms (the call never waits for the device)\n",
              started ? "true" : "false", static_cast<long long>(timer.elapsed()));
  QTimer::singleShot(seconds * 1000, &app, [&] {
    const QString playing = ServerStreams();
    std::printf("while playing, the sound server's streams: %s\n",
                playing.isEmpty() ? "(none)" : qPrintable(playing));
    timer.restart();
    output.StopWave();
    std::printf("StopWave took %lld ms\n", static_cast<long long>(timer.elapsed()));
    QTimer::singleShot(1000, &app, [&] {
      const QString after = ServerStreams();
      std::printf("after the stop, the sound server's streams: %s\n", after.isEmpty() ? "(none)" : qPrintable(after));
      app.exit(playing.isEmpty() || !after.isEmpty() ? 1 : 0);
    });
  });
  return app.exec();
}
