// The program's one layer over the file system and the shell: path arithmetic
// with the program's drive conventions, attribute tests, special folders,
// directory listing with fallback, volume information, file and directory
// operations, starting documents and programs, and shortcut files.
//
// Drives: the drives list is the list of mounted volumes, each shown by its
// root path ("/", "/home", "/media/me/STICK"). A bare drive is a text of at
// least two characters ending with ":"; it stands for the drives list. The
// bare drive of a volume is its root path followed by ":" ("/home:"), so that
// FileName of it gives the drives-list item to select.
//
// Every operation that can fail runs in its own status context (Error.h) and
// returns a neutral result (false, 0, empty) on failure.
#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <string>

class QFile;
class QIODevice;

// ---- Attributes (the bits the program uses) ----
enum : uint32_t {
  faReadOnly = 0x01,
  faHidden = 0x02,
  faSystem = 0x04,
  faDirectory = 0x10,
  faArchive = 0x20,
  faNormal = 0x80,
};

// File names as bytes and as text. Names are UTF-8; a byte that is no part of
// well-formed UTF-8 (a name written under another encoding) becomes the lone
// surrogate U+DC00 + byte and is written back as that byte, so every name
// read from a folder can be opened, sized, renamed and deleted again.
QString DecodeFileName(const QByteArray &name);
QByteArray EncodeFileName(const QString &name);
// The same for paths kept as the file system's bytes in a std::string (the
// book's path, the bookshelf).
inline std::string PathBytes(const QString &path) { return EncodeFileName(path).toStdString(); }
inline QString PathText(const std::string &bytes) {
  return DecodeFileName(QByteArray(bytes.data(), qsizetype(bytes.size())));
}

// ---- Path operations (no status context, no failures) ----
QString WithSeparator(const QString &path);
bool IsBareDrive(const QString &path);
// Root path of the mounted volume that holds the path ("/" for most paths);
// for a bare drive the root it stands for; empty for a relative path.
QString DriveRoot(const QString &path);
// The bare drive of the volume that holds the path ("/home:"); empty when the
// path has no drive.
QString BareDrive(const QString &path);
bool DriveExists(const QString &path);
QString FilePath(const QString &path);
QString FileName(const QString &path);
bool IsInside(const QString &directory, const QString &path);
QString LongPath(const QString &path);
QString FullPath(const QString &path);
QString NetworkPath(const QString &path);
bool SameFile(const QString &a, const QString &b);
// Whether two path texts name the same place as the file system compares
// names: letter case counts, except for names in a folder that folds case (on
// a FAT, exFAT, SMB or HFS+ volume, or an ext4 folder with case folding on).
// The one rule for comparing book, profile and folder paths; links are not
// resolved (SameFile does that).
bool SamePathName(const QString &a, const QString &b);
bool SamePathName(const std::string &a, const std::string &b);
// A path written where letter case did not count, as the file system spells
// it: when the path does not exist but each missing name in it matches
// exactly one existing name apart from letter case. Otherwise the path itself.
QString ExistingSpelling(const QString &path);
bool MatchesMask(const QString &name, const QString &mask);
bool FileExists(const QString &path);
bool IsDirectory(const QString &path);
// Whether the path (links followed) is a regular file: a pipe or device is
// never read as a file.
bool IsRegularFile(const QString &path);
// Opens a regular file for reading; false for anything else, without waiting
// (a named pipe does not block the open).
bool OpenRegularFile(QFile &file, const QString &path);
bool IsLinkFile(const QString &path);
bool IsDosProgram(const QString &path);
QString LinkExtension(const QString &path);
bool ClearReadOnly(const QString &path);
// True for a regular file that can be executed as a program here (execute
// permission and a native binary or "#!" script header).
bool IsProgramFile(const QString &path);

// ---- Folders ----
// The system's temporary directory, with a trailing separator.
QString GetTempPathA();

enum class TSystemFolder { Documents, CommonDocuments, Desktop, Programs, ProgramFiles };
// The folder's path (no trailing separator), created if missing.
QString GetSystemDirectoryPath(TSystemFolder folder);
// The same path, never created (empty when the system names none).
QString SystemDirectoryLocation(TSystemFolder folder);
// Points the program-files folder elsewhere (tests of the installer); the
// empty text restores "/opt" or "~/.local/opt".
void SetProgramFilesOverride(const QString &dir);
// The program-files folder's path, without creating it.
QString ProgramFilesPath();

// ---- Listing ----
struct TFileItem {
  QString Text;
  bool Directory = false;
  bool operator==(const TFileItem &other) const = default;
};
using TFileList = QList<TFileItem>;

// The mounted volumes (pseudo file systems left out), by root path, sorted.
QStringList GetDrivesList();

// Appends the entries of the directory to the lists (either list may be null,
// both may be the same list). maxCount < 0 means no limit. See File.cpp.
bool LoadFilesFromDir(const QString &directory, const QString &mask, bool fullNames, bool resolveLinks,
                      int maxCount, int *count, TFileList *directories, TFileList *files);

