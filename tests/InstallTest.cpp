// The installer and uninstaller, run in a temporary folder: HOME, the XDG
// folders and the program-files folder point into it, and the distribution's
// "Install" is a small script that records that it was started.
#include "Dialogs.h"
#include "Error.h"
#include "File.h"
#include "Install.h"
#include "Program.h"
#include "Startup.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QXmlStreamReader>

#include <gtest/gtest.h>
#include <iostream>

namespace {

// Every entry under a folder: kind, permissions, size and content, so that
// two snapshots are equal only for byte-identical trees.
QMap<QString, QByteArray> Snapshot(const QString &dir) {
  QMap<QString, QByteArray> tree;
  QDirIterator it(dir, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                  QDirIterator::Subdirectories);
  while (it.hasNext()) {
    it.next();
    const QFileInfo info = it.fileInfo();
    QByteArray entry = QByteArray::number(int(info.permissions())) + (info.isSymLink() ? " link " : info.isDir() ? " dir " : " file ");
    if (info.isSymLink()) {
      entry += info.symLinkTarget().toUtf8();
    } else if (info.isFile()) {
      QFile f(info.filePath());
      if (f.open(QIODevice::ReadOnly))
        entry += f.readAll();
    }
    tree.insert(QDir(dir).relativeFilePath(info.filePath()), entry);
  }
  return tree;
}

void WriteFile(const QString &path, const QByteArray &data) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(data);
}

QByteArray ReadFile(const QString &path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class InstallTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(Temp.isValid());
    Root = Temp.path();
    for (const char *name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"})
      Saved.append({name, qgetenv(name), qEnvironmentVariableIsSet(name)});
    Home = Root + "/home";
    qputenv("HOME", Home.toUtf8());
    qputenv("XDG_CONFIG_HOME", (Home + "/.config").toUtf8());
    qputenv("XDG_DATA_HOME", (Home + "/.local/share").toUtf8());
    QDir().mkpath(Home);
    ProgramFiles = Root + "/program files";  // a blank, as in many chosen folders
    SetProgramFilesOverride(ProgramFiles);

    // The distribution folder: the program as "Install" (a stand-in that
    // records its start) and the shipped files.
    Dist = Root + "/unpacked/Dist";
    Started = Root + "/started.txt";
    WriteFile(Dist + "/Install", "#!/bin/sh\necho \"$0 $*\" > '" + Started.toUtf8() + "'\n");
    QFile::setPermissions(Dist + "/Install", QFile::permissions(Dist + "/Install") | QFile::ExeOwner);
    WriteFile(Dist + "/Readme.txt", "Caf\xe9 reader.\nSecond line.\n");
    WriteFile(Dist + "/Welcome.txt", "Welcome.\n");
    WriteFile(Dist + "/Pagelume.png", "png");
    WriteFile(Dist + "/BackImages/Paper.bmp", "BM");
    WriteFile(Dist + "/" + MetainfoFileName,
              ReadFile(QString(PAGELUME_SOURCE_DIR) + "/packaging/" + MetainfoFileName));

    SetMessageBoxHandler([this](TMessageKind kind, const QString &text) {
      Boxes.append({kind, text});
      if (kind != TMessageKind::Query)
        return false;
      // Never agree to anything outside the test's own folder.
      const bool safe = text.contains(Root + "/");
      return safe && Answer;
    });
    SetShowErrorHandler([this](const TFunStatContext &ctx, const std::string &description, bool *) {
      Reports.append(QString::fromStdString(description + " / " + ctx.Description));
      ReportParams.append(QString::fromStdString(ctx.Param1));
      return true;
    });
    FunStatContext.Reset();
  }
  void TearDown() override {
    SetMessageBoxHandler(nullptr);
    SetShowErrorHandler(nullptr);
    SetDialogExecHook(nullptr);
    SetProgramFilesOverride(QString());
    SetProgramDirOverride(QString());
    for (const auto &s : Saved) {
      if (s.Set)
        qputenv(s.Name, s.Value);
      else
        qunsetenv(s.Name);
    }
  }

  QString Installed() const { return ProgramFiles + "/Dist"; }
  QString Desktop() const { return Home + "/Desktop"; }
  QString Menu() const { return Home + "/.local/share/applications/Dist"; }
  QString UninstallEntry() const { return Home + "/.config/Pagelume-uninstall/Pagelume.ini"; }
  QString Metainfo() const { return Home + "/.local/share/metainfo/" + MetainfoFileName; }

  bool RunInstall() {
    TInstallForm form(TInstallParams(), false, Dist, "Install");
    EXPECT_EQ(form.DirectoryEdit->text(), ProgramFiles + "/");
    form.show();
    form.InstallButton->click();
    return !form.isVisible();
  }
  int RunUninstall(const QString &dir, const QString &exe = "Pagelume") {
    TInstallForm form(TInstallParams(), true, dir, exe);
    form.InstallButton->click();
    return form.ExitCode();
  }
  bool WaitForStart() {
    QElapsedTimer t;
    t.start();
    while (!QFileInfo::exists(Started) && t.elapsed() < 10000)
      QThread::msleep(20);
    return QFileInfo::exists(Started);
  }
  QStringList BoxTexts(TMessageKind kind) const {
    QStringList texts;
    for (const auto &b : Boxes)
      if (b.first == kind)
        texts << b.second;
    return texts;
  }

  struct SavedEnv {
    const char *Name;
    QByteArray Value;
    bool Set;
  };
  QList<SavedEnv> Saved;
  QTemporaryDir Temp;
  QString Root, Home, ProgramFiles, Dist, Started;
  bool Answer = true;
  QList<QPair<TMessageKind, QString>> Boxes;
  QStringList Reports, ReportParams;
};

