// The main window: a borderless window that fills the screen, with the
// reading box in the middle, the information label above it, the hint label
// below it, the clock at the bottom right and the options sidebar at the left.
//
// The sidebar's pages and group boxes are public members: the units that give
// them behaviour add their controls to the layouts those widgets already have
// (every tab page and group box has a QVBoxLayout, reachable with layout()).
#pragma once

#include "PagelumeLayout.h"

#include <QPointer>
#include <QWidget>
#include <functional>

class QFrame;
class QGroupBox;
class QLabel;
class QPushButton;
class QTabWidget;
class QTextEdit;
class QTimer;
class QUrl;

// Creates the reading box (the one place that decides its class).
QTextEdit *CreateReadingBox(QWidget *parent);

class TPagelumeForm : public QWidget {
  Q_OBJECT
public:
  explicit TPagelumeForm(QWidget *parent = nullptr);
  ~TPagelumeForm() override;

  static const char *const RichEditHint;
  static const char *const SidebarHintText;
  static const char *const TextFilesFilter;
  static constexpr int HelpContext = 100;
  // Pop-up hint timing (milliseconds).
  static constexpr int HintPause = 400;
  static constexpr int HintShortPause = 200;
  static constexpr int HintHidePause = 100000;

  // ---- Controls at the top level ----
  QLabel *CurrentFileInfoLabel = nullptr;
  QTextEdit *RichEdit = nullptr;
  QLabel *HintLabel = nullptr;
  QLabel *ClockLabel = nullptr;
  QFrame *Container_MainPanel = nullptr;
  QTimer *InfoTimer = nullptr;

  // ---- The sidebar ----
  QTabWidget *Container_OptionsPageControl = nullptr;
  QWidget *ProgramTabSheet = nullptr;
  QWidget *ProfileTabSheet = nullptr;
  QWidget *ConvertTabSheet = nullptr;
  QTabWidget *ProgramPageControl = nullptr;
  QWidget *OpenTabSheet = nullptr;
  QWidget *GeneralTabSheet = nullptr;
  QWidget *MiscTabSheet = nullptr;
  QTabWidget *ProfilePageControl = nullptr;
  QWidget *ProfileGeneralTabSheet = nullptr;
  QWidget *ProfileColorsTabSheet = nullptr;
  QWidget *ProfileFormatTabSheet = nullptr;
  QWidget *ProfileMiscTabSheet = nullptr;
  QGroupBox *BookGroupBox = nullptr;
  QGroupBox *BookshelfGroupBox = nullptr;
  QGroupBox *BrowserGroupBox = nullptr;
  QWidget *MainButtonsPanel = nullptr;
  QPushButton *CloseProgramButton = nullptr;
  QPushButton *HideProgramButton = nullptr;
  QPushButton *HelpButton = nullptr;
  QPushButton *AboutButton = nullptr;

  // ---- Size options (percent; restored with the program settings) ----
  int RichBoxWidthPercent = 45;
  int RichBoxTopPercent = 10;
  int RichBoxBottomPercent = 15;

  // ---- State ----
  bool Constructed = false;
  bool Closing = false;
  bool SidebarGuard = false;       // one-shot: the next ShowSidebar changes nothing
  bool FirstActivationDone = false;
  TLayoutResult Layout;            // the last layout pass
  // Whether the application is the active one (tests replace it).
  std::function<bool()> IsApplicationActive;

  // ---- Operations ----
  void Start();
  void ShowOpenTab();
  void LayoutWindow();
  void ShowSidebar(bool hide);
  void InfoTimerTimer();
  // Opens a book (filled in by the book loading; empty for now).
  void OpenBook(const QString &path);

  // ---- Handlers ----
  void ApplicationEventsActivate();
  void ApplicationEventsMinimize();
  void ApplicationEventsRestore();
  bool FormCloseQuery();
  void FormMouseMove(int x, int y);
  void CurrentFileInfoLabelMouseMove();
  void HintLabelMouseMove();
  void RichEditMouseMove();
  void CloseProgramButtonClick();
  void HideProgramButtonClick();
  void HelpButtonClick();
  void AboutButtonClick();
  // Files dropped on the window: only the first is opened.
  void FilesDropped(const QList<QUrl> &urls);

protected:
  bool event(QEvent *event) override;
  bool eventFilter(QObject *watched, QEvent *event) override;
  void resizeEvent(QResizeEvent *event) override;
  void mouseMoveEvent(QMouseEvent *event) override;
  void changeEvent(QEvent *event) override;
  void closeEvent(QCloseEvent *event) override;
  void dragEnterEvent(QDragEnterEvent *event) override;
  void dropEvent(QDropEvent *event) override;

private:
  // Construction, in order.
  void BuildControls();
  void BuildSidebar();
  void CreateOwnedObjects();
  void HookApplicationEvents();
  void SetHintTiming();
  void SetHelpFile();
  void HookWindowProcedure();
  void HideSidebarAtConstruction();
  void SetStartHints();
  void FirstInfoTick();
  void WireEnhancer();
  void SetOptionHints();
  void StartGdiPlus();
  void SetFileDialogFilters();
  void FillFontsAndColors();
  void SetListItemHeights();
  void CreateHistoryAndBookmarks();
  void FinishConstruction();

  // Start steps.
  void HookReadingBox();
  void CreateStoredLists();
  void LoadSettingsAndProfile();
  void InitBackImages();

  // Call-outs filled in by the units that own them.
  void LoadOnStart();
  void AskSaveIfModified();
  void SaveSettings();
  void StopSounds();
  void PlayCurrentSound();
  void UpdateLineLabel();
  void UpdateModifiedLabel();
  void BackSoundStep();
  void RebuildBackImages();
  void FocusConverterValue();
  bool ProfileListLoading() const;

  bool HandlePreviewKey(QKeyEvent *event);
};

extern QPointer<TPagelumeForm> PagelumeForm;
