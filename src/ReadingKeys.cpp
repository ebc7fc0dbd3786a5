#include "ReadingKeys.h"

#include "Error.h"
#include "MyMath.h"
#include "RTF.h"
#include "Utilities.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QScrollBar>
#include <QWheelEvent>

namespace {

const char *const GotoLineHint = "Press [Enter] to set the specified line as the top visible line";
const char *const FindTextHint =
    "Press [Enter] to find the specified text, the next occurrence. The search is performed regardless of the "
    "hyphenation of the text. Press [F3] to find the next occurence.";
const char *const LineNumberHint =
    "The index of the current top line, the total number of lines and the number of chapters currently opened. "
    "This is updated every second.";
const char *const WheelScrollLinesHint = "The number of lines scrolled when the mouse wheel is rotated once";

// The modifiers a key or mouse event carries, without the keypad flag.
Qt::KeyboardModifiers Held(Qt::KeyboardModifiers modifiers) {
  return modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
}

void Call(const std::function<void()> &callout) {
  if (callout)
    callout();
}

// Hands the keys of one window to the controller before the focused control sees them.
class TFormKeyFilter : public QObject {
public:
  TFormKeyFilter(TReadingController *controller, QWidget *window)
      : QObject(controller), Controller(controller), Window(window) {}

protected:
  bool eventFilter(QObject *watched, QEvent *event) override {
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::ShortcutOverride)
      return false;
    auto *widget = qobject_cast<QWidget *>(watched);
    if (!widget || !Window || widget->window() != Window)
      return false;
    auto *key = static_cast<QKeyEvent *>(event);
    if (type == QEvent::ShortcutOverride) {
      // The window keys win over the mnemonics of labels and buttons.
      if (!IsWindowKey(key))
        return false;
      key->accept();
      return true;
    }
    return Controller->FormKeyDown(key);
  }

private:
  static bool IsWindowKey(const QKeyEvent *key) {
    const Qt::KeyboardModifiers held = Held(key->modifiers());
    switch (key->key()) {
    case Qt::Key_Escape:
    case Qt::Key_F3:
    case Qt::Key_F5:
    case Qt::Key_F6:
    case Qt::Key_F7:
    case Qt::Key_F9:
    case Qt::Key_F10:
      return true;
    case Qt::Key_T:
      return held == Qt::ControlModifier;
    case Qt::Key_1: case Qt::Key_2: case Qt::Key_3: case Qt::Key_4: case Qt::Key_5:
    case Qt::Key_A: case Qt::Key_C: case Qt::Key_F: case Qt::Key_G: case Qt::Key_O: case Qt::Key_P:
    case Qt::Key_S:
      return (held & Qt::AltModifier) != 0;
    default:
      return false;
    }
  }

  TReadingController *Controller;
  QPointer<QWidget> Window;
};

}  // namespace

TReadingController::TReadingController(TRichEdit *richEdit, QLineEdit *gotoLineEdit, QLineEdit *findTextEdit,
                                       QLabel *lineNumberLabel, QComboBox *wheelScrollLinesComboBox,
                                       TReadingCallouts callouts, QObject *parent)
    : QObject(parent), Callouts(std::move(callouts)), RichEdit(richEdit), GotoLineEdit(gotoLineEdit),
      FindTextEdit(findTextEdit), LineNumberLabel(lineNumberLabel),
      WheelScrollLinesComboBox(wheelScrollLinesComboBox), BoxObject(richEdit), GotoLineObject(gotoLineEdit),
      FindTextObject(findTextEdit) {
  if (GotoLineEdit) {
    GotoLineEdit->setStatusTip(GotoLineHint);
    GotoLineEdit->installEventFilter(this);
  }
  if (FindTextEdit) {
    FindTextEdit->setStatusTip(FindTextHint);
    FindTextEdit->installEventFilter(this);
  }
  if (LineNumberLabel)
    LineNumberLabel->setStatusTip(LineNumberHint);
  if (WheelScrollLinesComboBox)
    WheelScrollLinesComboBox->setStatusTip(WheelScrollLinesHint);
  if (RichEdit) {
    Viewport = RichEdit->viewport();
    ViewportObject = Viewport;
    RichEdit->installEventFilter(this);
    Viewport->installEventFilter(this);
    Viewport->setMouseTracking(true);
    // The right button picks numbers for the converter; no context menu.
    RichEdit->setContextMenuPolicy(Qt::NoContextMenu);
    connect(RichEdit, &TRichEdit::LinkPressed, this,
            [this](int32_t, int32_t, const QString &text) { OpenLink(text); });
    UpdateCaret();
  }
}

