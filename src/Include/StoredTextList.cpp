#include "StoredTextList.h"

#include "Dialogs.h"
#include "Error.h"
#include "File.h"
#include "RtfReader.h"
#include "Utilities.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QString>
#include <algorithm>
#include <cerrno>
#include <cstring>

std::function<void()> TStoredTextList::MidWriteHook;

// ---- UTF-8 helpers ----

namespace {

// Decodes one code point at i (advancing i); an invalid sequence yields the
// byte itself (only reached on text that is not valid UTF-8).
char32_t NextCodePoint(std::string_view s, std::size_t &i) {
  const auto b = static_cast<unsigned char>(s[i]);
  const int extra = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : 0;
  bool whole = extra > 0 && i + extra < s.size();
  for (int k = 1; whole && k <= extra; ++k)
    whole = (static_cast<unsigned char>(s[i + k]) & 0xC0) == 0x80;
  if (!whole) {
    ++i;
    return b;
  }
  char32_t c = b & (0x3F >> extra);
  for (int k = 1; k <= extra; ++k)
    c = (c << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
  i += extra + 1;
  return c;
}

char32_t FoldCase(char32_t c) {
  if (c >= 'A' && c <= 'Z')
    return c + 32;
  if (c < 0xC0)
    return c;
  if (c <= 0xDE && c != 0xD7)
    return c + 32;  // Latin-1 capitals
  if (c >= 0x100 && c <= 0x137)
    return c | 1;  // Latin Extended-A, even capitals
  if (c >= 0x139 && c <= 0x148)
    return (c & 1) ? c + 1 : c;
  if (c >= 0x14A && c <= 0x177)
    return c | 1;
  if (c == 0x178)
    return 0xFF;
  if (c >= 0x179 && c <= 0x17E)
    return (c & 1) ? c + 1 : c;
  if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2)
    return c + 32;  // Greek
  if (c >= 0x410 && c <= 0x42F)
    return c + 32;  // Cyrillic
  if (c >= 0x400 && c <= 0x40F)
    return c + 80;
  return c;
}

void AppendUtf8(std::string &out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
    s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
    s.remove_suffix(1);
  return s;
}

}  // namespace

bool IsValidUtf8(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const auto b = static_cast<unsigned char>(s[i]);
    if (b < 0x80) {
      ++i;
      continue;
    }
    int extra;
    char32_t minimum;
    if (b >= 0xC2 && b <= 0xDF) {
      extra = 1;
      minimum = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
      extra = 2;
      minimum = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
      extra = 3;
      minimum = 0x10000;
    } else {
      return false;
    }
    if (i + extra >= s.size())
      return false;
    char32_t c = b & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
      const auto t = static_cast<unsigned char>(s[i + k]);
      if ((t & 0xC0) != 0x80)
        return false;
      c = (c << 6) | (t & 0x3F);
    }
    if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
      return false;
    i += extra + 1;
  }
  return true;
}

std::size_t Utf8Length(std::string_view text) {
  std::size_t n = 0;
  for (char ch : text)
    if ((static_cast<unsigned char>(ch) & 0xC0) != 0x80)
      ++n;
  return n;
}

bool SameTextNoCase(std::string_view a, std::string_view b) {
  // Every fold above maps a letter to one of the same encoded length.
  if (a.size() != b.size())
    return false;
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size())
    if (FoldCase(NextCodePoint(a, i)) != FoldCase(NextCodePoint(b, j)))
      return false;
  return i == a.size() && j == b.size();
}

std::string SettingsBytesToText(std::string_view bytes) {
  if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF")
    bytes.remove_prefix(3);
  if (IsValidUtf8(bytes))
    return std::string(bytes);
  std::string text;
  text.reserve(bytes.size() + bytes.size() / 4);
  for (char ch : bytes)
    AppendUtf8(text, Cp1252ToUnicode(static_cast<uint8_t>(ch)));
  return text;
}

