// Helpers shared by the parts of the File unit (not for other units).
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <string>

struct stat;

namespace FileDetail {
// The path in the file system's encoding.
QByteArray Native(const QString &path);
std::string Std(const QString &text);
// stat (follow) or lstat; false on failure (errno set).
bool StatPath(const QString &path, struct stat *st, bool follow);
// The path without trailing separators ("/" stays).
QString StripSeparator(const QString &path);
// Every entry name but "." and "..", sorted (letter case ignored first).
// False with the error code when the directory cannot be read to its end.
bool ReadDirectoryNames(const QString &directory, QStringList *names, int *error);
// Names that the listing treats as hidden.
bool IsHiddenName(const QString &name);
}  // namespace FileDetail