TReadingController::~TReadingController() = default;

void TReadingController::InstallFormKeys(QWidget *window) {
  if (FormKeyFilter)
    return;
  FormKeyFilter = new TFormKeyFilter(this, window);
  qApp->installEventFilter(FormKeyFilter);
}

bool TReadingController::FormKeyDown(QKeyEvent *event) {
  const Qt::KeyboardModifiers held = Held(event->modifiers());
  const bool alt = (held & Qt::AltModifier) != 0;
  const int key = event->key();
  // While a book loads, no key may start another load, change the format or
  // work on the half-built text: every key but Esc is refused.
  if (key != Qt::Key_Escape && Callouts.Busy && Callouts.Busy())
    return true;
  auto showOpenTabAndFocus = [this](QLineEdit *edit) {
    Call(Callouts.ShowOpenTab);
    if (edit)
      edit->setFocus(Qt::ShortcutFocusReason);
  };
  if (alt) {
    switch (key) {
    case Qt::Key_1: case Qt::Key_2: case Qt::Key_3: case Qt::Key_4: case Qt::Key_5:
      if (Callouts.GoToBookmark)
        Callouts.GoToBookmark(key - Qt::Key_0);
      return true;
    case Qt::Key_A:
      if (Callouts.GoToBookmark)
        Callouts.GoToBookmark(0);
      return true;
    case Qt::Key_C:
      Call(Callouts.ChaptersClick);
      return true;
    case Qt::Key_F:
      showOpenTabAndFocus(FindTextEdit);
      return true;
    case Qt::Key_G:
      showOpenTabAndFocus(GotoLineEdit);
      return true;
    case Qt::Key_O:
      Call(Callouts.BookshelfOpenClick);
      return true;
    case Qt::Key_P:
      Call(Callouts.BookshelfPutClick);
      return true;
    case Qt::Key_S:
      Call(Callouts.SaveClick);
      return true;
    default:
      break;
    }
  }
  switch (key) {
  case Qt::Key_Escape:
    if (Callouts.StopReading && Callouts.StopReading())
      return true;
    Call(Callouts.Minimise);
    return true;
  case Qt::Key_T:
    if (held != Qt::ControlModifier)
      return false;
    if (Callouts.ShowHelp)
      Callouts.ShowHelp(10000);
    return true;
  case Qt::Key_F3:
    if (!FindTextEdit || FindTextEdit->text().isEmpty())
      showOpenTabAndFocus(FindTextEdit);
    else
      FindNext();
    return true;
  case Qt::Key_F5:
    if (held == Qt::NoModifier) {
      Call(Callouts.OpenClick);
      return true;
    }
    if (held == Qt::ControlModifier) {
      Call(Callouts.OpenWelcomeBook);
      return true;
    }
    return false;
  case Qt::Key_F6:
    Call(Callouts.NextPieceClick);
    return true;
  case Qt::Key_F7:
    Call(Callouts.PrevPieceClick);
    return true;
  case Qt::Key_F9:
    Call(Callouts.ReadAloudClick);
    return true;
  case Qt::Key_F10:
    return true;  // discarded: no menu activation
  default:
    return false;
  }
}

