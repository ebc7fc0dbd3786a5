// The file-system and shell layer, exercised in a temporary folder with HOME
// and the XDG folders pointed into it.
#include "Dialogs.h"
#include "Error.h"
#include "File.h"

#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Takes the URLs that would otherwise go to the desktop's default programs.
class UrlCatcher : public QObject {
  Q_OBJECT
public:
  QList<QUrl> Urls;
public slots:
  void Open(const QUrl &url) { Urls.append(url); }
};

class FileTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(Temp.isValid());
    Root = Temp.path() + "/";
    for (const char *name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"})
      Saved.append({name, qgetenv(name), qEnvironmentVariableIsSet(name)});
    qputenv("HOME", (Root + "home").toUtf8());
    qputenv("XDG_CONFIG_HOME", (Root + "home/.config").toUtf8());
    qputenv("XDG_DATA_HOME", (Root + "home/.local/share").toUtf8());
    QDir().mkpath(Root + "home");
    for (const char *scheme : {"file", "http", "https", "mailto"})
      QDesktopServices::setUrlHandler(scheme, &Catcher, "Open");
    SetMessageBoxHandler([this](TMessageKind kind, const QString &text) {
      Boxes.append({kind, text});
      return false;
    });
    FunStatContext.Reset();
  }
  void TearDown() override {
    for (const char *scheme : {"file", "http", "https", "mailto"})
      QDesktopServices::unsetUrlHandler(scheme);
    SetMessageBoxHandler(nullptr);
    for (const auto &s : Saved) {
      if (s.Set)
        qputenv(s.Name, s.Value);
      else
        qunsetenv(s.Name);
    }
    // Read-only folders left by a test must not stop the clean-up.
    DeleteDirectoryNoErrors(Temp.path());
    FunStatContext.Reset();
  }

  QString Write(const QString &relative, const QByteArray &content = "text") {
    QString path = Root + relative;
    QDir().mkpath(FilePath(path));
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(content);
    return path;
  }
  static QByteArray Read(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
  }
  static void MakeReadOnly(const QString &path) { ::chmod(QFile::encodeName(path).constData(), 0444); }
  static bool IsReadOnly(const QString &path) {
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && !(st.st_mode & S_IWUSR);
  }
  static QStringList Texts(const TFileList &list) {
    QStringList texts;
    for (const TFileItem &item : list)
      texts.append(item.Text);
    return texts;
  }
  // A shell script that writes its argument count and first argument to a
  // marker file in its working directory.
  QString Script() {
    QString path = Write("bin/marker.sh", "#!/bin/sh\nprintf '%s:%s' \"$#\" \"$1\" > marker.tmp\nmv marker.tmp marker\n");
    ::chmod(QFile::encodeName(path).constData(), 0755);
    return path;
  }
  static QByteArray WaitForFile(const QString &path) {
    QElapsedTimer timer;
    timer.start();
    while (!QFile::exists(path) && timer.elapsed() < 5000)
      QThread::msleep(20);
    return Read(path);
  }

  struct SavedVar {
    const char *Name;
    QByteArray Value;
    bool Set;
  };
  QTemporaryDir Temp;
  QString Root;
  QList<SavedVar> Saved;
  UrlCatcher Catcher;
  QList<QPair<TMessageKind, QString>> Boxes;
};

TEST_F(FileTest, PathPartsOfRootsAndDrives) {
  EXPECT_EQ(FilePath("/"), "/");
  EXPECT_EQ(FileName("/"), "");
  EXPECT_EQ(FilePath("/books/a.txt"), "/books/");
  EXPECT_EQ(FileName("/books/a.txt"), "a.txt");
  EXPECT_TRUE(IsBareDrive("C:"));
  EXPECT_FALSE(IsBareDrive(":"));
  EXPECT_FALSE(IsBareDrive("/books/"));
  EXPECT_EQ(FilePath("/home:"), "");
  EXPECT_EQ(FileName("/home:"), "/home");
  EXPECT_EQ(WithSeparator(""), "");
  EXPECT_EQ(WithSeparator("/books"), "/books/");
  EXPECT_EQ(WithSeparator("/books/"), "/books/");

  // The drive of any path is one of the listed volumes.
  QStringList drives = GetDrivesList();
  EXPECT_TRUE(drives.contains("/"));
  QString drive = BareDrive(Root);
  ASSERT_TRUE(IsBareDrive(drive));
  EXPECT_TRUE(drives.contains(FileName(drive)));
  EXPECT_TRUE(IsInside(WithSeparator(FileName(drive)), Root));
  EXPECT_TRUE(DriveExists(Root + "not/there"));
  EXPECT_FALSE(DriveExists("C:\\Books\\"));
  EXPECT_TRUE(IsDirectory(drive));
  EXPECT_EQ(NetworkPath("/:"), "/");
}

