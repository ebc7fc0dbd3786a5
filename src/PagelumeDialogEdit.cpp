// The main window's editing and saving of the open book, printing, the
// download-books menu and the help window.
#include "PagelumeDialog.h"

#include "SidebarControls.h"

#include "BookLoader.h"
#include "BookSaving.h"
#include "Dialogs.h"
#include "EnhancedRTF.h"
#include "Error.h"
#include "ErrorDialog.h"
#include "File.h"
#include "HelpWindow.h"
#include "Program.h"
#include "RTF.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QShortcut>
#include <QTextDocument>
#include <QVBoxLayout>
#include <cerrno>
#include <memory>

namespace {

const char *const GutenbergAddress = "https://www.gutenberg.org/";
const char *const AlexAddress = "https://infomotions.com/alex/";
const char *const OnlineBooksAddress = "https://onlinebooks.library.upenn.edu/";

const char *const NoPrefixQuestion =
    "You are trying to save text without a paragraph prefix, to a\nplain text file. The beginning of many "
    "paragraphs will be lost,\nthus creating a single long paragraph (you can recover such\na book if you check "
    "the \"Poorly written text\" box and load the\nfile).\n\nIt is strongly recommended to change the \"Paragraph "
    "prefix\"\nand reload the book (before you save it), or save it as formatted\ntext.\n\nDo you want to save "
    "without a paragraph prefix?";
// An existing file without its owner's write permission, or one this user may
// not write: saving over it would replace a file its owner keeps as it is.
bool IsReadOnlyFile(const QString &path) {
  TFileInfo info;
  return info.LoadInfo(path) && !(info.Attributes & faDirectory) &&
         ((info.Attributes & faReadOnly) || !QFileInfo(path).isWritable());
}

const char *const ManualCommandsQuestion =
    "This book contains manual formatting commands. If you save it\nthen the new book will not contain "
    "them.\n\nDo you want to save it without manual formatting commands?";

// Opens a web address or a local page with the desktop's default program;
// failureText is the item's report.
void OpenTarget(const char *operation, const QString &target, const char *failureText) {
  OP_BEGIN(operation);
  OP_TRY {
    RunFile(target, QString(), QString(), false, false);
    OP_ADOPT();
  }
  OP_CATCH;
  OP_SHOW(failureText);
}

}  // namespace

// ---- Controls ----

