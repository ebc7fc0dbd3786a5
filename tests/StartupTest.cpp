#include "Startup.h"
#include "InstanceChannel.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QThread>
#include <QWidget>
#include <gtest/gtest.h>
#include <memory>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QString ProgramBinary() { return QString(PAGELUME_BIN_DIR) + "/Pagelume"; }

// Writes a lock file as a process with the given pid would have left it.
void WriteLockFile(const QString &path, qint64 pid, const QString &appName) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(QString("%1\n%2\n%3\n").arg(pid).arg(appName, QSysInfo::machineHostName()).toUtf8());
}

qint64 DeadPid() {
  pid_t pid = fork();
  if (pid == 0)
    _exit(0);
  waitpid(pid, nullptr, 0);
  return pid;
}

QProcessEnvironment CleanEnvironment(const QString &tempDir) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "PAGELUME_BENCH_STARTUP", "XDG_RUNTIME_DIR"})
    env.remove(name);
  env.insert("TMPDIR", tempDir);
  env.insert("HOME", tempDir);
  // A desktop without the speech service: the reader does not reach it (its
  // voice list alone takes minutes under the sanitizers).
  env.insert("PATH", tempDir);
  return env;
}

// Starts a reader and waits until the file it makes at start (its lock, its
// socket) is there.
void StartReader(QProcess &reader, const QProcessEnvironment &env, const QString &startedFile) {
  reader.setProcessEnvironment(env);
  reader.start(ProgramBinary(), {});
  ASSERT_TRUE(reader.waitForStarted(10000));
  QElapsedTimer wait;
  wait.start();
  while (!QFile::exists(startedFile) && wait.elapsed() < 30000)
    QThread::msleep(20);
  ASSERT_TRUE(QFile::exists(startedFile));
}

}  // namespace

TEST(Startup, InstallerModeIgnoresLetterCase) {
  EXPECT_TRUE(IsInstallerMode("Install", {}));
  EXPECT_TRUE(IsInstallerMode("INSTALL", {}));
  EXPECT_TRUE(IsInstallerMode("Pagelume", {"/uninstall"}));
  EXPECT_TRUE(IsInstallerMode("Pagelume", {"/UNINSTALL", "book.txt"}));
  EXPECT_FALSE(IsInstallerMode("Pagelume", {"book.txt", "/Uninstall"}));
  EXPECT_FALSE(IsInstallerMode("Installer", {}));
  EXPECT_FALSE(IsInstallerMode("Pagelume", {}));
  EXPECT_TRUE(IsUninstall({"/Uninstall"}));
  EXPECT_FALSE(IsUninstall({}));
}

TEST(Startup, ConverterArgumentsAnywhere) {
  char prog[] = "Pagelume", book[] = "a.txt", convert[] = "--convert", help[] = "--help";
  char *withConvert[] = {prog, book, convert};
  char *withHelp[] = {prog, help};
  char *plain[] = {prog, book};
  EXPECT_TRUE(WantsConverter(3, withConvert));
  EXPECT_TRUE(WantsConverter(2, withHelp));
  EXPECT_FALSE(WantsConverter(2, plain));
}

TEST(Startup, InstallerWindowOfEitherMode) {
  std::unique_ptr<QWidget> w(CreateInstallerWindow(true));
  EXPECT_EQ(w->windowTitle(), "Uninstall Pagelume");
  w.reset(CreateInstallerWindow(false));
  EXPECT_EQ(w->windowTitle(), "Install Pagelume");
  w->show();
  auto *cancel = w->findChild<QPushButton *>("CancelButton");
  ASSERT_NE(cancel, nullptr);
  EXPECT_EQ(cancel->text(), "&Cancel");
  cancel->click();
  EXPECT_FALSE(w->isVisible());
}

