// File sizes and times, deleting, renaming, and copying or moving directory
// trees.
#include "File.h"
#include "FilePrivate.h"

#include "Dialogs.h"
#include "Error.h"

#include <QFile>
#include <QFileInfo>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace FileDetail;

// ---- Sizes and times ----

uint64_t GetFileSize(const QString &path) {
  OP_BEGIN("GetFileSize");
  uint64_t result = 0;
  OP_TRY {
    // A handle for no access: the size is read without read permission.
    int fd = ::open(Native(path).constData(), O_PATH | O_CLOEXEC);
    if (fd < 0) {
      OP_RAISE("Failed to access file.", Std(path), std::string(), errno);
      return result;
    }
    struct stat st;
    int error = ::fstat(fd, &st) == 0 ? 0 : errno;
    ::close(fd);
    if (error == 0 && S_ISDIR(st.st_mode))
      error = EISDIR;
    if (error != 0) {
      OP_RAISE(error == EISDIR ? "Failed to access file." : "Failed to get file size.", Std(path), std::string(),
               error);
      return result;
    }
    result = uint64_t(st.st_size);
  }
  OP_CATCH;
  return result;
}

uint64_t GetFileSize(int fileHandle) {
  OP_BEGIN("GetFileSize");
  uint64_t result = 0;
  OP_TRY {
    struct stat st;
    if (::fstat(fileHandle, &st) != 0) {
      OP_RAISE("Failed to get file size.", std::to_string(fileHandle), std::string(), errno);
      return result;
    }
    result = uint64_t(st.st_size);
  }
  OP_CATCH;
  return result;
}

QDateTime ConvertFileTime(const TFileTime &time) {
  OP_BEGIN("ConvertFileTime");
  QDateTime result;
  OP_TRY {
    // QDateTime covers far more than any file system stores; beyond that, fail.
    const int64_t limit = int64_t(1) << 40;
    if (time.Nanoseconds >= 1000000000u || time.Seconds > limit || time.Seconds < -limit) {
      OP_RAISE("Failed to convert time.", std::to_string(time.Seconds), std::to_string(time.Nanoseconds), EINVAL);
      return result;
    }
    result = QDateTime::fromMSecsSinceEpoch(time.Seconds * 1000 + time.Nanoseconds / 1000000, Qt::LocalTime);
    if (!result.isValid()) {
      OP_RAISE("Failed to convert time.", std::to_string(time.Seconds), std::to_string(time.Nanoseconds), EINVAL);
      result = QDateTime();
    }
  }
  OP_CATCH;
  return result;
}

bool TFileInfo::LoadInfo(const QString &path) {
  *this = TFileInfo();
  struct statx sx;
  if (path.isEmpty() || ::statx(AT_FDCWD, Native(path).constData(), 0, STATX_BASIC_STATS | STATX_BTIME, &sx) != 0)
    return false;
  auto convert = [](const struct statx_timestamp &t) { return ConvertFileTime({t.tv_sec, t.tv_nsec}); };
  Attributes = 0;
  if (S_ISDIR(sx.stx_mode))
    Attributes |= faDirectory;
  if (!(sx.stx_mode & S_IWUSR))
    Attributes |= faReadOnly;
  if (IsHiddenName(QFileInfo(StripSeparator(path)).fileName()))
    Attributes |= faHidden;
  if (Attributes == 0)
    Attributes = faNormal;
  LastAccessTime = convert(sx.stx_atime);
  LastWriteTime = convert(sx.stx_mtime);
  CreationTime = (sx.stx_mask & STATX_BTIME) ? convert(sx.stx_btime) : LastWriteTime;
  Size = sx.stx_size;
  Valid = true;
  return true;
}

// ---- Deleting and renaming ----

bool MyDeleteFile(const QString &path) {
  OP_BEGIN("MyDeleteFile");
  bool result = false;
  OP_TRY {
    ClearReadOnly(path);
    if (path.isEmpty() || ::unlink(Native(path).constData()) != 0) {
      OP_RAISE("Failed to delete file.", Std(path), std::string(), path.isEmpty() ? ENOENT : errno);
      return result;
    }
    result = true;
  }
  OP_CATCH;
  return result;
}

