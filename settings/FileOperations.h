#pragma once

#include <QString>

namespace kestrova::FileOperations {

// True when the path names an ordinary, visible file (not a folder, not a
// hidden file). Wildcards are not expanded: "*.txt" is true only for a file
// of exactly that name.
bool FileExists(const QString &path);

// The part of the path after its last separator; the whole text when it has
// none; empty for an empty path.
QString FileNameOf(const QString &path);

} // namespace kestrova::FileOperations
