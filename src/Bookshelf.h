// The bookshelf: up to 30 books, least recently used first, each with an
// auto-bookmark (slot 0) and five numbered bookmarks (slots 1 to 5). A
// bookmark is a character position of the reading box (the start of the line
// that was on top) within a piece of the book.
//
// The shelf itself is plain C++; only Dialog, the pop-up menu of books, works
// on the toolkit (in the .cpp).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QWidget;
class TStoredTextList;

struct TBookmark {
  static constexpr int Slots = 6;
  std::string FileName;  // full path, the file system's bytes
  std::array<int32_t, Slots> CaretPos{-1, -1, -1, -1, -1, -1};  // -1: not set
  std::array<int32_t, Slots> Pieces{1, 1, 1, 1, 1, 1};          // from 1
};

class TBookshelf {
public:
  static constexpr int MaxBooks = 30;
  // Names are compared without regard to letter case.
  using TSelectEvent = std::function<void(const std::string &fileName, bool removing)>;

  TBookshelf();
  ~TBookshelf();
  TBookshelf(TBookshelf &&) noexcept;
  TBookshelf &operator=(TBookshelf &&) noexcept;

  int32_t Count() const { return static_cast<int32_t>(Books.size()); }
  // Book i, 0 = least recent.
  const TBookmark &Book(int32_t index) const { return Books.at(static_cast<size_t>(index)); }

  int32_t IndexOf(const std::string &fileName) const;
  // The slot's position, or -1 when the book is not on the shelf or the slot
  // is not set; piece is set only when the book is on the shelf.
  int32_t GetBookmark(const std::string &fileName, int32_t slot, int32_t &piece) const;
  // Whether the book can go on the shelf: a name with a line break cannot be
  // stored in the settings file.
  static bool CanShelve(const std::string &fileName);
  // Slot 0 makes the book the most recent (a full shelf drops its least
  // recent book) and sets the auto-bookmark when position >= 0. Slots 1 to 5
  // set (or with -1 clear) a bookmark of a book on the shelf; for other books
  // nothing happens. Nothing happens for a name that CanShelve refuses.
  void SetBookmark(const std::string &fileName, int32_t slot, int32_t piece, int32_t position);
  // Makes the book the most recent, keeping its auto-bookmark.
  void TouchBook(const std::string &fileName) { SetBookmark(fileName, 0, -1, -1); }
  // Slot 0 takes the book off the shelf; slots 1 to 5 clear that bookmark.
  // Returns the book's index, or -1 when it is not on the shelf.
  int32_t RemoveBookmark(const std::string &fileName, int32_t slot);
  // The most recent book, or empty.
  std::string LastBook() const;

  // Pops up a menu of the books, most recent first, at (x, y) in global
  // coordinates; picking one calls OnSelect. A failure is reported as
  // "Failed to show menu.".
  void Dialog(QWidget *owner, int x, int y, bool removing);
  // The menu of the last Dialog (null before the first one or after a failure).
  QWidget *Menu() const;
  bool Removing() const { return RemovingMode; }
  TSelectEvent OnSelect;

  // The sections Pagelume_Bookshelf_Main, _CaretPos and _Pieces of the
  // program settings.
  void LoadBookshelf(TStoredTextList &list);
  void SaveBookshelf(TStoredTextList &list) const;

private:
  std::vector<TBookmark> Books;
  bool RemovingMode = false;
  struct TMenuHolder;
  std::unique_ptr<TMenuHolder> MenuHolder;
};
