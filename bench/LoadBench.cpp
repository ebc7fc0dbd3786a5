// Time from the open command to the text shown in the reading box, for a long
// book whole and as its first piece, and for a book of the largest size
// allowed (20,000,000 bytes) whole; enhanced and unchanged; medians.
//   LoadBench [BOOK] [RUNS] [BIG-SIZE]
// (defaults /work/shared/books/2600-0.txt, 5 runs, 20,000,000 bytes)
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "BookLoader.h"
#include "Dialogs.h"
#include "EnhancedRTF.h"
#include "RTF.h"

namespace {

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

// Concatenates the book until it reaches size bytes.
QString MakeBigBook(const QString &book, qint64 size) {
  QFile in(book);
  if (!in.open(QIODevice::ReadOnly))
    return {};
  QByteArray chunk = in.readAll();
  QString path = "/tmp/pagelume-loadbench-20mb.txt";
  QFile out(path);
  if (!out.open(QIODevice::WriteOnly) || chunk.isEmpty())
    return {};
  // Whole copies, then the start of one more up to a line end, so that no
  // character is cut at the end of the file.
  qint64 written = 0;
  for (; written + chunk.size() <= size; written += chunk.size())
    out.write(chunk);
  QByteArray rest = chunk.left(int(size - written));
  rest.truncate(int(rest.lastIndexOf('\n') + 1));
  out.write(rest);
  return path;
}

double TimeOpen(const QString &path, bool pieces, bool enhance) {
  TRichEdit box;
  box.resize(1000, 700);
  box.show();
  TEnhancedRichEdit engine;
  engine.RichBox = &box;
  TBookLoaderHost host;
  host.OpenInPieces = [&] { return pieces; };
  host.EnhanceText = [&] { return enhance; };
  TBookLoader loader(&box, &engine, host);
  QApplication::processEvents();
  QElapsedTimer timer;
  timer.start();
  bool ok = loader.OpenBook(path, false);
  QApplication::processEvents();  // the first paint
  double seconds = timer.nsecsElapsed() / 1e9;
  if (qEnvironmentVariableIsSet("LOADBENCH_DEBUG")) {
    QElapsedTimer after;
    after.start();
    int length = box.TextLength();
    double flush = after.nsecsElapsed() / 1e9;
    int lines = box.LineCount();
    std::fprintf(stderr, "text %d, lines %d, visible %d, width %d; later flush %.3f s, layout %.3f s\n", length,
                 lines, box.isVisible(), box.viewport()->width(), flush, after.nsecsElapsed() / 1e9 - flush);
  }
  if (!ok)
    std::fprintf(stderr, "failed to open %s\n", qPrintable(path));
  return seconds;
}

void Report(const char *name, const QString &path, bool pieces, bool enhance, int runs) {
  std::vector<double> times;
  for (int i = 0; i < runs; ++i)
    times.push_back(TimeOpen(path, pieces, enhance));
  std::printf("%-36s %-9s median %8.3f s  (min %.3f, max %.3f, %d runs)\n", name,
              enhance ? "enhanced" : "unchanged", Median(times), *std::min_element(times.begin(), times.end()),
              *std::max_element(times.begin(), times.end()), runs);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char **argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  SetMessageBoxHandler([](TMessageKind, const QString &) { return true; });  // Yes to the large-book question
  QString book = argc > 1 ? argv[1] : "/work/shared/books/2600-0.txt";
  int runs = argc > 2 ? std::max(1, atoi(argv[2])) : 5;
  if (!QFileInfo(book).isFile()) {
    std::fprintf(stderr, "no book %s\n", qPrintable(book));
    return 1;
  }
  std::printf("book %s, %lld bytes\n", qPrintable(book), QFileInfo(book).size());
  for (bool enhance : {true, false}) {
    Report("whole book", book, false, enhance, runs);
    Report("piece 1 of 50,000 bytes", book, true, enhance, runs);
  }
  qint64 bigSize = argc > 3 ? atoll(argv[3]) : 20000000;
  QString big = MakeBigBook(book, bigSize);
  if (big.isEmpty())
    return 1;
  for (bool enhance : {true, false})
    Report(bigSize == 20000000 ? "20,000,000-byte book whole" : "big book whole", big, false, enhance, std::max(1, runs / 2));
  QFile::remove(big);
  return 0;
}