void TPagelumeForm::BuildEditControls() {
  AllowEditingCheckBox = new QCheckBox("Allow editing", BookGroupBox);
  AllowEditingCheckBox->setObjectName("AllowEditingCheckBox");
  AllowEditingCheckBox->setStatusTip(
      "Check this box to allow editing the currently opened book. The book must be opened in one piece. If the "
      "current book is modified, when you try to close the program or open another book, you are warned. If you "
      "plan to save the book as plain text, you should not use \"None\" as \"Paragraph prefix\".");
  ModifiedLabel = new QLabel(BookGroupBox);
  ModifiedLabel->setObjectName("ModifiedLabel");
  ModifiedLabel->setStatusTip(
      "Indicates the modification status of the currently opened book (= if it has been modified or not). A book "
      "is considered modified if its text is modified, but not its visual aspect. This is updated every second.");
  SaveBookButton = NewButton(BookGroupBox, "SaveBookButton", "&Save",
                             "Save the currently opened book. The book must be loaded in one piece. If you write "
                             "\".rtf\" as extension then the book is saved as formatted text (such books are opened "
                             "faster), else it is saved as plain text (with the \".txt\" extension).");
  RunBookButton = NewButton(BookGroupBox, "RunBookButton", "Run",
                            "Open the currently opened book with the associated program. If you have modified the "
                            "book, you must save it first in order to open the modified version.");
  PrintBookButton = NewButton(BookGroupBox, "PrintBookButton", "Print",
                              "Print the currently opened book. The book must be opened in one piece.");
  auto *grid = new QGridLayout;
  grid->setContentsMargins(0, 0, 0, 0);
  grid->addWidget(AllowEditingCheckBox, 0, 0, 1, 3);
  grid->addWidget(ModifiedLabel, 1, 0, 1, 3);
  grid->addWidget(SaveBookButton, 2, 0);
  grid->addWidget(RunBookButton, 2, 1);
  grid->addWidget(PrintBookButton, 2, 2);
  static_cast<QVBoxLayout *>(BookGroupBox->layout())->addLayout(grid);

  DownloadBooksButton = NewButton(BrowserGroupBox, "DownloadBooksButton", "Download books",
                                  "Download books from the Internet, from various sites");
  auto *browser = static_cast<QVBoxLayout *>(BrowserGroupBox->layout());
  browser->insertWidget(std::max(0, browser->indexOf(OpenBookButton) + 1), DownloadBooksButton);

  DownloadBooksPopupMenu = new QMenu(this);
  DownloadBooksPopupMenu->setObjectName("DownloadBooksPopupMenu");
  DownloadBooksPopupMenu->setSeparatorsCollapsible(false);
  auto addItem = [this](const char *name, const QString &caption, const QString &hint) {
    QAction *action = DownloadBooksPopupMenu->addAction(caption);
    action->setObjectName(name);
    action->setStatusTip(hint);
    return action;
  };
  DownloadBooks_GutenbergMenu = addItem("DownloadBooks_GutenbergMenu", "Project Gutenberg", "All sorts of books");
  DownloadBooks_GutenbergSearchMenu =
      addItem("DownloadBooks_GutenbergSearchMenu", "Project Gutenberg - Search", "Open the local form for search");
  DownloadBooks_Break1Menu = DownloadBooksPopupMenu->addSeparator();
  DownloadBooks_Break1Menu->setObjectName("DownloadBooks_Break1Menu");
  DownloadBooks_AlexMenu = addItem("DownloadBooks_AlexMenu", "Alex", QString());
  DownloadBooks_OnlineBooksMenu = addItem("DownloadBooks_OnlineBooksMenu", "Online Books", QString());

  connect(AllowEditingCheckBox, &QCheckBox::clicked, this, &TPagelumeForm::AllowEditingCheckBoxClick);
  connect(SaveBookButton, &QPushButton::clicked, this, &TPagelumeForm::SaveBookButtonClick);
  connect(RunBookButton, &QPushButton::clicked, this, &TPagelumeForm::RunBookButtonClick);
  connect(PrintBookButton, &QPushButton::clicked, this, &TPagelumeForm::PrintBookButtonClick);
  connect(DownloadBooksButton, &QPushButton::clicked, this, &TPagelumeForm::DownloadBooksButtonClick);
  connect(DownloadBooks_GutenbergMenu, &QAction::triggered, this, &TPagelumeForm::DownloadBooks_GutenbergMenuClick);
  connect(DownloadBooks_GutenbergSearchMenu, &QAction::triggered, this,
          &TPagelumeForm::DownloadBooks_GutenbergSearchMenuClick);
  connect(DownloadBooks_AlexMenu, &QAction::triggered, this, &TPagelumeForm::DownloadBooks_AlexMenuClick);
  connect(DownloadBooks_OnlineBooksMenu, &QAction::triggered, this,
          &TPagelumeForm::DownloadBooks_OnlineBooksMenuClick);

  // F1 opens the help at the main window's context.
  auto *f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
  connect(f1, &QShortcut::activated, this, [this] { ShowHelpAt(HelpContext); });
}

void TPagelumeForm::WireEditing() {
  Loader->Host.ClearAllowEditing = [this] { AllowEditingCheckBox->setChecked(false); };
  // A text too tall for the editing view at this size goes back to reading; nothing is lost.
  connect(RichEdit, &TRichEdit::EditingStopped, this, [this] {
    AllowEditingCheckBox->setChecked(false);
    Warning("The text is too long to edit at this size. Make the text smaller, or open the book in pieces.");
  });
  // "Allow editing" is offered only while the book is shown whole.
  auto piecesEnabled = Loader->Host.SetPiecesEnabled;
  Loader->Host.SetPiecesEnabled = [this, piecesEnabled](bool list, bool next, bool previous, bool allowEditing) {
    if (piecesEnabled)
      piecesEnabled(list, next, previous, allowEditing);
    AllowEditingCheckBox->setEnabled(allowEditing);
  };
  DefaultPrinter = []() -> std::unique_ptr<QPrinter> {
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull())
      return nullptr;
    return std::make_unique<QPrinter>(info, QPrinter::HighResolution);
  };
  QPointer<TPagelumeForm> self(this);
  SetShowHelpHandler([self](int context) {
    if (self)
      self->ShowHelpAt(context);
  });
  connect(this, &QObject::destroyed, [] { SetShowHelpHandler({}); });
}

