// Loads every .rtf file of a folder into the reading box and prints, per file,
// whether it loaded, the text length and the time taken. A check against
// crashes and hangs on files from many programs (run it under the sanitizers).
// Usage: RtfLoadAll [folder] [--print | --shot]   (default /work/shared/rtf; --print shows the
// texts, --shot saves a picture of the box per file as /tmp/RtfLoadAll-<name>.png)
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <cstdio>

#include "Error.h"
#include "RTF.h"

// True when two boxes hold the same text with the same formats, character by character.
static bool SameDocument(TRichEdit &a, TRichEdit &b) {
  if (a.Text() != b.Text())
    return false;
  QTextBlock ba = a.document()->begin(), bb = b.document()->begin();
  for (; ba.isValid() && bb.isValid(); ba = ba.next(), bb = bb.next()) {
    if (!(a.FromQtBlockFormat(ba.blockFormat()) == b.FromQtBlockFormat(bb.blockFormat())))
      return false;
    for (int i = 0; i < ba.length() - 1; ++i) {
      QTextCursor ca(a.document()), cb(b.document());
      ca.setPosition(ba.position() + i + 1);
      cb.setPosition(bb.position() + i + 1);
      TCharFormat fa = a.FromQtCharFormat(ca.charFormat()), fb = b.FromQtCharFormat(cb.charFormat());
      fa.Effects &= ~CFE_LINK;
      fb.Effects &= ~CFE_LINK;
      fa.Mask &= ~CFM_LINK;
      fb.Mask &= ~CFM_LINK;
      if (!(fa == fb))
        return false;
    }
  }
  return ba.isValid() == bb.isValid();
}

int main(int argc, char **argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/work/shared/rtf");
  bool print = argc > 2 && QByteArray(argv[2]) == "--print";
  bool shot = argc > 2 && QByteArray(argv[2]) == "--shot";
  QDir dir(folder);
  const QStringList names = dir.entryList({QStringLiteral("*.rtf")}, QDir::Files, QDir::Name);
  int loaded = 0, failed = 0, unexpected = 0;
  TRichEdit box;
  box.resize(600, 400);
  box.show();
  for (const QString &name : names) {
    FunStatContext.Reset();
    QElapsedTimer t;
    t.start();
    bool ok = box.LoadRtf(dir.filePath(name));
    box.LineCount();
    QString saved = QDir::temp().filePath(QStringLiteral("RtfLoadAll.rtf"));
    bool savedOk = ok && box.SaveRtf(saved);
    TRichEdit back;
    bool reread = savedOk && back.LoadRtf(saved) && SameDocument(box, back);
    bool failName = name.contains(QLatin1String("fail"), Qt::CaseInsensitive);
    if (!ok && !failName)
      ++unexpected;
    if (ok && !reread)
      ++unexpected;
    (ok ? loaded : failed)++;
    std::printf("%-50s %-6s %8d chars %6lld ms%s%s\n", qPrintable(name), ok ? "ok" : "FAILED", box.TextLength(),
                static_cast<long long>(t.elapsed()), ok ? "" : (" " + FunStatContext.Param2).c_str(),
                ok && !reread ? " (save and reload differ)" : "");
    if (shot)
      box.grab().save(QDir::temp().filePath(QStringLiteral("RtfLoadAll-") + name + QStringLiteral(".png")));
    if (print)
      std::printf("%s\n", QString::fromStdU16String(box.Text()).toUtf8().constData());
  }
  std::printf("%d loaded, %d failed, %d unexpected\n", loaded, failed, unexpected);
  return unexpected == 0 ? 0 : 1;
}
