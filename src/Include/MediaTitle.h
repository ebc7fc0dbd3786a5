// Titles of media files (background pictures and sounds) as profiles store
// them: a path relative to the profile's directory or to a media directory
// shipped with the program, or a full path.
//
// A title is a full path when it is absolute (starts with "/"); any other
// title is looked for first beside the current profile, then in the media
// directory. Titles are shortened back the same way when a profile is saved.
#pragma once

#include <QString>

// The shipped picture and sound folders (beside the program's data files),
// with a trailing separator.
QString BackImagesDir();
QString BackSoundsDir();

// The full path of a title.
//  - an empty title gives an empty path;
//  - a full path is used unchanged;
//  - else profileDirectory + title, normalised, when that file exists;
//  - else mediaDirectory + title, normalised, when that file exists;
//  - else, for a bare ".bmp" title, the ".png" of that name in mediaDirectory
//    when it exists (the shipped pictures were bitmaps once: stored titles
//    such as "DefaultScreen.bmp" find them);
//  - else mediaDirectory + "*", a path that names no file.
QString ResolveMediaTitle(const QString &title, const QString &mediaDirectory, const QString &profileDirectory);

// The title to store for a path.
//  - an empty path gives an empty title;
//  - a path inside profileDirectory loses that prefix (an empty
//    profileDirectory counts as absent: the default profile is current);
//  - else a path inside mediaDirectory loses that prefix;
//  - else the path is the title.
QString MakeMediaTitle(const QString &path, const QString &mediaDirectory, const QString &profileDirectory);

// The profile directory MakeMediaTitle takes: the directory of the current
// profile file, or empty when that file is the default profile.
QString MediaProfileDir(const QString &currentProfile, const QString &defaultProfile);

// A title whose part before the extension is defaultBase (letter case
// ignored) becomes canonical ("defaultrich.jpg" -> "DefaultRich.bmp"); any
// other title is returned unchanged. Only bare titles are matched: a picture
// of the reader's own in some folder keeps its name.
QString NormaliseDefaultTitle(const QString &title, const QString &defaultBase, const QString &canonical);
