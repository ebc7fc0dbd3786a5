// The main window's reading controls: the "Book" group, the open button, the
// load options, the enhancement options, the format tab, the book loader's
// host, the reading keys and the chapters menu.
#include "PagelumeDialog.h"

#include "BookLoader.h"
#include "Dialogs.h"
#include "EnhancedRTF.h"
#include "Error.h"
#include "ErrorDialog.h"
#include "File.h"
#include "FormatOptions.h"
#include "Program.h"
#include "RTF.h"
#include "ReadingKeys.h"
#include "SidebarControls.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollArea>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace {

// A tab page whose content scrolls when the sidebar is too short for it.
QVBoxLayout *ScrollingContent(QWidget *page) {
  auto *scroll = new QScrollArea(page);
  scroll->setFrameShape(QFrame::NoFrame);
  scroll->setWidgetResizable(true);
  scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  auto *content = new QWidget;
  auto *layout = new QVBoxLayout(content);
  layout->setContentsMargins(0, 0, 0, 0);
  scroll->setWidget(content);
  page->layout()->addWidget(scroll);
  return layout;
}

}  // namespace

// ---- Controls ----

void TPagelumeForm::BuildBookControls() {
  auto *grid = new QGridLayout;
  grid->setContentsMargins(0, 0, 0, 0);
  static_cast<QVBoxLayout *>(BookGroupBox->layout())->addLayout(grid);

  GotoLineEdit = new QLineEdit(BookGroupBox);
  GotoLineEdit->setObjectName("GotoLineEdit");
  auto *gotoLabel = new QLabel("&Go to line", BookGroupBox);
  gotoLabel->setBuddy(GotoLineEdit);
  FindTextEdit = new QLineEdit(BookGroupBox);
  FindTextEdit->setObjectName("FindTextEdit");
  auto *findLabel = new QLabel("&Find text", BookGroupBox);
  findLabel->setBuddy(FindTextEdit);
  LineNumberLabel = new QLabel(BookGroupBox);
  LineNumberLabel->setObjectName("LineNumberLabel");
  LineNumberLabel->setWordWrap(true);

  PiecesLabel = new QLabel(BookGroupBox);
  PiecesLabel->setObjectName("PiecesLabel");
  PiecesLabel->setStatusTip("The number of pieces of the currently opened book");
  PiecesComboBox = new QComboBox(BookGroupBox);
  PiecesComboBox->setObjectName("PiecesComboBox");
  PiecesComboBox->setStatusTip(
      "Select a number to open that piece of the current book. The \"Load in pieces\" check-box must be checked.");
  NextPieceButton = NewButton(BookGroupBox, "NextPieceButton", "Next",
                              "When the current book is opened in pieces, open the next piece. [F6]");
  PreviousPieceButton = NewButton(BookGroupBox, "PreviousPieceButton", "Prev",
                                  "When the current book is opened in pieces, load the previous piece. [F7]");
  ChaptersButton =
      NewButton(BookGroupBox, "ChaptersButton", "&Chapters", "Go to a chapter from the list. [Alt + C]");

  grid->addWidget(gotoLabel, 0, 0);
  grid->addWidget(GotoLineEdit, 0, 1, 1, 2);
  grid->addWidget(findLabel, 1, 0);
  grid->addWidget(FindTextEdit, 1, 1, 1, 2);
  grid->addWidget(LineNumberLabel, 2, 0, 1, 3);
  grid->addWidget(PiecesLabel, 3, 0);
  grid->addWidget(PiecesComboBox, 3, 1, 1, 2);
  grid->addWidget(PreviousPieceButton, 4, 1);
  grid->addWidget(NextPieceButton, 4, 2);
  grid->addWidget(ChaptersButton, 5, 0, 1, 3);
  grid->setColumnStretch(1, 1);
  grid->setColumnStretch(2, 1);

  OpenBookButton = NewButton(BrowserGroupBox, "OpenBookButton", "Open",
                             "Open a book. If you open a formatted book (a \".rtf\" file), it will not be enhanced "
                             "but will be opened faster. [F5]");
  static_cast<QVBoxLayout *>(BrowserGroupBox->layout())->addWidget(OpenBookButton);
  static_cast<QVBoxLayout *>(BrowserGroupBox->layout())->addStretch(1);

  // Only the reader's own choices run the handlers.
  connect(PiecesComboBox, &QComboBox::textActivated, this, &TPagelumeForm::PiecesComboBoxChange);
  connect(NextPieceButton, &QPushButton::clicked, this, &TPagelumeForm::NextPieceButtonClick);
  connect(PreviousPieceButton, &QPushButton::clicked, this, &TPagelumeForm::PreviousPieceButtonClick);
  connect(ChaptersButton, &QPushButton::clicked, this, &TPagelumeForm::ChaptersButtonClick);
  connect(OpenBookButton, &QPushButton::clicked, this, &TPagelumeForm::OpenBookButtonClick);
}

