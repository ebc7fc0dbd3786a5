#include "WrapCheckBox.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStylePainter>

TWrapCheckBox::TWrapCheckBox(const QString &text, QWidget *parent) : QCheckBox(text, parent) {
  QSizePolicy policy = sizePolicy();
  policy.setHeightForWidth(true);
  policy.setHorizontalPolicy(QSizePolicy::Preferred);
  // A fixed height (the check box's default) would keep the wrapped lines out.
  policy.setVerticalPolicy(QSizePolicy::Minimum);
  setSizePolicy(policy);
}

int TWrapCheckBox::IndicatorWidth() const {
  return style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, this) +
         style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, this);
}

QRect TWrapCheckBox::TextRect(int width) const {
  const int left = IndicatorWidth();
  const int available = std::max(width - left, 1);
  const QRect bounds = fontMetrics().boundingRect(QRect(0, 0, available, 100000),
                                                  Qt::TextWordWrap | Qt::TextShowMnemonic, text());
  return QRect(left, 0, available, bounds.height());
}

QSize TWrapCheckBox::sizeHint() const { return QCheckBox::sizeHint(); }

QSize TWrapCheckBox::minimumSizeHint() const {
  // Narrower than the caption: it wraps instead.
  const int indicator = style()->pixelMetric(QStyle::PM_IndicatorHeight, nullptr, this);
  return QSize(IndicatorWidth() + fontMetrics().averageCharWidth() * 8, std::max(indicator, fontMetrics().height()));
}

int TWrapCheckBox::heightForWidth(int width) const {
  if (width >= QCheckBox::sizeHint().width())
    return QCheckBox::sizeHint().height();
  const int indicator = style()->pixelMetric(QStyle::PM_IndicatorHeight, nullptr, this);
  return std::max(TextRect(width).height() + 2, indicator);
}

void TWrapCheckBox::paintEvent(QPaintEvent *event) {
  if (width() >= QCheckBox::sizeHint().width()) {
    QCheckBox::paintEvent(event);
    return;
  }
  QStylePainter painter(this);
  QStyleOptionButton option;
  initStyleOption(&option);
  // The indicator as the style draws it, at the top beside the first line.
  QStyleOptionButton indicator = option;
  indicator.rect = style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, this);
  indicator.rect.moveTop(std::max(0, (fontMetrics().height() - indicator.rect.height()) / 2));
  painter.drawPrimitive(QStyle::PE_IndicatorCheckBox, indicator);
  const QRect text = TextRect(width());
  painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
  painter.drawText(text, Qt::TextWordWrap | Qt::TextShowMnemonic | Qt::AlignLeft | Qt::AlignTop, this->text());
  if (hasFocus()) {
    QStyleOptionFocusRect focus;
    focus.initFrom(this);
    focus.rect = text.adjusted(-1, 0, 1, 0);
    painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
  }
}

bool TWrapCheckBox::hitButton(const QPoint &pos) const { return rect().contains(pos); }
