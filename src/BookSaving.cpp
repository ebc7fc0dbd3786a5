#include "BookSaving.h"

namespace {
// Index of the dot that starts the file name's extension, or -1.
qsizetype ExtensionDot(const QString &path) {
  const qsizetype slash = path.lastIndexOf('/');
  const qsizetype dot = path.lastIndexOf('.');
  // A leading dot names a hidden file, not an extension.
  return dot > slash + 1 ? dot : -1;
}
}  // namespace

QString SaveTargetName(const QString &chosen, bool *richText) {
  const qsizetype dot = ExtensionDot(chosen);
  const QString extension = dot < 0 ? QString() : chosen.mid(dot);
  const bool rich = extension.compare(".rtf", Qt::CaseInsensitive) == 0;
  if (richText)
    *richText = rich;
  if (rich || extension.compare(".txt", Qt::CaseInsensitive) == 0)
    return chosen;
  return (dot < 0 ? chosen : chosen.left(dot)) + ".txt";
}

QString ProposedSaveName(const QString &bookPath) {
  const qsizetype dot = ExtensionDot(bookPath);
  return dot < 0 ? bookPath : bookPath.left(dot);
}
