#include "UtilitiesQt.h"

#include "Dialogs.h"
#include "Error.h"
#include "Utilities.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFontMetrics>
#include <QInputEvent>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPainter>
#include <QPalette>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QStyleOptionViewItem>

namespace {

// Reads text as an integer in [minimum, maximum]; empty text stands for the
// default, which must then be in range too.
bool ReadIntInRange(const std::string &text, int32_t minimum, int32_t maximum, int32_t defaultValue,
                    int32_t &value) {
  value = defaultValue;
  if (!text.empty()) {
    try {
      value = TextToInt(text);
    } catch (const TConvertError &) {
      return false;
    }
  }
  return value >= minimum && value <= maximum;
}

}  // namespace

QString ControlText(const QWidget *control) {
  if (auto *edit = qobject_cast<const QLineEdit *>(control))
    return edit->text();
  if (auto *combo = qobject_cast<const QComboBox *>(control))
    return combo->currentText();
  return QString();
}

void SetControlText(QWidget *control, const QString &text) {
  if (auto *edit = qobject_cast<QLineEdit *>(control)) {
    edit->setText(text);
  } else if (auto *combo = qobject_cast<QComboBox *>(control)) {
    if (combo->isEditable())
      combo->setEditText(text);
    else
      combo->setCurrentIndex(combo->findText(text));
  }
}

int32_t GetIntFromEdit(QWidget *edit, int32_t minimum, int32_t maximum, int32_t defaultValue) {
  OP_BEGIN("GetIntFromEdit");
  int32_t result = defaultValue;
  OP_TRY {
    int32_t value = defaultValue;
    if (ReadIntInRange(ControlText(edit).toStdString(), minimum, maximum, defaultValue, value)) {
      result = value;
      return result;
    }
    Warning(QString("Integer value outside limits.\nIt will be set to default.\n    * Minimum = %1\n    * Maximum = "
                    "%2\n    * Default = %3")
                .arg(minimum)
                .arg(maximum)
                .arg(defaultValue));
    MyFocusControl(edit);
    SetControlText(edit, QString::number(defaultValue));
  }
  OP_CATCH;
  return result;
}

int32_t GetIntFromEdit(QWidget *edit) { return GetIntFromEdit(edit, INT32_MIN, INT32_MAX, 0); }

void MyFocusControl(QWidget *control) {
  OP_BEGIN("MyFocusControl");
  OP_TRY {
    if (!control || !control->isVisible() || !control->isEnabled() || control->focusPolicy() == Qt::NoFocus) {
      OP_RAISE("Failed to focus control.", control ? control->objectName().toStdString() : std::string());
      return;
    }
    control->setFocus(Qt::OtherFocusReason);
  }
  OP_CATCH;
}

int32_t GetFontHeight(const QWidget *list) {
  OP_BEGIN("GetFontHeight");
  int32_t height = 0;
  OP_TRY {
    if (!list) {
      OP_RAISE("Failed to get device context.");
      return height;
    }
    height = QFontMetrics(list->font()).height();
  }
  OP_CATCH;
  return height;
}

bool CopyTextToClipboard(const QString &text, const QString &failureDescription, bool beep, bool append) {
  OP_BEGIN("CopyTextToClipboard");
  bool result = false;
  OP_TRY {
    if (text.isEmpty()) {
      Warning("There is no text to copy to clipboard.");
      return result;
    }
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (!clipboard) {
      OP_RAISE("Failed to open clipboard.");
    } else {
      clipboard->setText(append ? clipboard->text() + text : text);
      if (beep)
        QApplication::beep();
      result = true;
    }
  }
  OP_CATCH;
  OP_SHOW(failureDescription.toStdString());
  return result;
}

QColor ColorToQColor(uint32_t color) {
  return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                static_cast<int>((color >> 16) & 0xFF));
}

uint32_t QColorToColor(const QColor &color) {
  const QColor rgb = color.toRgb();
  return static_cast<uint32_t>(rgb.red()) | static_cast<uint32_t>(rgb.green()) << 8 |
         static_cast<uint32_t>(rgb.blue()) << 16;
}