bool ParseStoredInteger(std::string_view text, int32_t &value) {
  const std::string_view s = TrimBlanks(text);
  std::string_view hex;
  if (!s.empty() && s.front() == '$')
    hex = s.substr(1);
  else if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X'))
    hex = s.substr(2);
  if (hex.data() != nullptr) {
    if (hex.empty() || hex.size() > 8)
      return false;
    uint32_t v = 0;
    for (char ch : hex) {
      int d;
      if (ch >= '0' && ch <= '9')
        d = ch - '0';
      else if (ch >= 'a' && ch <= 'f')
        d = ch - 'a' + 10;
      else if (ch >= 'A' && ch <= 'F')
        d = ch - 'A' + 10;
      else
        return false;
      v = (v << 4) | static_cast<uint32_t>(d);
    }
    value = static_cast<int32_t>(v);
    return true;
  }
  try {
    value = TextToInt(std::string(s));
    return true;
  } catch (const std::exception &) {
    return false;
  }
}

// ---- TIniDocument ----

namespace {

constexpr std::size_t NotFound = std::string_view::npos;

// A hash of the text's letters folded as SameTextNoCase folds them: texts
// equal without regard to case have equal hashes.
uint32_t FoldedHash(std::string_view text) {
  uint32_t h = 2166136261u;
  for (std::size_t i = 0; i < text.size();) {
    const auto b = static_cast<unsigned char>(text[i]);
    char32_t c;
    if (b < 0x80) {
      c = b >= 'A' && b <= 'Z' ? b + 32 : b;
      ++i;
    } else {
      c = FoldCase(NextCodePoint(text, i));
    }
    h = (h ^ static_cast<uint32_t>(c)) * 16777619u;
  }
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  return h ^ (h >> 12);
}

using TNameIndex = TIniDocument::TNameIndex;

template <class TNameOf>
std::size_t IndexFind(const TNameIndex &index, std::string_view name, uint32_t hash, TNameOf nameOf) {
  if (index.Slots.empty())
    return NotFound;
  const std::size_t mask = index.Slots.size() - 1;
  for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
    const TNameIndex::TSlot &slot = index.Slots[i];
    if (slot.Position == 0)
      return NotFound;
    if (slot.Hash == hash && SameTextNoCase(nameOf(slot.Position - 1), name))
      return slot.Position - 1;
  }
}

void IndexPlace(TNameIndex &index, TNameIndex::TSlot slot) {
  const std::size_t mask = index.Slots.size() - 1;
  std::size_t i = slot.Hash & mask;
  while (index.Slots[i].Position != 0)
    i = (i + 1) & mask;
  index.Slots[i] = slot;
}

void IndexAdd(TNameIndex &index, uint32_t hash, std::size_t place) {
  if ((index.Count + 1) * 2 > index.Slots.size()) {
    std::vector<TNameIndex::TSlot> old = std::move(index.Slots);
    index.Slots.assign(std::max<std::size_t>(16, old.size() * 2), TNameIndex::TSlot{0, 0});
    for (const TNameIndex::TSlot &slot : old)
      if (slot.Position != 0)
        IndexPlace(index, slot);
  }
  IndexPlace(index, {static_cast<uint32_t>(place + 1), hash});
  ++index.Count;
}

}  // namespace

void TIniDocument::Clear() {
  Items.clear();
  SectionIndex = {};
  KeyIndex.clear();
}

const TIniDocument::TSection *TIniDocument::FindSection(std::string_view name) const {
  const std::size_t at = IndexFind(SectionIndex, name, FoldedHash(name),
                                   [this](std::size_t i) -> std::string_view { return Items[i].Name; });
  return at == NotFound ? nullptr : &Items[at];
}

TIniDocument::TSection &TIniDocument::SectionFor(std::string_view name, std::size_t &index) {
  const uint32_t hash = FoldedHash(name);
  index = IndexFind(SectionIndex, name, hash, [this](std::size_t i) -> std::string_view { return Items[i].Name; });
  if (index == NotFound) {
    index = Items.size();
    Items.push_back({std::string(name), {}});
    KeyIndex.emplace_back();
    IndexAdd(SectionIndex, hash, index);
  }
  return Items[index];
}

