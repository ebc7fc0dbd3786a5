// A reading box for engine tests: keeps the paragraphs, the selection and every format call.
#pragma once

#include <string>
#include <vector>

#include "TextFormat.h"

class TFakeRichBox : public IRichBox {
public:
  struct TCharCall {
    TCharFormat Format;
    bool All;
    int32_t Start, Length;  // the selection at the call
  };
  struct TParaCall {
    TParaFormat Format;
    int32_t Start, Length;
  };

  std::vector<std::u16string> Paragraphs;
  std::vector<TCharCall> CharCalls;
  std::vector<TParaCall> ParaCalls;
  int32_t SelStart = 0, SelLength = 0;
  int32_t TextLength = 0;  // paragraph ends count two
  bool Modified = true;
  int ClearCount = 0;

  void AppendParagraph(const std::u16string &text) override {
    Paragraphs.push_back(text);
    TextLength += int32_t(text.size()) + 2;
    SelStart = TextLength;
    SelLength = 0;
  }
  void SetSelection(int32_t start, int32_t length) override {
    SelStart = start;
    SelLength = length;
  }
  void SetCharFormat(const TCharFormat &format, bool all) override {
    CharCalls.push_back({format, all, SelStart, SelLength});
  }
  void SetParaFormat(const TParaFormat &format) override { ParaCalls.push_back({format, SelStart, SelLength}); }
  std::u16string Text() const override {
    std::u16string text;
    for (const auto &p : Paragraphs) {
      text += p;
      text += u"\r\n";
    }
    return text;
  }
  void Clear() override {
    Paragraphs.clear();
    TextLength = 0;
    SelStart = SelLength = 0;
    ++ClearCount;
  }
  void SetModified(bool modified) override { Modified = modified; }

  // Colour calls (only CFM_COLOR on a selection) as (start, length, colour).
  struct TColorSpan {
    int32_t Start, Length;
    uint32_t Color;
    bool operator==(const TColorSpan &) const = default;
  };
  std::vector<TColorSpan> ColorSpans() const {
    std::vector<TColorSpan> spans;
    for (const auto &c : CharCalls)
      if (!c.All && c.Format.Mask == CFM_COLOR) spans.push_back({c.Start, c.Length, c.Format.TextColor});
    return spans;
  }
};
