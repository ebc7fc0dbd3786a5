// The browser on a folder of many books: how long listing it takes (from the
// call to the list filled and its first page drawn) and how long drawing a
// page takes while scrolling through it.
//
//   build/bin/BrowserBench [BOOKS] [RUNS]     (defaults 20000 books, 5 runs)
#include "BrowserList.h"
#include "Dialogs.h"
#include "PagelumeDialog.h"
#include "Program.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

namespace {
double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}
}  // namespace

int main(int argc, char **argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int books = argc > 1 ? std::atoi(argv[1]) : 20000;
  const int runs = argc > 2 ? std::atoi(argv[2]) : 5;

  QTemporaryDir temp;
  const QString folder = temp.path() + "/books/";
  QDir().mkpath(folder);
  for (int i = 0; i < books; ++i) {
    QFile f(folder + QString("Book number %1 of the shelf.%2").arg(i).arg(i % 3 ? "txt" : "rtf"));
    f.open(QIODevice::WriteOnly);
  }
  for (int i = 0; i < books / 100; ++i)
    QDir().mkpath(folder + QString("Folder %1").arg(i));

  SetProgramDirOverride(temp.path());
  SetMessageBoxHandler([](TMessageKind, const QString &) { return false; });
  TPagelumeForm form;
  form.resize(1024, 768);
  form.LayoutWindow();
  form.show();
  form.ShowSidebar(false);
  QApplication::processEvents();

  std::vector<double> listing, pages;
  for (int run = 0; run < runs; ++run) {
    form.LoadBrowserContent(temp.path() + "/");  // leave the folder
    QApplication::processEvents();
    QElapsedTimer timer;
    timer.start();
    form.LoadBrowserContent(folder);
    form.BrowserListBox->viewport()->repaint();
    listing.push_back(timer.nsecsElapsed() / 1e6);

    const int rows = form.BrowserListBox->RowsThatFit();
    double worst = 0;
    for (int top = 0; top < form.BrowserListBox->Count(); top += rows * 20) {
      timer.restart();
      form.BrowserListBox->SetTopIndex(top);
      form.BrowserListBox->viewport()->repaint();
      worst = std::max(worst, timer.nsecsElapsed() / 1e6);
    }
    pages.push_back(worst);
  }
  std::printf("%d books and %d folders, %d runs\n", books, books / 100, runs);
  std::printf("list the folder and draw its first page: median %.1f ms\n", Median(listing));
  std::printf("scroll: the slowest page drawn, median over runs %.2f ms\n", Median(pages));
  return 0;
}
