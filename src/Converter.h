// The command-line converter (--convert, --help): runs without a window.
#pragma once

int RunConverter(int argc, char **argv);
