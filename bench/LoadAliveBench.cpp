// How alive the main window stays while a large book opens whole: a timer
// that wants to run all the time records the gaps between its runs (the
// event-loop stalls) from the open command to the end of the load and for a
// second after it; and how long a close request takes to stop a load.
//   LoadAliveBench [BOOK] [RUNS] [--no-enhance]
// (default: a book of about 20,000,000 bytes made of the sample books; 3 runs)
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "BookLoader.h"
#include "Dialogs.h"
#include "PagelumeDialog.h"
#include "Program.h"
#include "RTF.h"

namespace {

// The UTF-8 sample books repeated up to a line end below 20,000,000 bytes.
QString MakeBigBook(const QString &folder, const QString &path) {
  QByteArray all;
  const QStringList names = QDir(folder).entryList({"*.txt"}, QDir::Files, QDir::Name);
  while (all.size() < 20000000) {
    qsizetype before = all.size();
    for (const QString &name : names) {
      if (name.contains("cp1252"))
        continue;
      QFile f(QDir(folder).filePath(name));
      if (f.open(QIODevice::ReadOnly))
        all += f.readAll();
    }
    if (all.size() == before)
      return {};
  }
  all.truncate(19990000);
  all.truncate(all.lastIndexOf('\n') + 1);
  QFile out(path);
  if (!out.open(QIODevice::WriteOnly))
    return {};
  out.write(all);
  return path;
}

struct TStalls {
  double Longest = 0;     // ms
  QString Where;          // the information label when the longest stall ended
  int Turns = 0;
  QStringList Long;       // every stall over 100 ms, with the label before and after it
  QString Label;
};

}  // namespace

int main(int argc, char **argv) {
  qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
  QApplication app(argc, argv);
  QString book;
  int runs = 3;
  bool enhance = true;
  for (int i = 1; i < argc; ++i) {
    const QString arg = QString::fromLocal8Bit(argv[i]);
    if (arg == "--no-enhance")
      enhance = false;
    else if (arg.toInt() > 0)
      runs = arg.toInt();
    else
      book = arg;
  }
  QTemporaryDir dir;
  SetProgramDirOverride(dir.path());
  SetMessageBoxHandler([](TMessageKind, const QString &) { return true; });
  if (book.isEmpty()) {
    const QString folder = QDir("../shared/books").exists() ? "../shared/books" : "/work/shared/books";
    book = MakeBigBook(folder, dir.filePath("big.txt"));
  }
  if (book.isEmpty() || !QFile::exists(book)) {
    std::fprintf(stderr, "No book.\n");
    return 1;
  }
  std::printf("%s, %lld bytes, %s\n", qPrintable(book), (long long)QFileInfo(book).size(),
              enhance ? "enhanced" : "unchanged");

  for (int run = 0; run < runs; ++run) {
    auto *form = new TPagelumeForm;
    form->IsApplicationActive = [] { return false; };
    form->resize(1280, 900);
    form->show();
    form->OpenInPiecesCheckBox->setChecked(false);
    form->EnhanceTextCheckBox->setChecked(enhance);
    QCoreApplication::processEvents();

    // Open, with every stall recorded.
    TStalls stalls;
    QElapsedTimer clock, gap;
    QTimer ticker;
    ticker.setInterval(0);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
      const double ms = gap.nsecsElapsed() / 1e6;
      ++stalls.Turns;
      const QString label = form->CurrentFileInfoLabel->text();
      if (ms > 100)
        stalls.Long << QString("%1 ms: %2 -> %3").arg(ms, 0, 'f', 0).arg(stalls.Label, label);
      stalls.Label = label;
      if (ms > stalls.Longest) {
        stalls.Longest = ms;
        stalls.Where = form->CurrentFileInfoLabel->text();
      }
      gap.restart();
    });
    ticker.start();
    clock.start();
    gap.start();
    form->Loader->OpenBook(book, false);
    const double loadMs = clock.nsecsElapsed() / 1e6;
    const double lastGap = gap.nsecsElapsed() / 1e6;  // the end of the load to its last turn
    if (lastGap > stalls.Longest) {
      stalls.Longest = lastGap;
      stalls.Where = "the end of the load";
    }
    const TStalls during = stalls;
    if (qEnvironmentVariableIsSet("LOADALIVE_DEBUG"))
      for (const QString &line : during.Long)
        std::printf("    %s\n", qPrintable(line));
    stalls = {};
    gap.restart();
    QElapsedTimer after;
    after.start();
    while (after.elapsed() < 1000)
      QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    ticker.stop();
    std::printf("run %d: load %.0f ms, %d turns, longest stall %.0f ms (%s); after it: longest %.0f ms\n", run + 1,
                loadMs, during.Turns, during.Longest, qPrintable(during.Where), stalls.Longest);

    // A close request 300 ms into another load of the book.
    form->Loader->State.Closing = false;
    QElapsedTimer stop;
    QTimer::singleShot(300, form, [&] {
      form->Loader->State.Closing = true;
      stop.start();
    });
    form->Loader->OpenBook(book, false);
    std::printf("        close request to the end of the load: %.0f ms (box %s)\n",
                stop.isValid() ? stop.nsecsElapsed() / 1e6 : -1.0,
                form->RichEdit->TextLength() == 0 ? "empty" : "NOT empty");
    delete form;
  }
  return 0;
}