// ---- Editing ----

void TPagelumeForm::AllowEditingCheckBoxClick() {
  if (AllowEditingCheckBox->isChecked())
    StopReading();
  RichEdit->SetReadOnly(!AllowEditingCheckBox->isChecked());
  RichEdit->setFocus();
}

void TPagelumeForm::SetEditing(bool on) {
  if (on)
    StopReading();
  RichEdit->SetReadOnly(!on);
  AllowEditingCheckBox->setChecked(on);
}

bool TPagelumeForm::BookModified() const { return RichEdit->Modified(); }

void TPagelumeForm::UpdateModifiedLabel() {
  Loader->State.Modified = BookModified();
  ModifiedLabel->setText(Loader->State.Modified ? "Text is MODIFIED" : "Text is NOT modified");
}

void TPagelumeForm::AskSaveIfModified() {
  // A save that failed is offered again, so that edits are lost only on the
  // reader's own "No" (or a cancelled dialog), never by a failed write.
  while (BookModified() && Query("Text has been edited. Save it?") && !SaveFile() && LastSaveFailed) {
  }
}

bool TPagelumeForm::CanProcessText() {
  if (Loader->State.Path.empty() || RichEdit->TextLength() < 3) {
    Message("There is no text to process.");
    return false;
  }
  if (Loader->State.PieceCount() >= 2) {
    Warning("The book must be loaded in one piece.");
    return false;
  }
  return true;
}

bool TPagelumeForm::SaveFile() {
  OP_BEGIN("TPagelumeForm::SaveFile");
  bool saved = false;
  OP_TRY {
    auto save = [&] {
      if (!CanProcessText())
        return;
      const QString book = PathText(Loader->State.Path);
      const QString proposed = ProposedSaveName(book);
      // The dialog asks nothing itself: the questions about an existing file
      // and the open book come below, after the name gets its extension.
      const QString chosen = ChooseSaveFile ? ChooseSaveFile(proposed)
                                            : QFileDialog::getSaveFileName(this, "Save the book", proposed,
                                                                           TextFilesFilter, nullptr,
                                                                           QFileDialog::DontConfirmOverwrite);
      if (chosen.isEmpty())
        return;
      bool rich = false;
      const QString target = SaveTargetName(chosen, &rich);
      if (!rich && Enhancer->Prefix.empty() && !Query(NoPrefixQuestion))
        return;
      if (!rich && Enhancer->HasManualCommands && !Query(ManualCommandsQuestion))
        return;
      if (FileExists(target) && !Query("Book already exists. Overwrite it?"))
        return;
      if (SameFile(target, book) && !Query("You are trying to overwrite the opened book. Continue?"))
        return;
      // A read-only book stays as it is: the reader made it so (unlike the
      // program's own settings, which are made writable again).
      if (IsReadOnlyFile(target)) {
        OP_RAISE("The book is read-only.", target.toStdString(), std::string(), EACCES);
        return;
      }
      if (!(rich ? RichEdit->SaveRtf(target) : RichEdit->SaveText(target))) {
        if (!OP_ADOPT())
          OP_RAISE("Failed to save the book.", target.toStdString());
        return;
      }
      RichEdit->SetModified(false);
      Loader->State.Modified = false;
      saved = true;
      Message("The book was saved.");
    };
    save();
  }
  OP_CATCH;
  LastSaveFailed = OP_FAILED();
  OP_SHOW("Failed to save.");
  return saved;
}

