// RTF files of unusual shape: huge colour and font tables, and paragraphs of
// very many format runs. Each file is made here, loaded into a reading box and
// saved back as RTF and as text; the times are medians of several runs.
// Usage: RtfShapesBench [runs] [folder]   (default 3 runs; with a folder the
// files are also left there, to time `Pagelume --convert` on them; 0 runs
// only makes the files)
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "RTF.h"

namespace {

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

// A colour table of `entries` colours, each used by one run.
std::string ColourTable(int entries) {
  std::string s = "{\\rtf1\\ansi{\\fonttbl{\\f0 Times;}}{\\colortbl;";
  for (int i = 0; i < entries; ++i)
    s += "\\red" + std::to_string(i % 256) + "\\green" + std::to_string(i / 256 % 256) + "\\blue" +
         std::to_string(i / 65536) + ";";
  s += "}\n";
  for (int i = 1; i <= entries; ++i) {
    s += "{\\cf" + std::to_string(i) + " word" + std::to_string(i) + "} ";
    if (i % 50 == 0)
      s += "\\par\n";
  }
  return s + "}";
}

// A font table of `entries` fonts, each used by one run.
std::string FontTable(int entries) {
  std::string s = "{\\rtf1\\ansi{\\fonttbl";
  for (int i = 0; i < entries; ++i)
    s += "{\\f" + std::to_string(i) + "\\fswiss Face number " + std::to_string(i) + ";}";
  s += "}\n";
  for (int i = 0; i < entries; ++i) {
    s += "{\\f" + std::to_string(i) + " word" + std::to_string(i) + "} ";
    if (i % 50 == 49)
      s += "\\par\n";
  }
  return s + "}";
}

// `runs` runs alternating bold and plain, in `paragraphs` paragraphs; the
// runs make one word, or words with spaces between them.
std::string ManyRuns(int runs, int paragraphs, bool spaced = false) {
  std::string s = "{\\rtf1 ";
  const int perParagraph = runs / paragraphs;
  for (int i = 0; i < runs; ++i) {
    s += (i % 2 == 0) ? "\\b a" : "\\b0 b";
    if (spaced)
      s += ' ';
    if ((i + 1) % perParagraph == 0 && i + 1 < runs)
      s += "\\par\n";
  }
  return s + "}";
}

}  // namespace

int main(int argc, char **argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int runs = argc > 1 ? std::max(0, atoi(argv[1])) : 3;  // 0: only make the files
  QTemporaryDir temp;
  const QString folder = argc > 2 ? QString::fromLocal8Bit(argv[2]) : temp.path();
  QDir().mkpath(folder);
  struct TCase {
    const char *Name;
    std::string Rtf;
  };
  const TCase cases[] = {
      {"colours-100k", ColourTable(100000)},
      {"fonts-100k", FontTable(100000)},
      {"runs-20k-1-paragraph", ManyRuns(20000, 1)},
      {"runs-80k-1-paragraph", ManyRuns(80000, 1)},
      {"runs-80k-800-paragraphs", ManyRuns(80000, 800)},
      {"runs-80k-1-paragraph-spaced", ManyRuns(80000, 1, true)},
  };
  std::printf("%-28s %8s %10s %10s %10s\n", "file", "MB", "load ms", "save rtf", "save txt");
  for (const TCase &c : cases) {
    const QString path = QDir(folder).filePath(QString::fromLatin1(c.Name) + ".rtf");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(c.Rtf.data(), qint64(c.Rtf.size())) != qint64(c.Rtf.size())) {
      std::fprintf(stderr, "Cannot write %s\n", qPrintable(path));
      return 1;
    }
    file.close();
    if (runs == 0)
      continue;
    std::vector<double> load, saveRtf, saveText;
    for (int run = 0; run < runs; ++run) {
      TRichEdit box;
      QElapsedTimer t;
      t.start();
      if (!box.LoadRtf(path))
        return 1;
      box.Flush();
      load.push_back(t.elapsed());
      t.restart();
      if (!box.SaveRtf(QDir(temp.path()).filePath("saved.rtf")))
        return 1;
      saveRtf.push_back(t.elapsed());
      t.restart();
      if (!box.SaveText(QDir(temp.path()).filePath("saved.txt")))
        return 1;
      saveText.push_back(t.elapsed());
    }
    std::printf("%-28s %8.1f %10.0f %10.0f %10.0f\n", c.Name, c.Rtf.size() / 1048576.0, Median(load),
                Median(saveRtf), Median(saveText));
    std::fflush(stdout);
  }
  return 0;
}
