// The reading box in the main window, on a long book and on a book of the
// largest size allowed, opened whole: the time from the open command to the
// first page shown, the longest stall of the event loop, format changes (line
// spacing, zoom, font size, margins), the largest formats with Ctrl+End, and
// the peak memory. Each figure is printed with its target.
//
//   ReadingBoxBench [--timeout S] [--only TEXT] [BOOKS_DIR]
//       (defaults: 60 s per case, every case, /work/shared/books)
//
// The main window is 1920 x 1080 on the offscreen platform, or on the X
// server of DISPLAY when it is set. Every case runs in a child process of its
// own (the same program with --case), with its own TMPDIR and program folder,
// and is killed when it passes the time limit: it is then reported as
// "> S s (killed)". The long book is War and Peace (2600-0.txt); the big one
// is made of the UTF-8 sample books repeated, cut at a line end at about
// 20,000,000 bytes.
//
// How the figures are taken:
// - page shown: the end of the first paint of the reading box's viewport
//   after the command, with the box visible and text in it; when the command leaves no paint
//   pending, a repaint is forced 100 ms after it returned;
// - stall: a 5 ms timer records the largest gap between its ticks, from the
//   command until the line count is complete and at least 1.1 s after the
//   page was shown (the information label is refreshed once a second). A box
//   that counts lines in the background says when the count is complete; for
//   one that does not, the count is complete when LineCount() returns. The
//   heartbeat also ticks inside a command that gives the event loop turns of
//   its own (a long load), so a command that never does shows as one gap;
// - top line kept: the line at the top before the change still holds the
//   first character of the old top line after it.
//
// The open and format-change cases run with "Hyphenate words" on (the
// default) and off. The "wide gaps" case opens War and Peace in a 1024 x 768
// window at the default profile, lays out every paragraph at the reading
// box's width without and with hyphenation, and prints the share of
// justified lines (the last line of each paragraph left out) whose gaps
// between words are more than twice a space.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "Dialogs.h"
#include "Error.h"
#include "FormatOptions.h"
#include "Hyphenator.h"
#include "PagelumeDialog.h"
#include "Program.h"
#include "RTF.h"

namespace {

constexpr double PaintFallbackMs = 100;  // idle time after a command before a repaint is forced

// ---- The box's optional background line count ----

template <class Box> bool LinesCountedOf(Box *box) {
  if constexpr (requires(Box *b) { b->LinesCounted(); })
    return box->LinesCounted();
  else
    return true;
}

template <class Box> constexpr bool CountsInBackground() {
  return requires(Box *b) { b->LinesCounted(); };
}

// Rich position of the top line's start.
template <class Box> int32_t TopPositionOf(Box *box) {
  if constexpr (requires(Box *b) { b->TopPosition(); })
    return box->TopPosition();
  else
    return box->LineStart(box->TopLine());
}

double Seconds(qint64 ns) { return ns / 1e9; }

QString Snippet(const std::u16string &text) {
  QString s = QString::fromStdU16String(text);
  s.replace(QRegularExpression("[\\r\\n\\t]+"), " ");
  return s;
}

// ---- Measuring ----

// The main window under test and the clocks around it.
class TProbe : public QObject {
public:
  explicit TProbe(TPagelumeForm &form) : Form(form) {
    Clock.start();
    Heart.setTimerType(Qt::PreciseTimer);
    Heart.setInterval(5);
    connect(&Heart, &QTimer::timeout, this, [this] { Beat(); });
    Form.RichEdit->viewport()->installEventFilter(this);
  }

  qint64 Now() const { return Clock.nsecsElapsed(); }

  // The stall meter.
  void StartStalls() {
    Longest = 0;
    Last = Now();
    Heart.start();
  }
  void Beat() {
    const qint64 now = Now();
    Longest = std::max(Longest, now - Last);
    Last = now;
  }
  double StopStalls() {
    Beat();
    Heart.stop();
    return Seconds(Longest);
  }

