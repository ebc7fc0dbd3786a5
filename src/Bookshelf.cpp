#include "Bookshelf.h"

#include "BookText.h"
#include "Error.h"
#include "File.h"
#include "StoredTextList.h"
#include "Utilities.h"

#include <QAction>
#include <QMenu>
#include <QPointer>
#include <QWidget>
#include <algorithm>
#include <cctype>
#include <climits>
#include <set>

namespace {
const char *const MainSection = "Pagelume_Bookshelf_Main";
const char *const CaretPosSection = "Pagelume_Bookshelf_CaretPos";
const char *const PiecesSection = "Pagelume_Bookshelf_Pieces";
constexpr std::size_t MaxNameLength = 259;

bool ValidSlot(int32_t slot) { return slot >= 0 && slot < TBookmark::Slots; }

// Book names are kept as the file system's bytes. A name that is no UTF-8 is
// stored as a file address ("file://" + the path with every byte above 127,
// "%" and control characters as "%XX"), so that the settings file stays
// UTF-8 and the name comes back byte for byte; an absolute path never begins
// with "file:".
constexpr std::string_view StoredNamePrefix = "file://";

std::string StoredName(const std::string &name) {
  if (DetectEncoding(name, false) == TTextEncoding::Utf8)
    return name;
  static const char hex[] = "0123456789ABCDEF";
  std::string stored(StoredNamePrefix);
  for (const char ch : name) {
    const auto c = static_cast<unsigned char>(ch);
    if (c >= 0x80 || c < 0x20 || c == '%' || c == 0x7F) {
      stored += '%';
      stored += hex[c >> 4];
      stored += hex[c & 15];
    } else {
      stored += ch;
    }
  }
  return stored;
}

std::string NameFromStored(const std::string &stored) {
  if (stored.compare(0, StoredNamePrefix.size(), StoredNamePrefix) != 0)
    return stored;
  auto digit = [](char c) {
    return c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
  };
  std::string name;
  for (size_t i = StoredNamePrefix.size(); i < stored.size(); ++i) {
    const int high = i + 2 < stored.size() ? digit(stored[i + 1]) : -1;
    const int low = i + 2 < stored.size() ? digit(stored[i + 2]) : -1;
    if (stored[i] == '%' && high >= 0 && low >= 0) {
      name += static_cast<char>(high << 4 | low);
      i += 2;
    } else {
      name += stored[i];
    }
  }
  return name;
}
}  // namespace

struct TBookshelf::TMenuHolder {
  QPointer<QMenu> Menu;
};

TBookshelf::TBookshelf() : MenuHolder(std::make_unique<TMenuHolder>()) {}

TBookshelf::~TBookshelf() {
  if (MenuHolder && MenuHolder->Menu)
    delete MenuHolder->Menu;
}

TBookshelf::TBookshelf(TBookshelf &&) noexcept = default;
TBookshelf &TBookshelf::operator=(TBookshelf &&) noexcept = default;

int32_t TBookshelf::IndexOf(const std::string &fileName) const {
  for (size_t i = 0; i < Books.size(); ++i)
    if (SamePathName(Books[i].FileName, fileName))
      return static_cast<int32_t>(i);
  return -1;
}

int32_t TBookshelf::GetBookmark(const std::string &fileName, int32_t slot, int32_t &piece) const {
  const int32_t index = IndexOf(fileName);
  if (index < 0 || !ValidSlot(slot))
    return -1;
  const TBookmark &book = Books[static_cast<size_t>(index)];
  piece = book.Pieces[static_cast<size_t>(slot)];
  return book.CaretPos[static_cast<size_t>(slot)];
}

bool TBookshelf::CanShelve(const std::string &fileName) {
  return !fileName.empty() && fileName.find_first_of("\r\n") == std::string::npos;
}

void TBookshelf::SetBookmark(const std::string &fileName, int32_t slot, int32_t piece, int32_t position) {
  if (!CanShelve(fileName) || !ValidSlot(slot))
    return;
  if (piece < 1)
    piece = 1;
  if (slot == 0) {
    auto setAuto = [&](TBookmark &book) {
      if (position >= 0) {
        book.CaretPos[0] = position;
        book.Pieces[0] = piece;
      }
    };
    if (!Books.empty() && SamePathName(Books.back().FileName, fileName)) {
      setAuto(Books.back());
      return;
    }
    TBookmark record;
    record.FileName = fileName;
    const int32_t index = IndexOf(fileName);
    if (index >= 0) {
      record = Books[static_cast<size_t>(index)];
      Books.erase(Books.begin() + index);
    }
    if (Books.size() >= static_cast<size_t>(MaxBooks))
      Books.erase(Books.begin());
    Books.push_back(record);
    setAuto(Books.back());
    return;
  }
  const int32_t index = IndexOf(fileName);
  if (index < 0)
    return;
  TBookmark &book = Books[static_cast<size_t>(index)];
  book.CaretPos[static_cast<size_t>(slot)] = position < 0 ? -1 : position;
  book.Pieces[static_cast<size_t>(slot)] = position < 0 ? 1 : piece;
}

int32_t TBookshelf::RemoveBookmark(const std::string &fileName, int32_t slot) {
  const int32_t index = IndexOf(fileName);
  if (index < 0 || !ValidSlot(slot))
    return -1;
  if (slot == 0) {
    Books.erase(Books.begin() + index);
  } else {
    TBookmark &book = Books[static_cast<size_t>(index)];
    book.CaretPos[static_cast<size_t>(slot)] = -1;
    book.Pieces[static_cast<size_t>(slot)] = 1;
  }
  return index;
}

