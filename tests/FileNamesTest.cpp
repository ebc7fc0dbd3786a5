// The file layer on unusual entries: names that are not UTF-8, named pipes,
// and hard links.
#include "Dialogs.h"
#include "Error.h"
#include "File.h"

#include <QTemporaryDir>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class FileNamesTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(Temp.isValid());
    Root = QByteArray(Temp.path().toUtf8()) + "/";
    SetMessageBoxHandler([this](TMessageKind, const QString &text) {
      Boxes.append(text);
      return false;
    });
    FunStatContext.Reset();
  }
  void TearDown() override {
    SetMessageBoxHandler(nullptr);
    FunStatContext.Reset();
  }
  // Creates a file by the bytes of its name.
  void Make(const QByteArray &relative, const QByteArray &content = "text") {
    const QByteArray path = Root + relative;
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0) << path.constData();
    ASSERT_EQ(::write(fd, content.constData(), size_t(content.size())), content.size());
    ::close(fd);
  }
  bool Exists(const QByteArray &relative) const {
    struct stat st;
    return ::lstat((Root + relative).constData(), &st) == 0;
  }
  QString Path(const QByteArray &relative) const { return DecodeFileName(Root + relative); }

  QTemporaryDir Temp;
  QByteArray Root;
  QStringList Boxes;
};

TEST(FileNameEncoding, EveryByteSequenceComesBackUnchanged) {
  const QByteArray names[] = {
      "plain.txt",
      "caf\xC3\xA9.txt",           // UTF-8 é
      "caf\xE9.txt",               // Latin-1 é
      "\xF0\x9F\x93\x96 book",     // a character beyond 16 bits
      "\xC0\xAF overlong",         // overlong "/"
      "\xED\xA0\x80 surrogate",    // an encoded surrogate
      "cut \xE2\x82",              // a sequence cut by the end
      "\xFF\xFE\x80",
  };
  for (const QByteArray &name : names)
    EXPECT_EQ(EncodeFileName(DecodeFileName(name)), name) << name.toHex().constData();
  EXPECT_EQ(DecodeFileName("caf\xC3\xA9"), QString::fromUtf8("caf\xC3\xA9"));
  EXPECT_EQ(DecodeFileName("caf\xE9"), QString("caf") + QChar(0xDCE9));
  // A lone surrogate that no byte stands for is written as a replacement.
  EXPECT_EQ(EncodeFileName(QString(QChar(0xD800))), "\xEF\xBF\xBD");
}

TEST_F(FileNamesTest, NameThatIsNotUtf8CanBeListedSizedCopiedAndDeleted) {
  ASSERT_EQ(::mkdir((Root + "dir").constData(), 0755), 0);
  Make("dir/caf\xE9.txt", "12345");
  TFileList dirs, files;
  int count = 0;
  ASSERT_TRUE(LoadFilesFromDir(Path("dir"), "*.txt", true, false, -1, &count, &dirs, &files));
  ASSERT_EQ(files.size(), 1);
  const QString listed = files[0].Text;
  EXPECT_TRUE(FileExists(listed));
  EXPECT_EQ(GetFileSize(listed), 5u);

  ASSERT_TRUE(CopyDeleteDirectory(Path("dir"), Path("copy"), true));
  EXPECT_TRUE(Exists("copy/caf\xE9.txt"));
  ASSERT_TRUE(MyRenameFile(listed, Path("dir/caf\xE9-2.txt"), false));
  EXPECT_TRUE(Exists("dir/caf\xE9-2.txt"));
  EXPECT_TRUE(MyDeleteFile(Path("dir/caf\xE9-2.txt")));
  EXPECT_FALSE(Exists("dir/caf\xE9-2.txt"));

  // A folder that holds such a name, in a folder that has one too.
  ASSERT_EQ(::mkdir((Root + "copy/sub\xE9").constData(), 0755), 0);
  Make("copy/sub\xE9/x\xE9");
  EXPECT_TRUE(DeleteDirectoryNoErrors(Path("copy")));
  EXPECT_FALSE(Exists("copy"));
  EXPECT_TRUE(Boxes.isEmpty());
}

TEST_F(FileNamesTest, CopyingATreeSkipsPipesWithANote) {
  ASSERT_EQ(::mkdir((Root + "src").constData(), 0755), 0);
  Make("src/a.txt", "a");
  ASSERT_EQ(::mkfifo((Root + "src/pipe").constData(), 0644), 0);
  // Reading the pipe would wait for a writer for ever.
  EXPECT_TRUE(CopyDeleteDirectory(Path("src"), Path("dst"), true));
  EXPECT_TRUE(Exists("dst/a.txt"));
  EXPECT_FALSE(Exists("dst/pipe"));
  EXPECT_EQ(FunStatContext.Status, fsWarning);
  EXPECT_EQ(FunStatContext.Description, "Skipped a file that is not a regular file.");
  EXPECT_EQ(FunStatContext.Param1, (Root + "src/pipe").toStdString());
  EXPECT_TRUE(Boxes.isEmpty());

  // Moving a tree takes the pipe along within one volume.
  EXPECT_TRUE(CopyDeleteDirectory(Path("src"), Path("moved"), false));
  EXPECT_TRUE(Exists("moved/pipe"));
  EXPECT_FALSE(Exists("src"));

  // A pipe is never read as a program or a DOS executable.
  EXPECT_FALSE(IsDosProgram(Path("moved/pipe")));
}

TEST_F(FileNamesTest, RenamingOntoAHardLinkOfTheSourceFails) {
  Make("a.txt", "a");
  ASSERT_EQ(::link((Root + "a.txt").constData(), (Root + "b.txt").constData()), 0);
  for (bool replace : {false, true}) {
    FunStatContext.Reset();
    EXPECT_FALSE(MyRenameFile(Path("a.txt"), Path("b.txt"), replace));
    EXPECT_EQ(FunStatContext.Description, "Failed to rename.");
    EXPECT_EQ(FunStatContext.Param2, (Root + "b.txt").toStdString());
    EXPECT_TRUE(Exists("a.txt"));
    EXPECT_TRUE(Exists("b.txt"));
  }
  // The same entry reached through another spelling is still a no-op success.
  EXPECT_TRUE(MyRenameFile(Path("a.txt"), DecodeFileName(Root + "./a.txt"), true));
  EXPECT_TRUE(Exists("a.txt"));
}

}  // namespace
