// Hyphenation points by libhyphen patterns (see Hyphenator.h).
#include "Hyphenator.h"

#include <hyphen.h>

#include <QFile>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <future>
#include <map>
#include <mutex>
#include <thread>

namespace {

// Pattern files of each language, the first one present is used.
const std::map<std::string, std::vector<const char *>> &PatternFiles() {
  // Never destroyed, as the patterns loaded (see Loaded).
  static const auto &files = *new std::map<std::string, std::vector<const char *>>{
      {"en", {"hyph_en_US.dic", "hyph_en_GB.dic", "hyph_en.dic"}},
      {"fr", {"hyph_fr.dic", "hyph_fr_FR.dic"}},
      {"de", {"hyph_de_DE.dic", "hyph_de.dic", "hyph_de_AT.dic", "hyph_de_CH.dic"}},
      {"es", {"hyph_es_ES.dic", "hyph_es.dic"}},
      {"it", {"hyph_it_IT.dic", "hyph_it.dic"}},
      {"pt", {"hyph_pt_PT.dic", "hyph_pt_BR.dic", "hyph_pt.dic"}},
      {"ru", {"hyph_ru_RU.dic", "hyph_ru.dic"}},
  };
  return files;
}

// Lower-case Cyrillic letters in KOI8-R, from U+0430 (а) to U+044F (я).
constexpr unsigned char Koi8rLower[32] = {0xC1, 0xC2, 0xD7, 0xC7, 0xC4, 0xC5, 0xD6, 0xDA, 0xC9, 0xCA, 0xCB,
                                          0xCC, 0xCD, 0xCE, 0xCF, 0xD0, 0xD2, 0xD3, 0xD4, 0xD5, 0xC6, 0xC8,
                                          0xC3, 0xDE, 0xDB, 0xDD, 0xDF, 0xD9, 0xD8, 0xDC, 0xC0, 0xD1};

bool IsWordLetter(QChar c) { return c.isLetter() || c.isMark(); }

// A run that no break may go into: a number, a URL, an e-mail address, a word
// already holding a hyphen.
bool RunRefused(QStringView run) {
  for (QChar c : run) {
    const char16_t u = c.unicode();
    if (c.isDigit() || u == u'@' || u == u'/' || u == u'\\' || u == u'-' || u == 0x00AD || u == 0x2010 ||
        u == 0x2011 || u == u'_' || u == u'=')
      return true;
  }
  return run.contains(u"www.", Qt::CaseInsensitive);
}

}  // namespace

QString THyphenator::PatternDir() {
  const QByteArray dir = qgetenv("PAGELUME_HYPHEN_DIR");
  return dir.isEmpty() ? QStringLiteral("/usr/share/hyphen") : QString::fromLocal8Bit(dir);
}

THyphenator *THyphenator::Load(const std::string &tag) {
  auto files = PatternFiles().find(tag);
  if (files == PatternFiles().end())
    return nullptr;
  for (const char *name : files->second) {
    const QString path = PatternDir() + '/' + QString::fromLatin1(name);
    if (!QFile::exists(path))
      continue;
    if (HyphenDict *dict = hnj_hyphen_load(QFile::encodeName(path).constData()))
      return new THyphenator(dict);
  }
  return nullptr;
}

namespace {
// The patterns of each language asked for, loaded or being loaded. Kept for
// the life of the program and never destroyed: a load on a thread of its own
// may still run while the program ends.
std::mutex LoadedGuard;
std::map<std::string, std::shared_future<const THyphenator *>> &Loaded() {
  static auto *loaded = new std::map<std::string, std::shared_future<const THyphenator *>>;
  return *loaded;
}
}  // namespace

const THyphenator *THyphenator::ForLanguage(const std::string &tag) {
  std::shared_future<const THyphenator *> loading;  // by another thread, or done
  std::promise<const THyphenator *> promise;
  {
    std::lock_guard lock(LoadedGuard);
    auto [at, added] = Loaded().try_emplace(tag);
    if (added)
      at->second = promise.get_future().share();
    else
      loading = at->second;
  }
  if (loading.valid())
    return loading.get();
  const THyphenator *result = Load(tag);
  promise.set_value(result);
  return result;
}

void THyphenator::LoadInBackground(const std::string &tag) {
  if (PatternFiles().count(tag) == 0)
    return;
  std::thread([tag] { ForLanguage(tag); }).detach();
}

