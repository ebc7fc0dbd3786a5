// The headless converter, run in this process.
#include "Converter.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <iostream>
#include <sstream>

#include "Program.h"

namespace {

class ConverterTest : public ::testing::Test {
protected:
  QTemporaryDir Dir;
  std::string Out, Err;
  std::streambuf *OutBuffer = nullptr;  // standard output's buffer for the next run; null: captured

  void SetUp() override { SetProgramDirOverride(Dir.path()); }
  void TearDown() override { SetProgramDirOverride(QString()); }

  int Run(std::vector<std::string> args) {
    args.insert(args.begin(), "Pagelume");
    std::vector<char *> argv;
    for (auto &a : args)
      argv.push_back(a.data());
    argv.push_back(nullptr);
    std::ostringstream out, err;
    auto *oldOut = std::cout.rdbuf(OutBuffer ? OutBuffer : out.rdbuf());
    auto *oldErr = std::cerr.rdbuf(err.rdbuf());
    int code = RunConverter(static_cast<int>(args.size()), argv.data());
    std::cout.rdbuf(oldOut);
    std::cerr.rdbuf(oldErr);
    Out = out.str();
    Err = err.str();
    return code;
  }

  std::string Path(const char *name) { return Dir.filePath(name).toStdString(); }
  std::string Write(const char *name, const QByteArray &bytes) {
    QFile file(Dir.filePath(name));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return Path(name);
  }
  QByteArray Read(const std::string &path) {
    QFile file(QString::fromStdString(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }
};

TEST_F(ConverterTest, RefusedInputsExitWithTheMessage) {
  EXPECT_EQ(Run({"--convert", Path("missing.txt"), Path("out.txt")}), 1);
  EXPECT_EQ(Err, "The book is not a valid text file, or it doesn't exist.\n");
  EXPECT_FALSE(QFile::exists(Dir.filePath("out.txt")));

  std::string book = Write("book.txt", "Text\n");
  EXPECT_EQ(Run({"--convert", book, Path("out.txt"), "--fast"}), 1);
  EXPECT_EQ(Err, "Unknown option: --fast (see --help).\n");
  EXPECT_EQ(Run({"--convert", book, Path("out.txt"), "--prefix", "Dots"}), 1);
  EXPECT_NE(Err.find("Unknown paragraph prefix"), std::string::npos);
  EXPECT_EQ(Run({"--convert", book, Path("out.doc")}), 1);
  EXPECT_EQ(Run({"--convert", book}), 1);
  EXPECT_EQ(Run({"--convert", book, Dir.filePath("no/such/dir/out.txt").toStdString()}), 1);
  EXPECT_EQ(Err.rfind("Failed to save.", 0), 0u);
  EXPECT_EQ(std::count(Err.begin(), Err.end(), '\n'), 1);

  EXPECT_EQ(Run({"--convert", Write("empty.txt", ""), Path("out.txt")}), 1);
  EXPECT_EQ(Err, "File is empty.\n");
}

TEST_F(ConverterTest, SmallBookConverts) {
  std::string book = Write("book.txt",
                           "Chapter 1 Morning\r\n\r\nThe sun rose over the hill and the\r\n"
                           "village woke up.\r\n\r\n^XYZ*\r\nThe end.\r\n");
  ASSERT_EQ(Run({"--convert", book, Path("out.txt"), "--chapters", "--prefix", "- "}), 0) << Err;
  EXPECT_EQ(Out, "Chapter 1 Morning\t0\n");
  EXPECT_NE(Err.find("XYZ"), std::string::npos);  // the faulty command is reported, the conversion goes on
  QByteArray text = Read(Path("out.txt"));
  EXPECT_TRUE(text.startsWith("Chapter 1 Morning\n\n- The sun rose over the hill and the village woke up.\n"))
      << text.toStdString();
  EXPECT_TRUE(text.contains("- The end.\n"));
  EXPECT_TRUE(text.contains("***** End of Book *****"));
  EXPECT_FALSE(text.contains('\r'));

  ASSERT_EQ(Run({"--convert", book, Path("plain.txt"), "--no-enhance"}), 0) << Err;
  EXPECT_TRUE(Read(Path("plain.txt")).startsWith("Chapter 1 Morning\n\nThe sun rose over the hill and the\n"));

  ASSERT_EQ(Run({"--convert", book, Path("out.rtf")}), 0) << Err;
  QByteArray rtf = Read(Path("out.rtf"));
  EXPECT_TRUE(rtf.startsWith("{\\rtf1"));
  EXPECT_TRUE(rtf.contains("village woke up."));

  EXPECT_EQ(Run({"--help"}), 0);
  EXPECT_NE(Out.find("--ignore-empty-lines"), std::string::npos);
}

TEST_F(ConverterTest, OutputThatIsTheBookItselfIsRefused) {
  const QByteArray original = "The only copy\r\nof a book.\r\n";
  std::string book = Write("book.txt", original);
  std::string rtf = Write("book.rtf", "{\\rtf1 The only copy.}");
  ASSERT_TRUE(QFile::link(Dir.filePath("book.txt"), Dir.filePath("link.txt")));
  ASSERT_EQ(::link(book.c_str(), Path("hard.txt").c_str()), 0);
  ASSERT_TRUE(QDir(Dir.path()).mkdir("sub"));
  for (const std::string &output :
       {book, Path("link.txt"), Path("hard.txt"), Path("sub/../book.txt"), Path("./book.txt")}) {
    EXPECT_EQ(Run({"--convert", book, output}), 1) << output;
    EXPECT_EQ(Err, "The output is the book itself: " + output + "\n");
    EXPECT_EQ(Read(book), original) << output;
  }
  EXPECT_EQ(Run({"--convert", rtf, rtf}), 1);
  EXPECT_EQ(Read(rtf), "{\\rtf1 The only copy.}");
  // Through a link the other way round, too.
  EXPECT_EQ(Run({"--convert", Path("link.txt"), book}), 1);
  EXPECT_EQ(Read(book), original);
}

// Runs with files limited to a few kilobytes, as on a disk that fills up.
class TFileSizeLimit {
public:
  explicit TFileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &Old);
    OldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = Old;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~TFileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &Old);
    std::signal(SIGXFSZ, OldHandler);
  }

private:
  rlimit Old{};
  void (*OldHandler)(int) = nullptr;
};

