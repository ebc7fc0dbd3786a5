// Opening books into a real reading box through a host that records what the
// loader asks of the window.
#include "BookLoader.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTemporaryDir>
#include <clocale>
#include <gtest/gtest.h>

#include "Dialogs.h"
#include "EnhancedRTF.h"
#include "Error.h"
#include "Program.h"
#include "RTF.h"

namespace {

struct TBox {
  TMessageKind Kind;
  QString Text;
};

class BookLoaderTest : public ::testing::Test {
protected:
  QTemporaryDir Dir;
  TRichEdit Box;
  TEnhancedRichEdit Engine;
  std::unique_ptr<TBookLoader> Loader;
  std::vector<TBox> Boxes;
  std::vector<std::string> Errors;
  std::vector<std::string> Calls;
  bool InPieces = true, Enhance = false, QueryAnswer = false;
  std::string PieceSize = "50000";
  QString PiecesLabel;
  QStringList PieceItems;
  int SelectedPiece = -1;
  bool ListEnabled = false, NextEnabled = false, PrevEnabled = false, AllowEditingEnabled = false;
  int32_t BookmarkPosition = -1, BookmarkPiece = 0;

  void SetUp() override {
    std::setlocale(LC_NUMERIC, "C");
    SetProgramDirOverride(Dir.path());
    SetMessageBoxHandler([this](TMessageKind kind, const QString &text) {
      Boxes.push_back({kind, text});
      return QueryAnswer;
    });
    SetShowErrorHandler([this](const TFunStatContext &, const std::string &description, bool *) {
      Errors.push_back(description);
      return true;
    });
    Engine.RichBox = &Box;
    TBookLoaderHost host;
    host.OpenInPieces = [this] { return InPieces; };
    host.PieceSizeText = [this] { return PieceSize; };
    host.EnhanceText = [this] { return Enhance; };
    host.SetPiecesLabel = [this](const QString &text) { PiecesLabel = text; };
    host.SetPiecesItems = [this](const QStringList &items, int selected) {
      PieceItems = items;
      SelectedPiece = selected;
    };
    host.SetPiecesEnabled = [this](bool list, bool next, bool prev, bool allowEditing) {
      ListEnabled = list;
      NextEnabled = next;
      PrevEnabled = prev;
      AllowEditingEnabled = allowEditing;
    };
    auto log = [this](const char *name) { return [this, name] { Calls.push_back(name); }; };
    host.AskSaveIfModified = log("AskSaveIfModified");
    host.StopInfoTimer = log("StopInfoTimer");
    host.StartInfoTimer = log("StartInfoTimer");
    host.RefreshBookshelfButtons = log("RefreshBookshelfButtons");
    host.InfoTimerTick = log("InfoTimerTick");
    host.ApplyZoom = log("ApplyZoom");
    host.ResolveProfile = [this](const QString &, bool) { Calls.push_back("ResolveProfile"); };
    host.ApplyFirstSound = [this](const QString &) { Calls.push_back("ApplyFirstSound"); };
    host.UpdateAutoBookmark = [this](bool) { Calls.push_back("UpdateAutoBookmark"); };
    host.GetBookmark = [this](const QString &, int32_t, int32_t &piece) {
      if (BookmarkPosition >= 0)
        piece = BookmarkPiece;
      return BookmarkPosition;
    };
    Loader = std::make_unique<TBookLoader>(&Box, &Engine, host);
  }

  void TearDown() override {
    SetMessageBoxHandler({});
    SetShowErrorHandler({});
    SetProgramDirOverride(QString());
  }

  QString WriteFile(const QString &name, const QByteArray &bytes) {
    QString path = Dir.filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return path;
  }

  // A book of 20-byte lines "Line 0000001 .....\n": byte b is in line b / 20.
  QString NumberedBook(int bytes, const QString &name = "book.txt") {
    QByteArray data;
    for (int line = 0; data.size() < bytes; ++line)
      data += QStringLiteral("Line %1 ......\n").arg(line, 7, 10, QLatin1Char('0')).toLatin1();
    data.truncate(bytes);
    return WriteFile(name, data);
  }

