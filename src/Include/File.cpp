// Path arithmetic, attributes, folders, listing and volume information.
#include "File.h"
#include "FilePrivate.h"

#include "Error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStorageInfo>

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <unistd.h>

QString DecodeFileName(const QByteArray &name) {
  QString result;
  result.reserve(name.size());
  const auto *b = reinterpret_cast<const unsigned char *>(name.constData());
  const qsizetype n = name.size();
  for (qsizetype i = 0; i < n;) {
    const unsigned char c = b[i];
    if (c < 0x80) {
      result += QChar(c);
      ++i;
      continue;
    }
    // A well-formed UTF-8 sequence (no overlong forms, no surrogates, at most
    // U+10FFFF) is decoded; any other byte stands for itself.
    int length = c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
    char32_t code = length == 2 ? c & 0x1F : length == 3 ? c & 0x0F : c & 0x07;
    bool valid = length > 0 && i + length <= n;
    for (int k = 1; valid && k < length; ++k) {
      valid = (b[i + k] & 0xC0) == 0x80;
      code = code << 6 | (b[i + k] & 0x3F);
    }
    if (valid)
      valid = !(length == 3 && (code < 0x800 || (code >= 0xD800 && code <= 0xDFFF))) &&
              !(length == 4 && (code < 0x10000 || code > 0x10FFFF));
    if (!valid) {
      result += QChar(char16_t(0xDC00 + c));
      ++i;
      continue;
    }
    result += QString::fromUcs4(&code, 1);
    i += length;
  }
  return result;
}

QByteArray EncodeFileName(const QString &name) {
  QByteArray result;
  result.reserve(name.size());
  for (qsizetype i = 0; i < name.size(); ++i) {
    const char16_t u = name[i].unicode();
    char32_t code = u;
    if (u >= 0xDC80 && u <= 0xDCFF) {
      result += char(u - 0xDC00);  // a byte that was no UTF-8 in the name
      continue;
    }
    if (QChar::isHighSurrogate(u) && i + 1 < name.size() && name[i + 1].isLowSurrogate())
      code = QChar::surrogateToUcs4(u, name[++i].unicode());
    else if (QChar::isSurrogate(u))
      code = 0xFFFD;
    if (code < 0x80) {
      result += char(code);
    } else if (code < 0x800) {
      result += char(0xC0 | code >> 6);
      result += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      result += char(0xE0 | code >> 12);
      result += char(0x80 | (code >> 6 & 0x3F));
      result += char(0x80 | (code & 0x3F));
    } else {
      result += char(0xF0 | code >> 18);
      result += char(0x80 | (code >> 12 & 0x3F));
      result += char(0x80 | (code >> 6 & 0x3F));
      result += char(0x80 | (code & 0x3F));
    }
  }
  return result;
}

namespace FileDetail {

QByteArray Native(const QString &path) { return EncodeFileName(path); }

std::string Std(const QString &text) { return text.toStdString(); }


bool StatPath(const QString &path, struct stat *st, bool follow) {
  QByteArray name = Native(path);
  return (follow ? ::stat(name.constData(), st) : ::lstat(name.constData(), st)) == 0;
}

QString StripSeparator(const QString &path) {
  QString p = path;
  while (p.size() > 1 && p.endsWith('/'))
    p.chop(1);
  return p;
}

bool ReadDirectoryNames(const QString &directory, QStringList *names, int *error) {
  *error = 0;
  QString dir = directory.isEmpty() ? QString(".") : directory;
  DIR *d = ::opendir(Native(dir).constData());
  if (!d) {
    *error = errno;
    return false;
  }
  for (;;) {
    errno = 0;
    struct dirent *e = ::readdir(d);
    if (!e) {
      *error = errno;
      break;
    }
    QString name = DecodeFileName(QByteArray(e->d_name));
    if (name == "." || name == "..")
      continue;
    names->append(name);
  }
  ::closedir(d);
  std::sort(names->begin(), names->end(), [](const QString &a, const QString &b) {
    int c = a.compare(b, Qt::CaseInsensitive);
    return c != 0 ? c < 0 : a < b;
  });
  return *error == 0;
}

bool IsHiddenName(const QString &name) { return name.startsWith('.'); }

}  // namespace FileDetail

using namespace FileDetail;

// ---- Path operations ----

QString WithSeparator(const QString &path) {
  if (path.isEmpty() || path.endsWith('/'))
    return path;
  return path + '/';
}

