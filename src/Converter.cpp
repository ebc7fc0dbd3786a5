// The headless converter:
//   Pagelume --convert BOOK OUTPUT [--prefix NAME] [--poorly-written]
//            [--ignore-empty-lines] [--no-enhance] [--chapters]
// opens BOOK whole through the same loader as the window (same checks and
// messages, no confirmation question) into a reading box that is never on a
// screen, and writes OUTPUT as plain text or rich text by its extension.
#include "Converter.h"

#include <QApplication>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "BookLoader.h"
#include "BookRecord.h"
#include "BookText.h"
#include "Dialogs.h"
#include "EnhancedRTF.h"
#include "Error.h"
#include "RTF.h"

#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char *HelpText =
    "Usage: Pagelume [BOOK]\n"
    "       Pagelume --convert BOOK OUTPUT [options]\n"
    "       Pagelume --version\n"
    "\n"
    "Without options the reader opens BOOK (a \".txt\" or \".rtf\" file).\n"
    "\n"
    "--convert opens BOOK whole, as the reader shows it, without a window, and\n"
    "writes OUTPUT by its extension:\n"
    "  .txt  the text, one line per paragraph, UTF-8, each line ended by \"\\n\"\n"
    "  .rtf  rich text with the formats of the reading box\n"
    "\n"
    "Options of --convert:\n"
    "  --prefix NAME          paragraph prefix of an enhanced plain text: None (the\n"
    "                         default), Tab, Blanks, \"- \", \"* \" or \"\xC2\xB7 \"\n"
    "  --poorly-written       the text is poorly written: a line that starts with a\n"
    "                         capital after the end of a sentence starts a paragraph\n"
    "  --ignore-empty-lines   ignore the first empty line after paragraphs\n"
    "  --no-enhance           put a plain text in unchanged, one paragraph a line\n"
    "  --chapters             print the chapters found: caption, a tab, position\n"
    "  --help                 show this help\n"
    "\n"
    "A refused or unreadable book, an unknown option or an unwritable output\n"
    "prints the reason on standard error and ends with exit code 1. Warnings about\n"
    "faulty formatting commands in the book go to standard error and do not stop\n"
    "the conversion.\n";

struct TConvertOptions {
  std::string Book, Output, Prefix = "None";
  bool PoorlyWritten = false, IgnoreEmptyLines = false, Enhance = true, Chapters = false, Help = false;
};

// One line of standard error.
void PrintLine(std::string text) {
  for (char &c : text)
    if (c == '\n' || c == '\r')
      c = ' ';
  std::cerr << text << std::endl;
}

bool EndsWithNoCase(const std::string &text, const std::string &suffix) {
  return QString::fromStdString(text).endsWith(QString::fromStdString(suffix), Qt::CaseInsensitive);
}

// False with the message printed when the command line is wrong.
bool ParseArguments(int argc, char **argv, TConvertOptions &options) {
  std::vector<std::string> positional;
  bool convert = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--help" || arg == "-h")
      options.Help = true;
    else if (arg == "--convert")
      convert = true;
    else if (arg == "--poorly-written")
      options.PoorlyWritten = true;
    else if (arg == "--ignore-empty-lines")
      options.IgnoreEmptyLines = true;
    else if (arg == "--no-enhance")
      options.Enhance = false;
    else if (arg == "--chapters")
      options.Chapters = true;
    else if (arg == "--prefix") {
      if (i + 1 >= argc) {
        PrintLine("The option --prefix needs a value: None, Tab, Blanks, \"- \", \"* \" or \"\xC2\xB7 \".");
        return false;
      }
      options.Prefix = argv[++i];
      static const char *valid[] = {"None", "Tab", "Blanks", "- ", "* ", "\xC2\xB7 "};
      bool known = false;
      for (const char *v : valid)
        known = known || options.Prefix == v;
      if (!known) {
        PrintLine("Unknown paragraph prefix \"" + options.Prefix +
                  "\": use None, Tab, Blanks, \"- \", \"* \" or \"\xC2\xB7 \".");
        return false;
      }
    } else if (arg.size() > 1 && arg[0] == '-') {
      PrintLine("Unknown option: " + arg + " (see --help).");
      return false;
    } else
      positional.push_back(arg);
  }
  if (options.Help)
    return true;
  if (!convert) {
    PrintLine("Use --convert BOOK OUTPUT (see --help).");
    return false;
  }
  if (positional.size() != 2) {
    PrintLine("--convert needs a book and an output file (see --help).");
    return false;
  }
  options.Book = positional[0];
  options.Output = positional[1];
  if (!EndsWithNoCase(options.Output, ".txt") && !EndsWithNoCase(options.Output, ".rtf")) {
    PrintLine("The output must be a \".txt\" or \".rtf\" file: " + options.Output);
    return false;
  }
  return true;
}

// Keeps the toolkit's own diagnostics off standard error, which carries only
// the program's messages; restores the previous handler when it ends.
class TQuietToolkit {
public:
  TQuietToolkit() : Previous(qInstallMessageHandler(Handler)) {}
  ~TQuietToolkit() { qInstallMessageHandler(Previous); }

private:
  QtMessageHandler Previous;
  static void Handler(QtMsgType type, const QMessageLogContext &, const QString &message) {
    if (type == QtFatalMsg)
      PrintLine(message.toStdString());
  }
};