using TMissingDirCallback = std::function<void(const QString &directory)>;
// Lists the directory, or its nearest listable ancestor, or the drives. The
// lists are emptied first. listedDirectory receives the path listed (empty for
// the drives list).
bool LoadFilesFromAnyDir(const QString &directory, const QString &mask, TFileList *directories,
                         QString *listedDirectory, const TMissingDirCallback &onMissing, bool fullNames,
                         bool resolveLinks, int maxCount, int *count, TFileList *files);

// ---- Drive information ----
enum TPartitionType : uint32_t {
  ptUnknown = 0,
  ptNoRootDir = 1,
  ptRemovable = 2,
  ptFixed = 3,
  ptRemote = 4,
  ptCDROM = 5,
  ptRAMDisk = 6,
};
TPartitionType GetPartitionType(const QString &path);

class TPartitionInfo {
public:
  QString VolumeName;
  QString FileSystemName;
  uint32_t SerialNumber = 0;
  uint32_t MaxComponentLength = 0;
  uint32_t FileSystemFlags = 0;
  bool Load(const QString &path);
  void Clear();
};

// Text shown after a drive in the browser. Accepts a bare drive or a
// drives-list item (a volume's root path); empty for any other path.
QString GetPartitionSuffix(const QString &path);

// ---- Files ----
struct TFileTime {
  int64_t Seconds = 0;      // since 1970-01-01 UTC
  uint32_t Nanoseconds = 0;
};
QDateTime ConvertFileTime(const TFileTime &time);

class TFileInfo {
public:
  bool Valid = false;
  uint32_t Attributes = 0;
  QDateTime CreationTime;
  QDateTime LastAccessTime;
  QDateTime LastWriteTime;
  uint64_t Size = 0;
  // Fills the record from the file (no status context: Valid tells).
  bool LoadInfo(const QString &path);
};

uint64_t GetFileSize(const QString &path);
uint64_t GetFileSize(int fileHandle);
bool MyDeleteFile(const QString &path);
bool MyRenameFile(const QString &source, const QString &destination, bool replace);
bool DeleteDirectoryNoErrors(const QString &directory);
bool CopyDeleteDirectory(const QString &source, const QString &destination, bool copy);

// ---- Shell ----
// The command-line tail RunFile passes: "", " " + parameters, or " \"" +
// parameters + "\"".
QString RunFileParameters(const QString &parameters, bool quoteParameters);
bool RunFile(const QString &file, const QString &parameters, const QString &directory, bool minimized,
             bool quoteParameters);
// RunFile with one argument handed to a program exactly as it is: never split,
// unquoted or seen by a shell.
bool RunFileWithArgument(const QString &file, const QString &argument);
// One argument written for a command line that QProcess::splitCommand reads
// back as it is (quoted when it holds a blank or a quotation mark).
QString QuoteCommandArgument(const QString &argument);
bool RunVerb(const QString &path, const QString &verb, const QString &parameters);
bool OpenSite(const QString &address, const std::string &failureMessage);

// ---- Shortcuts (freedesktop desktop entries) ----
enum : int32_t { swShowNormal = 1, swShowMinNoActive = 7 };

class TLinkFile : public TFileInfo {
public:
  QString ReferencePath;
  QString WorkingPath;
  QString Description;
  QString Arguments;
  QString IconPath;
  int32_t IconIndex = 0;
  int32_t ShowCommand = swShowNormal;
  int32_t HotKey = 0;
  QString Categories;  // menu categories of a program entry ("Office;"), written when set
  // File types a program entry opens ("text/plain;"): written when set, and
  // the entry's command then takes the file as its last argument.
  QString MimeTypes;
  bool Save(const QString &fileName, bool replace);
  bool Load(const QString &fileName);
};

// For a shortcut file its target, else the path itself. isDirectory (may be
// null) tells whether the result is a directory. Empty on failure.
QString GetWhenReference(const QString &path, bool *isDirectory = nullptr);
bool CopyFileAsLink(const QString &target, const QString &linkFile, bool replace, bool minimized,
                    bool workDirFromTarget, const QString &description);
bool CopyFileAsLinkWithParam(const QString &target, const QString &arguments, const QString &linkFile, bool replace,
                             bool minimized, bool workDirFromTarget, const QString &description);

// ---- Safe replacement ----
// Writes the whole data to the file through a temporary file in the same
// folder that replaces the file only when complete and on the disk, so that a
// failed write (a full disk, a kill in the middle) leaves the previous file
// byte for byte and its permissions as they were. Every write is checked,
// whether or not the writer looks at the result. A link is followed: its
// target is replaced and the link stays. Only a regular file is replaced (a
// device or pipe is refused). A read-only target is replaced by a writable
// file with otherwise the same permissions. Stale temporary files of earlier
// saves into the folder are removed first. On failure errorText (may be null)
// receives the system's reason. No status context: the caller reports.
bool SaveFileSafely(const QString &path, const QByteArray &data, QString *errorText = nullptr);
// The same with the data written by a callback (for large outputs); the
// callback returns false to abandon the write.
bool SaveFileSafely(const QString &path, const std::function<bool(QIODevice &)> &write,
                    QString *errorText = nullptr);
// Removes the temporary files that a save or copy into the folder left when it
// was killed half way (ours by name, and held by no running save), and the
// "<target>.XXXXXX" files the settings save of earlier versions left for the
// given target names.
void RemoveStaleTemporaryFiles(const QString &folder, const QStringList &legacyTargets = {});
