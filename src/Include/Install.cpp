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
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

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

// How the desktop knows an entry of the menu folder: "folder-name.desktop".
QString MenuEntryId(const QString &folder, const char *entry, const QString &name) {
  return folder + '-' + MenuEntryName(entry, name);
}

// The launcher element of the software-centre metadata, naming the entry id.
QString MetainfoLaunchable(const QString &id) {
  return "<launchable type=\"desktop-id\">" + id.toHtmlEscaped() + "</launchable>";
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

// Whether anything (a dangling link too) has the name.
bool EntryExists(const QString &path) {
  struct stat st;
  return !path.isEmpty() && ::lstat(EncodeFileName(path).constData(), &st) == 0;
}

bool IsEmptyFolder(const QString &dir) {
  return QFileInfo(dir).isDir() &&
         QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot).isEmpty();
}

// Removes the folder when it is empty (the result is not needed: a folder
// that holds something stays).
void RemoveEmptyFolder(const QString &dir) { ::rmdir(EncodeFileName(dir).constData()); }

// Removes a file or link; true when nothing of that name is left.
bool RemoveEntry(const QString &path) {
  if (EntryExists(path))
    MyDeleteFile(path);
  FunStatContext.Reset();  // the check below decides
  return !EntryExists(path);
}

// Creates dir with any missing parents; the folders made are appended to
// made, the outermost first.
bool MakeFolders(const QString &dir, QStringList *made) {
  QStringList missing;
  for (QString path = QDir::cleanPath(dir); !EntryExists(path);) {
    missing.prepend(path);
    const QString parent = QFileInfo(path).path();
    if (parent == path)
      break;
    path = parent;
  }
  for (const QString &folder : missing) {
    if (!QDir().mkdir(folder))
      return false;
    made->append(folder);
  }
  return QFileInfo(dir).isDir();
}

// The files and folders of the distribution as the copy takes them (names
// beginning with "." stay behind), relative to root; false when a folder
// cannot be listed.
bool ListDistribution(const QString &root, const QString &relative, QStringList *files, QStringList *folders) {
  TFileList directories, names;
  if (!LoadFilesFromDir(root + relative, "*", false, false, -1, nullptr, &directories, &names))
    return false;
  for (const TFileItem &item : directories) {
    const QString path = relative + item.Text;
    if (QFileInfo(root + path).isSymLink()) {  // copied as a link
      files->append(path);
      continue;
    }
    folders->append(path);
    if (!ListDistribution(root, path + '/', files, folders))
      return false;
  }
  for (const TFileItem &item : names)
    files->append(relative + item.Text);
  return true;
}

// Files the program itself makes in its folder: the settings, profiles, the
// error log, and what an interrupted save or copy leaves.
const QStringList ProgramMadeFiles{"Pagelume.ini", "Errors.log", "*.plp", "Pagelume.ini.??????", "*.plp.??????",
                                   ".pagelume-copy-??????"};

// ---- The record's text ----

// A value is the name's bytes with "\", line feed and carriage return escaped.
QByteArray EscapeRecordValue(const QString &value) {
  return EncodeFileName(value).replace('\\', "\\\\").replace('\n', "\\n").replace('\r', "\\r");
}

QString UnescapeRecordValue(const QByteArray &value) {
  QByteArray out;
  for (qsizetype i = 0; i < value.size(); ++i) {
    char c = value[i];
    if (c == '\\' && i + 1 < value.size()) {
      c = value[++i];
      c = c == 'n' ? '\n' : c == 'r' ? '\r' : c;
    }
    out += c;
  }
  return DecodeFileName(out);
}

// The folder of menu folders' descriptions and the folder of menu merge files.
QString DesktopDirectoriesDir() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/desktop-directories";
}
QString MenuMergeDir() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/menus/applications-merged";
}

// A desktop-entry string value: backslash and line breaks escaped.
QString EntryValue(QString value) {
  return value.replace('\\', "\\\\").replace('\n', "\\n").replace('\r', "\\r");
}

}  // namespace

