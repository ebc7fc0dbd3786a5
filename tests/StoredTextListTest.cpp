// The INI document, its typed reads and writes, and the load and save steps.
#include "StoredTextList.h"

#include "Dialogs.h"
#include "Error.h"
#include "File.h"
#include "Utilities.h"

#include <QDir>
#include <functional>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QByteArray ReadAll(const QString &path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

void WriteAll(const QString &path, const QByteArray &bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(bytes);
}

class StoredTextListTest : public ::testing::Test {
protected:
  void SetUp() override {
    FunStatContext.Reset();
    SetMessageBoxHandler([this](TMessageKind, const QString &text) {
      Questions << text;
      return Answer;
    });
  }
  void TearDown() override {
    SetMessageBoxHandler({});
    FunStatContext.Reset();
  }
  std::string Path(const char *name) const { return Dir.filePath(name).toStdString(); }

  QTemporaryDir Dir;
  QStringList Questions;
  bool Answer = false;
};

TEST(IniDocument, ReadsSectionsKeysAndValuesAsWritten) {
  TIniDocument doc;
  doc.Parse("stray=before any section\r\n"
            "; a comment\r\n"
            "[Main]\r\n"
            " Key = spaced value \r\n"
            "Name=first\r\n"
            "NAME=second\r\n"
            "no equals sign here\n"
            "Url=a=b=c\n"
            "\n"
            "[Other]\r"
            "x=1\r"
            "[main]\n"
            "Late=yes\n"
            "name=third\n");
  ASSERT_EQ(doc.Sections().size(), 2u);
  EXPECT_EQ(doc.Find("Main", "stray"), nullptr);
  ASSERT_NE(doc.Find("main", " Key "), nullptr);
  EXPECT_EQ(*doc.Find("MAIN", " Key "), " spaced value ");
  EXPECT_EQ(doc.Find("Main", "Key"), nullptr);  // nothing trimmed
  EXPECT_EQ(*doc.Find("Main", "name"), "first");
  EXPECT_EQ(*doc.Find("Main", "url"), "a=b=c");
  EXPECT_EQ(*doc.Find("other", "X"), "1");
  // A section named twice continues the first one.
  EXPECT_EQ(*doc.Find("Main", "Late"), "yes");
  EXPECT_EQ(doc.Find("Main", "no equals sign here"), nullptr);
}

TEST(IniDocument, WritesInFirstWrittenOrderWithCrLfAndAnEmptyLineAfterEachSection) {
  TIniDocument doc;
  doc.Set("B", "one", "1");
  doc.Set("A", "x", "");
  doc.Set("b", "two", "2");
  doc.Set("B", "ONE", "uno");  // replaces in place, keeps the first spelling
  EXPECT_EQ(doc.Text(), "[B]\r\none=uno\r\ntwo=2\r\n\r\n[A]\r\nx=\r\n\r\n");
  // A line break in a value cannot break the file into other keys.
  doc.Set("A", "x", "line\r\n[Evil]\nk=v");
  TIniDocument back;
  back.Parse(doc.Text());
  EXPECT_FALSE(back.HasSection("Evil"));
  EXPECT_EQ(*back.Find("A", "x"), "line  [Evil] k=v");
  EXPECT_EQ(back.Text(), doc.Text());
}

// Runs the step in a child process in which no file may grow beyond limit
// bytes, as on a full disk; the child's exit code.
int RunWithFileSizeLimit(rlim_t limit, const std::function<int()> &step) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    std::signal(SIGXFSZ, SIG_IGN);  // the write fails instead
    const struct rlimit size = {limit, limit};
    ::setrlimit(RLIMIT_FSIZE, &size);
    ::_exit(step());
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
}

