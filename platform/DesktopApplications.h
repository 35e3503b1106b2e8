#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>

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

// The "key=value" lines of a desktop entry's [Desktop Entry] group, raw
// (the first of a key counts); empty when the file cannot be read.
QHash<QString, QString> desktopEntryValues(const QString &file);

// One installed application as the desktop's menus show it.
struct DesktopEntry {
    QString id;      // "org.example.Viewer.desktop"; vendor/app.desktop is "vendor-app.desktop"
    QString path;    // the entry file that counts for that id
    QString name;    // Name=, in the user's language where the entry has it
    QString comment; // Comment=, likewise
    QString icon;    // Icon=: a theme name or an absolute file
};

// How much of the data folders a scan for applications takes: the first
// maxApplications found (in the order of the folders and of the file
// names), and no entry file larger than maxEntryBytes (none that a desktop
// installs is near it).
struct ApplicationScanLimits {
    int maxApplications = 2000;
    qint64 maxEntryBytes = 64 * 1024;
};

// The applications a menu would offer: entries of Type=Application that
// are neither NoDisplay nor Hidden, whose TryExec (if any) is installed, and
// whose Exec names a program that can be found. Where the same id is in
// several data folders the first folder's entry counts (and hides the
// others, even when it is hidden itself). Sorted by name, ignoring case.
// A folder may hold any number of files: run it off the UI thread; it stops
// with nothing as soon as `cancelled` (when given) is set.
QList<DesktopEntry> installedApplications(const DesktopApplicationDirs &dirs,
                                          const std::atomic_bool *cancelled = nullptr,
                                          const ApplicationScanLimits &limits = {});

// The entry file of an installed desktop entry id ("xterm.desktop",
// "vendor-app.desktop"; the ".desktop" may be left off); empty when no data
// folder has it. Ids are plain names: one with a "/" or starting with "."
// is none.
QString desktopEntryPathForId(const QString &id, const QStringList &dataDirs);

} // namespace kestrova
