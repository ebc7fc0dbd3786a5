// The main window's bookshelf: the "Bookshelf" group with its pop-up menus,
// the six bookmark buttons of the "Book" group, the auto-bookmark kept as the
// reader leaves and opens books, and the place a book opens at.
#include "PagelumeDialog.h"

#include "BookLoader.h"
#include "Bookshelf.h"
#include "Dialogs.h"
#include "Error.h"
#include "File.h"
#include "RTF.h"
#include "ReadingKeys.h"
#include "UtilitiesQt.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace {

const char *const BookmarkCaptions[TBookmark::Slots] = {"&Auto", "&1", "&2", "&3", "&4", "&5"};

QPushButton *NewShelfButton(QWidget *parent, const char *name, const QString &caption, const QString &hint) {
  auto *button = new QPushButton(caption, parent);
  button->setObjectName(name);
  button->setStatusTip(hint);
  // Narrow enough for six in a row of the sidebar.
  button->setMinimumWidth(10);
  button->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
  return button;
}

bool BookFileOpen(const std::string &path) {
  return IsValidBookPath(path) && IsRegularFile(path);
}

}  // namespace

// ---- Controls ----

void TPagelumeForm::BuildBookshelfControls() {
  auto *shelfRow = new QHBoxLayout;
  shelfRow->setContentsMargins(0, 0, 0, 0);
  PutBookshelfButton = NewShelfButton(BookshelfGroupBox, "PutBookshelfButton", "&Put",
                                      "Put the current book on the bookshelf, with its auto-bookmark at the current "
                                      "top line. [Alt + P]");
  OpenBookshelfButton = NewShelfButton(BookshelfGroupBox, "OpenBookshelfButton", "&Open (0)",
                                       "Open a book from the bookshelf, at its auto-bookmark. [Alt + O]");
  RemoveBookshelfButton =
      NewShelfButton(BookshelfGroupBox, "RemoveBookshelfButton", "Remove", "Remove a book from the bookshelf");
  for (QPushButton *b : {PutBookshelfButton, OpenBookshelfButton, RemoveBookshelfButton})
    shelfRow->addWidget(b);
  static_cast<QVBoxLayout *>(BookshelfGroupBox->layout())->addLayout(shelfRow);
  connect(PutBookshelfButton, &QPushButton::clicked, this, &TPagelumeForm::PutBookshelfButtonClick);
  connect(OpenBookshelfButton, &QPushButton::clicked, this, &TPagelumeForm::OpenBookshelfButtonClick);
  connect(RemoveBookshelfButton, &QPushButton::clicked, this, &TPagelumeForm::RemoveBookshelfButtonClick);
  OpenBookshelfButton->setEnabled(false);
  RemoveBookshelfButton->setEnabled(false);

  auto *marksRow = new QHBoxLayout;
  marksRow->setContentsMargins(0, 0, 0, 0);
  marksRow->setSpacing(2);
  QPushButton **buttons[TBookmark::Slots] = {&BookmarkAutoButton, &Bookmark1Button, &Bookmark2Button,
                                             &Bookmark3Button,    &Bookmark4Button, &Bookmark5Button};
  for (int slot = 0; slot < TBookmark::Slots; ++slot) {
    const QString name = slot == 0 ? "BookmarkAutoButton" : QString("Bookmark%1Button").arg(slot);
    const QString hint =
        slot == 0 ? "The auto-bookmark of the current book: click [LMB] to go to it, [RMB] to set it at the top "
                    "line, [Ctrl + RMB] to take the book off the bookshelf. [Alt + A]"
                  : QString("Bookmark %1 of the current book: click [LMB] to go to it, [RMB] to set it at the top "
                            "line, [Ctrl + RMB] to remove it. [Alt + %1]")
                        .arg(slot);
    QPushButton *button = NewShelfButton(BookGroupBox, name.toUtf8().constData(), BookmarkCaptions[slot], hint);
    // Presses go to the window before the button sees them: a right press
    // would otherwise do nothing, and a left one would wait for the release.
    HandlePresses(button, [this, slot](QMouseEvent *press) {
      BookmarkButtonMouseDown(slot, press->button(), press->modifiers());
    });
    // The keyboard's click (Space) goes to the bookmark, like a left press.
    connect(button, &QPushButton::clicked, this,
            [this, slot] { BookmarkButtonMouseDown(slot, Qt::LeftButton, Qt::NoModifier); });
    // The auto button's caption is the longest ("Auto*" when set): it keeps
    // the room to show it whole. The numbered buttons may shrink to their
    // digit and the style's margins (their size hint is wider), so that the
    // row fits the box instead of a button being drawn over the next.
    const int margins = 2 * (button->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button) +
                             button->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, button));
    button->setMinimumWidth(button->fontMetrics().horizontalAdvance(slot == 0 ? QString("Auto*") : QString::number(slot)) +
                            margins);
    // An ignored size hint would let the layout share the row out equally
    // below these minimums.
    button->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    marksRow->addWidget(button);
    *buttons[slot] = button;
  }
  static_cast<QVBoxLayout *>(BookGroupBox->layout())->addLayout(marksRow);
}