bool IsBareDrive(const QString &path) { return path.size() >= 2 && path.endsWith(':'); }

namespace {

// File systems that are no drives for the reader.
bool IsPseudoFileSystem(const QByteArray &type) {
  static const char *const pseudo[] = {
      "proc",      "sysfs",      "devtmpfs",    "devpts",      "cgroup",    "cgroup2",          "securityfs",
      "pstore",    "bpf",        "tracefs",     "debugfs",     "mqueue",    "hugetlbfs",        "configfs",
      "fusectl",   "autofs",     "binfmt_misc", "nsfs",        "efivarfs",  "rpc_pipefs",       "selinuxfs",
      "squashfs",  "fuse.portal", "fuse.gvfsd-fuse", "fuse.snapfuse", "rootfs", "ramfs"};
  for (const char *p : pseudo)
    if (type == p)
      return true;
  return false;
}

bool IsSystemMountPoint(const QString &root) {
  static const char *const places[] = {"/proc", "/sys", "/dev", "/run", "/var/run", "/var/lock", "/snap", "/boot/efi"};
  if (root.startsWith("/run/media/") || root == "/run/media")
    return false;
  for (const char *p : places) {
    QString place = QString::fromLatin1(p);
    if (root == place || root.startsWith(place + '/'))
      return true;
  }
  return false;
}

QList<QStorageInfo> Volumes() {
  QList<QStorageInfo> result;
  for (const QStorageInfo &v : QStorageInfo::mountedVolumes()) {
    if (!v.isValid() || IsPseudoFileSystem(v.fileSystemType()) || IsSystemMountPoint(v.rootPath()))
      continue;
    bool seen = false;
    for (const QStorageInfo &r : result)
      seen = seen || r.rootPath() == v.rootPath();
    if (!seen)
      result.append(v);
  }
  bool hasRoot = false;
  for (const QStorageInfo &r : result)
    hasRoot = hasRoot || r.rootPath() == "/";
  if (!hasRoot)
    result.prepend(QStorageInfo::root());
  return result;
}

// The volume whose root is the longest prefix of the absolute path.
bool VolumeOf(const QString &path, QStorageInfo *volume) {
  QString p = IsBareDrive(path) ? path.left(path.size() - 1) : path;
  if (!p.startsWith('/'))
    return false;
  p = QDir::cleanPath(p);
  int best = -1;
  for (const QStorageInfo &v : Volumes()) {
    QString root = v.rootPath();
    bool inside = root == "/" || p == root || p.startsWith(root + '/');
    if (inside && root.size() > best) {
      best = root.size();
      *volume = v;
    }
  }
  return best >= 0;
}

// The root path a drive text stands for: a bare drive or a volume's root.
bool DriveItemRoot(const QString &path, QStorageInfo *volume) {
  QString root = IsBareDrive(path) ? path.left(path.size() - 1) : StripSeparator(path);
  if (!root.startsWith('/'))
    return false;
  if (!VolumeOf(root, volume))
    return false;
  return volume->rootPath() == QDir::cleanPath(root);
}

}  // namespace

QString DriveRoot(const QString &path) {
  QStorageInfo v;
  return VolumeOf(path, &v) ? v.rootPath() : QString();
}

QString BareDrive(const QString &path) {
  QString root = DriveRoot(path);
  return root.isEmpty() ? QString() : root + ':';
}

bool DriveExists(const QString &path) {
  QString root = DriveRoot(path);
  return !root.isEmpty() && QFileInfo(root).isDir();
}

QString FilePath(const QString &path) {
  if (IsBareDrive(path))
    return QString();
  int i = path.lastIndexOf('/');
  return i < 0 ? QString() : path.left(i + 1);
}

QString FileName(const QString &path) {
  if (IsBareDrive(path))
    return path.left(path.size() - 1);
  return path.mid(path.lastIndexOf('/') + 1);
}

bool IsInside(const QString &directory, const QString &path) {
  if (path.size() < directory.size() || !SamePathName(path.left(directory.size()), directory))
    return false;
  return directory.endsWith('/') || path.size() == directory.size() || path.at(directory.size()) == '/';
}

QString LongPath(const QString &path) { return path; }

QString FullPath(const QString &path) {
  if (path.isEmpty() || IsBareDrive(path))
    return path;
  QString full = QDir::cleanPath(QDir::current().absoluteFilePath(path));
  if (path.endsWith('/') && !full.endsWith('/'))
    full += '/';
  return full;
}

