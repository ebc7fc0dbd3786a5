// The plain part of book loading: pieces, decoding, lines and end markers.
#include "BookText.h"

#include <cstring>
#include <gtest/gtest.h>

namespace {

std::u16string U(const char *text) { return std::u16string(text, text + std::strlen(text)); }

TEST(BookTextTest, PieceArithmeticOfA120000ByteBook) {
  const int32_t S = 50000;
  EXPECT_EQ(PieceCountFor(120000, S), 3);
  EXPECT_EQ(PieceCountFor(100000, S), 2);
  EXPECT_EQ(PieceCountFor(100001, S), 3);
  EXPECT_EQ(PieceCountFor(1, S), 1);
  EXPECT_EQ(PieceCountFor(0, S), 0);
  // Piece 1: bytes 0 to S + 19; piece 2: 49,980 to 99,999; piece 3 to the end.
  EXPECT_EQ(PieceStart(1, S), 0);
  EXPECT_EQ(PieceLength(1, S, 120000), 50020);
  EXPECT_EQ(PieceStart(2, S), 49980);
  EXPECT_EQ(PieceStart(2, S) + PieceLength(2, S, 120000) - 1, 99999);
  EXPECT_EQ(PieceStart(3, S), 99980);
  EXPECT_EQ(PieceLength(3, S, 120000), 20020);
  EXPECT_EQ(ClampPiece(7, 3), 1);
  EXPECT_EQ(ClampPiece(0, 3), 1);
  EXPECT_EQ(ClampPiece(-1, 3), 1);
  EXPECT_EQ(ClampPiece(3, 3), 3);
}

TEST(BookTextTest, Texts) {
  EXPECT_EQ(EndOfPieceMarker(2, 3), "***** End of Piece 2 / 3 *****");
  EXPECT_EQ(TooBigBookText("20,000,000"), "You can't open books bigger than 20,000,000 characters.");
  EXPECT_EQ(PiecesLabelText(0), "1 piece");
  EXPECT_EQ(PiecesLabelText(1), "1 piece");
  EXPECT_EQ(PiecesLabelText(3), "3 pieces");
  EXPECT_EQ(CurrentFileInfoText("", "x"), "No book opened");
  EXPECT_EQ(CurrentFileInfoText("/home/ann/books/Emma.txt", ""), "\"Emma.txt\" (in \"books\")");
  EXPECT_EQ(CurrentFileInfoText("/home/ann/books/Emma.txt", "opened in 2 seconds"),
            "\"Emma.txt\" (in \"books\") (opened in 2 seconds)");
}

TEST(BookTextTest, BookPaths) {
  EXPECT_FALSE(IsValidBookPath(""));
  EXPECT_FALSE(IsValidBookPath("/tmp"));
  EXPECT_TRUE(IsValidBookPath("/no/such/dir/Book.TXT"));  // existence is checked by the loader
  EXPECT_TRUE(IsValidBookPath("book.Rtf"));
  EXPECT_FALSE(IsValidBookPath("book.txt.gz"));
  EXPECT_FALSE(IsValidBookPath("book.doc"));
  EXPECT_FALSE(IsValidBookPath("/books.txt/readme"));
  EXPECT_TRUE(HasRtfExtension("A.RTF"));
  EXPECT_FALSE(HasRtfExtension("A.txt"));
}

TEST(BookTextTest, Windows1252Decoding) {
  EXPECT_EQ(DecodeBookBytes("\x93Quoted\x94 caf\xE9", false), u"\u201CQuoted\u201D caf\u00E9");
  EXPECT_EQ(DetectEncoding("caf\xE9", false), TTextEncoding::Windows1252);
  EXPECT_EQ(DecodeWindows1252("\x80\x81\x9F\xFF"), u"\u20AC\u0081\u0178\u00FF");
}

TEST(BookTextTest, Utf8DecodingAndByteOrderMark) {
  EXPECT_EQ(DetectEncoding("caf\xC3\xA9", false), TTextEncoding::Utf8);
  EXPECT_EQ(DecodeBookBytes("caf\xC3\xA9 \xF0\x9F\x98\x80", false), u"caf\u00E9 \U0001F600");
  // The mark never shows, also when the rest is not valid UTF-8.
  EXPECT_EQ(DecodeBookBytes("\xEF\xBB\xBFTitle", false), u"Title");
  EXPECT_EQ(DecodeBookBytes("\xEF\xBB\xBF\xE9t\xE9", false), u"\uFFFDt\uFFFD");
  // Overlong forms and surrogates are not UTF-8.
  EXPECT_EQ(DetectEncoding("\xC0\xAF", false), TTextEncoding::Windows1252);
  EXPECT_EQ(DetectEncoding("\xED\xA0\x80", false), TTextEncoding::Windows1252);
  // Text after a NUL byte is dropped.
  EXPECT_EQ(DecodeBookBytes(std::string_view("ab\0\xE9", 4), false), u"ab");
}

TEST(BookTextTest, PieceEdgesCutInsideUtf8Sequences) {
  // "é€" = C3 A9 E2 82 AC; a piece that starts after the C3 and ends after E2 82.
  std::string_view cut("\xA9 middle \xC3\xA9 end \xE2\x82");
  EXPECT_EQ(DetectEncoding(cut, true), TTextEncoding::Utf8);
  EXPECT_EQ(DecodeBookBytes(cut, true), u" middle \u00E9 end ");
  // The whole book is not cut: the same bytes are not UTF-8.
  EXPECT_EQ(DetectEncoding(cut, false), TTextEncoding::Windows1252);
  // A broken byte inside the piece still means code page 1252.
  EXPECT_EQ(DecodeBookBytes("\xA9 a\xE9z", true), u"\u00A9 a\u00E9z");
}

TEST(BookTextTest, Utf16WithByteOrderMark) {
  using namespace std::string_view_literals;
  // "Hé\r\n😀" little- and big-endian, NUL bytes included.
  const std::string_view le = "\xFF\xFEH\0\xE9\0\r\0\n\0\x3D\xD8\x00\xDE"sv;
  const std::string_view be = "\xFE\xFF\0H\0\xE9\0\r\0\n\xD8\x3D\xDE\x00"sv;
  EXPECT_EQ(DecodeBookBytes(le, false), u"H\u00E9\r\n\U0001F600");
  EXPECT_EQ(DecodeBookBytes(be, false), u"H\u00E9\r\n\U0001F600");
  EXPECT_EQ(BookBytesToLines(le, false), (std::vector<std::u16string>{u"H\u00E9", u"\U0001F600"}));
  // Text after a NUL character is dropped; a lone surrogate is no character.
  EXPECT_EQ(DecodeBookBytes("\xFF\xFE" "a\0\0\0b\0"sv, false), u"a");
  EXPECT_EQ(DecodeBookBytes("\xFF\xFE\x3D\xD8x\0"sv, false), u"\uFFFDx");
  // A piece starts on either byte of a character and may cut a pair at both edges:
  // bytes 3 to 12 of the file hold the second byte of 'H', "é\r\n" and the first half of the pair.
  EXPECT_EQ(DecodeUtf16(le.substr(3, 10), TUtf16Mark::LittleEndian, 3, true), u"\u00E9\r\n");
  EXPECT_EQ(DecodeUtf16(le.substr(12), TUtf16Mark::LittleEndian, 12, true), u"");
  EXPECT_EQ(BookBytesToLines(be.substr(4), true, TUtf16Mark::BigEndian, 4), (std::vector<std::u16string>{u"\u00E9", u"\U0001F600"}));
  // Without the mark of the file, the same bytes inside a piece are single-byte text.
  EXPECT_EQ(BookBytesToLines("\xFF\xFEx"sv, true, TUtf16Mark::None, 100), (std::vector<std::u16string>{u"\u00FF\u00FEx"}));
  EXPECT_EQ(Utf16MarkOf("\xFF"), TUtf16Mark::None);
}

TEST(BookTextTest, LineSplitting) {
  EXPECT_EQ(SplitLines(u"a\r\nb\rc\nd"), (std::vector<std::u16string>{u"a", u"b", u"c", u"d"}));
  EXPECT_EQ(SplitLines(u"a\n"), (std::vector<std::u16string>{u"a"}));
  EXPECT_EQ(SplitLines(u"a\n\n"), (std::vector<std::u16string>{u"a", u""}));
  EXPECT_EQ(SplitLines(u"\r\n\r\n"), (std::vector<std::u16string>{u"", u""}));
  EXPECT_TRUE(SplitLines(u"").empty());
  EXPECT_EQ(BookBytesToLines("one\r\ntwo\x00three\nfour", false), (std::vector<std::u16string>{u"one", u"two"}));
}

TEST(BookTextTest, EndMarkers) {
  std::vector<std::u16string> lines{u"Text", u"", u"  ", u"***** End of Book *****", u" \t", u""};
  AddEndMarker(lines, 3, 3);
  EXPECT_EQ(lines, (std::vector<std::u16string>{u"Text", u"", u"***** End of Book *****"}));
  AddEndMarker(lines, 3, 3);  // again: still one blank line and one marker
  EXPECT_EQ(lines, (std::vector<std::u16string>{u"Text", u"", u"***** End of Book *****"}));

  lines = {u"Text"};
  AddEndMarker(lines, 2, 3);
  EXPECT_EQ(lines, (std::vector<std::u16string>{u"Text", u"", U("***** End of Piece 2 / 3 *****")}));

  // The first line is never removed, even when blank or a marker.
  lines = {u"   "};
  AddEndMarker(lines, 1, 1);
  EXPECT_EQ(lines, (std::vector<std::u16string>{u"   ", u"", u"***** End of Book *****"}));
  lines = {u"***** End of Book *****", u""};
  AddEndMarker(lines, 1, 1);
  EXPECT_EQ(lines.size(), 3u);
  lines.clear();
  AddEndMarker(lines, 1, 1);
  EXPECT_EQ(lines, (std::vector<std::u16string>{u"", u"***** End of Book *****"}));
}

}  // namespace