TEST_F(FileTest, InsideMatchesOnlyAtSeparator) {
  EXPECT_TRUE(IsInside("/books/", "/books/a.txt"));
  EXPECT_FALSE(IsInside("/Books/", "/books/a.txt"));  // letter case counts on this file system
  EXPECT_FALSE(IsInside("/book", "/books/a.txt"));
  EXPECT_TRUE(IsInside("/books", "/books/a.txt"));
  EXPECT_TRUE(IsInside("/books", "/books"));
  EXPECT_FALSE(IsInside("/books/x", "/books/"));
}

TEST_F(FileTest, MasksAndNames) {
  EXPECT_TRUE(MatchesMask("b.TXT", "*.txt; *.rtf"));
  EXPECT_TRUE(MatchesMask("a.rtf", "*.txt; *.rtf"));
  EXPECT_FALSE(MatchesMask("notes.doc", "*.txt; *.rtf"));
  EXPECT_FALSE(MatchesMask("a.txt.bak", "*.txt"));
  EXPECT_TRUE(MatchesMask("anything", ""));
  EXPECT_TRUE(MatchesMask("noext", "*.*"));
  EXPECT_TRUE(MatchesMask("a1.txt", "a?.TXT"));
  EXPECT_FALSE(MatchesMask("a12.txt", "a?.txt"));
  EXPECT_TRUE(IsLinkFile("/x/Readme.DESKTOP"));
  EXPECT_FALSE(IsLinkFile("/x/Readme.txt"));
  EXPECT_EQ(LinkExtension("/x/prog"), ".desktop");
  EXPECT_EQ(LongPath("/a/b~1"), "/a/b~1");
}

TEST_F(FileTest, FullAndNetworkForms) {
  QDir().mkpath(Root + "real");
  Write("real/a.txt");
  ASSERT_EQ(::symlink(QFile::encodeName(Root + "real").constData(), QFile::encodeName(Root + "alias").constData()), 0);
  EXPECT_EQ(FullPath(Root + "real/../real/"), QDir::cleanPath(Root + "real") + "/");
  EXPECT_EQ(FullPath("C:"), "C:");
  QString canonicalRoot = QFileInfo(Root).canonicalFilePath();
  EXPECT_EQ(NetworkPath(Root + "alias/a.txt"), canonicalRoot + "/real/a.txt");
  EXPECT_EQ(NetworkPath(Root + "alias/new/b.txt"), canonicalRoot + "/real/new/b.txt");

  EXPECT_TRUE(SameFile(Root + "real/a.txt", Root + "REAL/../real/a.txt"));
  EXPECT_FALSE(SameFile(Root + "real/a.txt", Root + "real/A.txt"));  // letter case counts here
  EXPECT_TRUE(SameFile(Root + "alias/a.txt", Root + "real/a.txt"));
  EXPECT_FALSE(SameFile(Root + "real/*.txt", Root + "real/*.txt"));
  EXPECT_FALSE(SameFile(Root + "real/a.txt", Root + "real/b.txt"));
}

TEST_F(FileTest, ExistenceAndReadOnly) {
  QString file = Write("a.txt");
  EXPECT_FALSE(FileExists(""));
  EXPECT_TRUE(FileExists(file));
  EXPECT_TRUE(FileExists(Root));
  EXPECT_FALSE(IsDirectory(file));
  EXPECT_TRUE(IsDirectory(Root));
  EXPECT_FALSE(ClearReadOnly(file));
  MakeReadOnly(file);
  EXPECT_TRUE(ClearReadOnly(file));
  EXPECT_FALSE(IsReadOnly(file));
  EXPECT_FALSE(IsDosProgram(file));
  EXPECT_TRUE(IsDosProgram(Write("old.exe", QByteArray("MZ") + QByteArray(62, '\0'))));
}

