#include "Install.h"

#include "BookText.h"
#include "Dialogs.h"
#include "Error.h"
#include "File.h"
#include "Program.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>

#include <cerrno>

namespace {

std::string Std(const QString &text) { return text.toStdString(); }

QString WithoutSeparator(QString path) {
  while (path.size() > 1 && path.endsWith('/'))
    path.chop(1);
  return path;
}

// The folder with symbolic links resolved, without a trailing separator; the
// cleaned absolute path when it does not exist.
QString CanonicalDir(const QString &dir) {
  const QString canonical = QFileInfo(dir).canonicalFilePath();
  return canonical.isEmpty() ? QDir::cleanPath(QDir(dir).absolutePath()) : canonical;
}

// The names of the entries the installer makes in its menu folder.
const char *const MenuEntryNames[] = {"", "Uninstall", "Readme"};  // "" stands for the program's name

QString MenuEntryName(const char *entry, const QString &name) {
  return (*entry ? QString(entry) : name) + LinkExtension(QString());
}

// Folders that are never an installation: the root, top-level folders, the
// system's own trees, the home folder and the folders above it, and the
// user's standard folders (the installer puts installations inside them).
bool IsProtectedFolder(const QString &canonical) {
  if (canonical.isEmpty() || canonical == "/" || canonical.count('/') <= 1)
    return true;
  const QString home = CanonicalDir(QDir::homePath());
  if (canonical == home || home.startsWith(canonical + '/'))
    return true;
  static const char *const systemTrees[] = {"/usr", "/etc", "/bin", "/sbin", "/lib", "/lib32", "/lib64",
                                            "/libx32", "/boot", "/dev", "/proc", "/sys", "/run", "/var"};
  for (const char *tree : systemTrees) {
    if (!canonical.startsWith(QString(tree) + '/'))
      continue;
    // /usr/local/<name> is a place people choose for programs of their own;
    // its standard subfolders are not.
    if (canonical.startsWith("/usr/local/")) {
      static const QStringList standard{"bin",  "sbin", "lib", "lib64", "libexec", "share",
                                        "include", "src", "etc", "games", "man"};
      const QString first = canonical.mid(11).section('/', 0, 0);
      if (!standard.contains(first))
        return false;
    }
    return true;
  }
  QStringList standardFolders{home + "/.local", home + "/.local/share", home + "/.local/opt", home + "/.config",
                              "/opt", ProgramFilesPath()};
  for (auto location : {QStandardPaths::DesktopLocation, QStandardPaths::DocumentsLocation,
                        QStandardPaths::ApplicationsLocation, QStandardPaths::GenericConfigLocation,
                        QStandardPaths::DownloadLocation, QStandardPaths::GenericDataLocation})
    standardFolders << QStandardPaths::writableLocation(location);
  for (const QString &folder : standardFolders)
    if (!folder.isEmpty() && canonical == CanonicalDir(folder))
      return true;
  return false;
}

// Whether the folder or any folder inside it holds a ".git" entry (a source
// tree, which no installation is).
bool HoldsRepository(const QString &dir) {
  if (QFileInfo::exists(dir + "/.git"))
    return true;
  QDirIterator it(dir, QDir::Dirs | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                  QDirIterator::Subdirectories);
  while (it.hasNext()) {
    it.next();
    if (it.fileName() == ".git" || QFileInfo::exists(it.filePath() + "/.git"))
      return true;
  }
  return false;
}

// The key=value pairs of a small text file (empty when it is missing or large).
QHash<QString, QString> ReadKeys(const QString &path) {
  QHash<QString, QString> keys;
  QFile file(path);
  if (!QFileInfo(path).isFile() || file.size() > 65536 || !file.open(QIODevice::ReadOnly))
    return keys;
  for (const QString &line : QString::fromUtf8(file.readAll()).split('\n')) {
    const qsizetype eq = line.indexOf('=');
    if (eq > 0 && !line.startsWith('['))
      keys.insert(line.left(eq).trimmed(), line.mid(eq + 1));
  }
  return keys;
}

// Reads the readme as a book is read: UTF-8 when valid, else code page 1252.
QString ReadText(const QString &path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    return QString();
  const QByteArray bytes = file.read(4 << 20);
  const std::u16string text = DecodeBookBytes(std::string_view(bytes.constData(), size_t(bytes.size())), false);
  return QString::fromStdU16String(text);
}

bool SaveText(const QString &path, const QString &text) {
  return SaveFileSafely(path, text.toUtf8());
}

}  // namespace

bool WriteInstallMarker(const QString &dir, const QString &name) {
  const QString canonical = CanonicalDir(dir);
  return SaveText(canonical + '/' + InstallMarkerFileName,
                  "[Installation]\nDirectory=" + canonical + "\nProgram=" + name + '\n');
}

