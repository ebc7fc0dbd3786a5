// Plays a wave file through the program's real sound output for a moment and
// says whether it started and stopped, so a machine's audio path can be
// checked by hand (scripts/sound-check.sh runs it against a silent sink).
//
//   build/bin/SoundCheck [FILE.wav] [SECONDS]
#include "SoundOutput.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QSoundEffect>
#include <QTimer>

#include <cstdio>

namespace {
// The streams the sound server is playing now (pactl), or "" without one.
QString ServerStreams() {
  QProcess pactl;
  pactl.start("pactl", {"list", "short", "sink-inputs"});
  if (!pactl.waitForFinished(3000))
    return QString();
  return QString::fromLocal8Bit(pactl.readAllStandardOutput()).trimmed();
}
}  // namespace

int main(int argc, char **argv) {
  QCoreApplication app(argc, argv);
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