namespace {

// Temporary files beside a file being replaced: the prefix, then the six
// random characters of mkostemp.
const char SaveTempPrefix[] = ".pagelume-save-";
const char CopyTempPrefix[] = ".pagelume-copy-";
constexpr int TempSuffixLength = 6;

// Holds a temporary file for as long as it is being written: a stale-file
// sweep of another save passes it by.
void MarkInUse(int fd) { ::flock(fd, LOCK_EX); }

// Copies one file through a temporary file beside the destination, which then
// replaces the destination (a running program can be replaced this way).
// Keeps the permission bits and times. Returns 0 or the error code.
int CopyOneFile(const QString &source, const QString &destination) {
  struct stat st;
  if (!StatPath(source, &st, false))
    return errno;
  QByteArray dst = Native(destination);
  if (S_ISLNK(st.st_mode)) {
    char target[PATH_MAX];
    ssize_t n = ::readlink(Native(source).constData(), target, sizeof(target) - 1);
    if (n < 0)
      return errno;
    target[n] = 0;
    ::unlink(dst.constData());
    return ::symlink(target, dst.constData()) == 0 ? 0 : errno;
  }
  // A pipe or device would be read for ever (or block at the open).
  if (!S_ISREG(st.st_mode))
    return EOPNOTSUPP;
  int in = ::open(Native(source).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (in < 0)
    return errno;
  QByteArray temp = Native(FilePath(destination) + CopyTempPrefix) + QByteArray(TempSuffixLength, 'X');
  int out = ::mkostemp(temp.data(), O_CLOEXEC);
  if (out < 0) {
    int error = errno;
    ::close(in);
    return error;
  }
  MarkInUse(out);
  int error = 0;
  char buffer[1 << 16];
  for (;;) {
    ssize_t n = ::read(in, buffer, sizeof(buffer));
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0) {
      error = n < 0 ? errno : 0;
      break;
    }
    for (ssize_t done = 0; done < n && error == 0;) {
      ssize_t w = ::write(out, buffer + done, size_t(n - done));
      if (w < 0 && errno != EINTR)
        error = errno;
      else if (w > 0)
        done += w;
    }
    if (error)
      break;
  }
  if (error == 0 && ::fchmod(out, st.st_mode & 07777) != 0)
    error = errno;
  if (error == 0) {
    struct timespec times[2] = {st.st_atim, st.st_mtim};
    ::futimens(out, times);
  }
  ::close(in);
  if (::close(out) != 0 && error == 0)
    error = errno;
  if (error == 0 && ::rename(temp.constData(), dst.constData()) != 0)
    error = errno;
  if (error != 0)
    ::unlink(temp.constData());
  return error;
}

// Moves one file or link; across volumes it is copied, then the source deleted.
int MoveOneFile(const QString &source, const QString &destination) {
  if (::rename(Native(source).constData(), Native(destination).constData()) == 0)
    return 0;
  if (errno != EXDEV)
    return errno;
  struct stat st;
  if (!StatPath(source, &st, false))
    return errno;
  if (S_ISDIR(st.st_mode))
    return EXDEV;
  int error = CopyOneFile(source, destination);
  if (error == 0 && ::unlink(Native(source).constData()) != 0)
    error = errno;
  return error;
}

// Whether two paths name one entry of one folder (not two links of a file).
bool SameDirectoryEntry(const QString &a, const QString &b) {
  struct stat da, db;
  const QString folderA = FilePath(StripSeparator(a)), folderB = FilePath(StripSeparator(b));
  return StatPath(folderA.isEmpty() ? QString(".") : folderA, &da, true) &&
         StatPath(folderB.isEmpty() ? QString(".") : folderB, &db, true) && da.st_dev == db.st_dev &&
         da.st_ino == db.st_ino && FileName(StripSeparator(a)) == FileName(StripSeparator(b));
}

}  // namespace

bool MyRenameFile(const QString &source, const QString &destination, bool replace) {
  OP_BEGIN("MyRenameFile");
  bool result = false;
  OP_TRY {
    struct stat ss, ds;
    if (source.isEmpty() || destination.isEmpty() || !StatPath(source, &ss, false)) {
      OP_RAISE("Failed to rename.", Std(source), Std(destination), source.isEmpty() ? ENOENT : errno);
      return result;
    }
    bool destinationExists = StatPath(destination, &ds, false);
    // The identity of the file decides, not the spelling of its name: the
    // source is never removed as its own destination.
    bool same = destinationExists && ss.st_dev == ds.st_dev && ss.st_ino == ds.st_ino;
    // A second hard link of the source is another name of the same file:
    // the system's rename leaves both names in place and reports success.
    if (same && !SameDirectoryEntry(source, destination)) {
      OP_RAISE("Failed to rename.", Std(source), Std(destination), EEXIST);
      return result;
    }
    if (destinationExists && !same && !replace) {
      OP_RAISE("Failed to rename.", Std(source), Std(destination), EEXIST);
      return result;
    }
    if (destinationExists && !same)
      ClearReadOnly(destination);  // the move below replaces it in one step
    int error = MoveOneFile(source, destination);
    if (error != 0) {
      OP_RAISE("Failed to rename.", Std(source), Std(destination), error);
      return result;
    }
    result = true;
  }
  OP_CATCH;
  return result;
}

