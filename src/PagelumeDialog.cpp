// The main window: construction, start, activation, minimise and restore,
// closing, dropped files, form-level keys and the buttons under the sidebar.
#include "PagelumeDialog.h"

#include "AboutDialog.h"
#include "BackSounds.h"
#include "History.h"
#include "BookLoader.h"
#include "BrowserList.h"
#include "ColorDialog.h"
#include "Bookshelf.h"
#include "Dialogs.h"
#include "EnhancedRTF.h"
#include "Error.h"
#include "ErrorDialog.h"
#include "FormatOptions.h"
#include "HintTiming.h"
#include "MyGDIPlus.h"
#include "UtilitiesQt.h"
#include "RTF.h"
#include "ReadAloud.h"
#include "ReadingKeys.h"
#include "SpeechEngine.h"
#include "StoredTextList.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <cstdio>

QPointer<TPagelumeForm> PagelumeForm;

const char *const TPagelumeForm::RichEditHint =
    "Rich-box. Double-click [LMB] on a word to look it up in dictionary. Press [F5] to open a book. Drag and drop "
    "a file from another program, to open it. Press [Ctrl + F5] to open the \"Welcome\" book. Click [RMB] on a "
    "number to view the measurement units convertor dialog. Move the mouse cursor over a number to set it as the "
    "value to be converted. Press [Space] to view the next page. Press [Esc] to hide the program.";
const char *const TPagelumeForm::SidebarHintText =
    "Move the mouse cursor to the left side of the rich-box to view the sidebar";
const char *const TPagelumeForm::TextFilesFilter = "Text files (*.txt *.rtf)";

TPagelumeForm::TPagelumeForm(QWidget *parent) : QWidget(parent) {
  if (!PagelumeForm)
    PagelumeForm = this;
  // paintEvent covers every pixel (picture or colour): the toolkit's fill
  // before it would touch the whole screen once more.
  setAttribute(Qt::WA_OpaquePaintEvent);
  BuildControls();              // 1
  CreateOwnedObjects();         // 2
  HookApplicationEvents();      // 3
  SetHintTiming();              // 4
  SetHelpFile();                // 5
  HookWindowProcedure();        // 6
  HideSidebarAtConstruction();  // 7
  SetStartHints();              // 8
  FirstInfoTick();              // 9
  WireEnhancer();               // 10
  SetOptionHints();             // 11
  StartGdiPlus();
  SetFileDialogFilters();       // 12
  FillFontsAndColors();         // 13
  SetListItemHeights();         // 14
  CreateHistoryAndBookmarks();  // 15
  FinishConstruction();         // 16
}

TPagelumeForm::~TPagelumeForm() {
  // Stop accepting drops, stop sounds and restore the volume, shut the
  // picture machinery down: filled in by the units that own them.
  setAcceptDrops(false);
  if (Speech) {
    Speech->Host = {};
    Speech->Stop();
  }
  ExitSounds();
}

// ---- Construction ----

void TPagelumeForm::BuildControls() {
  setObjectName("PagelumeForm");
  setWindowTitle("Pagelume");
  setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
  setFont(QFont("Tahoma", 8));
  setMouseTracking(true);

  CurrentFileInfoLabel = new QLabel(this);
  CurrentFileInfoLabel->setObjectName("CurrentFileInfoLabel");
  CurrentFileInfoLabel->setWordWrap(true);
  CurrentFileInfoLabel->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
  CurrentFileInfoLabel->setStatusTip("Information about the currently opened book");

  RichEdit = CreateReadingBox(this);
  RichEdit->setObjectName("RichEdit");
  RichEdit->hide();

  HintLabel = new QLabel(this);
  HintLabel->setObjectName("HintLabel");
  HintLabel->setWordWrap(true);
  HintLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  ClockLabel = new QLabel(this);
  ClockLabel->setObjectName("ClockLabel");
  QFont clockFont("Tahoma", 12);
  clockFont.setBold(true);
  ClockLabel->setFont(clockFont);
  ClockLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

  for (QWidget *w : {static_cast<QWidget *>(CurrentFileInfoLabel), static_cast<QWidget *>(HintLabel)}) {
    w->setMouseTracking(true);
    w->installEventFilter(this);
  }
  RichEdit->setMouseTracking(true);
  RichEdit->viewport()->setMouseTracking(true);
  RichEdit->viewport()->installEventFilter(this);

  BuildSidebar();

  InfoTimer = new QTimer(this);
  InfoTimer->setObjectName("InfoTimer");
  InfoTimer->setInterval(1000);
  connect(InfoTimer, &QTimer::timeout, this, &TPagelumeForm::InfoTimerTimer);
}

