// Entry point: the command-line converter, or the reader (which needs a display).
#include "Converter.h"
#include "Startup.h"

#include <cstdio>

int main(int argc, char **argv) {
  if (WantsVersion(argc, argv)) {
    std::puts(VersionLine());
    return 0;
  }
  if (WantsConverter(argc, argv))
    return RunConverter(argc, argv);
  if (!HasDisplay()) {
    std::fputs("Pagelume: no display (set DISPLAY or WAYLAND_DISPLAY, or QT_QPA_PLATFORM=offscreen).\n", stderr);
    return 1;
  }
  return WinMain(argc, argv);
}