QString NetworkPath(const QString &path) {
  if (IsBareDrive(path)) {
    QString root = DriveRoot(path);
    return root.isEmpty() ? path : root;
  }
  QString full = FullPath(path);
  if (full.isEmpty())
    return full;
  // Resolve the longest existing head; the rest stays as written.
  QString head = StripSeparator(full), tail;
  while (!head.isEmpty()) {
    QString canonical = QFileInfo(head).canonicalFilePath();
    if (!canonical.isEmpty()) {
      head = canonical;
      break;
    }
    int i = head.lastIndexOf('/');
    tail = head.mid(i) + tail;
    head = i > 0 ? head.left(i) : (i == 0 && head.size() > 1 ? QString("/") : QString());
  }
  QString result = head == "/" && tail.startsWith('/') ? tail : head + tail;
  if (full.endsWith('/') && !result.endsWith('/'))
    result += '/';
  return result;
}

bool SameFile(const QString &a, const QString &b) {
  static const QString forbidden = "<>|\"*?";
  for (QChar c : forbidden)
    if (a.contains(c) || b.contains(c))
      return false;
  return SamePathName(NetworkPath(a), NetworkPath(b));
}

namespace {

// Whether names in the directory are compared without regard to case.
bool FoldsCase(const QString &directory) {
  const QByteArray name = EncodeFileName(directory.isEmpty() ? QStringLiteral(".") : directory);
  struct statfs volume;
  if (::statfs(name.constData(), &volume) != 0)
    return false;
  switch (static_cast<uint32_t>(volume.f_type)) {
  case 0x4d44:      // FAT
  case 0x2011bab0:  // exFAT
  case 0xff534d42:  // CIFS
  case 0xfe534d42:  // SMB2/3
  case 0x517b:      // SMB
  case 0x4244:      // HFS
  case 0x482b:      // HFS+
    return true;
  default:
    break;
  }
  bool folds = false;
#ifdef FS_CASEFOLD_FL
  const int fd = ::open(name.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    int flags = 0;
    folds = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 && (flags & FS_CASEFOLD_FL);
    ::close(fd);
  }
#endif
  return folds;
}

}  // namespace

bool SamePathName(const QString &a, const QString &b) {
  if (a == b)
    return true;
  if (a.size() != b.size() || a.compare(b, Qt::CaseInsensitive) != 0)
    return false;
  // The texts differ in letter case only: each name that differs must lie in
  // a folder that folds case. A folder that does not exist folds as its
  // nearest existing ancestor does.
  qsizetype start = 0;
  while (start < a.size()) {
    qsizetype end = a.indexOf('/', start);
    if (end < 0)
      end = a.size();
    if (QStringView(a).mid(start, end - start) != QStringView(b).mid(start, end - start)) {
      QString folder = a.left(start);
      while (!folder.isEmpty() && !QFileInfo::exists(folder))
        folder = FilePath(StripSeparator(folder));
      if (!FoldsCase(folder))
        return false;
    }
    start = end + 1;
  }
  return true;
}

bool SamePathName(const std::string &a, const std::string &b) {
  return a == b || SamePathName(QString::fromStdString(a), QString::fromStdString(b));
}

QString ExistingSpelling(const QString &path) {
  if (!path.startsWith('/') || QFileInfo::exists(path))
    return path;
  const QStringList names = path.split('/', Qt::SkipEmptyParts);
  QString spelled = "/";
  for (qsizetype i = 0; i < names.size(); ++i) {
    QString name = names[i];
    if (!QFileInfo::exists(spelled + name)) {
      const QStringList existing =
          QDir(spelled).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
      QStringList matches;
      for (const QString &candidate : existing)
        if (candidate.compare(name, Qt::CaseInsensitive) == 0)
          matches << candidate;
      if (matches.size() != 1)
        return path;
      name = matches.first();
    }
    spelled += name;
    if (i + 1 < names.size())
      spelled += '/';
  }
  return path.endsWith('/') ? WithSeparator(spelled) : spelled;
}

namespace {

// Wildcard match of one pattern ("*" any run, "?" one character), case folded.
bool MatchPattern(const QString &name, const QString &pattern) {
  if (pattern == "*.*" || pattern == "*")
    return true;
  qsizetype n = 0, p = 0, star = -1, mark = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
      ++n;
      ++p;
    } else if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      mark = n;
    } else if (star >= 0) {
      p = star + 1;
      n = ++mark;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*')
    ++p;
  return p == pattern.size();
}

}  // namespace