bool DeleteDirectoryNoErrors(const QString &directory) {
  OP_BEGIN("DeleteDirectoryNoErrors");
  bool result = false;
  OP_TRY {
    QString dir = StripSeparator(directory);
    struct stat st;
    if (dir.isEmpty() || !StatPath(dir, &st, false) || !S_ISDIR(st.st_mode)) {
      OP_RAISE("Can not find directory.", Std(directory), std::string(), dir.isEmpty() ? ENOENT : errno ? errno : ENOTDIR);
      return result;
    }
    // Entries of a directory can only be removed while it is writable.
    ClearReadOnly(dir);
    QStringList names;
    int error = 0;
    if (!ReadDirectoryNames(dir, &names, &error) && names.isEmpty() && error != 0) {
      OP_RAISE("Can not find directory.", Std(directory), std::string(), error);
      return result;
    }
    bool complete = error == 0;
    for (const QString &name : names) {
      QString path = dir + '/' + name;
      struct stat entry;
      if (!StatPath(path, &entry, false))
        continue;
      if (S_ISDIR(entry.st_mode)) {
        DeleteDirectoryNoErrors(path);  // links to directories are removed as links below
      } else {
        ClearReadOnly(path);
        ::unlink(Native(path).constData());
      }
    }
    if (!complete) {
      OP_RAISE("Failed to delete directory content.", Std(directory), std::string(), error);
      return result;
    }
    ClearReadOnly(dir);
    result = ::rmdir(Native(dir).constData()) == 0;
  }
  OP_CATCH;
  return result;
}

bool CopyDeleteDirectory(const QString &source, const QString &destination, bool copy) {
  OP_BEGIN("CopyDeleteDirectory");
  bool result = false;
  OP_TRY {
    do {
      if (destination.isEmpty()) {
        OP_RAISE("Empty destination name.", Std(source), std::string(), EINVAL);
        break;
      }
      QString src = StripSeparator(source), dst = StripSeparator(destination);
      struct stat st;
      if (!StatPath(src, &st, true) || !S_ISDIR(st.st_mode)) {
        OP_RAISE("Failed to create directory.", Std(source), Std(destination), errno ? errno : ENOTDIR);
        break;
      }
      // A destination inside the source would be copied into itself forever.
      if (IsInside(WithSeparator(NetworkPath(src)), NetworkPath(dst)) || SameFile(src, dst)) {
        OP_RAISE("Failed to create directory.", Std(source), Std(destination), EINVAL);
        break;
      }
      // Writable while it is filled; the source's permissions are applied last.
      if (::mkdir(Native(dst).constData(), (st.st_mode & 07777) | S_IRWXU) != 0 && (errno != EEXIST || !IsDirectory(dst))) {
        OP_RAISE("Failed to create directory.", Std(source), Std(destination), errno);
        break;
      }
      ClearReadOnly(dst);
      RemoveStaleTemporaryFiles(dst);  // of a copy killed half way
      QStringList names;
      int error = 0;
      if (!ReadDirectoryNames(src, &names, &error)) {
        OP_RAISE("Failed to find first file.", Std(source), std::string(), error);
        break;
      }
      for (const QString &name : names) {
        if (IsHiddenName(name))
          continue;
        QString from = src + '/' + name, to = dst + '/' + name;
        struct stat entry;
        if (!StatPath(from, &entry, false))
          continue;
        if (S_ISDIR(entry.st_mode)) {
          if (!CopyDeleteDirectory(from, to, copy) && !OP_FAILED())
            OP_ADOPT();
          continue;
        }
        if (!S_ISREG(entry.st_mode) && !S_ISLNK(entry.st_mode) &&
            (copy || ::rename(Native(from).constData(), Native(to).constData()) != 0)) {
          // Pipes, devices and sockets are not copied: noted, and the walk goes on.
          if (!OP_FAILED())
            OP_RAISE("Skipped a file that is not a regular file.", Std(from), Std(to), EOPNOTSUPP, fsWarning);
          continue;
        }
        if (!S_ISREG(entry.st_mode) && !S_ISLNK(entry.st_mode))
          continue;  // moved by the rename above
        int fileError;
        ClearReadOnly(copy ? to : from);
        if (copy) {
          fileError = CopyOneFile(from, to);
        } else {
          ClearReadOnly(to);
          fileError = MoveOneFile(from, to);
        }
        if (fileError != 0 && !OP_FAILED())
          OP_RAISE(copy ? "Failed to copy file." : "Failed to move file.", Std(from), Std(to), fileError);
      }
      ::chmod(Native(dst).constData(), st.st_mode & 07777);
      if (!copy) {
        ClearReadOnly(src);
        if (::rmdir(Native(src).constData()) != 0 && !OP_FAILED())
          OP_RAISE("Failed to remove directory.", Std(source), std::string(), errno);
      }
      result = !OP_FAILED();
    } while (false);
  }
  OP_CATCH;
  if (OP_FAILED()) {
    result = false;
    ErrorBox("Failed to process directory.");
  }
  return result;
}