bool ReadInstallRecord(const QString &dir, TInstallRecord *record) {
  *record = TInstallRecord();
  QFile file(EncodeFileName(CanonicalDir(dir) + '/' + InstallMarkerFileName));
  if (!QFileInfo(file).isFile() || file.size() > (16 << 20) || !file.open(QIODevice::ReadOnly))
    return false;
  QByteArray section;
  for (const QByteArray &raw : file.readAll().split('\n')) {
    const QByteArray line = raw.endsWith('\r') ? raw.chopped(1) : raw;
    if (line.startsWith('[')) {
      section = line;
      continue;
    }
    const qsizetype eq = line.indexOf('=');
    if (eq <= 0)
      continue;
    const QByteArray key = line.left(eq);
    const QString value = UnescapeRecordValue(line.mid(eq + 1));
    if (section == "[Installation]" && key == "Directory")
      record->Directory = value;
    else if (section == "[Installation]" && key == "Program")
      record->Program = value;
    else if (section == "[Installed]" && key == "File")
      record->Files << value;
    else if (section == "[Installed]" && key == "Folder")
      record->Folders << value;
    else if (section == "[Created]" && key == "Folder")
      record->Created << value;
    else if (section == "[Outside]" && key == "File")
      record->Outside << value;
  }
  return true;
}

bool WriteInstallRecord(const TInstallRecord &record) {
  QByteArray text = "[Installation]\nDirectory=" + EscapeRecordValue(record.Directory) +
                    "\nProgram=" + EscapeRecordValue(record.Program) + "\n[Installed]\n";
  for (const QString &file : record.Files)
    text += "File=" + EscapeRecordValue(file) + '\n';
  for (const QString &folder : record.Folders)
    text += "Folder=" + EscapeRecordValue(folder) + '\n';
  text += "[Created]\n";
  for (const QString &folder : record.Created)
    text += "Folder=" + EscapeRecordValue(folder) + '\n';
  text += "[Outside]\n";
  for (const QString &file : record.Outside)
    text += "File=" + EscapeRecordValue(file) + '\n';
  return SaveFileSafely(record.Directory + '/' + InstallMarkerFileName, text);
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
  TInstallRecord record;
  if (!ReadInstallRecord(canonical, &record) || record.Directory != canonical || record.Program != name ||
      !record.Files.contains(name))
    return "The folder \"" + shown + "\" is not an installation made by the " + name +
           " installer. Nothing was deleted.";
  return QString();
}

QString InstallRefusal(const QString &target, const QString &name) {
  if (IsProtectedFolder(CanonicalDir(target)))
    return "The folder \"" + target + "\" is a system or home folder. Nothing was copied: choose another folder.";
  if (!EntryExists(target) || IsEmptyFolder(target))
    return QString();
  TInstallRecord record;
  if (QFileInfo(target).isDir() && ReadInstallRecord(target, &record) && record.Directory == CanonicalDir(target) &&
      record.Program == name)
    return QString();
  return "The folder \"" + target + "\" already exists and is no installation of " + name +
         ". Nothing was copied: choose another folder.";
}

QString MenuDirectoryFilePath(const QString &folder) {
  return DesktopDirectoriesDir() + "/Pagelume-" + folder + ".directory";
}

QString MenuMergeFilePath(const QString &folder) { return MenuMergeDir() + "/Pagelume-" + folder + ".menu"; }

QString UninstallEntryDir() {
  QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
  if (config.isEmpty())
    config = QDir::homePath() + "/.config";
  return WithSeparator(config) + "Pagelume-uninstall/";
}

QString UninstallEntryPath(const QString &key) { return UninstallEntryDir() + key + ".ini"; }

QString UserMetainfoPath() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/metainfo/" + MetainfoFileName;
}

