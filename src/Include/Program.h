// Program locations: the executable, its directory and its name.
#pragma once

#include <QString>

// Full path of the executable.
QString ProgramPath();
// The program directory, with a trailing separator.
QString ProgramDir();
// File name of the executable.
QString ProgramFileName();
// The help file beside the program.
QString HelpFilePath();

// Overrides the program directory (tests point it at a temporary folder so
// that nothing is written beside the test binary). Empty restores the default.
void SetProgramDirOverride(const QString &dir);

// The runtime's terminate handler (installed before the entry point runs):
// reports "Abort intercepted." through the error dialog, then ends the
// process at once with exit code 1.
[[noreturn]] void TerminateProgramFun();
