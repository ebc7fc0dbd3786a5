// The program's own RTF writer, in plain C++. The document is described by a
// walk: a function that calls BeginParagraph / Text / EndParagraph for every
// paragraph in order. The walk runs twice: once to gather the font and colour
// tables, once to write. Output goes straight to the file (bounded memory).
// What the writer writes, TRtfReader reads back unchanged.
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <unordered_map>
#include <vector>

#include "TextFormat.h"

class TRtfWriter {
public:
  using TWalk = std::function<void(TRtfWriter &writer)>;

  // Writes the document to a file; false when the file cannot be written
  // (Error() tells why).
  bool WriteFile(const std::string &path, const TWalk &walk);
  // Writes the document to a stream.
  bool Write(std::ostream &out, const TWalk &walk);
  const std::string &Error() const { return ErrorText; }

  // ---- called by the walk ----
  // Starts a paragraph in this format (every field is written).
  void BeginParagraph(const TParaFormat &format);
  // A run of text; tabs (U+0009) and line breaks (U+2028, U+000B) are written as
  // \tab and \line. Must not hold paragraph ends.
  void Text(const std::u16string &text, const TCharFormat &format);
  void Text(const char16_t *text, size_t length, const TCharFormat &format);
  // Ends the paragraph (\par). The last paragraph of a document is not ended.
  void EndParagraph();

private:
  bool Gathering = false;
  // The control words of the last paragraph format: a book repeats one format
  // in most of its paragraphs.
  TParaFormat LastPara;
  bool HasLastPara = false;
  std::ostream *Out = nullptr;
  std::vector<std::string> Fonts;
  std::vector<uint32_t> Colors;
  std::unordered_map<std::string, int> FontIndexes;  // the tables' look-ups
  std::unordered_map<uint32_t, int> ColorIndexes;
  TCharFormat Last;
  bool HasLast = false;
  std::string ErrorText;
  int FontIndex(const std::string &name);
  int ColorIndex(uint32_t color);
  void WriteCharFormat(const TCharFormat &format);
};
