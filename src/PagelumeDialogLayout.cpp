// The main window's presentation: layout, the sidebar's visibility, hints in
// the hint label and the one-second information timer.
#include "PagelumeDialog.h"
#include "ReadAloud.h"
#include "SpeechEngine.h"
#include "StoredTextList.h"

#include "BookLoader.h"
#include "ErrorDialog.h"
#include "Myrandom.h"
#include "RTF.h"
#include "ReadingKeys.h"

#include <QApplication>
#include <QCursor>
#include <QDateTime>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QStatusTipEvent>
#include <QTabWidget>
#include <QTimer>

namespace {
QRect ToRect(const TLayoutRect &r) { return QRect(r.Left, r.Top, r.Width, r.Height); }
}  // namespace

// ---- Layout ----

void TPagelumeForm::LayoutWindow() {
  if (QCoreApplication::closingDown() || ProfileListLoading())
    return;
  TLayoutInput in;
  in.Width = width();
  in.Height = height();
  in.RichBoxWidthPercent = RichBoxWidthPercent;
  in.RichBoxTopPercent = RichBoxTopPercent;
  in.RichBoxBottomPercent = RichBoxBottomPercent;
  in.SidebarWidth = Container_MainPanel->width();
  Layout = ComputeLayout(in);
  RichEdit->setGeometry(ToRect(Layout.RichBox));
  Container_MainPanel->setGeometry(ToRect(Layout.Sidebar));
  HintLabel->setGeometry(ToRect(Layout.HintLabel));
  CurrentFileInfoLabel->setGeometry(ToRect(Layout.InfoLabel));
  ClockLabel->setGeometry(ToRect(Layout.Clock));
  // Inside the sidebar the page layouts size the inner page controls and the
  // "Browser" group (the rest of the "Open" page, less a 5-pixel margin).
  RebuildBackImages();
  update();
  RichEdit->viewport()->update();
}

void TPagelumeForm::resizeEvent(QResizeEvent *event) {
  QWidget::resizeEvent(event);
  LayoutWindow();
}


// ---- Sidebar ----

void TPagelumeForm::ShowSidebar(bool hide) {
  if (!SidebarGuard && IsApplicationActive && IsApplicationActive()) {
    Container_MainPanel->setVisible(!hide);
    if (hide)
      RichEdit->setFocus();
    else if (Container_OptionsPageControl->currentWidget() == ConvertTabSheet)
      FocusConverterValue();
  }
  SidebarGuard = false;
}


void TPagelumeForm::FormMouseMove(int x, int y) {
  Random.AddEntropy(x, y);
  ShowSidebar(!SidebarWantedAt(x, Layout.RichBox.Left));
}
void TPagelumeForm::CurrentFileInfoLabelMouseMove() { ShowSidebar(true); }
void TPagelumeForm::HintLabelMouseMove() { ShowSidebar(true); }
void TPagelumeForm::RichEditMouseMove() {
  const QPoint pointer = RichEdit->viewport()->mapFromGlobal(QCursor::pos());
  Random.AddEntropy(pointer.x(), pointer.y());
  ShowSidebar(true);
}

void TPagelumeForm::mouseMoveEvent(QMouseEvent *event) {
  const QPoint p = event->position().toPoint();
  FormMouseMove(p.x(), p.y());
  QWidget::mouseMoveEvent(event);
}

// ---- Hints, key preview, moves over the labels and the reading box ----

// A control or menu item without a hint of its own (and the empty tip sent
// when the pointer leaves one that has a hint) shows the reading box's hint.
// The start's hint is the exception: the pointer is put on the hint label
// then, and the window's appearing under the pointer or leaving the reading
// box on the way must not take the hint away at once: it is shown again when
// the pointer arrives, and stays until the pointer reaches a control with a
// hint.
bool TPagelumeForm::event(QEvent *event) {
  if (event->type() == QEvent::StatusTip) {
    const QString tip = static_cast<QStatusTipEvent *>(event)->tip();
    if (tip.isEmpty() && HintLabel->text() == QLatin1String(SidebarHintText))
      return true;
    HintLabel->setText(tip.isEmpty() ? QString(RichEditHint) : tip);
    return true;
  }
  return QWidget::event(event);
}

bool TPagelumeForm::eventFilter(QObject *watched, QEvent *event) {
  switch (event->type()) {
  case QEvent::StatusTip:
    // A pop-up menu is a window of its own, so its items' hints stop at the
    // menu instead of rising to this window.
    if (qobject_cast<QMenu *>(watched))
      return TPagelumeForm::event(event);
    break;
  case QEvent::Enter:
    if (watched == HintLabel && StartHintPending) {
      StartHintPending = false;
      HintLabel->setText(SidebarHintText);
    }
    break;
  // Window keys and moves over the reading box belong to the reading controller.
  case QEvent::MouseMove:
    if (watched == CurrentFileInfoLabel)
      CurrentFileInfoLabelMouseMove();
    else if (watched == HintLabel)
      HintLabelMouseMove();
    break;
  case QEvent::DragEnter:
  case QEvent::DragMove:
    // Files dragged over the reading box open like files dropped on the window.
    if (watched == RichEdit->viewport() && static_cast<QDropEvent *>(event)->mimeData()->hasUrls()) {
      static_cast<QDropEvent *>(event)->acceptProposedAction();
      return true;
    }
    break;
  case QEvent::Drop:
    if (watched == RichEdit->viewport() && static_cast<QDropEvent *>(event)->mimeData()->hasUrls()) {
      FilesDropped(static_cast<QDropEvent *>(event)->mimeData()->urls());
      static_cast<QDropEvent *>(event)->acceptProposedAction();
      return true;
    }
    break;
  case QEvent::Paint:
    // A profile write kept for after the page goes once the page is painted.
    if (watched == RichEdit->viewport() && !KeptProfileWriteQueued && ProfileList &&
        !ProfileList->PendingFileName().empty()) {
      KeptProfileWriteQueued = true;
      QTimer::singleShot(0, this, &TPagelumeForm::WriteKeptProfile);
    }
    // The speech service is reached once the first page is up.
    if (watched == RichEdit->viewport() && !SpeechPrepared && Speech && Speech->Engine()) {
      SpeechPrepared = true;
      QTimer::singleShot(0, this, [this] {
        if (Speech && Speech->Engine())
          Speech->Engine()->Prepare();
      });
    }
    break;
  default:
    break;
  }
  return QWidget::eventFilter(watched, event);
}

// ---- Information timer ----

void TPagelumeForm::InfoTimerTimer() {
  if (Loader && Loader->Loading())
    return;  // the text is not complete yet (a restore during a load starts the timer)
  try {
    UpdateLineLabel();
    UpdateModifiedLabel();
  } catch (...) {
  }
  try {
    const QLocale locale = QLocale::system();
    ClockLabel->setText(
        locale.toString(QTime::currentTime(), ForceTimeColon(locale.timeFormat(QLocale::ShortFormat))));
    BackSoundStep();
  } catch (...) {
  }
}

void TPagelumeForm::UpdateLineLabel() {
  if (Reading)
    Reading->UpdateLineNumberLabel();
}
