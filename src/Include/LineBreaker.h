// Line breaks of a justified paragraph chosen for the whole paragraph at once.
//
// The toolkit fills each line as full as it can, one line after another: a
// line followed by a word that does not fit (a short word, or one with no
// hyphenation point) is left with wide gaps. Choosing the breaks of all lines
// together (the total-fit method of book typesetting) moves words and word
// parts between lines so that the gaps stay close to a space everywhere,
// prefers a break at a space to one at a soft hyphen, and avoids two
// hyphenated line ends in a row unless no other break is as good.
#pragma once

#include <vector>

class QTextLayout;

namespace LineBreaker {

// The number of characters of each line of the layout's text (the last line
// included), breaking only after spaces and at soft hyphens, for lines of
// firstWidth (the first) and width (the others). Empty when the text cannot
// be broken that way (a word wider than a line): the toolkit's own breaking
// is used then. The layout's text, font and formats must be set.
std::vector<int> Plan(const QTextLayout &layout, double firstWidth, double width);

}  // namespace LineBreaker
