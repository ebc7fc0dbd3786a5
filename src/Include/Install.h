// The installer and uninstaller: the program copies its distribution folder
// into a chosen directory, renames "Install" to the program's own name,
// creates desktop entries (desktop, menu folder) and an uninstall entry, and
// starts the installed reader. Started with "/Uninstall" it removes an
// installation again — but only one that the installer made.
#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// ---- The installation on disk (no toolkit windows) ----

// The file the installer writes into every installation it makes: the
// installation record. It names the installation directory and the program,
// so that an uninstall can tell an installation from any other folder the
// program happens to run from, and lists what the installer put there.
inline constexpr const char *InstallMarkerFileName = ".pagelume-installation";

struct TInstallRecord {
  QString Directory;     // the installation folder, symbolic links resolved
  QString Program;       // the program's name
  QStringList Files;     // installed files and links, relative to Directory
  QStringList Folders;   // installed folders, relative, each before the ones inside it
  QStringList Created;   // folders elsewhere made for the installation (the
                         // program-files folder, the desktop, menu folders),
                         // absolute, each before the ones inside it
  QStringList Outside;   // files installed elsewhere (the software-centre
                         // metadata), absolute
};

// The record of the folder dir; false when there is none or it cannot be read.
bool ReadInstallRecord(const QString &dir, TInstallRecord *record);
// Writes the record into record.Directory. No status context: false on failure.
bool WriteInstallRecord(const TInstallRecord &record);

// Why dir must not be deleted as the installation of the program name; the
// empty text when it is an installation the installer made (the record names
// this very directory and the program, and lists the program; the folder is
// no system, home or source folder).
QString UninstallRefusal(const QString &dir, const QString &name);
// Why the program name must not be installed into target; the empty text when
// target does not exist, is an empty folder, or is an installation of the
// program already (which a reinstall renews).
QString InstallRefusal(const QString &target, const QString &name);

// The files for the menu folder named folder: its ".directory" file and the
// merge file that puts the folder into the applications menu.
QString MenuDirectoryFilePath(const QString &folder);
QString MenuMergeFilePath(const QString &folder);

// The folder of uninstall entries ("Pagelume-uninstall" in the user's
// configuration folder), with a trailing separator.
QString UninstallEntryDir();
// The uninstall entry of the key: UninstallEntryDir() + key + ".ini".
QString UninstallEntryPath(const QString &key);
// Writes the entry ([Uninstall] DisplayName, UninstallString) in the status
// context "SetUninstallRegistry".
bool SetUninstallRegistry(const QString &key, const QString &displayName, const QString &command);
// Deletes the entry (and the folder of entries when it is left empty), in the
// status context "DeleteUninstallerRegistry".
bool DeleteUninstallerRegistry(const QString &key);

// The software-centre metadata: its file name (the same in the distribution
// folder, the package and the user's "metainfo" folder) and the user's copy.
inline constexpr const char *MetainfoFileName = "io.github.pagelume.Pagelume.metainfo.xml";
QString UserMetainfoPath();

// Refreshes the desktop's cache of which entry opens which file type in the
// user's applications folder, when update-desktop-database is installed; a
// cache that lists no type is removed (so that a folder made for the
// installation can go with it). False when the program is missing or failed.
bool UpdateDesktopDatabase();

// ---- The window ----

struct TInstallParams {
  QString Name = "Pagelume";
  QString Description = "Pagelume";
  QString Version = "Version 2.5.1, released on 24.10.2004";
};

class TInstallForm : public QWidget {
  Q_OBJECT
public:
  // uninstall: the window of "/Uninstall". sourceDir and exeFileName are the
  // program's directory and executable file name (tests give a folder of
  // their own); empty means the running program's.
  TInstallForm(const TInstallParams &params, bool uninstall, const QString &sourceDir = QString(),
               const QString &exeFileName = QString(), QWidget *parent = nullptr);

  bool IsUninstallMode() const { return UninstallMode; }

  // The two operations; each shows its own failure report. True when the
  // work was done (false when it failed, was declined or refused).
  bool Install();
  bool Uninstall();
  // The program's exit status after the window closes: 1 when the last
  // operation failed or was refused, 0 when it was done or declined.
  int ExitCode() const { return Status; }

  // "/Uninstall" of a folder that is no installation of the installer's (the
  // build tree, a system package's copy): shows the refusal (also on
  // standard error) and returns true, before any window is made.
  static bool RefuseUninstallAtStart(const TInstallParams &params, const QString &dir);

  void BrowseButtonClick();
  void InstallButtonClick();
  void CancelButtonClick();

  QLabel *TitlePanel = nullptr;
  QLabel *DescriptionLabel = nullptr;
  QLabel *VersionLabel = nullptr;
  QLabel *InstructionsLabel = nullptr;
  QPlainTextEdit *ReadmeMemo = nullptr;
  QLabel *DirectoryLabel = nullptr;
  QLineEdit *DirectoryEdit = nullptr;
  QPushButton *BrowseButton = nullptr;
  QPushButton *InstallButton = nullptr;
  QPushButton *CancelButton = nullptr;

protected:
  void keyPressEvent(QKeyEvent *event) override;

private:
  TInstallParams Params;
  bool UninstallMode;
  QString SourceDir;    // with a trailing separator
  QString ExeFileName;  // the running executable's file name ("Install")
  int Status = 0;
  bool ChooseAgain = false;  // the chosen folder was refused: the window stays
};
