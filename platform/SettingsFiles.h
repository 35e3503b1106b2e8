#pragma once

#include <QString>

namespace kestrova {

// The most a settings file may hold to be read. The program's own files hold
// a few dozen short values (under 4 KB); one edited by hand with long paths
// and comments stays far below this. A file of this size, 40,000 keys,
// parses in about 0.1 s within 20 MB; anything larger is not settings (a
// crash's leftovers, a file put there by mistake), and 100 MB cost tens of
// seconds and gigabytes.
inline constexpr qint64 SettingsFileLimit = 1024 * 1024;

// A settings file larger than SettingsFileLimit is not read: it is kept
// whole as "<file>.damaged" (renamed, so nothing is copied or written, and
// readable by its owner only, as it may hold a password) and a warning says
// so; the settings then start from their defaults. Returns true when the
// file was too large, whether or not it could be set aside (then it stays
// and is not to be read or written).
bool setAsideIfTooLarge(const QString &file);

} // namespace kestrova
