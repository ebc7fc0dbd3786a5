// The main window: a borderless window that fills the screen, with the
// reading box in the middle, the information label above it, the hint label
// below it, the clock at the bottom right and the options sidebar at the left.
//
// The sidebar's pages and group boxes are public members: the units that give
// them behaviour add their controls to the layouts those widgets already have
// (every tab page and group box has a QVBoxLayout, reachable with layout()).
#pragma once

#include "PagelumeLayout.h"
#include "PrintBook.h"

#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>

class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPrinter;
class QPushButton;
class QTabWidget;
class QTimer;
class QUrl;
class TBookLoader;
class THelpForm;
class TEnhancedRichEdit;
class TFormatOptionsPanel;
class TReadingController;
class TRichEdit;
class TRichEdit3Options;
class TBookshelf;
class TStoredTextList;
struct TProgramSettings;

// Creates the reading box (the one place that decides its class).
TRichEdit *CreateReadingBox(QWidget *parent);

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
  TRichEdit *RichEdit = nullptr;
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

  // ---- Open tab, group "Book" ----
  QLineEdit *GotoLineEdit = nullptr;
  QLineEdit *FindTextEdit = nullptr;
  QLabel *LineNumberLabel = nullptr;
  QLabel *PiecesLabel = nullptr;
  QComboBox *PiecesComboBox = nullptr;
  QPushButton *NextPieceButton = nullptr;
  QPushButton *PreviousPieceButton = nullptr;
  QPushButton *ChaptersButton = nullptr;
  // ---- Open tab, group "Browser" ----
  QPushButton *OpenBookButton = nullptr;
  // ---- Program "General" tab ----
  QCheckBox *AutoLoadLastCheckBox = nullptr;
  QCheckBox *OpenInPiecesCheckBox = nullptr;
  QComboBox *PieceSizeComboBox = nullptr;
  QComboBox *WheelScrollLinesComboBox = nullptr;
  // ---- Profile "General" tab ----
  QGroupBox *EnhancePlainTextGroupBox = nullptr;
  QCheckBox *EnhanceTextCheckBox = nullptr;
  QCheckBox *PoorlyWrittenCheckBox = nullptr;
  QCheckBox *IgnoreEmptyLinesCheckBox = nullptr;
  // ---- Profile "Format" tab and program "Misc" tab ----
  TFormatOptionsPanel *FormatOptions = nullptr;
  TRichEdit3Options *RichEdit3Options = nullptr;
  // The chapters of the shown text; none when the text has no headings.
  QMenu *ChaptersPopupMenu = nullptr;

  // ---- Owned objects ----
  std::unique_ptr<TEnhancedRichEdit> Enhancer;
  std::unique_ptr<TBookLoader> Loader;
  TReadingController *Reading = nullptr;
  // The books named on the command line (the arguments after the program name).
  QStringList CommandLineBooks;
  // The open dialog (tests replace it); returns the chosen file or empty.
  std::function<QString(const QString &startPath)> ChooseBookFile;

  // ---- Editing, saving, printing, the download menu and the help ----
  QCheckBox *AllowEditingCheckBox = nullptr;
  QLabel *ModifiedLabel = nullptr;
  QPushButton *SaveBookButton = nullptr;
  QPushButton *RunBookButton = nullptr;
  QPushButton *PrintBookButton = nullptr;
  QPushButton *DownloadBooksButton = nullptr;
  QMenu *DownloadBooksPopupMenu = nullptr;
  QAction *DownloadBooks_GutenbergMenu = nullptr;
  QAction *DownloadBooks_GutenbergSearchMenu = nullptr;
  QAction *DownloadBooks_Break1Menu = nullptr;
  QAction *DownloadBooks_AlexMenu = nullptr;
  QAction *DownloadBooks_OnlineBooksMenu = nullptr;
  THelpForm *HelpForm = nullptr;  // created on first use
  // The save dialog (tests replace it); returns the chosen name or empty.
  std::function<QString(const QString &proposedPath)> ChooseSaveFile;
  // The printer to print on (tests replace it); null when there is none.
  std::function<std::unique_ptr<QPrinter>()> DefaultPrinter;
  // Whether the last save failed (not refused or cancelled).
  bool LastSaveFailed = false;
  // Pages printed by the last print command (-1: none).
  int LastPrintedPages = -1;

  void AllowEditingCheckBoxClick();
  void SetEditing(bool on);
  bool BookModified() const;
  bool CanProcessText();
  bool SaveFile();
  void SaveBookButtonClick();
  void RunBookButtonClick();
  void PrintBookButtonClick();
  TPrintMargins PrintMargins() const;
  void DownloadBooksButtonClick();
  void DownloadBooks_GutenbergMenuClick();
  void DownloadBooks_GutenbergSearchMenuClick();
  void DownloadBooks_AlexMenuClick();
  void DownloadBooks_OnlineBooksMenuClick();
  // Opens the help window at a context (0: the contents).
  void ShowHelpAt(int context);

  // ---- Size options (percent; restored with the program settings) ----
  int RichBoxWidthPercent = 45;
  int RichBoxTopPercent = 10;
  int RichBoxBottomPercent = 15;

  // ---- Settings and bookshelf (Pagelume.ini) ----
  // Program tab "General".
  QCheckBox *AutoBookmarkCheckBox = nullptr;
  QCheckBox *AutoSaveProfileCheckBox = nullptr;
  QGroupBox *SizesGroupBox = nullptr;
  QComboBox *RichBoxWidthPercentComboBox = nullptr;
  QComboBox *RichBoxTopPercentComboBox = nullptr;
  QComboBox *RichBoxBottomPercentComboBox = nullptr;
  QGroupBox *DictionaryGroupBox = nullptr;
  QLineEdit *DictionaryTitleEdit = nullptr;  // read-only
  QCheckBox *ClipboardForDicCheckBox = nullptr;
  // Program tab "Misc", group "Print text".
  QGroupBox *PrintTextGroupBox = nullptr;
  QComboBox *PrintLeftMarginComboBox = nullptr;
  QComboBox *PrintRightMarginComboBox = nullptr;
  QComboBox *PrintTopMarginComboBox = nullptr;
  QComboBox *PrintBottomMarginComboBox = nullptr;
  // Open tab: group "Bookshelf", and the bookmark buttons of group "Book".
  QPushButton *PutBookshelfButton = nullptr;
  QPushButton *OpenBookshelfButton = nullptr;
  QPushButton *RemoveBookshelfButton = nullptr;
  QPushButton *BookmarkAutoButton = nullptr;
  QPushButton *Bookmark1Button = nullptr;
  QPushButton *Bookmark2Button = nullptr;
  QPushButton *Bookmark3Button = nullptr;
  QPushButton *Bookmark4Button = nullptr;
  QPushButton *Bookmark5Button = nullptr;
  std::unique_ptr<TStoredTextList> SettingsList;  // bound to Pagelume.ini
  std::unique_ptr<TBookshelf> Bookshelf;
  // The converter's unit per quantity (Length, Speed, Area, Volume, Weight,
  // Temperature) as read from the settings; the converter selects them in its
  // unit lists (ApplyConvertMeasureUnits) and puts its selection back here
  // before a save (CollectConvertMeasureUnits).
  QStringList ConvertMeasureUnits;

  void LoadProgramSettings(TStoredTextList &list);
  void SaveProgramSettings(TStoredTextList &list);
  TProgramSettings ProgramSettingsFromControls() const;
  void ShowProgramSettings(const TProgramSettings &settings);
  void SizeComboBoxChange();
  QPushButton *BookmarkButton(int slot) const;
  void UpdateAutoBookmark(bool enabled);
  void SetBookmarkHere(int slot);
  void RefreshBookshelfButtons();
  void RefreshBookmarkButtons();
  // A mouse press on a bookmark button (slot 0: "&Auto").
  void BookmarkButtonMouseDown(int slot, Qt::MouseButton button, Qt::KeyboardModifiers modifiers);
  void GoToBookmark(int slot);
  void PutBookshelfButtonClick();
  void OpenBookshelfButtonClick();
  void RemoveBookshelfButtonClick();
  void BookshelfSelect(const QString &fileName, bool removing);
  // Call-outs of the settings save and load filled in by the profile and
  // converter units.
  void CreateProfileList();
  void SaveProfileAtExit();
  void ApplyConvertMeasureUnits();
  void CollectConvertMeasureUnits();

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
  // Opens a book by name, leaving the auto-bookmark of the open one.
  void OpenBook(const QString &path);

  // ---- Book and chapters ----
  void OpenBookButtonClick();
  void NextPieceButtonClick();
  void PreviousPieceButtonClick();
  void PiecesComboBoxChange(const QString &selectedText);
  void OpenInPiecesCheckBoxClick();
  void UpdateChaptersButton();
  void ChaptersButtonClick();
  void ShowChaptersMenu();
  void ChapterClick(int32_t tag);

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
  void LoadSettingsList();
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

  // Parts of construction that build the reading controls.
  void BuildBookControls();
  void BuildGeneralOptions();
  void BuildProfileGeneralOptions();
  void CreateLoader();
  void CreateReadingController();
  void BuildChaptersMenu();
  // Editing, saving, printing, download menu and help.
  void BuildEditControls();
  void WireEditing();
  // Settings and bookshelf controls.
  void BuildSettingsOptions();
  void BuildBookshelfControls();
};

extern QPointer<TPagelumeForm> PagelumeForm;