QString UninstallRefusal(const QString &dir, const QString &name) {
  const QString canonical = CanonicalDir(dir);
  const QString shown = WithSeparator(canonical);
  const QString marker = canonical + '/' + InstallMarkerFileName;
  if (!QFileInfo(marker).isFile() && QFileInfo(canonical + "/../share/" + name.toLower()).isDir())
    return name + " was installed by the system's package manager; remove it with the package manager "
                  "(for example: sudo apt remove " + name.toLower() + "). Nothing was deleted.";
  if (IsProtectedFolder(canonical))
    return "The folder \"" + shown + "\" is a system or home folder and is never deleted. Nothing was deleted.";
  if (!QFileInfo(canonical).isDir())
    return "The folder \"" + shown + "\" does not exist. Nothing was deleted.";
  if (HoldsRepository(canonical))
    return "The folder \"" + shown + "\" holds a Git repository, so it is no installation of " + name +
           ". Nothing was deleted.";
  const auto keys = ReadKeys(marker);
  if (keys.value("Directory") != canonical || keys.value("Program") != name ||
      !QFileInfo(canonical + '/' + name).isFile())
    return "The folder \"" + shown + "\" is not an installation made by the " + name +
           " installer. Nothing was deleted.";
  return QString();
}

QString UninstallEntryDir() {
  QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
  if (config.isEmpty())
    config = QDir::homePath() + "/.config";
  return WithSeparator(config) + "Pagelume-uninstall/";
}

QString UninstallEntryPath(const QString &key) { return UninstallEntryDir() + key + ".ini"; }

bool SetUninstallRegistry(const QString &key, const QString &displayName, const QString &command) {
  OP_BEGIN("SetUninstallRegistry");
  bool result = false;
  OP_TRY {
    QString error;
    errno = 0;
    if (!QDir().mkpath(UninstallEntryDir()) ||
        !SaveFileSafely(UninstallEntryPath(key),
                        ("[Uninstall]\nDisplayName=" + displayName + "\nUninstallString=" + command + '\n').toUtf8(),
                        &error)) {
      OP_RAISE("Failed to write uninstall entry.", Std(UninstallEntryPath(key)), Std(error), errno ? errno : EIO);
      return result;
    }
    result = true;
  }
  OP_CATCH;
  return result;
}

bool DeleteUninstallerRegistry(const QString &key) {
  OP_BEGIN("DeleteUninstallerRegistry");
  bool result = false;
  OP_TRY {
    const QString path = UninstallEntryPath(key);
    if (QFileInfo::exists(path) && !QFile::remove(path)) {
      OP_RAISE("Failed to delete uninstall entry.", Std(path), std::string(), errno ? errno : EACCES);
      return result;
    }
    QDir().rmdir(UninstallEntryDir());  // only when no other entry is left
    result = true;
  }
  OP_CATCH;
  return result;
}

// ---- The window ----