TEST(Startup, SessionBusAutolaunchOnlyWhereItCannotSucceed) {
  QTemporaryDir dir;
  const QString runtime = dir.filePath("runtime"), bin = dir.filePath("bin");
  ASSERT_TRUE(QDir().mkpath(runtime));
  ASSERT_TRUE(QDir().mkpath(bin));
  const QByteArray path = QFile::encodeName(dir.filePath("empty") + ":" + bin);
  // No address, no bus socket, no dbus-launch: the attempt can only fail.
  EXPECT_TRUE(SessionBusAutolaunchCanOnlyFail("", QFile::encodeName(runtime), path));
  EXPECT_TRUE(SessionBusAutolaunchCanOnlyFail("", "", ""));
  // A file named "bus" that is no socket is no bus.
  QFile plain(runtime + "/bus");
  ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
  plain.close();
  EXPECT_TRUE(SessionBusAutolaunchCanOnlyFail("", QFile::encodeName(runtime), path));
  ASSERT_TRUE(plain.remove());
  // A dbus-launch that cannot run does not count either.
  QFile launcher(bin + "/dbus-launch");
  ASSERT_TRUE(launcher.open(QIODevice::WriteOnly));
  launcher.close();
  EXPECT_TRUE(SessionBusAutolaunchCanOnlyFail("", QFile::encodeName(runtime), path));

  // Any way to a bus leaves the library to it.
  EXPECT_FALSE(SessionBusAutolaunchCanOnlyFail("unix:path=/run/user/1000/bus", QFile::encodeName(runtime), path));
  ASSERT_TRUE(launcher.setPermissions(launcher.permissions() | QFileDevice::ExeOwner));
  EXPECT_FALSE(SessionBusAutolaunchCanOnlyFail("", QFile::encodeName(runtime), path));
  ASSERT_TRUE(launcher.remove());
  QLocalServer bus;
  ASSERT_TRUE(bus.listen(runtime + "/bus"));
  EXPECT_FALSE(SessionBusAutolaunchCanOnlyFail("", QFile::encodeName(runtime), path));
}

TEST(Startup, InstanceLock) {
  QTemporaryDir dir;
  const QString path = InstanceLockPath(dir.path());
  EXPECT_TRUE(path.endsWith("/Mutex_ProgramInstance_Pagelume-" + QString::number(geteuid())));
  {
    TInstanceLockFile first(path), second(path);
    EXPECT_EQ(first.Acquire(), TInstanceLock::Acquired);
    EXPECT_EQ(second.Acquire(), TInstanceLock::HeldByAnother);
    // A holder's lock is kept, however old its file is.
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::ReadWrite));
    old.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime);
    old.close();
    EXPECT_EQ(second.Acquire(), TInstanceLock::HeldByAnother);
  }
  EXPECT_FALSE(QFile::exists(path));  // the holder took its file along
  // A file left by a process that died (or by an earlier version's lock) holds no lock.
  WriteLockFile(path, DeadPid(), "Pagelume");
  {
    TInstanceLockFile lock(path);
    EXPECT_EQ(lock.Acquire(), TInstanceLock::Acquired);
  }
  // Another user's file under this name: no lock of this user's, the program runs.
  if (geteuid() == 0) {
    WriteLockFile(path, getpid(), "Pagelume");
    ASSERT_EQ(chown(QFile::encodeName(path).constData(), 65534, 65534), 0);
    TInstanceLockFile foreign(path);
    EXPECT_EQ(foreign.Acquire(), TInstanceLock::Unavailable);
    QFile::remove(path);
  }
  // No place for the lock: the program runs anyway.
  TInstanceLockFile nowhere(InstanceLockPath(dir.filePath("missing")));
  EXPECT_EQ(nowhere.Acquire(), TInstanceLock::Unavailable);
}

