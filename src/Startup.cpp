#include "Startup.h"

#include "AboutDialog.h"
#include "Error.h"
#include "File.h"
#include "HintTiming.h"
#include "Hyphenator.h"
#include "ErrorDialog.h"
#include "InstanceChannel.h"
#include "Install.h"
#include "PagelumeApplication.h"
#include "PagelumeDialog.h"
#include "Program.h"
#include "StartMemory.h"

#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QLocale>
#include <QScreen>
#include <QElapsedTimer>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

QString InstanceLockPath(const QString &dir) {
  const QString base = dir.isEmpty() ? QDir::tempPath() : dir;
  // One lock per user: the temporary folder may be shared by every user.
  return QDir(base).filePath(QStringLiteral("Mutex_ProgramInstance_") + "Pagelume-" + QString::number(::geteuid()));
}

TInstanceLockFile::TInstanceLockFile(const QString &path) : Path(path) {}

TInstanceLockFile::~TInstanceLockFile() {
  if (Fd < 0)
    return;
  // Removed while still held: a start that opened the file meanwhile finds,
  // once it holds the lock, that the name leads elsewhere and tries again.
  ::unlink(QFile::encodeName(Path).constData());
  ::close(Fd);
}

TInstanceLock TInstanceLockFile::Acquire() {
  if (Fd >= 0)
    return TInstanceLock::Acquired;
  const QByteArray name = QFile::encodeName(Path);
  for (int attempt = 0; attempt < 10; ++attempt) {
    const int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
      // A file of another user (left in a shared folder under this user's
      // name) is no instance of this user's: it never stops a start.
      return TInstanceLock::Unavailable;
    }
    struct stat opened {};
    if (::fstat(fd, &opened) != 0 || opened.st_uid != ::geteuid() || !S_ISREG(opened.st_mode)) {
      ::close(fd);
      return TInstanceLock::Unavailable;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const int error = errno;
      ::close(fd);
      return error == EWOULDBLOCK ? TInstanceLock::HeldByAnother : TInstanceLock::Unavailable;
    }
    // The owner that ended just now may have removed the file we opened.
    struct stat named {};
    if (::stat(name.constData(), &named) != 0 || named.st_ino != opened.st_ino || named.st_dev != opened.st_dev) {
      ::close(fd);
      continue;
    }
    // The holder's process id, for people looking; no one waits for it to reach the disk.
    const QByteArray pid = QByteArray::number(qint64(::getpid())) + '\n';
    if (::ftruncate(fd, 0) == 0) {
      [[maybe_unused]] const ssize_t written = ::write(fd, pid.constData(), size_t(pid.size()));
    }
    Fd = fd;
    return TInstanceLock::Acquired;
  }
  return TInstanceLock::Unavailable;
}

bool IsUninstall(const QStringList &arguments) {
  return !arguments.isEmpty() && arguments.first().compare("/Uninstall", Qt::CaseInsensitive) == 0;
}

bool IsInstallerMode(const QString &executableFileName, const QStringList &arguments) {
  return executableFileName.compare("Install", Qt::CaseInsensitive) == 0 || IsUninstall(arguments);
}

bool WantsConverter(int argc, char **argv) {
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--convert") == 0 || std::strcmp(argv[i], "--help") == 0)
      return true;
  return false;
}

bool WantsVersion(int argc, char **argv) { return argc == 2 && std::strcmp(argv[1], "--version") == 0; }

const char *VersionLine() { return "Pagelume " PAGELUME_VERSION; }

bool HasDisplay() {
  return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
         !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

bool SessionBusAutolaunchCanOnlyFail(const QByteArray &address, const QByteArray &runtimeDir, const QByteArray &path) {
  if (!address.isEmpty())
    return false;
  struct stat bus {};
  if (!runtimeDir.isEmpty() && ::stat((runtimeDir + "/bus").constData(), &bus) == 0 && S_ISSOCK(bus.st_mode))
    return false;
  for (const QByteArray &folder : path.split(':'))
    if (!folder.isEmpty() && ::access((folder + "/dbus-launch").constData(), X_OK) == 0)
      return false;
  return true;
}

QWidget *CreateInstallerWindow(bool uninstall) { return new TInstallForm(TInstallParams(), uninstall); }

namespace {

// How long a second start tries to reach a reader that is still starting.
constexpr int HandOverWaitMs = 5000;
// What the main thread allocates from the start to the first page of a large
// book, with room to spare (measured: about 4.5 MB).
constexpr std::size_t StartHeapBytes = 6u << 20;

// Taken while the program's static objects are built, just after the process starts.
const auto ProcessStart = std::chrono::steady_clock::now();

// With PAGELUME_BENCH_STARTUP set, the first paint of the main window prints
// the time since the process started and ends the run.
class TFirstPaintProbe : public QObject {
public:
  using QObject::QObject;
  bool eventFilter(QObject *watched, QEvent *event) override {
    if (event->type() == QEvent::Paint && !Done) {
      Done = true;
      const double ms =
          std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - ProcessStart).count();
      std::printf("first paint after %.1f ms\n", ms);
      std::fflush(stdout);
      QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    }
    return QObject::eventFilter(watched, event);
  }
  bool Done = false;
};

// Installer mode told before the application exists: by the executable's
// resolved name, the name it was started by, or the first argument.
bool StartsInstaller(int argc, char **argv) {
  QStringList arguments;
  for (int i = 1; i < argc; ++i)
    arguments << QString::fromLocal8Bit(argv[i]);
  const QString exe = QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget()).fileName();
  const QString startName = argc > 0 ? QFileInfo(QString::fromLocal8Bit(argv[0])).fileName() : QString();
  return IsInstallerMode(exe, arguments) || IsInstallerMode(startName, {});
}

