// The application object: a QApplication whose event delivery turns an
// exception escaping an event handler into the application exception report.
#pragma once

#include <QApplication>
#include <functional>

class TPagelumeApplication : public QApplication {
  Q_OBJECT
public:
  TPagelumeApplication(int &argc, char **argv);
  bool notify(QObject *receiver, QEvent *event) override;

  // Runs deliver; an exception leaving it goes to
  // TFunStatContext::OnApplicationException and the result is false.
  static bool DeliverGuarded(const std::function<bool()> &deliver);
};