TEST(IniDocument, CaseFoldingAndEncodings) {
  EXPECT_TRUE(SameTextNoCase("/home/Me/Bücher/ÉTÉ.txt", "/HOME/me/BÜCHER/été.TXT"));
  EXPECT_TRUE(SameTextNoCase("Война", "ВОЙНА"));
  EXPECT_FALSE(SameTextNoCase("a.txt", "a.txt "));
  EXPECT_FALSE(SameTextNoCase("ä", "a"));
  EXPECT_EQ(Utf8Length("Bücher"), 6u);

  EXPECT_EQ(SettingsBytesToText("\xEF\xBB\xBF[A]"), "[A]");
  EXPECT_EQ(SettingsBytesToText("caf\xC3\xA9"), "caf\xC3\xA9");
  // Not UTF-8: code page 1252, including its high range.
  EXPECT_EQ(SettingsBytesToText("caf\xE9 \x93q\x94 \x80"), "caf\xC3\xA9 \xE2\x80\x9Cq\xE2\x80\x9D \xE2\x82\xAC");
  EXPECT_FALSE(IsValidUtf8("\xC0\x80"));      // overlong
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));  // surrogate
  EXPECT_FALSE(IsValidUtf8("\xE2\x82"));      // cut short

  // Sections and keys are found in any letter case, and the first spelling stays.
  TIniDocument doc;
  doc.Parse("[\xC3\x89t\xC3\xA9]\r\nKey=1\r\nKEY=2\r\n[\xC3\x89T\xC3\x89]\r\nkey=3\r\n\xC3\x84=x\r\n");
  ASSERT_EQ(doc.Sections().size(), 1u);
  ASSERT_EQ(doc.Sections()[0].Entries.size(), 2u);
  EXPECT_EQ(*doc.Find("\xC3\xA9t\xC3\xA9", "kEy"), "1");
  EXPECT_EQ(*doc.Find("\xC3\x89T\xC3\x89", "\xC3\xA4"), "x");
  doc.Set("\xC3\xA9T\xC3\xA9", "\xC3\xA4", "y");
  EXPECT_EQ(doc.Text(), "[\xC3\x89t\xC3\xA9]\r\nKey=1\r\n\xC3\x84=y\r\n\r\n");
  EXPECT_EQ(doc.Find("\xC3\xA9t\xC3\xA9", "a"), nullptr);
}

TEST(StoredInteger, DecimalAndHexadecimalForms) {
  int32_t v = 0;
  EXPECT_TRUE(ParseStoredInteger("-42", v));
  EXPECT_EQ(v, -42);
  EXPECT_TRUE(ParseStoredInteger("$1F", v));
  EXPECT_EQ(v, 31);
  EXPECT_TRUE(ParseStoredInteger("0x10", v));
  EXPECT_EQ(v, 16);
  EXPECT_TRUE(ParseStoredInteger("$FFFFFFFF", v));
  EXPECT_EQ(v, -1);
  for (const char *bad : {"", "abc", "$", "0x", "$123456789", "12abc", "2147483648", "1.5", "$G"})
    EXPECT_FALSE(ParseStoredInteger(bad, v)) << bad;
}

TEST_F(StoredTextListTest, TypedReadsKeepTheValueUnlessTheTextIsAcceptable) {
  const std::string path = Path("a.ini");
  WriteAll(QString::fromStdString(path), "[S]\r\nEmpty=\r\nLong=abcdef\r\nUmlaut=äöü\r\nLower=true\r\nUpper=TRUE\r\n"
                                         "Abc=abc\r\nMin=1\r\nMax=20\r\nAbove=21\r\nHex=$A\r\nHex2=0x0B\r\n"
                                         "Stock=lIgHt gRaY\r\nIdent=clRed\r\nNum=255\r\n");
  TStoredTextList list(path);
  std::string s1 = "keep", s2 = "keep", s3 = "keep", s4 = "keep", s5 = "keep";
  bool b1 = true, b2 = false, b3 = true;
  int32_t i[7] = {5, 5, 5, 5, 5, 5, 5};
  uint32_t c1 = 0, c2 = 0, c3 = 0, c4 = 77;
  list.OnLoad = [&](TStoredTextList &l) {
    EXPECT_TRUE(l.Loading);
    l.ReadString("S", "Empty", s1, false, 259);
    l.ReadString("S", "Empty", s2, true, 259);
    l.ReadString("S", "Long", s3, false, 5);
    l.ReadString("S", "Umlaut", s4, false, 3);  // three characters, six bytes
    l.ReadString("S", "Missing", s5, true, 259);
    l.ReadBool("S", "Lower", b1);
    l.ReadBool("S", "Upper", b2);
    l.ReadBool("S", "Missing", b3);
    l.ReadInteger("S", "Abc", i[0], 1, 20);
    l.ReadInteger("S", "Min", i[1], 1, 20);
    l.ReadInteger("S", "Max", i[2], 1, 20);
    l.ReadInteger("S", "Above", i[3], 1, 20);
    l.ReadInteger("S", "Hex", i[4], 1, 20);
    l.ReadInteger("S", "Hex2", i[5], 1, 20);
    l.ReadInteger("S", "Missing", i[6], 1, 20);
    l.ReadColor("S", "Stock", c1);
    l.ReadColor("S", "Ident", c2);
    l.ReadColor("S", "Num", c3);
    l.ReadColor("S", "Missing", c4);
  };
  list.Modified = true;
  ASSERT_TRUE(list.Load());
  EXPECT_FALSE(list.Loading);
  EXPECT_FALSE(list.Modified);
  EXPECT_EQ(s1, "keep");
  EXPECT_EQ(s2, "");
  EXPECT_EQ(s3, "keep");
  EXPECT_EQ(s4, "äöü");
  EXPECT_EQ(s5, "keep");
  EXPECT_FALSE(b1);
  EXPECT_TRUE(b2);
  EXPECT_TRUE(b3);
  EXPECT_EQ(std::vector<int32_t>(i, i + 7), (std::vector<int32_t>{5, 1, 20, 5, 10, 11, 5}));
  EXPECT_EQ(c1, TextToColor("Light Gray"));
  EXPECT_EQ(c2, 0x0000FFu);
  EXPECT_EQ(c3, 255u);
  EXPECT_EQ(c4, 77u);
}