void TPagelumeForm::BuildSidebar() {
  Container_MainPanel = new QFrame(this);
  Container_MainPanel->setObjectName("Container_MainPanel");
  Container_MainPanel->setFixedWidth(250);
  Container_MainPanel->setAutoFillBackground(true);
  // The sidebar starts hidden: the reader sees the book until the mouse
  // moves into the strip left of the reading box.
  Container_MainPanel->hide();
  // Moves over the sidebar belong to the sidebar, not to the window surface.
  Container_MainPanel->setAttribute(Qt::WA_NoMousePropagation);
  auto *panelLayout = new QVBoxLayout(Container_MainPanel);
  panelLayout->setContentsMargins(0, 0, 0, 0);
  panelLayout->setSpacing(5);

  auto addPage = [](QTabWidget *tabs, const char *name, const QString &caption) {
    auto *page = new QWidget;
    page->setObjectName(name);
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(5, 5, 5, 5);
    tabs->addTab(page, caption);
    return page;
  };
  auto addPageControl = [](QWidget *page, const char *name) {
    auto *tabs = new QTabWidget(page);
    tabs->setObjectName(name);
    tabs->setUsesScrollButtons(false);
    page->layout()->setContentsMargins(0, 0, 0, 5);
    page->layout()->addWidget(tabs);
    return tabs;
  };
  auto addGroup = [](QWidget *page, const char *name, const QString &caption) {
    auto *group = new QGroupBox(caption, page);
    group->setObjectName(name);
    new QVBoxLayout(group);
    page->layout()->addWidget(group);
    return group;
  };

  Container_OptionsPageControl = new QTabWidget(Container_MainPanel);
  Container_OptionsPageControl->setObjectName("Container_OptionsPageControl");
  ProgramTabSheet = addPage(Container_OptionsPageControl, "ProgramTabSheet", "Program");
  ProfileTabSheet = addPage(Container_OptionsPageControl, "ProfileTabSheet", "Profile");
  ConvertTabSheet = addPage(Container_OptionsPageControl, "ConvertTabSheet", "Convert");

  ProgramPageControl = addPageControl(ProgramTabSheet, "ProgramPageControl");
  OpenTabSheet = addPage(ProgramPageControl, "OpenTabSheet", "Open");
  GeneralTabSheet = addPage(ProgramPageControl, "GeneralTabSheet", "General");
  MiscTabSheet = addPage(ProgramPageControl, "MiscTabSheet", "Misc");

  ProfilePageControl = addPageControl(ProfileTabSheet, "ProfilePageControl");
  ProfileGeneralTabSheet = addPage(ProfilePageControl, "ProfileGeneralTabSheet", "General");
  ProfileColorsTabSheet = addPage(ProfilePageControl, "ProfileColorsTabSheet", "Colors");
  ProfileFormatTabSheet = addPage(ProfilePageControl, "ProfileFormatTabSheet", "Format");
  ProfileMiscTabSheet = addPage(ProfilePageControl, "ProfileMiscTabSheet", "Misc");

  BookGroupBox = addGroup(OpenTabSheet, "BookGroupBox", "Book");
  BookshelfGroupBox = addGroup(OpenTabSheet, "BookshelfGroupBox", "Bookshelf");
  BrowserGroupBox = addGroup(OpenTabSheet, "BrowserGroupBox", "Browser");
  // The browser group takes the rest of the page's height.
  static_cast<QVBoxLayout *>(OpenTabSheet->layout())->setStretchFactor(BrowserGroupBox, 1);

  MainButtonsPanel = new QWidget(Container_MainPanel);
  MainButtonsPanel->setObjectName("MainButtonsPanel");
  auto *buttons = new QHBoxLayout(MainButtonsPanel);
  buttons->setContentsMargins(0, 0, 0, 0);
  auto addButton = [&](const char *name, const QString &caption, const QString &hint) {
    auto *button = new QPushButton(caption, MainButtonsPanel);
    button->setObjectName(name);
    button->setStatusTip(hint);
    buttons->addWidget(button);
    return button;
  };
  CloseProgramButton = addButton("CloseProgramButton", "Close", "Close the program. [Alt + F4]");
  HideProgramButton = addButton("HideProgramButton", "Hide", "Hide the program. [Esc]");
  HelpButton = addButton("HelpButton", "Help", "Show the program's help. Press [Ctrl + T] for tips. [F1]");
  AboutButton = addButton("AboutButton", "About", "Display information about the program");
  connect(CloseProgramButton, &QPushButton::clicked, this, &TPagelumeForm::CloseProgramButtonClick);
  connect(HideProgramButton, &QPushButton::clicked, this, &TPagelumeForm::HideProgramButtonClick);
  connect(HelpButton, &QPushButton::clicked, this, &TPagelumeForm::HelpButtonClick);
  connect(AboutButton, &QPushButton::clicked, this, &TPagelumeForm::AboutButtonClick);

  panelLayout->addWidget(Container_OptionsPageControl, 1);
  panelLayout->addWidget(MainButtonsPanel);

  BuildBookControls();
  BuildGeneralOptions();
  BuildProfileGeneralOptions();
  BuildEditControls();
  BuildSettingsOptions();
  BuildBookshelfControls();
  BuildConverterControls();
  BuildDictionaryControls();
  BuildBrowserControls();
  BuildProfileWorkGroup();
  BuildColorOptions();
  BuildImageOptions();
}

