#include "Program.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace {
QString &DirOverride() {
  static QString dir;
  return dir;
}
}  // namespace

QString ProgramPath() { return QCoreApplication::applicationFilePath(); }

QString ProgramDir() {
  QString dir = DirOverride().isEmpty() ? QCoreApplication::applicationDirPath() : DirOverride();
  if (!dir.endsWith('/'))
    dir += '/';
  return dir;
}

QString ProgramFileName() { return QFileInfo(ProgramPath()).fileName(); }

QString HelpFilePath() { return DataDir() + "Help.html"; }

QString DataDir() {
  const QString dir = ProgramDir();
  if (QFileInfo::exists(dir + "Welcome.txt"))
    return dir;
  const QString shared = QDir::cleanPath(dir + "../share/pagelume") + '/';
  if (QFileInfo(shared + "Welcome.txt").isFile())
    return shared;
  return dir;
}

bool IsSystemPackage() { return DataDir() != ProgramDir(); }

namespace {
QString WithSlash(QString dir) {
  if (!dir.endsWith('/'))
    dir += '/';
  return dir;
}

// Whether a file can be created in the folder (the permission bits alone do not
// tell: a read-only mount or an access list may still refuse).
bool CanCreateFileIn(const QString &dir) {
  if (!QFileInfo(dir).isDir())
    return false;
  QTemporaryFile probe(WithSlash(dir) + ".pagelume-probe-XXXXXX");
  return probe.open();
}
}  // namespace

QString ChooseSettingsDir(const QString &programDir, const QString &configDir) {
  if (CanCreateFileIn(programDir))
    return WithSlash(programDir);
  QDir().mkpath(configDir);
  return WithSlash(configDir);
}

QString SettingsDir() {
  static QString cachedFor, cached;
  const QString program = ProgramDir();
  if (cachedFor != program || cached.isEmpty()) {
    QString config = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    if (config.isEmpty())
      config = QDir::homePath() + "/.config/Pagelume";
    // A system package's program folder (/usr/bin) is no place for settings,
    // even for a user who may write there.
    cached = ChooseSettingsDir(IsSystemPackage() ? QString() : program, config);
    cachedFor = program;
  }
  return cached;
}

void SetProgramDirOverride(const QString &dir) { DirOverride() = dir; }

#include "Error.h"

#include <cstdlib>

[[noreturn]] void TerminateProgramFun() {
  FunStatContext.Raise(__FILE__, "TerminateProgramFun", __LINE__, fsError,
                       "Abort intercepted.\r\nProgram must be terminated.");
  FunStatContext.SetShow(__FILE__, "TerminateProgramFun", __LINE__);
  FunStatContext.ShowError("Abort intercepted.\r\nProgram must be terminated.");
  FunStatContext.Reset(fsPerfect);
  std::_Exit(1);
}

namespace {
// The process-wide program object: installs the terminate hook before the
// entry point runs.
struct TProgram {
  TProgram() {
    ClearLastError();
    std::set_terminate(TerminateProgramFun);
  }
} Program;
}  // namespace
