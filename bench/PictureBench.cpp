// Background pictures in the main window at 1920 × 1080:
// 1. the rebuild of both pictures (screen picture, its centre copy and the
//    reading box's picture) from a 4000 × 3000 JPEG, as every layout, book
//    load and option change does;
// 2. scrolling a book page by page and line by line over a plain colour, a
//    tiled picture and a transparent box (the screen picture behind it).
// Usage: PictureBench [book.txt] [runs]   (default /work/shared/books/2600-0.txt, 9 runs)
#include "Dialogs.h"
#include "Error.h"
#include "PagelumeDialog.h"
#include "Program.h"
#include "RTF.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPainter>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

// CPU time of the process (all its threads: the toolkit scales large pictures in
// parallel): what the work costs even on a machine busy with other work.
double ThreadCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// A photograph-like picture: smooth colour fields with fine noise (so the
// JPEG holds as much detail as a photograph does).
QImage Photo(int w, int h) {
  QImage image(w, h, QImage::Format_RGB32);
  QRandomGenerator random(42);
  for (int y = 0; y < h; ++y) {
    auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
    for (int x = 0; x < w; ++x) {
      const int n = int(random.bounded(40));
      line[x] = qRgb((x * 255 / w + n) % 256, (y * 255 / h + n) % 256,
                     int(128 + 100 * std::sin(x * 0.01) * std::cos(y * 0.013)) % 256);
    }
  }
  return image;
}

// Scrolls the whole book's first pages and returns the median time of one step
// (the scroll and the repaint it causes).
double ScrollTime(TPagelumeForm &form, int stepSize, int steps, double *cpu = nullptr) {
  QScrollBar *bar = form.RichEdit->verticalScrollBar();
  bar->setValue(0);
  QApplication::processEvents();
  std::vector<double> times, cpus;
  for (int i = 0; i < steps; ++i) {
    QElapsedTimer timer;
    timer.start();
    const double cpu0 = ThreadCpuMs();
    bar->setValue(bar->value() + stepSize);
    QApplication::processEvents();
    times.push_back(timer.nsecsElapsed() / 1e6);
    cpus.push_back(ThreadCpuMs() - cpu0);
  }
  if (cpu)
    *cpu = Median(cpus);
  return Median(times);
}

}  // namespace

int main(int argc, char **argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const QString bookPath = argc > 1 ? QString::fromLocal8Bit(argv[1]) : "/work/shared/books/2600-0.txt";
  const int runs = argc > 2 ? std::max(1, atoi(argv[2])) : 9;

  QTemporaryDir dir;
  SetProgramDirOverride(dir.path());
  QDir(dir.path()).mkdir("BackImages");
  SetMessageBoxHandler([](TMessageKind, const QString &text) {
    std::fprintf(stderr, "message: %s\n", qPrintable(text));
    return false;
  });
  const QString jpeg = QDir(dir.path()).filePath("BackImages/Photo.jpg");
  if (!Photo(4000, 3000).save(jpeg, "JPEG", 90)) {
    std::fprintf(stderr, "Cannot write the test picture\n");
    return 1;
  }

  TPagelumeForm form;
  form.IsApplicationActive = [] { return false; };
  form.resize(1920, 1080);
  form.show();
  form.LayoutWindow();
  form.RichEdit->show();
  QApplication::processEvents();
  form.TitleScreenBackImageEdit->setText("Photo.jpg");
  form.TitleRichBackImageEdit->setText("Photo.jpg");
  form.FadeCenterScreenBackImageComboBox->setCurrentText("50");  // the centre copy differs

  std::vector<double> rebuild, rebuildCpu;
  for (int i = 0; i < runs; ++i) {
    QElapsedTimer timer;
    timer.start();
    const double cpu0 = ThreadCpuMs();
    form.LayoutWindow();  // every layout pass rebuilds both pictures
    rebuild.push_back(timer.nsecsElapsed() / 1e6);
    rebuildCpu.push_back(ThreadCpuMs() - cpu0);
  }
  std::printf("Rebuild of both pictures from a 4000 x 3000 JPEG at 1920 x 1080: median %.1f ms wall, %.1f ms CPU "
              "(screen %dx%d, box tile %dx%d)\n",
              Median(rebuild), Median(rebuildCpu), form.ScreenBackBitmap.width(), form.ScreenBackBitmap.height(),
              form.RichBackBitmap.width(), form.RichBackBitmap.height());

  QFile book(bookPath);
  if (!book.open(QIODevice::ReadOnly)) {
    std::fprintf(stderr, "Cannot open %s: scrolling not measured\n", qPrintable(bookPath));
    return 0;
  }
  const QStringList lines = QString::fromUtf8(book.read(2000000)).split('\n');
  for (const QString &line : lines)
    form.RichEdit->AppendParagraph(line.trimmed().toStdU16String());
  form.RichEdit->GotoLine(0);
  // A small tile (the usual texture) for the tiled case.
  QImage tile(128, 128, QImage::Format_RGB32);
  tile.fill(qRgb(250, 245, 232));
  tile.save(QDir(dir.path()).filePath("BackImages/Tile.bmp"));
  form.TitleRichBackImageEdit->setText("Tile.bmp");
  form.IniScreenBackImage();
  form.IniRichBackImage();
  QApplication::processEvents();

  const int page = form.RichEdit->verticalScrollBar()->pageStep();
  const int line = form.RichEdit->verticalScrollBar()->singleStep();
  const int steps = 60;
  struct Case {
    const char *Name;
    bool Use, Transparent;
  } cases[] = {{"plain colour", false, false}, {"tiled picture", true, false}, {"transparent box", true, true}};
  double plainPage = 0, plainLine = 0;
  for (const Case &c : cases) {
    form.UseRichBackImageCheckBox->setChecked(c.Use);
    form.TransparentRichBackCheckBox->setChecked(c.Transparent);
    ScrollTime(form, page, 5);  // warm up
    std::vector<double> pages, lineSteps;
    for (int i = 0; i < std::max(3, runs / 3); ++i) {
      double pageCpu = 0, lineCpu = 0;
      ScrollTime(form, page, steps, &pageCpu);
      ScrollTime(form, line, steps, &lineCpu);
      pages.push_back(pageCpu);
      lineSteps.push_back(lineCpu);
    }
    const double p = Median(pages), l = Median(lineSteps);  // CPU time of a step
    if (!c.Use) {
      plainPage = p;
      plainLine = l;
    }
    std::printf("Scrolling over a %-15s page %.2f ms CPU (x%.2f)  line %.2f ms CPU (x%.2f)\n", c.Name, p, p / plainPage, l,
                l / plainLine);
  }
  return 0;
}
