// Process start to first page, seen from outside: starts a reader command on
// the X display of DISPLAY and grabs the whole screen (a grab every 10 ms at
// most) until the screen has settled, then finds the first grab that already
// looks like the settled screen. Any reader started the same way can be
// compared. bench/first-page.sh sets up the display and calls it.
//
//   FirstPageBench [--runs N] [--timeout S] [--settle S] [--tolerance PERCENT]
//                  [--interval MS] [--socket-grabs] [--fresh-program-folder]
//                  [--save-pictures DIR] -- COMMAND [ARGS...]
//   (defaults 5 runs, 60 s, settled after 2 s without a new picture, 0.2 %, 10 ms)
//
// - The grabs go through the X server's shared-memory extension where it has
//   one: the server copies the screen into memory the bench reads, where a
//   grab over the socket (--socket-grabs, and the fallback) sends 8 MB through
//   it and converts it twice on this side. A socket grab every 20 ms took most
//   of a core and kept the server busy while the reader started, so the bench
//   timed itself as much as the reader.
//
// - Each run gets a fresh HOME, TMPDIR and XDG folders; what the run left
//   running (processes with that HOME) is ended before the next. With
//   --fresh-program-folder the program (COMMAND) is copied into a fresh folder
//   with links to the other files of its folder, so that settings an earlier
//   run left beside the program do not count.
// - A change is a grab whose grey levels differ (by more than 16) from the
//   last change's (at first: the empty desktop's) in more than the tolerance
//   of the pixels; smaller changes (a clock with seconds, a blinking caret)
//   do not count. The screen has settled when no change came for the settle
//   time.
// - The first page is the first change that differs from the settled screen
//   in at most the tolerance; its time is when that grab ended, from the
//   moment the process was started (so the figure is late by at most one
//   grab interval, printed with it). The first change is the first window
//   shown.
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <unistd.h>
#include <vector>
#ifdef PAGELUME_BENCH_XSHM
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>
// Xlib's macros that clash with the toolkit's names.
#undef None
#undef Bool
#undef Status
#undef Unsorted
#undef Always
#endif