std::size_t TIniDocument::KeyPlace(std::size_t section, std::string_view key, uint32_t hash) const {
  const std::vector<TEntry> &entries = Items[section].Entries;
  return IndexFind(KeyIndex[section], key, hash, [&entries](std::size_t i) -> std::string_view { return entries[i].Key; });
}

void TIniDocument::Parse(std::string_view text) {
  Clear();
  TSection *current = nullptr;
  std::size_t index = 0;
  std::size_t pos = 0;
  while (pos <= text.size()) {
    std::size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string_view::npos)
      end = text.size();
    const std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    if (end < text.size() && text[end] == '\r' && pos < text.size() && text[pos] == '\n')
      ++pos;

    if (line.empty() || line.front() == ';')
      continue;
    if (line.front() == '[' && line.size() >= 2 && line.back() == ']') {
      current = &SectionFor(line.substr(1, line.size() - 2), index);
      continue;
    }
    if (!current)
      continue;
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos)
      continue;
    const std::string_view key = line.substr(0, eq);
    // The first of two equal keys counts.
    const uint32_t hash = FoldedHash(key);
    if (KeyPlace(index, key, hash) == NotFound) {
      IndexAdd(KeyIndex[index], hash, current->Entries.size());
      current->Entries.push_back({std::string(key), std::string(line.substr(eq + 1))});
    }
  }
}

std::string TIniDocument::Text() const {
  auto clean = [](const std::string &s) {
    std::string out = s;
    for (char &ch : out)
      if (ch == '\r' || ch == '\n')
        ch = ' ';
    return out;
  };
  std::string out;
  for (const TSection &s : Items) {
    out += '[';
    out += clean(s.Name);
    out += "]\r\n";
    for (const TEntry &e : s.Entries)
      out += clean(e.Key) + "=" + clean(e.Value) + "\r\n";
    out += "\r\n";
  }
  return out;
}

const std::string *TIniDocument::Find(std::string_view section, std::string_view key) const {
  const TSection *s = FindSection(section);
  if (!s)
    return nullptr;
  const std::size_t at = KeyPlace(static_cast<std::size_t>(s - Items.data()), key, FoldedHash(key));
  return at == NotFound ? nullptr : &s->Entries[at].Value;
}

void TIniDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
  std::size_t index = 0;
  TSection &s = SectionFor(section, index);
  const uint32_t hash = FoldedHash(key);
  const std::size_t at = KeyPlace(index, key, hash);
  if (at != NotFound) {
    s.Entries[at].Value = std::string(value);
    return;
  }
  IndexAdd(KeyIndex[index], hash, s.Entries.size());
  s.Entries.push_back({std::string(key), std::string(value)});
}

bool TIniDocument::HasSection(std::string_view section) const { return FindSection(section) != nullptr; }

// ---- TStoredTextList ----

namespace {
QString Q(const std::string &s) { return QString::fromStdString(s); }

const char *const LoadFailedText = "Failed to load file.";
const char *const SaveFailedText = "Failed to save file.";
}  // namespace

TStoredTextList::TStoredTextList(const std::string &fileName) : FileName(fileName) {}

bool TStoredTextList::ReadDocument(std::string &errorText, int32_t &errorCode) {
  auto document = std::make_unique<TIniDocument>();
  const QString path = Q(FileName);
  QFileInfo info(path);
  if (!FileName.empty() && FileName == Pending.Path) {
    // The file as the kept write leaves it.
    document->Parse(SettingsBytesToText(Pending.Text));
  } else if (!FileName.empty() && info.exists()) {
    if (info.isDir()) {
      errorText = "Is a directory.";
      errorCode = EISDIR;
      return false;
    }
    // A pipe or device could block the program or never end.
    if (!IsRegularFile(path)) {
      errorText = "Not a regular file.";
      errorCode = EINVAL;
      return false;
    }
    if (info.size() > MaxFileSize) {
      errorText = "The file is too large.";
      errorCode = EFBIG;
      return false;
    }
    QFile file;
    errno = 0;
    if (!OpenRegularFile(file, path)) {
      errorCode = errno ? errno : EACCES;
      errorText = std::strerror(errorCode);
      return false;
    }
    // A file that grew since is not read without limit either.
    const QByteArray bytes = file.read(MaxFileSize + 1);
    if (bytes.size() > MaxFileSize) {
      errorText = "The file is too large.";
      errorCode = EFBIG;
      return false;
    }
    if (file.error() != QFileDevice::NoError) {
      errorText = file.errorString().toStdString();
      errorCode = EIO;
      return false;
    }
    document->Parse(SettingsBytesToText(std::string_view(bytes.constData(), bytes.size())));
  }
  Document = std::move(document);
  return true;
}

