#include "Bookshelf.h"

#include "Error.h"
#include "StoredTextList.h"

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
    if (SameTextNoCase(Books[i].FileName, fileName))
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
    if (!Books.empty() && SameTextNoCase(Books.back().FileName, fileName)) {
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
    list.WriteString(MainSection, key, book.FileName);
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

std::vector<std::string> WithAccessKeys(const std::vector<std::string> &captions) {
  std::set<char> used;
  std::vector<std::string> result;
  result.reserve(captions.size());
  for (const std::string &caption : captions) {
    std::string out;
    bool keyed = false;
    for (char ch : caption) {
      const auto u = static_cast<unsigned char>(ch);
      if (!keyed && u < 0x80 && std::isalnum(u) && !used.count(static_cast<char>(std::tolower(u)))) {
        used.insert(static_cast<char>(std::tolower(u)));
        out += '&';
        keyed = true;
      }
      out += ch;
      if (ch == '&')
        out += '&';
    }
    result.push_back(out);
  }
  return result;
}

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
