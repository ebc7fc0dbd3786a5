// Shortcut files as freedesktop desktop entries: "Type=Application" with an
// Exec line for programs, "Type=Link" with a URL for documents and folders.
// Fields without a standard key are kept in "X-Pagelume-" keys.
#include "File.h"
#include "FilePrivate.h"

#include "Error.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

#include <cerrno>

using namespace FileDetail;

namespace {

const char *const kGroup = "[Desktop Entry]";
const char *const kIconIndexKey = "X-Pagelume-IconIndex";
const char *const kShowCommandKey = "X-Pagelume-ShowCommand";
const char *const kHotKeyKey = "X-Pagelume-HotKey";

// The escapes of a desktop-entry string value.
QString EscapeValue(const QString &value) {
  QString out;
  for (qsizetype i = 0; i < value.size(); ++i) {
    QChar c = value[i];
    if (c == '\\')
      out += "\\\\";
    else if (c == '\n')
      out += "\\n";
    else if (c == '\t')
      out += "\\t";
    else if (c == '\r')
      out += "\\r";
    else if (c == ' ' && i == 0)
      out += "\\s";
    else
      out += c;
  }
  return out;
}

QString UnescapeValue(const QString &value) {
  QString out;
  for (qsizetype i = 0; i < value.size(); ++i) {
    QChar c = value[i];
    if (c != '\\' || i + 1 == value.size()) {
      out += c;
      continue;
    }
    QChar n = value[++i];
    out += n == 's' ? QChar(' ') : n == 'n' ? QChar('\n') : n == 't' ? QChar('\t') : n == 'r' ? QChar('\r') : n;
  }
  return out;
}

// One argument of an Exec line: quoted when it holds a reserved character.
QString QuoteExecArgument(const QString &argument) {
  static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
  QString text = argument;
  text.replace('%', "%%");
  bool quote = text.isEmpty();
  for (QChar c : text)
    quote = quote || reserved.contains(c);
  if (!quote)
    return text;
  QString out = "\"";
  for (QChar c : text) {
    if (c == '"' || c == '`' || c == '$' || c == '\\')
      out += '\\';
    out += c;
  }
  return out + '"';
}

// Splits an (unescaped) Exec line; field codes are dropped, "%%" is "%".
bool SplitExec(const QString &line, QStringList *arguments) {
  QString current;
  bool inArgument = false, quoted = false;
  for (qsizetype i = 0; i < line.size(); ++i) {
    QChar c = line[i];
    if (quoted) {
      if (c == '\\' && i + 1 < line.size()) {
        current += line[++i];
      } else if (c == '"') {
        quoted = false;
      } else {
        current += c;
      }
    } else if (c == ' ' || c == '\t') {
      if (inArgument)
        arguments->append(current);
      current.clear();
      inArgument = false;
    } else if (c == '"') {
      quoted = inArgument = true;
    } else if (c == '%' && i + 1 < line.size()) {
      QChar code = line[++i];
      if (code == '%') {
        current += '%';
        inArgument = true;
      }
    } else {
      current += c;
      inArgument = true;
    }
  }
  if (quoted)
    return false;
  if (inArgument)
    arguments->append(current);
  return true;
}

// The arguments as one command-line text, the way a program's command line
// is written: an argument with a blank or a quotation mark is quoted.
QString JoinArguments(const QStringList &arguments) {
  QStringList parts;
  for (const QString &a : arguments)
    parts.append(QuoteCommandArgument(a));
  return parts.join(' ');
}

bool ParseInt(const QString &text, int32_t *value) {
  if (text.isEmpty())
    return true;
  bool ok = false;
  int v = text.trimmed().toInt(&ok);
  if (ok)
    *value = v;
  return ok;
}

}  // namespace

QString QuoteCommandArgument(const QString &argument) {
  QString a = argument;
  if (a.isEmpty() || a.contains(' ') || a.contains('\t') || a.contains('"'))
    a = '"' + a.replace('"', "\"\"\"") + '"';
  return a;
}