bool TReadingController::RichEditKeyDown(QKeyEvent *event) {
  const Qt::KeyboardModifiers held = Held(event->modifiers());
  const int key = event->key();
  const bool readOnly = RichEdit->isReadOnly();
  if (readOnly && held == Qt::NoModifier) {
    if (key == Qt::Key_Space) {
      QKeyEvent pageDown(QEvent::KeyPress, Qt::Key_PageDown, Qt::NoModifier);
      QCoreApplication::sendEvent(RichEdit, &pageDown);
      UpdateCaret();
      return true;
    }
    if (key == Qt::Key_Up || key == Qt::Key_Down) {
      const int lines = key == Qt::Key_Up ? -1 : 1;
      RichEdit->ScrollLines(lines);
      CaretStep(lines);
      return true;
    }
  }
  if (held & Qt::ControlModifier) {
    switch (key) {
    case Qt::Key_Z: case Qt::Key_X: case Qt::Key_C: case Qt::Key_V:
    case Qt::Key_PageUp: case Qt::Key_PageDown: case Qt::Key_End: case Qt::Key_Home:
    case Qt::Key_Left: case Qt::Key_Right: case Qt::Key_Up: case Qt::Key_Down:
      return false;
    default:
      return true;  // the control's own Ctrl shortcuts never change the book
    }
  }
  return false;
}

// The box's own Up/Down after the one-line scroll of a read-only box: the hidden
// caret moves one line without scrolling the view again, and is brought back to
// the top line when it has left the view.
void TReadingController::CaretStep(int lines) {
  RichEdit->MoveCaretLines(lines);
  RichEdit->EnsureCaretVisible(0);
  UpdateCaret();
}

int32_t TReadingController::WheelScrollLines() const {
  if (!WheelScrollLinesComboBox)
    return 0;
  return GetIntFromText(WheelScrollLinesComboBox->currentText().toStdString());
}

bool TReadingController::RichEditMouseWheel(QWheelEvent *event) {
  if (event->buttons() & Qt::LeftButton)
    return false;
  WheelRemainder += event->angleDelta().y();
  const int notches = WheelRemainder / 120;
  WheelRemainder -= notches * 120;
  for (int i = 0; i < notches; ++i)
    RichEditMouseWheelUp(WheelScrollLines());
  for (int i = 0; i < -notches; ++i)
    RichEditMouseWheelDown(WheelScrollLines());
  event->accept();
  return true;
}

void TReadingController::RichEditMouseWheelDown(int lines) {
  RichEdit->ScrollLines(lines);
  RichEdit->EnsureCaretVisible(0);
  UpdateCaret();
}

void TReadingController::RichEditMouseWheelUp(int lines) { RichEdit->ScrollLines(-lines); }

int32_t TReadingController::CharPosAt(const QPoint &viewportPos) {
  return RichEdit->CharFromPoint(viewportPos);
}

void TReadingController::RichEditMouseMove(const QPoint &viewportPos) {
  if (Callouts.ShowSidebar)
    Callouts.ShowSidebar(true);
  if (Callouts.ConverterMouseMove)
    Callouts.ConverterMouseMove(CharPosAt(viewportPos));
}

void TReadingController::RichEditMouseDown(QMouseEvent *event) {
  OP_BEGIN("TPagelumeForm::RichEditMouseDown");
  OP_TRY {
    if (event->type() == QEvent::MouseButtonDblClick && event->button() == Qt::LeftButton) {
      if (RichEdit->textCursor().hasSelection() && Callouts.DictionaryLookUp) {
        FunStatContext.Reset();  // only a failure of the call-out itself is adopted
        Callouts.DictionaryLookUp();
        OP_ADOPT();
      }
    } else if (event->type() == QEvent::MouseButtonPress && event->button() == Qt::RightButton) {
      const bool hidden = Callouts.SidebarHidden ? Callouts.SidebarHidden() : true;
      if (hidden && Callouts.ConverterRightClick) {
        FunStatContext.Reset();
        Callouts.ConverterRightClick(CharPosAt(event->position().toPoint()));
        OP_ADOPT();
      }
    }
  }
  OP_CATCH;
  OP_SHOW("");
}

bool TReadingController::GotoLineEditKeyDown(QKeyEvent *event) {
  if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter)
    return false;
  GotoLineFromEdit();
  return true;
}

