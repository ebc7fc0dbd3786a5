// The program's one persistence object: an INI document held in memory, bound
// to a file, with typed reads that keep the caller's value unless the stored
// text is acceptable, typed writes, and load and save steps that call back into
// the owner (who decides every key).
//
// Text is UTF-8 in memory. Files are written as UTF-8 without a byte-order
// mark, with CR LF line ends; they are read as UTF-8 when the bytes are valid
// UTF-8 (a byte-order mark is skipped), else as code page 1252 (files written
// by older copies of the program).
//
// This header is plain C++: the file input and output, the overwrite question
// and the status reports live in the .cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <string_view>
#include <vector>

// Compares two UTF-8 texts without regard to letter case (ASCII, Latin-1,
// Latin Extended-A, Greek and Cyrillic letters fold; other characters are
// compared as they are).
bool SameTextNoCase(std::string_view a, std::string_view b);
// Number of characters (code points) of a UTF-8 text.
std::size_t Utf8Length(std::string_view text);
// Whether the bytes are valid UTF-8.
bool IsValidUtf8(std::string_view bytes);
// File bytes as UTF-8 text: a UTF-8 byte-order mark is dropped; bytes that are
// not valid UTF-8 are taken as code page 1252.
std::string SettingsBytesToText(std::string_view bytes);

// The INI document: ordered sections of ordered key-value entries. Section and
// key names are matched without regard to letter case; nothing is trimmed.
class TIniDocument {
public:
  struct TEntry {
    std::string Key;
    std::string Value;
  };
  struct TSection {
    std::string Name;
    std::vector<TEntry> Entries;
  };

  // Reads the text: empty lines and lines beginning with ";" are skipped, and
  // so are lines before the first section line and lines without "=". A
  // section line begins with "[" and ends with "]"; an entry line is the key
  // before the first "=" and the value after it. The first of two equal keys
  // counts; a section named twice continues the first one. Lines end with
  // CR LF, LF or CR.
  void Parse(std::string_view text);
  // The document as written: "[name]", then "key=value" lines, then an empty
  // line, for every section; CR LF line ends. A line break inside a name or a
  // value is written as a blank, so the text always reads back as the same
  // document.
  std::string Text() const;

  void Clear();
  // The stored text, or null when the key is absent.
  const std::string *Find(std::string_view section, std::string_view key) const;
  // Sets the value; a new section goes to the end, a new key to the end of
  // its section.
  void Set(std::string_view section, std::string_view key, std::string_view value);
  bool HasSection(std::string_view section) const;
  const std::vector<TSection> &Sections() const { return Items; }

  // The section of that name, or null.
  const TSection *FindSection(std::string_view section) const;

  // Places of names by the hash of their folded letter case (open
  // addressing, at most half full): a lookup costs the same in a document of
  // a million keys as in one of ten.
  struct TNameIndex {
    struct TSlot {
      uint32_t Position;  // place + 1; 0 marks an empty slot
      uint32_t Hash;
    };
    std::vector<TSlot> Slots;
    std::size_t Count = 0;
  };

private:
  std::vector<TSection> Items;
  TNameIndex SectionIndex;
  std::vector<TNameIndex> KeyIndex;  // per section
  // The section, added at the end when it is new; index is its place.
  TSection &SectionFor(std::string_view name, std::size_t &index);
  // The place of the key in the section, or npos.
  std::size_t KeyPlace(std::size_t section, std::string_view key, uint32_t hash) const;
};

class TStoredTextList {
public:
  using TLoadFailedEvent = std::function<void()>;
  using TListEvent = std::function<void(TStoredTextList &list)>;

  // Stores the name; touches no file and creates no document.
  explicit TStoredTextList(const std::string &fileName = std::string());
  // A write kept by SaveLater is made before the list goes.
  ~TStoredTextList();
  TStoredTextList(TStoredTextList &&) = default;  // the kept write goes along
  TStoredTextList &operator=(TStoredTextList &&) = delete;