// A reader killed outright leaves its lock file behind; the next start takes
// the lock over and runs, and a start after that ends at once.
TEST(StartupProcess, KilledReadersLockIsTakenOver) {
  QTemporaryDir dir;
  QProcessEnvironment env = CleanEnvironment(dir.path());
  env.insert("QT_QPA_PLATFORM", "offscreen");
  const QString lock = InstanceLockPath(dir.path());
  QProcess killed;
  ASSERT_NO_FATAL_FAILURE(StartReader(killed, env, lock));
  killed.kill();
  ASSERT_TRUE(killed.waitForFinished(5000));
  ASSERT_TRUE(QFile::exists(lock));

  QProcess next;
  next.setProcessEnvironment(env);
  next.start(ProgramBinary(), {});
  ASSERT_TRUE(next.waitForStarted(10000));
  EXPECT_FALSE(next.waitForFinished(1500));  // it runs: the lock was taken over
  TInstanceLockFile third(lock);
  EXPECT_EQ(third.Acquire(), TInstanceLock::HeldByAnother);
  next.terminate();
  if (!next.waitForFinished(5000)) {
    next.kill();
    next.waitForFinished(5000);
  }
}

TEST(StartupProcess, WithoutDisplayOneLineAndStatus1) {
  QTemporaryDir dir;
  QProcess p;
  p.setProcessEnvironment(CleanEnvironment(dir.path()));
  p.start(ProgramBinary(), {});
  ASSERT_TRUE(p.waitForFinished(10000));
  EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(p.exitCode(), 1);
  const QByteArray err = p.readAllStandardError();
  EXPECT_EQ(err.count('\n'), 1) << err.toStdString();
  EXPECT_TRUE(err.contains("display"));
  EXPECT_FALSE(QFile::exists(InstanceLockPath(dir.path())));
}

TEST(StartupProcess, SecondInstanceEndsAtOnce) {
  QTemporaryDir dir;
  QProcessEnvironment env = CleanEnvironment(dir.path());
  env.insert("QT_QPA_PLATFORM", "offscreen");
  QProcess first;
  ASSERT_NO_FATAL_FAILURE(StartReader(first, env, InstanceLockPath(dir.path())));

  QProcess second;
  second.setProcessEnvironment(env);
  QElapsedTimer took;
  took.start();
  second.start(ProgramBinary(), {});
  ASSERT_TRUE(second.waitForFinished(10000));
  EXPECT_LT(took.elapsed(), 5000);
  EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(second.exitCode(), 0);
  EXPECT_EQ(first.state(), QProcess::Running);
  first.terminate();
  if (!first.waitForFinished(5000)) {
    first.kill();
    first.waitForFinished(5000);
  }
}

// The uninstaller runs while a reader holds the lock (the menu's "Uninstall"
// with the reader open), and so does the installer that starts the reader.
TEST(StartupProcess, InstallerRunsBesideARunningReader) {
  QTemporaryDir dir;
  QProcessEnvironment env = CleanEnvironment(dir.path());
  env.insert("QT_QPA_PLATFORM", "offscreen");
  TInstanceLockFile readerLock(InstanceLockPath(dir.path()));
  ASSERT_EQ(readerLock.Acquire(), TInstanceLock::Acquired);

  QProcess uninstaller;
  uninstaller.setProcessEnvironment(env);
  uninstaller.start(ProgramBinary(), {"/UNINSTALL"});
  ASSERT_TRUE(uninstaller.waitForStarted(10000));
  EXPECT_FALSE(uninstaller.waitForFinished(1500));  // its window is up
  EXPECT_EQ(uninstaller.state(), QProcess::Running);
  uninstaller.terminate();
  if (!uninstaller.waitForFinished(5000)) {
    uninstaller.kill();
    uninstaller.waitForFinished(5000);
  }
}

