// Where long words may be broken at a line end, by the hyphenation patterns of
// a language (libhyphen with the system's pattern files).
//
// The points are only offered to the layout, as soft hyphens in a copy of the
// text it lays out: the document itself never holds one.
#pragma once

#include <QString>
#include <QStringView>
#include <QHash>
#include <memory>
#include <string>
#include <vector>

struct _HyphenDict;

class THyphenator {
public:
  // The soft hyphen the layout breaks at (and draws a hyphen glyph for).
  static constexpr char16_t SoftHyphen = 0x00AD;
  // Words shorter than this are never broken.
  static constexpr int MinWordLetters = 6;
  // Letters kept before and after a break, at the least.
  static constexpr int MinBefore = 2;
  static constexpr int MinAfter = 3;

  // The patterns of a language tag ("en", "fr" ...), loaded once and kept for
  // the life of the program; null when no patterns are installed for it.
  // Safe from any thread.
  static const THyphenator *ForLanguage(const std::string &tag);
  // Starts loading a language's patterns on a thread of its own (reading a
  // pattern file takes longer than laying out a page), so that a later
  // ForLanguage finds them ready.
  static void LoadInBackground(const std::string &tag);
  // The folder the pattern files are read from.
  static QString PatternDir();

  ~THyphenator();
  THyphenator(const THyphenator &) = delete;
  THyphenator &operator=(const THyphenator &) = delete;

  // Appends to points the offsets in text before which a word may be broken,
  // in increasing order. Only words of MinWordLetters letters or more get
  // points; a space-delimited run holding a digit, a hyphen, "@", "/" or "www."
  // (numbers, URLs, e-mail addresses, words already hyphenated) gets none.
  void Points(QStringView text, std::vector<int> &points) const;
  // The text with a soft hyphen before each point.
  static QString WithSoftHyphens(QStringView text, const std::vector<int> &points);

private:
  explicit THyphenator(_HyphenDict *dict);
  static THyphenator *Load(const std::string &tag);
  _HyphenDict *Dict;
  enum class TCharset { Utf8, Latin1, Koi8r } Charset;
  int Before = MinBefore, After = MinAfter;
  // The word (lower case) in the patterns' encoding; false when a letter has none.
  bool Encode(QStringView word, std::string &bytes) const;
  // The points of words already seen (offsets in the word): a book repeats
  // its words, and the patterns are slow to apply.
  mutable QHash<QString, std::vector<uint8_t>> Seen;
  void WordPoints(QStringView word, int offset, std::vector<int> &points) const;
  // The points of a word by the patterns (offsets in the word).
  void Apply(QStringView word, std::vector<int> &points) const;
};
