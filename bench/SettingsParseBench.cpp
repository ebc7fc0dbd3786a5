// Settings file benchmark: loads a settings file of many short keys, as a
// hand-edited or hostile Pagelume.ini or profile may be, and prints the time.
//
//   build/bin/SettingsParseBench [keys ...]     (default: a file of 16 MiB, the largest one read)
//
// Each file is one section of lines "k0000000=1"; the figure is the median of
// three loads (read, decode and parse, then one key looked up).
#include "StoredTextList.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char **argv) {
  QCoreApplication app(argc, argv);
  std::vector<long> counts;
  for (int i = 1; i < argc; ++i)
    counts.push_back(std::max(1L, std::atol(argv[i])));
  const std::string head = "[Pagelume_Main]\r\n";
  const long lineBytes = 12;  // "k0000000=1\r\n"
  if (counts.empty())
    counts.push_back((TStoredTextList::MaxFileSize - long(head.size())) / lineBytes);
  QTemporaryDir temp;
  const QString path = temp.filePath("Pagelume.ini");
  for (long count : counts) {
    std::string text = head;
    text.reserve(head.size() + size_t(count) * lineBytes);
    char line[32];
    for (long i = 0; i < count; ++i) {
      std::snprintf(line, sizeof(line), "k%07ld=1\r\n", i % 10000000);
      text += line;
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.data(), qint64(text.size())) != qint64(text.size()))
      return 1;
    file.close();
    std::vector<double> times;
    bool ok = true;
    for (int run = 0; run < 3; ++run) {
      TStoredTextList list(path.toStdString());
      QElapsedTimer timer;
      timer.start();
      ok = list.Load() && list.Find("pagelume_main", "K0000000") != nullptr && ok;
      times.push_back(double(timer.nsecsElapsed()) / 1e9);
    }
    std::sort(times.begin(), times.end());
    std::printf("%ld keys (%zu bytes): load %.3f s%s\n", count, text.size(), times[1], ok ? "" : " (FAILED)");
    std::fflush(stdout);
  }
  return 0;
}
