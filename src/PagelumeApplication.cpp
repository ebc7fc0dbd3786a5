#include "PagelumeApplication.h"

#include "Error.h"
#include "UtilitiesQt.h"

TPagelumeApplication::TPagelumeApplication(int &argc, char **argv) : QApplication(argc, argv) {
  setApplicationName("Pagelume");
  setApplicationVersion(PAGELUME_VERSION);
  UsePaletteForSystemColors();
}

bool TPagelumeApplication::notify(QObject *receiver, QEvent *event) {
  return DeliverGuarded([&] { return QApplication::notify(receiver, event); });
}

bool TPagelumeApplication::DeliverGuarded(const std::function<bool()> &deliver) {
  try {
    return deliver();
  } catch (const std::exception &e) {
    TFunStatContext::OnApplicationException(e.what());
  } catch (...) {
    TFunStatContext::OnApplicationException("Unknown exception.");
  }
  return false;
}