void TPagelumeForm::BuildGeneralOptions() {
  auto *layout = static_cast<QVBoxLayout *>(GeneralTabSheet->layout());
  AutoLoadLastCheckBox = NewCheck(GeneralTabSheet, "AutoLoadLastCheckBox", "Open the last book at start", true,
                                  "Open the most recent book of the bookshelf when the program starts");
  OpenInPiecesCheckBox =
      NewCheck(GeneralTabSheet, "OpenInPiecesCheckBox", "Open in pieces", true,
               "Check this box to open files in pieces of \"Piece size\" characters. This way the opening is fast.");
  PieceSizeComboBox = NewList(GeneralTabSheet, "PieceSizeComboBox",
                              NumberItems(10000, 100000, 10000) + NumberItems(150000, 500000, 50000), "50000",
                              "The size (in characters) of a piece of a book, to open. If you modify this, "
                              "previously set bookmarks, which depend on the piece, will become invalid.");
  WheelScrollLinesComboBox =
      NewList(GeneralTabSheet, "WheelScrollLinesComboBox", NumberItems(1, 10, 1) + QStringList{"15", "20"},
              QString::number(QApplication::wheelScrollLines()), QString());

  auto *grid = new QGridLayout;
  grid->addWidget(new QLabel("Piece size", GeneralTabSheet), 0, 0);
  grid->addWidget(PieceSizeComboBox, 0, 1);
  grid->addWidget(new QLabel("Wheel scroll lines", GeneralTabSheet), 1, 0);
  grid->addWidget(WheelScrollLinesComboBox, 1, 1);
  layout->addWidget(AutoLoadLastCheckBox);
  layout->addWidget(OpenInPiecesCheckBox);
  layout->addLayout(grid);
  layout->addStretch(1);

  connect(OpenInPiecesCheckBox, &QCheckBox::clicked, this, &TPagelumeForm::OpenInPiecesCheckBoxClick);
}

void TPagelumeForm::BuildProfileGeneralOptions() {
  EnhancePlainTextGroupBox = new QGroupBox("Enhance plain text", ProfileGeneralTabSheet);
  EnhancePlainTextGroupBox->setObjectName("EnhancePlainTextGroupBox");
  EnhancePlainTextGroupBox->setStatusTip(
      "Reformat plain text books to look better. Use these options before you open a book.");
  auto *group = new QVBoxLayout(EnhancePlainTextGroupBox);
  EnhanceTextCheckBox =
      NewCheck(EnhancePlainTextGroupBox, "EnhanceTextCheckBox", "Enhance text", true,
               "Activate text enhancing; opening a book is slower (than without text enhacing). If it is "
               "unchecked then no option from this group-box is used.");
  PoorlyWrittenCheckBox = NewCheck(
      EnhancePlainTextGroupBox, "PoorlyWrittenCheckBox", "Text is poorly written", false,
      "If, for example, paragraphs begin with a capital letter without spaces in front (or without any other form "
      "of marking the beginning of paragraphs), check this box. However, if the text is well written, this option "
      "will create extra empty lines. There is no performance penalty if you use this.");
  IgnoreEmptyLinesCheckBox = NewCheck(
      EnhancePlainTextGroupBox, "IgnoreEmptyLinesCheckBox", "Ignore first empty line after paragraphs", false,
      "Do not show the first empty line after paragraphs. If this option is checked, loading enhanced text is "
      "faster (when the original text has empty lines between paragraphs).");
  for (QCheckBox *box : {EnhanceTextCheckBox, PoorlyWrittenCheckBox, IgnoreEmptyLinesCheckBox})
    group->addWidget(box);
  auto *layout = static_cast<QVBoxLayout *>(ProfileGeneralTabSheet->layout());
  layout->addWidget(EnhancePlainTextGroupBox);
  layout->addStretch(1);
}

// ---- Owned objects ----