TEST_F(ConverterTest, FailedWriteKeepsTheOldOutput) {
  QByteArray text;
  for (int i = 0; i < 3000; ++i)
    text += "A line of the book that goes on for a while, number " + QByteArray::number(i) + ".\r\n\r\n";
  std::string book = Write("big.txt", text);
  for (const char *name : {"old.txt", "old.rtf"}) {
    std::string output = Write(name, "the previous output");
    int code;
    {
      TFileSizeLimit limit(16384);
      code = Run({"--convert", book, output});
    }
    EXPECT_EQ(code, 1) << name;
    EXPECT_EQ(Read(output), "the previous output") << name;
    EXPECT_EQ(Err, "Failed to save. " + std::string(name[4] == 't' ? "Failed to save text." : "Failed to save RTF.") +
                       " File too large. (" + output + ")\n");
  }
  // Nothing is left beside the outputs.
  EXPECT_EQ(QDir(Dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 3);
}

// A stream that takes nothing, like a full disk.
class TFullStream : public std::streambuf {
protected:
  int overflow(int) override { return traits_type::eof(); }
  std::streamsize xsputn(const char *, std::streamsize) override { return 0; }
};

TEST_F(ConverterTest, StandardOutputThatTakesNothingFails) {
  TFullStream full;
  OutBuffer = &full;
  std::string book = Write("book.txt", "Chapter 1 Morning\r\n\r\nText.\r\n");
  EXPECT_EQ(Run({"--help"}), 1);
  EXPECT_EQ(Err.rfind("Failed to write to standard output", 0), 0u) << Err;
  EXPECT_EQ(Run({"--convert", book, Path("out.txt"), "--chapters"}), 1);
  EXPECT_EQ(Err.rfind("Failed to write to standard output", 0), 0u) << Err;
  // Without --chapters nothing goes there and nothing fails.
  EXPECT_EQ(Run({"--convert", book, Path("out.txt")}), 0) << Err;
  OutBuffer = nullptr;
}

TEST_F(ConverterTest, ErrorsTellWhy) {
  std::string book = Write("book.txt", "Text\n");
  EXPECT_EQ(Run({"--convert", book, Path("no/such/dir/out.txt")}), 1);
  EXPECT_EQ(Err, "Failed to save. Failed to save text. No such file or directory. (" + Path("no/such/dir/out.txt") +
                     ")\n");
  std::string notRtf = Write("not.rtf", "plain words");
  EXPECT_EQ(Run({"--convert", notRtf, Path("out.txt")}), 1);
  EXPECT_EQ(Err, "Failed to load book. Failed to load RTF. The file does not begin with an RTF group. (" + notRtf +
                     ")\n");
  std::string deep = Write("deep.rtf", "{\\rtf1 " + QByteArray(300, '{') + "x" + QByteArray(301, '}'));
  EXPECT_EQ(Run({"--convert", deep, Path("out.txt")}), 1);
  EXPECT_NE(Err.find("Groups are nested too deeply."), std::string::npos) << Err;
  if (geteuid() != 0) {  // the superuser reads whatever the permissions say
    std::string locked = Write("locked.txt", "Text\n");
    QFile::setPermissions(QString::fromStdString(locked), QFileDevice::Permissions());
    EXPECT_EQ(Run({"--convert", locked, Path("out.txt")}), 1);
    EXPECT_EQ(Err, "Failed to load book. Failed to load. Permission denied. (" + locked + ")\n");
  }
}

}  // namespace