  std::u16string Text() { return Box.Text(); }
  static std::u16string Line(int n) {
    return QStringLiteral("Line %1 ......").arg(n, 7, 10, QLatin1Char('0')).toStdU16String();
  }
  static bool EndsWith(const std::u16string &text, const std::u16string &end) {
    std::u16string trimmed = text;
    while (!trimmed.empty() && (trimmed.back() == u'\r' || trimmed.back() == u'\n'))
      trimmed.pop_back();
    return trimmed.size() >= end.size() && trimmed.compare(trimmed.size() - end.size(), end.size(), end) == 0;
  }
};

TEST_F(BookLoaderTest, BookInThreePiecesAndTheirNavigation) {
  QString path = NumberedBook(120000);
  ASSERT_TRUE(Loader->LoadFromFile(path, 2, false, 0));
  EXPECT_TRUE(Boxes.empty());
  EXPECT_EQ(PiecesLabel, "3 pieces");
  EXPECT_EQ(PieceItems, (QStringList{"1", "2", "3"}));
  EXPECT_EQ(SelectedPiece, 1);
  EXPECT_TRUE(ListEnabled && NextEnabled && PrevEnabled);
  EXPECT_FALSE(AllowEditingEnabled);
  // Piece 2 holds bytes 49,980 to 99,999: lines 2,499 to 4,999.
  std::u16string text = Text();
  EXPECT_EQ(text.rfind(Line(2499), 0), 0u);
  EXPECT_EQ(text.find(Line(2498)), std::u16string::npos);
  EXPECT_TRUE(EndsWith(text, Line(4999) + u"\r\n\r\n***** End of Piece 2 / 3 *****"));
  EXPECT_EQ(Loader->State.Path, QFileInfo(path).absoluteFilePath().toStdString());

  Loader->NextPieceButtonClick();
  EXPECT_EQ(Loader->State.CurrentPiece, 3);
  EXPECT_TRUE(EndsWith(Text(), Line(5999) + u"\r\n\r\n***** End of Book *****"));
  EXPECT_FALSE(NextEnabled);
  Loader->NextPieceButtonClick();  // nothing past the last piece
  EXPECT_EQ(Loader->State.CurrentPiece, 3);

  // "Prev" opens piece 2 scrolled to its end.
  Loader->PreviousPieceButtonClick();
  EXPECT_EQ(Loader->State.CurrentPiece, 2);
  QScrollBar *bar = Box.verticalScrollBar();
  EXPECT_GT(bar->maximum(), 0);
  EXPECT_EQ(bar->value(), bar->maximum());

  Loader->PiecesComboBoxChange("1");
  EXPECT_EQ(Loader->State.CurrentPiece, 1);
  EXPECT_EQ(Text().rfind(Line(0), 0), 0u);
  EXPECT_TRUE(EndsWith(Text(), Line(2500) + u"\r\n\r\n***** End of Piece 1 / 3 *****"));  // bytes 0 to 50,019
  EXPECT_TRUE(Errors.empty());
}

TEST_F(BookLoaderTest, SameBookWholeAsksNothing) {
  InPieces = false;
  QString path = NumberedBook(120000);
  ASSERT_TRUE(Loader->OpenBook(path, false));
  EXPECT_TRUE(Boxes.empty());
  EXPECT_EQ(PiecesLabel, "1 piece");
  EXPECT_EQ(PieceItems, QStringList{"1"});
  EXPECT_FALSE(ListEnabled || NextEnabled || PrevEnabled);
  EXPECT_TRUE(AllowEditingEnabled);
  EXPECT_TRUE(EndsWith(Text(), Line(5999) + u"\r\n\r\n***** End of Book *****"));
  // The call-outs come in the order of the load.
  EXPECT_EQ(Calls, (std::vector<std::string>{"UpdateAutoBookmark", "AskSaveIfModified", "StopInfoTimer",
                                             "ResolveProfile", "ApplyZoom", "StartInfoTimer",
                                             "RefreshBookshelfButtons", "InfoTimerTick", "ApplyFirstSound",
                                             "UpdateAutoBookmark"}));
}

TEST_F(BookLoaderTest, LargeWholeBookNeedsConfirmation) {
  InPieces = false;
  QString path = NumberedBook(500001);
  EXPECT_FALSE(Loader->OpenBook(path, false));
  ASSERT_EQ(Boxes.size(), 1u);
  EXPECT_EQ(Boxes[0].Kind, TMessageKind::Query);
  EXPECT_TRUE(Boxes[0].Text.startsWith("You are trying to open in one piece a book bigger than 500000 characters."));
  EXPECT_TRUE(Text().empty() || Text() == u"\r\n");
  QueryAnswer = true;
  EXPECT_TRUE(Loader->OpenBook(path, false));
}

TEST_F(BookLoaderTest, RichTextIsShownWholeWithoutMarker) {
  QByteArray rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\\f0 ";
  while (rtf.size() < 600000)
    rtf += "Rich text paragraph with {\\b bold} words.\\par\n";
  rtf += "}";
  QString path = WriteFile("book.RTF", rtf);
  WriteFile("ErrorFix.rtf", "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Times New Roman;}}\\f0\\fs32 \\par}");
  for (bool pieces : {true, false}) {
    InPieces = pieces;
    ASSERT_TRUE(Loader->OpenBook(path, false));
    EXPECT_TRUE(Boxes.empty());
    EXPECT_EQ(PiecesLabel, "1 piece");
    std::u16string text = Text();
    EXPECT_EQ(text.find(u"*****"), std::u16string::npos);
    EXPECT_TRUE(EndsWith(text, u"Rich text paragraph with bold words."));
  }
}

TEST_F(BookLoaderTest, SizeLimits) {
  QString path = Dir.filePath("big.txt");
  {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_TRUE(file.resize(20000000));  // sparse: fast
  }
  EXPECT_TRUE(Loader->OpenBook(path, false));
  EXPECT_TRUE(Boxes.empty());
  EXPECT_EQ(PiecesLabel, "400 pieces");

  QString bigger = Dir.filePath("bigger.txt");
  ASSERT_TRUE(QFile::copy(path, bigger));
  {
    QFile file(bigger);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.resize(20000001));
  }
  EXPECT_FALSE(Loader->OpenBook(bigger, false));
  ASSERT_EQ(Boxes.size(), 1u);
  EXPECT_EQ(Boxes[0].Kind, TMessageKind::Warning);
  EXPECT_EQ(Boxes[0].Text, "You can't open books bigger than 20000000 characters.");  // C locale: no separators
  // A refused open leaves the box and the pieces list empty and Path naming the file.
  EXPECT_TRUE(PieceItems.isEmpty());
  EXPECT_EQ(Loader->State.Path, QFileInfo(bigger).absoluteFilePath().toStdString());
}

