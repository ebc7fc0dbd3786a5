// The name a book is saved under: ".rtf" (any letter case) keeps the name and
// means rich text; any other name is plain text with the extension ".txt"
// (appended when the name has none, put in place of any other; ".txt" in any
// letter case is kept).
#pragma once

#include <QString>

QString SaveTargetName(const QString &chosen, bool *richText);
// The name the save dialog proposes: the book's path without its extension.
QString ProposedSaveName(const QString &bookPath);