void PlaceMainWindow(QWidget *window) {
  if (QScreen *screen = QGuiApplication::primaryScreen())
    window->setGeometry(screen->geometry());
}

void ShowMainWindow(QWidget *window) {
  PlaceMainWindow(window);
  window->setWindowState(Qt::WindowMaximized);
  window->show();
  window->raise();
  window->activateWindow();
}
}  // namespace

int WinMain(int argc, char **argv) {
  OP_BEGIN("WinMain");
  // The installer does not take the reader's lock: it starts the installed
  // reader while it still runs, and an uninstall runs while a reader is open.
  const QString lockPath = InstanceLockPath();
  TInstanceLockFile lock(lockPath);
  const bool reader = !StartsInstaller(argc, argv);
  const TInstanceLock held = reader ? lock.Acquire() : TInstanceLock::Unavailable;
  if (held == TInstanceLock::HeldByAnother) {
    // The second instance ends at once; a book it names goes to the running
    // reader (which may still be starting) first.
    if (argc == 2)
      HandBookOver(InstanceSocketPath(lockPath), QString::fromLocal8Bit(argv[1]), HandOverWaitMs);
    return 0;
  }
  if (reader) {
    // The patterns the first page most likely needs are read meanwhile.
    THyphenator::LoadInBackground("en");
    THyphenator::LoadInBackground(QLocale::system().name().left(2).toStdString());
  }
  InstallErrorProviders();
  // Without a session bus, the accessibility bridge's first question makes
  // the D-Bus library fork the process to start one with dbus-launch. Where
  // that program is not installed the attempt can only fail, after tens of
  // milliseconds of copied page tables and faults while the window is
  // built: an address no library connects to ends it at once. Programs the
  // reader starts inherit it and fail as they would have.
  // (The library looks in its own folder, /usr/bin, before the PATH.)
  if (SessionBusAutolaunchCanOnlyFail(qgetenv("DBUS_SESSION_BUS_ADDRESS"), qgetenv("XDG_RUNTIME_DIR"),
                                      "/usr/bin:" + qgetenv("PATH")))
    qputenv("DBUS_SESSION_BUS_ADDRESS", "disabled:");
  // The heap the start needs (the controls, the settings, the first page),
  // taken in one step instead of a page fault at a time.
  if (reader)
    WarmHeap(StartHeapBytes);
  TPagelumeApplication app(argc, argv);
  // The style of the hints before the first widget: set later, it polishes
  // every control of the window again.
  THintTiming::Install();
  std::unique_ptr<QWidget> mainWindow;
  int exitCode = 0;
  OP_TRY {
    // Arguments are file names as the file system's bytes (a name that is
    // no UTF-8 still opens); the toolkit's own options are gone from argv.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
      arguments << DecodeFileName(QByteArray(argv[i]));
    // The name the program was started by counts too: a link named "Install"
    // resolves to the reader's own executable.
    const QString startName = argc > 0 ? QFileInfo(QString::fromLocal8Bit(argv[0])).fileName() : QString();
    const bool installer = IsInstallerMode(ProgramFileName(), arguments) || IsInstallerMode(startName, {});
    TPagelumeForm *form = nullptr;
    TInstallForm *installForm = nullptr;
    // An uninstall that is refused is told before any window shows.
    if (installer && IsUninstall(arguments) && TInstallForm::RefuseUninstallAtStart(TInstallParams(), ProgramDir())) {
      InstallErrorForm(nullptr);
      return 1;
    }
    if (installer) {
      installForm = static_cast<TInstallForm *>(CreateInstallerWindow(IsUninstall(arguments)));
      mainWindow.reset(installForm);
    } else {
      form = new TPagelumeForm;
      form->CommandLineBooks = arguments;
      mainWindow.reset(form);
    }
    InstallErrorForm(new TErrorForm(mainWindow.get()));
    AboutForm = new TAboutForm(mainWindow.get());
    if (form) {
      // The pictures of the start are built for the size the window shows at.
      PlaceMainWindow(form);
      form->Start();
      if (held == TInstanceLock::Acquired) {
        auto *server = new TInstanceServer(form);
        QObject::connect(server, &TInstanceServer::BookHandedOver, form, &TPagelumeForm::BookHandedOver);
        server->Listen(InstanceSocketPath(lockPath));
      }
    }
    if (!qEnvironmentVariableIsEmpty("PAGELUME_BENCH_STARTUP"))
      mainWindow->installEventFilter(new TFirstPaintProbe(mainWindow.get()));
    if (installer)
      mainWindow->show();
    else
      ShowMainWindow(mainWindow.get());
    // The book opens as soon as the event loop runs, not when the window
    // manager gets round to activating the window: a frame or two sooner.
    if (form)
      QTimer::singleShot(0, form, [form] { form->ApplicationEventsActivate(); });
    app.exec();
    if (installForm)
      exitCode = installForm->ExitCode();
  }
  OP_CATCH;
  OP_SHOW("");
  InstallErrorForm(nullptr);
  return exitCode;
}
