// The bookshelf as logic: order, limits, bookmarks and the settings sections.
#include "Bookshelf.h"

#include "StoredTextList.h"
#include "Utilities.h"

#include <gtest/gtest.h>

namespace {

std::string Name(int i) { return "/books/b" + std::to_string(i) + ".txt"; }

// The shelf written into a fresh list and read back into a fresh shelf.
TBookshelf RoundTrip(const TBookshelf &shelf, std::string *text = nullptr) {
  TStoredTextList list;
  shelf.SaveBookshelf(list);
  if (text)
    *text = list.Text();
  TIniDocument doc;
  doc.Parse(list.Text());
  TStoredTextList back;
  back.WriteString("x", "x", "x");  // gives the list a document
  *back.Doc() = doc;
  TBookshelf result;
  result.LoadBookshelf(back);
  return result;
}

TEST(Bookshelf, MostRecentLastAndAFullShelfDropsTheLeastRecent) {
  TBookshelf shelf;
  EXPECT_EQ(shelf.LastBook(), "");
  for (int i = 0; i < 30; ++i)
    shelf.SetBookmark(Name(i), 0, 1, i * 10);
  EXPECT_EQ(shelf.Count(), 30);
  EXPECT_EQ(shelf.LastBook(), Name(29));
  EXPECT_EQ(shelf.Book(0).FileName, Name(0));

  shelf.SetBookmark(Name(30), 0, 2, 5);  // the 31st
  EXPECT_EQ(shelf.Count(), 30);
  EXPECT_EQ(shelf.IndexOf(Name(0)), -1);
  EXPECT_EQ(shelf.LastBook(), Name(30));
  int32_t piece = 0;
  EXPECT_EQ(shelf.GetBookmark(Name(30), 0, piece), 5);
  EXPECT_EQ(piece, 2);

  // Touching a book moves it to the top with its bookmarks.
  shelf.SetBookmark(Name(5), 3, 4, 777);
  shelf.TouchBook(Name(5));
  EXPECT_EQ(shelf.LastBook(), Name(5));
  EXPECT_EQ(shelf.GetBookmark(Name(5), 0, piece), 50);
  EXPECT_EQ(shelf.GetBookmark(Name(5), 3, piece), 777);
  EXPECT_EQ(piece, 4);
  // Touching the most recent book changes nothing.
  shelf.TouchBook(Name(5));
  EXPECT_EQ(shelf.GetBookmark(Name(5), 0, piece), 50);
  // A position for the most recent book only updates its auto-bookmark.
  shelf.SetBookmark(Name(5), 0, 1, 0);
  EXPECT_EQ(shelf.GetBookmark(Name(5), 0, piece), 0);
  EXPECT_EQ(shelf.Count(), 30);
  // Nothing for an empty name or a slot out of range.
  shelf.SetBookmark("", 0, 1, 1);
  shelf.SetBookmark(Name(5), 6, 1, 1);
  EXPECT_EQ(shelf.LastBook(), Name(5));
}

TEST(Bookshelf, NumberedBookmarksNeedTheBookOnTheShelf) {
  TBookshelf shelf;
  int32_t piece = 99;
  shelf.SetBookmark(Name(1), 2, 1, 100);  // not on the shelf: not kept
  EXPECT_EQ(shelf.Count(), 0);
  EXPECT_EQ(shelf.GetBookmark(Name(1), 2, piece), -1);
  EXPECT_EQ(piece, 99);  // untouched for a book not on the shelf

  shelf.SetBookmark(Name(1), 0, 1, 0);
  shelf.SetBookmark(Name(1), 2, 3, 100);
  EXPECT_EQ(shelf.GetBookmark(Name(1), 2, piece), 100);
  EXPECT_EQ(piece, 3);
  EXPECT_EQ(shelf.GetBookmark(Name(1), 4, piece), -1);  // unset
  EXPECT_EQ(piece, 1);

  EXPECT_EQ(shelf.RemoveBookmark(Name(1), 2), 0);
  EXPECT_EQ(shelf.GetBookmark(Name(1), 2, piece), -1);
  EXPECT_EQ(shelf.Count(), 1);
  shelf.SetBookmark(Name(2), 0, 1, 5);
  shelf.SetBookmark(Name(1), 1, 1, 9);
  EXPECT_EQ(shelf.RemoveBookmark(Name(1), 0), 0);  // the whole book goes
  EXPECT_EQ(shelf.Count(), 1);
  EXPECT_EQ(shelf.GetBookmark(Name(1), 1, piece), -1);
  EXPECT_EQ(shelf.RemoveBookmark(Name(1), 0), -1);
}

TEST(Bookshelf, SectionsRoundTripInTheirOrder) {
  TBookshelf shelf;
  shelf.SetBookmark(Name(0), 0, 1, 10);
  shelf.SetBookmark(Name(1), 0, 2, 20);
  shelf.SetBookmark(Name(1), 3, 4, 30);
  std::string text;
  TBookshelf back = RoundTrip(shelf, &text);
  EXPECT_EQ(text,
            "[Pagelume_Bookshelf_Main]\r\nCount=2\r\n0=/books/b0.txt\r\n1=/books/b1.txt\r\n\r\n"
            "[Pagelume_Bookshelf_CaretPos]\r\n0=10\r\n1=20\r\n1_3=30\r\n\r\n"
            "[Pagelume_Bookshelf_Pieces]\r\n0=1\r\n1=2\r\n1_3=4\r\n\r\n");
  ASSERT_EQ(back.Count(), 2);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(back.Book(i).FileName, shelf.Book(i).FileName);
    EXPECT_EQ(back.Book(i).CaretPos, shelf.Book(i).CaretPos);
    EXPECT_EQ(back.Book(i).Pieces, shelf.Book(i).Pieces);
  }
}