QPushButton *TPagelumeForm::BookmarkButton(int slot) const {
  QPushButton *buttons[TBookmark::Slots] = {BookmarkAutoButton, Bookmark1Button, Bookmark2Button,
                                            Bookmark3Button,    Bookmark4Button, Bookmark5Button};
  return slot >= 0 && slot < TBookmark::Slots ? buttons[slot] : nullptr;
}

// Construction step: the bookshelf and its hooks into the loader and the keys.
void TPagelumeForm::CreateHistoryAndBookmarks() {
  CreateHistory();
  Bookshelf = std::make_unique<TBookshelf>();
  Bookshelf->OnSelect = [this](const std::string &name, bool removing) {
    BookshelfSelect(PathText(name), removing);
  };

  TBookLoaderHost &host = Loader->Host;
  host.UpdateAutoBookmark = [this](bool enabled) { UpdateAutoBookmark(enabled); };
  host.LastBook = [this] { return PathText(Bookshelf->LastBook()); };
  host.RefreshBookshelfButtons = [this] { RefreshBookshelfButtons(); };
  host.RefreshBookmarkButtons = [this] { RefreshBookmarkButtons(); };
  host.GetBookmark = [this](const QString &path, int32_t slot, int32_t &piece) {
    const std::string book = PathBytes(path);
    int32_t markPiece = 1;
    int32_t position = Bookshelf->GetBookmark(book, slot, markPiece);
    if (position < 0)
      return position;  // not on the shelf: the piece stays as asked
    // A mark in a piece that the book no longer has (a smaller file, another
    // piece size, or the book now shown whole) opens the book at its top
    // instead of at a position of some other piece.
    int32_t errorCode = 0;
    const int64_t size = FileSizeOf(book, errorCode);
    const int32_t count = size < 0 ? 0 : PieceCountFor(size, Loader->State.PieceSizeInUse);
    const bool inPieces = OpenInPiecesCheckBox->isChecked() && !HasRtfExtension(book) && count > 1;
    if (markPiece > (inPieces ? count : 1)) {
      piece = 1;
      return 0;
    }
    piece = markPiece;
    return position;
  };

  Reading->Callouts.GoToBookmark = [this](int slot) {
    BookmarkButtonMouseDown(slot, Qt::LeftButton, Qt::NoModifier);
  };
  Reading->Callouts.BookshelfOpenClick = [this] { OpenBookshelfButtonClick(); };
  Reading->Callouts.BookshelfPutClick = [this] { PutBookshelfButtonClick(); };
}

// ---- Buttons ----

void TPagelumeForm::RefreshBookshelfButtons() {
  const int32_t count = Bookshelf ? Bookshelf->Count() : 0;
  OpenBookshelfButton->setText("&Open (" + QString::number(count) + ")");
  OpenBookshelfButton->setEnabled(count > 0);
  RemoveBookshelfButton->setEnabled(count > 0);
}

void TPagelumeForm::RefreshBookmarkButtons() {
  const std::string book = Loader->State.Path;
  const bool shelved = Bookshelf && Bookshelf->IndexOf(book) >= 0;
  for (int slot = 0; slot < TBookmark::Slots; ++slot) {
    int32_t piece = 1;
    const bool set = shelved && (slot == 0 || Bookshelf->GetBookmark(book, slot, piece) >= 0);
    BookmarkButton(slot)->setText(QString(BookmarkCaptions[slot]) + (set ? "*" : ""));
  }
}

// ---- The auto-bookmark and setting marks ----

