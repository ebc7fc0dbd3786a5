// Program locations: the executable, its directory and its name.
#pragma once

#include <QString>

// Full path of the executable.
QString ProgramPath();
// The program directory, with a trailing separator.
QString ProgramDir();
// File name of the executable.
QString ProgramFileName();
// The help file beside the program's data files.
QString HelpFilePath();

// The folder of the files that ship with the program (Welcome.txt, Help.html,
// BackImages/, ...), with a trailing separator: the program directory when it
// holds them (the build tree, an unpacked or installed copy), else
// ../share/pagelume/ beside the executable's folder (a system package), else the
// program directory.
QString DataDir();
// Whether the program runs from a system package: its data files are not
// beside the executable but in ../share/pagelume/. Such a copy keeps its
// settings in the user's configuration folder and is removed by the package
// manager, not by "/Uninstall".
bool IsSystemPackage();

// The folder that keeps Pagelume.ini, the default profile and Errors.log, with
// a trailing separator: the program directory when it is writable, else the
// user's configuration folder (created on demand). The one place that decides.
QString SettingsDir();
// The rule behind SettingsDir, for any two folders: programDir when a file can
// be created in it, else configDir (created on demand). Both keep a trailing
// separator.
QString ChooseSettingsDir(const QString &programDir, const QString &configDir);

// Overrides the program directory (tests point it at a temporary folder so
// that nothing is written beside the test binary). Empty restores the default.
void SetProgramDirOverride(const QString &dir);

// The runtime's terminate handler (installed before the entry point runs):
// reports "Abort intercepted." through the error dialog, then ends the
// process at once with exit code 1.
[[noreturn]] void TerminateProgramFun();
