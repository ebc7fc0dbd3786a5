// Start-up: the single-instance lock, the choice between reader and
// installer mode, and WinMain, which builds the windows and runs the loop.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class QWidget;

// The lock that keeps the program to one instance per user (the lock file
// "Mutex_ProgramInstance_Pagelume-" + the user id in dir, by default the
// temporary folder).
QString InstanceLockPath(const QString &dir = QString());
enum class TInstanceLock { Acquired, HeldByAnother, Unavailable };
// The lock is the kernel's lock on the open file: it ends with the process
// that holds it, however that process ends, so a lock left by a dead process
// is taken over and a running instance's lock is never taken, however old
// its file is. Nothing of it is waited for on the disk. A lock file owned by
// another user counts as no lock (Unavailable). Released (and its file
// removed) when the object goes.
class TInstanceLockFile {
public:
  explicit TInstanceLockFile(const QString &path);
  ~TInstanceLockFile();
  TInstanceLockFile(const TInstanceLockFile &) = delete;
  TInstanceLockFile &operator=(const TInstanceLockFile &) = delete;
  TInstanceLock Acquire();

private:
  QString Path;
  int Fd = -1;
};

// Installer mode: the executable is named "Install" (any letter case) or the
// first argument (after the program) is "/Uninstall" (any letter case).
bool IsInstallerMode(const QString &executableFileName, const QStringList &arguments);
bool IsUninstall(const QStringList &arguments);

// Whether any argument asks for the command-line converter.
bool WantsConverter(int argc, char **argv);
// Whether the only argument asks for the name and version ("--version").
bool WantsVersion(int argc, char **argv);
// "Pagelume" and the version, as --version prints it.
const char *VersionLine();
// Whether a display (or a chosen Qt platform) is there to show windows on.
bool HasDisplay();

// Whether the D-Bus library, asked for the session bus, can only fail, and
// only after forking the whole process to run dbus-launch: no bus address is
// set (address), the runtime folder holds no bus socket ("bus"), and none of
// the folders of path (a PATH-like list) holds a dbus-launch program.
bool SessionBusAutolaunchCanOnlyFail(const QByteArray &address, const QByteArray &runtimeDir, const QByteArray &path);

// The installer window (TInstallForm) with the program's name, description
// and version.
QWidget *CreateInstallerWindow(bool uninstall);

// The whole run of the reader or the installer; returns the exit status.
int WinMain(int argc, char **argv);