// ---- Safe replacement ----

namespace {

QByteArray FolderOf(const QByteArray &path) {
  const qsizetype slash = path.lastIndexOf('/');
  return slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : path.left(slash);
}

// The file a save replaces: the path with every link followed, so that a link
// stays a link and its target is written. exists tells whether that file is
// there (st then describes it). 0 or the error code.
int ResolveSaveTarget(const QString &path, QByteArray *target, struct stat *st, bool *exists) {
  QByteArray name = Native(path);
  for (int hops = 0; hops < 40; ++hops) {
    if (::lstat(name.constData(), st) != 0) {
      if (errno != ENOENT)
        return errno;
      *exists = false;
      *target = name;
      return 0;
    }
    if (!S_ISLNK(st->st_mode)) {
      *exists = true;
      *target = name;
      return 0;
    }
    char link[PATH_MAX];
    const ssize_t n = ::readlink(name.constData(), link, sizeof(link));
    if (n < 0)
      return errno;
    if (n == ssize_t(sizeof(link)))
      return ENAMETOOLONG;
    const QByteArray next(link, n);
    name = next.startsWith('/') ? next : FolderOf(name) + '/' + next;
  }
  return ELOOP;
}

mode_t CurrentUmask() {
  const mode_t mask = ::umask(022);
  ::umask(mask);
  return mask;
}

bool IsTempSuffix(const char *text, bool lettersOnly) {
  int n = 0;
  for (; text[n]; ++n)
    if (n >= TempSuffixLength || !std::isalnum(static_cast<unsigned char>(text[n])) ||
        (lettersOnly && std::isdigit(static_cast<unsigned char>(text[n]))))
      return false;
  return n == TempSuffixLength;
}

// A temporary file of an earlier version of the settings save: the target's
// name, ".", then six random letters of both cases (a suffix such as "backup"
// is a name the user chose).
bool IsLegacySaveName(const char *name, const QStringList &targets) {
  for (const QString &target : targets) {
    const QByteArray prefix = QFile::encodeName(target) + '.';
    if (std::strncmp(name, prefix.constData(), size_t(prefix.size())) != 0)
      continue;
    const char *suffix = name + prefix.size();
    if (!IsTempSuffix(suffix, true))
      continue;
    bool upper = false, lower = false;
    for (const char *c = suffix; *c; ++c)
      (std::isupper(static_cast<unsigned char>(*c)) ? upper : lower) = true;
    if (upper && lower)
      return true;
  }
  return false;
}

bool IsOwnTempName(const char *name) {
  for (const char *prefix : {SaveTempPrefix, CopyTempPrefix})
    if (std::strncmp(name, prefix, std::strlen(prefix)) == 0 && IsTempSuffix(name + std::strlen(prefix), false))
      return true;
  return false;
}

// The writer's device: every write goes straight to the file and the first
// failure sticks, whether or not the writer looks at it.
class TCheckedFile : public QIODevice {
public:
  explicit TCheckedFile(int fd) : Fd(fd) { open(QIODevice::WriteOnly | QIODevice::Unbuffered); }
  int Error = 0;
  bool isSequential() const override { return true; }

protected:
  qint64 readData(char *, qint64) override { return -1; }
  qint64 writeData(const char *data, qint64 length) override {
    if (Error != 0)
      return -1;
    for (qint64 done = 0; done < length;) {
      const ssize_t n = ::write(Fd, data + done, size_t(length - done));
      if (n < 0 && errno == EINTR)
        continue;
      if (n <= 0) {
        Error = n < 0 ? errno : EIO;
        setErrorString(QString::fromLocal8Bit(std::strerror(Error)));
        return -1;
      }
      done += n;
    }
    return length;
  }

private:
  int Fd;
};

}  // namespace

