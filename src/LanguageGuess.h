// Guesses the language of a book from the opening of its text.
//
// The guess counts, for each known language, the share of the words of the
// text that are among that language's most common short words ("the", "and",
// "of" for English; "le", "et", "les" for French ...). The language with the
// largest share wins when that share is large enough and clearly ahead of the
// next language; otherwise the text counts as unknown or mixed.
#pragma once

#include <string>
#include <string_view>

namespace LanguageGuess {

// How much of a text the guess reads, in UTF-16 code units.
constexpr size_t GuessChars = 65536;

// The language tag ("en", "fr", "de", "es", "it", "ru", "pt") of the first
// GuessChars code units of text, or an empty string when the language is
// unknown or mixed.
std::string Guess(std::u16string_view text);

}  // namespace LanguageGuess