void TReadingController::GotoLineFromEdit() {
  RichEdit->setFocus(Qt::OtherFocusReason);
  const std::string text = GotoLineEdit->text().toStdString();
  // Waits for the line count (with the wait cursor) only for a line not counted yet.
  int32_t n = GetIntFromText(text, 1, RichEdit->CountedLines(), -1);
  if (n < 0) {
    const int32_t count = RichEdit->LineCount();
    n = GetIntFromText(text, 1, count, RichEdit->TopLine() + 1);
  }
  RichEdit->GotoLine(n - 1);
  UpdateCaret();
  Call(Callouts.MoveCursorToHintLabel);
  RichEdit->setFocus(Qt::OtherFocusReason);
}

bool TReadingController::FindTextEditKeyDown(QKeyEvent *event) {
  if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter)
    return false;
  FindNext();
  return true;
}

bool TReadingController::FindNext() {
  if (!FindTextEdit || FindTextEdit->text().isEmpty())
    return false;
  if (!RichEdit->FindText(FindTextEdit->text()))
    return false;
  RichEdit->setFocus(Qt::OtherFocusReason);
  UpdateCaret();
  return true;
}

QString TReadingController::LineNumberText(int32_t topLine, int32_t lineCount) {
  return QString::fromStdString("Top line " + FormatInt(int64_t(topLine) + 1) + " (" + FormatInt(lineCount) +
                                " total lines)");
}

QString TReadingController::CountingLinesText(int32_t topLine, int32_t linesSoFar) {
  return QString::fromStdString("Top line " + (topLine >= 0 ? FormatInt(int64_t(topLine) + 1) : std::string("?")) +
                                " (counting lines: " + FormatInt(linesSoFar) + " so far)");
}

void TReadingController::UpdateLineNumberLabel() {
  if (LineNumberLabel && RichEdit)
    LineNumberLabel->setText(RichEdit->LinesCounted()
                                 ? LineNumberText(RichEdit->TopLine(), RichEdit->LineCount())
                                 : CountingLinesText(RichEdit->TopLineIfCounted(), RichEdit->CountedLines()));
}

void TReadingController::OpenLink(const QString &linkText) {
  OP_BEGIN("TPagelumeForm::NewWindowProc");
  OP_TRY {
    FunStatContext.Reset();
    if (Callouts.RunFile && !Callouts.RunFile(linkText)) {
      if (!OP_ADOPT())
        OP_RAISE("Failed to open link.", linkText.toStdString());
    }
  }
  OP_CATCH;
  OP_SHOW("Failed to open link.");
}

void TReadingController::UpdateCaret() {
  if (!RichEdit)
    return;
  const int width = RichEdit->isReadOnly() ? 0 : 1;
  if (RichEdit->cursorWidth() != width)
    RichEdit->setCursorWidth(width);
}

bool TReadingController::eventFilter(QObject *watched, QEvent *event) {
  const QEvent::Type type = event->type();
  if (watched == BoxObject) {
    if (type == QEvent::KeyPress) {
      const bool consumed = RichEditKeyDown(static_cast<QKeyEvent *>(event));
      if (!consumed)
        UpdateCaret();
      return consumed;
    }
    if (type == QEvent::FocusIn)
      UpdateCaret();
    return false;
  }
  if (watched == ViewportObject) {
    switch (type) {
    case QEvent::Wheel:
      return RichEditMouseWheel(static_cast<QWheelEvent *>(event));
    case QEvent::MouseMove:
      RichEditMouseMove(static_cast<QMouseEvent *>(event)->position().toPoint());
      return false;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
      if (ForwardingMouse)
        return false;
      // The box handles the press first (a double-click selects its word).
      ForwardingMouse = true;
      QPointer<QObject> guard(watched);
      QCoreApplication::sendEvent(watched, event);
      ForwardingMouse = false;
      if (!guard)
        return true;
      UpdateCaret();
      RichEditMouseDown(static_cast<QMouseEvent *>(event));
      return true;
    }
    case QEvent::Paint:
      UpdateCaret();
      return false;
    default:
      return false;
    }
  }
  if (watched == GotoLineObject && type == QEvent::KeyPress)
    return GotoLineEditKeyDown(static_cast<QKeyEvent *>(event));
  if (watched == FindTextObject && type == QEvent::KeyPress)
    return FindTextEditKeyDown(static_cast<QKeyEvent *>(event));
  return false;
}