  // Runs a command and waits for the page shown after it; answers the time
  // from the call to the end of that paint (seconds) and sets CallTime.
  double TimeToPage(const std::function<void()> &command) {
    PaintedAt = -1;
    Armed = true;
    const qint64 start = Now();
    command();
    const qint64 returned = Now();
    CallTime = Seconds(returned - start);
    LongestCall = std::max(LongestCall, CallTime);
    while (PaintedAt < 0 && Seconds(Now() - returned) * 1000 < PaintFallbackMs)
      Spin();
    if (PaintedAt < 0)
      Form.RichEdit->viewport()->repaint();
    Armed = false;
    return PaintedAt < 0 ? -1 : Seconds(PaintedAt - start);
  }

  // Keeps the event loop running at least minSeconds and until the line count
  // is complete (when the box counts in the background); then, for a box that
  // does not, times LineCount(). Answers the time the count was complete.
  double WaitForLineCount(double minSeconds, qint64 since) {
    const qint64 start = Now();
    while (Seconds(Now() - start) < minSeconds || !LinesCountedOf(Form.RichEdit))
      Spin();
    if constexpr (!CountsInBackground<TRichEdit>()) {
      const qint64 before = Now();
      Form.RichEdit->LineCount();
      LongestCall = std::max(LongestCall, Seconds(Now() - before));
    }
    return Seconds(Now() - since);
  }

