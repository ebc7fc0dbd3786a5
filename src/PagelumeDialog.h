// The main window: a borderless window that fills the screen, with the
// reading box in the middle, the information label above it, the hint label
// below it, the clock at the bottom right and the options sidebar at the left.
//
// The sidebar's pages and group boxes are public members: the units that give
// them behaviour add their controls to the layouts those widgets already have
// (every tab page and group box has a QVBoxLayout, reachable with layout()).
#pragma once

#include "Input.h"
#include "PagelumeLayout.h"
#include "ProfileSettings.h"
#include "PrintBook.h"

#include <QImage>
#include <QList>
#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>

class QAction;
class QCheckBox;
class QColor;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QPoint;
class QPainter;
class QRect;
class QPrinter;
class QPushButton;
class QTabWidget;
class QTimer;
class QUrl;
class TBackSounds;
class TBookLoader;
class TBrowserList;
class THistoryDialog;
class TColorPanel;
struct TColorSlots;
struct TDecodedPicture;
struct TFormatColors;
class THelpForm;
class TEnhancedRichEdit;
class TFormatOptionsPanel;
class TReadAloud;
class TReadingController;
class TRichEdit;
class TRichEdit3Options;
class TWaveOutput;
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
  static const char *const SoundFilter;
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
  // ---- Open tab, group "Browser": the list and its buttons ----
  TBrowserList *BrowserListBox = nullptr;
  QPushButton *UpBrowserButton = nullptr;
  QPushButton *ReloadBrowserButton = nullptr;
  QPushButton *FromBookBrowserButton = nullptr;
  QPushButton *BrowserHistoryButton = nullptr;
  // The directory shown, ending with a separator; empty for the drives list.
  QString BrowserPath;
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
  // ---- Profile "Misc" tab, group "Background sound" ----
  QGroupBox *BackSoundGroupBox = nullptr;
  QCheckBox *UseBackSoundCheckBox = nullptr;
  QCheckBox *RandomBackSoundCheckBox = nullptr;
  QLineEdit *TitleBackSoundEdit = nullptr;
  QPushButton *ChangeBackSoundButton = nullptr;
  QPushButton *RunBackSoundButton = nullptr;
  QComboBox *VolumeBackSoundComboBox = nullptr;
  QComboBox *DurationBackSoundComboBox = nullptr;
  QComboBox *ProbabilityBackSoundComboBox = nullptr;
  // The chapters of the shown text; none when the text has no headings.
  QMenu *ChaptersPopupMenu = nullptr;

  // ---- Reading aids: the measurement converter ("Convert" tab) ----
  QLineEdit *ConvertMeasureEdit = nullptr;
  QTabWidget *ConvertPageControl = nullptr;
  QWidget *LengthTabSheet = nullptr;
  QListWidget *LengthListBox = nullptr;
  QListWidget *SpeedListBox = nullptr;
  QListWidget *AreaListBox = nullptr;
  QListWidget *VolumeListBox = nullptr;
  QListWidget *WeightListBox = nullptr;
  QListWidget *TemperatureListBox = nullptr;
  QPlainTextEdit *MiscMemo = nullptr;
  static const char *const ConvertTabHint;
  // The unit list of a quantity (TMeasureQuantity), or null.
  QListWidget *ConvertListBox(int32_t quantity) const;
  // The selected unit's text, for the settings file ("" when none is selected).
  QString SelectedUnitText(int32_t quantity) const;
  // Selects the unit named text (letter case ignored), else the quantity's default.
  void SelectUnitByText(int32_t quantity, const QString &text);
  // Screen colours of the lists and the notes box; the selected unit in the browser's focus colours.
  void SetConverterColors(const QColor &screenBack, const QColor &screenFore, const QColor &focusBack,
                          const QColor &focusFore);
  void SetConverterItemHeight(int height);
  // The value box's text as a number ("." decimal point); 0 when it is none.
  double ConvertValue() const;
  static QString GetNumberAtCharIndex(TRichEdit *richBox, int32_t charIndex);
  bool ShowConvertMeasure(int32_t charIndex);
  QString FullConvertMeasure(QListWidget *list, int pointedIndex, double value);
  void MiscConvertMeasure(double value);
  // The pointer moved over the reading box at a character; a right press there.
  void ConvertMeasureRichEditMouseMove(int32_t charIndex);
  void ConvertMeasureRichEditRightClick(int32_t charIndex);
  void ConvertMeasureTabSheetShow();
  void ConvertMeasureEditChange();
  void ConvertListBoxMouseDown();
  void ConvertListBoxMouseMove(QListWidget *list, const QPoint &pos, const QPoint &globalPos);

  // ---- Reading aids: the dictionary look-up (its path box and clipboard box
  // are with the settings controls) ----
  QPushButton *ChangeDictionaryButton = nullptr;
  static constexpr int MaxLookUpLength = 20;
  // The dictionary program dialog (tests replace it); returns the chosen file or empty.
  std::function<QString(const QString &current)> ChooseDictionaryFile;
  void LookUpWord();
  void ChangeDictionaryButtonClick();
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
  // What each picture was last built from: a rebuild from the same file,
  // size and options keeps the picture (a layout or a profile switch asks
  // for one often, and a full-screen picture takes long to build).
  QString ScreenBackSource, RichBackSource;
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
  void ApplyScreenAndBoxColors();  // the window, labels, lists and box in the slots' colours
  void FollowBoxTone();  // links legible on what the box shows: its colour or its picture
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

  // ---- Reading aloud (the button on the "Open" tab, the voice's options on
  // the profile's "Misc" tab) ----
  QPushButton *ReadAloudButton = nullptr;
  QGroupBox *SpeechGroupBox = nullptr;
  QComboBox *SpeechRateComboBox = nullptr;
  QComboBox *SpeechVolumeComboBox = nullptr;
  TReadAloud *Speech = nullptr;
  static const char *const ReadAloudHint;
  static const char *const NoSpeechHint;
  // The language the book is read in ("en", "fr", ...; empty: the voice's own).
  QString BookLanguage() const;
  void ReadAloudButtonClick();
  void UpdateReadAloudButton();
  // Stops reading aloud; true when a reading was stopped.
  bool StopReading();
  // Where the reader is: the sentence last read aloud while it is on the
  // screen, else the top line (the auto-bookmark keeps it).
  int32_t ReadingPlace();
  void ShowProfileSpeech();
  void CollectProfileSpeech();

  // ---- Owned objects ----
  std::unique_ptr<TEnhancedRichEdit> Enhancer;
  std::unique_ptr<TBookLoader> Loader;
  std::unique_ptr<THistoryDialog> History;
  TReadingController *Reading = nullptr;
  // The books named on the command line (the arguments after the program name).
  QStringList CommandLineBooks;
  // The background sounds and the program's sound output (tests replace it
  // through Sounds->SetOutput).
  std::unique_ptr<TWaveOutput> SoundOutput;
  std::unique_ptr<TBackSounds> Sounds;
  // The sound file dialog (tests replace it); returns the chosen file or empty.
  std::function<QString(const QString &startPath)> ChooseSoundFile;
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
  // Pagelume.ini exists but could not be read: the close leaves it as it is.
  bool SettingsLoadFailed = false;
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
  bool StartHintPending = false;  // shown again once the pointer reaches the hint label
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

  // ---- Profiles ----
  // The current profile. The options with controls of their own (the profile
  // "General" and "Format" pages) live in those controls and are gathered by
  // CurrentProfile(); the colour, picture and sound fields live here until
  // their units bind controls through the call-outs below.
  ProfileSettings Profile;
  // Bound to the current profile file; OnLoad is LoadProfile, OnSave SaveProfile.
  std::unique_ptr<TStoredTextList> ProfileList;
  // The current profile's file exists but could not be read: automatic saves
  // leave it alone until a profile is read or saved successfully.
  bool ProfileLoadFailed = false;
  QGroupBox *WorkGroupBox = nullptr;
  QPushButton *LoadProfileButton = nullptr;
  QPushButton *SaveProfileButton = nullptr;
  QPushButton *DeleteProfileButton = nullptr;
  // The profile file dialog (tests replace it); returns the chosen file or empty.
  std::function<QString(const QString &caption, const QString &initialFile, bool save)> ChooseProfileFile;

  // PagelumeProfile.plp in the settings folder.
  QString DefaultProfilePath() const;
  // The file the profile list is bound to.
  QString CurrentProfilePath() const;
  // Media titles against the current profile (pictures: BackImagesDir(),
  // sounds: BackSoundsDir()).
  QString ResolveMediaTitle(const QString &title, const QString &mediaDirectory) const;
  QString MakeMediaTitle(const QString &path, const QString &mediaDirectory) const;
  // The profile list's callbacks.
  void LoadProfile(TStoredTextList &list);
  void SaveProfile(TStoredTextList &list);
  // Finds and loads the profile of a book opened by name (after saving the
  // current one when "Auto save profile" is on and keepCurrent is false).
  void ResolveProfile(const QString &book, bool keepCurrent);
  // The gathered current profile (controls into Profile).
  const ProfileSettings &CurrentProfile();
  // Shows Profile in the controls, with the immediate effects of a load.
  void ShowProfile();
  // Reads the default profile at start (CreateProfileList made the list);
  // the automatic save at exit is SaveProfileAtExit.
  void LoadProfileList();
  void LoadProfileButtonMouseDown(TShiftState shift);
  void SaveProfileButtonMouseDown(TShiftState shift);
  void DeleteProfileButtonMouseDown(TShiftState shift);
  // Call-outs for the colour/picture and sound units: show Profile's fields in
  // their controls (with their immediate effects), gather them back, and show
  // the two picture titles after "Save" made them full paths.
  void ShowProfileColors();
  void CollectProfileColors();
  void ShowBackImageTitles();
  void ShowProfileSounds();
  void CollectProfileSounds();

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
  // ---- Browser ----
  void LoadBrowserContent(const QString &path);
  void OpenBrowserItem();
  void UpBrowserButtonClick();
  void BrowserHistoryButtonClick();
  // What the hint adds for the item under the pointer.
  QString BrowserItemHint(int index) const;
  static QString StripTrailingSeparator(const QString &path);

  // ---- Background sounds ----
  QString SoundsDir() const;
  QString ResolveSoundTitle(const QString &title) const;
  // Shows entry 0 of the sound list in the controls (after a profile load).
  void SoundListToControls();
  void PlaySoundAt(int32_t index);
  void ApplyFirstSound(const QString &titleText);
  void UseBackSoundCheckBoxClick();
  void TitleBackSoundEditExit();
  void VolumeBackSoundComboBoxChange();
  void DurationBackSoundComboBoxChange();
  void ProbabilityBackSoundComboBoxChange();
  void ChangeBackSoundButtonMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers);
  void RunBackSoundButtonClick();
  // Files dropped on the window: only the first is opened.
  void FilesDropped(const QList<QUrl> &urls);
  // A book named by a second start of the program: the window comes up and
  // the book opens as a dropped one, once no load or dialog is under way.
  void BookHandedOver(const QString &path);

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
  void LoadSettingsList();
  void LoadSettingsAndProfile();
  void InitBackImages();

  // Call-outs filled in by the units that own them.
  void LoadOnStart();
  void AskSaveIfModified();
  void SaveSettings();
  void StopSounds();
  void PlayCurrentSound();
  void ExitSounds();
  void UpdateLineLabel();
  void UpdateModifiedLabel();
  void BackSoundStep();
  void RebuildBackImages();
  // The dark or the desktop's palette for the window's own widgets, after the screen colour.
  void ColorWindowWidgets();
  bool DarkWidgets = false;
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
  void CreateBackSounds();
  void BuildBrowserControls();
  void CreateHistory();
  void BuildBackSoundControls();
  void CreateReadingController();
  void BuildSpeechControls();
  void CreateSpeech();
  void BuildChaptersMenu();
  // Editing, saving, printing, download menu and help.
  void BuildEditControls();
  void WireEditing();
  // Settings and bookshelf controls.
  void BuildSettingsOptions();
  void BuildBookshelfControls();

  // Reading aids.
  void BuildConverterControls();
  void BuildDictionaryControls();
  void WireReadingAids();
  // Profiles.
  void BuildProfileWorkGroup();
  TStoredTextList &ProfileListOrNew();
  bool LoadProfileFile(const QString &path);
  // later: the write waits until the page has been painted (WriteKeptProfile).
  bool AutoSaveCurrentProfile(bool later = false);
  // Makes the profile write kept for after the page; shows a failure.
  void WriteKeptProfile();
  bool KeptProfileWriteQueued = false;
  bool SpeechPrepared = false;  // the speech service reached after the first page
  void ShowProfileFailure(const char *operation);
  bool AutoSaveProfileOn() const;
  QString ProfileInitialFile(int choice) const;
  QString AskProfileFile(const QString &caption, const QString &initialFile, bool save);
  // Cleared by "Load" before it reopens the book, set when the book's profile was resolved.
  bool ProfileResolved = true;
};

// The per-book profile file of a book: its path with the extension ".plp".
QString ProfilePathOfBook(const QString &book);

extern QPointer<TPagelumeForm> PagelumeForm;
