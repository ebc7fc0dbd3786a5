// The headless converter, run in this process.
#include "Converter.h"

#include <QFile>
#include <algorithm>
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

  void SetUp() override { SetProgramDirOverride(Dir.path()); }
  void TearDown() override { SetProgramDirOverride(QString()); }

  int Run(std::vector<std::string> args) {
    args.insert(args.begin(), "Pagelume");
    std::vector<char *> argv;
    for (auto &a : args)
      argv.push_back(a.data());
    argv.push_back(nullptr);
    std::ostringstream out, err;
    auto *oldOut = std::cout.rdbuf(out.rdbuf());
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

}  // namespace