  double CallTime = 0, LongestCall = 0;

private:
  // One turn of the event loop; sleeps until the next event (the heartbeat
  // wakes it every 5 ms), so that the benchmark does not take a core from
  // work the box does on another thread.
  void Spin() {
    if (!Heart.isActive())
      Heart.start();
    QApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }

protected:
  bool eventFilter(QObject *watched, QEvent *event) override {
    if (Armed && event->type() == QEvent::Paint && Form.RichEdit->isVisible() && Form.RichEdit->TextLength() > 0) {
      // Paint now, then take the time: the page is shown at the end of the paint.
      Armed = false;
      QCoreApplication::sendEvent(watched, event);
      PaintedAt = Now();
      return true;
    }
    return QObject::eventFilter(watched, event);
  }

private:
  TPagelumeForm &Form;
  QElapsedTimer Clock;
  QTimer Heart;
  qint64 Longest = 0, Last = 0, PaintedAt = -1;
  bool Armed = false;
};

void Say(const char *format, auto... values) {
  std::printf(format, values...);
  std::fflush(stdout);
}

QString Fig(double seconds) { return seconds < 0 ? QString("no paint") : QString::asprintf("%.3f s", seconds); }

long PeakKb(const char *field) {
  QFile status("/proc/self/status");
  if (!status.open(QIODevice::ReadOnly))
    return -1;
  for (const QByteArray &line : status.readAll().split('\n'))
    if (line.startsWith(field))
      return line.mid(int(strlen(field))).trimmed().split(' ').first().toLong();
  return -1;
}

bool ChooseValue(QComboBox *box, const QString &value) {
  const int index = box->findText(value);
  if (index >= 0)
    box->setCurrentIndex(index);
  else if (box->isEditable())
    box->setEditText(value);
  else
    return false;
  return true;
}

// ---- The cases (run in the child) ----

struct TChild {
  TPagelumeForm *Form;
  TProbe *Probe;
  QString Label;  // "War and Peace" or "20MB"
  QString Target;  // first-page target in seconds
};

// Opens the book whole and reports the first page and the stalls up to a
// complete line count.
bool OpenWhole(TChild &c, const QString &book, bool report) {
  c.Form->OpenInPiecesCheckBox->setChecked(false);
  QApplication::processEvents();
  Say("# phase the open command\n");
  c.Probe->StartStalls();
  const qint64 start = c.Probe->Now();
  const double page = c.Probe->TimeToPage([&] { c.Form->OpenBook(book); });
  const double openCall = c.Probe->CallTime;
  Say("# phase the line count, after the page was shown at %s\n", qPrintable(Fig(page)));
  const double counted = c.Probe->WaitForLineCount(1.1, start);
  const double stall = c.Probe->StopStalls();
  if (c.Form->RichEdit->TextLength() == 0) {
    Say("open whole %s: the book did not open\n", qPrintable(c.Label));
    return false;
  }
  if (report)
    Say("open whole %s: first page %s (target %s s), longest stall %.3f s (target 0.1 s)  [open call %.3f s, "
        "lines counted at %.3f s, %d lines]\n",
        qPrintable(c.Label), qPrintable(Fig(page)), qPrintable(c.Target), stall, openCall, counted, c.Form->RichEdit->LineCount());
  return true;
}

struct TChange {
  const char *Name;
  std::function<void(TPagelumeForm &)> Run;
};

TChange ComboChange(const char *name, QComboBox *TFormatOptionsPanel::*combo, const QString &value,
                    void (TFormatOptionsPanel::*handler)()) {
  return {name, [=](TPagelumeForm &form) {
            TFormatOptionsPanel *panel = form.FormatOptions;
            ChooseValue(panel->*combo, value);
            (panel->*handler)();
          }};
}

TChange ChangeByName(const QString &name) {
  using P = TFormatOptionsPanel;
  if (name == "spacing")
    return ComboChange("line spacing 120 -> 150 %", &P::LineSpacingComboBox, "150", &P::LineSpacingComboBoxChange);
  if (name == "zoom")
    return ComboChange("zoom 100 -> 150 %", &P::FontZoomComboBox, "150", &P::FontZoomComboBoxChange);
  if (name == "size")
    return ComboChange("font size 16 -> 20", &P::FontSizeComboBox, "20", &P::FontSizeComboBoxChange);
  return {"margins 15 -> 30", [](TPagelumeForm &form) {
            TFormatOptionsPanel *panel = form.FormatOptions;
            ChooseValue(panel->LeftMarginComboBox, "30");
            ChooseValue(panel->RightMarginComboBox, "30");
            panel->LeftMarginComboBoxChange();
            panel->RightMarginComboBoxChange();
          }};
}

// One timed change, reported as one line.
void TimeChange(TChild &c, const TChange &change, bool checkTop) {
  TRichEdit *box = c.Form->RichEdit;
  int32_t oldTop = 0;
  std::u16string oldText;
  if (checkTop) {
    oldTop = TopPositionOf(box);
    oldText = box->TextRange(oldTop, 40);
  }
  Say("# change starts\n");
  Say("# phase %s: the change\n", change.Name);
  c.Probe->LongestCall = 0;
  c.Probe->StartStalls();
  const qint64 start = c.Probe->Now();
  const double page = c.Probe->TimeToPage([&] { change.Run(*c.Form); });
  const double call = c.Probe->CallTime;
  Say("# phase %s: the line count, after the page was shown at %s\n", change.Name, qPrintable(Fig(page)));
  const double counted = c.Probe->WaitForLineCount(1.1, start);
  const double stall = c.Probe->StopStalls();
  QString kept = "not checked";
  if (checkTop) {
    Say("# phase %s: the top-line check, after the page was shown at %s, lines counted at %.3f s\n", change.Name,
        qPrintable(Fig(page)), counted);
    const int32_t newTop = TopPositionOf(box);
    if (box->LineOfChar(oldTop) == box->TopLine())
      kept = "yes";
    else
      kept = QString("NO (was \"%1\", now \"%2\")").arg(Snippet(oldText), Snippet(box->TextRange(newTop, 40)));
  }
  Say("%s %s: new page %s (target 0.1 s), longest stall %.3f s (target 0.1 s), top line kept: %s  [call %.3f s, "
      "lines counted at %.3f s]\n",
      change.Name, qPrintable(c.Label), qPrintable(Fig(page)), stall, qPrintable(kept), call, counted);
}

void CtrlEnd(TChild &c) {
  TRichEdit *box = c.Form->RichEdit;
  box->setFocus();
  c.Probe->LongestCall = 0;
  c.Probe->StartStalls();
  Say("# change starts\n");
  Say("# phase Ctrl+End\n");
  const double page = c.Probe->TimeToPage([&] {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_End, Qt::ControlModifier);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_End, Qt::ControlModifier);
    QApplication::sendEvent(box, &press);
    QApplication::sendEvent(box, &release);
  });
  const double stall = c.Probe->StopStalls();
  const int32_t top = TopPositionOf(box), length = box->TextLength();
  Say("Ctrl+End %s: page shown %s (target 0.5 s), longest stall %.3f s, top line at %.1f %% of the text\n",
      qPrintable(c.Label), qPrintable(Fig(page)), stall, 100.0 * top / std::max(1, length));
}

