#include "MediaTitle.h"

#include "File.h"
#include "Program.h"

#include <QDir>

QString BackImagesDir() { return DataDir() + QStringLiteral("BackImages/"); }
QString BackSoundsDir() { return DataDir() + QStringLiteral("BackSounds/"); }

namespace {

bool IsFullTitle(const QString &title) { return title.startsWith('/'); }

// directory + title as an absolute, cleaned path; empty when there is no directory.
QString Under(const QString &directory, const QString &title) {
  if (directory.isEmpty())
    return QString();
  return QDir::cleanPath(FullPath(WithSeparator(directory) + title));
}

bool IsFile(const QString &path) { return !path.isEmpty() && FileExists(path) && !IsDirectory(path); }

}  // namespace

QString ResolveMediaTitle(const QString &title, const QString &mediaDirectory, const QString &profileDirectory) {
  if (title.isEmpty())
    return QString();
  if (IsFullTitle(title))
    return title;
  const QString besideProfile = Under(profileDirectory, title);
  if (IsFile(besideProfile))
    return besideProfile;
  const QString inMedia = Under(mediaDirectory, title);
  if (IsFile(inMedia))
    return inMedia;
  if (!title.contains('/') && title.endsWith(QStringLiteral(".bmp"), Qt::CaseInsensitive)) {
    const QString png = Under(mediaDirectory, title.chopped(4) + QStringLiteral(".png"));
    if (IsFile(png))
      return png;
  }
  return WithSeparator(mediaDirectory) + QStringLiteral("*");
}

QString MakeMediaTitle(const QString &path, const QString &mediaDirectory, const QString &profileDirectory) {
  if (path.isEmpty())
    return QString();
  for (const QString &directory : {profileDirectory, mediaDirectory}) {
    if (directory.isEmpty())
      continue;
    const QString prefix = WithSeparator(directory);
    if (IsInside(prefix, path))
      return path.mid(prefix.size());
  }
  return path;
}

QString MediaProfileDir(const QString &currentProfile, const QString &defaultProfile) {
  if (currentProfile.isEmpty() || SameFile(currentProfile, defaultProfile))
    return QString();
  return WithSeparator(FilePath(FullPath(currentProfile)));
}

QString NormaliseDefaultTitle(const QString &title, const QString &defaultBase, const QString &canonical) {
  if (title.contains('/'))
    return title;
  const qsizetype dot = title.lastIndexOf('.');
  const QString base = dot < 0 ? title : title.left(dot);
  return base.compare(defaultBase, Qt::CaseInsensitive) == 0 ? canonical : title;
}
