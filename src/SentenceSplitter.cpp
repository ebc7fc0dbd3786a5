#include "SentenceSplitter.h"

#include <algorithm>
#include <array>

namespace {

bool IsParagraphEnd(char16_t c) { return c == u'\r' || c == u'\n' || c == 0x2029; }
bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == 0xA0; }
bool IsTerminator(char16_t c) { return c == u'.' || c == u'!' || c == u'?' || c == 0x2026; }
bool IsCloser(char16_t c) {
  return c == u'"' || c == u'\'' || c == u')' || c == u']' || c == 0x201D || c == 0x2019 || c == 0xBB ||
         c == 0x203A;
}

bool IsLower(char16_t c) {
  if (c >= u'a' && c <= u'z')
    return true;
  if (c >= 0xDF && c <= 0xFF)
    return c != 0xF7;
  if (c >= 0x100 && c <= 0x17F)
    return (c & 1) != 0;  // Latin Extended-A alternates capital, small
  return (c >= 0x430 && c <= 0x45F);  // Cyrillic
}

bool IsUpper(char16_t c) {
  if (c >= u'A' && c <= u'Z')
    return true;
  if (c >= 0xC0 && c <= 0xDE)
    return c != 0xD7;
  if (c >= 0x100 && c <= 0x17F)
    return (c & 1) == 0;
  return (c >= 0x400 && c <= 0x42F);
}

bool IsLetter(char16_t c) { return IsLower(c) || IsUpper(c) || (c >= 0x370 && c < 0x2000); }
bool IsWordChar(char16_t c) { return IsLetter(c) || (c >= u'0' && c <= u'9'); }

// Words that end with a full stop without ending the sentence (compared as written).
bool IsAbbreviation(std::u16string_view word) {
  static const std::array<std::u16string_view, 26> words = {
      u"Mr", u"Mrs", u"Ms", u"Mssrs", u"Messrs", u"Dr", u"St", u"Jr", u"Sr", u"Prof", u"Gen", u"Col", u"Capt",
      u"Lt", u"Sgt", u"Rev", u"Hon", u"Gov", u"Mme", u"Mlle", u"Mmes", u"MM", u"No", u"Vol", u"vs", u"cf"};
  return std::find(words.begin(), words.end(), word) != words.end();
}

// Whether the full stop at dot ends a sentence, judged by the word before it.
bool StopAfterWord(std::u16string_view text, size_t dot) {
  size_t begin = dot;
  while (begin > 0 && IsLetter(text[begin - 1]))
    --begin;
  const std::u16string_view word = text.substr(begin, dot - begin);
  if (word.empty())
    return true;
  if (word.size() == 1 && IsUpper(word[0]))
    return false;  // an initial
  return !IsAbbreviation(word);
}

// Where a sentence too long to say at once is cut: after the last comma,
// semicolon or colon before the limit, else at the last blank, else at it.
size_t CutPoint(std::u16string_view text, size_t start, size_t limit) {
  for (size_t i = limit; i > start + 1; --i)
    if (text[i - 1] == u',' || text[i - 1] == u';' || text[i - 1] == u':')
      return i;
  for (size_t i = limit; i > start + 1; --i)
    if (IsBlank(text[i - 1]))
      return i;
  return limit;
}

}  // namespace

std::vector<TSentence> SplitSentences(std::u16string_view text) {
  std::vector<TSentence> sentences;
  const size_t n = text.size();
  size_t i = 0;
  auto add = [&](size_t start, size_t end, bool ended) {
    while (end > start && IsBlank(text[end - 1]))
      --end;
    if (end > start)
      sentences.push_back({int32_t(start), int32_t(end - start), ended});
  };
  while (i < n) {
    while (i < n && (IsBlank(text[i]) || IsParagraphEnd(text[i])))
      ++i;
    if (i >= n)
      break;
    const size_t start = i;
    bool done = false;
    while (i < n && !done) {
      const char16_t c = text[i];
      if (IsParagraphEnd(c)) {
        add(start, i, true);
        done = true;
        break;
      }
      if (i - start >= size_t(MaxSentenceLength)) {
        const size_t cut = CutPoint(text, start, i);
        add(start, cut, true);
        i = cut;
        done = true;
        break;
      }
      if (!IsTerminator(c)) {
        ++i;
        continue;
      }
      size_t end = i;
      while (end < n && IsTerminator(text[end]))
        ++end;
      const bool single = end == i + 1 && c == u'.';  // not "?", "!" or an ellipsis
      while (end < n && IsCloser(text[end]))
        ++end;
      if (end < n && !IsBlank(text[end]) && !IsParagraphEnd(text[end])) {
        i = end;  // "3.14", "e.g.x": inside a word
        continue;
      }
      size_t next = end;
      while (next < n && IsBlank(text[next]))
        ++next;
      const bool paragraphFollows = next >= n || IsParagraphEnd(text[next]);
      bool stop = paragraphFollows || !IsLower(text[next]);
      if (stop && single && !paragraphFollows)
        stop = StopAfterWord(text, i);
      if (!stop) {
        i = end;
        continue;
      }
      add(start, end, true);
      i = end;
      done = true;
    }
    if (!done)
      add(start, n, false);
  }
  return sentences;
}

std::u16string SpokenText(std::u16string_view sentence) {
  size_t first = 0;
  while (first < sentence.size() && (IsBlank(sentence[first]) || IsParagraphEnd(sentence[first])))
    ++first;
  if (first < sentence.size() && sentence[first] == u'^')
    return {};
  std::u16string out;
  bool blank = false;
  bool said = false;  // a letter or digit is in
  for (size_t i = first; i < sentence.size(); ++i) {
    char16_t c = sentence[i];
    const bool markup = c == u'*' || c == u'_' || c == u'^' || c == u'~' || c == u'#';
    const bool prefix = out.empty() && (c == u'-' || c == 0xB7 || c == 0x2022);
    if (markup || prefix || IsBlank(c) || IsParagraphEnd(c)) {
      blank = !out.empty();
      continue;
    }
    if (blank)
      out += u' ';
    blank = false;
    out += c;
    said = said || IsWordChar(c);
  }
  if (!said)
    return {};
  return out;
}