bool WriteFile(const QString &path, const QByteArray &bytes) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The share of the justified lines of the document, laid out at width, whose
// gaps are more than twice a space; lines counts the justified lines.
double WideGapShare(QTextDocument *doc, double width, const THyphenator *hyphenator, long &lines) {
  TRichLayout layout(doc);
  layout.SetWidth(width);
  layout.SetHyphenator(hyphenator);
  long wide = 0;
  lines = 0;
  for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
    if (!(b.blockFormat().alignment() & Qt::AlignJustify))
      continue;
    for (int part = 0; part < layout.PartCount(b); ++part) {
      const TRichLayout::TPart &laid = layout.Part(b, part);
      for (int i = 0; i + 1 < laid.Lines(); ++i) {
        ++lines;
        wide += TRichLayout::WideGaps(laid.Layout, laid.Layout.lineAt(i)) ? 1 : 0;
      }
    }
  }
  return lines ? 100.0 * double(wide) / double(lines) : 0;
}

void WideGaps(TChild &c, const QString &book) {
  c.Form->resize(1024, 768);
  c.Form->LayoutWindow();
  QApplication::processEvents();
  if (!OpenWhole(c, book, false))
    return;
  TRichEdit *box = c.Form->RichEdit;
  const double width = box->TextWidth();
  const std::string language = c.Form->FormatOptions->BookLanguage();
  long offLines = 0, onLines = 0;
  const double off = WideGapShare(box->document(), width, nullptr, offLines);
  const double on = WideGapShare(box->document(), width, THyphenator::ForLanguage(language), onLines);
  Say("wide gaps %s (language \"%s\", text width %.0f px): %.1f %% of %ld justified lines without hyphenation, "
      "%.1f %% of %ld with; fall %.0f %% (target at least 60 %%)\n",
      qPrintable(c.Label), language.c_str(), width, off, offLines, on, onLines, off > 0 ? 100 * (off - on) / off : 0.0);
}

int RunCase(int argc, char **argv) {
  // --case NAME BOOK LABEL TARGET [ARG]
  const QString name = argv[2], book = argv[3], label = argv[4];
  const QString target = argv[5];
  const QString arg = argc > 6 ? argv[6] : QString();

  QTemporaryDir home;
  SetProgramDirOverride(home.path());
  SetMessageBoxHandler([](TMessageKind kind, const QString &text) {
    if (kind != TMessageKind::Query)
      std::fprintf(stderr, "message: %s\n", qPrintable(text));
    return kind == TMessageKind::Query;  // yes to opening a large book whole
  });
  SetShowErrorHandler([](const TFunStatContext &, const std::string &description, bool *) {
    std::fprintf(stderr, "error: %s\n", description.c_str());
    return true;
  });

  if (qgetenv("PAGELUME_BENCH_HYPHENATION") == "off")
    WriteFile(home.path() + "/PagelumeProfile.plp", "[Profile_Main]\r\nHyphenation=FALSE\r\n");
  TPagelumeForm form;
  form.IsApplicationActive = [] { return false; };
  form.resize(1920, 1080);
  form.Start();
  form.show();
  form.LayoutWindow();
  QApplication::processEvents();
  TProbe probe(form);
  TChild c{&form, &probe, label, target};

  if (name == "open") {
    if (!OpenWhole(c, book, true))
      return 1;
    Say("peak memory %s whole: %ld MB (target %s)  [resident now %ld MB]\n", qPrintable(label),
        PeakKb("VmHWM:") / 1024, arg.isEmpty() ? "none" : qPrintable(arg + " MB"), PeakKb("VmRSS:") / 1024);
  } else if (name == "change") {
    if (!OpenWhole(c, book, false))
      return 1;
    form.RichEdit->GoToCharPos(form.RichEdit->TextLength() / 2);
    QApplication::processEvents();
    TimeChange(c, ChangeByName(arg), true);
  } else if (name == "gaps") {
    WideGaps(c, book);
  } else if (name == "end") {
    if (!OpenWhole(c, book, false))
      return 1;
    CtrlEnd(c);
  } else if (name == "largest-open") {
    // The book in a folder whose profile has the largest formats, opened whole.
    const QString dir = home.path() + "/largest";
    QDir().mkpath(dir);
    const QString copy = dir + "/" + QFileInfo(book).fileName();
    if (!QFile::copy(book, copy) ||
        !WriteFile(dir + "/PagelumeProfile.plp",
                   "[Profile_Main]\r\nFontSize=50\r\nLineSpacing=500\r\nFontZoom=500\r\n"))
      return 1;
    c.Label = label + " at zoom 500 %, spacing 500 %, size 50";
    if (!OpenWhole(c, copy, true))
      return 1;
    CtrlEnd(c);
  } else if (name == "largest-change") {
    if (!OpenWhole(c, book, false))
      return 1;
    using P = TFormatOptionsPanel;
    TimeChange(c, ComboChange("font size 16 -> 50", &P::FontSizeComboBox, "50", &P::FontSizeComboBoxChange), false);
    TimeChange(c, ComboChange("then line spacing 120 -> 500 %", &P::LineSpacingComboBox, "500",
                              &P::LineSpacingComboBoxChange), false);
    TimeChange(c, ComboChange("then zoom 100 -> 500 %", &P::FontZoomComboBox, "500", &P::FontZoomComboBoxChange),
               false);
    CtrlEnd(c);
  }
  SetShowErrorHandler({});
  SetMessageBoxHandler({});
  SetProgramDirOverride(QString());
  return 0;
}