namespace {

struct TFrame {
  double Seconds;  // end of the grab, from the process start
  QImage Grey;
};

// Grey pictures of the whole screen.
class TScreenGrabber {
public:
  explicit TScreenGrabber(bool sharedMemory) {
#ifdef PAGELUME_BENCH_XSHM
    if (sharedMemory)
      OpenShared();
#else
    (void)sharedMemory;
#endif
  }
  TScreenGrabber(const TScreenGrabber &) = delete;
  TScreenGrabber &operator=(const TScreenGrabber &) = delete;
  ~TScreenGrabber() {
#ifdef PAGELUME_BENCH_XSHM
    if (Image) {
      XShmDetach(Display, &Segment);
      XDestroyImage(Image);
      shmdt(Segment.shmaddr);
    }
    if (Display)
      XCloseDisplay(Display);
#endif
  }
  bool Shared() const {
#ifdef PAGELUME_BENCH_XSHM
    return Image != nullptr;
#else
    return false;
#endif
  }
  QImage Grab() {
#ifdef PAGELUME_BENCH_XSHM
    if (Image && XShmGetImage(Display, DefaultRootWindow(Display), Image, 0, 0, AllPlanes)) {
      QImage grey(Image->width, Image->height, QImage::Format_Grayscale8);
      for (int y = 0; y < Image->height; ++y) {
        const auto *p = reinterpret_cast<const uint32_t *>(Image->data + size_t(y) * Image->bytes_per_line);
        uchar *q = grey.scanLine(y);
        for (int x = 0; x < Image->width; ++x)
          q[x] = uchar(qGray(p[x]));
      }
      return grey;
    }
#endif
    return QGuiApplication::primaryScreen()->grabWindow(0).toImage().convertToFormat(QImage::Format_Grayscale8);
  }

private:
#ifdef PAGELUME_BENCH_XSHM
  void OpenShared() {
    Display = XOpenDisplay(nullptr);
    if (!Display || !XShmQueryExtension(Display))
      return;
    const int screen = DefaultScreen(Display);
    if (DefaultDepth(Display, screen) < 24)
      return;
    XImage *image = XShmCreateImage(Display, DefaultVisual(Display, screen), unsigned(DefaultDepth(Display, screen)),
                                    ZPixmap, nullptr, &Segment, unsigned(DisplayWidth(Display, screen)),
                                    unsigned(DisplayHeight(Display, screen)));
    if (!image)
      return;
    if (image->bits_per_pixel != 32) {
      XDestroyImage(image);
      return;
    }
    Segment.shmid = shmget(IPC_PRIVATE, size_t(image->bytes_per_line) * image->height, IPC_CREAT | 0600);
    Segment.shmaddr = image->data = static_cast<char *>(shmat(Segment.shmid, nullptr, 0));
    Segment.readOnly = False;
    shmctl(Segment.shmid, IPC_RMID, nullptr);  // gone with the last user
    if (Segment.shmaddr == reinterpret_cast<char *>(-1) || !XShmAttach(Display, &Segment)) {
      image->data = nullptr;
      XDestroyImage(image);
      return;
    }
    XSync(Display, False);
    Image = image;
  }
  ::Display *Display = nullptr;
  XShmSegmentInfo Segment{};
  XImage *Image = nullptr;
#endif
};

size_t Hash(const QImage &image) { return qHashBits(image.constBits(), size_t(image.sizeInBytes())); }

// Pixels whose grey level differs by more than 16.
qint64 Differing(const QImage &a, const QImage &b) {
  if (a.size() != b.size())
    return qint64(a.width()) * a.height();
  qint64 count = 0;
  for (int y = 0; y < a.height(); ++y) {
    const uchar *p = a.constScanLine(y), *q = b.constScanLine(y);
    for (int x = 0; x < a.width(); ++x)
      count += std::abs(int(p[x]) - int(q[x])) > 16;
  }
  return count;
}

double Median(std::vector<double> v) {
  if (v.empty())
    return -1;
  std::sort(v.begin(), v.end());
  return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// A fresh folder holding a copy of the program and links to its neighbours.
QString FreshProgram(const QString &program, const QString &folder) {
  const QFileInfo info(program);
  QDir source(info.absolutePath());
  for (const QFileInfo &entry : source.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)) {
    if (entry.fileName() == info.fileName())
      continue;
    if (entry.suffix() == "ini" || entry.suffix() == "plp" || entry.fileName() == "Errors.log")
      continue;  // settings and logs of earlier runs
    QFile::link(entry.absoluteFilePath(), folder + "/" + entry.fileName());
  }
  const QString copy = folder + "/" + info.fileName();
  return QFile::copy(info.absoluteFilePath(), copy) ? copy : QString();
}

struct TRun {
  double FirstChange = -1, Page = -1, Interval = 0;
  int Frames = 0;
  bool Settled = false;
};

// Ends what a run left running: every process started with the run's HOME
// (a speech service the reader started, which leaves the reader's process
// group and stays a few seconds, busy listing its voices). Left alone it
// took a core through the start of the next run.
void EndLeftovers(const QString &home) {
  const QByteArray mark = "HOME=" + QFile::encodeName(home);
  const auto leftovers = [&] {
    QList<pid_t> found;
    for (const QString &entry : QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
      bool number = false;
      const pid_t pid = entry.toInt(&number);
      if (!number || pid == ::getpid())
        continue;
      QFile environ("/proc/" + entry + "/environ");
      if (environ.open(QIODevice::ReadOnly) && environ.readAll().split('\0').contains(mark))
        found.append(pid);
    }
    return found;
  };
  for (int round = 0; round < 40; ++round) {
    const QList<pid_t> found = leftovers();
    if (found.isEmpty())
      return;
    for (const pid_t pid : found)
      ::kill(pid, round < 20 ? SIGTERM : SIGKILL);
    QThread::msleep(50);
  }
}

TRun RunOnce(TScreenGrabber &grabber, const QStringList &command, double timeout, double settle, double tolerance,
             double interval, bool freshProgram, const QString &saveFolder) {
  TRun run;
  QTemporaryDir home;
  QDir(home.path()).mkpath("tmp");
  QDir(home.path()).mkpath("program");
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("HOME", home.path());
  env.insert("TMPDIR", home.path() + "/tmp");
  env.insert("XDG_CONFIG_HOME", home.path() + "/.config");
  env.insert("XDG_DATA_HOME", home.path() + "/.local/share");
  env.insert("XDG_CACHE_HOME", home.path() + "/.cache");
  env.remove("QT_QPA_PLATFORM");
  env.remove("PAGELUME_BENCH_STARTUP");
  QString program = command.first();
  if (freshProgram) {
    program = FreshProgram(program, home.path() + "/program");
    if (program.isEmpty()) {
      std::fprintf(stderr, "cannot copy %s\n", qPrintable(command.first()));
      return run;
    }
  }

  const QImage desktop = grabber.Grab();
  const size_t desktopHash = Hash(desktop);
  QProcess reader;
  reader.setProcessEnvironment(env);
  reader.setProcessChannelMode(QProcess::ForwardedChannels);
  reader.setChildProcessModifier([] { ::setsid(); });  // its own group, ended as a whole
  QElapsedTimer clock;
  clock.start();
  reader.start(program, command.mid(1));

  // The pictures that differ from the one kept before them by more than the
  // tolerance, in order.
  const qint64 allowed = qint64(tolerance / 100 * desktop.width() * desktop.height());
  std::vector<TFrame> frames;
  QImage kept = desktop;
  size_t lastHash = desktopHash;
  double lastChange = 0, previous = 0;
  std::vector<double> intervals;
  while (true) {
    const double began = clock.nsecsElapsed() / 1e9;
    QImage grey = grabber.Grab();
    const double now = clock.nsecsElapsed() / 1e9;
    intervals.push_back(now - previous);
    previous = now;
    const size_t hash = Hash(grey);
    if (hash != lastHash && Differing(grey, kept) > allowed) {
      kept = grey;
      lastChange = now;
      if (frames.size() < 400)
        frames.push_back({now, grey});
    }
    lastHash = hash;
    if (!frames.empty() && now - lastChange >= settle) {
      run.Settled = true;
      break;
    }
    if (now >= timeout || reader.state() == QProcess::NotRunning)
      break;
    const double spent = clock.nsecsElapsed() / 1e9 - began;
    if (spent < interval)
      QThread::usleep(static_cast<unsigned long>((interval - spent) * 1e6));
  }
  if (reader.state() != QProcess::NotRunning) {
    ::kill(-static_cast<pid_t>(reader.processId()), SIGKILL);
    reader.waitForFinished(5000);
  }
  run.Frames = int(frames.size());
  if (!saveFolder.isEmpty())
    for (const TFrame &frame : frames)
      frame.Grey.save(QString::asprintf("%s/%07.3f.png", qPrintable(saveFolder), frame.Seconds));
  run.Interval = Median(intervals);
  for (const TFrame &frame : frames) {
    if (run.FirstChange < 0)
      run.FirstChange = frame.Seconds;
    if (Differing(frame.Grey, kept) <= allowed) {
      run.Page = frame.Seconds;
      break;
    }
  }
  EndLeftovers(home.path());
  // Let the screen go back to the empty desktop before the next run.
  for (int i = 0; i < 100 && Hash(grabber.Grab()) != desktopHash; ++i)
    QThread::msleep(50);
  return run;
}

}  // namespace