TEST_F(FileTest, ListingSkipsHiddenAndCountsUnmatched) {
  Write("dir/b.TXT");
  Write("dir/a.rtf");
  Write("dir/notes.doc");
  Write("dir/.hidden.txt");
  Write("dir/Zeta/x.txt");
  Write("dir/alpha/x.txt");
  Write("dir/.secret/x.txt");
  TFileList dirs, files;
  int count = -1;
  ASSERT_TRUE(LoadFilesFromDir(Root + "dir", "*.txt; *.rtf", false, false, -1, &count, &dirs, &files));
  EXPECT_EQ(Texts(dirs), QStringList({"alpha", "Zeta"}));
  EXPECT_EQ(Texts(files), QStringList({"a.rtf", "b.TXT"}));
  EXPECT_EQ(count, 5);  // the document is counted, the hidden entries are not
  EXPECT_TRUE(dirs[0].Directory);
  EXPECT_FALSE(files[0].Directory);

  TFileList all;
  ASSERT_TRUE(LoadFilesFromDir(Root + "dir/", "*.txt", true, false, 2, &count, &all, &all));
  EXPECT_EQ(count, 2);
  EXPECT_EQ(Texts(all), QStringList({Root + "dir/alpha"}));  // a.rtf examined first, not listed

  TFileList drives;
  ASSERT_TRUE(LoadFilesFromDir("", "", false, false, -1, &count, &drives, nullptr));
  EXPECT_TRUE(Texts(drives).contains("/"));

  EXPECT_FALSE(LoadFilesFromDir(Root + "missing", "", false, false, -1, &count, &dirs, &files));
  EXPECT_EQ(FunStatContext.Description, "Failed to load directory.");
  EXPECT_EQ(FunStatContext.SysErrorCode, ENOENT);
  EXPECT_EQ(FunStatContext.RaiseFunction, "LoadFilesFromDir");
}

TEST_F(FileTest, AnyDirFallsBackToNearestParent) {
  Write("books/old/a.txt");
  Write("books/keep.txt");
  DeleteDirectoryNoErrors(Root + "books/old");
  QStringList missing;
  TFileList dirs, files;
  QString listed;
  int count = 0;
  ASSERT_TRUE(LoadFilesFromAnyDir(Root + "books/old/", "*.txt", &dirs, &listed,
                                  [&](const QString &d) { missing.append(d); }, false, false, -1, &count, &files));
  EXPECT_EQ(missing, QStringList({Root + "books/old/"}));
  EXPECT_EQ(listed, Root + "books");
  EXPECT_EQ(Texts(files), QStringList({"keep.txt"}));
  EXPECT_FALSE(FunStatContext.Failed());

  // A path without a drive here lists the drives.
  missing.clear();
  ASSERT_TRUE(LoadFilesFromAnyDir("Q:\\Books\\", "*.txt", &dirs, &listed,
                                  [&](const QString &d) { missing.append(d); }, false, false, -1, &count, &files));
  EXPECT_EQ(missing, QStringList({"Q:\\Books\\"}));
  EXPECT_EQ(listed, "");
  EXPECT_TRUE(Texts(dirs).contains("/"));
  EXPECT_TRUE(files.isEmpty());
}

TEST_F(FileTest, FoldersLiveInTheUsersHome) {
  QString home = Root + "home";
  EXPECT_EQ(GetSystemDirectoryPath(TSystemFolder::Documents), home + "/Documents");
  EXPECT_TRUE(QFileInfo(home + "/Documents").isDir());
  EXPECT_EQ(GetSystemDirectoryPath(TSystemFolder::Desktop), home + "/Desktop");
  EXPECT_TRUE(QFileInfo(home + "/Desktop").isDir());
  EXPECT_EQ(GetSystemDirectoryPath(TSystemFolder::Programs), home + "/.local/share/applications");
  EXPECT_FALSE(GetSystemDirectoryPath(TSystemFolder::CommonDocuments).isEmpty());
  QString programs = GetSystemDirectoryPath(TSystemFolder::ProgramFiles);
  EXPECT_TRUE(programs == "/opt" || programs == home + "/.local/opt") << programs.toStdString();
  QString temp = GetTempPathA();
  EXPECT_TRUE(temp.endsWith('/'));
  EXPECT_TRUE(QFileInfo(temp).isDir());
}