void TPagelumeForm::UpdateAutoBookmark(bool enabled) {
  const std::string book = Loader->State.Path;
  // A reading box hidden by a load in progress (a close during a long load)
  // shows no place to keep, and nor does a book that could not be read.
  if (!AutoBookmarkCheckBox->isChecked() || !enabled || !Loader->State.Shown || !BookFileOpen(book) ||
      RichEdit->isHidden() ||
      RichEdit->TextLength() < 3 || Bookshelf->IndexOf(book) < 0)
    return;
  // A top line the background count has not reached yet is far from the start.
  const int32_t line = RichEdit->TopLineIfCounted();
  const int32_t piece = Loader->State.CurrentPiece;
  const int32_t place = ReadingPlace();
  if (line < 0 || line > 4 || piece > 1 || place != RichEdit->TopPosition())
    Bookshelf->SetBookmark(book, 0, piece, place);
  else
    Bookshelf->TouchBook(book);
}

void TPagelumeForm::SetBookmarkHere(int slot) {
  const std::string book = Loader->State.Path;
  if (!BookFileOpen(book) || RichEdit->TextLength() < 3)
    return;
  if (!TBookshelf::CanShelve(book)) {
    Warning("The path of this book holds a line break: it cannot be put on the bookshelf.");
    return;
  }
  int32_t piece = 1;
  if (Bookshelf->GetBookmark(book, slot, piece) >= 1) {
    const QString question =
        slot == 0 ? "This book already has an auto-bookmark. Do you want to overwrite it?\n\nIf \"Auto bookmark\" "
                    "is checked, there is not need to set again the\nauto-bookmark manually for the same book."
                  : "This bookmark is already set for this book. Do you want to overwrite it?";
    if (!Query(question))
      return;
  }
  Bookshelf->SetBookmark(book, slot, std::max(Loader->State.CurrentPiece, 1), RichEdit->TopPosition());
  RefreshBookshelfButtons();
  RefreshBookmarkButtons();
}

void TPagelumeForm::GoToBookmark(int slot) {
  const std::string book = Loader->State.Path;
  int32_t piece = 1;
  const int32_t position = Bookshelf->GetBookmark(book, slot, piece);
  // Only a book that is shown (a refused open leaves no pieces).
  if (position >= 0 && Loader->State.PieceCount() > 0) {
    if (piece == Loader->State.CurrentPiece)
      RichEdit->GoToCharPos(position);
    else if (piece <= Loader->State.PieceCount())
      Loader->LoadFromFile(QString(), piece, false, position);
  }
}

void TPagelumeForm::BookmarkButtonMouseDown(int slot, Qt::MouseButton button, Qt::KeyboardModifiers modifiers) {
  const Qt::KeyboardModifiers held = modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
  if (button == Qt::LeftButton && held == Qt::NoModifier)
    GoToBookmark(slot);
  else if (button == Qt::RightButton && held == Qt::NoModifier)
    SetBookmarkHere(slot);
  else if (button == Qt::RightButton && held == Qt::ControlModifier) {
    Bookshelf->RemoveBookmark(Loader->State.Path, slot);
    RefreshBookshelfButtons();
  }
  RefreshBookmarkButtons();
  RichEdit->setFocus();
}

void TPagelumeForm::PutBookshelfButtonClick() {
  SetBookmarkHere(0);
  RichEdit->setFocus();
}

void TPagelumeForm::OpenBookshelfButtonClick() {
  const QPoint corner = OpenBookshelfButton->mapToGlobal(QPoint(0, OpenBookshelfButton->height()));
  Bookshelf->Dialog(this, corner.x(), corner.y(), false);
}

void TPagelumeForm::RemoveBookshelfButtonClick() {
  const QPoint corner = RemoveBookshelfButton->mapToGlobal(QPoint(0, RemoveBookshelfButton->height()));
  Bookshelf->Dialog(this, corner.x(), corner.y(), true);
}

void TPagelumeForm::BookshelfSelect(const QString &fileName, bool removing) {
  if (removing) {
    Bookshelf->RemoveBookmark(PathBytes(fileName), 0);
    RefreshBookshelfButtons();
    RefreshBookmarkButtons();
    return;
  }
  // Reopening the open book goes to its saved auto-bookmark, not to the
  // current place.
  const QString open = PathText(Loader->State.Path);
  Loader->OpenBook(fileName, open.isEmpty() || !SameFile(fileName, open));
}
