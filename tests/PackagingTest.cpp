// The files that ship beside the program for the desktop and the package
// manager: the manual page, the software-centre metadata, the menu entry, and
// the version they and the program state.
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <iostream>

namespace {

const QString Packaging = QString(PAGELUME_SOURCE_DIR) + "/packaging/";

QByteArray ReadAll(const QString &path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct TRun {
  int Status = -1;
  QByteArray Out, Err;
};

TRun RunTool(const QString &program, const QStringList &arguments, const QProcessEnvironment &env = {}) {
  QProcess p;
  if (!env.isEmpty())
    p.setProcessEnvironment(env);
  p.start(program, arguments);
  TRun run;
  if (p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit)
    run.Status = p.exitCode();
  run.Out = p.readAllStandardOutput();
  run.Err = p.readAllStandardError();
  return run;
}

// Runs a checking tool when this machine has it; false (with a note) when not.
bool HasTool(const char *name, QString &path) {
  path = QStandardPaths::findExecutable(name);
  if (path.isEmpty())
    std::cout << "[ SKIPPED  ] " << name << " is not installed\n";
  return !path.isEmpty();
}

}  // namespace

// --version needs no display; the manual page, the metadata and the package's
// changelog state the same version as the program.
TEST(Packaging, VersionIsTheSameEverywhere) {
  QTemporaryDir dir;
  QProcessEnvironment env;
  env.insert("HOME", dir.path());
  env.insert("TMPDIR", dir.path());
  const TRun run = RunTool(QString(PAGELUME_BIN_DIR) + "/Pagelume", {"--version"}, env);
  EXPECT_EQ(run.Status, 0) << run.Err.toStdString();
  EXPECT_EQ(run.Out, "Pagelume " PAGELUME_VERSION "\n");
  EXPECT_TRUE(run.Err.isEmpty());

  EXPECT_TRUE(ReadAll(Packaging + "pagelume.1").contains("\"Pagelume " PAGELUME_VERSION "\""));
  EXPECT_TRUE(ReadAll(Packaging + "io.github.pagelume.Pagelume.metainfo.xml")
                  .contains("<release version=\"" PAGELUME_VERSION "\""));
  EXPECT_TRUE(ReadAll(Packaging + "changelog.Debian").startsWith("pagelume (" PAGELUME_VERSION "-"));
}

// The manual page renders without a warning and names every option the
// program's own help lists.
TEST(Packaging, ManualPageRendersAndCoversTheHelp) {
  const QByteArray page = ReadAll(Packaging + "pagelume.1");
  ASSERT_FALSE(page.isEmpty());
  const TRun help = RunTool(QString(PAGELUME_BIN_DIR) + "/Pagelume", {"--help"});
  ASSERT_EQ(help.Status, 0);
  const QString helpText = QString::fromUtf8(help.Out + help.Err);
  QRegularExpression option("(?<![\\w-])--[a-z][a-z-]*");
  int options = 0;
  for (auto it = option.globalMatch(helpText); it.hasNext(); ++options) {
    const QString name = it.next().captured();
    EXPECT_TRUE(page.contains(QString(name).replace("-", "\\-").toUtf8())) << name.toStdString();
  }
  EXPECT_GE(options, 7);
  EXPECT_TRUE(page.contains("/Uninstall"));

  QString groff;
  if (!HasTool("groff", groff))
    return;
  const TRun render = RunTool(groff, {"-man", "-ww", "-z", Packaging + "pagelume.1"});
  EXPECT_EQ(render.Status, 0);
  EXPECT_TRUE(render.Err.isEmpty()) << render.Err.toStdString();
}

// The software centres' metadata and the package's menu entry pass their
// validators.
TEST(Packaging, MetadataAndMenuEntryValidate) {
  QString appstream, desktop;
  if (HasTool("appstreamcli", appstream)) {
    const TRun run =
        RunTool(appstream, {"validate", "--no-net", Packaging + "io.github.pagelume.Pagelume.metainfo.xml"});
    EXPECT_EQ(run.Status, 0) << run.Out.toStdString() << run.Err.toStdString();
    EXPECT_FALSE(run.Out.contains("W:") || run.Out.contains("E:")) << run.Out.toStdString();
  }
  if (HasTool("desktop-file-validate", desktop)) {
    const TRun run = RunTool(desktop, {Packaging + "pagelume.desktop"});
    EXPECT_EQ(run.Status, 0);
    EXPECT_TRUE(run.Out.isEmpty()) << run.Out.toStdString();
  }
}
