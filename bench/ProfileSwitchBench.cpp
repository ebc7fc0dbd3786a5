// Switching between two books that use different profiles, in the main
// window: the time of each open, and the part of it spent saving the profile
// left and finding, reading and applying the next one. The books are two
// copies of a long book in two folders, each with its own folder profile
// (other font, size, spacing and alignment). Medians, opened in pieces (the
// default) and whole.
//   ProfileSwitchBench [BOOK] [RUNS]
// (defaults /work/shared/books/2600-0.txt, 7 runs)
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "BookLoader.h"
#include "Dialogs.h"
#include "Error.h"
#include "PagelumeDialog.h"
#include "Program.h"

namespace {

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

bool WriteFile(const QString &path, const QByteArray &bytes) {
  QDir().mkpath(QFileInfo(path).path());
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

struct TFigures {
  std::vector<double> Open, Profile;
};

// Opens A and B in turn, runs times each (after one untimed round).
TFigures Switch(TPagelumeForm &form, const QString &a, const QString &b, int runs) {
  TFigures figures;
  double profile = 0;
  auto inner = form.Loader->Host.ResolveProfile;
  form.Loader->Host.ResolveProfile = [&](const QString &path, bool keep) {
    QElapsedTimer timer;
    timer.start();
    inner(path, keep);
    profile = timer.nsecsElapsed() / 1e6;
  };
  for (int i = -1; i < runs; ++i)
    for (const QString &book : {a, b}) {
      QApplication::processEvents();
      QElapsedTimer timer;
      timer.start();
      form.OpenBook(book);
      QApplication::processEvents();  // the first paint
      if (i >= 0) {
        figures.Open.push_back(timer.nsecsElapsed() / 1e6);
        figures.Profile.push_back(profile);
      }
    }
  form.Loader->Host.ResolveProfile = inner;
  return figures;
}

}  // namespace

int main(int argc, char **argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const QString source = argc > 1 ? argv[1] : "/work/shared/books/2600-0.txt";
  const int runs = argc > 2 ? std::max(1, atoi(argv[2])) : 7;
  QFile in(source);
  if (!in.open(QIODevice::ReadOnly)) {
    std::fprintf(stderr, "cannot read %s\n", qPrintable(source));
    return 1;
  }
  const QByteArray text = in.readAll();

  QTemporaryDir temp;
  const QString root = temp.path() + "/";
  const QString a = root + "shelfA/book.txt", b = root + "shelfB/book.txt";
  WriteFile(a, text);
  WriteFile(b, text);
  WriteFile(root + "shelfA/PagelumeProfile.plp",
            "[Profile_Main]\r\nFontName=DejaVu Serif\r\nFontSize=20\r\nLineSpacing=150\r\nSpaceAfter=8\r\n");
  WriteFile(root + "shelfB/PagelumeProfile.plp",
            "[Profile_Main]\r\nFontName=DejaVu Sans\r\nFontSize=14\r\nJustifiedText=FALSE\r\nBoldFont=TRUE\r\n"
            "ParagraphPrefix=Tab\r\n");
  QDir().mkpath(root + "prog");
  SetProgramDirOverride(root + "prog");
  SetMessageBoxHandler([](TMessageKind kind, const QString &) { return kind == TMessageKind::Query; });
  SetShowErrorHandler([](const TFunStatContext &, const std::string &description, bool *) {
    std::fprintf(stderr, "error: %s\n", description.c_str());
    return true;
  });

  TPagelumeForm form;
  form.IsApplicationActive = [] { return false; };
  form.resize(1024, 768);
  form.Start();
  form.show();
  QApplication::processEvents();

  std::printf("%s, %lld bytes, %d runs per book\n", qPrintable(source), static_cast<long long>(text.size()), runs);
  for (bool pieces : {true, false}) {
    form.OpenInPiecesCheckBox->setChecked(pieces);
    const TFigures f = Switch(form, a, b, runs);
    std::vector<double> own;
    for (size_t i = 0; i < f.Open.size(); ++i)
      own.push_back(f.Open[i] - f.Profile[i]);
    std::printf("%-9s switch open %8.1f ms   of which profile %6.2f ms   book's own load %8.1f ms\n",
                pieces ? "pieces" : "whole", Median(f.Open), Median(f.Profile), Median(own));
  }
  SetShowErrorHandler({});
  SetMessageBoxHandler({});
  SetProgramDirOverride(QString());
  return 0;
}