// ---- The parent ----

// The UTF-8 sample books repeated, cut at a line end at most size bytes long.
QString MakeBigBook(const QString &booksDir, const QString &folder, qint64 size) {
  QByteArray all;
  for (const QFileInfo &info : QDir(booksDir).entryInfoList({"*.txt"}, QDir::Files, QDir::Name)) {
    if (info.fileName().contains("cp1252"))
      continue;
    QFile in(info.filePath());
    if (in.open(QIODevice::ReadOnly))
      all += in.readAll();
  }
  if (all.isEmpty())
    return {};
  QByteArray big;
  big.reserve(size + all.size());
  while (big.size() < size)
    big += all;
  big.truncate(size);
  big.truncate(big.lastIndexOf('\n') + 1);
  const QString path = folder + "/big20mb.txt";
  return WriteFile(path, big) ? path : QString();
}

struct TCase {
  QString Name, Book, Label, Target, Arg, What;
  bool HyphenationOff = false;
};

void RunChild(const QString &self, const TCase &k, int timeout, const QString &tempRoot) {
  QTemporaryDir tmp(tempRoot + "/case-XXXXXX");
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("TMPDIR", tmp.path());
  if (k.HyphenationOff)
    env.insert("PAGELUME_BENCH_HYPHENATION", "off");
  QProcess p;
  p.setProcessEnvironment(env);
  p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  QStringList args{"--case", k.Name, k.Book, k.Label, k.Target};
  if (!k.Arg.isEmpty())
    args << k.Arg;
  QElapsedTimer clock;
  clock.start();
  p.start(self, args);
  // Figure lines are passed on as they come; "# change starts" marks the
  // start of the timed command, so that a killed case says how long that ran.
  QByteArray pending;
  double changeStart = 0;
  QString phase;
  auto take = [&] {
    pending += p.readAllStandardOutput();
    int end;
    while ((end = pending.indexOf('\n')) >= 0) {
      const QString line = QString::fromUtf8(pending.left(end));
      pending.remove(0, end + 1);
      if (line.startsWith("# change starts"))
        changeStart = clock.elapsed() / 1000.0;
      else if (line.startsWith("# phase "))
        phase = line.mid(8);
      else if (!line.isEmpty()) {
        std::printf("%s\n", qPrintable(line));
        std::fflush(stdout);
      }
    }
  };
  while (!p.waitForFinished(100)) {
    take();
    if (clock.elapsed() > timeout * 1000 || p.state() == QProcess::NotRunning)
      break;
  }
  const bool killed = p.state() != QProcess::NotRunning;
  if (killed) {
    p.kill();
    p.waitForFinished();
  }
  take();
  if (killed)
    std::printf("%s %s: > %.0f s (killed during %s; the case ran %d s in all)\n", qPrintable(k.What),
                qPrintable(k.Label), timeout - changeStart, qPrintable(phase.isEmpty() ? "the start" : phase),
                timeout);
  else if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
    std::printf("%s %s: failed (exit %d)\n", qPrintable(k.What), qPrintable(k.Label), p.exitCode());
  std::fflush(stdout);
}