void RemoveStaleTemporaryFiles(const QString &folder, const QStringList &legacyTargets) {
  const int dirFd = ::open(Native(folder.isEmpty() ? QString(".") : folder).constData(),
                           O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd < 0)
    return;
  DIR *dir = ::fdopendir(dirFd);
  if (!dir) {
    ::close(dirFd);
    return;
  }
  std::vector<QByteArray> names;
  while (const dirent *entry = ::readdir(dir))
    if (IsOwnTempName(entry->d_name) || IsLegacySaveName(entry->d_name, legacyTargets))
      names.emplace_back(entry->d_name);
  for (const QByteArray &name : names) {
    const int fd = ::openat(dirFd, name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
      continue;
    struct stat st;
    // A file still held by a running save or copy stays.
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0)
      ::unlinkat(dirFd, name.constData(), 0);
    ::close(fd);
  }
  ::closedir(dir);
}

bool SaveFileSafely(const QString &path, const std::function<bool(QIODevice &)> &write, QString *errorText) {
  auto fail = [&](int code, const QString &reason = QString()) {
    if (errorText)
      *errorText = reason.isEmpty() ? QString::fromLocal8Bit(std::strerror(code)) : reason;
    return false;
  };
  if (path.isEmpty())
    return fail(ENOENT);
  QByteArray target;
  struct stat st;
  bool exists = false;
  if (int error = ResolveSaveTarget(path, &target, &st, &exists))
    return fail(error);
  if (exists && S_ISDIR(st.st_mode))
    return fail(EISDIR);
  // A device, pipe or socket is never replaced by a file.
  if (exists && !S_ISREG(st.st_mode))
    return fail(EINVAL, "Not a regular file.");
  const QByteArray folder = FolderOf(target);
  const QString targetName = QFile::decodeName(target.mid(target.lastIndexOf('/') + 1));
  RemoveStaleTemporaryFiles(QFile::decodeName(folder), {targetName});
  // The new file takes the old one's permissions; a read-only file is made
  // writable (it is replaced all the same), and the old file is never touched.
  const mode_t mode = exists ? (st.st_mode & 07777) | S_IWUSR : 0666 & ~CurrentUmask();

  QByteArray temp = folder + '/' + SaveTempPrefix + QByteArray(TempSuffixLength, 'X');
  const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0)
    return fail(errno);
  MarkInUse(fd);
  int error = 0;
  QString reason;
  try {
    TCheckedFile device(fd);
    const bool written = write(device);
    if (device.Error != 0)
      error = device.Error;
    else if (!written)
      reason = "Write abandoned.";
  } catch (...) {
    ::close(fd);
    ::unlink(temp.constData());
    throw;
  }
  if (error == 0 && reason.isEmpty()) {
    if (::fchmod(fd, mode) != 0)
      error = errno;
    else if (exists && ::geteuid() == 0 && (st.st_uid != 0 || st.st_gid != 0))
      (void)!::fchown(fd, st.st_uid, st.st_gid);  // a file of another user stays theirs
  }
  // On the disk before it takes the old file's place.
  if (error == 0 && reason.isEmpty() && ::fsync(fd) != 0)
    error = errno;
  if (::close(fd) != 0 && error == 0 && reason.isEmpty())
    error = errno;
  if (error == 0 && reason.isEmpty() && ::rename(temp.constData(), target.constData()) != 0)
    error = errno;
  if (error != 0 || !reason.isEmpty()) {
    ::unlink(temp.constData());
    return fail(error, reason);
  }
  const int dirFd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);  // the new name, too
    ::close(dirFd);
  }
  return true;
}

bool SaveFileSafely(const QString &path, const QByteArray &data, QString *errorText) {
  return SaveFileSafely(
      path, [&data](QIODevice &device) { return device.write(data) == data.size(); }, errorText);
}
