// Helpers that work on controls, the clipboard and Qt events: reading options
// from edit boxes, focus, font height, colours and modifier sets, list boxes.
#pragma once

#include "Input.h"

#include <QColor>
#include <QString>
#include <cstdint>
#include <functional>

class QAbstractItemView;
class QInputEvent;
class QMouseEvent;
class QPainter;
class QPoint;
class QStyleOptionViewItem;
class QWidget;

// Reads a QLineEdit or an editable (or plain) QComboBox as GetIntFromText
// does. On any failure (no integer, outside [minimum, maximum], or an empty
// text whose default is outside them) warns "Integer value outside limits.",
// focuses the control, writes the default into it and returns the default.
int32_t GetIntFromEdit(QWidget *edit, int32_t minimum, int32_t maximum, int32_t defaultValue);
int32_t GetIntFromEdit(QWidget *edit);

// The text of a QLineEdit or QComboBox (empty for other widgets) and its
// writer (a plain combo box selects the item with that text).
QString ControlText(const QWidget *control);
void SetControlText(QWidget *control, const QString &text);

// Gives the control the keyboard focus. A control that cannot take it
// (missing, hidden, disabled or not focusable) leaves "Failed to focus
// control." in the shared context and nothing else happens.
void MyFocusControl(QWidget *control);

// Height of the control's font in pixels; 0 and "Failed to get device
// context." in the shared context when there is no control.
int32_t GetFontHeight(const QWidget *list);

// Copies text to the clipboard (after the clipboard's text with append), then
// beeps with beep. Empty text warns "There is no text to copy to clipboard.".
// A failure is shown with failureDescription. True when the text was copied.
bool CopyTextToClipboard(const QString &text,
                         const QString &failureDescription = QStringLiteral("Failed to copy text to clipboard."),
                         bool beep = false, bool append = false);

// Colour values 0x00BBGGRR to and from Qt colours.
QColor ColorToQColor(uint32_t color);
uint32_t QColorToColor(const QColor &color);

// Makes system colour identifiers (clBtnFace, clWindow, ...) read the
// application palette (Utilities.h SetSystemColorSource).
void UsePaletteForSystemColors();

// The modifier set of a Qt event: Shift, Alt, Ctrl from the keyboard
// modifiers; Left, Right, Middle from the held buttons (for a mouse press
// also the button that was pressed); Double for a double-click.
TShiftState ShiftStateFromQt(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons, bool doubleClick);
TShiftState ShiftStateOf(const QInputEvent *event);

// Buttons that act on a press rather than a click. HandlePresses hands every
// press on the control to onPress before the control sees it (the control
// itself then does nothing with it); IgnoreDoubleClicks leaves presses to the
// control. Both swallow the second press of a double click, so one double
// click acts once.
void HandlePresses(QWidget *control, std::function<void(QMouseEvent *press)> onPress);
void IgnoreDoubleClicks(QWidget *control);

// List boxes: selects the item at point, or re-selects the current item when
// there is none there.
void SelectListItemAt(QAbstractItemView *list, const QPoint &point);
// An owner-drawn item shows its focus rectangle only when it is both selected
// and focused; draws it in that case and tells whether it did.
bool DrawItemFocusRect(QPainter *painter, const QStyleOptionViewItem &option, const QWidget *widget);
