// Language of a text by its common short words (see LanguageGuess.h).
#include "LanguageGuess.h"

#include <array>
#include <unordered_set>
#include <vector>

namespace {

struct TLanguage {
  const char *Tag;
  std::u16string_view Words;  // separated by single spaces
};

// The most frequent short words of each language. A word listed by several
// languages counts for each of them, so only the distinctive ones decide.
constexpr std::array<TLanguage, 7> Languages{{
    {"en", u"the and of to a in that is was he it with as his for had you not be her on at by which have from "
           u"this but they she were my all an we him been are or their said would there what so if one them "
           u"me when who will could into then"},
    {"fr", u"le la les de des et un une il elle est que qui dans pour pas ne au aux du en sur se ce son sa ses "
           u"avec mais plus lui je vous nous comme était avait fait tout cette ont été leur à où très bien"},
    {"de", u"der die das und ist nicht ein eine zu den dem von mit sich des auf für im auch es er sie ich war "
           u"hat wie wir aber noch nach wenn aus bei nur wird sein oder kann dass daß durch ihr hatte sind "
           u"einen einer über"},
    {"es", u"el los las del que y en un una por con para es se su al lo como más pero sus le ya fue este ha "
           u"sí porque muy sin sobre también me hasta donde quien desde todo nos era había cuando él ella "
           u"esta estaba"},
    {"it", u"il di che e la un una per non con del della sono si le da lo gli al nel ma come più anche questo "
           u"ha era alla dei delle mi ho io lui lei essere quando perché tutto fra ancora dopo"},
    {"pt", u"o os as de do da dos das em um uma que não para com por se ao mais na no mas foi ele ela seu sua "
           u"como muito também já está eu isso são pelo pela nos tem era quando"},
    {"ru", u"и в не на что он с как я его к она это но по так из у за было все же вы бы то мне был от они "
           u"меня еще нет о ты когда если уже для вот только"},
}};

// A share of a text's words below this is too few to name a language.
constexpr double MinShare = 0.15;
// The winner's share must be this many times the runner-up's.
constexpr double MinLead = 1.3;
// Fewer words than this are too few to judge.
constexpr size_t MinWords = 40;

bool IsLetter(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0x24F && c != 0xD7 && c != 0xF7) ||
         (c >= 0x400 && c <= 0x4FF);
}

char16_t Lower(char16_t c) {
  if ((c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7))
    return char16_t(c + 0x20);
  if (c >= 0x410 && c <= 0x42F)
    return char16_t(c + 0x20);
  if (c >= 0x400 && c <= 0x40F)
    return char16_t(c + 0x50);
  return c;
}

const std::vector<std::unordered_set<std::u16string_view>> &WordSets() {
  static const std::vector<std::unordered_set<std::u16string_view>> sets = [] {
    std::vector<std::unordered_set<std::u16string_view>> result;
    for (const TLanguage &language : Languages) {
      std::unordered_set<std::u16string_view> words;
      std::u16string_view rest = language.Words;
      while (!rest.empty()) {
        const size_t space = rest.find(u' ');
        words.insert(rest.substr(0, space));
        rest = space == std::u16string_view::npos ? std::u16string_view() : rest.substr(space + 1);
      }
      result.push_back(std::move(words));
    }
    return result;
  }();
  return sets;
}

}  // namespace

namespace LanguageGuess {

std::string Guess(std::u16string_view text) {
  text = text.substr(0, GuessChars);
  const auto &sets = WordSets();
  std::array<size_t, Languages.size()> hits{};
  size_t words = 0;
  std::u16string word;
  auto finish = [&] {
    if (word.empty())
      return;
    ++words;
    for (size_t i = 0; i < sets.size(); ++i)
      if (sets[i].count(word))
        ++hits[i];
    word.clear();
  };
  for (char16_t c : text) {
    if (IsLetter(c))
      word.push_back(Lower(c));
    else
      finish();
  }
  finish();
  if (words < MinWords)
    return {};
  size_t best = 0, second = 0;
  for (size_t i = 1; i < hits.size(); ++i)
    if (hits[i] > hits[best])
      best = i;
  for (size_t i = 0; i < hits.size(); ++i)
    if (i != best && hits[i] > second)
      second = hits[i];
  if (double(hits[best]) < MinShare * double(words) || double(hits[best]) < MinLead * double(second))
    return {};
  return Languages[best].Tag;
}

}  // namespace LanguageGuess