void TPagelumeForm::CreateOwnedObjects() {
  // The book state and its chronometers live in the loader, with the enhancer
  // and the format options bound to it. The bookshelf, the browser directory
  // and the saved volume come with the units that own them.
  CreateLoader();
  CreateBackSounds();
  WireEditing();
}

void TPagelumeForm::HookApplicationEvents() {
  // Exceptions escaping handlers reach TFunStatContext::OnApplicationException
  // through the application object; hints reach HintLabel as status tips
  // (see event()). Form-level keys are seen first through this filter.
  qApp->installEventFilter(this);
  IsApplicationActive = [] { return QGuiApplication::applicationState() == Qt::ApplicationActive; };
  connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
    if (state == Qt::ApplicationActive)
      ApplicationEventsActivate();
  });
}

void TPagelumeForm::SetHintTiming() {
  // Pop-up hints, where a control enables them; the hint label needs no timing.
  THintTiming::Install();
}

void TPagelumeForm::SetHelpFile() {
  // The help file is HelpFilePath(); ShowHelp() opens it.
}

void TPagelumeForm::HookWindowProcedure() {
  // The window's keys, the reading box's keys, wheel, mouse and links.
  CreateReadingController();
  WireReadingAids();
  CreateSpeech();
}

void TPagelumeForm::HideSidebarAtConstruction() {
  ShowSidebar(true);
  SidebarGuard = true;
}

void TPagelumeForm::SetStartHints() {
  RichEdit->setStatusTip(RichEditHint);
  CurrentFileInfoLabel->clear();
  HintLabel->setText(RichEditHint);
}

void TPagelumeForm::FirstInfoTick() {
  InfoTimerTimer();
  Loader->State.PieceSizeInUse = DefaultPieceSize;
  Loader->UpdatePiecesControls();
}

void TPagelumeForm::WireEnhancer() {
  Enhancer->RichBox = RichEdit;
  Enhancer->MaxChapters = 30;
  Enhancer->Progress = [this](int32_t position) { return Loader->ReportProgress(position); };
  Enhancer->WarningHandler = [](const std::string &text) { Warning(QString::fromStdString(text)); };
  UpdateChaptersButton();
}

void TPagelumeForm::SetOptionHints() {}
void TPagelumeForm::SetFileDialogFilters() {}
void TPagelumeForm::FillFontsAndColors() {
  // The font list fills itself with the system's fonts; the colour panels come
  // with the colour options.
  RichEdit3Options->UpdateDetectLabel();
}
void TPagelumeForm::SetListItemHeights() {
  // The converter's unit lists take the browser's row height. The sidebar's
  // drop-down lists give way to its fixed width instead of widening a page.
  SetConverterItemHeight(BrowserListBox->RowHeight());
  for (QComboBox *list : Container_MainPanel->findChildren<QComboBox *>()) {
    list->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    list->setMinimumContentsLength(3);
    // A list's own minimum follows its longest item (a font family name can
    // be wider than the sidebar): a set minimum overrides it.
    list->setMinimumWidth(40);
  }
}

void TPagelumeForm::FinishConstruction() {
  Constructed = true;
  InfoTimer->start();
}

// ---- Start ----

void TPagelumeForm::Start() {
  if (AboutForm) {
    AboutForm->DescriptionLabel->setText("Pagelume");
    AboutForm->VersionLabel->setText("Version 2.5.1, released on 24.10.2004");
  }
  HookReadingBox();
  Speech->SetEngine(MakeSpeechEngine());
  UpdateReadAloudButton();
  CreateStoredLists();
  LoadSettingsAndProfile();
  InitBackImages();
  RichEdit->document()->setModified(false);
  setAcceptDrops(true);
  // Until the first page is painted, the window shows the tone of its
  // background instead of what was on the screen before.
  SetWindowColorAtMap(this, ScreenBackBitmap.isNull() ? ColorToQColor(ScreenBackColorPanel->Color())
                                                      : PictureTone(ScreenBackBitmap));
}

void TPagelumeForm::HookReadingBox() {}
void TPagelumeForm::LoadSettingsAndProfile() {
  // Program settings (with the bookshelf) first, then the default profile.
  LoadSettingsList();
  LoadProfileList();
  // Until settings and profiles are read, the options keep their defaults;
  // the step after a profile load applies the margins to the reading box.
  FormatOptions->LeftMarginComboBoxChange();
  FormatOptions->RightMarginComboBoxChange();
}

