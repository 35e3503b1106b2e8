#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace kestrova::FileOperations {

// True when the path names an ordinary, visible file (not a folder, not a
// hidden file). Wildcards are not expanded: "*.txt" is true only for a file
// of exactly that name.
bool FileExists(const QString &path);

// The part of the path after its last separator; the whole text when it has
// none; empty for an empty path.
QString FileNameOf(const QString &path);

// The two list files of the user's menus, ten slots of a name and a target.
inline const QString FavouritesFile = QStringLiteral("favourites.txt");
inline const QString OfficeFile = QStringLiteral("Office.txt");
inline constexpr int ListSlots = 10;
inline constexpr int ListLines = 2 * ListSlots;

// Reads a list file the way the program always has: twenty values start
// empty and each group of twenty lines overwrites the values it reaches, so
// a short file empties the slots it does not cover and a longer file's
// later groups overwrite the first. Nothing when the file does not exist.
std::optional<QStringList> LoadListFile(const QString &path);

// The value as one line of a list file: every line end the list file's
// reader knows (CR LF, a lone CR, a lone LF) becomes one space, so a value
// never spreads over two slots. Other characters stay, so whatever a list
// file held reads back the same after a save.
QString SingleLine(const QString &value);

// A favourite's address as it is opened: one typed without a scheme
// ("news.example.org") is a web address, given "https://"; one with a
// scheme ("http://", "mailto:") or a path from the root stays as it is.
QString WebAddress(const QString &typed);

// Writes twenty lines (missing values as empty lines, each value made a
// single line), UTF-8, each ended by CR LF, whole or not at all. Returns
// whether the file was written.
bool SaveListFile(const QString &path, const QStringList &lines);

// Writes the file whole or not at all: into "<path>.saving" (always that
// name, so a save killed half-way leaves at most that one file, which the
// next save replaces and the next load of a list removes), then renamed over
// the file, whose permissions it keeps.
bool WriteWhole(const QString &path, const QByteArray &bytes);
QString SavingFileOf(const QString &path);

} // namespace kestrova::FileOperations