void TPagelumeForm::CreateLoader() {
  Enhancer = std::make_unique<TEnhancedRichEdit>();

  FormatOptions = new TFormatOptionsPanel(RichEdit, Enhancer.get(), [this] { return FormatColors(); });
  FormatOptions->setObjectName("FormatOptions");
  ScrollingContent(ProfileFormatTabSheet)->addWidget(FormatOptions);
  RichEdit3Options = new TRichEdit3Options(Enhancer.get(), MiscTabSheet);
  RichEdit3Options->setObjectName("RichEdit3Options");
  static_cast<QVBoxLayout *>(MiscTabSheet->layout())->addWidget(RichEdit3Options);
  static_cast<QVBoxLayout *>(MiscTabSheet->layout())->addStretch(1);

  TBookLoaderHost host;
  host.OpenInPieces = [this] { return OpenInPiecesCheckBox->isChecked(); };
  host.PieceSizeText = [this] { return PieceSizeComboBox->currentText().toStdString(); };
  host.EnhanceText = [this] { return EnhanceTextCheckBox->isChecked(); };
  host.ParagraphPrefixText = [this] { return FormatOptions->ParagraphPrefix().toStdString(); };
  host.IgnoreEmptyLines = [this] { return IgnoreEmptyLinesCheckBox->isChecked(); };
  host.PoorlyWritten = [this] { return PoorlyWrittenCheckBox->isChecked(); };
  host.FormatOptions = [this] {
    TBookFormatOptions f;
    const TFormatColors colors = FormatOptions->Colors();
    f.LineSpacing = FormatOptions->LineSpacing();
    f.SpaceAfter = FormatOptions->SpaceAfter();
    f.FirstLineIndent = FormatOptions->FirstLineIndent();
    f.Justified = FormatOptions->JustifiedText();
    f.SecondEmphaColor = colors.SecondEmphaColor;
    f.EmphaColor = colors.EmphaColor;
    f.TextColor = colors.RichBoxForeColor;
    f.CharSpacing = FormatOptions->CharSpacing();
    f.FontSize = FormatOptions->FontSize();
    f.FontName = FormatOptions->FontName().toStdString();
    f.Bold = FormatOptions->BoldFont();
    return f;
  };
  host.AutoLoadLast = [this] { return AutoLoadLastCheckBox->isChecked(); };
  host.CommandLineBooks = [this] { return CommandLineBooks; };

  host.SetCurrentFileInfo = [this](const QString &text) { CurrentFileInfoLabel->setText(text); };
  host.SetTitle = [this](const QString &text) { setWindowTitle(text); };
  host.SetHint = [this](const QString &text) {
    HintLabel->setText(text);
    HintLabel->repaint();
  };
  host.SetPiecesLabel = [this](const QString &text) { PiecesLabel->setText(text); };
  host.SetPiecesItems = [this](const QStringList &items, int selected) {
    QSignalBlocker block(PiecesComboBox);
    PiecesComboBox->clear();
    PiecesComboBox->addItems(items);
    PiecesComboBox->setCurrentIndex(selected);
  };
  host.SetPiecesEnabled = [this](bool list, bool next, bool previous, bool) {
    PiecesComboBox->setEnabled(list);
    NextPieceButton->setEnabled(next);
    PreviousPieceButton->setEnabled(previous);
  };
  host.SetOptionsEnabled = [this](bool enabled) {
    Container_OptionsPageControl->setEnabled(enabled);
    AboutButton->setEnabled(enabled);
  };
  host.RepaintWindow = [this] { update(); };
  host.DetachBackgroundPicture = [this] { BackPictureDetached = true; };
  host.AttachBackgroundPicture = [this] {
    BackPictureDetached = false;
    update();
  };
  host.ChooseBookFile = [this](const QString &start) {
    return ChooseBookFile ? ChooseBookFile(start)
                          : QFileDialog::getOpenFileName(this, "Open a book", start, TextFilesFilter);
  };
  host.AskSaveIfModified = [this] { AskSaveIfModified(); };
  host.StopSound = [this] { StopSounds(); };
  host.BrowserPathEmpty = [this] { return BrowserPath.isEmpty(); };
  host.LoadBrowserContent = [this](const QString &path) { LoadBrowserContent(path); };
  host.SoundTitleText = [this] { return TitleBackSoundEdit->text(); };
  host.ApplyFirstSound = [this](const QString &title) { ApplyFirstSound(title); };
  host.RefreshChaptersButton = [this] {
    BuildChaptersMenu();
    UpdateChaptersButton();
  };
  host.StopInfoTimer = [this] { InfoTimer->stop(); };
  host.StartInfoTimer = [this] { InfoTimer->start(); };
  host.ApplyZoom = [this] { FormatOptions->FontZoomComboBoxChange(); };
  host.SetBookLanguage = [this](const std::string &tag) { FormatOptions->SetBookLanguage(tag); };
  host.ResolveProfile = [this](const QString &path, bool keepCurrent) { ResolveProfile(path, keepCurrent); };
  host.InfoTimerTick = [this] { InfoTimerTimer(); };
  Loader = std::make_unique<TBookLoader>(RichEdit, Enhancer.get(), std::move(host));
}