bool UpdateDesktopDatabase() {
  const QString tool = QStandardPaths::findExecutable("update-desktop-database");
  const QString applications = SystemDirectoryLocation(TSystemFolder::Programs);
  if (tool.isEmpty() || applications.isEmpty() || !QFileInfo(applications).isDir())
    return false;
  QProcess update;
  update.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  update.setStandardOutputFile(QProcess::nullDevice());
  update.start(tool, {"--quiet", applications});
  if (!update.waitForFinished(30000)) {
    update.kill();
    update.waitForFinished();
    return false;
  }
  const QString cache = applications + "/mimeinfo.cache";
  const QHash<QString, QString> types = ReadKeys(cache);
  if (types.isEmpty() && QFileInfo(cache).isFile() && QFileInfo(cache).size() < 256)
    RemoveEntry(cache);
  return update.exitStatus() == QProcess::NormalExit && update.exitCode() == 0;
}

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
  ChooseAgain = false;
  Status = 0;
  if (DirectoryEdit->text().isEmpty()) {
    Warning("(Un)Installation directory is empty.");
    Status = 1;
  } else if (UninstallMode) {
    Uninstall();
  } else {
    Install();
  }
  if (ChooseAgain) {  // another folder may be chosen
    InstallButton->setEnabled(true);
    return;
  }
  close();
}

void TInstallForm::CancelButtonClick() { close(); }

bool TInstallForm::RefuseUninstallAtStart(const TInstallParams &params, const QString &dir) {
  const QString refusal = UninstallRefusal(dir, params.Name);
  if (refusal.isEmpty())
    return false;
  std::fprintf(stderr, "%s\n", refusal.toLocal8Bit().constData());
  Warning(refusal);
  return true;
}

namespace {

// The listed files that cannot be removed: a folder stands in a file's place,
// or the folder that holds it is not writable.
QStringList Unremovable(const TInstallRecord &record) {
  QStringList stuck;
  for (const QString &file : record.Files) {
    const QString path = record.Directory + '/' + file;
    struct stat st;
    if (::lstat(EncodeFileName(path).constData(), &st) != 0)
      continue;
    if (S_ISDIR(st.st_mode) || ::access(EncodeFileName(FilePath(path)).constData(), W_OK | X_OK) != 0)
      stuck << path;
  }
  return stuck;
}

// Removes what the record lists and what the program made beside it; the
// installed folders and the installation folder go when they are left empty.
// Returns what could not be removed (then the record stays, so that a later
// uninstall can finish the work).
QStringList RemoveInstalledFiles(const TInstallRecord &record) {
  const QString dir = record.Directory + '/';
  QStringList left;
  for (const QString &file : record.Files)
    if (!RemoveEntry(dir + file))
      left << dir + file;
  QStringList folders{QString()};
  for (const QString &folder : record.Folders)
    folders << folder + '/';
  for (const QString &folder : folders) {
    const QStringList made = folder.isEmpty() ? ProgramMadeFiles : QStringList{".pagelume-copy-??????"};
    for (const QString &name : QDir(dir + folder).entryList(made, QDir::Files | QDir::Hidden | QDir::System))
      if (!RemoveEntry(dir + folder + name))
        left << dir + folder + name;
  }
  if (!left.isEmpty())
    return left;
  if (!RemoveEntry(dir + InstallMarkerFileName))
    return {dir + InstallMarkerFileName};
  for (qsizetype i = record.Folders.size() - 1; i >= 0; --i)
    RemoveEmptyFolder(dir + record.Folders[i]);
  RemoveEmptyFolder(record.Directory);
  return left;
}

void RemoveCreatedFolders(const QStringList &created) {
  for (qsizetype i = created.size() - 1; i >= 0; --i)
    RemoveEmptyFolder(created[i]);
}

}  // namespace