std::string TBookshelf::LastBook() const { return Books.empty() ? std::string() : Books.back().FileName; }

// ---- Persistence ----

void TBookshelf::LoadBookshelf(TStoredTextList &list) {
  // The books are the entries numbered below Count, least recent first. A
  // Count beyond the shelf's size (a file edited by hand) loses none of them:
  // the most recent ones that are there are read, up to a full shelf.
  int32_t count = 0;
  list.ReadInteger(MainSection, "Count", count, 0, INT32_MAX);
  const TIniDocument::TSection *section = list.Doc() ? list.Doc()->FindSection(MainSection) : nullptr;
  std::vector<int32_t> numbers;
  if (section)
    for (const TIniDocument::TEntry &entry : section->Entries) {
      int32_t number = 0;
      if (ParseStoredInteger(entry.Key, number) && number >= 0 && number < count && entry.Key == std::to_string(number))
        numbers.push_back(number);
    }
  std::sort(numbers.begin(), numbers.end(), std::greater<>());
  std::vector<std::pair<std::string, std::string>> books;  // key, name; most recent first
  for (int32_t number : numbers) {
    if (books.size() >= static_cast<size_t>(MaxBooks))
      break;
    const std::string key = std::to_string(number);
    std::string name;
    list.ReadString(MainSection, key, name, false, MaxNameLength);
    // Written where case did not count, a name may come with another spelling.
    name = PathBytes(ExistingSpelling(PathText(NameFromStored(name))));
    if (!name.empty())
      books.emplace_back(key, name);
  }
  for (auto it = books.rbegin(); it != books.rend(); ++it) {
    const std::string &key = it->first, &name = it->second;
    int32_t position = 0, piece = 1;
    list.ReadInteger(CaretPosSection, key, position, 0, INT32_MAX);
    list.ReadInteger(PiecesSection, key, piece, 1, INT32_MAX);
    SetBookmark(name, 0, piece, position);
    for (int32_t k = 1; k < TBookmark::Slots; ++k) {
      const std::string markKey = key + "_" + std::to_string(k);
      int32_t markPosition = -1, markPiece = 1;
      list.ReadInteger(CaretPosSection, markKey, markPosition, -1, INT32_MAX);
      list.ReadInteger(PiecesSection, markKey, markPiece, 1, INT32_MAX);
      SetBookmark(name, k, markPiece, markPosition);
    }
  }
}

void TBookshelf::SaveBookshelf(TStoredTextList &list) const {
  list.WriteInteger(MainSection, "Count", Count());
  for (int32_t i = 0; i < Count(); ++i) {
    const TBookmark &book = Books[static_cast<size_t>(i)];
    const std::string key = std::to_string(i);
    list.WriteString(MainSection, key, StoredName(book.FileName));
    // A book on the shelf always has its auto-bookmark; an unset one is the top.
    list.WriteInteger(CaretPosSection, key, book.CaretPos[0] < 0 ? 0 : book.CaretPos[0]);
    list.WriteInteger(PiecesSection, key, book.Pieces[0]);
    for (int32_t k = 1; k < TBookmark::Slots; ++k) {
      if (book.CaretPos[static_cast<size_t>(k)] < 0)
        continue;
      const std::string markKey = key + "_" + std::to_string(k);
      list.WriteInteger(CaretPosSection, markKey, book.CaretPos[static_cast<size_t>(k)]);
      list.WriteInteger(PiecesSection, markKey, book.Pieces[static_cast<size_t>(k)]);
    }
  }
}

// ---- Menu ----

QWidget *TBookshelf::Menu() const { return MenuHolder->Menu.data(); }

void TBookshelf::Dialog(QWidget *owner, int x, int y, bool removing) {
  OP_BEGIN("TBookshelf::Dialog");
  OP_TRY {
    if (MenuHolder->Menu)
      MenuHolder->Menu->deleteLater();  // it may be the menu whose item runs this
    MenuHolder->Menu = nullptr;
    RemovingMode = removing;
    auto *menu = new QMenu(owner);
    menu->setObjectName(removing ? "RemoveBookshelfPopupMenu" : "OpenBookshelfPopupMenu");
    menu->setSeparatorsCollapsible(true);
    MenuHolder->Menu = menu;
    std::vector<std::string> names;
    for (auto it = Books.rbegin(); it != Books.rend(); ++it)
      names.push_back(it->FileName);
    const std::vector<std::string> captions = WithAccessKeys(names);
    for (size_t i = 0; i < names.size(); ++i) {
      QAction *action = menu->addAction(QString::fromStdString(captions[i]));
      action->setStatusTip(QString::fromStdString(names[i]));
      const std::string name = names[i];
      QObject::connect(action, &QAction::triggered, menu, [this, name, removing] {
        if (OnSelect)
          OnSelect(name, removing);
      });
    }
    menu->popup(QPoint(x, y));
  }
  OP_CATCH;
  if (OP_FAILED() && MenuHolder->Menu) {
    MenuHolder->Menu->deleteLater();
    MenuHolder->Menu = nullptr;
  }
  OP_SHOW("Failed to show menu.");
}