THyphenator::THyphenator(_HyphenDict *dict) : Dict(dict) {
  const std::string cset = dict->cset;
  if (dict->utf8 || cset.rfind("UTF-8", 0) == 0)
    Charset = TCharset::Utf8;
  else if (cset.rfind("KOI8-R", 0) == 0)
    Charset = TCharset::Koi8r;
  else
    Charset = TCharset::Latin1;
  Before = std::max<int>(MinBefore, dict->lhmin);
  After = std::max<int>(MinAfter, dict->rhmin);
}

THyphenator::~THyphenator() { hnj_hyphen_free(Dict); }

bool THyphenator::Encode(QStringView word, std::string &bytes) const {
  bytes.clear();
  if (Charset == TCharset::Utf8) {
    const QString lower = word.toString().toLower();
    if (lower.size() != word.size())  // the marks count letters of the word as given
      return false;
    bytes = lower.toStdString();
    return true;
  }
  for (QChar c : word) {
    const char16_t u = c.toLower().unicode();
    if (Charset == TCharset::Latin1) {
      if (u > 0xFF)
        return false;
      bytes.push_back(char(u));
    } else if (u < 0x80) {
      bytes.push_back(char(u));
    } else if (u >= 0x430 && u <= 0x44F) {
      bytes.push_back(char(Koi8rLower[u - 0x430]));
    } else if (u == 0x451) {  // ё
      bytes.push_back(char(0xA3));
    } else {
      return false;
    }
  }
  return true;
}

void THyphenator::WordPoints(QStringView word, int offset, std::vector<int> &points) const {
  constexpr int MaxWord = 64;
  if (word.size() < MinWordLetters || word.size() > MaxWord)
    return;
  const QString key = word.toString();
  auto seen = Seen.constFind(key);
  if (seen == Seen.constEnd()) {
    std::vector<int> found;
    Apply(word, found);
    if (Seen.size() > 200000)
      Seen.clear();
    seen = Seen.insert(key, std::vector<uint8_t>(found.begin(), found.end()));
  }
  for (uint8_t p : *seen)
    points.push_back(offset + p);
}

void THyphenator::Apply(QStringView word, std::vector<int> &points) const {
  for (QChar c : word)
    if (c.isSurrogate())
      return;
  std::string bytes;
  if (!Encode(word, bytes))
    return;
  std::vector<char> marks(bytes.size() + 5, 0);
  char **rep = nullptr;
  int *pos = nullptr, *cut = nullptr;
  // The marks are by letter (libhyphen counts a UTF-8 letter once): an odd
  // mark at i allows a break after letter i.
  if (hnj_hyphen_hyphenate3(Dict, bytes.data(), int(bytes.size()), marks.data(), nullptr, &rep, &pos, &cut, Before,
                            After, Before, After) == 0) {
    const int letters = int(word.size());
    for (int i = Before - 1; i < letters - After; ++i)
      // A break that changes the spelling (German "ck" to "k-k") is not taken.
      if ((marks[size_t(i)] & 1) && !(rep && rep[i]))
        points.push_back(i + 1);
  }
  if (rep) {
    for (size_t i = 0; i < bytes.size(); ++i)
      std::free(rep[i]);
    std::free(rep);
  }
  std::free(pos);
  std::free(cut);
}

void THyphenator::Points(QStringView text, std::vector<int> &points) const {
  const qsizetype n = text.size();
  qsizetype i = 0;
  while (i < n) {
    while (i < n && text[i].isSpace())
      ++i;
    qsizetype end = i;
    while (end < n && !text[end].isSpace())
      ++end;
    const QStringView run = text.mid(i, end - i);
    if (run.size() >= MinWordLetters && !RunRefused(run)) {
      for (qsizetype k = 0; k < run.size();) {
        while (k < run.size() && !IsWordLetter(run[k]))
          ++k;
        qsizetype w = k;
        while (w < run.size() && IsWordLetter(run[w]))
          ++w;
        if (w > k)
          WordPoints(run.mid(k, w - k), int(i + k), points);
        k = w;
      }
    }
    i = end;
  }
}

QString THyphenator::WithSoftHyphens(QStringView text, const std::vector<int> &points) {
  QString result;
  result.reserve(text.size() + qsizetype(points.size()));
  qsizetype from = 0;
  for (int p : points) {
    result.append(text.mid(from, p - from));
    result.append(QChar(SoftHyphen));
    from = p;
  }
  result.append(text.mid(from));
  return result;
}