TEST_F(BookLoaderTest, PieceSizeAndRequestedPieceFallBack) {
  PieceSize = "5000";  // outside 10,000 to 500,000
  QString path = NumberedBook(120000);
  ASSERT_TRUE(Loader->LoadFromFile(path, 7, false, 0));
  EXPECT_EQ(Loader->State.PieceSizeInUse, 50000);
  EXPECT_EQ(Loader->State.CurrentPiece, 1);
  PieceSize = "20000";
  BookmarkPosition = 10;
  BookmarkPiece = 4;  // the auto-bookmark's piece
  ASSERT_TRUE(Loader->OpenBook(path, false));
  EXPECT_EQ(Loader->State.PieceSizeInUse, 20000);
  EXPECT_EQ(PiecesLabel, "6 pieces");
  EXPECT_EQ(Loader->State.CurrentPiece, 4);
}

TEST_F(BookLoaderTest, MissingEmptyAndOneLineBooks) {
  EXPECT_FALSE(Loader->OpenBook(Dir.filePath("missing.txt"), false));
  EXPECT_FALSE(Loader->OpenBook(Dir.path(), false));
  EXPECT_FALSE(Loader->OpenBook(WriteFile("notes.doc", "text"), false));
  ASSERT_EQ(Boxes.size(), 3u);
  for (const auto &box : Boxes) {
    EXPECT_EQ(box.Kind, TMessageKind::Warning);
    EXPECT_EQ(box.Text, "The book is not a valid text file, or it doesn't exist.");
  }
  Boxes.clear();
  EXPECT_FALSE(Loader->OpenBook(WriteFile("empty.txt", ""), false));
  ASSERT_EQ(Boxes.size(), 1u);
  EXPECT_EQ(Boxes[0].Kind, TMessageKind::Message);
  EXPECT_EQ(Boxes[0].Text, "File is empty.");

  ASSERT_TRUE(Loader->OpenBook(WriteFile("one.txt", "   "), false));
  EXPECT_EQ(Text().substr(0, 9), u"   \r\n\r\n**");
  // Old markers and trailing blank lines give one blank line and one marker.
  ASSERT_TRUE(Loader->OpenBook(WriteFile("old.txt", "Text\r\n\r\n***** End of Book *****\r\n\r\n\r\n"), false));
  std::u16string text = Text();
  EXPECT_TRUE(EndsWith(text, u"Text\r\n\r\n***** End of Book *****"));
  EXPECT_EQ(text.find(u"*****"), text.rfind(u"***** End"));
  EXPECT_TRUE(Errors.empty());
}