TEST_F(InstallTest, InstallCopiesRenamesCreatesEntriesAndStartsTheProgram) {
  RunInstall();
  EXPECT_TRUE(Reports.isEmpty()) << Reports.join('\n').toStdString();
  EXPECT_EQ(BoxTexts(TMessageKind::Query), QStringList{"Install the program in directory \"" + Installed() + "\"?"});

  EXPECT_TRUE(QFileInfo(Installed() + "/Pagelume").isExecutable());
  EXPECT_FALSE(QFileInfo::exists(Installed() + "/Install"));
  EXPECT_EQ(ReadFile(Installed() + "/BackImages/Paper.bmp"), "BM");
  EXPECT_EQ(ReadFile(Installed() + "/Readme.txt"), ReadFile(Dist + "/Readme.txt"));
  EXPECT_TRUE(UninstallRefusal(Installed(), "Pagelume").isEmpty()) << UninstallRefusal(Installed(), "Pagelume").toStdString();

  TLinkFile link;
  ASSERT_TRUE(link.Load(Desktop() + "/Pagelume.desktop"));
  EXPECT_EQ(link.ReferencePath, Installed() + "/Pagelume");
  EXPECT_EQ(link.IconPath, Installed() + "/Pagelume.png");
  EXPECT_TRUE(ReadFile(Desktop() + "/Pagelume.desktop").contains("\nCategories=Office;"));
  EXPECT_EQ(QDir(Menu()).entryList(QDir::Files, QDir::Name),
            (QStringList{"Pagelume.desktop", "Readme.desktop", "Uninstall.desktop"}));
  ASSERT_TRUE(link.Load(Menu() + "/Uninstall.desktop"));
  EXPECT_EQ(link.ReferencePath, Installed() + "/Pagelume");
  EXPECT_EQ(link.Arguments, "/Uninstall");
  // The readme's path has a blank: it is one quoted argument of Exec.
  EXPECT_TRUE(ReadFile(Menu() + "/Readme.desktop")
                  .contains("\nExec=\"" + (Installed() + "/Pagelume\" \"" + Installed() + "/Readme.txt\"\n").toUtf8()));
  ASSERT_TRUE(link.Load(Menu() + "/Readme.desktop"));
  EXPECT_EQ(QProcess::splitCommand(link.Arguments), QStringList{Installed() + "/Readme.txt"});
  // Only the reader itself is listed under a category; the other two belong to the folder alone.
  EXPECT_FALSE(ReadFile(Menu() + "/Readme.desktop").contains("Categories="));
  EXPECT_TRUE(ReadFile(Menu() + "/Pagelume.desktop").contains("\nCategories=Office;"));

  // The menu folder is a folder of the applications menu: a merge file
  // names a described submenu holding the three entries.
  const QString directory = Home + "/.local/share/desktop-directories/Pagelume-Dist.directory";
  EXPECT_EQ(MenuDirectoryFilePath("Dist"), directory);
  EXPECT_TRUE(ReadFile(directory).contains("\nType=Directory\nName=Dist\n"));
  QFile merge(Home + "/.config/menus/applications-merged/Pagelume-Dist.menu");
  ASSERT_TRUE(merge.open(QIODevice::ReadOnly));
  QXmlStreamReader xml(&merge);
  QStringList path, names, files;
  QString directoryName;
  while (!xml.atEnd()) {
    if (xml.readNext() == QXmlStreamReader::StartElement) {
      path << xml.name().toString();
      if (path.join('/') == "Menu/Name" || path.join('/') == "Menu/Menu/Name")
        names << xml.readElementText();
      else if (path.join('/') == "Menu/Menu/Directory")
        directoryName = xml.readElementText();
      else if (path.join('/') == "Menu/Menu/Include/Filename")
        files << xml.readElementText();
      else
        continue;
      path.removeLast();
    } else if (xml.isEndElement()) {
      path.removeLast();
    }
  }
  EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
  EXPECT_EQ(names, (QStringList{"Applications", "Dist"}));
  EXPECT_EQ(directoryName, QFileInfo(directory).fileName());
  // Entries in a subfolder of the applications folder are known by
  // "subfolder-name.desktop".
  EXPECT_EQ(files, (QStringList{"Dist-Pagelume.desktop", "Dist-Uninstall.desktop", "Dist-Readme.desktop"}));

  EXPECT_EQ(ReadFile(UninstallEntry()), "[Uninstall]\nDisplayName=Pagelume\nUninstallString=\"" +
                                            (Installed() + "/Pagelume\" /Uninstall\n").toUtf8());

  // The record lists what was installed, and the folders made for it.
  TInstallRecord record;
  ASSERT_TRUE(ReadInstallRecord(Installed(), &record));
  EXPECT_EQ(record.Directory, Installed());
  record.Files.sort();
  EXPECT_EQ(record.Files, (QStringList{"BackImages/Paper.bmp", "Pagelume", "Pagelume.png", "Readme.txt",
                                       "Welcome.txt", MetainfoFileName}));
  EXPECT_EQ(record.Folders, QStringList{"BackImages"});
  for (const QString &made : {ProgramFiles, Desktop(), Menu(), Home + "/.config/menus/applications-merged",
                              QFileInfo(Metainfo()).path()})
    EXPECT_TRUE(record.Created.contains(made)) << made.toStdString();
  EXPECT_EQ(record.Outside, QStringList{Metainfo()});

  // The reader's two entries open books from a file manager; the software
  // centre's metadata names the menu entry.
  for (const QString &entry : {Desktop() + "/Pagelume.desktop", Menu() + "/Pagelume.desktop"}) {
    const QByteArray text = ReadFile(entry);
    EXPECT_TRUE(text.contains("\nMimeType=text/plain;application/rtf;text/rtf;\n")) << entry.toStdString();
    EXPECT_TRUE(text.contains("/Pagelume\" %f\n")) << text.toStdString();
  }
  ASSERT_TRUE(link.Load(Menu() + "/Pagelume.desktop"));
  EXPECT_TRUE(link.Arguments.isEmpty());
  EXPECT_TRUE(ReadFile(Metainfo()).contains("<launchable type=\"desktop-id\">Dist-Pagelume.desktop</launchable>"));
  const QString mimeCache = QStandardPaths::findExecutable("update-desktop-database");
  if (mimeCache.isEmpty())
    std::cout << "[ SKIPPED  ] update-desktop-database is not installed\n";
  else
    EXPECT_TRUE(ReadFile(Home + "/.local/share/applications/mimeinfo.cache").contains("\ntext/plain=Dist-Pagelume.desktop;"));
  const QString appstream = QStandardPaths::findExecutable("appstreamcli");
  if (!appstream.isEmpty()) {
    QProcess p;
    p.start(appstream, {"validate", "--no-net", Metainfo()});
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardOutput().toStdString();
  }

  ASSERT_TRUE(WaitForStart());
  EXPECT_EQ(ReadFile(Started).trimmed(), (Installed() + "/Pagelume").toUtf8());

  // The entries are valid for the desktop's menus.
  const QString validate = QStandardPaths::findExecutable("desktop-file-validate");
  if (validate.isEmpty()) {
    std::cout << "[ SKIPPED  ] desktop-file-validate is not installed\n";
  } else {
    for (const QString &entry : {Desktop() + "/Pagelume.desktop", Menu() + "/Pagelume.desktop",
                                 Menu() + "/Uninstall.desktop", Menu() + "/Readme.desktop", directory}) {
      QProcess p;
      p.start(validate, {entry});
      ASSERT_TRUE(p.waitForFinished(10000));
      EXPECT_EQ(p.exitCode(), 0) << entry.toStdString() << ": " << p.readAllStandardOutput().toStdString();
    }
  }
}

