// Printing a book: the text of a document laid out page after page on a
// printer, inside the four print margins, as one job.
#pragma once

#include <QString>

class QPrinter;
class QTextDocument;
class THyphenator;

// Print margins in millimetres (the "Print text" options).
struct TPrintMargins {
  int Left = 30;
  int Right = 20;
  int Top = 20;
  int Bottom = 20;
};

// The margins from the texts of the four option lists: each 0 to 50, an empty
// or unusable text gives its default.
TPrintMargins PrintMarginsFromText(const QString &left, const QString &right, const QString &top,
                                   const QString &bottom);

// Lays out a copy of the document on the printer's page inside the margins
// (the document itself is not changed) and prints every page as one job named
// title. The document's own formats are kept; lengths given in screen pixels
// are scaled to the printer's resolution. With a hyphenator, long words of
// left-aligned and justified paragraphs are broken at line ends as on the
// screen. Returns the number of pages printed, or -1 with errorText (may be
// null) set when the printer cannot print.
int PrintDocument(const QTextDocument &document, QPrinter &printer, const TPrintMargins &margins,
                  const QString &title, QString *errorText = nullptr, const THyphenator *hyphenator = nullptr);

// Puts a soft hyphen at each point where the hyphenator allows a long word of a
// left-aligned or justified paragraph to be broken (a print copy: the layout
// breaks lines there and draws a hyphen).
void AddSoftHyphens(QTextDocument &document, const THyphenator &hyphenator);
