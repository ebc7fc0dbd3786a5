// The book as bytes and lines: the limits of an open book, the piece
// arithmetic, decoding of the bytes into text lines, the end markers and the
// texts the loader shows. Plain C++, so that all of it is easy to test; the
// loader that puts the text into the reading box is BookLoader.h.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "TextLines.h"

// ---- Limits (a book's size is its file size in bytes, "characters" in messages) ----
constexpr int64_t MaxBookSize = 20000000;         // largest book that can be opened
constexpr int64_t ConfirmWholeBookSize = 500000;  // a larger plain text opened whole asks first
constexpr int32_t MinPieceSize = 10000;
constexpr int32_t MaxPieceSize = 500000;
constexpr int32_t DefaultPieceSize = 50000;
constexpr int32_t PieceOverlap = 20;              // bytes read again in front of a piece

// ---- Texts ----
inline constexpr const char *EndOfBookMarker = "***** End of Book *****";
inline constexpr const char *BookPathPatterns = "*.txt; *.rtf";
inline constexpr const char *NotValidBookText = "The book is not a valid text file, or it doesn't exist.";
inline constexpr const char *FileEmptyText = "File is empty.";
inline constexpr const char *LoadingHintText =
    "Large books require some time to be opened. If you think it takes too long then read the \"Dealing with "
    "slow opening\" topic from help. If the text is being enhanced you can close the program at any time (allow "
    "up to a second to perform).";
inline constexpr const char *FailedToLoadBookText = "Failed to load book.";
inline constexpr const char *FailedToLoadText = "Failed to load.";
inline constexpr const char *EmptyFileText = "Empty file.";
inline constexpr const char *NoBookOpenedText = "No book opened";
inline constexpr const char *ErrorFixFileName = "ErrorFix.rtf";
inline constexpr const char *WelcomeFileName = "Welcome.txt";

// "***** End of Piece n / N *****"
std::string EndOfPieceMarker(int32_t piece, int32_t count);
// The Warning for a book above MaxBookSize; formattedLimit is MaxBookSize with
// the locale's thousands separators.
std::string TooBigBookText(const std::string &formattedLimit);
// The Query before opening a large plain text whole; formattedLimit is
// ConfirmWholeBookSize formatted.
std::string ConfirmWholeBookText(const std::string &formattedLimit);
// "1 piece" / "N pieces" for a pieces list of the given number of items.
std::string PiecesLabelText(int32_t itemCount);
// The information label: "\"name\" (in \"directory\")" + " (extra)", or "No book opened".
std::string CurrentFileInfoText(const std::string &path, const std::string &extra);

// ---- The open book ----
using TBookClock = std::chrono::steady_clock;

struct BookState {
  std::string Path;                            // full path of the open (or last refused) book
  int32_t PieceSizeInUse = DefaultPieceSize;   // bytes
  std::vector<std::string> Pieces;             // items of the pieces list, "1" to "N"
  int32_t CurrentPiece = 0;                    // 1-based selected item, 0 when none
  bool Modified = false;
  bool Closing = false;
  bool Shown = false;  // the last load put the book into the box (not a refusal or a failure)
  std::string Language;  // guessed at load from the opening of the text ("en", "fr" ...; "" unknown)
  TBookClock::time_point TotalTimerStart{};    // the current load
  TBookClock::time_point ProgressTimerStart{}; // last progress report
  bool TimersRunning = false;
  TBookClock::time_point TotalTimerStop{};

  int32_t PieceCount() const { return static_cast<int32_t>(Pieces.size()); }
  void StartTimers();
  void StopTimers();
  double TotalSeconds() const;
  double SecondsSinceProgress() const;
};