TEST_F(InstallTest, UninstallRemovesWhatInstallMadeAndReinstallKeepsSettings) {
  const auto before = Snapshot(Root);
  RunInstall();
  ASSERT_TRUE(WaitForStart());
  QFile::remove(Started);

  // The reader's own files survive a reinstall; the shipped ones are renewed.
  WriteFile(Installed() + "/Pagelume.ini", "[Pagelume_Main]\nPieceSize=3\n");
  WriteFile(Installed() + "/Night.plp", "[Profile_Main]\n");
  WriteFile(Installed() + "/Errors.log", "Failed.\n");
  WriteFile(Installed() + "/Pagelume.ini.Ab12Cd", "[Pagelume_Main]\n");  // a save killed half-way
  WriteFile(Dist + "/Readme.txt", "New readme.\n");
  Boxes.clear();
  RunInstall();
  EXPECT_TRUE(Reports.isEmpty()) << Reports.join('\n').toStdString();
  EXPECT_EQ(ReadFile(Installed() + "/Pagelume.ini"), "[Pagelume_Main]\nPieceSize=3\n");
  EXPECT_EQ(ReadFile(Installed() + "/Night.plp"), "[Profile_Main]\n");
  EXPECT_EQ(ReadFile(Installed() + "/Readme.txt"), "New readme.\n");
  ASSERT_TRUE(WaitForStart());
  QFile::remove(Started);

  Boxes.clear();
  RunUninstall(Installed() + "/");
  EXPECT_TRUE(Reports.isEmpty()) << Reports.join('\n').toStdString();
  EXPECT_EQ(BoxTexts(TMessageKind::Query),
            QStringList{"Delete directory \"" + Installed() + "/\" (and all contained files)?"});
  EXPECT_EQ(BoxTexts(TMessageKind::Message),
            QStringList{"Uninstallation successful. Some files that were in use were not deleted."});
  EXPECT_FALSE(QFileInfo::exists(Installed()));
  EXPECT_FALSE(QFileInfo::exists(Desktop() + "/Pagelume.desktop"));
  EXPECT_FALSE(QFileInfo::exists(Menu()));
  EXPECT_FALSE(QFileInfo::exists(UninstallEntry()));
  EXPECT_FALSE(QFileInfo::exists(QFileInfo(UninstallEntry()).path()));

  EXPECT_FALSE(QFileInfo::exists(MenuDirectoryFilePath("Dist")));
  EXPECT_FALSE(QFileInfo::exists(MenuMergeFilePath("Dist")));

  // Nothing is left, not even the folders made for the installation (the
  // program-files folder, the desktop, the menus); only the readme this test
  // changed differs.
  auto after = Snapshot(Root);
  after["unpacked/Dist/Readme.txt"] = before["unpacked/Dist/Readme.txt"];
  EXPECT_EQ(QStringList(after.keys()).join('|'), QStringList(before.keys()).join('|'));
  EXPECT_TRUE(after == before);
}