bool TInstallForm::Install() {
  OP_BEGIN("TInstallForm::Install");
  bool result = false;
  OP_TRY {
    TInstallRecord record;
    bool fresh = false;  // nothing of an earlier installation is there: a failure takes it all away
    bool targetExisted = false;
    do {
      if (DirectoryEdit->text().isEmpty()) {
        OP_RAISE("Installation directory is empty.");
        break;
      }
      const QString folder = FileName(WithoutSeparator(SourceDir));
      const QString target = WithSeparator(DirectoryEdit->text()) + folder;
      // Never into a folder of someone else's: an uninstall would take its
      // files along.
      const QString refusal = InstallRefusal(target, Params.Name);
      if (!refusal.isEmpty()) {
        Warning(refusal);
        ChooseAgain = true;
        break;
      }
      if (!Query("Install the program in directory \"" + target + "\"?"))
        break;
      fresh = !ReadInstallRecord(target, &record);
      targetExisted = EntryExists(target);
      QStringList created;
      errno = 0;
      if (!MakeFolders(DirectoryEdit->text(), &created) || (!EntryExists(target) && !QDir().mkdir(target))) {
        record.Created << created;
        OP_RAISE("Failed to create directory.", Std(target), std::string(), errno ? errno : EACCES);
        break;
      }
      // The folders the entries go into.
      const QString desktop = SystemDirectoryLocation(TSystemFolder::Desktop);
      const QString programs = SystemDirectoryLocation(TSystemFolder::Programs);
      const QString menu = programs + '/' + folder;
      if (desktop.isEmpty() || programs.isEmpty()) {
        OP_RAISE("Failed to get system directory.", Std(desktop), Std(programs), ENOENT);
        break;
      }
      // The software-centre metadata goes with the entries when the
      // distribution has it.
      const QString metainfo = QFileInfo(SourceDir + MetainfoFileName).isFile() ? UserMetainfoPath() : QString();
      QStringList entryFolders{desktop, menu, DesktopDirectoriesDir(), MenuMergeDir(), UninstallEntryDir()};
      if (!metainfo.isEmpty())
        entryFolders << FilePath(metainfo);
      for (const QString &dir : std::as_const(entryFolders)) {
        errno = 0;
        if (!MakeFolders(dir, &created) && !OP_FAILED())
          OP_RAISE("Failed to create directory.", Std(dir), std::string(), errno ? errno : EACCES);
      }
      record.Created << created;
      if (OP_FAILED())
        break;

      // The record comes first: a copy that fails half-way leaves an
      // installation that can be uninstalled or installed again.
      QStringList files, folders;
      if (!ListDistribution(SourceDir, QString(), &files, &folders)) {
        OP_ADOPT();
        break;
      }
      for (QString &file : files)
        if (file == ExeFileName)
          file = Params.Name;  // renamed below
      record.Directory = CanonicalDir(target);
      record.Program = Params.Name;
      record.Files << files;
      record.Files.removeDuplicates();
      record.Folders << folders;
      record.Folders.removeDuplicates();
      record.Created.removeDuplicates();
      if (!metainfo.isEmpty() && !record.Outside.contains(metainfo))
        record.Outside << metainfo;
      if (!WriteInstallRecord(record)) {
        OP_RAISE("Failed to write the installation record.", Std(target + '/' + InstallMarkerFileName),
                 std::string(), errno ? errno : EIO);
        break;
      }
      if (!CopyDeleteDirectory(SourceDir, target, true)) {
        OP_ADOPT();
        break;
      }
      const QString exe = target + '/' + Params.Name;
      if (ExeFileName != Params.Name && !MyRenameFile(target + '/' + ExeFileName, exe, true)) {
        OP_ADOPT();
        break;
      }

      // From here on the installation is whole and stays: it can be
      // uninstalled, and entries of another installation may be replaced.
      fresh = false;

      // The entries carry the shipped icon; the program's carry a menu category.
      const QString icon = QFileInfo::exists(target + "/Pagelume.png") ? target + "/Pagelume.png" : QString();
      auto saveEntry = [&](const QString &file, const QString &arguments, const QString &description,
                           bool category) {
        TLinkFile link;
        link.ReferencePath = exe;
        link.Arguments = arguments;
        link.Description = description;
        link.WorkingPath = target;
        link.IconPath = icon;
        link.Categories = category ? "Office;Viewer;" : "";
        // The reader's own entries are offered by file managers for books.
        link.MimeTypes = category ? "text/plain;application/rtf;text/rtf;" : "";
        return link.Save(file, true);
      };
      const QString readerText = "Read plain-text and rich-text books";
      // The readme opens in the reader itself, so the entry shows in every
      // desktop's menu (a link to a document shows in few).
      if (!saveEntry(desktop + '/' + MenuEntryName("", Params.Name), QString(), readerText, true) ||
          !saveEntry(menu + '/' + MenuEntryName("", Params.Name), QString(), readerText, true) ||
          !saveEntry(menu + '/' + MenuEntryName("Uninstall", Params.Name), "/Uninstall",
                     "Remove " + Params.Name + " from " + target, false) ||
          !saveEntry(menu + '/' + MenuEntryName("Readme", Params.Name), QuoteCommandArgument(target + "/Readme.txt"),
                     "Read about " + Params.Name, false)) {
        OP_ADOPT();
        break;
      }
      // The menu folder is a folder of the applications menu: described by
      // a ".directory" file and put into the menu by a merge file.
      QString description = "[Desktop Entry]\nVersion=1.0\nType=Directory\nName=" + EntryValue(folder) + '\n';
      if (!icon.isEmpty())
        description += "Icon=" + EntryValue(icon) + '\n';
      QString merge = "<!DOCTYPE Menu PUBLIC \"-//freedesktop//DTD Menu 1.0//EN\"\n"
                      " \"http://www.freedesktop.org/standards/menu-spec/1.0/menu.dtd\">\n"
                      "<Menu>\n  <Name>Applications</Name>\n  <Menu>\n    <Name>" +
                      folder.toHtmlEscaped() + "</Name>\n    <Directory>" +
                      FileName(MenuDirectoryFilePath(folder)).toHtmlEscaped() + "</Directory>\n    <Include>\n";
      for (const char *entry : MenuEntryNames)
        merge += "      <Filename>" + MenuEntryId(folder, entry, Params.Name).toHtmlEscaped() +
                 "</Filename>\n";
      merge += "    </Include>\n  </Menu>\n</Menu>\n";
      for (const auto &[path, text] : {std::pair{MenuDirectoryFilePath(folder), description},
                                       std::pair{MenuMergeFilePath(folder), merge}}) {
        errno = 0;
        if (!SaveText(path, text)) {
          OP_RAISE("Failed to save link file.", Std(path), std::string(), errno ? errno : EIO);
          break;
        }
      }
      if (!metainfo.isEmpty()) {
        // The copy names the entry of this installation as its launcher.
        QString text = ReadText(target + '/' + MetainfoFileName);
        static const QRegularExpression launchable("<launchable type=\"desktop-id\">[^<]*</launchable>");
        text.replace(launchable, MetainfoLaunchable(MenuEntryId(folder, "", Params.Name)));
        errno = 0;
        if (!SaveText(metainfo, text))
          OP_RAISE("Failed to save the software-centre metadata.", Std(metainfo), std::string(), errno ? errno : EIO);
      }
      if (OP_FAILED())
        break;
      UpdateDesktopDatabase();  // a convenience only, like the uninstall entry
      SetUninstallRegistry(Params.Name, Params.Name, QuoteCommandArgument(exe) + " /Uninstall");
      FunStatContext.Reset();  // the uninstall entry is a convenience only
      if (!RunFile(exe, QString(), target, false, false)) {
        OP_ADOPT();
        break;
      }
      result = true;
    } while (false);
    // A first installation that failed is taken away again: all that is in
    // its folder was put there just now.
    if (OP_FAILED() && fresh) {
      if (!record.Directory.isEmpty()) {
        DeleteDirectoryNoErrors(record.Directory);
        if (targetExisted)
          QDir().mkdir(record.Directory);
      }
      RemoveCreatedFolders(record.Created);
      FunStatContext.Reset();
    }
  }
  OP_CATCH;
  if (OP_FAILED())
    Status = 1;
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
        Status = 1;
        break;
      }
      if (!Query("Delete directory \"" + dir + "\" (and all contained files)?"))
        break;
      const QString canonical = CanonicalDir(dir);
      TInstallRecord record;
      ReadInstallRecord(canonical, &record);
      // The desktop and menu entries go only when they start this
      // installation (another installation may have written them since).
      const QString folder = FileName(canonical);
      const QString menu = SystemDirectoryLocation(TSystemFolder::Programs) + '/' + folder;
      QStringList entries{SystemDirectoryLocation(TSystemFolder::Desktop) + '/' + MenuEntryName("", Params.Name)};
      for (const char *entry : MenuEntryNames)
        entries << menu + '/' + MenuEntryName(entry, Params.Name);
      QStringList ours;
      for (const QString &entry : entries) {
        TLinkFile link;
        if (link.Load(entry) && IsInside(canonical + '/', CanonicalDir(link.ReferencePath)))
          ours << entry;
      }
      // Likewise the uninstall entry.
      const QString command =
          QProcess::splitCommand(ReadKeys(UninstallEntryPath(Params.Name)).value("UninstallString")).value(0);
      const bool ourUninstallEntry = command.isEmpty() || IsInside(canonical + '/', CanonicalDir(command));
      FunStatContext.Reset();

      // Nothing goes when not all of it can: a half-removed installation
      // would work no more and could not be uninstalled again.
      QStringList left = Unremovable(record);
      const bool started = left.isEmpty();
      // The entries stay while the program is there: they still work.
      if (started)
        left = RemoveInstalledFiles(record);
      if (left.isEmpty()) {
        for (const QString &entry : ours)
          if (!RemoveEntry(entry))
            left << entry;
        RemoveEmptyFolder(menu);
        if (!EntryExists(menu)) {  // the menu folder is gone: so is its place in the menu
          for (const QString &file : {MenuDirectoryFilePath(folder), MenuMergeFilePath(folder)})
            if (!RemoveEntry(file))
              left << file;
        }
        if (ourUninstallEntry && !DeleteUninstallerRegistry(Params.Name))
          left << UninstallEntryPath(Params.Name);
        // The metadata names the menu entry: it goes with the entry, unless
        // it was rewritten for another one since. An entry still there is
        // another installation's.
        const QString launchable = MetainfoLaunchable(MenuEntryId(folder, "", Params.Name));
        if (!EntryExists(menu + '/' + MenuEntryName("", Params.Name)))
          for (const QString &file : record.Outside)
            if (ReadText(file).contains(launchable) && !RemoveEntry(file))
              left << file;
        FunStatContext.Reset();
        UpdateDesktopDatabase();
        RemoveCreatedFolders(record.Created);
      }
      if (!left.isEmpty()) {
        const qsizetype shown = std::min<qsizetype>(left.size(), 10);
        QString list = left.mid(0, shown).join('\n');
        if (left.size() > shown)
          list += "\n(and " + QString::number(left.size() - shown) + " more)";
        OP_RAISE(started ? "Some installed files could not be removed."
                         : "Nothing was deleted: some installed files cannot be removed.",
                 Std(list), std::string(), EACCES);
        break;
      }
      if (EntryExists(canonical))
        Message("Uninstallation successful. The folder \"" + WithSeparator(canonical) +
                "\" holds files that were not installed and was kept.");
      else
        Message("Uninstallation successful. Some files that were in use were not deleted.");
      result = true;
    } while (false);
  }
  OP_CATCH;
  if (OP_FAILED())
    Status = 1;
  OP_SHOW("Failed to uninstall program.");
  return result;
}