TEST_F(FileTest, DriveInformation) {
  EXPECT_NE(GetPartitionType("/"), ptUnknown);
  EXPECT_EQ(GetPartitionType("relative/path"), ptNoRootDir);
  EXPECT_EQ(FunStatContext.Status, fsWarning);
  EXPECT_EQ(FunStatContext.Description, "Failed to get type.");

  TPartitionInfo info;
  ASSERT_TRUE(info.Load(Root));
  EXPECT_FALSE(info.FileSystemName.isEmpty());
  EXPECT_GT(info.MaxComponentLength, 0u);
  EXPECT_FALSE(info.Load("relative"));
  EXPECT_EQ(FunStatContext.Description, "Failed to load partition information.");
  EXPECT_TRUE(info.FileSystemName.isEmpty());

  EXPECT_TRUE(GetPartitionSuffix("/").startsWith(" ("));
  EXPECT_EQ(GetPartitionSuffix("/:"), GetPartitionSuffix("/"));
  EXPECT_EQ(GetPartitionSuffix("relative"), "");
}

TEST_F(FileTest, SizesAndTimes) {
  QString file = Write("five.txt", "12345");
  ::chmod(QFile::encodeName(file).constData(), 0);  // the size needs no read permission
  EXPECT_EQ(GetFileSize(file), 5u);
  EXPECT_FALSE(FunStatContext.Failed());
  EXPECT_EQ(GetFileSize(Root + "missing.txt"), 0u);
  EXPECT_EQ(FunStatContext.Description, "Failed to access file.");
  EXPECT_EQ(FunStatContext.SysErrorCode, ENOENT);
  EXPECT_EQ(GetFileSize(-1), 0u);
  EXPECT_EQ(FunStatContext.Description, "Failed to get file size.");

  EXPECT_EQ(ConvertFileTime({86400, 0}).toUTC(), QDateTime(QDate(1970, 1, 2), QTime(0, 0), Qt::UTC));
  EXPECT_FALSE(ConvertFileTime({0, 2000000000u}).isValid());
  EXPECT_EQ(FunStatContext.Description, "Failed to convert time.");

  TFileInfo info;
  ASSERT_TRUE(info.LoadInfo(file));
  EXPECT_EQ(info.Size, 5u);
  EXPECT_TRUE(info.Attributes & faReadOnly);
  EXPECT_TRUE(info.LastWriteTime.isValid());
}

TEST_F(FileTest, DeleteAndRename) {
  QString ro = Write("ro.txt");
  MakeReadOnly(ro);
  EXPECT_TRUE(MyDeleteFile(ro));
  EXPECT_FALSE(QFile::exists(ro));
  EXPECT_FALSE(MyDeleteFile(ro));
  EXPECT_EQ(FunStatContext.Description, "Failed to delete file.");
  EXPECT_EQ(FunStatContext.Param1, ro.toStdString());

  QString source = Write("new.txt", "new"), target = Write("old.txt", "old");
  MakeReadOnly(target);
  EXPECT_FALSE(MyRenameFile(source, target, false));
  EXPECT_EQ(FunStatContext.Description, "Failed to rename.");
  EXPECT_EQ(Read(target), "old");
  EXPECT_TRUE(MyRenameFile(source, target, true));
  EXPECT_EQ(Read(target), "new");
  EXPECT_FALSE(QFile::exists(source));

  // Onto itself: the file stays, whatever the spelling.
  EXPECT_TRUE(MyRenameFile(target, target, true));
  EXPECT_EQ(Read(target), "new");
  EXPECT_TRUE(MyRenameFile(target, Root + "./old.txt", true));
  EXPECT_EQ(Read(target), "new");

  // Names that differ in case only are two files here.
  QString lower = Write("case.txt", "lower"), upper = Write("CASE.txt", "upper");
  EXPECT_TRUE(MyRenameFile(lower, upper, true));
  EXPECT_EQ(Read(upper), "lower");
}

