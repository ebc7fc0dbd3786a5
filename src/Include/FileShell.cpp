// Starting documents, addresses and programs, and the "Explore" verb.
#include "File.h"
#include "FilePrivate.h"

#include "Error.h"

#include <QDesktopServices>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QUrl>

#include <cerrno>

using namespace FileDetail;

QString RunFileParameters(const QString &parameters, bool quoteParameters) {
  if (parameters.isEmpty())
    return QString();
  return quoteParameters ? " \"" + parameters + "\"" : " " + parameters;
}

namespace {

// A web or mail address rather than a file: a scheme of two or more letters
// (so that "C:" is no scheme), or a text starting with "www.".
bool IsAddress(const QString &text) {
  static const QRegularExpression scheme("^[A-Za-z][A-Za-z0-9+.-]+:");
  return text.startsWith("www.", Qt::CaseInsensitive) || scheme.match(text).hasMatch();
}

bool OpenWithDefault(const QUrl &url) { return url.isValid() && QDesktopServices::openUrl(url); }

// Starts a program detached with its arguments as they are (no shell).
bool StartProgram(const QString &program, const QStringList &arguments, const QString &directory, int *error) {
  errno = 0;
  if (QProcess::startDetached(program, arguments, directory))
    return true;
  *error = errno ? errno : ENOEXEC;
  return false;
}

}  // namespace

namespace {

// tail is the arguments as one command line, for the failure report.
bool RunFileArguments(const QString &file, const QStringList &arguments, const QString &tail,
                      const QString &directory) {
  OP_BEGIN("RunFile");
  bool result = false;
  OP_TRY {
    int error = 0;
    if (file.isEmpty()) {
      error = ENOENT;
    } else if (!FileExists(file) && IsAddress(file)) {
      if (!OpenWithDefault(QUrl::fromUserInput(file)))
        error = EIO;
    } else if (!FileExists(file)) {
      error = ENOENT;
    } else if (IsLinkFile(file)) {
      TLinkFile link;
      if (!link.Load(file)) {
        OP_ADOPT();
        return result;
      }
      QString dir = directory.isEmpty() ? link.WorkingPath : directory;
      if (IsProgramFile(link.ReferencePath))
        StartProgram(link.ReferencePath, QProcess::splitCommand(link.Arguments) + arguments, dir, &error);
      else if (!OpenWithDefault(IsAddress(link.ReferencePath) && !FileExists(link.ReferencePath)
                                    ? QUrl::fromUserInput(link.ReferencePath)
                                    : QUrl::fromLocalFile(FullPath(link.ReferencePath))))
        error = EIO;
    } else if (IsProgramFile(file)) {
      StartProgram(FullPath(file), arguments, directory, &error);
    } else if (!OpenWithDefault(QUrl::fromLocalFile(FullPath(file)))) {
      error = EIO;
    }
    if (error != 0) {
      OP_RAISE("Failed to run file.", Std(file), Std(tail), error);
      return result;
    }
    result = true;
  }
  OP_CATCH;
  return result;
}

}  // namespace

bool RunFile(const QString &file, const QString &parameters, const QString &directory, bool minimized,
             bool quoteParameters) {
  // No window state can be imposed on another program here; a minimised start
  // runs it as a normal one.
  (void)minimized;
  const QString tail = RunFileParameters(parameters, quoteParameters);
  return RunFileArguments(file, QProcess::splitCommand(tail), tail, directory);
}

bool RunFileWithArgument(const QString &file, const QString &argument) {
  return RunFileArguments(file, QStringList{argument}, RunFileParameters(argument, false), QString());
}

bool RunVerb(const QString &path, const QString &verb, const QString &parameters) {
  OP_BEGIN("RunVerb");
  bool result = false;
  OP_TRY {
    // With "." appended a directory path names the directory itself.
    QString target = path.isEmpty() ? QString() : QDir::cleanPath(FullPath(path + "."));
    bool ok = false;
    if (verb.compare("explore", Qt::CaseInsensitive) == 0) {
      ok = IsDirectory(target) && OpenWithDefault(QUrl::fromLocalFile(target));
    } else if (verb.compare("open", Qt::CaseInsensitive) == 0) {
      ok = RunFile(target, parameters, QString(), false, false);
    }
    if (!ok) {
      OP_RAISE("Failed to run verb.", Std(path), Std(verb), target.isEmpty() || !FileExists(target) ? ENOENT : EINVAL);
      return result;
    }
    result = true;
  }
  OP_CATCH;
  return result;
}

bool OpenSite(const QString &address, const std::string &failureMessage) {
  OP_BEGIN("OpenSite");
  bool result = false;
  OP_TRY {
    if (!RunFile(address, QString(), QString(), false, true)) {
      OP_RAISE(failureMessage, Std(address), std::string(), FunStatContext.SysErrorCode);
      return result;
    }
    result = true;
  }
  OP_CATCH;
  return result;
}
