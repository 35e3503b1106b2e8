#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace kestrova {

// Reads a text file line by line, the way the program's data files (jokes,
// tips, lists) are read: lines end with CR LF, a lone CR or a lone LF; an
// end of line at the very end adds no line; the text is UTF-8 when its
// bytes are valid UTF-8 (a byte-order mark is dropped), otherwise
// Windows-1252. Nothing when the file cannot be read.
std::optional<QStringList> readTextLines(const QString &path);

// The same, on bytes already read.
QStringList splitTextLines(const QByteArray &bytes);

} // namespace kestrova