// ---- Call-outs ----


// ---- Activation, minimise, restore, close ----

void TPagelumeForm::ApplicationEventsActivate() {
  if (FirstActivationDone)
    return;
  FirstActivationDone = true;
  OP_BEGIN("TPagelumeForm::ApplicationEventsActivate");
  OP_TRY {
    QCursor::setPos(HintLabel->mapToGlobal(HintLabel->rect().center()));
    // After the pointer's move: that move asks the display and would wait
    // for it to make its side of the surface.
    PrepareWindowSurface(this);
    RichEdit->setFocus();
    LoadOnStart();
    if (OP_ADOPT())
      return;
    HintLabel->setText(SidebarHintText);
    StartHintPending = true;
  }
  OP_CATCH;
}

void TPagelumeForm::ApplicationEventsMinimize() {
  InfoTimer->stop();
  StopReading();
  StopSounds();
}

void TPagelumeForm::ApplicationEventsRestore() {
  InfoTimer->start();
  PlayCurrentSound();
}

void TPagelumeForm::changeEvent(QEvent *event) {
  if (event->type() == QEvent::WindowStateChange) {
    auto *change = static_cast<QWindowStateChangeEvent *>(event);
    const bool was = change->oldState() & Qt::WindowMinimized;
    const bool now = windowState() & Qt::WindowMinimized;
    if (now && !was)
      ApplicationEventsMinimize();
    else if (was && !now)
      ApplicationEventsRestore();
  }
  QWidget::changeEvent(event);
}

bool TPagelumeForm::FormCloseQuery() {
  OP_BEGIN("TPagelumeForm::FormCloseQuery");
  OP_TRY {
    Closing = true;
    Loader->State.Closing = true;  // a load in progress stops within a second
    StopReading();
    AskSaveIfModified();
    if (!OP_ADOPT()) {
      WriteKeptProfile();
      SaveSettings();
      OP_ADOPT();
    }
  }
  OP_CATCH;
  OP_SHOW("");
  return true;  // the close is never refused
}

void TPagelumeForm::closeEvent(QCloseEvent *event) {
  if (FormCloseQuery())
    event->accept();
  else
    event->ignore();
}

// ---- Buttons ----

void TPagelumeForm::CloseProgramButtonClick() { close(); }

void TPagelumeForm::HideProgramButtonClick() {
  showMinimized();
  RichEdit->setFocus();
}

void TPagelumeForm::AboutButtonClick() {
  if (AboutForm)
    AboutForm->Dialog();
  RichEdit->setFocus();
}

void TPagelumeForm::ShowOpenTab() {
  Container_OptionsPageControl->setCurrentWidget(ProgramTabSheet);
  ProgramPageControl->setCurrentWidget(OpenTabSheet);
  // The page has its place only once the sidebar has been shown and laid
  // out; a pointer placed before would land outside it and hide the sidebar.
  ShowSidebar(false);
  if (Container_MainPanel->isVisible()) {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    QCursor::setPos(OpenTabSheet->mapToGlobal(QPoint(OpenTabSheet->width() / 2, 0)));
  }
}

// ---- Dropped files ----

void TPagelumeForm::dragEnterEvent(QDragEnterEvent *event) {
  if (event->mimeData()->hasUrls() && !Loader->Loading())  // no drop while a book loads
    event->acceptProposedAction();
}

void TPagelumeForm::dropEvent(QDropEvent *event) {
  FilesDropped(event->mimeData()->urls());
  event->acceptProposedAction();
}

void TPagelumeForm::FilesDropped(const QList<QUrl> &urls) {
  OP_BEGIN("TPagelumeForm::FilesDropped");
  OP_TRY {
    if (!urls.isEmpty() && urls.first().isLocalFile()) {
      OpenBook(urls.first().toLocalFile());
      OP_ADOPT();
    }
  }
  OP_CATCH;
  OP_SHOW("Failed to drop files.");
}

void TPagelumeForm::BookHandedOver(const QString &path) {
  // The book of this start comes first; a load or a question under way ends first.
  if (!FirstActivationDone || Loader->Loading() || QApplication::activeModalWidget()) {
    QTimer::singleShot(100, this, [this, path] { BookHandedOver(path); });
    return;
  }
  setWindowState(windowState() & ~Qt::WindowMinimized);
  show();
  raise();
  activateWindow();
  FilesDropped({QUrl::fromLocalFile(path)});
  if (!qEnvironmentVariableIsEmpty("PAGELUME_REPORT_HANDOVER")) {
    std::printf("showing %s\n", Loader->State.Path.c_str());
    std::fflush(stdout);
  }
}