bool TStoredTextList::Load() {
  OP_BEGIN("TStoredTextList::Load");
  struct TLoadingFlag {
    bool &Flag;
    explicit TLoadingFlag(bool &flag) : Flag(flag) { Flag = true; }
    ~TLoadingFlag() { Flag = false; }
  } loading(Loading);
  bool result = false;
  std::string reason;
  int32_t code = 0;
  OP_TRY {
    Document.reset();
    if (!ReadDocument(reason, code)) {
      OP_RAISE(LoadFailedText, FileName, reason, code);
    } else {
      if (OnLoad) {
        FunStatContext.Reset();
        OnLoad(*this);
        if (OP_ADOPT())
          OP_RAISE(LoadFailedText, FileName, FunStatContext.Description);
      }
      if (!OP_FAILED()) {
        Modified = false;
        result = true;
      }
    }
  }
  catch (const std::exception &e) {
    OP_RAISE(LoadFailedText, FileName, e.what());
  }
  catch (...) {
    OP_RAISE(LoadFailedText, FileName, "Unhandled generic exception.");
  }
  if (!result) {
    if (!Document)
      Document = std::make_unique<TIniDocument>();
    if (OnLoadFailed) {
      try {
        OnLoadFailed();
      } catch (...) {
      }
    }
  }
  return result;
}

bool TStoredTextList::Load(const std::string &fileName) {
  FileName = fileName;
  return Load();
}

namespace {

// Whether the regular file at path holds exactly text.
bool HoldsText(const QString &path, const std::string &text) {
  QFile file(path);
  const QFileInfo info(path);
  if (!info.isFile() || info.size() != static_cast<qint64>(text.size()) || !file.open(QIODevice::ReadOnly))
    return false;
  const QByteArray bytes = file.readAll();
  return bytes.size() == static_cast<qsizetype>(text.size()) &&
         std::memcmp(bytes.constData(), text.data(), text.size()) == 0;
}

// Writes text over the file at path as a whole; false with the reason when
// the old file stays.
bool WriteWhole(const QString &path, const std::string &text, QString &reason) {
  return SaveFileSafely(
      path,
      [&text](QIODevice &device) {
        const qint64 half = static_cast<qint64>(text.size() / 2);
        if (device.write(text.data(), half) != half)
          return false;
        if (TStoredTextList::MidWriteHook) {
          if (auto *file = dynamic_cast<QFileDevice *>(&device))
            file->flush();
          TStoredTextList::MidWriteHook();
        }
        const qint64 rest = static_cast<qint64>(text.size()) - half;
        return device.write(text.data() + half, rest) == rest;
      },
      &reason);
}

}  // namespace

bool TStoredTextList::Save(bool askOverwrite) { return Store(askOverwrite, false); }

bool TStoredTextList::SaveLater() { return Store(false, true); }