// "/Uninstall" of a copy the package manager installed (the program in
// usr/bin, its data in usr/share/pagelume) is refused with the reason before
// any window is made, and nothing is deleted.
TEST(StartupProcess, UninstallOfAPackagedCopyIsRefusedBeforeAnyWindow) {
  QTemporaryDir dir;
  const QString usr = dir.path() + "/usr";
  ASSERT_TRUE(QDir().mkpath(usr + "/bin") && QDir().mkpath(usr + "/share/pagelume"));
  ASSERT_TRUE(QFile::copy(ProgramBinary(), usr + "/bin/pagelume"));
  QFile welcome(usr + "/share/pagelume/Welcome.txt");
  ASSERT_TRUE(welcome.open(QIODevice::WriteOnly));
  welcome.close();
  QProcessEnvironment env = CleanEnvironment(dir.path());
  env.insert("QT_QPA_PLATFORM", "offscreen");
  QProcess uninstaller;
  uninstaller.setProcessEnvironment(env);
  uninstaller.start(usr + "/bin/pagelume", {"/Uninstall"});
  ASSERT_TRUE(uninstaller.waitForStarted(10000));
  QByteArray told;
  QElapsedTimer wait;
  wait.start();
  while (!told.contains("Nothing was deleted.") && wait.elapsed() < 10000 && uninstaller.state() == QProcess::Running) {
    uninstaller.waitForReadyRead(200);
    told += uninstaller.readAllStandardError();
  }
  EXPECT_TRUE(told.contains("installed by the system's package manager")) << told.toStdString();
  EXPECT_TRUE(told.contains("apt remove pagelume"));
  uninstaller.kill();  // the warning box waits for its "OK"
  uninstaller.waitForFinished(5000);
  EXPECT_TRUE(QFile::exists(usr + "/bin/pagelume"));
  EXPECT_TRUE(QFile::exists(usr + "/share/pagelume/Welcome.txt"));
}

namespace {

mode_t FolderMode(const QString &path) {
  struct stat st {};
  return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode : 0;
}

// A socket file left by a reader that died.
void LeaveStaleSocket(const QString &path) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const QByteArray name = QFile::encodeName(path);
  std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
  ::close(fd);
}

}  // namespace

TEST(InstanceChannel, PrivateFolderStaleSocketAndHandOver) {
  QTemporaryDir dir;
  const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
  qunsetenv("XDG_RUNTIME_DIR");
  const QString own = dir.filePath("pagelume-" + QString::number(geteuid()));
  // Made closed to others; a folder left open is closed again.
  EXPECT_EQ(PrivateRuntimeDir(dir.path()), own);
  EXPECT_EQ(FolderMode(own) & 0777, 0700u);
  ::chmod(QFile::encodeName(own).constData(), 0755);
  EXPECT_EQ(PrivateRuntimeDir(dir.path()), own);
  EXPECT_EQ(FolderMode(own) & 0777, 0700u);
  // A link in its place (anyone may plant one in a shared folder) is refused.
  QTemporaryDir elsewhere;
  QDir(own).removeRecursively();
  ASSERT_TRUE(QFile::link(elsewhere.path(), own));
  EXPECT_TRUE(PrivateRuntimeDir(dir.path()).isEmpty());
  EXPECT_TRUE(InstanceSocketPath(InstanceLockPath(dir.path()), dir.path()).isEmpty());
  QFile::remove(own);
  // Another temporary folder, another lock: another socket.
  const QString socket = InstanceSocketPath(InstanceLockPath(dir.path()), dir.path());
  ASSERT_TRUE(socket.startsWith(own + "/Mutex_ProgramInstance_Pagelume-"));
  EXPECT_NE(socket, InstanceSocketPath(InstanceLockPath(elsewhere.path()), dir.path()));
  if (!runtime.isEmpty())
    qputenv("XDG_RUNTIME_DIR", runtime);

  EXPECT_FALSE(HandBookOver(socket, "/books/none.txt", 0));  // nobody listens
  LeaveStaleSocket(socket);
  TInstanceServer server;
  ASSERT_TRUE(server.Listen(socket));
  QSignalSpy handed(&server, &TInstanceServer::BookHandedOver);
  // A relative name is taken against the sender's folder.
  const QString name = QString::fromUtf8("Война и мир.txt");
  bool sent = false;
  std::thread sender([&] { sent = HandBookOver(socket, name, 5000); });
  EXPECT_TRUE(handed.wait(10000));
  sender.join();
  EXPECT_TRUE(sent);
  ASSERT_EQ(handed.count(), 1);
  EXPECT_EQ(handed.first().first().toString(), QDir::current().absoluteFilePath(name));
}