TEST_F(FileTest, DeleteDirectoryTakesEverything) {
  Write("tree/a.txt");
  Write("tree/.hidden");
  QString ro = Write("tree/sub/ro.txt");
  MakeReadOnly(ro);
  ::chmod(QFile::encodeName(Root + "tree/sub").constData(), 0555);
  QString outside = Write("outside/keep.txt");
  ASSERT_EQ(::symlink(QFile::encodeName(Root + "outside").constData(),
                      QFile::encodeName(Root + "tree/link").constData()),
            0);
  EXPECT_TRUE(DeleteDirectoryNoErrors(Root + "tree/"));
  EXPECT_FALSE(QFileInfo::exists(Root + "tree"));
  EXPECT_TRUE(QFile::exists(outside));  // a link is removed, not followed

  EXPECT_FALSE(DeleteDirectoryNoErrors(Root + "tree"));
  EXPECT_EQ(FunStatContext.Description, "Can not find directory.");
}

TEST_F(FileTest, CopyTreeWithReadOnlyFile) {
  Write("src/a.txt", "a");
  Write("src/.hidden", "h");
  QString ro = Write("src/sub/ro.txt", "ro");
  MakeReadOnly(ro);
  Write("dst/sub/ro.txt", "stale");
  MakeReadOnly(Root + "dst/sub/ro.txt");

  EXPECT_TRUE(CopyDeleteDirectory(Root + "src/", Root + "dst/", true));
  EXPECT_EQ(Read(Root + "dst/a.txt"), "a");
  EXPECT_EQ(Read(Root + "dst/sub/ro.txt"), "ro");
  EXPECT_TRUE(IsReadOnly(Root + "dst/sub/ro.txt"));
  EXPECT_FALSE(QFile::exists(Root + "dst/.hidden"));
  EXPECT_TRUE(QFile::exists(ro));
  EXPECT_TRUE(Boxes.isEmpty());

  // Moving leaves nothing behind in the source.
  EXPECT_TRUE(CopyDeleteDirectory(Root + "dst", Root + "moved", false));
  EXPECT_EQ(Read(Root + "moved/sub/ro.txt"), "ro");
  EXPECT_FALSE(QFileInfo::exists(Root + "dst"));
  EXPECT_TRUE(Boxes.isEmpty());
}

TEST_F(FileTest, CopyTreeFailuresShowOneBoxPerLevel) {
  Write("src/a.txt");
  EXPECT_FALSE(CopyDeleteDirectory(Root + "src", "", true));
  EXPECT_EQ(FunStatContext.Description, "Empty destination name.");
  ASSERT_EQ(Boxes.size(), 1);
  EXPECT_EQ(Boxes[0].first, TMessageKind::Error);
  EXPECT_EQ(Boxes[0].second, "Failed to process directory.");

  // A destination inside the source is refused, not copied forever.
  Boxes.clear();
  EXPECT_FALSE(CopyDeleteDirectory(Root + "src", Root + "src/copy", true));
  EXPECT_EQ(FunStatContext.Description, "Failed to create directory.");
  EXPECT_EQ(Boxes.size(), 1);

  // A file that cannot be written fails the level that holds it and its parent.
  Boxes.clear();
  Write("src2/sub/a.txt");
  Write("dst2/sub/a.txt/blocker");  // a directory where the file should go
  EXPECT_FALSE(CopyDeleteDirectory(Root + "src2", Root + "dst2", true));
  EXPECT_EQ(FunStatContext.Description, "Failed to copy file.");
  EXPECT_EQ(Boxes.size(), 2);
}

