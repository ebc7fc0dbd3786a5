// Reading keys of the main window: the window-key table, the keys, wheel and
// mouse of the reading box, the line jump, the text search, the top-line label
// and the links in the text. The main window creates one TReadingController
// with its controls and the call-outs for the actions other units own.
#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <cstdint>
#include <functional>

class QComboBox;
class QEvent;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QMouseEvent;
class QWheelEvent;
class QWidget;
class TRichEdit;

// Actions owned by other units of the main window. An empty call-out does nothing.
struct TReadingCallouts {
  std::function<void()> Minimise;                   // Esc
  std::function<void()> ShowOpenTab;                // sidebar up on the "Open" tab
  std::function<void(int slot)> GoToBookmark;       // Alt+1..5: slot 1..5; Alt+A: slot 0 (auto)
  std::function<void()> ChaptersClick;              // Alt+C
  std::function<void()> BookshelfOpenClick;         // Alt+O
  std::function<void()> BookshelfPutClick;          // Alt+P
  std::function<void()> SaveClick;                  // Alt+S
  std::function<void(int context)> ShowHelp;        // Ctrl+T: context 10000
  std::function<void()> OpenClick;                  // F5
  std::function<void()> OpenWelcomeBook;            // Ctrl+F5
  std::function<void()> NextPieceClick;             // F6
  std::function<void()> PrevPieceClick;             // F7
  std::function<void()> ReadAloudClick;             // F9: starts or stops reading aloud
  std::function<bool()> StopReading;                // Esc: true when it stopped a reading (no minimise)
  std::function<void(bool hide)> ShowSidebar;       // mouse over the reading box: ShowSidebar(true)
  std::function<bool()> SidebarHidden;              // right click picks a number only while hidden
  std::function<void(int32_t charPos)> ConverterMouseMove;   // number under the mouse (no tab change)
  std::function<void(int32_t charPos)> ConverterRightClick;  // number under the mouse, converter tab up
  std::function<void()> DictionaryLookUp;           // the selected word of the reading box
  std::function<bool(const QString &target)> RunFile;  // the shell's open action; false on failure
  std::function<void()> MoveCursorToHintLabel;      // after a line jump (the sidebar hides)
  std::function<bool()> Busy;                       // a book load runs: only Esc is taken
};

class TReadingController : public QObject {
  Q_OBJECT
public:
  TReadingController(TRichEdit *richEdit, QLineEdit *gotoLineEdit, QLineEdit *findTextEdit,
                     QLabel *lineNumberLabel, QComboBox *wheelScrollLinesComboBox, TReadingCallouts callouts,
                     QObject *parent = nullptr);
  ~TReadingController() override;

  // The window keys: the window sees every key before the focused control.
  // Installs a filter on the application that hands the keys of window's
  // widgets to FormKeyDown. Returns nothing; the filter lives with this object.
  void InstallFormKeys(QWidget *window);
  // Returns true when the key was consumed.
  bool FormKeyDown(QKeyEvent *event);
  // Keys of the reading box; true when the key was consumed (no default handling).
  bool RichEditKeyDown(QKeyEvent *event);
  // Wheel over the reading box; true when the default handling is suppressed.
  bool RichEditMouseWheel(QWheelEvent *event);
  void RichEditMouseWheelDown(int lines);
  void RichEditMouseWheelUp(int lines);
  void RichEditMouseMove(const QPoint &viewportPos);
  // Runs after the box's own handling of the press (a double-click has selected its word).
  void RichEditMouseDown(QMouseEvent *event);
  bool GotoLineEditKeyDown(QKeyEvent *event);
  bool FindTextEditKeyDown(QKeyEvent *event);

  // The line jump of Enter in GotoLineEdit.
  void GotoLineFromEdit();
  // F3 and Enter in FindTextEdit: the next match after the selection; true when found.
  bool FindNext();
  // Lines scrolled by one wheel notch (the option's text, no limits, default 0).
  int32_t WheelScrollLines() const;
  // "Top line n (m total lines)", for the info timer.
  void UpdateLineNumberLabel();
  static QString LineNumberText(int32_t topLine, int32_t lineCount);
  // The label while the lines are still being counted (topLine < 0: not reached yet).
  static QString CountingLinesText(int32_t topLine, int32_t linesSoFar);
  // A left press on a link: the link's text goes through the shell's open action.
  void OpenLink(const QString &linkText);
  // Hides the caret while the box is read-only (shows it while editable).
  void UpdateCaret();

  TReadingCallouts Callouts;

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  int32_t CharPosAt(const QPoint &viewportPos);
  void CaretStep(int lines);

  // The controls may go before this object does (children of the same window).
  QPointer<TRichEdit> RichEdit;
  QPointer<QWidget> Viewport;
  QPointer<QLineEdit> GotoLineEdit;
  QPointer<QLineEdit> FindTextEdit;
  QPointer<QLabel> LineNumberLabel;
  QPointer<QComboBox> WheelScrollLinesComboBox;
  // Identities for the event filter, compared but never used: events arrive
  // while a control is being destroyed, when it is no longer of its own class.
  const QObject *BoxObject = nullptr;
  const QObject *ViewportObject = nullptr;
  const QObject *GotoLineObject = nullptr;
  const QObject *FindTextObject = nullptr;
  QObject *FormKeyFilter = nullptr;
  int WheelRemainder = 0;        // eighths of a degree not yet scrolled (smooth wheels)
  bool ForwardingMouse = false;  // a press is being handed to the box's own handling
};
