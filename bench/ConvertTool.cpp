// The converter on its own, for trying it before the program's entry point
// hands --convert to it: ConvertTool --convert BOOK OUTPUT [options].
#include "Converter.h"

int main(int argc, char **argv) { return RunConverter(argc, argv); }