namespace {

uint32_t PaletteSystemColor(int32_t index) {
  struct TRole {
    QPalette::ColorGroup Group;
    QPalette::ColorRole Role;
  };
  TRole role{QPalette::Active, QPalette::Window};
  switch (index) {
  case 0: role.Role = QPalette::Button; break;             // scroll bar
  case 1: role.Role = QPalette::Dark; break;               // desktop
  case 2: case 13: case 27: case 29: role.Role = QPalette::Highlight; break;
  case 3: case 28: role.Role = QPalette::Mid; break;       // inactive caption
  case 4: case 10: case 11: case 30: role.Role = QPalette::Window; break;
  case 5: role.Role = QPalette::Base; break;
  case 6: case 21: role.Role = QPalette::Shadow; break;
  case 7: role.Role = QPalette::WindowText; break;         // menu text
  case 8: case SystemColorDefault: role.Role = QPalette::Text; break;
  case 9: case 14: role.Role = QPalette::HighlightedText; break;
  case 12: case 16: role.Role = QPalette::Dark; break;     // work space, button shadow
  case 15: role.Role = QPalette::Button; break;
  case 17: role = {QPalette::Disabled, QPalette::Text}; break;
  case 18: role.Role = QPalette::ButtonText; break;
  case 19: role = {QPalette::Inactive, QPalette::WindowText}; break;
  case 20: role.Role = QPalette::Light; break;
  case 22: role.Role = QPalette::Midlight; break;
  case 23: role.Role = QPalette::ToolTipText; break;
  case 24: role.Role = QPalette::ToolTipBase; break;
  case 26: role.Role = QPalette::Link; break;
  default: break;
  }
  return QColorToColor(QGuiApplication::palette().color(role.Group, role.Role));
}

}  // namespace

void UsePaletteForSystemColors() { SetSystemColorSource(&PaletteSystemColor); }

TShiftState ShiftStateFromQt(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons, bool doubleClick) {
  TShiftState shift;
  if (modifiers & Qt::ShiftModifier)
    shift.Include(ssShift);
  if (modifiers & Qt::AltModifier)
    shift.Include(ssAlt);
  if (modifiers & Qt::ControlModifier)
    shift.Include(ssCtrl);
  if (buttons & Qt::LeftButton)
    shift.Include(ssLeft);
  if (buttons & Qt::RightButton)
    shift.Include(ssRight);
  if (buttons & Qt::MiddleButton)
    shift.Include(ssMiddle);
  if (doubleClick)
    shift.Include(ssDouble);
  return shift;
}

TShiftState ShiftStateOf(const QInputEvent *event) {
  if (!event)
    return TShiftState();
  if (auto *mouse = dynamic_cast<const QMouseEvent *>(event)) {
    Qt::MouseButtons buttons = mouse->buttons();
    const bool press = mouse->type() == QEvent::MouseButtonPress || mouse->type() == QEvent::MouseButtonDblClick;
    if (press)
      buttons |= mouse->button();
    return ShiftStateFromQt(mouse->modifiers(), buttons, mouse->type() == QEvent::MouseButtonDblClick);
  }
  return ShiftStateFromQt(event->modifiers(), QGuiApplication::mouseButtons(), false);
}

namespace {

class TPressFilter : public QObject {
public:
  TPressFilter(QWidget *control, std::function<void(QMouseEvent *)> onPress)
      : QObject(control), OnPress(std::move(onPress)) {
    control->installEventFilter(this);
  }
  bool eventFilter(QObject *watched, QEvent *event) override {
    if (event->type() == QEvent::MouseButtonDblClick)
      return true;
    if (event->type() == QEvent::MouseButtonPress && OnPress) {
      OnPress(static_cast<QMouseEvent *>(event));
      return true;
    }
    return QObject::eventFilter(watched, event);
  }

private:
  std::function<void(QMouseEvent *)> OnPress;
};

}  // namespace

void HandlePresses(QWidget *control, std::function<void(QMouseEvent *press)> onPress) {
  new TPressFilter(control, std::move(onPress));
}

void IgnoreDoubleClicks(QWidget *control) { new TPressFilter(control, {}); }

void SelectListItemAt(QAbstractItemView *list, const QPoint &point) {
  if (!list)
    return;
  QModelIndex index = list->indexAt(point);
  if (!index.isValid())
    index = list->currentIndex();
  if (index.isValid())
    list->setCurrentIndex(index);
}

bool DrawItemFocusRect(QPainter *painter, const QStyleOptionViewItem &option, const QWidget *widget) {
  const bool selected = option.state & QStyle::State_Selected;
  const bool focused = option.state & QStyle::State_HasFocus;
  if (!painter || !selected || !focused)
    return false;
  QStyleOptionFocusRect focus;
  focus.QStyleOption::operator=(option);
  focus.backgroundColor = option.palette.color(QPalette::Highlight);
  QStyle *style = widget ? widget->style() : QApplication::style();
  style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, widget);
  return true;
}
