// The program's own RTF reader: a streaming tokenizer and interpreter in plain
// C++. It turns RTF written by word processors and by the program itself into
// runs of text with character formats and paragraph ends with paragraph formats,
// handed to a sink. Fonts, colours, character and paragraph formats, tabs,
// special characters, \u with \uc skipping, \'hh in the document's (or the
// font's) code page and field results are understood; pictures, headers,
// footnotes and other destinations are skipped. Malformed input never crashes
// or hangs: the reader stops with an error text.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "TextFormat.h"

// Receives the document in reading order.
class IRtfSink {
public:
  virtual ~IRtfSink() = default;
  // A run of text in one character format. The text holds no paragraph end;
  // it may hold tabs (U+0009) and line breaks (U+2028).
  virtual void RtfText(const std::u16string &text, const TCharFormat &format) = 0;
  // Ends the current paragraph; format is the paragraph's format.
  virtual void RtfParagraphEnd(const TParaFormat &format) = 0;
  // The end of the document; format is the format of the last (unended) paragraph.
  virtual void RtfDocumentEnd(const TParaFormat &format) = 0;
};

// Maps one byte of a Windows single-byte code page 1252 to Unicode.
char16_t Cp1252ToUnicode(uint8_t byte);

class TRtfReader {
public:
  explicit TRtfReader(IRtfSink &sink);
  ~TRtfReader();
  TRtfReader(const TRtfReader &) = delete;
  TRtfReader &operator=(const TRtfReader &) = delete;

  // Reads a whole file in pieces (bounded memory). False on failure; Error() tells why.
  bool ReadFile(const std::string &path);
  // Reads RTF held in memory.
  bool ReadString(const std::string &data);
  const std::string &Error() const { return ErrorText; }

  // Deepest group nesting accepted.
  static constexpr int MaxDepth = 200;

private:
  struct TImpl;
  TImpl *Impl;
  IRtfSink &Sink;
  std::string ErrorText;
  bool Run(std::FILE *file, const std::string *data);
};