void TPagelumeForm::CreateReadingController() {
  TReadingCallouts callouts;
  callouts.Minimise = [this] { showMinimized(); };
  callouts.ShowOpenTab = [this] { ShowOpenTab(); };
  callouts.ChaptersClick = [this] { ChaptersButtonClick(); };
  callouts.SaveClick = [this] { SaveBookButton->click(); };
  callouts.ShowHelp = [](int context) { ShowHelp(context); };
  callouts.OpenClick = [this] { OpenBookButtonClick(); };
  callouts.OpenWelcomeBook = [this] { Loader->OpenWelcomeBook(); };
  callouts.NextPieceClick = [this] { NextPieceButtonClick(); };
  callouts.PrevPieceClick = [this] { PreviousPieceButtonClick(); };
  callouts.ShowSidebar = [this](bool hide) { ShowSidebar(hide); };
  callouts.SidebarHidden = [this] { return Container_MainPanel->isHidden(); };
  callouts.RunFile = [](const QString &target) { return RunFile(target, QString(), QString(), false, false); };
  callouts.Busy = [this] { return Loader && Loader->Loading(); };
  callouts.MoveCursorToHintLabel = [this] {
    QCursor::setPos(HintLabel->mapToGlobal(HintLabel->rect().center()));
  };
  Reading = new TReadingController(RichEdit, GotoLineEdit, FindTextEdit, LineNumberLabel, WheelScrollLinesComboBox,
                                   std::move(callouts), this);
  Reading->InstallFormKeys(this);
}

// ---- Book ----

void TPagelumeForm::OpenBook(const QString &path) { Loader->OpenBook(path, true); }
void TPagelumeForm::LoadOnStart() { Loader->LoadOnStart(); }
void TPagelumeForm::OpenBookButtonClick() { Loader->OpenBookButtonClick(); }
void TPagelumeForm::NextPieceButtonClick() { Loader->NextPieceButtonClick(); }
void TPagelumeForm::PreviousPieceButtonClick() { Loader->PreviousPieceButtonClick(); }
void TPagelumeForm::PiecesComboBoxChange(const QString &selectedText) { Loader->PiecesComboBoxChange(selectedText); }
void TPagelumeForm::OpenInPiecesCheckBoxClick() { Loader->OpenInPiecesCheckBoxClick(); }

// ---- Chapters ----

void TPagelumeForm::BuildChaptersMenu() {
  delete ChaptersPopupMenu;
  ChaptersPopupMenu = nullptr;
  if (!Enhancer->HasChaptersMenu())
    return;
  ChaptersPopupMenu = new QMenu(this);
  ChaptersPopupMenu->setObjectName("ChaptersPopupMenu");
  ChaptersPopupMenu->setSeparatorsCollapsible(false);
  for (const auto &entry : Enhancer->ChaptersMenu) {
    // No hot keys: an ampersand of the heading is shown as itself.
    QString caption = QString::fromStdU16String(entry.Caption);
    caption.replace('&', "&&");
    const int32_t tag = entry.Tag;
    QAction *action = ChaptersPopupMenu->addAction(caption);
    action->setData(tag);
    connect(action, &QAction::triggered, this, [this, tag] { ChapterClick(tag); });
  }
}

void TPagelumeForm::UpdateChaptersButton() {
  const int count = ChaptersPopupMenu ? static_cast<int>(ChaptersPopupMenu->actions().size()) : 0;
  ChaptersButton->setText("&Chapters (" + QString::number(count) + ")");
  ChaptersButton->setEnabled(ChaptersPopupMenu != nullptr);
}

void TPagelumeForm::ChaptersButtonClick() {
  ShowChaptersMenu();
  RichEdit->setFocus();
}

void TPagelumeForm::ShowChaptersMenu() {
  OP_BEGIN("TPagelumeForm::ShowChaptersMenu");
  OP_TRY {
    if (ChaptersPopupMenu)
      ChaptersPopupMenu->popup(ChaptersButton->mapToGlobal(QPoint(0, ChaptersButton->height())));
  }
  OP_CATCH;
  OP_SHOW("Failed to show \"Chapters\" menu.");
}

void TPagelumeForm::ChapterClick(int32_t tag) { RichEdit->GoToCharPos(tag); }
