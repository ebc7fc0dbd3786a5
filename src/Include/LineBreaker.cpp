// Total-fit line breaking of justified paragraphs (see LineBreaker.h).
#include "LineBreaker.h"

#include <QFontMetricsF>
#include <QHash>
#include <QTextLayout>
#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

namespace {

constexpr char16_t SoftHyphen = 0x00AD;
// Costs of a line: its stretch, and the kind of break that ends it.
constexpr double StretchCost = 100;     // per cube of the gap's stretch in spaces
constexpr double HyphenCost = 20;       // a line ending at a soft hyphen
constexpr double SecondHyphenCost = 600;  // ... after a line that did too
constexpr double LineCost = 1;
// The measured widths may differ from the shaped text by a little.
constexpr double Safety = 0.3;
// A gap stretched past twice a space is what the eye sees as a hole.
constexpr double HoleCost = 3000;

// The widths of the pieces of text measured in one font, kept: a book
// repeats its words, and measuring one is far slower than looking it up.
struct TFontWidths {
  explicit TFontWidths(const QFont &font) : Metrics(font) {}
  QFontMetricsF Metrics;
  QHash<QString, double> Widths;
  double Width(QStringView piece) {
    const QString key = piece.toString();
    auto found = Widths.constFind(key);
    if (found != Widths.constEnd())
      return *found;
    if (Widths.size() > 200000)
      Widths.clear();
    return *Widths.insert(key, Metrics.horizontalAdvance(key));
  }
};

TFontWidths &WidthsOf(const QFont &font) {
  static QHash<QString, std::shared_ptr<TFontWidths>> fonts;
  std::shared_ptr<TFontWidths> &found = fonts[font.key()];
  if (!found)
    found = std::make_shared<TFontWidths>(font);
  return *found;
}

}  // namespace

namespace LineBreaker {

std::vector<int> Plan(const QTextLayout &layout, double firstWidth, double width) {
  const QString &text = layout.text();
  const int n = int(text.size());
  if (n == 0 || text.contains(u'\t'))
    return {};  // tab stops are left to the toolkit
  // The font of each character.
  std::vector<TFontWidths *> metrics{&WidthsOf(layout.font())};
  std::vector<int> fontOf(size_t(n), 0);
  for (const QTextLayout::FormatRange &r : layout.formats()) {
    metrics.push_back(&WidthsOf(r.format.font().resolve(layout.font())));
    const int from = std::clamp(r.start, 0, n), to = std::clamp(r.start + r.length, 0, n);
    std::fill(fontOf.begin() + from, fontOf.begin() + to, int(metrics.size()) - 1);
  }
  auto isSpace = [&](int i) { return text.at(i) == u' '; };
  auto isDash = [&](int i) {
    const char16_t c = text.at(i).unicode();
    return (c == u'-' || c == 0x2013 || c == 0x2014) && i > 0 && text.at(i - 1).isLetter() && i + 1 < n &&
           text.at(i + 1).isLetter();
  };
  // x[i]: the width of text[0, i) at each piece boundary (a change between
  // space and non-space, a soft hyphen, a change of font); NaN elsewhere.
  std::vector<double> x(size_t(n) + 1, std::numeric_limits<double>::quiet_NaN());
  x[0] = 0;
  for (int i = 0; i < n;) {
    int j = i + 1;
    while (j < n && isSpace(j) == isSpace(i) && fontOf[size_t(j)] == fontOf[size_t(i)] && text.at(j) != SoftHyphen &&
           text.at(j - 1) != SoftHyphen && !isDash(j - 1))
      ++j;
    // A soft hyphen inside a line has no width.
    x[size_t(j)] = x[size_t(i)] + (text.at(i) == SoftHyphen
                                       ? 0.0
                                       : metrics[size_t(fontOf[size_t(i)])]->Width(QStringView(text).mid(i, j - i)));
    i = j;
  }
  // Break candidates: the start, after each run of spaces, after each soft
  // hyphen, after a hyphen or a dash between letters, the end.
  std::vector<int> breaks{0};
  for (int i = 1; i < n; ++i)
    if ((isSpace(i - 1) && !isSpace(i)) || text.at(i - 1) == SoftHyphen || isDash(i - 1))
      breaks.push_back(i);
  breaks.push_back(n);
  auto hyphenAt = [&](int b) { return b > 0 && b < n && text.at(b - 1) == SoftHyphen; };

  const size_t m = breaks.size();
  std::vector<double> best(m, std::numeric_limits<double>::infinity());
  std::vector<int> from(m, -1);
  best[0] = 0;
  for (size_t d = 1; d < m; ++d) {
    const int end = breaks[d];
    const bool last = d + 1 == m;
    const bool hyphen = hyphenAt(end);
    // The line's text ends before its trailing spaces, or with a hyphen glyph.
    int textEnd = end;
    while (textEnd > 0 && isSpace(textEnd - 1))
      --textEnd;
    double hyphenWidth = 0;
    if (hyphen)
      hyphenWidth = metrics[size_t(fontOf[size_t(end - 1)])]->Width(u"-");
    int gaps = 0;  // runs of spaces inside the line, counted as the start moves back
    for (size_t c = d; c-- > 0;) {
      const int start = breaks[c];
      if (c + 1 < d && isSpace(breaks[c + 1] - 1))
        ++gaps;  // the run of spaces before breaks[c + 1] is inside the line
      if (std::isnan(x[size_t(textEnd)]) || std::isnan(x[size_t(start)]))
        return {};
      const double natural = x[size_t(textEnd)] - x[size_t(start)] + hyphenWidth;
      const double room = (start == 0 ? firstWidth : width) - Safety;
      if (natural > room)
        break;  // starting earlier only makes the line longer
      if (!std::isfinite(best[c]))
        continue;
      double cost = LineCost;
      if (!last) {
        const double space = metrics[size_t(fontOf[size_t(start)])]->Width(u" ");
        const double stretch = gaps > 0 ? (room + Safety - natural) / (gaps * std::max(space, 1.0)) : 10;
        cost += StretchCost * stretch * stretch * stretch + (stretch > 1 ? HoleCost : 0);
        if (hyphen)
          cost += hyphenAt(start) ? SecondHyphenCost : HyphenCost;
      }
      if (best[c] + cost < best[d]) {
        best[d] = best[c] + cost;
        from[d] = int(c);
      }
    }
    if (!std::isfinite(best[d]) && last)
      return {};
  }
  if (!std::isfinite(best[m - 1]))
    return {};
  std::vector<int> lines;
  for (int d = int(m) - 1; d > 0; d = from[size_t(d)]) {
    if (from[size_t(d)] < 0)
      return {};
    lines.push_back(breaks[size_t(d)] - breaks[size_t(from[size_t(d)])]);
  }
  std::reverse(lines.begin(), lines.end());
  return lines;
}

}  // namespace LineBreaker