bool MatchesMask(const QString &name, const QString &mask) {
  if (mask.trimmed().isEmpty())
    return true;
  QString folded = name.toCaseFolded();
  for (const QString &part : mask.split(';')) {
    QString pattern = part.trimmed().toCaseFolded();
    if (!pattern.isEmpty() && MatchPattern(folded, pattern))
      return true;
  }
  return false;
}

bool FileExists(const QString &path) {
  if (path.isEmpty())
    return false;
  if (IsBareDrive(path))
    return DriveExists(path);
  struct stat st;
  return StatPath(path, &st, true);
}

bool IsDirectory(const QString &path) {
  if (IsBareDrive(path))
    return true;
  struct stat st;
  return !path.isEmpty() && StatPath(path, &st, true) && S_ISDIR(st.st_mode);
}

bool IsRegularFile(const QString &path) {
  struct stat st;
  return !path.isEmpty() && StatPath(path, &st, true) && S_ISREG(st.st_mode);
}

bool OpenRegularFile(QFile &file, const QString &path) {
  // O_NONBLOCK: opening a named pipe must not wait for a writer.
  const int fd = ::open(Native(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0)
    return false;
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
    ::close(fd);
    return false;
  }
  return true;
}

bool IsLinkFile(const QString &path) { return path.endsWith(".desktop", Qt::CaseInsensitive); }

bool IsDosProgram(const QString &path) {
  if (path.endsWith(".com", Qt::CaseInsensitive) || path.endsWith(".bat", Qt::CaseInsensitive))
    return FileExists(path);
  QFile f;
  if (!OpenRegularFile(f, path))
    return false;
  QByteArray head = f.read(64);
  if (head.size() < 64 || !head.startsWith("MZ"))
    return false;
  // A DOS program has no newer header at the offset stored at 0x3C.
  const auto *b = reinterpret_cast<const unsigned char *>(head.constData());
  quint32 offset = b[0x3C] | (b[0x3D] << 8) | (b[0x3E] << 16) | (quint32(b[0x3F]) << 24);
  if (offset < 64 || !f.seek(offset))
    return true;
  QByteArray sig = f.read(2);
  return !(sig == "PE" || sig == "NE" || sig == "LE" || sig == "LX");
}

QString LinkExtension(const QString &) { return ".desktop"; }

bool ClearReadOnly(const QString &path) {
  struct stat st;
  if (path.isEmpty() || !StatPath(path, &st, false) || S_ISLNK(st.st_mode) || (st.st_mode & S_IWUSR))
    return false;
  return ::chmod(Native(path).constData(), (st.st_mode & 07777) | S_IWUSR) == 0;
}

bool IsProgramFile(const QString &path) {
  struct stat st;
  if (!StatPath(path, &st, true) || !S_ISREG(st.st_mode) || ::access(Native(path).constData(), X_OK) != 0)
    return false;
  QFile f;
  if (!OpenRegularFile(f, path))
    return false;
  QByteArray head = f.read(4);
  return head.startsWith("\x7f" "ELF") || head.startsWith("#!");
}

// ---- Folders ----

QString GetTempPathA() {
  OP_BEGIN("GetTempPathA");
  QString result;
  OP_TRY {
    QString dir = QDir::tempPath();
    if (dir.isEmpty() || !QFileInfo(dir).isDir()) {
      OP_RAISE("Failed to get temporary directory.", Std(dir), std::string(), ENOENT);
      return result;
    }
    result = WithSeparator(dir);
  }
  OP_CATCH;
  return result;
}

namespace {
QString &ProgramFilesOverride() {
  static QString dir;
  return dir;
}
}  // namespace

void SetProgramFilesOverride(const QString &dir) { ProgramFilesOverride() = dir; }

QString ProgramFilesPath() {
  if (!ProgramFilesOverride().isEmpty())
    return ProgramFilesOverride();
  QFileInfo opt("/opt");
  return opt.isDir() && opt.isWritable() ? QString("/opt") : QDir::homePath() + "/.local/opt";
}

