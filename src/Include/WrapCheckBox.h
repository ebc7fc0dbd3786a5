// A check box whose caption wraps onto further lines when the box is too
// narrow for it, so a long caption in the narrow sidebar is never cut.
#pragma once

#include <QCheckBox>

class TWrapCheckBox : public QCheckBox {
public:
  explicit TWrapCheckBox(const QString &text, QWidget *parent = nullptr);

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;
  bool hasHeightForWidth() const override { return true; }
  int heightForWidth(int width) const override;

protected:
  void paintEvent(QPaintEvent *event) override;
  bool hitButton(const QPoint &pos) const override;

private:
  // The caption's rectangle for a box of the given width.
  QRect TextRect(int width) const;
  int IndicatorWidth() const;
};