TEST_F(FileTest, RunFileStartsProgramsAndQuotes) {
  EXPECT_EQ(RunFileParameters("a b", true), " \"a b\"");
  EXPECT_EQ(RunFileParameters("a b", false), " a b");
  EXPECT_EQ(RunFileParameters("", true), "");

  QString script = Script();
  QString work = Root + "work";
  QDir().mkpath(work);
  ASSERT_TRUE(RunFile(script, "a b", work, false, true));
  EXPECT_EQ(WaitForFile(work + "/marker"), "1:a b");

  QFile::remove(work + "/marker");
  ASSERT_TRUE(RunFile(script, "a b", work, true, false));
  EXPECT_EQ(WaitForFile(work + "/marker"), "2:a");

  // A shortcut runs its target with its own arguments and working folder.
  QFile::remove(work + "/marker");
  ASSERT_TRUE(CopyFileAsLinkWithParam(script, "\"x y\"", Root + "Script.desktop", false, false, false, ""));
  TLinkFile link;
  ASSERT_TRUE(link.Load(Root + "Script.desktop"));
  link.WorkingPath = work;
  ASSERT_TRUE(link.Save(Root + "Script.desktop", true));
  ASSERT_TRUE(RunFile(Root + "Script.desktop", "", "", false, false));
  EXPECT_EQ(WaitForFile(work + "/marker"), "1:x y");

  EXPECT_FALSE(RunFile(Root + "missing.sh", "", "", false, false));
  EXPECT_EQ(FunStatContext.Description, "Failed to run file.");
  EXPECT_EQ(FunStatContext.SysErrorCode, ENOENT);
  EXPECT_EQ(FunStatContext.RaiseFunction, "RunFile");
}

TEST_F(FileTest, DocumentsAddressesAndFoldersGoToTheDesktop) {
  QString book = Write("book.txt");
  ::chmod(QFile::encodeName(book).constData(), 0755);  // as on a FAT stick: still a document
  EXPECT_TRUE(RunFile(book, "", "", false, false));
  EXPECT_TRUE(OpenSite("https://example.org/page", "Failed to open site."));
  EXPECT_TRUE(RunVerb(Root, "Explore", ""));
  ASSERT_EQ(Catcher.Urls.size(), 3);
  EXPECT_EQ(Catcher.Urls[0], QUrl::fromLocalFile(book));
  EXPECT_EQ(Catcher.Urls[1], QUrl("https://example.org/page"));
  EXPECT_EQ(Catcher.Urls[2], QUrl::fromLocalFile(QDir::cleanPath(Root)));

  EXPECT_FALSE(OpenSite(Root + "missing.htm", "Failed to open site."));
  EXPECT_EQ(FunStatContext.Description, "Failed to open site.");
  EXPECT_FALSE(RunVerb(book, "Explore", ""));
  EXPECT_EQ(FunStatContext.Description, "Failed to run verb.");
}

TEST_F(FileTest, DesktopEntryRoundTrip) {
  QString script = Script();
  TLinkFile link;
  link.ReferencePath = script;
  link.WorkingPath = Root + "bin";
  link.Arguments = "/Uninstall \"two words\"";
  link.Description = "Reader\nwith 100% comfort";
  link.IconPath = Root + "icon.png";
  link.IconIndex = 2;
  link.ShowCommand = swShowMinNoActive;
  link.HotKey = 0x0341;
  QString file = Root + "Reader.desktop";
  ASSERT_TRUE(link.Save(file, false));
  QByteArray text = Read(file);
  EXPECT_TRUE(text.startsWith("[Desktop Entry]\n"));
  EXPECT_TRUE(text.contains("\nType=Application\n"));
  EXPECT_TRUE(text.contains("\nName=Reader\n"));

  TLinkFile back;
  ASSERT_TRUE(back.Load(file));
  EXPECT_EQ(back.ReferencePath, script);
  EXPECT_EQ(back.WorkingPath, Root + "bin");
  EXPECT_EQ(back.Arguments, link.Arguments);
  EXPECT_EQ(back.Description, link.Description);
  EXPECT_EQ(back.IconPath, link.IconPath);
  EXPECT_EQ(back.IconIndex, 2);
  EXPECT_EQ(back.ShowCommand, swShowMinNoActive);
  EXPECT_EQ(back.HotKey, 0x0341);
  EXPECT_TRUE(back.Valid);

  // A document gets a link entry.
  QString readme = Write("dir with blank/Readme.txt");
  ASSERT_TRUE(CopyFileAsLink(readme, Root + "Readme.desktop", false, false, true, "Read me"));
  EXPECT_TRUE(Read(Root + "Readme.desktop").contains("\nType=Link\n"));
  bool isDir = true;
  EXPECT_EQ(GetWhenReference(Root + "Readme.desktop", &isDir), readme);
  EXPECT_FALSE(isDir);
  ASSERT_TRUE(back.Load(Root + "Readme.desktop"));
  EXPECT_EQ(back.WorkingPath, Root + "dir with blank");
  EXPECT_EQ(back.Description, "Read me");
  EXPECT_EQ(GetWhenReference(readme, &isDir), readme);

  // The program's own links: arguments for the target.
  ASSERT_TRUE(CopyFileAsLinkWithParam(script, "/Uninstall", Root + "Uninstall.desktop", false, false, false, ""));
  ASSERT_TRUE(back.Load(Root + "Uninstall.desktop"));
  EXPECT_EQ(back.Arguments, "/Uninstall");
  EXPECT_EQ(back.ShowCommand, swShowNormal);
}