bool TStoredTextList::Store(bool askOverwrite, bool later) {
  OP_BEGIN("TStoredTextList::Save");
  bool result = false;
  OP_TRY {
    const QString path = Q(FileName);
    if (askOverwrite && !FileName.empty() && QFileInfo::exists(path) &&
        !Query("File \"" + path + "\"already exists.\nOverwrite it?"))
      return false;
    if (OnSave) {
      // A failure the owner shows itself (such as a profile saved on the
      // way) does not stop this save; an exception does.
      OnSave(*this);
      FunStatContext.Reset();
    }
    if (!Document) {
      OP_RAISE(SaveFailedText, FileName, "No document.");
      return false;
    }
    std::string text = Document->Text();
    // An older kept write: superseded by this one when it is for the same
    // file, else made now.
    bool earlier = true;
    if (Pending.Path == FileName) {
      Pending.Path.clear();
      Pending.Text.clear();
    } else if (later && !Pending.Path.empty()) {
      earlier = WritePending();
    }
    // A file that holds the text already stays as it is: the safe save's
    // waits for the disk cost more than the comparison, at every book change.
    if (HoldsText(path, text)) {
      Modified = false;
      return earlier;
    }
    if (later) {
      Pending.Path = FileName;
      Pending.Text = std::move(text);
      return earlier;
    }
    QString reason;
    if (!WriteWhole(path, text, reason)) {
      OP_RAISE(SaveFailedText, FileName, reason.toStdString());
      return false;
    }
    Modified = false;
    result = true;
  }
  catch (const std::exception &e) {
    OP_RAISE(SaveFailedText, FileName, e.what());
  }
  catch (...) {
    OP_RAISE(SaveFailedText, FileName, "Unhandled generic exception.");
  }
  return result;
}

bool TStoredTextList::WritePending() {
  if (Pending.Path.empty())
    return true;
  OP_BEGIN("TStoredTextList::Save");
  const std::string path = std::exchange(Pending.Path, std::string());
  const std::string text = std::exchange(Pending.Text, std::string());
  QString reason;
  if (WriteWhole(Q(path), text, reason))
    return true;
  OP_RAISE(SaveFailedText, path, reason.toStdString());
  return false;
}

TStoredTextList::~TStoredTextList() {
  if (!Pending.Path.empty()) {
    WritePending();
    FunStatContext.Reset();  // no one is left to show it
  }
}

bool TStoredTextList::SaveAs(const std::string &fileName, bool askOverwrite) {
  FileName = fileName;
  if (!Document) {
    std::string reason;
    int32_t code = 0;
    if (!ReadDocument(reason, code))
      Document = std::make_unique<TIniDocument>();  // the save replaces it anyway
  }
  return Save(askOverwrite);
}

void TStoredTextList::Clear() {
  if (Document)
    Document->Clear();
}

std::string TStoredTextList::Text() const { return Document ? Document->Text() : std::string(); }

const std::string *TStoredTextList::Find(std::string_view section, std::string_view key) const {
  return Document ? Document->Find(section, key) : nullptr;
}

// ---- Typed access ----

bool TStoredTextList::ReadString(std::string_view section, std::string_view key, std::string &value,
                                 bool acceptEmpty, std::size_t maxLength) {
  const std::string *stored = Find(section, key);
  if (!stored || (stored->empty() && !acceptEmpty) || Utf8Length(*stored) > maxLength)
    return false;
  value = *stored;
  return true;
}

void TStoredTextList::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  if (!Document)
    Document = std::make_unique<TIniDocument>();
  Document->Set(section, key, value);
  Modified = true;
}

bool TStoredTextList::ReadBool(std::string_view section, std::string_view key, bool &value) {
  const std::string *stored = Find(section, key);
  if (!stored)
    return false;
  value = TextToBool(*stored);
  return true;
}

void TStoredTextList::WriteBool(std::string_view section, std::string_view key, bool value) {
  WriteString(section, key, BoolToText(value));
}

bool TStoredTextList::ReadInteger(std::string_view section, std::string_view key, int32_t &value, int32_t minimum,
                                  int32_t maximum) {
  const std::string *stored = Find(section, key);
  int32_t number = 0;
  if (!stored || !ParseStoredInteger(*stored, number) || number < minimum || number > maximum)
    return false;
  value = number;
  return true;
}

void TStoredTextList::WriteInteger(std::string_view section, std::string_view key, int32_t value) {
  WriteString(section, key, std::to_string(value));
}

bool TStoredTextList::ReadColor(std::string_view section, std::string_view key, uint32_t &value) {
  const std::string *stored = Find(section, key);
  if (!stored)
    return false;
  value = TextToColor(*stored);  // throws on a text that is no colour
  return true;
}

void TStoredTextList::WriteColor(std::string_view section, std::string_view key, uint32_t value) {
  WriteString(section, key, std::to_string(value));
}
