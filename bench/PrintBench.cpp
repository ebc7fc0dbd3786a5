// Time to print a long book into a PDF file, as the "Print" button does: the
// book converted as the reader shows it (Pagelume --convert to rich text),
// loaded into a reading box, then copied at zoom 1 and printed inside the
// default margins on A4; medians.
//   PrintBench [BOOK] [RUNS]
// (defaults /work/shared/books/2600-0.txt, 3 runs)
#include <QApplication>
#include <QElapsedTimer>
#include <QPrinter>
#include <QProcess>
#include <QTextDocument>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "PrintBook.h"
#include "RTF.h"

int main(int argc, char **argv) {
  QApplication app(argc, argv);
  const QString book = argc > 1 ? argv[1] : "/work/shared/books/2600-0.txt";
  const int runs = argc > 2 ? std::max(1, atoi(argv[2])) : 3;
  const QString rtf = "/tmp/pagelume-printbench.rtf";
  const QString pdf = "/tmp/pagelume-printbench.pdf";
  QProcess convert;
  convert.start(QCoreApplication::applicationDirPath() + "/Pagelume", {"--convert", book, rtf});
  if (!convert.waitForFinished(300000) || convert.exitCode() != 0) {
    std::fprintf(stderr, "conversion failed: %s\n", convert.readAllStandardError().constData());
    return 1;
  }
  TRichEdit box;
  box.resize(1000, 700);
  if (!box.LoadRtf(rtf))
    return 1;
  std::vector<double> seconds;
  int pages = 0;
  for (int run = 0; run < runs; ++run) {
    QElapsedTimer timer;
    timer.start();
    std::unique_ptr<QTextDocument> copy(box.PrintCopy());
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    printer.setPageSize(QPageSize(QPageSize::A4));
    pages = PrintDocument(*copy, printer, TPrintMargins{}, book);
    seconds.push_back(timer.elapsed() / 1000.0);
    std::printf("run %d: %d pages in %.2f s\n", run + 1, pages, seconds.back());
  }
  std::sort(seconds.begin(), seconds.end());
  std::printf("median: %.2f s for %d pages (%s)\n", seconds[seconds.size() / 2], pages, qPrintable(book));
  return pages > 0 ? 0 : 1;
}
