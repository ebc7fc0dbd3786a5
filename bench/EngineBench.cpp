// Enhancement speed on a ~20 MB book made of the sample books repeated.
// Usage: EngineBench [books directory] [megabytes] [runs]
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "../tests/BookLines.h"
#include "EnhancedRTF.h"

namespace {

// A reading box that only counts what it is given.
class TCountingRichBox : public IRichBox {
public:
  int64_t Paragraphs = 0, Characters = 0, FormatCalls = 0;
  void AppendParagraph(const std::u16string &text) override {
    ++Paragraphs;
    Characters += int64_t(text.size()) + 2;
  }
  void SetSelection(int32_t, int32_t) override {}
  void SetCharFormat(const TCharFormat &, bool) override { ++FormatCalls; }
  void SetParaFormat(const TParaFormat &) override { ++FormatCalls; }
  std::u16string Text() const override { return std::u16string(); }
  void Clear() override { Paragraphs = Characters = 0; }
  void SetModified(bool) override {}
};

long PeakKilobytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char **argv) {
  const std::string dir = argc > 1 ? argv[1] : "/work/shared/books";
  const size_t wantedBytes = size_t(argc > 2 ? std::atof(argv[2]) : 20.0) * 1000000;
  const int runs = argc > 3 ? std::atoi(argv[3]) : 5;

  std::vector<std::filesystem::path> files;
  for (const auto &entry : std::filesystem::directory_iterator(dir))
    if (entry.path().extension() == ".txt") files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  if (files.empty()) {
    std::fprintf(stderr, "No .txt books in %s\n", dir.c_str());
    return 1;
  }
  std::vector<std::u16string> lines;
  size_t bytes = 0;
  while (bytes < wantedBytes) {
    for (const auto &file : files) {
      const std::string content = booklines::ReadFile(file.string());
      bytes += content.size();
      for (auto &line : booklines::SplitLines(booklines::Decode(content))) lines.push_back(std::move(line));
      if (bytes >= wantedBytes) break;
    }
  }
  booklines::AddEndMarker(lines);
  const long loadedKb = PeakKilobytes();

  std::vector<double> seconds;
  TCountingRichBox box;
  TEnhancedRichEdit engine;
  engine.RichBox = &box;
  // Emphasis colours that differ from the text colour, so that quotes are coloured.
  engine.SetBaseFormat(false, false, 120, 5, 10, 3, 0x5A00B4, 0x820000, 0x000000, 0, 16, "Serif", false);
  int64_t progressCalls = 0;
  engine.Progress = [&](int32_t) {
    ++progressCalls;
    return false;
  };
  for (int run = 0; run < runs; ++run) {
    box.Clear();
    box.FormatCalls = 0;
    progressCalls = 0;
    const auto t0 = std::chrono::steady_clock::now();
    engine.EnhanceText(lines, "Tab", false, false);
    const auto t1 = std::chrono::steady_clock::now();
    seconds.push_back(std::chrono::duration<double>(t1 - t0).count());
  }
  std::sort(seconds.begin(), seconds.end());
  std::printf("book: %zu bytes from %zu files, %zu lines\n", bytes, files.size(), lines.size());
  std::printf("result: %lld paragraphs, %lld characters, %d chapters, %lld format calls, %lld progress calls\n",
              (long long)box.Paragraphs, (long long)box.Characters, engine.ChapterCount, (long long)box.FormatCalls,
              (long long)progressCalls);
  std::printf("EnhanceText: median %.3f s, min %.3f s, max %.3f s over %d runs\n", seconds[seconds.size() / 2],
              seconds.front(), seconds.back(), runs);
  std::printf("peak memory: %ld kB (%ld kB after loading the lines)\n", PeakKilobytes(), loadedKb);
  return 0;
}