TEST_F(StoredTextListTest, MissingFileLoadsEmptyAndABadColourFailsTheLoad) {
  TStoredTextList missing(Path("none.ini"));
  int32_t value = 7;
  missing.OnLoad = [&](TStoredTextList &l) { l.ReadInteger("S", "K", value, 0, 100); };
  missing.Modified = true;
  EXPECT_TRUE(missing.Load());
  EXPECT_FALSE(missing.Modified);
  EXPECT_EQ(value, 7);
  EXPECT_TRUE(missing.HasDocument());
  EXPECT_FALSE(FunStatContext.Failed());
  EXPECT_FALSE(QFile::exists(QString::fromStdString(missing.FileName)));

  const std::string path = Path("bad.ini");
  WriteAll(QString::fromStdString(path), "[S]\r\nBefore=3\r\nColor=NotAColour\r\nAfter=4\r\n");
  TStoredTextList list(path);
  int32_t before = 0, after = 0;
  uint32_t color = 9;
  int failedCalls = 0;
  list.OnLoadFailed = [&] { ++failedCalls; };
  list.OnLoad = [&](TStoredTextList &l) {
    l.ReadInteger("S", "Before", before, 0, 10);
    l.ReadColor("S", "Color", color);
    l.ReadInteger("S", "After", after, 0, 10);
  };
  list.Modified = true;
  EXPECT_FALSE(list.Load());
  EXPECT_EQ(failedCalls, 1);
  EXPECT_EQ(before, 3);  // read before the failure
  EXPECT_EQ(color, 9u);
  EXPECT_EQ(after, 0);
  EXPECT_TRUE(list.Modified);  // left as it was
  EXPECT_FALSE(list.Loading);
  EXPECT_TRUE(FunStatContext.Failed());
  EXPECT_EQ(FunStatContext.Description, "Failed to load file.");
  EXPECT_EQ(FunStatContext.RaiseFunction, "TStoredTextList::Load");
  EXPECT_NE(FunStatContext.RaiseFile.find("StoredTextList"), std::string::npos);

  // A folder in place of the file cannot be read.
  FunStatContext.Reset();
  ASSERT_TRUE(QDir(Dir.path()).mkdir("folder.ini"));
  TStoredTextList folder(Path("folder.ini"));
  EXPECT_FALSE(folder.Load());
  EXPECT_EQ(FunStatContext.Description, "Failed to load file.");
}