TInstallForm::TInstallForm(const TInstallParams &params, bool uninstall, const QString &sourceDir,
                           const QString &exeFileName, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      Params(params), UninstallMode(uninstall),
      SourceDir(WithSeparator(sourceDir.isEmpty() ? ProgramDir() : sourceDir)),
      ExeFileName(exeFileName.isEmpty() ? ProgramFileName() : exeFileName) {
  setObjectName("InstallForm");
  setWindowTitle((uninstall ? "Uninstall " : "Install ") + Params.Name);
  setFixedSize(400, 450);
  QFont font("Arial");
  font.setPixelSize(12);
  setFont(font);
  setAttribute(Qt::WA_AlwaysShowToolTips);

  TitlePanel = new QLabel((uninstall ? "Bye from " : "Welcome to ") + Params.Name, this);
  TitlePanel->setObjectName("TitlePanel");
  TitlePanel->setGeometry(5, 5, 390, 60);
  TitlePanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  TitlePanel->setLineWidth(1);
  TitlePanel->setAlignment(Qt::AlignCenter);
  QFont titleFont("Comic Sans MS");
  titleFont.setPixelSize(30);
  titleFont.setBold(true);
  titleFont.setItalic(true);
  TitlePanel->setFont(titleFont);

  DescriptionLabel = new QLabel(Params.Description, this);
  DescriptionLabel->setObjectName("DescriptionLabel");
  DescriptionLabel->setGeometry(5, 75, 390, 15);
  DescriptionLabel->setAlignment(Qt::AlignCenter);

  VersionLabel = new QLabel(Params.Version, this);
  VersionLabel->setObjectName("VersionLabel");
  VersionLabel->setGeometry(5, 100, 390, 15);
  VersionLabel->setAlignment(Qt::AlignCenter);

  InstructionsLabel = new QLabel(
      "The program can be reinstalled without the need to uninstall its previous version. The existing options "
      "file will be preserved. If you want to repair the installed package, simply reinstall the program. Before "
      "continuing, close any running instances of the program.",
      this);
  InstructionsLabel->setObjectName("InstructionsLabel");
  InstructionsLabel->setGeometry(10, 125, 380, 65);
  InstructionsLabel->setWordWrap(true);
  InstructionsLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  ReadmeMemo = new QPlainTextEdit(this);
  ReadmeMemo->setObjectName("ReadmeMemo");
  ReadmeMemo->setGeometry(5, 200, 390, 145);
  ReadmeMemo->setReadOnly(true);
  ReadmeMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  ReadmeMemo->setPlainText(ReadText(SourceDir + "Readme.txt"));

  DirectoryLabel = new QLabel(uninstall ? "The following directory will be deleted:"
                                        : "The program's installation directory will be put in directory:",
                              this);
  DirectoryLabel->setObjectName("DirectoryLabel");
  DirectoryLabel->move(5, 360);
  DirectoryLabel->adjustSize();

  DirectoryEdit = new QLineEdit(this);
  DirectoryEdit->setObjectName("DirectoryEdit");
  DirectoryEdit->setGeometry(20, 380, 290, 23);
  DirectoryEdit->setReadOnly(true);
  if (uninstall) {
    DirectoryEdit->setText(SourceDir);
  } else {
    // Shown, not created: the folder is made when the user agrees to install.
    DirectoryEdit->setText(WithSeparator(ProgramFilesPath()));
  }

  BrowseButton = new QPushButton("&Browse", this);
  BrowseButton->setObjectName("BrowseButton");
  BrowseButton->setGeometry(320, 380, 75, 23);
  BrowseButton->setEnabled(!uninstall);

  InstallButton = new QPushButton(uninstall ? "Un&install" : "&Install", this);
  InstallButton->setObjectName("InstallButton");
  InstallButton->setGeometry(120, 415, 75, 25);

  CancelButton = new QPushButton("&Cancel", this);
  CancelButton->setObjectName("CancelButton");
  CancelButton->setGeometry(205, 415, 75, 25);

  connect(BrowseButton, &QPushButton::clicked, this, &TInstallForm::BrowseButtonClick);
  connect(InstallButton, &QPushButton::clicked, this, &TInstallForm::InstallButtonClick);
  connect(CancelButton, &QPushButton::clicked, this, &TInstallForm::CancelButtonClick);

  setTabOrder(ReadmeMemo, DirectoryEdit);
  setTabOrder(DirectoryEdit, BrowseButton);
  setTabOrder(BrowseButton, InstallButton);
  setTabOrder(InstallButton, CancelButton);
  ReadmeMemo->setFocus();

  if (QScreen *screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
}

void TInstallForm::keyPressEvent(QKeyEvent *event) {
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    CancelButtonClick();
    return;
  }
  QWidget::keyPressEvent(event);
}

void TInstallForm::BrowseButtonClick() {
  QFileDialog dialog(this, "Browse", DirectoryEdit->text());
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly);
  if (ExecDialog(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
    return;
  const QString chosen = dialog.selectedFiles().first();
  if (!chosen.isEmpty())
    DirectoryEdit->setText(WithSeparator(chosen));
}

void TInstallForm::InstallButtonClick() {
  InstallButton->setEnabled(false);
  if (DirectoryEdit->text().isEmpty())
    Warning("(Un)Installation directory is empty.");
  else if (UninstallMode)
    Uninstall();
  else
    Install();
  close();
}

void TInstallForm::CancelButtonClick() { close(); }

bool TInstallForm::Install() {
  OP_BEGIN("TInstallForm::Install");
  bool result = false;
  OP_TRY {
    do {
      if (DirectoryEdit->text().isEmpty()) {
        OP_RAISE("Installation directory is empty.");
        break;
      }
      const QString folder = FileName(WithoutSeparator(SourceDir));
      const QString target = WithSeparator(DirectoryEdit->text()) + folder;
      if (!Query("Install the program in directory \"" + target + "\"?"))
        break;
      QDir().mkpath(DirectoryEdit->text());  // a failure shows in the copy
      if (!CopyDeleteDirectory(SourceDir, target, true)) {
        OP_ADOPT();
        break;
      }
      const QString exe = target + '/' + Params.Name;
      if (ExeFileName != Params.Name && !MyRenameFile(target + '/' + ExeFileName, exe, true)) {
        OP_ADOPT();
        break;
      }
      if (!WriteInstallMarker(target, Params.Name)) {
        OP_RAISE("Failed to write the installation record.", Std(target + '/' + InstallMarkerFileName),
                 std::string(), errno ? errno : EIO);
        break;
      }

      // The entries carry the shipped icon and a menu category.
      const QString icon = QFileInfo::exists(target + "/Pagelume.png") ? target + "/Pagelume.png" : QString();
      auto saveEntry = [&](const QString &file, const QString &arguments, const QString &description) {
        TLinkFile link;
        link.ReferencePath = exe;
        link.Arguments = arguments;
        link.Description = description;
        link.WorkingPath = target;
        link.IconPath = icon;
        link.Categories = "Office;Viewer;";
        return link.Save(file, true);
      };
      const QString desktop = GetSystemDirectoryPath(TSystemFolder::Desktop);
      if (desktop.isEmpty() || !saveEntry(desktop + '/' + MenuEntryName("", Params.Name), QString(),
                                          "Read plain-text and rich-text books")) {
        OP_ADOPT();
        break;
      }
      const QString programs = GetSystemDirectoryPath(TSystemFolder::Programs);
      const QString menu = programs + '/' + folder;
      errno = 0;
      if (programs.isEmpty() || !QDir().mkpath(menu)) {
        if (!OP_ADOPT())
          OP_RAISE("Failed to create directory.", Std(menu), std::string(), errno ? errno : EACCES);
        break;
      }
      // The readme opens in the reader itself, so the entry shows in every
      // desktop's menu (a link to a document shows in few).
      if (!saveEntry(menu + '/' + MenuEntryName("", Params.Name), QString(), "Read plain-text and rich-text books") ||
          !saveEntry(menu + '/' + MenuEntryName("Uninstall", Params.Name), "/Uninstall",
                     "Remove " + Params.Name + " from " + target) ||
          !saveEntry(menu + '/' + MenuEntryName("Readme", Params.Name), target + "/Readme.txt",
                     "Read about " + Params.Name)) {
        OP_ADOPT();
        break;
      }
      SetUninstallRegistry(Params.Name, Params.Name, exe + " /Uninstall");
      FunStatContext.Reset();  // the uninstall entry is a convenience only
      if (!RunFile(exe, QString(), target, false, false)) {
        OP_ADOPT();
        break;
      }
      result = true;
    } while (false);
  }
  OP_CATCH;
  OP_SHOW("Failed to install program. Check to see if you have rights to write in the installation directory.");
  return result;
}

bool TInstallForm::Uninstall() {
  OP_BEGIN("TInstallForm::Uninstall");
  bool result = false;
  OP_TRY {
    do {
      const QString dir = DirectoryEdit->text();
      if (dir.isEmpty()) {
        OP_RAISE("Uninstallation directory is empty.");
        break;
      }
      // Only a folder that the installer made goes; anything else (the build
      // tree, a folder of books, a system folder) stays as it is.
      const QString refusal = UninstallRefusal(dir, Params.Name);
      if (!refusal.isEmpty()) {
        Warning(refusal);
        break;
      }
      if (!Query("Delete directory \"" + dir + "\" (and all contained files)?"))
        break;
      const QString canonical = CanonicalDir(dir);
      // The desktop and menu entries go only when they start this
      // installation (another installation may have written them since).
      const QString menu = GetSystemDirectoryPath(TSystemFolder::Programs) + '/' + FileName(canonical);
      QStringList entries{GetSystemDirectoryPath(TSystemFolder::Desktop) + '/' + MenuEntryName("", Params.Name)};
      for (const char *entry : MenuEntryNames)
        entries << menu + '/' + MenuEntryName(entry, Params.Name);
      QStringList ours;
      for (const QString &entry : entries) {
        TLinkFile link;
        if (link.Load(entry) && IsInside(canonical + '/', CanonicalDir(link.ReferencePath)))
          ours << entry;
      }
      // Likewise the uninstall entry.
      QString command = ReadKeys(UninstallEntryPath(Params.Name)).value("UninstallString");
      if (command.endsWith(" /Uninstall"))
        command.chop(11);
      const bool ourUninstallEntry = command.isEmpty() || IsInside(canonical + '/', CanonicalDir(command));
      FunStatContext.Reset();

      DeleteDirectoryNoErrors(dir);  // what is in use stays
      FunStatContext.Reset();
      for (const QString &entry : ours)
        QFile::remove(entry);
      QDir().rmdir(menu);  // only when nothing else is in it
      if (ourUninstallEntry && !DeleteUninstallerRegistry(Params.Name)) {
        OP_ADOPT();
        break;
      }
      Message("Uninstallation successful. Some files that were in use were not deleted.");
      result = true;
    } while (false);
  }
  OP_CATCH;
  OP_SHOW("Failed to uninstall program.");
  return result;
}