// A book named by a second start opens in the reader that runs, and the
// second start ends with status 0 as always.
TEST(StartupProcess, SecondStartHandsItsBookOver) {
  QTemporaryDir dir;
  QProcessEnvironment env = CleanEnvironment(dir.path());
  env.insert("QT_QPA_PLATFORM", "offscreen");
  env.insert("PAGELUME_REPORT_HANDOVER", "1");
  const QString socket = InstanceSocketPath(InstanceLockPath(dir.path()), dir.path());
  QProcess first;
  ASSERT_NO_FATAL_FAILURE(StartReader(first, env, socket));

  const QString books = QString(PAGELUME_TEST_DATA) + "/books";
  QProcess second;
  second.setProcessEnvironment(env);
  second.setWorkingDirectory(books);
  second.start(ProgramBinary(), {"alice-head.txt"});
  ASSERT_TRUE(second.waitForFinished(20000));
  EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(second.exitCode(), 0);

  QByteArray shown;
  QElapsedTimer wait;
  wait.start();
  while (!shown.contains('\n') && wait.elapsed() < 30000 && first.state() == QProcess::Running) {
    first.waitForReadyRead(200);
    shown += first.readAllStandardOutput();
  }
  EXPECT_EQ(shown, "showing " + QFile::encodeName(books + "/alice-head.txt") + "\n");
  first.terminate();
  if (!first.waitForFinished(5000)) {
    first.kill();
    first.waitForFinished(5000);
  }
}

// Nothing before the first paint waits for the disk: neither the lock nor
// the profile a new user's first book makes; that profile is there after.
TEST(StartupProcess, NoWaitForTheDiskBeforeTheFirstPaint) {
  if (QStandardPaths::findExecutable("strace").isEmpty())
    GTEST_SKIP() << "strace is not installed";
  QTemporaryDir dir;
  // A program folder of its own: settings beside the built program do not count.
  const QString prog = dir.filePath("prog");
  ASSERT_TRUE(QDir().mkpath(prog));
  for (const QFileInfo &entry : QDir(PAGELUME_BIN_DIR).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot))
    QFile::link(entry.absoluteFilePath(), prog + "/" + entry.fileName());
  for (const char *name : {"ErrorFix.rtf", "Welcome.txt"})
    QFile::link(QString(PAGELUME_BIN_DIR) + "/" + name, prog + "/" + name);
  ASSERT_TRUE(QFile::copy(ProgramBinary(), prog + "/Pagelume"));
  QProcessEnvironment env = CleanEnvironment(dir.path());
  env.insert("QT_QPA_PLATFORM", "offscreen");
  env.insert("PAGELUME_BENCH_STARTUP", "1");
  // (No speech service on the path: its daemon, started once the page is up,
  // would keep the trace of every child process going.)
  const QString log = dir.filePath("trace");
  QProcess p;
  p.setProcessEnvironment(env);
  p.start(QStandardPaths::findExecutable("strace"), {"-f", "-o", log, "-e", "trace=fsync,fdatasync,write", prog + "/Pagelume",
                     QString(PAGELUME_TEST_DATA) + "/books/alice-head.txt"});
  ASSERT_TRUE(p.waitForFinished(60000));
  QFile trace(log);
  if (p.exitCode() != 0 || !trace.open(QIODevice::ReadOnly))
    GTEST_SKIP() << "strace cannot trace here: " << p.readAllStandardError().toStdString();
  const QList<QByteArray> lines = trace.readAll().split('\n');
  qsizetype painted = -1;
  for (qsizetype i = 0; i < lines.size() && painted < 0; ++i)
    if (lines[i].contains("write(1, \"first paint after"))
      painted = i;
  ASSERT_GE(painted, 0);
  for (qsizetype i = 0; i < painted; ++i)
    EXPECT_FALSE(lines[i].contains("fsync(") || lines[i].contains("fdatasync(")) << lines[i].toStdString();
  QFile profile(prog + "/PagelumeProfile.plp");
  ASSERT_TRUE(profile.open(QIODevice::ReadOnly));
  EXPECT_TRUE(profile.readAll().startsWith("[Profile_Main]"));
}
