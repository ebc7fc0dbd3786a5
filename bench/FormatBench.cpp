// Time of the whole-text format changes on a long book in a shown reading box:
// a line-spacing change (all paragraph formats re-applied) and a zoom change.
// Usage: FormatBench [book.txt] [runs]   (default /work/shared/books/2600-0.txt, 7 runs)
#include "EnhancedRTF.h"
#include "FormatOptions.h"
#include "RTF.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QStringDecoder>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// Lines joined into paragraphs: an empty line ends a paragraph.
std::vector<std::u16string> Paragraphs(const QString &text) {
  std::vector<std::u16string> paragraphs;
  QString current;
  for (const QString &line : text.split('\n')) {
    const QString trimmed = line.trimmed();
    if (trimmed.isEmpty()) {
      if (!current.isEmpty())
        paragraphs.push_back(current.toStdU16String());
      current.clear();
    } else {
      current += current.isEmpty() ? trimmed : " " + trimmed;
    }
  }
  if (!current.isEmpty())
    paragraphs.push_back(current.toStdU16String());
  return paragraphs;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

template <class Change> double Time(QComboBox *box, const QStringList &values, Change change, int runs) {
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    box->setCurrentIndex(box->findText(values[i % values.size()]));
    QElapsedTimer timer;
    timer.start();
    change();
    QCoreApplication::processEvents();
    times.push_back(timer.nsecsElapsed() / 1e6);
  }
  return Median(times);
}

}  // namespace

int main(int argc, char **argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const QString path = argc > 1 ? QString::fromLocal8Bit(argv[1]) : "/work/shared/books/2600-0.txt";
  const int runs = argc > 2 ? std::max(1, atoi(argv[2])) : 7;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    std::fprintf(stderr, "Cannot open %s\n", qPrintable(path));
    return 1;
  }
  QStringDecoder decoder(QStringDecoder::Utf8);
  const QString text = decoder.decode(file.readAll());

  TRichEdit box;
  box.resize(900, 700);
  box.setReadOnly(true);
  TEnhancedRichEdit engine;
  engine.RichBox = &box;
  TFormatOptionsPanel panel(&box, &engine);
  box.show();

  QElapsedTimer load;
  load.start();
  panel.SetBaseFormat();
  engine.ApplyCharFormat(true, 0);
  engine.ApplyParaFormat(true, 0);
  const std::vector<std::u16string> paragraphs = Paragraphs(text);
  for (const std::u16string &paragraph : paragraphs)
    box.AppendParagraph(paragraph);
  panel.FontZoomComboBoxChange();
  QCoreApplication::processEvents();
  std::printf("%s: %zu paragraphs, %d display lines, loaded in %.0f ms\n", qPrintable(path), paragraphs.size(),
              box.LineCount(), load.nsecsElapsed() / 1e6);
  box.GotoLine(box.LineCount() / 2);

  const double spacing = Time(panel.LineSpacingComboBox, {"200", "120"},
                              [&] { panel.LineSpacingComboBoxChange(); }, runs);
  const double zoom = Time(panel.FontZoomComboBox, {"150", "100"}, [&] { panel.FontZoomComboBoxChange(); }, runs);
  std::printf("line-spacing change (SetAllParaFormatRichEdit): median %.1f ms over %d runs\n", spacing, runs);
  std::printf("zoom change: median %.1f ms over %d runs\n", zoom, runs);
  return 0;
}