// Message boxes and error reports go to standard error while the converter runs.
class TConsoleReports {
public:
  TConsoleReports() {
    SetMessageBoxHandler([this](TMessageKind kind, const QString &text) {
      if (kind == TMessageKind::Query)
        return true;  // a book named on the command line opens without a question
      Report(text.toStdString());
      return false;
    });
    SetShowErrorHandler([this](const TFunStatContext &context, const std::string &description, bool *) {
      Report(OneLine(context, description));
      return true;
    });
  }
  ~TConsoleReports() {
    SetMessageBoxHandler({});
    SetShowErrorHandler({});
  }
  // The description, the failure, why it failed and the file it concerns.
  static std::string OneLine(const TFunStatContext &context, const std::string &description) {
    std::string text = description;
    if (!context.Description.empty() && context.Description != description)
      text += (text.empty() ? "" : " ") + context.Description;
    std::string reason;
    if (context.SysErrorCode != 0)
      reason = SysErrorDescription(context.SysErrorCode);
    else if (context.Description.rfind("Unhandled", 0) != 0)  // there Parameter 2 is a line number
      reason = context.Param2;
    if (!reason.empty()) {
      if (reason.back() != '.')
        reason += '.';
      text += " " + reason;
    }
    if (!context.Param1.empty())
      text += " (" + context.Param1 + ")";
    return text;
  }
  void Report(const std::string &text) {
    PrintLine(text);
    Reported = true;
  }
  bool Reported = false;
};

// Whether two names lead to the same file (links and other spellings of the
// path included). A name that does not exist is no file yet.
bool SameFile(const std::string &a, const std::string &b) {
  struct stat sa, sb;
  if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0)
    return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

// Set when the caller started the converter with standard output closed.
bool StandardOutputClosed = false;

// A closed standard output or error gets /dev/null, so that no file opened
// later takes its descriptor and receives what was meant for the stream.
void GuardStandardStreams() {
  for (int fd : {1, 2}) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
      continue;
    if (fd == 1)
      StandardOutputClosed = true;
    int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (null >= 0 && null != fd) {
      ::dup2(null, fd);
      ::close(null);
    }
  }
}

// Flushes standard output; false with the reason printed when what was
// written there did not arrive (a full disk, a closed stream).
bool StandardOutputWritten() {
  errno = 0;
  bool ok = bool(std::cout.flush());
  if (std::fflush(stdout) != 0 || std::ferror(stdout))
    ok = false;
  int code = errno;
  if (StandardOutputClosed) {
    ok = false;
    code = EBADF;
  }
  if (!ok) {
    std::cout.clear();
    std::clearerr(stdout);
    PrintLine(std::string("Failed to write to standard output") +
              (code ? std::string(": ") + std::strerror(code) : std::string()) + ".");
  }
  return ok;
}

int Convert(const TConvertOptions &options) {
  TConsoleReports reports;
  const bool rtfOutput = EndsWithNoCase(options.Output, ".rtf");
  // The box is never on a screen: inside a hidden holder, the loader's show
  // lays out no first page (and loads no fonts) for nothing.
  QWidget holder;
  TRichEdit box(&holder);
  // Plain text wants the text alone: no document, no formats.
  box.SetTextOnly(!rtfOutput);
  TEnhancedRichEdit engine;
  engine.RichBox = &box;
  // An enhanced plain-text book goes from the engine into a record, written
  // out without a document; an RTF book, or a plain one put in unchanged,
  // goes into the box.
  TBookRecord record(box, !rtfOutput);
  const bool recorded = options.Enhance && !HasRtfExtension(options.Book);
  if (recorded)
    engine.RichBox = &record;
  engine.WarningHandler = [](const std::string &text) { PrintLine(text); };

  TBookLoaderHost host;
  host.OpenInPieces = [] { return false; };
  host.EnhanceText = [&] { return options.Enhance; };
  host.ParagraphPrefixText = [&] { return options.Prefix; };
  host.IgnoreEmptyLines = [&] { return options.IgnoreEmptyLines; };
  host.PoorlyWritten = [&] { return options.PoorlyWritten; };
  TBookLoader loader(&box, &engine, host);

  if (!loader.OpenBook(QString::fromStdString(options.Book), false)) {
    if (!reports.Reported)
      reports.Report(FailedToLoadBookText);
    return 1;
  }
  if (options.Chapters) {
    for (const auto &chapter : engine.ChaptersMenu)
      std::cout << TEnhancedRichEdit::ToUtf8(chapter.Caption) << '\t' << chapter.Tag << '\n';
    if (!StandardOutputWritten())
      return 1;
  }

  QString output = QString::fromStdString(options.Output);
  FunStatContext.Reset();
  const bool saved = recorded ? (rtfOutput ? record.SaveRtf(output) : record.SaveText(output))
                              : (rtfOutput ? box.SaveRtf(output) : box.SaveText(output));
  if (!saved) {
    TFunStatContext failure = FunStatContext;
    if (!failure.Failed())
      failure.Reset();
    failure.Param1 = options.Output;
    reports.Report(TConsoleReports::OneLine(failure, "Failed to save."));
    return 1;
  }
  return 0;
}

}  // namespace

int RunConverter(int argc, char **argv) {
  GuardStandardStreams();
  TConvertOptions options;
  if (!ParseArguments(argc, argv, options))
    return 1;
  if (options.Help) {
    std::cout << HelpText;
    return StandardOutputWritten() ? 0 : 1;
  }
  if (SameFile(options.Book, options.Output)) {
    PrintLine("The output is the book itself: " + options.Output);
    return 1;
  }
  // The book's large buffers go straight to the system and back when freed:
  // they grow without copies and the peak memory stays near one copy of it.
  mallopt(M_MMAP_THRESHOLD, 256 * 1024);
  TQuietToolkit quiet;
  std::unique_ptr<QApplication> app;
  static int qtArgc = 1;
  static char *qtArgv[] = {const_cast<char *>("Pagelume"), nullptr};
  if (!QCoreApplication::instance()) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    app = std::make_unique<QApplication>(qtArgc, qtArgv);
  }
  return Convert(options);
}
