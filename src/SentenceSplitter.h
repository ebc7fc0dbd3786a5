// Splitting text into the sentences a voice reads one at a time, and the words
// of a sentence as the voice should get them. Plain C++: positions are UTF-16
// code units of the text given.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct TSentence {
  int32_t Start = 0;
  int32_t Length = 0;
  // Closed by its own end (a full stop, !, ?, an ellipsis or a paragraph end);
  // false for the last piece of a text that stops in the middle of a sentence.
  bool Ended = false;
};

// A sentence ends after . ! ? or … (with the closing quotes and brackets that
// follow) when a blank follows, and at every paragraph end (CR, LF, U+2029).
// It does not end after a title such as "Mr." or "Dr.", after an initial
// ("J. Smith"), or where the next word begins with a small letter ("etc. and",
// "\"Go!\" he said"). A sentence longer than MaxSentenceLength is cut at a
// comma, semicolon, colon or blank before that length. Blanks and paragraph
// ends between sentences belong to none.
inline constexpr int32_t MaxSentenceLength = 600;
std::vector<TSentence> SplitSentences(std::u16string_view text);

// The words to say: empty for a formatting-command line (a paragraph that
// begins with a circumflex) and for a sentence with no letter or digit;
// otherwise the text with runs of markup characters (* _ ^ ~ #) and a leading
// paragraph prefix (- or a middle dot) taken out and the blanks collapsed.
std::u16string SpokenText(std::u16string_view sentence);
