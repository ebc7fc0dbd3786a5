// Start-up benchmark: starts the reader several times and measures the time
// from process start to the first paint of the main window.
//
//   build/bin/StartupBench [runs]        (default 9 runs)
//
// The reader runs with PAGELUME_BENCH_STARTUP=1, which makes it print the
// time since its own start at the first paint and quit. Each run uses its own
// temporary folder, so a reader that is already running does not count as a
// second instance. Without DISPLAY the offscreen platform is used.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}
}  // namespace

int main(int argc, char **argv) {
  QCoreApplication app(argc, argv);
  const int runs = argc > 1 ? std::max(1, QString(argv[1]).toInt()) : 9;
  const QString program = QCoreApplication::applicationDirPath() + "/Pagelume";
  const bool offscreen = qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");

  std::vector<double> inside, outside;
  for (int i = 0; i < runs; ++i) {
    QTemporaryDir temp;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("PAGELUME_BENCH_STARTUP", "1");
    env.insert("TMPDIR", temp.path());
    if (offscreen)
      env.insert("QT_QPA_PLATFORM", "offscreen");
    QProcess p;
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::SeparateChannels);
    QElapsedTimer clock;
    clock.start();
    p.start(program, {});
    if (!p.waitForFinished(30000)) {
      std::fprintf(stderr, "run %d: the reader did not finish within 30 s\n", i + 1);
      p.kill();
      p.waitForFinished();
      return 1;
    }
    const double total = clock.nsecsElapsed() / 1e6;
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    const auto m = QRegularExpression("first paint after ([0-9.]+) ms").match(out);
    if (!m.hasMatch()) {
      std::fprintf(stderr, "run %d: no first-paint line (exit status %d)\n", i + 1, p.exitCode());
      return 1;
    }
    inside.push_back(m.captured(1).toDouble());
    outside.push_back(total);
    std::printf("run %d: first paint %.1f ms, whole run (start to exit) %.1f ms\n", i + 1, inside.back(), total);
  }
  std::printf("platform: %s, runs: %d\n", offscreen ? "offscreen" : qPrintable(qEnvironmentVariable("DISPLAY")),
              runs);
  std::printf("median first paint: %.1f ms\nmedian whole run: %.1f ms\n", Median(inside), Median(outside));
  return 0;
}
