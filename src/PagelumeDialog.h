// The main window: a borderless window that fills the screen, with the
// reading box in the middle, the information label above it, the hint label
// below it, the clock at the bottom right and the options sidebar at the left.
//
// The sidebar's pages and group boxes are public members: the units that give
// them behaviour add their controls to the layouts those widgets already have
// (every tab page and group box has a QVBoxLayout, reachable with layout()).
#pragma once

#include "PagelumeLayout.h"

#include <QImage>
#include <QList>
#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPainter;
class QRect;
class QPushButton;
class QTabWidget;
class QTimer;
class QUrl;
class TBookLoader;
class TColorPanel;
struct TColorSlots;
struct TDecodedPicture;
struct TFormatColors;
class TEnhancedRichEdit;
class TFormatOptionsPanel;
class TReadingController;
class TRichEdit;
class TRichEdit3Options;

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

  // ---- Colours and background pictures (profile "Colors" and "Misc" tabs) ----
  QGroupBox *ScreenColorsGroupBox = nullptr;
  QGroupBox *RichBoxColorsGroupBox = nullptr;
  QGroupBox *BrowserColorsGroupBox = nullptr;
  TColorPanel *ScreenBackColorPanel = nullptr;
  TColorPanel *ScreenForeColorPanel = nullptr;
  TColorPanel *RichBoxBackColorPanel = nullptr;
  TColorPanel *RichBoxForeColorPanel = nullptr;
  TColorPanel *EmphaColorPanel = nullptr;
  TColorPanel *SecondEmphaColorPanel = nullptr;
  TColorPanel *BrowserFocusBackColorPanel = nullptr;
  TColorPanel *BrowserFocusForeColorPanel = nullptr;
  TColorPanel *DirTypeBackColorPanel = nullptr;
  TColorPanel *DirTypeForeColorPanel = nullptr;
  QPushButton *SetHighLightColorsButton = nullptr;
  QPushButton *SetLowStrainColorsButton = nullptr;
  QPushButton *SetLowLightColorsButton = nullptr;
  QCheckBox *ShowFrameCheckBox = nullptr;
  QGroupBox *ScreenBackImageGroupBox = nullptr;
  QCheckBox *UseScreenBackImageCheckBox = nullptr;
  QCheckBox *StretchScreenBackImageCheckBox = nullptr;
  QComboBox *FadeScreenBackImageComboBox = nullptr;
  QComboBox *GammaScreenBackImageComboBox = nullptr;
  QComboBox *FadeCenterScreenBackImageComboBox = nullptr;
  QLineEdit *TitleScreenBackImageEdit = nullptr;
  QPushButton *ChangeScreenBackImageButton = nullptr;
  QPushButton *RunScreenBackImageButton = nullptr;
  QGroupBox *RichBackImageGroupBox = nullptr;
  QCheckBox *UseRichBackImageCheckBox = nullptr;
  QCheckBox *StretchRichBackImageCheckBox = nullptr;
  QComboBox *FadeRichBackImageComboBox = nullptr;
  QComboBox *GammaRichBackImageComboBox = nullptr;
  QLineEdit *TitleRichBackImageEdit = nullptr;
  QPushButton *ChangeRichBackImageButton = nullptr;
  QPushButton *RunRichBackImageButton = nullptr;
  QCheckBox *TransparentRichBackCheckBox = nullptr;
  // Lists that take the screen background colour (browser, converter); their
  // units add them here.
  QList<QPointer<QWidget>> ScreenColorLists;
  // Image state: window-sized screen picture and its copy for a transparent
  // reading box (both or neither), and the reading box's tile.
  QString PictureFilter;
  QImage ScreenBackBitmap;
  QImage ScreenCenterBitmap;
  QImage RichBackBitmap;
  bool BackPictureDetached = false;  // during a book load the window shows its plain colour
  // The dialogs (tests replace them): the stock-colour dialog, the toolkit's
  // colour dialog (true with a colour chosen) and the picture-file dialog.
  std::function<bool(uint32_t &color)> ChooseStockColor;
  std::function<bool(uint32_t &color)> ChooseSystemColor;
  std::function<QString(const QString &startPath, const QString &filter)> ChooseImageFile;

  TColorSlots ColorSlots() const;
  TFormatColors FormatColors() const;  // the slots that enter the book's base format
  void SetColorSlots(const TColorSlots &colors);  // each swatch through SetColorPanel
  bool PickColor(TColorPanel *panel, Qt::MouseButton button);
  void ScreenBackColorPanelMouseUp(Qt::MouseButton button);
  void ScreenForeColorPanelMouseUp(Qt::MouseButton button);
  void RichBoxBackColorPanelMouseUp(Qt::MouseButton button);
  void RichBoxForeColorPanelMouseUp(Qt::MouseButton button);
  void EmphaColorPanelMouseUp(Qt::MouseButton button);
  void SecondEmphaColorPanelMouseUp(Qt::MouseButton button);
  void BrowserFocusBackColorPanelMouseUp(Qt::MouseButton button);
  void BrowserFocusForeColorPanelMouseUp(Qt::MouseButton button);
  void DirTypeBackColorPanelMouseUp(Qt::MouseButton button);
  void DirTypeForeColorPanelMouseUp(Qt::MouseButton button);
  void SetHighLightColorsButtonClick();
  void SetLowStrainColorsButtonClick();
  void SetLowLightColorsButtonClick();
  void ApplyColors();
  void RecolorText(bool includeForeground);
  void DrawRichBoxFrame();
  void ShowFrameCheckBoxClick();
  // The parts of the window that take the screen colours.
  void SetWindowBackColor();
  void SetWindowForeColor();
  void ColorScreenLists();
  void RepaintBrowserList();

  // shared: the decoded picture the two rebuilds of one pass may share.
  void IniScreenBackImage(TDecodedPicture *shared = nullptr);
  void IniRichBackImage(TDecodedPicture *shared = nullptr);
  // Whether the reading box shows a picture (its own tile or the screen's).
  bool RichBackPictureShown() const;
  void UseScreenBackImageCheckBoxClick();
  void StretchScreenBackImageCheckBoxClick();
  void FadeScreenBackImageComboBoxChange();
  void GammaScreenBackImageComboBoxChange();
  void FadeCenterScreenBackImageComboBoxChange();
  void TitleScreenBackImageEditExit();
  void ChangeScreenBackImageButtonMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers);
  void RunScreenBackImageButtonClick();
  void UseRichBackImageCheckBoxClick();
  void StretchRichBackImageCheckBoxClick();
  void FadeRichBackImageComboBoxChange();
  void GammaRichBackImageComboBoxChange();
  void TitleRichBackImageEditExit();
  void ChangeRichBackImageButtonMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers);
  void RunRichBackImageButtonClick();
  void TransparentRichBackCheckBoxClick();
  // Picture titles: the full path of a title and the title of a path.
  QString ResolveImageTitle(const QString &title) const;
  QString MakeImageTitle(const QString &path) const;
  QString ImagesDir() const;

  // ---- Owned objects ----
  std::unique_ptr<TEnhancedRichEdit> Enhancer;
  std::unique_ptr<TBookLoader> Loader;
  TReadingController *Reading = nullptr;
  // The books named on the command line (the arguments after the program name).
  QStringList CommandLineBooks;
  // The open dialog (tests replace it); returns the chosen file or empty.
  std::function<QString(const QString &startPath)> ChooseBookFile;

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
  void paintEvent(QPaintEvent *event) override;  // colours and background pictures
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

  // Parts of construction that build the reading controls.
  void BuildBookControls();
  void BuildGeneralOptions();
  void BuildProfileGeneralOptions();
  // Colours and background pictures.
  void BuildColorOptions();
  void BuildImageOptions();
  void PaintRichBackground(QPainter &painter, const QRect &area);
  void RepaintScreen();
  void RepaintRichBox();
  void ChangeBackImage(QLineEdit *titleEdit, Qt::MouseButton button, Qt::KeyboardModifiers modifiers);
  void RunBackImage(QLineEdit *titleEdit);
  void CreateLoader();
  void CreateReadingController();
  void BuildChaptersMenu();
};

extern QPointer<TPagelumeForm> PagelumeForm;
