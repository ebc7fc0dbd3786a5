// Time of the whole-text format changes on a long book in a shown reading box:
// a line-spacing change (all paragraph formats re-applied) and a zoom change.
// The book is enhanced by the engine, as a load does.
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

std::vector<std::u16string> Lines(const QString &text) {
  std::vector<std::u16string> lines;
  for (QString line : text.split('\n')) {
    if (line.endsWith('\r'))
      line.chop(1);
    lines.push_back(line.toStdU16String());
  }
  return lines;
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
  box.SetReadOnly(true);
  TEnhancedRichEdit engine;
  engine.RichBox = &box;
  TFormatOptionsPanel panel(&box, &engine);
  box.show();

  QElapsedTimer load;
  load.start();
  panel.SetBaseFormat();
  engine.ApplyCharFormat(true, 0);
  engine.ApplyParaFormat(true, 0);
  // The engine joins the lines into paragraphs, as a book load does.
  engine.EnhanceText(Lines(text), panel.ParagraphPrefix().toStdString(), false, false);
  panel.FontZoomComboBoxChange();
  QCoreApplication::processEvents();
  const double loadTime = load.nsecsElapsed() / 1e6;
  std::printf("%s: %d paragraphs, %d display lines, enhanced in %.0f ms\n", qPrintable(path),
              box.document()->blockCount(), box.LineCount(), loadTime);
  box.GotoLine(box.LineCount() / 2);

  const double spacing = Time(panel.LineSpacingComboBox, {"200", "120"},
                              [&] { panel.LineSpacingComboBoxChange(); }, runs);
  const double zoom = Time(panel.FontZoomComboBox, {"150", "100"}, [&] { panel.FontZoomComboBoxChange(); }, runs);
  // Where the time goes: the format calls alone, then the layout that the view needs.
  std::vector<double> apply, layout;
  for (int i = 0; i < runs; ++i) {
    panel.LineSpacingComboBox->setCurrentIndex(panel.LineSpacingComboBox->findText(i % 2 ? "120" : "200"));
    QElapsedTimer timer;
    timer.start();
    box.SetSelection(0, INT32_MAX);
    panel.SetBaseFormat();
    engine.ApplyParaFormat(true, 0);
    apply.push_back(timer.nsecsElapsed() / 1e6);
    timer.restart();
    box.LineCount();
    layout.push_back(timer.nsecsElapsed() / 1e6);
  }
  std::vector<double> relayout;
  for (int i = 0; i < runs; ++i) {
    QElapsedTimer timer;
    timer.start();
    box.document()->markContentsDirty(0, box.document()->characterCount());
    box.LineCount();
    relayout.push_back(timer.nsecsElapsed() / 1e6);
  }
  std::printf("line-spacing change (SetAllParaFormatRichEdit): median %.1f ms over %d runs\n", spacing, runs);
  std::printf("  of which the format calls (with Qt's relayout inside) %.1f ms, line table %.1f ms (medians)\n",
              Median(apply), Median(layout));
  std::printf("zoom change: median %.1f ms over %d runs\n", zoom, runs);
  std::printf("reference: a bare relayout of the whole text %.1f ms (median)\n", Median(relayout));
  // The switch to the editing view and back (the toolkit lays the whole book out while editing).
  QElapsedTimer edit;
  edit.start();
  box.SetReadOnly(false);
  QCoreApplication::processEvents();
  const double on = edit.nsecsElapsed() / 1e6;
  edit.restart();
  box.SetReadOnly(true);
  QCoreApplication::processEvents();
  std::printf("editing view: on %.1f ms, off %.1f ms\n", on, edit.nsecsElapsed() / 1e6);
  return 0;
}