QString PlatformName() {
  return qEnvironmentVariableIsEmpty("DISPLAY") || qgetenv("QT_QPA_PLATFORM") == "offscreen"
             ? QString("the offscreen platform")
             : "X display " + qEnvironmentVariable("DISPLAY");
}

}  // namespace

int main(int argc, char **argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  if (argc > 5 && QString(argv[1]) == "--case") {
    QApplication app(argc, argv);
    return RunCase(argc, argv);
  }
  QCoreApplication app(argc, argv);
  int timeout = 60;
  QString only, booksDir = "/work/shared/books";
  std::vector<TCase> cases;
  const QStringList args = app.arguments();
  for (int i = 1; i < args.size(); ++i) {
    if (args[i] == "--timeout" && i + 1 < args.size())
      timeout = std::max(1, args[++i].toInt());
    else if (args[i] == "--only" && i + 1 < args.size())
      only = args[++i];
    else if (args[i] == "--open" && i + 1 < args.size()) {
      // FILE=SECONDS[,MB]: only these books, opened whole, against these targets.
      const QString openArg = args[++i];
      const QString file = openArg.section('=', 0, -2).isEmpty() ? openArg : openArg.section('=', 0, -2);
      const QString targets = openArg.contains('=') ? openArg.section('=', -1) : "-";
      cases.push_back({"open", QFileInfo(file).absoluteFilePath(), QFileInfo(file).fileName(),
                       targets.section(',', 0, 0), targets.section(',', 1, 1), "open whole"});
    }
    else
      booksDir = args[i];
  }
  const QString self = QCoreApplication::applicationFilePath();
  if (!cases.empty()) {
    std::printf("window 1920 x 1080 on %s; %d s per case\n", qPrintable(PlatformName()), timeout);
    for (const TCase &k : cases)
      RunChild(self, k, timeout, QDir::tempPath());
    return 0;
  }
  const QString wap = booksDir + "/2600-0.txt";
  if (!QFileInfo(wap).isFile()) {
    std::fprintf(stderr, "no book %s\n", qPrintable(wap));
    return 1;
  }
  QTemporaryDir temp;
  const QString big = MakeBigBook(booksDir, temp.path(), 20000000);
  if (big.isEmpty()) {
    std::fprintf(stderr, "cannot make the 20 MB book\n");
    return 1;
  }
  std::printf("War and Peace %lld bytes, big book %lld bytes; window 1920 x 1080 on %s; %d s per case\n",
              QFileInfo(wap).size(), QFileInfo(big).size(), qPrintable(PlatformName()), timeout);
  std::fflush(stdout);

  for (const auto &[book, label, target] :
       {std::tuple{wap, QString("War and Peace"), QString("0.25")}, std::tuple{big, QString("20MB"), QString("0.6")}}) {
    for (const bool off : {false, true}) {
      const QString l = label + (off ? ", hyphenation off" : ", hyphenation on");
      cases.push_back({"open", book, l, target, label == "20MB" ? "200" : "", "open whole", off});
      for (const auto &[arg, what] :
           {std::pair{"spacing", "line spacing 120 -> 150 %"}, {"zoom", "zoom 100 -> 150 %"},
            {"size", "font size 16 -> 20"}, {"margins", "margins 15 -> 30"}})
        cases.push_back({"change", book, l, target, arg, what, off});
    }
  }
  cases.push_back({"gaps", wap, "War and Peace", "", "", "wide gaps"});
  cases.push_back({"end", big, "20MB", "0.6", "", "Ctrl+End at the usual formats"});
  cases.push_back({"largest-open", big, "20MB", "0.6", "", "open whole at zoom 500 %, spacing 500 %, size 50"});
  cases.push_back({"largest-change", big, "20MB", "0.6", "", "size 50, spacing 500 %, zoom 500 % one after another"});
  for (const TCase &k : cases)
    if (only.isEmpty() || (k.Name + " " + k.Label + " " + k.Arg).contains(only, Qt::CaseInsensitive))
      RunChild(self, k, timeout, temp.path());
  return 0;
}
