#include "DesktopApplications.h"

#include "TextLines.h"

#include <QDir>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QSet>
#include <QStandardPaths>

namespace kestrova {

DesktopApplicationDirs DesktopApplicationDirs::fromEnvironment()
{
    // Qt's generic locations are exactly the XDG folders, the user's first.
    return {QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation),
            QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation)};
}

QStringList mimeTypeNamesOf(const QString &path)
{
    const QMimeType type = QMimeDatabase().mimeTypeForFile(path);
    if (!type.isValid() || type.isDefault())
        return {};
    return QStringList{type.name()} + type.aliases();
}

namespace {

// The "key=value;value;" lines of one [group] of a desktop-style file.
QHash<QString, QStringList> readGroup(const QString &file, const QString &group)
{
    QHash<QString, QStringList> entries;
    const auto lines = readTextLines(file);
    if (!lines)
        return entries;
    bool inGroup = false;
    for (const QString &raw : *lines) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[')) {
            inGroup = line == u'[' + group + u']';
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (!inGroup || eq <= 0)
            continue;
        QStringList ids;
        for (const QString &id : line.mid(eq + 1).split(u';', Qt::SkipEmptyParts))
            if (!id.trimmed().isEmpty())
                ids << id.trimmed();
        entries[line.left(eq).trimmed()] += ids;
    }
    return entries;
}

// Whether the desktop entry of this id is installed. An id "vendor-app.desktop"
// may also be the file vendor/app.desktop.
bool installed(const QString &id, const QStringList &dataDirs)
{
    for (const QString &dir : dataDirs) {
        const QString applications = dir + QStringLiteral("/applications/");
        if (QFileInfo(applications + id).isFile())
            return true;
        QString nested = id;
        for (qsizetype dash = nested.indexOf(u'-'); dash > 0; dash = nested.indexOf(u'-', dash + 1)) {
            nested[dash] = u'/';
            if (QFileInfo(applications + nested).isFile())
                return true;
        }
    }
    return false;
}

// The mimeapps.list files, most important first: the desktop's own before
// the generic one in each configuration folder, then the data folders'.
QStringList mimeAppsLists(const DesktopApplicationDirs &dirs)
{
    QStringList desktops;
    for (const QString &d : qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(u':', Qt::SkipEmptyParts))
        desktops << d.toLower();
    QStringList files;
    auto addFolder = [&](const QString &folder) {
        for (const QString &d : desktops)
            files << folder + u'/' + d + QStringLiteral("-mimeapps.list");
        files << folder + QStringLiteral("/mimeapps.list");
    };
    for (const QString &dir : dirs.configDirs)
        addFolder(dir);
    for (const QString &dir : dirs.dataDirs)
        addFolder(dir + QStringLiteral("/applications"));
    return files;
}

} // namespace

QString desktopHandlerFor(const QStringList &mimeTypes, const DesktopApplicationDirs &dirs)
{
    if (mimeTypes.isEmpty())
        return {};
    // An association removed by a more important file hides what less
    // important files and the caches say of the same application.
    QSet<QString> removed;
    auto firstInstalled = [&](const QHash<QString, QStringList> &entries) -> QString {
        for (const QString &type : mimeTypes)
            for (const QString &id : entries.value(type))
                if (!removed.contains(type + u' ' + id) && installed(id, dirs.dataDirs))
                    return id;
        return {};
    };
    for (const QString &list : mimeAppsLists(dirs)) {
        if (!QFileInfo(list).isFile())
            continue;
        for (const char *group : {"Default Applications", "Added Associations"}) {
            const QString id = firstInstalled(readGroup(list, QString::fromLatin1(group)));
            if (!id.isEmpty())
                return id;
        }
        const auto gone = readGroup(list, QStringLiteral("Removed Associations"));
        for (auto it = gone.cbegin(); it != gone.cend(); ++it)
            for (const QString &id : it.value())
                removed.insert(it.key() + u' ' + id);
    }
    for (const QString &dir : dirs.dataDirs) {
        const QString id = firstInstalled(
            readGroup(dir + QStringLiteral("/applications/mimeinfo.cache"), QStringLiteral("MIME Cache")));
        if (!id.isEmpty())
            return id;
    }
    return {};
}

} // namespace kestrova