bool TLinkFile::Save(const QString &fileName, bool replace) {
  OP_BEGIN("TLinkFile::Save");
  bool result = false;
  OP_TRY {
    const QString reference = FullPath(ReferencePath);
    const QString working = FullPath(WorkingPath);
    const QString icon = FullPath(IconPath);
    if (IsLinkFile(reference)) {
      OP_RAISE("This operating system does not support chained links.", Std(fileName), Std(reference), EINVAL);
      return result;
    }
    if (FileExists(fileName) && !replace)
      return true;
    if (reference.isEmpty()) {
      OP_RAISE("Failed to set reference path.", Std(fileName), std::string(), EINVAL);
      return result;
    }
    const QStringList arguments = QProcess::splitCommand(Arguments);
    const bool program = IsProgramFile(reference);
    QStringList lines{kGroup, "Version=1.0", program ? "Type=Application" : "Type=Link"};
    QString name = FileName(fileName);
    if (name.endsWith(LinkExtension(fileName), Qt::CaseInsensitive))
      name.chop(LinkExtension(fileName).size());
    lines << "Name=" + EscapeValue(name);
    if (!Description.isEmpty())
      lines << "Comment=" + EscapeValue(Description);
    if (program) {
      QStringList exec{QuoteExecArgument(reference)};
      for (const QString &a : arguments)
        exec << QuoteExecArgument(a);
      if (!MimeTypes.isEmpty())
        exec << "%f";
      lines << "Exec=" + EscapeValue(exec.join(' ')) << "Terminal=false";
      if (!Categories.isEmpty())
        lines << "Categories=" + EscapeValue(Categories);
      if (!MimeTypes.isEmpty())
        lines << "MimeType=" + EscapeValue(MimeTypes);
    } else {
      lines << "URL=" + EscapeValue(QUrl::fromLocalFile(reference).toString(QUrl::FullyEncoded));
    }
    if (!working.isEmpty())
      lines << "Path=" + EscapeValue(working);
    if (!icon.isEmpty())
      lines << "Icon=" + EscapeValue(icon);
    if (IconIndex != 0)
      lines << QString(kIconIndexKey) + '=' + QString::number(IconIndex);
    if (HotKey != 0)
      lines << QString(kHotKeyKey) + '=' + QString::number(HotKey);
    lines << QString(kShowCommandKey) + '=' + QString::number(ShowCommand);

    QString reason;
    if (!SaveFileSafely(fileName, (lines.join('\n') + '\n').toUtf8(), &reason)) {
      OP_RAISE("Failed to save link file.", Std(fileName), Std(reason), EIO);
      return result;
    }
    // Desktop environments start only launchers that are executable.
    QFile::setPermissions(fileName, QFile::permissions(fileName) | QFile::ExeOwner | QFile::ExeGroup |
                                        QFile::ExeOther | QFile::ReadGroup | QFile::ReadOther);
    result = true;
  }
  OP_CATCH;
  return result;
}