TEST_F(StoredTextListTest, SavesUtf8WithoutMarkAndTwiceGivesTheSameBytes) {
  const std::string path = Path("s.ini");
  TStoredTextList list(path);
  ASSERT_TRUE(list.Load());
  int saves = 0;
  list.OnSave = [&](TStoredTextList &l) {
    ++saves;
    l.Clear();
    l.WriteBool("Main", "Flag", true);
    l.WriteInteger("Main", "Number", -5);
    l.WriteString("Main", "Path", "/home/me/Bücher/Été.txt");
    l.WriteColor("Colors", "Back", 0x00FF8040u);
  };
  ASSERT_TRUE(list.Save(false));
  EXPECT_FALSE(list.Modified);
  const QByteArray first = ReadAll(QString::fromStdString(path));
  EXPECT_EQ(first.toStdString(), "[Main]\r\nFlag=TRUE\r\nNumber=-5\r\nPath=/home/me/Bücher/Été.txt\r\n\r\n"
                                 "[Colors]\r\nBack=16744512\r\n\r\n");
  // The same bytes again: the file is left as it is (no new file renamed over it).
  auto inode = [&] {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_ino : ino_t(0);
  };
  const ino_t before = inode();
  ASSERT_TRUE(list.Load());
  list.Modified = true;
  ASSERT_TRUE(list.Save(false));
  EXPECT_FALSE(list.Modified);
  EXPECT_EQ(ReadAll(QString::fromStdString(path)), first);
  EXPECT_EQ(inode(), before);
  EXPECT_EQ(saves, 2);
  // A file of the same size but other bytes is replaced.
  QByteArray other = first;
  other.replace("Number=-5", "Number=-6");
  WriteAll(QString::fromStdString(path), other);
  ASSERT_TRUE(list.Save(false));
  EXPECT_EQ(ReadAll(QString::fromStdString(path)), first);

  // A file from an older copy in code page 1252 reads as the same text.
  const std::string old = Path("old.ini");
  WriteAll(QString::fromStdString(old), "[Main]\r\nPath=/home/me/B\xFC" "cher/\xC9t\xE9.txt\r\n");
  TStoredTextList oldList(old);
  std::string text;
  oldList.OnLoad = [&](TStoredTextList &l) { l.ReadString("Main", "Path", text, false, 259); };
  ASSERT_TRUE(oldList.Load());
  EXPECT_EQ(text, "/home/me/Bücher/Été.txt");
}

TEST_F(StoredTextListTest, OverwriteQuestionAndSaveAs) {
  const std::string a = Path("a.ini"), b = Path("b.ini");
  WriteAll(QString::fromStdString(a), "[S]\r\nK=from a\r\n");
  WriteAll(QString::fromStdString(b), "[S]\r\nK=from b\r\n");
  TStoredTextList list(a);
  ASSERT_TRUE(list.Load());
  list.WriteString("S", "K", "changed");

  Answer = false;
  EXPECT_FALSE(list.SaveAs(b, true));
  ASSERT_EQ(Questions.size(), 1);
  EXPECT_EQ(Questions[0], "File \"" + QString::fromStdString(b) + "\"already exists.\nOverwrite it?");
  EXPECT_FALSE(FunStatContext.Failed());  // no report for a refusal
  EXPECT_EQ(ReadAll(QString::fromStdString(a)), "[S]\r\nK=from a\r\n");
  EXPECT_EQ(ReadAll(QString::fromStdString(b)), "[S]\r\nK=from b\r\n");
  EXPECT_TRUE(list.Modified);

  Answer = true;
  EXPECT_TRUE(list.SaveAs(b, true));  // the values in memory move to the new file
  EXPECT_EQ(ReadAll(QString::fromStdString(b)), "[S]\r\nK=changed\r\n\r\n");
  EXPECT_EQ(list.FileName, b);

  // No question for a file that does not exist yet, nor without the flag.
  Questions.clear();
  EXPECT_TRUE(list.SaveAs(Path("c.ini"), true));
  EXPECT_TRUE(list.Save(false));
  EXPECT_TRUE(Questions.isEmpty());

  // A list with no document starts from the target file's contents.
  TStoredTextList fresh(a);
  EXPECT_TRUE(fresh.SaveAs(a, false));
  EXPECT_EQ(ReadAll(QString::fromStdString(a)), "[S]\r\nK=from a\r\n\r\n");
}

