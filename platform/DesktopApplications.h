#pragma once

#include <QString>
#include <QStringList>

namespace kestrova {

// Which installed desktop applications claim a kind of file, read the way
// the desktop's own opener reads them: the mimeapps.list files (defaults,
// added and removed associations) in the configuration folders and in each
// data folder's applications/, then each data folder's applications/
// mimeinfo.cache. An application counts only while its desktop entry is
// installed in one of the data folders.
struct DesktopApplicationDirs {
    // $XDG_CONFIG_HOME first, then $XDG_CONFIG_DIRS.
    QStringList configDirs;
    // $XDG_DATA_HOME first, then $XDG_DATA_DIRS.
    QStringList dataDirs;

    // The folders of this session's environment.
    static DesktopApplicationDirs fromEnvironment();
};

// The names a file's content type goes by: its MIME type from the shared
// MIME database and that type's aliases (for a .chm file
// "application/vnd.ms-htmlhelp" and "application/x-chm"). Empty when the
// database knows nothing better than plain bytes.
QStringList mimeTypeNamesOf(const QString &path);

// The desktop entry (its id, "org.example.Viewer.desktop") of the first
// installed application that claims one of the MIME types; empty when none
// does.
QString desktopHandlerFor(const QStringList &mimeTypes, const DesktopApplicationDirs &dirs);

} // namespace kestrova
