// Reading-box benchmark: makes a large RTF book with the writer from a plain
// text book, loads it into a shown reading box and reports the time to the first
// painted page and the time to save it back (medians of several runs). It also
// times the enhancement engine's way of filling the box: one paragraph appended
// at a time, a format set on every tenth one.
// Usage: RtfBench [book.txt] [runs] [copies]   (default /work/shared/books/2600-0.txt, 5 runs,
// 1 copy; 5 copies of War and Peace make a 20 MB RTF)
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "RTF.h"

namespace {

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

// Paragraphs of a plain text book: lines joined, empty lines end paragraphs.
std::vector<std::u16string> Paragraphs(const QString &path) {
  QFile f(path);
  std::vector<std::u16string> out;
  if (!f.open(QIODevice::ReadOnly))
    return out;
  const QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
  QString para;
  for (QString line : lines) {
    line = line.trimmed();
    if (line.isEmpty()) {
      if (!para.isEmpty())
        out.push_back(para.toStdU16String());
      para.clear();
    } else {
      para += para.isEmpty() ? line : QLatin1Char(' ') + line;
    }
  }
  if (!para.isEmpty())
    out.push_back(para.toStdU16String());
  return out;
}

void Fill(TRichEdit &box, const std::vector<std::u16string> &paragraphs) {
  TCharFormat base;
  base.Extended = true;
  base.Mask = 0xE0200007;
  base.FaceName = "Times New Roman";
  base.HeightTwips = 320;
  box.SetCharFormat(base, true);
  TParaFormat para;
  para.Extended = true;
  para.Mask = 0x18F | PFM_TABSTOPS;
  para.StartIndent = 576;
  para.Offset = -576;
  para.Alignment = PFA_JUSTIFY;
  para.SpaceAfter = 288;
  para.LineSpacingRule = 5;
  para.LineSpacing = 24;
  box.SetSelection(0, 0);
  box.SetParaFormat(para);
  TCharFormat heading;
  heading.Mask = CFM_BOLD | CFM_UNDERLINE | CFM_COLOR;
  heading.Effects = CFE_BOLD | CFE_UNDERLINE;
  heading.TextColor = 0x00800000;
  TParaFormat centred;
  centred.Mask = PFM_ALIGNMENT;
  centred.Alignment = PFA_CENTER;
  int32_t position = 0;
  for (size_t i = 0; i < paragraphs.size(); ++i) {
    box.AppendParagraph(paragraphs[i]);
    if (i % 10 == 0) {
      box.SetSelection(position, int32_t(paragraphs[i].size()));
      box.SetCharFormat(heading, false);
      box.SetParaFormat(centred);
    }
    box.SetModified(false);
    position += int32_t(paragraphs[i].size()) + 2;
  }
  box.SetSelection(0, 0);
}

}  // namespace

int main(int argc, char **argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QString book = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/work/shared/books/2600-0.txt");
  int runs = argc > 2 ? std::max(1, atoi(argv[2])) : 5;
  int copies = argc > 3 ? std::max(1, atoi(argv[3])) : 1;
  std::vector<std::u16string> paragraphs = Paragraphs(book);
  const std::vector<std::u16string> single = paragraphs;
  for (int k = 1; k < copies; ++k)
    paragraphs.insert(paragraphs.end(), single.begin(), single.end());
  if (paragraphs.empty()) {
    std::fprintf(stderr, "Cannot read %s\n", qPrintable(book));
    return 1;
  }
  QString rtf = QDir::temp().filePath(QStringLiteral("RtfBench.rtf"));
  QString saved = QDir::temp().filePath(QStringLiteral("RtfBench-saved.rtf"));
  std::vector<double> fill, paint, save, lines;
  for (int run = 0; run < runs; ++run) {
    {
      TRichEdit box;
      QElapsedTimer t;
      t.start();
      Fill(box, paragraphs);
      box.Flush();
      fill.push_back(t.elapsed());
      if (run == 0 && !box.SaveRtf(rtf)) {
        std::fprintf(stderr, "Cannot write %s\n", qPrintable(rtf));
        return 1;
      }
    }
    TRichEdit box;
    box.resize(900, 700);
    box.show();
    QApplication::processEvents();
    QElapsedTimer t;
    t.start();
    if (!box.LoadRtf(rtf))
      return 1;
    box.viewport()->repaint();
    paint.push_back(t.elapsed());
    t.restart();
    box.LineCount();
    lines.push_back(t.elapsed());
    t.restart();
    if (!box.SaveRtf(saved))
      return 1;
    save.push_back(t.elapsed());
  }
  std::printf("book %s: %zu paragraphs, RTF %.1f MB\n", qPrintable(book), paragraphs.size(),
              QFileInfo(rtf).size() / 1048576.0);
  std::printf("append %zu paragraphs (formats on every tenth): median %.0f ms\n", paragraphs.size(), Median(fill));
  std::printf("load RTF to first painted page:                median %.0f ms\n", Median(paint));
  std::printf("full layout (LineCount):                       median %.0f ms\n", Median(lines));
  std::printf("save RTF:                                      median %.0f ms\n", Median(save));
  QFile::remove(rtf);
  QFile::remove(saved);
  return 0;
}