void TPagelumeForm::SaveBookButtonClick() {
  SaveFile();
  RichEdit->setFocus();
}

void TPagelumeForm::RunBookButtonClick() {
  OP_BEGIN("TPagelumeForm::RunBookButtonClick");
  OP_TRY {
    RunFile(PathText(Loader->State.Path), QString(), QString(), false, false);
    OP_ADOPT();
  }
  OP_CATCH;
  OP_SHOW("Failed to run book.");
}

// ---- Printing ----

TPrintMargins TPagelumeForm::PrintMargins() const {
  return PrintMarginsFromText(PrintLeftMarginComboBox->currentText(), PrintRightMarginComboBox->currentText(),
                              PrintTopMarginComboBox->currentText(), PrintBottomMarginComboBox->currentText());
}

void TPagelumeForm::PrintBookButtonClick() {
  OP_BEGIN("TPagelumeForm::PrintBookButtonClick");
  LastPrintedPages = -1;
  StopReading();
  OP_TRY {
    auto print = [&] {
      if (!CanProcessText() || !Query("Print text?"))
        return;
      std::unique_ptr<QPrinter> printer = DefaultPrinter ? DefaultPrinter() : nullptr;
      if (!printer) {
        OP_RAISE("There is no default printer.");
        return;
      }
      // A long book takes some seconds: the busy cursor says so.
      QApplication::setOverrideCursor(Qt::WaitCursor);
      struct TRestoreCursor {
        ~TRestoreCursor() { QApplication::restoreOverrideCursor(); }
      } restoreCursor;
      std::unique_ptr<QTextDocument> copy(RichEdit->PrintCopy());
      QString error;
      LastPrintedPages =
          PrintDocument(*copy, *printer, PrintMargins(), PathText(Loader->State.Path), &error, RichEdit->Hyphenator());
      if (LastPrintedPages < 0)
        OP_RAISE("Failed to print the book.", printer->printerName().toStdString(), error.toStdString());
    };
    print();
  }
  OP_CATCH;
  OP_SHOW("Failed to print.");
}

// ---- Download-books menu ----

void TPagelumeForm::DownloadBooksButtonClick() {
  DownloadBooksPopupMenu->popup(DownloadBooksButton->mapToGlobal(QPoint(0, DownloadBooksButton->height())));
  RichEdit->setFocus();
}

void TPagelumeForm::DownloadBooks_GutenbergMenuClick() {
  OpenTarget("TPagelumeForm::DownloadBooks_GutenbergMenuClick", GutenbergAddress, "Failed to open link.");
}

void TPagelumeForm::DownloadBooks_GutenbergSearchMenuClick() {
  OpenTarget("TPagelumeForm::DownloadBooks_GutenbergSearchMenuClick", DataDir() + "PGSearch.htm",
             "Failed to run file.");
}

void TPagelumeForm::DownloadBooks_AlexMenuClick() {
  OpenTarget("TPagelumeForm::DownloadBooks_AlexMenuClick", AlexAddress, "Failed to open link.");
}

void TPagelumeForm::DownloadBooks_OnlineBooksMenuClick() {
  OpenTarget("TPagelumeForm::DownloadBooks_OnlineBooksMenuClick", OnlineBooksAddress, "Failed to open link.");
}

// ---- Help ----

void TPagelumeForm::HelpButtonClick() {
  ShowHelpAt(0);
  RichEdit->setFocus();
}

void TPagelumeForm::ShowHelpAt(int context) {
  OP_BEGIN("TPagelumeForm::ShowHelpAt");
  OP_TRY {
    if (!HelpForm) {
      HelpForm = new THelpForm(this);
      HelpForm->move(mapToGlobal(rect().center()) - HelpForm->rect().center());
    }
    if (!HelpForm->ShowContext(HelpFilePath(), context)) {
      OP_RAISE("The help file is missing.", HelpFilePath().toStdString());
    } else {
      HelpForm->show();
      HelpForm->raise();
      HelpForm->activateWindow();
    }
  }
  OP_CATCH;
  OP_SHOW("Failed to show the help.");
}