int main(int argc, char **argv) {
  qputenv("QT_QPA_PLATFORM", "xcb");
  QGuiApplication app(argc, argv);
  QCommandLineParser parser;
  parser.addPositionalArgument("command", "The reader and its arguments (after --).");
  QCommandLineOption runsOption("runs", "Runs.", "N", "5"), timeoutOption("timeout", "Seconds per run.", "S", "60"),
      settleOption("settle", "Seconds without a new picture.", "S", "2"),
      toleranceOption("tolerance", "Percent of pixels.", "P", "0.2"),
      freshOption("fresh-program-folder", "Copy the program into a fresh folder."),
      intervalOption("interval", "Milliseconds from one grab's start to the next at least.", "MS", "10"),
      socketOption("socket-grabs", "Grab through the X server's socket, not shared memory."),
      saveOption("save-pictures", "Save the pictures of each run into a folder (to check the method).", "DIR");
  parser.addOptions(
      {runsOption, timeoutOption, settleOption, toleranceOption, intervalOption, socketOption, freshOption, saveOption});
  parser.process(app);
  const QStringList command = parser.positionalArguments();
  if (command.isEmpty()) {
    std::fprintf(stderr, "usage: FirstPageBench [options] -- COMMAND [ARGS...]\n");
    return 2;
  }
  const int runs = std::max(1, parser.value(runsOption).toInt());
  const double timeout = parser.value(timeoutOption).toDouble(), settle = parser.value(settleOption).toDouble();
  const double tolerance = parser.value(toleranceOption).toDouble();
  const double interval = std::max(0.0, parser.value(intervalOption).toDouble() / 1000);
  TScreenGrabber grabber(!parser.isSet(socketOption));
  const QSize screen = QGuiApplication::primaryScreen()->size();
  std::printf("command: %s\nscreen %d x %d on %s; %d runs; grabs through %s\n", qPrintable(command.join(' ')),
              screen.width(), screen.height(), qgetenv("DISPLAY").constData(), runs,
              grabber.Shared() ? "shared memory" : "the socket");
  std::vector<double> firstChanges, pages;
  for (int i = 0; i < runs; ++i) {
    QString save = parser.value(saveOption);
    if (!save.isEmpty()) {
      save += QString("/run%1").arg(i + 1);
      QDir().mkpath(save);
    }
    const TRun run = RunOnce(grabber, command, timeout, settle, tolerance, interval, parser.isSet(freshOption), save);
    if (run.Page < 0 || !run.Settled)
      std::printf("run %d: %s (first change %.3f s, %d pictures)\n", i + 1,
                  run.Settled ? "no page found" : qPrintable(QString::asprintf("> %.0f s: not settled (killed)", timeout)),
                  run.FirstChange, run.Frames);
    else {
      std::printf("run %d: first change %.3f s, first page %.3f s  [%d pictures, a grab every %.0f ms]\n", i + 1,
                  run.FirstChange, run.Page, run.Frames, run.Interval * 1000);
      firstChanges.push_back(run.FirstChange);
      pages.push_back(run.Page);
    }
    std::fflush(stdout);
  }
  if (!pages.empty())
    std::printf("median: first change %.3f s, process start to first page %.3f s (%zu of %d runs)\n",
                Median(firstChanges), Median(pages), pages.size(), runs);
  return pages.empty() ? 1 : 0;
}