TEST(Bookshelf, StoredValuesOutsideTheirRangesFallBack) {
  auto load = [](const std::string &text) {
    TStoredTextList list;
    list.WriteString("x", "x", "x");
    list.Doc()->Parse(text);
    TBookshelf shelf;
    shelf.LoadBookshelf(list);
    return shelf;
  };
  EXPECT_EQ(load("[Pagelume_Bookshelf_Main]\r\nCount=-1\r\n0=/a.txt\r\n").Count(), 0);
  EXPECT_EQ(load("[Pagelume_Bookshelf_Main]\r\nCount=1\r\n0=/a.txt\r\n1=/b.txt\r\n").Count(), 1);
  // A Count beyond the shelf loses none of the books that are there, and of
  // more than a shelf holds the most recent stay.
  TBookshelf many = load("[Pagelume_Bookshelf_Main]\r\nCount=1000000\r\n0=/a.txt\r\n1=/b.txt\r\n00=/c.txt\r\n"
                         "[Pagelume_Bookshelf_CaretPos]\r\n1=77\r\n");
  ASSERT_EQ(many.Count(), 2);
  int32_t markPiece = 0;
  EXPECT_EQ(many.LastBook(), "/b.txt");
  EXPECT_EQ(many.GetBookmark("/b.txt", 0, markPiece), 77);
  std::string crowded = "[Pagelume_Bookshelf_Main]\r\nCount=40\r\n";
  for (int i = 39; i >= 0; --i)
    crowded += std::to_string(i) + "=" + Name(i) + "\r\n";
  TBookshelf full = load(crowded);
  ASSERT_EQ(full.Count(), TBookshelf::MaxBooks);
  EXPECT_EQ(full.Book(0).FileName, Name(10));
  EXPECT_EQ(full.LastBook(), Name(39));
  // A name with a line break could not be stored: it is not shelved.
  full.TouchBook("/new\nline.txt");
  EXPECT_EQ(full.LastBook(), Name(39));

  TBookshelf shelf = load("[Pagelume_Bookshelf_Main]\r\nCount=4\r\n0=\r\n1=/a.txt\r\n2=/b.txt\r\n3=/a.txt\r\n"
                          "[Pagelume_Bookshelf_CaretPos]\r\n1=-5\r\n1_1=7\r\n2=abc\r\n2_2=-2\r\n2_3=$10\r\n"
                          "3=99\r\n3_5=12\r\n"
                          "[Pagelume_Bookshelf_Pieces]\r\n1=0\r\n1_1=3\r\n2=99999999999\r\n2_3=0\r\n3=4\r\n");
  ASSERT_EQ(shelf.Count(), 2);  // the empty name is skipped
  int32_t piece = 0;
  // /a.txt occurred twice: it is the most recent, with the values read last.
  EXPECT_EQ(shelf.LastBook(), "/a.txt");
  EXPECT_EQ(shelf.GetBookmark("/a.txt", 0, piece), 99);
  EXPECT_EQ(piece, 4);
  EXPECT_EQ(shelf.GetBookmark("/a.txt", 1, piece), -1);
  EXPECT_EQ(shelf.GetBookmark("/a.txt", 5, piece), 12);
  EXPECT_EQ(shelf.GetBookmark("/b.txt", 0, piece), 0);  // defaults
  EXPECT_EQ(piece, 1);
  EXPECT_EQ(shelf.GetBookmark("/b.txt", 2, piece), -1);
  EXPECT_EQ(shelf.GetBookmark("/b.txt", 3, piece), 16);
  EXPECT_EQ(piece, 1);

  // Keys of unset bookmarks are not written and read back as unset.
  std::string text;
  TBookshelf back = RoundTrip(shelf, &text);
  EXPECT_EQ(text.find("0_1"), std::string::npos);
  EXPECT_EQ(back.GetBookmark("/b.txt", 1, piece), -1);
}

TEST(Bookshelf, MenuAccessKeys) {
  EXPECT_EQ(WithAccessKeys({"/home/a.txt", "/home/b.txt", "/h/R&D.txt", "///"}),
            (std::vector<std::string>{"/&home/a.txt", "/h&ome/b.txt", "/h/&R&&D.txt", "///"}));
}

}  // namespace
