// Replacing a file safely and choosing the folder that keeps the settings.
#include "File.h"
#include "Program.h"

#include <QDir>
#include <QFile>
#include <QIODevice>
#include <QTemporaryDir>

#include <gtest/gtest.h>
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
