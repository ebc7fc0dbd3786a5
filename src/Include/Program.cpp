#include "Program.h"

#include <QCoreApplication>
#include <QFileInfo>

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

QString HelpFilePath() { return ProgramDir() + "Help.html"; }

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
