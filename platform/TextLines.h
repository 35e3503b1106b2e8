#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace kestrova {

// Reads a text file line by line, the way the program's data files (jokes,
// tips, lists, desktop entries) are read: lines end with CR LF, a lone CR or
// a lone LF; an end of line at the very end adds no line; a byte-order mark
// at the start is dropped; each line is UTF-8 when its bytes are valid
// UTF-8, otherwise Windows-1252.
//
// The files are edited by hand and may be anything, so reading is bounded:
// the file is read a piece at a time, a line longer than maxLineBytes keeps
// only its start (cut at a character boundary), and readTextLines keeps at
// most maxLines lines. Memory stays small whatever the file holds.
inline constexpr qsizetype MaxLineBytes = 64 * 1024;
inline constexpr qsizetype MaxLines = 100000;

// Hands each line to take, in order, until take returns false. False when
// the file cannot be read.
bool forEachTextLine(const QString &path, const std::function<bool(const QString &line)> &take,
                     qsizetype maxLineBytes = MaxLineBytes);

// The file's lines, at most maxLines of them. Nothing when it cannot be read.
std::optional<QStringList> readTextLines(const QString &path, qsizetype maxLines = MaxLines);

// The same, on bytes already read (no limit on the number of lines).
QStringList splitTextLines(const QByteArray &bytes);

} // namespace kestrova