TEST_F(BookLoaderTest, EncodingsAndPieceJoins) {
  // Lines of 30 two-byte characters (61 bytes): pieces 2 and 3 begin, and
  // piece 2 ends, inside a character.
  QByteArray utf8;
  while (utf8.size() < 120000)
    utf8 += QByteArray("\xC3\xA9").repeated(30) + "\n";
  QString path = WriteFile("utf8.txt", utf8);
  for (int piece = 1; piece <= 3; ++piece) {
    ASSERT_TRUE(Loader->LoadFromFile(path, piece, false, 0));
    std::u16string text = Text();
    EXPECT_EQ(text.find(u'\uFFFD'), std::u16string::npos) << piece;
    EXPECT_EQ(text.find_first_not_of(u"\u00E9\r\n"), text.find(u"*****")) << piece;
  }
  ASSERT_TRUE(Loader->OpenBook(WriteFile("cp1252.txt", "\x93Quoted\x94 caf\xE9\r\n"), false));
  EXPECT_EQ(Text().substr(0, 13), u"\u201CQuoted\u201D caf\u00E9");
  ASSERT_TRUE(Loader->OpenBook(WriteFile("bom.txt", "\xEF\xBB\xBFTitle\n"), false));
  EXPECT_EQ(Text().substr(0, 6), u"Title\r");
}

TEST_F(BookLoaderTest, Utf16BooksWholeAndInPieces) {
  // Lines of 29 "é" and a line end, 60 bytes each, little-endian after the mark.
  QByteArray le("\xFF\xFE", 2);
  while (le.size() < 120000)
    le += QByteArray("\xE9\0", 2).repeated(29) + QByteArray("\n\0", 2);
  QByteArray be("\xFE\xFF", 2);
  for (qsizetype i = 2; i + 1 < le.size(); i += 2)
    be += QByteArray(1, le[i + 1]) + le[i];
  PieceSize = "49999";  // pieces begin on both bytes of a character
  for (const auto &[name, bytes] : {std::pair{"le.txt", le}, std::pair{"be.txt", be}}) {
    QString path = WriteFile(name, bytes);
    for (int piece = 1; piece <= 3; ++piece) {
      ASSERT_TRUE(Loader->LoadFromFile(path, piece, false, 0)) << name << piece;
      std::u16string text = Text();
      EXPECT_EQ(text.find_first_not_of(u"\u00E9\r\n"), text.find(u"*****")) << name << piece;
      EXPECT_GT(text.size(), piece < 3 ? 25000u : 10000u) << name << piece;
    }
  }
  InPieces = false;
  ASSERT_TRUE(Loader->OpenBook(WriteFile("short.txt", QByteArray("\xFF\xFEH\0i\0\n\0", 8)), false));
  EXPECT_EQ(Text().substr(0, 3), u"Hi\r");
}

TEST_F(BookLoaderTest, BadCommandKeepsTheTextBeforeIt) {
  Enhance = true;
  InPieces = false;
  WriteFile("Welcome.txt", "Welcome\n");
  QString book = WriteFile("book.txt", "The first paragraph\nof the book.\n\n^FC=Nope*\nThe second.\n");
  Loader->Host.CommandLineBooks = [&] { return QStringList{book}; };
  Loader->LoadOnStart();
  EXPECT_EQ(Loader->State.Path, book.toStdString());  // not replaced by the welcome book
  EXPECT_NE(Text().find(u"The first paragraph of the book."), std::u16string::npos);
  EXPECT_EQ(Errors, std::vector<std::string>{FailedToLoadBookText});  // reported once
}

TEST_F(BookLoaderTest, EnhancedBookAndStartUpBook) {
  Enhance = true;
  WriteFile("Welcome.txt", "Chapter 1 Start\n\nThe first line\nand the second.\n");
  Loader->LoadOnStart();
  EXPECT_EQ(Loader->State.Path, QDir(Dir.path()).filePath("Welcome.txt").toStdString());
  std::u16string text = Text();
  EXPECT_NE(text.find(u"The first line and the second."), std::u16string::npos);
  ASSERT_EQ(Engine.ChaptersMenu.size(), 1u);
  EXPECT_EQ(Engine.ChaptersMenu[0].Caption, u"Chapter 1 Start");
}

TEST_F(BookLoaderTest, ProgressIsPacedAndReportsClosing) {
  Loader->State.StartTimers();
  Loader->State.Closing = true;
  EXPECT_TRUE(Loader->ReportProgress(10));
  Loader->State.Closing = false;
  Loader->State.ProgressTimerStart -= std::chrono::seconds(2);
  QString title;
  Loader->Host.SetTitle = [&](const QString &text) { title = text; };
  EXPECT_FALSE(Loader->ReportProgress(12345));
  // The seconds count depends on how busy the machine is: only the shape is fixed.
  EXPECT_TRUE(QRegularExpression("^12345 characters; [0-9]+ seconds$").match(title).hasMatch()) << title.toStdString();
  title.clear();
  // Within the second since the last report nothing is shown; the last report
  // is put later than now so that no slow machine can let the second pass.
  Loader->State.ProgressTimerStart = TBookClock::now() + std::chrono::hours(1);
  Loader->ReportProgress(20000);
  EXPECT_TRUE(title.isEmpty());
}

}  // namespace
