#include "HintTiming.h"

#include <QApplication>
#include <QHelpEvent>
#include <QStyleFactory>
#include <QToolTip>
#include <QWidget>

namespace {
// Qt waits this long itself before it asks a neighbour for its hint.
constexpr int ToolkitNeighbourDelay = 20;
}  // namespace

THintTiming::THintTiming(QObject *parent) : QObject(parent) {
  Timer.setSingleShot(true);
  connect(&Timer, &QTimer::timeout, this, &THintTiming::ShowPending);
}

void THintTiming::Install() {
  static QPointer<THintTiming> installed;
  if (!qApp || installed)
    return;
  if (!dynamic_cast<THintStyle *>(QApplication::style()))
    QApplication::setStyle(new THintStyle(QStyleFactory::create(QApplication::style()->name())));
  installed = new THintTiming(qApp);
  qApp->installEventFilter(installed);
}

bool THintTiming::eventFilter(QObject *watched, QEvent *event) {
  if (event->type() == QEvent::Leave && watched == Pending) {
      Timer.stop();  // the pointer has moved on before the hint was due
    Pending = nullptr;
    return false;
  }
  if (event->type() != QEvent::ToolTip || !watched->isWidgetType())
    return false;
  auto *widget = static_cast<QWidget *>(watched);
  const QString tip = widget->toolTip();
  if (tip.isEmpty())
    return false;  // the toolkit passes the request on to the parent
  const QPoint pos = static_cast<QHelpEvent *>(event)->globalPos();
  if (QToolTip::isVisible() && QToolTip::text() != tip) {
    // A neighbour's hint is up: this one replaces it after the short pause.
    Pending = widget;
    PendingPos = pos;
    Timer.start(HintShortPause - ToolkitNeighbourDelay);
    return true;
  }
  Timer.stop();
  QToolTip::showText(pos, tip, widget, QRect(), HintHidePause);
  return true;
}

void THintTiming::ShowPending() {
  QWidget *widget = Pending;
  Pending = nullptr;
  if (!widget || !widget->isVisible() || widget->toolTip().isEmpty())
    return;
  QToolTip::showText(PendingPos, widget->toolTip(), widget, QRect(), HintHidePause);
}

int THintStyle::styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                          QStyleHintReturn *returnData) const {
  if (hint == SH_ToolTip_WakeUpDelay)
    return THintTiming::HintPause;
  return QProxyStyle::styleHint(hint, option, widget, returnData);
}
