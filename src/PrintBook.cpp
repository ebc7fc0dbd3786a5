#include "PrintBook.h"

#include "Hyphenator.h"
#include "Utilities.h"

#include <QAbstractTextDocumentLayout>
#include <QGuiApplication>
#include <QPainter>
#include <QPrinter>
#include <QScreen>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextLayout>
#include <algorithm>
#include <cmath>
#include <memory>

namespace {

// The resolution the layout takes screen pixels to be in when it scales them
// for another device: the primary screen's.
double ScreenDpi() {
  const QScreen *screen = QGuiApplication::primaryScreen();
  const double dpi = screen ? std::round(screen->logicalDotsPerInchY()) : 0;
  return dpi > 0 ? dpi : 96;
}

// Laid out for a printer, paragraph spacing, line heights and tab stops are
// scaled from screen pixels to the printer's, but not the paragraph indents:
// they would shrink by the ratio of the resolutions. They are scaled here,
// once for each run of paragraphs that share a format.
void ScaleIndents(QTextDocument &document, double factor) {
  if (factor == 1.0)
    return;
  document.setUndoRedoEnabled(false);
  QTextCursor cursor(&document);
  cursor.beginEditBlock();
  for (QTextBlock block = document.begin(); block.isValid();) {
    QTextBlock last = block;
    while (last.next().isValid() && last.next().blockFormatIndex() == block.blockFormatIndex())
      last = last.next();
    QTextBlockFormat format = block.blockFormat();
    if (format.leftMargin() != 0 || format.textIndent() != 0 || format.rightMargin() != 0) {
      format.setLeftMargin(format.leftMargin() * factor);
      format.setTextIndent(format.textIndent() * factor);
      format.setRightMargin(format.rightMargin() * factor);
      cursor.setPosition(block.position());
      cursor.setPosition(last.position(), QTextCursor::KeepAnchor);
      cursor.setBlockFormat(format);
    }
    block = last.next();
  }
  cursor.endEditBlock();
}

}  // namespace

void AddSoftHyphens(QTextDocument &document, const THyphenator &hyphenator) {
  document.setUndoRedoEnabled(false);
  QTextCursor cursor(&document);
  cursor.beginEditBlock();
  std::vector<int> points;
  for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
    if (block.blockFormat().alignment() & (Qt::AlignRight | Qt::AlignHCenter))
      continue;
    points.clear();
    const QString text = block.text();
    hyphenator.Points(text, points);
    // From the end, so that the points before stay where they are; a soft
    // hyphen inserted takes the format of the letter before it.
    for (auto it = points.rbegin(); it != points.rend(); ++it) {
      cursor.setPosition(block.position() + *it);
      if (cursor.charFormat().isAnchor())
        continue;
      cursor.insertText(QString(QChar(THyphenator::SoftHyphen)));
    }
  }
  cursor.endEditBlock();
}

TPrintMargins PrintMarginsFromText(const QString &left, const QString &right, const QString &top,
                                   const QString &bottom) {
  const TPrintMargins defaults;
  TPrintMargins m;
  m.Left = GetIntFromText(left.toStdString(), 0, 50, defaults.Left);
  m.Right = GetIntFromText(right.toStdString(), 0, 50, defaults.Right);
  m.Top = GetIntFromText(top.toStdString(), 0, 50, defaults.Top);
  m.Bottom = GetIntFromText(bottom.toStdString(), 0, 50, defaults.Bottom);
  return m;
}

int PrintDocument(const QTextDocument &document, QPrinter &printer, const TPrintMargins &margins,
                  const QString &title, QString *errorText, const THyphenator *hyphenator) {
  auto fail = [&](const QString &text) {
    if (errorText)
      *errorText = text;
    return -1;
  };
  if (!printer.isValid())
    return fail("The printer is not valid.");
  printer.setDocName(title);
  printer.setFullPage(false);
  // Margins the printer cannot honour are widened to its unprintable border.
  printer.setPageMargins(QMarginsF(margins.Left, margins.Top, margins.Right, margins.Bottom),
                         QPageLayout::Millimeter);

  std::unique_ptr<QTextDocument> copy(document.clone());
  ScaleIndents(*copy, printer.logicalDpiY() / ScreenDpi());
  if (hyphenator)
    AddSoftHyphens(*copy, *hyphenator);
  QAbstractTextDocumentLayout *layout = copy->documentLayout();
  layout->setPaintDevice(&printer);  // glyphs measured and lengths scaled for the printer
  QTextFrameFormat frame = copy->rootFrame()->frameFormat();
  frame.setMargin(0);
  frame.setPadding(0);
  copy->rootFrame()->setFrameFormat(frame);

  QPainter painter;
  if (!painter.begin(&printer))
    return fail("The printer could not start the job.");
  const QSizeF page(printer.width(), printer.height());
  if (page.width() <= 0 || page.height() <= 0)
    return fail("The page has no room for text.");
  copy->setPageSize(page);
  const int pages = copy->pageCount();  // lays the copy out, page by page
  // Line after line, each on its page: a paragraph that runs over a page end
  // puts on each page only its own lines.
  painter.setPen(Qt::black);
  int current = 0;
  for (QTextBlock block = copy->begin(); block.isValid(); block = block.next()) {
    QTextLayout *lines = block.layout();
    if (!lines)
      continue;
    const QPointF origin = lines->position();
    for (int i = 0; i < lines->lineCount(); ++i) {
      const QTextLine line = lines->lineAt(i);
      const int onPage = std::clamp(int((origin.y() + line.y()) / page.height()), current, pages - 1);
      for (; current < onPage; ++current)
        if (!printer.newPage()) {
          painter.end();
          return fail("The printer could not start a new page.");
        }
      line.draw(&painter, origin - QPointF(0, current * page.height()));
    }
  }
  for (; current < pages - 1; ++current)  // trailing empty pages of the layout
    printer.newPage();
  if (!painter.end())
    return fail("The printer could not finish the job.");
  return pages;
}
