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