QString SystemDirectoryLocation(TSystemFolder folder) {
  QString dir;
  switch (folder) {
  case TSystemFolder::Documents:
    dir = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    break;
  case TSystemFolder::CommonDocuments:
    dir = QStandardPaths::writableLocation(QStandardPaths::PublicShareLocation);
    if (dir.isEmpty())
      dir = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    break;
  case TSystemFolder::Desktop:
    dir = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    break;
  case TSystemFolder::Programs:
    dir = QStandardPaths::writableLocation(QStandardPaths::ApplicationsLocation);
    break;
  case TSystemFolder::ProgramFiles:
    dir = ProgramFilesPath();
    break;
  }
  return StripSeparator(dir);
}

QString GetSystemDirectoryPath(TSystemFolder folder) {
  OP_BEGIN("GetSystemDirectoryPath");
  QString result;
  OP_TRY {
    const QString dir = SystemDirectoryLocation(folder);
    if (dir.isEmpty()) {
      OP_RAISE("Failed to get system directory.", std::to_string(int(folder)), std::string(), ENOENT);
      return result;
    }
    errno = 0;
    if (!QDir().mkpath(dir) || !QFileInfo(dir).isDir()) {
      OP_RAISE("Failed to get system directory.", Std(dir), std::string(), errno ? errno : EACCES);
      return result;
    }
    result = dir;
  }
  OP_CATCH;
  return result;
}

// ---- Listing ----

QStringList GetDrivesList() {
  QStringList drives;
  for (const QStorageInfo &v : Volumes())
    drives.append(v.rootPath());
  std::sort(drives.begin(), drives.end());
  return drives;
}

bool LoadFilesFromDir(const QString &directory, const QString &mask, bool fullNames, bool resolveLinks, int maxCount,
                      int *count, TFileList *directories, TFileList *files) {
  OP_BEGIN("LoadFilesFromDir");
  bool result = false;
  int examined = 0;
  OP_TRY {
    if (directory.isEmpty() || IsBareDrive(directory)) {
      if (directories)
        for (const QString &drive : GetDrivesList())
          directories->append({drive, true});
      result = true;
    } else {
      QStringList names;
      int error = 0;
      bool complete = ReadDirectoryNames(directory, &names, &error);
      const QString dir = WithSeparator(directory);
      for (const QString &name : names) {
        if (IsHiddenName(name))
          continue;
        if (maxCount >= 0 && examined >= maxCount)
          break;
        ++examined;
        QString full = dir + name, listedName = name;
        struct stat st;
        bool isDir = StatPath(full, &st, true) && S_ISDIR(st.st_mode);
        if (resolveLinks && !isDir && IsLinkFile(full)) {
          bool targetIsDir = false;
          QString target = GetWhenReference(full, &targetIsDir);
          if (!target.isEmpty()) {
            full = target;
            isDir = targetIsDir;
          }
        }
        QString text = fullNames ? full : listedName;
        if (isDir) {
          if (directories)
            directories->append({text, true});
        } else if (files && MatchesMask(FileName(full), mask)) {
          files->append({text, false});
        }
      }
      if (!complete) {
        OP_RAISE("Failed to load directory.", Std(directory), std::string(), error);
      } else {
        result = true;
      }
    }
  }
  OP_CATCH;
  if (count)
    *count = examined;
  return result;
}

bool LoadFilesFromAnyDir(const QString &directory, const QString &mask, TFileList *directories,
                         QString *listedDirectory, const TMissingDirCallback &onMissing, bool fullNames,
                         bool resolveLinks, int maxCount, int *count, TFileList *files) {
  OP_BEGIN("LoadFilesFromAnyDir");
  bool result = false;
  OP_TRY {
    QString path = directory;
    if (!path.isEmpty() && !IsBareDrive(path) && !DriveExists(path)) {
      if (onMissing)
        onMissing(path);
      path.clear();
    }
    for (;;) {
      if (directories)
        directories->clear();
      if (files)
        files->clear();
      if (LoadFilesFromDir(path, mask, fullNames, resolveLinks, maxCount, count, directories, files)) {
        result = true;
        break;
      }
      if (onMissing)
        onMissing(path);
      FunStatContext.Reset(fsPerfect);
      QString parent = FilePath(StripSeparator(path));
      if (parent.size() > 1)
        parent.chop(1);
      if (parent.isEmpty() || parent == path) {
        // Nothing above can be listed: the caller shows the drives.
        path.clear();
        if (directories)
          directories->clear();
        if (files)
          files->clear();
        LoadFilesFromDir(path, mask, fullNames, resolveLinks, maxCount, count, directories, files);
        result = true;
        break;
      }
      path = parent;
    }
    if (listedDirectory)
      *listedDirectory = path;
  }
  OP_CATCH;
  return result;
}

