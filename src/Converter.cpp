#include "Converter.h"

#include <cstdio>

int RunConverter(int, char **) {
  std::fputs("Pagelume: the converter is not available yet.\n", stderr);
  return 1;
}