// ---- Piece arithmetic ----
// The smallest whole number not below size ÷ pieceSize (0 for an empty file).
int32_t PieceCountFor(int64_t size, int32_t pieceSize);
// First byte of piece n (1-based): max(0, (n − 1) × S − 20).
int64_t PieceStart(int32_t piece, int32_t pieceSize);
// Bytes read for a piece: S + 20, fewer at the end of the file.
int64_t PieceLength(int32_t piece, int32_t pieceSize, int64_t fileSize);
// The piece a request leads to: outside 1..count gives 1.
int32_t ClampPiece(int32_t piece, int32_t count);

// ---- Paths ----
// Matches the file name against "*.txt; *.rtf", letter case ignored.
bool MatchesBookPatterns(const std::string &path);
// Not empty, not a directory, and a book pattern.
bool IsValidBookPath(const std::string &path);
bool HasRtfExtension(const std::string &path);

// ---- Reading the file ----
// Reads length bytes from offset (fewer at the end). False on failure with
// errorCode set to the system's error number. With keepAlive, a large read is
// made a slice at a time, keepAlive called between slices; when it answers
// false the read stops there (true, with the bytes read so far).
bool ReadFileBytes(const std::string &path, int64_t offset, int64_t length, std::string &bytes, int32_t &errorCode,
                   const std::function<bool()> &keepAlive = {});
// The file size in bytes, or −1 with errorCode set.
int64_t FileSizeOf(const std::string &path, int32_t &errorCode);
// Whether the path (the file system's bytes) names a regular file.
bool IsRegularFile(const std::string &path);

// ---- Decoding ----
enum class TTextEncoding { Utf8, Windows1252 };

// Decides the encoding: a UTF-8 byte-order mark, or bytes that are valid UTF-8,
// mean UTF-8; anything else is code page 1252. With piece set, a UTF-8
// sequence cut at either edge does not count against UTF-8.
TTextEncoding DetectEncoding(std::string_view bytes, bool piece);
// The bytes as text: up to the first NUL byte, without a byte-order mark; a
// piece drops a UTF-8 sequence broken at its edges. Bytes that begin with a
// UTF-16 mark are UTF-16 (DecodeUtf16).
std::u16string DecodeBookBytes(std::string_view bytes, bool piece);
std::u16string DecodeWindows1252(std::string_view bytes);
// Lines split at CR LF, CR or LF; a line end at the very end adds no empty line.
std::vector<std::u16string> SplitLines(std::u16string_view text);
// DecodeBookBytes + SplitLines.
std::vector<std::u16string> BookBytesToLines(std::string_view bytes, bool piece);

// ---- UTF-16 ----
// What a file's first two bytes say: FF FE is UTF-16 little-endian, FE FF
// big-endian; anything else is no UTF-16.
enum class TUtf16Mark { None, LittleEndian, BigEndian };
TUtf16Mark Utf16MarkOf(std::string_view firstBytes);
// UTF-16 bytes read from a file at offset (a piece may begin on either byte of
// a character) as text, up to the first NUL character, without the mark; a
// piece drops the half of a character or surrogate pair cut at its edges.
std::u16string DecodeUtf16(std::string_view bytes, TUtf16Mark mark, int64_t offset, bool piece);
// BookBytesToLines for bytes read at offset from a file whose first bytes gave
// mark: UTF-16 when the mark says so, else as BookBytesToLines.
std::vector<std::u16string> BookBytesToLines(std::string_view bytes, bool piece, TUtf16Mark mark, int64_t offset);

// ---- End markers ----
// Drops trailing blank lines and old book end markers (never the first line),
// then appends an empty line and the marker of the piece.
void AddEndMarker(std::vector<std::u16string> &lines, int32_t piece, int32_t count);
void AddEndMarker(TTextLines &lines, int32_t piece, int32_t count);
// BookBytesToLines of a whole book into one buffer (see TextLines.h).
// keepAlive, when given, is called between slices of the decoding; when it
// answers false the decoding stops and the result is empty.
TTextLines BookBytesToTextLines(std::string_view bytes, const std::function<bool()> &keepAlive = {});
