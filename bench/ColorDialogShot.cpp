// Opens the stock-colour dialog on "Ochre" so that it can be looked at (or
// screenshot under a virtual display). Prints the outcome when it closes.
#include "ColorDialog.h"
#include "Utilities.h"

#include <QApplication>
#include <cstdio>

int main(int argc, char **argv) {
  QApplication app(argc, argv);
  uint32_t color = TextToColor(argc > 1 ? argv[1] : "Ochre");
  const bool picked = ColorFormDialog(color, [](uint32_t c) { std::printf("kept open on %s\n", StockColorName(c).c_str()); });
  std::printf("%s: %s%s\n", picked ? "picked" : "cancelled", StockColorName(color).c_str(), DescribeColor(color).c_str());
  return 0;
}