  std::string FileName;     // full path of the file, UTF-8
  bool Modified = false;    // set by every write; cleared by a successful load or save
  bool Loading = false;     // true while Load runs
  TLoadFailedEvent OnLoadFailed;
  TListEvent OnLoad;        // the owner reads its values
  TListEvent OnSave;        // the owner empties the document and writes its values

  // Reads the file into a fresh document (a missing file gives an empty one)
  // and calls OnLoad. A failure (an unreadable or oversized file, an exception
  // or a reported failure inside OnLoad) calls OnLoadFailed, leaves "Failed to
  // load file." in the shared status context and returns false.
  bool Load();
  bool Load(const std::string &fileName);
  // Asks before replacing an existing file when askOverwrite is set (No:
  // false, nothing reported), calls OnSave and replaces the file as a whole
  // through a temporary file, so that a failed save leaves the old file byte
  // for byte; a read-only file is made writable first. A failure leaves
  // "Failed to save file." in the shared status context and returns false.
  bool Save(bool askOverwrite);
  // Save without waiting for the disk now: calls OnSave and keeps the text
  // for WritePending (a file that holds it already is left alone). Until it
  // is written, Load of that file reads the text kept and Save of it
  // replaces it; a kept write for another file is made first.
  bool SaveLater();
  // Makes the write SaveLater kept; a failure is reported as Save reports it.
  bool WritePending();
  // The file a kept write goes to (empty: none).
  const std::string &PendingFileName() const { return Pending.Path; }
  // Binds the list to another file, keeping the values in memory (a list with
  // no document yet starts from that file's contents), then Save.
  bool SaveAs(const std::string &fileName, bool askOverwrite);
  // Empties the document; Modified is left as it is.
  void Clear();

  bool HasDocument() const { return Document != nullptr; }
  // The document as it would be written (empty without a document).
  std::string Text() const;
  // The stored text of a key, or null (no document or no key).
  const std::string *Find(std::string_view section, std::string_view key) const;
  // The document, or null before the first Load or SaveAs.
  TIniDocument *Doc() { return Document.get(); }

  // ---- Typed access: reads change the value only when the stored text is
  // acceptable and return whether they did; writes set Modified. ----
  bool ReadString(std::string_view section, std::string_view key, std::string &value, bool acceptEmpty,
                  std::size_t maxLength);
  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  // True exactly for "TRUE"; a missing key keeps the value.
  bool ReadBool(std::string_view section, std::string_view key, bool &value);
  void WriteBool(std::string_view section, std::string_view key, bool value);
  // Decimal, or hexadecimal after "$" or "0x"; taken only within [minimum, maximum].
  bool ReadInteger(std::string_view section, std::string_view key, int32_t &value, int32_t minimum,
                   int32_t maximum);
  void WriteInteger(std::string_view section, std::string_view key, int32_t value);
  // A stock-colour name, a colour identifier (clRed) or a number. A text that
  // is none of them throws TConvertError, which fails the Load that runs it.
  bool ReadColor(std::string_view section, std::string_view key, uint32_t &value);
  void WriteColor(std::string_view section, std::string_view key, uint32_t value);

  // Files larger than this are refused by Load.
  static constexpr int64_t MaxFileSize = 16 * 1024 * 1024;
  // Test hook: called while a save has written part of the new file and has
  // not yet put it in place.
  static std::function<void()> MidWriteHook;

private:
  std::unique_ptr<TIniDocument> Document;
  // A write kept by SaveLater; a moved one leaves none behind.
  struct TPendingWrite {
    std::string Path, Text;
    TPendingWrite() = default;
    TPendingWrite(TPendingWrite &&other) noexcept
        : Path(std::exchange(other.Path, std::string())), Text(std::exchange(other.Text, std::string())) {}
  } Pending;
  bool Store(bool askOverwrite, bool later);
  // Reads FileName into a fresh document; false when the file exists but
  // cannot be read (reason in errorText).
  bool ReadDocument(std::string &errorText, int32_t &errorCode);
};

// Parses an integer the way ReadInteger takes it: optional blanks, a signed
// decimal, or "$"/"0x" followed by up to 8 hexadecimal digits (a 32-bit
// pattern). False for anything else.
bool ParseStoredInteger(std::string_view text, int32_t &value);