bool TLinkFile::Load(const QString &fileName) {
  OP_BEGIN("TLinkFile::Load");
  bool result = false;
  OP_TRY {
    *this = TLinkFile();
    if (!IsLinkFile(fileName)) {
      OP_RAISE("File is not a link.", Std(fileName), std::string(), EINVAL);
      return result;
    }
    QFile file(fileName);
    errno = 0;
    // A desktop entry is a few hundred bytes; a huge file is no shortcut.
    if (!file.open(QIODevice::ReadOnly) || file.size() > (1 << 20)) {
      OP_RAISE("Failed to load link file.", Std(fileName), std::string(), errno ? errno : EFBIG);
      return result;
    }
    QString type, exec, url;
    QString showCommand, hotKey, iconIndex;
    bool inGroup = false, sawGroup = false;
    for (const QString &raw : QString::fromUtf8(file.readAll()).split('\n')) {
      QString line = raw.trimmed();
      if (line.startsWith('[')) {
        inGroup = line == kGroup;
        sawGroup = sawGroup || inGroup;
        continue;
      }
      int eq = line.indexOf('=');
      if (!inGroup || line.startsWith('#') || eq <= 0)
        continue;
      QString key = line.left(eq).trimmed(), value = UnescapeValue(line.mid(eq + 1).trimmed());
      if (key == "Type")
        type = value;
      else if (key == "Exec")
        exec = value;
      else if (key == "URL")
        url = value;
      else if (key == "Comment")
        Description = value;
      else if (key == "Path")
        WorkingPath = value;
      else if (key == "Icon")
        IconPath = value;
      else if (key == "MimeType")
        MimeTypes = value;
      else if (key == kShowCommandKey)
        showCommand = value;
      else if (key == kHotKeyKey)
        hotKey = value;
      else if (key == kIconIndexKey)
        iconIndex = value;
    }
    if (!sawGroup) {
      OP_RAISE("Failed to load link file.", Std(fileName), std::string(), EINVAL);
      return result;
    }
    if (type == "Application") {
      QStringList arguments;
      if (!SplitExec(exec, &arguments)) {
        OP_RAISE("Failed to get reference path.", Std(fileName), Std(exec), EINVAL);
        return result;
      }
      if (!arguments.isEmpty()) {
        QString program = arguments.takeFirst();
        if (!program.contains('/')) {
          QString found = QStandardPaths::findExecutable(program);
          program = found.isEmpty() ? program : found;
        }
        ReferencePath = program;
      }
      Arguments = JoinArguments(arguments);
    } else if (type == "Link") {
      QUrl link(url);
      ReferencePath = link.isLocalFile() ? link.toLocalFile() : url;
    } else {
      OP_RAISE("Failed to resolve link file.", Std(fileName), Std(type), EINVAL);
      return result;
    }
    if (!ParseInt(showCommand, &ShowCommand)) {
      OP_RAISE("Failed to get show command.", Std(fileName), Std(showCommand), EINVAL);
      return result;
    }
    if (!ParseInt(iconIndex, &IconIndex)) {
      OP_RAISE("Failed to get icon path.", Std(fileName), Std(iconIndex), EINVAL);
      return result;
    }
    if (!ParseInt(hotKey, &HotKey)) {
      OP_RAISE("Failed to get hot key.", Std(fileName), Std(hotKey), EINVAL);
      return result;
    }
    if (ReferencePath.isEmpty()) {
      OP_RAISE("Empty reference path.", Std(fileName), std::string(), EINVAL);
      return result;
    }
    if (SameFile(ReferencePath, fileName)) {
      OP_RAISE("This file is most probably a virus because it links to itself.", Std(fileName), std::string(),
               ELOOP);
      return result;
    }
    LoadInfo(ReferencePath);
    result = true;
  }
  OP_CATCH;
  return result;
}

QString GetWhenReference(const QString &path, bool *isDirectory) {
  OP_BEGIN("GetWhenReference");
  QString result;
  if (isDirectory)
    *isDirectory = false;
  OP_TRY {
    if (IsLinkFile(path)) {
      TLinkFile link;
      if (!link.Load(path)) {
        OP_ADOPT();
        return result;
      }
      result = link.ReferencePath;
    } else {
      result = path;
    }
    if (isDirectory)
      *isDirectory = IsDirectory(result);
  }
  OP_CATCH;
  return result;
}

namespace {

bool SaveLinkTo(const QString &target, const QString &arguments, const QString &linkFile, bool replace,
                bool minimized, bool workDirFromTarget, const QString &description) {
  TLinkFile link;
  link.ReferencePath = target;
  link.Arguments = arguments;
  link.Description = description;
  if (workDirFromTarget)
    link.WorkingPath = StripSeparator(FilePath(FullPath(target)));
  link.ShowCommand = minimized ? swShowMinNoActive : swShowNormal;
  return link.Save(linkFile, replace);
}

}  // namespace

bool CopyFileAsLink(const QString &target, const QString &linkFile, bool replace, bool minimized,
                    bool workDirFromTarget, const QString &description) {
  OP_BEGIN("CopyFileAsLink");
  bool result = false;
  OP_TRY {
    result = SaveLinkTo(target, QString(), linkFile, replace, minimized, workDirFromTarget, description);
    if (!result)
      OP_ADOPT();
  }
  OP_CATCH;
  return result;
}

bool CopyFileAsLinkWithParam(const QString &target, const QString &arguments, const QString &linkFile, bool replace,
                             bool minimized, bool workDirFromTarget, const QString &description) {
  OP_BEGIN("CopyFileAsLinkWithParam");
  bool result = false;
  OP_TRY {
    result = SaveLinkTo(target, arguments, linkFile, replace, minimized, workDirFromTarget, description);
    if (!result)
      OP_ADOPT();
  }
  OP_CATCH;
  return result;
}
