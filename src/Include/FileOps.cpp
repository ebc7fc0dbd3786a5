// File sizes and times, deleting, renaming, and copying or moving directory
// trees.
#include "File.h"
#include "FilePrivate.h"

#include "Dialogs.h"
#include "Error.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
  QByteArray temp = Native(FilePath(destination) + ".pagelume-copy-XXXXXX");
  int out = ::mkostemp(temp.data(), O_CLOEXEC);
  if (out < 0) {
    int error = errno;
    ::close(in);
    return error;
  }
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

bool SaveFileSafely(const QString &path, const std::function<bool(QIODevice &)> &write, QString *errorText) {
  auto fail = [&](const QString &reason) {
    if (errorText)
      *errorText = reason;
    return false;
  };
  if (path.isEmpty())
    return fail(QString::fromLocal8Bit(strerror(ENOENT)));
  QFileInfo info(path);
  if (info.isDir())
    return fail(QString::fromLocal8Bit(strerror(EISDIR)));
  if (info.exists() && !info.isWritable())
    ClearReadOnly(path);
  QSaveFile file(path);
  // Without a writable folder QSaveFile would fall back to writing the
  // target in place, which is what must never happen.
  file.setDirectWriteFallback(false);
  if (!file.open(QIODevice::WriteOnly))
    return fail(file.errorString());
  if (!write(file)) {
    QString reason = file.error() != QFileDevice::NoError ? file.errorString() : QString("Write abandoned.");
    file.cancelWriting();
    return fail(reason);
  }
  if (!file.commit())
    return fail(file.errorString());
  return true;
}

bool SaveFileSafely(const QString &path, const QByteArray &data, QString *errorText) {
  return SaveFileSafely(
      path, [&data](QIODevice &device) { return device.write(data) == data.size(); }, errorText);
}