// ---- Drive information ----

namespace {

bool IsRemoteFileSystem(const QByteArray &type) {
  static const char *const remote[] = {"nfs",  "nfs4",       "cifs",       "smb3",      "smbfs",     "sshfs",
                                       "fuse.sshfs", "9p", "afs",        "ncpfs",     "davfs",     "fuse.davfs2",
                                       "fuse.rclone", "glusterfs", "fuse.glusterfs", "ceph", "fuse.ceph", "coda"};
  for (const char *r : remote)
    if (type == r)
      return true;
  return false;
}

// Whether the block device behind /dev/<name> reports itself removable.
bool IsRemovableDevice(const QByteArray &device) {
  if (!device.startsWith("/dev/"))
    return false;
  QString dev = QFileInfo(QFile::decodeName(device)).canonicalFilePath();
  if (dev.isEmpty())
    return false;
  QString sys = QFileInfo("/sys/class/block/" + QFileInfo(dev).fileName()).canonicalFilePath();
  if (sys.isEmpty())
    return false;
  for (const QString &dir : {sys, QFileInfo(sys).path()}) {
    QFile f(dir + "/removable");
    if (f.open(QIODevice::ReadOnly))
      return f.readAll().trimmed() == "1";
  }
  return false;
}

TPartitionType TypeOfVolume(const QStorageInfo &v) {
  QByteArray type = v.fileSystemType();
  if (IsRemoteFileSystem(type))
    return ptRemote;
  if (type == "iso9660" || type == "udf")
    return ptCDROM;
  if (type == "tmpfs" || type == "ramfs")
    return ptRAMDisk;
  if (type.isEmpty())
    return ptUnknown;
  return IsRemovableDevice(v.device()) ? ptRemovable : ptFixed;
}

}  // namespace

TPartitionType GetPartitionType(const QString &path) {
  OP_BEGIN("GetPartitionType");
  TPartitionType result = ptUnknown;
  OP_TRY {
    QStorageInfo v;
    if (!VolumeOf(path, &v) || !QFileInfo(v.rootPath()).isDir()) {
      OP_RAISE("Failed to get type.", Std(path), std::string(), ENOENT, fsWarning);
      return ptNoRootDir;
    }
    result = TypeOfVolume(v);
    if (result == ptUnknown)
      OP_RAISE("Failed to get type.", Std(path), std::string(), 0, fsWarning);
  }
  OP_CATCH;
  return result;
}

void TPartitionInfo::Clear() {
  VolumeName.clear();
  FileSystemName.clear();
  SerialNumber = 0;
  MaxComponentLength = 0;
  FileSystemFlags = 0;
}

bool TPartitionInfo::Load(const QString &path) {
  OP_BEGIN("TPartitionInfo::Load");
  bool result = false;
  Clear();
  OP_TRY {
    QStorageInfo v;
    struct statvfs fs;
    if (!VolumeOf(path, &v)) {
      OP_RAISE("Failed to load partition information.", Std(path), std::string(), ENOENT);
      return result;
    }
    if (::statvfs(Native(v.rootPath()).constData(), &fs) != 0) {
      OP_RAISE("Failed to load partition information.", Std(path), Std(v.rootPath()), errno);
      return result;
    }
    VolumeName = v.name();
    FileSystemName = QString::fromLatin1(v.fileSystemType());
    SerialNumber = uint32_t(fs.f_fsid);
    MaxComponentLength = uint32_t(fs.f_namemax);
    FileSystemFlags = uint32_t(fs.f_flag);
    result = true;
  }
  OP_CATCH;
  return result;
}

QString GetPartitionSuffix(const QString &path) {
  QStorageInfo v;
  if (!DriveItemRoot(path, &v))
    return QString();
  switch (TypeOfVolume(v)) {
  case ptRemovable:
    return " (Removable)";
  case ptFixed:
    return " (Fixed: " + v.name() + ")";
  case ptRemote:
    return " (Remote: " + QFile::decodeName(v.device()) + ")";
  case ptCDROM:
    return " (CD)";
  case ptRAMDisk:
    return " (RAM)";
  default:
    return QString();
  }
}