TEST_F(StoredTextListTest, AFailedSaveReportsAndLeavesTheOldFile) {
  // Without a document there is nothing to write.
  TStoredTextList none(Path("none.ini"));
  EXPECT_FALSE(none.Save(false));
  EXPECT_EQ(FunStatContext.Description, "Failed to save file.");
  EXPECT_EQ(FunStatContext.RaiseFunction, "TStoredTextList::Save");

  // A read-only target is made writable and replaced.
  const QString ro = Dir.filePath("ro.ini");
  WriteAll(ro, "old");
  ASSERT_EQ(::chmod(QFile::encodeName(ro).constData(), 0444), 0);
  TStoredTextList list(ro.toStdString());
  ASSERT_TRUE(list.Load());
  list.WriteString("S", "K", "new");
  FunStatContext.Reset();
  EXPECT_TRUE(list.Save(false));
  EXPECT_EQ(ReadAll(ro), "[S]\r\nK=new\r\n\r\n");

  // A target that is a folder.
  ASSERT_TRUE(QDir(Dir.path()).mkdir("dir.ini"));
  list.FileName = Path("dir.ini");
  EXPECT_FALSE(list.Save(false));
  EXPECT_EQ(FunStatContext.Description, "Failed to save file.");
  EXPECT_FALSE(FunStatContext.Param2.empty());  // the reason

  // A folder made read-only after the file exists.
  if (::geteuid() != 0) {
    const QString sub = Dir.filePath("locked");
    ASSERT_TRUE(QDir().mkdir(sub));
    list.FileName = (sub + "/a.ini").toStdString();
    FunStatContext.Reset();
    ASSERT_TRUE(list.Save(false));
    const QByteArray before = ReadAll(sub + "/a.ini");
    ::chmod(QFile::encodeName(sub).constData(), 0555);
    list.WriteString("S", "K", "newer and longer");
    EXPECT_FALSE(list.Save(false));
    EXPECT_EQ(FunStatContext.Description, "Failed to save file.");
    EXPECT_TRUE(list.Modified);
    EXPECT_EQ(ReadAll(sub + "/a.ini"), before);
    ::chmod(QFile::encodeName(sub).constData(), 0755);
  }

  // An exception inside the owner's writing fails the save before the file is touched.
  const QString kept = Dir.filePath("kept.ini");
  WriteAll(kept, "[S]\r\nK=kept\r\n\r\n");
  TStoredTextList throwing(kept.toStdString());
  ASSERT_TRUE(throwing.Load());
  throwing.OnSave = [](TStoredTextList &l) {
    l.Clear();
    throw std::runtime_error("owner failed");
  };
  FunStatContext.Reset();
  EXPECT_FALSE(throwing.Save(false));
  EXPECT_EQ(FunStatContext.Description, "Failed to save file.");
  EXPECT_EQ(ReadAll(kept), "[S]\r\nK=kept\r\n\r\n");

  // A write that breaks off half way (as on a full disk) leaves the old file and no stray file.
  throwing.OnSave = {};
  throwing.WriteString("S", "K", "replaced by a much longer value than before");
  TStoredTextList::MidWriteHook = [] { throw std::runtime_error("No space left on device"); };
  FunStatContext.Reset();
  EXPECT_FALSE(throwing.Save(false));
  TStoredTextList::MidWriteHook = {};
  EXPECT_EQ(FunStatContext.Description, "Failed to save file.");
  EXPECT_EQ(ReadAll(kept), "[S]\r\nK=kept\r\n\r\n");
  EXPECT_EQ(QDir(Dir.path()).entryList({"kept.ini*", ".pagelume-save-*"}, QDir::Files | QDir::Hidden).size(), 1);
}

TEST_F(StoredTextListTest, AFullDiskFailsTheSaveAndLeavesTheOldFileAndItsMode) {
  const QString path = Dir.filePath("full.ini");
  const QByteArray old = "[S]\r\nK=old\r\n\r\n";
  WriteAll(path, old);
  ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0444), 0);
  const int code = RunWithFileSizeLimit(100, [&] {
    TStoredTextList list(path.toStdString());
    if (!list.Load())
      return 2;
    list.WriteString("S", "K", std::string(3000, 'v'));  // small enough to sit in a write buffer
    FunStatContext.Reset();
    if (list.Save(false) || FunStatContext.Description != "Failed to save file.")
      return 3;
    // A writer that does not look at the result of its writes fails all the same.
    if (SaveFileSafely(path, [](QIODevice &device) {
          device.write(QByteArray(3000, 'w'));
          return true;
        }))
      return 4;
    return 0;
  });
  EXPECT_EQ(code, 0);
  EXPECT_EQ(ReadAll(path), old);
  struct stat st {};
  ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0444u);
  EXPECT_EQ(QDir(Dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"full.ini"}));
}

}  // namespace