TEST_F(FileTest, DesktopEntryChecks) {
  QString book = Write("book.txt");
  QString file = Root + "Book.desktop";
  ASSERT_TRUE(CopyFileAsLink(book, file, false, false, false, "first"));
  QByteArray first = Read(file);
  EXPECT_TRUE(CopyFileAsLink(book, file, false, false, false, "second"));
  EXPECT_EQ(Read(file), first);  // kept without replace
  EXPECT_TRUE(CopyFileAsLink(book, file, true, false, false, "second"));
  EXPECT_NE(Read(file), first);

  EXPECT_FALSE(CopyFileAsLink(file, Root + "Chain.desktop", false, false, false, ""));
  EXPECT_EQ(FunStatContext.Description, "This operating system does not support chained links.");
  EXPECT_FALSE(QFile::exists(Root + "Chain.desktop"));

  TLinkFile link;
  EXPECT_FALSE(link.Load(book));
  EXPECT_EQ(FunStatContext.Description, "File is not a link.");
  EXPECT_FALSE(link.Load(Write("Empty.desktop", "[Desktop Entry]\nType=Application\nExec=\n")));
  EXPECT_EQ(FunStatContext.Description, "Empty reference path.");
  EXPECT_FALSE(link.Load(Write("Self.desktop", ("[Desktop Entry]\nType=Link\nURL=" +
                                                QUrl::fromLocalFile(Root + "Self.desktop").toString() + "\n")
                                                   .toUtf8())));
  EXPECT_EQ(FunStatContext.Description, "This file is most probably a virus because it links to itself.");
  EXPECT_FALSE(link.Load(Write("Bad.desktop", "[Desktop Entry]\nType=Application\nExec=/bin/true\n"
                                              "X-Pagelume-ShowCommand=seven\n")));
  EXPECT_EQ(FunStatContext.Description, "Failed to get show command.");
  EXPECT_FALSE(link.Load(Write("Junk.desktop", "no group here")));
  EXPECT_EQ(FunStatContext.Description, "Failed to load link file.");
  EXPECT_FALSE(link.Load(Root + "Missing.desktop"));
  EXPECT_EQ(FunStatContext.SysErrorCode, ENOENT);
  EXPECT_EQ(GetWhenReference(Root + "Missing.desktop"), "");

  // Listing with resolution: a link to a folder counts as a folder.
  QDir().mkpath(Root + "target");
  QDir().mkpath(Root + "list");
  ASSERT_TRUE(CopyFileAsLink(Root + "target", Root + "list/Folder.desktop", false, false, false, ""));
  TFileList dirs, files;
  int count = 0;
  ASSERT_TRUE(LoadFilesFromDir(Root + "list", "", true, true, -1, &count, &dirs, &files));
  EXPECT_EQ(Texts(dirs), QStringList({Root + "target"}));
  EXPECT_TRUE(files.isEmpty());
}

}  // namespace

#include "FileTest.moc"
