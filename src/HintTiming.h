// Timing of the pop-up hints (tooltips): 400 ms before a hint shows, 200 ms
// before the hint of a neighbouring control replaces one that is up, and a
// hint stays up 100,000 ms.
#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QProxyStyle>
#include <QTimer>

class QWidget;

class THintTiming : public QObject {
public:
  static constexpr int HintPause = 400;
  static constexpr int HintShortPause = 200;
  static constexpr int HintHidePause = 100000;

  // Puts the timing in place for the whole application (once; later calls
  // do nothing).
  static void Install();

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  explicit THintTiming(QObject *parent);
  void ShowPending();

  QTimer Timer;
  QPointer<QWidget> Pending;
  QPoint PendingPos;
};

// The application's style with the hint pause of THintTiming.
class THintStyle : public QProxyStyle {
public:
  using QProxyStyle::QProxyStyle;
  int styleHint(StyleHint hint, const QStyleOption *option = nullptr, const QWidget *widget = nullptr,
                QStyleHintReturn *returnData = nullptr) const override;
};
