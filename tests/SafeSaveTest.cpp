// Replacing a file safely and choosing the folder that keeps the settings.
#include "File.h"
#include "Program.h"

#include <QDir>
#include <QFile>
#include <QIODevice>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray ReadAll(const QString &path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

TEST(SafeSave, ReplacesWholeAndKeepsOldFileWhenTheWriteFails) {
  QTemporaryDir temp;
  const QString path = temp.path() + "/a.ini";
  ASSERT_TRUE(SaveFileSafely(path, QByteArray("first")));
  EXPECT_EQ(ReadAll(path), "first");
  ASSERT_TRUE(SaveFileSafely(path, QByteArray("second, longer")));
  EXPECT_EQ(ReadAll(path), "second, longer");

  // A writer that gives up half way leaves the old file and no stray files.
  QString reason;
  EXPECT_FALSE(SaveFileSafely(
      path,
      [](QIODevice &device) {
        device.write("partial");
        return false;
      },
      &reason));
  EXPECT_FALSE(reason.isEmpty());
  EXPECT_EQ(ReadAll(path), "second, longer");
  EXPECT_EQ(QDir(temp.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);

  // A read-only target is still replaced.
  ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0444), 0);
  EXPECT_TRUE(SaveFileSafely(path, QByteArray("third")));
  EXPECT_EQ(ReadAll(path), "third");
}

TEST(SafeSave, RefusesWithAReasonWhereNothingCanBeWritten) {
  QTemporaryDir temp;
  QString reason;
  // A target that is a folder.
  ASSERT_TRUE(QDir(temp.path()).mkdir("dir"));
  EXPECT_FALSE(SaveFileSafely(temp.path() + "/dir", QByteArray("x"), &reason));
  EXPECT_FALSE(reason.isEmpty());
  // A folder that does not exist.
  EXPECT_FALSE(SaveFileSafely(temp.path() + "/missing/a.ini", QByteArray("x"), &reason));
  if (::geteuid() != 0) {
    // A folder made read-only after the file exists: the old file stays.
    const QString path = temp.path() + "/ro/a.ini";
    ASSERT_TRUE(QDir(temp.path()).mkdir("ro"));
    ASSERT_TRUE(SaveFileSafely(path, QByteArray("old")));
    ::chmod(QFile::encodeName(temp.path() + "/ro").constData(), 0555);
    EXPECT_FALSE(SaveFileSafely(path, QByteArray("new")));
    EXPECT_EQ(ReadAll(path), "old");
    ::chmod(QFile::encodeName(temp.path() + "/ro").constData(), 0755);
  }
}

mode_t ModeOf(const QString &path, bool follow = true) {
  struct stat st {};
  const QByteArray name = QFile::encodeName(path);
  if ((follow ? ::stat(name.constData(), &st) : ::lstat(name.constData(), &st)) != 0)
    return 0;
  return st.st_mode;
}

TEST(SafeSave, KeepsPermissionsFollowsLinksAndReplacesOnlyRegularFiles) {
  QTemporaryDir temp;
  const QString path = temp.filePath("a.ini");
  ASSERT_TRUE(SaveFileSafely(path, QByteArray("old")));
  ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0640), 0);
  ASSERT_TRUE(SaveFileSafely(path, QByteArray("new")));
  EXPECT_EQ(ModeOf(path) & 07777, 0640u);
  // A read-only file is replaced by a writable one, otherwise alike.
  ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0444), 0);
  ASSERT_TRUE(SaveFileSafely(path, QByteArray("newer")));
  EXPECT_EQ(ModeOf(path) & 07777, 0644u);

  // A chain of links is written through: the links stay, the file at the end changes.
  const QString link = temp.filePath("link.ini"), link2 = temp.filePath("link2.ini");
  ASSERT_TRUE(QFile::link("a.ini", link));
  ASSERT_TRUE(QFile::link(link, link2));
  ASSERT_TRUE(SaveFileSafely(link2, QByteArray("through")));
  EXPECT_TRUE(S_ISLNK(ModeOf(link2, false)));
  EXPECT_TRUE(S_ISLNK(ModeOf(link, false)));
  EXPECT_EQ(ReadAll(path), "through");

  // A pipe, and a link to one, is never replaced by a file.
  const QString fifo = temp.filePath("fifo.ini"), toFifo = temp.filePath("to-fifo.ini");
  ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
  ASSERT_TRUE(QFile::link(fifo, toFifo));
  QString reason;
  EXPECT_FALSE(SaveFileSafely(fifo, QByteArray("x"), &reason));
  EXPECT_FALSE(reason.isEmpty());
  EXPECT_FALSE(SaveFileSafely(toFifo, QByteArray("x")));
  EXPECT_TRUE(S_ISFIFO(ModeOf(fifo, false)));
  EXPECT_TRUE(S_ISLNK(ModeOf(toFifo, false)));
  EXPECT_EQ(QDir(temp.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot).size(), 5);
}

TEST(SafeSave, StaleTemporaryFilesOfKilledSavesAreRemoved) {
  QTemporaryDir temp;
  auto make = [&](const QString &name) {
    QFile f(temp.filePath(name));
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("partial");
  };
  const QStringList stale = {".pagelume-save-a1B2c3", ".pagelume-copy-Zz9yY8", "Pagelume.ini.QwErTy"};
  const QStringList kept = {"Pagelume.ini.backup", "Pagelume.ini.Ab1", ".pagelume-save-", "other.txt.QwErTy",
                            ".pagelume-save-HeLd01"};
  for (const QString &name : stale + kept)
    make(name);
  // A save still running in another process holds its file.
  const int held = ::open(QFile::encodeName(temp.filePath(".pagelume-save-HeLd01")).constData(), O_RDONLY);
  ASSERT_GE(held, 0);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);
  ASSERT_TRUE(SaveFileSafely(temp.filePath("Pagelume.ini"), QByteArray("settings")));
  ::close(held);
  QStringList left = QDir(temp.path()).entryList(QDir::Files | QDir::Hidden);
  left.sort();
  QStringList expected = kept + QStringList{"Pagelume.ini"};
  expected.sort();
  EXPECT_EQ(left, expected);
}

TEST(SettingsFolder, ProgramFolderWhenWritableElseConfigFolder) {
  QTemporaryDir temp;
  const QString program = temp.path() + "/prog";
  const QString config = temp.path() + "/config/Pagelume";
  ASSERT_TRUE(QDir().mkpath(program));
  EXPECT_EQ(ChooseSettingsDir(program, config), program + "/");
  EXPECT_FALSE(QDir(config).exists());
  // A program folder that does not exist (or cannot take a file) gives the
  // configuration folder, created on demand.
  EXPECT_EQ(ChooseSettingsDir(temp.path() + "/nowhere", config), config + "/");
  EXPECT_TRUE(QDir(config).exists());
  if (::geteuid() != 0) {
    ::chmod(QFile::encodeName(program).constData(), 0555);
    EXPECT_EQ(ChooseSettingsDir(program, config), config + "/");
    ::chmod(QFile::encodeName(program).constData(), 0755);
  }
}

}  // namespace