TEST_F(InstallTest, DecliningEitherQuestionChangesNothing) {
  Answer = false;
  auto before = Snapshot(Root);
  EXPECT_TRUE(RunInstall());  // the window closes
  EXPECT_EQ(BoxTexts(TMessageKind::Query).size(), 1);
  EXPECT_TRUE(Reports.isEmpty());
  EXPECT_EQ(QStringList(Snapshot(Root).keys()).join('|'), QStringList(before.keys()).join('|'));
  EXPECT_FALSE(QFileInfo::exists(Installed()));

  Answer = true;
  RunInstall();
  ASSERT_TRUE(WaitForStart());
  Answer = false;
  before = Snapshot(Root);
  EXPECT_EQ(RunUninstall(Installed() + "/"), 0);  // declined, not failed
  EXPECT_TRUE(Snapshot(Root) == before);
  EXPECT_TRUE(BoxTexts(TMessageKind::Message).isEmpty());
}

// The installation folder must be new, empty or an installation already: a
// folder of other files is refused with a warning, nothing is copied, and
// another folder can be chosen in the same window. An uninstall then takes
// only what was installed and what the reader made.
TEST_F(InstallTest, InstallGoesOnlyIntoANewEmptyOrOwnFolder) {
  {
    TInstallForm form(TInstallParams(), false, Dist, "Install");
    form.DirectoryEdit->clear();
    form.InstallButton->click();
    EXPECT_EQ(BoxTexts(TMessageKind::Warning), QStringList{"(Un)Installation directory is empty."});
    EXPECT_TRUE(BoxTexts(TMessageKind::Query).isEmpty());
    EXPECT_FALSE(form.InstallButton->isEnabled());
    EXPECT_EQ(form.ExitCode(), 1);
  }
  // The user's own folder of the distribution's name, and the distribution
  // itself (its parent chosen).
  WriteFile(Installed() + "/MyNotes.txt", "my notes\n");
  WriteFile(Installed() + "/MyBooks/Candide.txt", "Candide\n");
  const auto before = Snapshot(Root);
  TInstallForm form(TInstallParams(), false, Dist, "Install");
  form.show();
  for (const QString &chosen : {ProgramFiles + "/", Root + "/unpacked/"}) {
    Boxes.clear();
    form.DirectoryEdit->setText(chosen);
    form.InstallButton->click();
    const QStringList warnings = BoxTexts(TMessageKind::Warning);
    ASSERT_EQ(warnings.size(), 1) << chosen.toStdString();
    EXPECT_TRUE(warnings[0].contains("already exists and is no installation of Pagelume")) << warnings[0].toStdString();
    EXPECT_TRUE(warnings[0].endsWith("choose another folder."));
    EXPECT_TRUE(BoxTexts(TMessageKind::Query).isEmpty());
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(form.InstallButton->isEnabled());
    EXPECT_TRUE(Snapshot(Root) == before);
  }
  EXPECT_TRUE(Reports.isEmpty());
  // An empty folder chosen in the same window takes the installation.
  const QString other = Root + "/elsewhere/Dist";
  QDir().mkpath(other);
  form.DirectoryEdit->setText(Root + "/elsewhere/");
  form.InstallButton->click();
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(form.ExitCode(), 0);
  ASSERT_TRUE(WaitForStart());
  EXPECT_TRUE(Reports.isEmpty()) << Reports.join('\n').toStdString();

  // Files of the user's put into the installation stay, and so does the folder.
  WriteFile(other + "/MyNotes.txt", "mine\n");
  WriteFile(other + "/BackImages/Mine.bmp", "BM");
  WriteFile(other + "/Pagelume.ini", "[Pagelume_Main]\n");
  WriteFile(other + "/PagelumeProfile.plp", "[Profile_Main]\n");
  Boxes.clear();
  EXPECT_EQ(RunUninstall(other + "/"), 0);
  EXPECT_TRUE(Reports.isEmpty()) << Reports.join('\n').toStdString();
  EXPECT_EQ(BoxTexts(TMessageKind::Message),
            QStringList{"Uninstallation successful. The folder \"" + other + "/\" holds files that were not installed "
                                                                               "and was kept."});
  QStringList left;
  QDirIterator it(other, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
  while (it.hasNext())
    left << QDir(other).relativeFilePath(it.next());
  left.sort();
  EXPECT_EQ(left, (QStringList{"BackImages", "BackImages/Mine.bmp", "MyNotes.txt"}));
  EXPECT_FALSE(QFileInfo::exists(Desktop() + "/Pagelume.desktop"));
  EXPECT_FALSE(QFileInfo::exists(Menu()));
  EXPECT_EQ(ReadFile(Installed() + "/MyNotes.txt"), "my notes\n");
}

// A failed install is reported, ends with exit status 1 and leaves nothing
// behind; an uninstall that cannot remove every installed file deletes
// nothing, says which file stays, and fails too.
TEST_F(InstallTest, FailuresEndWithStatusOneAndLeaveNothingHalfDone) {
  // A folder named like the program: renaming "Install" fails after the copy.
  WriteFile(Dist + "/Pagelume/inside.txt", "x");
  auto before = Snapshot(Root);
  {
    TInstallForm form(TInstallParams(), false, Dist, "Install");
    form.InstallButton->click();
    EXPECT_EQ(form.ExitCode(), 1);
  }
  ASSERT_EQ(Reports.size(), 1);
  EXPECT_TRUE(Reports[0].startsWith(
      "Failed to install program. Check to see if you have rights to write in the installation directory."));
  EXPECT_TRUE(Snapshot(Root) == before);
  EXPECT_FALSE(QFileInfo::exists(Started));
  Reports.clear();
  ReportParams.clear();
  ASSERT_TRUE(QDir(Dist + "/Pagelume").removeRecursively());

  RunInstall();
  ASSERT_TRUE(WaitForStart());
  // A folder of the user's stands where an installed file was.
  ASSERT_TRUE(QFile::remove(Installed() + "/Readme.txt"));
  WriteFile(Installed() + "/Readme.txt/notes.txt", "mine");
  before = Snapshot(Root);
  Boxes.clear();
  EXPECT_EQ(RunUninstall(Installed() + "/"), 1);
  ASSERT_EQ(Reports.size(), 1);
  EXPECT_EQ(Reports[0], "Failed to uninstall program. / Nothing was deleted: some installed files cannot be removed.");
  EXPECT_EQ(ReportParams[0], Installed() + "/Readme.txt");
  EXPECT_TRUE(BoxTexts(TMessageKind::Message).isEmpty());
  EXPECT_TRUE(Snapshot(Root) == before);
}

// Folders that are no installation of the installer's: each is left byte for
// byte, with a warning that says why, and no question asked.
TEST_F(InstallTest, UninstallRefusesEveryFolderTheInstallerDidNotMake) {
  // A source checkout with its build tree.
  const QString project = Root + "/project";
  WriteFile(project + "/.git/HEAD", "ref: refs/heads/main\n");
  WriteFile(project + "/build/bin/Pagelume", "binary");
  WriteFile(project + "/build/bin/Welcome.txt", "Welcome.\n");
  // A folder of books with a program called Pagelume copied into it.
  const QString books = Home + "/Books";
  WriteFile(books + "/Emma.txt", "Emma\n");
  WriteFile(books + "/Pagelume", "binary");
  // A copy of an installation moved elsewhere: its record names another folder.
  RunInstall();
  ASSERT_TRUE(WaitForStart());
  const QString moved = Root + "/moved/Dist";
  QDir().mkpath(Root + "/moved");
  ASSERT_TRUE(CopyDeleteDirectory(Installed(), moved, true));
  QFile::copy(Installed() + '/' + InstallMarkerFileName, moved + '/' + InstallMarkerFileName);
  // Records forged into a repository, the home folder and the program-files folder.
  for (const QString &dir : {project, Home, ProgramFiles}) {
    TInstallRecord forged;
    forged.Directory = dir;
    forged.Program = "Pagelume";
    forged.Files = QStringList{"Pagelume"};
    ASSERT_TRUE(WriteInstallRecord(forged));
    WriteFile(dir + "/Pagelume", "binary");
  }

  const auto before = Snapshot(Root);
  struct Case {
    QString Dir;
    QString Reason;
  };
  const QList<Case> cases{{project + "/build/bin/", "is not an installation made by the Pagelume installer"},
                          {project + "/", "holds a Git repository"},
                          {books + "/", "is not an installation made by the Pagelume installer"},
                          {moved + "/", "is not an installation made by the Pagelume installer"},
                          {Home + "/", "is a system or home folder"},
                          {ProgramFiles + "/", "is a system or home folder"},
                          {"/", "is a system or home folder"},
                          {"/usr/bin/", "is a system or home folder"},
                          {"/opt/", "is a system or home folder"}};
  for (const Case &c : cases) {
    Boxes.clear();
    EXPECT_EQ(RunUninstall(c.Dir), 1);
    const QStringList warnings = BoxTexts(TMessageKind::Warning);
    ASSERT_EQ(warnings.size(), 1) << c.Dir.toStdString();
    EXPECT_TRUE(warnings[0].contains(c.Reason)) << warnings[0].toStdString();
    EXPECT_TRUE(warnings[0].endsWith("Nothing was deleted."));
    EXPECT_TRUE(BoxTexts(TMessageKind::Query).isEmpty()) << c.Dir.toStdString();
    EXPECT_TRUE(Snapshot(Root) == before) << c.Dir.toStdString();
  }
  EXPECT_TRUE(Reports.isEmpty());
  // The real build tree of these tests is no installation either.
  EXPECT_FALSE(UninstallRefusal(PAGELUME_BIN_DIR, "Pagelume").isEmpty());
  // The true installation still goes.
  EXPECT_TRUE(UninstallRefusal(Installed(), "Pagelume").isEmpty());
}

// A program-files folder reached through a symbolic link: the installed
// program sees its real folder, and the uninstall still finds every entry.
TEST_F(InstallTest, UninstallThroughALinkedProgramFilesFolder) {
  QDir().mkpath(Root + "/real");
  ASSERT_TRUE(QFile::link(Root + "/real", Root + "/linked"));
  ProgramFiles = Root + "/linked";
  SetProgramFilesOverride(ProgramFiles);
  RunInstall();
  ASSERT_TRUE(WaitForStart());
  ASSERT_TRUE(QFileInfo::exists(Root + "/real/Dist/Pagelume"));
  RunUninstall(Root + "/real/Dist/");
  EXPECT_TRUE(Reports.isEmpty()) << Reports.join('\n').toStdString();
  EXPECT_FALSE(QFileInfo::exists(Root + "/real/Dist"));
  EXPECT_FALSE(QFileInfo::exists(Desktop() + "/Pagelume.desktop"));
  EXPECT_FALSE(QFileInfo::exists(Menu()));
  EXPECT_FALSE(QFileInfo::exists(UninstallEntry()));
}

// Entries written by a later installation elsewhere stay when an older one goes.
TEST_F(InstallTest, UninstallLeavesTheEntriesOfAnotherInstallation) {
  RunInstall();
  ASSERT_TRUE(WaitForStart());
  QFile::remove(Started);
  const QString other = Root + "/elsewhere";
  TInstallForm form(TInstallParams(), false, Dist, "Install");
  form.DirectoryEdit->setText(other + "/");
  form.InstallButton->click();
  ASSERT_TRUE(WaitForStart());
  const QByteArray desktopEntry = ReadFile(Desktop() + "/Pagelume.desktop");
  const QByteArray uninstallEntry = ReadFile(UninstallEntry());
  ASSERT_TRUE(desktopEntry.contains(other.toUtf8()));

  RunUninstall(Installed() + "/");
  EXPECT_TRUE(Reports.isEmpty()) << Reports.join('\n').toStdString();
  EXPECT_FALSE(QFileInfo::exists(Installed()));
  EXPECT_EQ(ReadFile(Desktop() + "/Pagelume.desktop"), desktopEntry);
  EXPECT_EQ(ReadFile(UninstallEntry()), uninstallEntry);
  EXPECT_EQ(QDir(Menu()).entryList(QDir::Files).size(), 3);
  EXPECT_TRUE(QFileInfo::exists(Metainfo()));
  EXPECT_TRUE(QFileInfo::exists(other + "/Dist/Pagelume"));
}

TEST_F(InstallTest, SystemPackageKeepsDataInShareAndSettingsInTheConfigFolder) {
  const QString usr = Root + "/usr";
  WriteFile(usr + "/bin/pagelume", "binary");
  WriteFile(usr + "/share/pagelume/Welcome.txt", "Welcome.\n");
  SetProgramDirOverride(usr + "/bin");
  EXPECT_EQ(DataDir(), usr + "/share/pagelume/");
  EXPECT_EQ(HelpFilePath(), usr + "/share/pagelume/Help.html");
  EXPECT_TRUE(IsSystemPackage());
  EXPECT_TRUE(SettingsDir().startsWith(Home + "/.config/")) << SettingsDir().toStdString();

  const auto before = Snapshot(Root);
  RunUninstall(usr + "/bin/", "pagelume");
  const QStringList warnings = BoxTexts(TMessageKind::Warning);
  ASSERT_EQ(warnings.size(), 1);
  EXPECT_TRUE(warnings[0].contains("package manager")) << warnings[0].toStdString();
  EXPECT_TRUE(warnings[0].contains("apt remove pagelume"));
  EXPECT_TRUE(Snapshot(Root) == before);

  // An unpacked or installed copy keeps its data beside the program.
  SetProgramDirOverride(Dist);
  EXPECT_EQ(DataDir(), Dist + "/");
  EXPECT_FALSE(IsSystemPackage());
}

TEST_F(InstallTest, WindowsOfBothModes) {
  QDir().mkpath(ProgramFiles);
  TInstallForm install(TInstallParams(), false, Dist, "Install");
  EXPECT_EQ(install.windowTitle(), "Install Pagelume");
  EXPECT_EQ(install.size(), QSize(400, 450));
  EXPECT_EQ(install.TitlePanel->text(), "Welcome to Pagelume");
  EXPECT_EQ(install.TitlePanel->font().pixelSize(), 30);
  EXPECT_TRUE(install.TitlePanel->font().bold() && install.TitlePanel->font().italic());
  EXPECT_EQ(install.DescriptionLabel->text(), "Pagelume");
  EXPECT_EQ(install.VersionLabel->text(), "Version 2.5.1, released on 24.10.2004");
  EXPECT_EQ(install.InstallButton->text(), "&Install");
  EXPECT_EQ(install.InstallButton->geometry(), QRect(120, 415, 75, 25));
  EXPECT_EQ(install.DirectoryEdit->geometry(), QRect(20, 380, 290, 23));
  EXPECT_TRUE(install.BrowseButton->isEnabled());
  // The readme is read as books are: this one is code page 1252.
  EXPECT_EQ(install.ReadmeMemo->toPlainText(), QString::fromUtf8("Café reader.\nSecond line.\n"));
  EXPECT_TRUE(install.ReadmeMemo->isReadOnly());

  // "&Browse" puts the chosen folder, with a separator, into the box.
  SetDialogExecHook([this](QDialog &dialog) {
    auto &files = static_cast<QFileDialog &>(dialog);
    EXPECT_EQ(files.directory().absolutePath().toStdString(), ProgramFiles.toStdString());
    files.selectFile(Root);
    return int(QDialog::Accepted);
  });
  install.BrowseButton->click();
  EXPECT_EQ(install.DirectoryEdit->text(), Root + "/");

  TInstallForm uninstall(TInstallParams(), true, Dist, "Pagelume");
  EXPECT_EQ(uninstall.windowTitle(), "Uninstall Pagelume");
  EXPECT_EQ(uninstall.TitlePanel->text(), "Bye from Pagelume");
  EXPECT_EQ(uninstall.InstallButton->text(), "Un&install");
  EXPECT_EQ(uninstall.DirectoryLabel->text(), "The following directory will be deleted:");
  EXPECT_EQ(uninstall.DirectoryEdit->text(), Dist + "/");
  EXPECT_FALSE(uninstall.BrowseButton->isEnabled());

  uninstall.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&uninstall));
  EXPECT_EQ(uninstall.focusWidget(), uninstall.ReadmeMemo);
  QTest::keyClick(&uninstall, Qt::Key_Escape);
  EXPECT_FALSE(uninstall.isVisible());
  EXPECT_TRUE(Boxes.isEmpty());
}

}  // namespace
