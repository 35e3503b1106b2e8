#include "DesktopApplications.h"

#include "SystemPlatform.h"
#include "TextLines.h"

#include <QDirIterator>
#include <QLocale>
#include <algorithm>

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

// Calls visit(key, value) for each "key=value" line of one [group] of a
// desktop-style file, in order; comments and other groups are skipped.
template <class Visit>
void forEachKey(const QString &file, const QString &group, Visit visit)
{
    const auto lines = readTextLines(file);
    if (!lines)
        return;
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
        if (inGroup && eq > 0)
            visit(line.left(eq).trimmed(), line.mid(eq + 1).trimmed());
    }
}

// The "key=value;value;" lines of one [group] of a desktop-style file.
QHash<QString, QStringList> readGroup(const QString &file, const QString &group)
{
    QHash<QString, QStringList> entries;
    forEachKey(file, group, [&](const QString &key, const QString &value) {
        QStringList ids;
        for (const QString &id : value.split(u';', Qt::SkipEmptyParts))
            if (!id.trimmed().isEmpty())
                ids << id.trimmed();
        entries[key] += ids;
    });
    return entries;
}

// Whether the desktop entry of this id is installed. An id "vendor-app.desktop"
// may also be the file vendor/app.desktop.
bool installed(const QString &id, const QStringList &dataDirs);
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

namespace {

} // namespace

QHash<QString, QString> desktopEntryValues(const QString &file)
{
    QHash<QString, QString> values;
    forEachKey(file, QStringLiteral("Desktop Entry"), [&](const QString &key, const QString &value) {
        if (!values.contains(key))
            values.insert(key, value);
    });
    return values;
}

namespace {

// A localestring key in the user's language: Name[de_DE], Name[de], Name.
QString localised(const QHash<QString, QString> &values, const QString &key)
{
    const QString locale = QLocale().name();
    const QString language = locale.section(u'_', 0, 0);
    for (const QString &k : {key + u'[' + locale + u']', key + u'[' + language + u']', key})
        if (values.contains(k))
            return values.value(k);
    return {};
}

// Escapes of a string value (\s, \n, \t, \r, \\) undone; control
// characters left by them become spaces, for a list shows one line.
QString unescaped(const QString &value)
{
    QString out;
    for (qsizetype i = 0; i < value.size(); ++i) {
        QChar c = value.at(i);
        if (c == u'\\' && i + 1 < value.size()) {
            const QChar n = value.at(++i);
            c = n == u's' ? QChar(u' ') : n == u'n' || n == u't' || n == u'r' ? QChar(u' ') : n;
        }
        out += c.isPrint() ? c : QChar(u' ');
    }
    return out.simplified();
}

bool isTrue(const QString &value)
{
    return value.compare(QStringLiteral("true"), Qt::CaseInsensitive) == 0;
}

} // namespace

QList<DesktopEntry> installedApplications(const DesktopApplicationDirs &dirs, const std::atomic_bool *cancelled,
                                          const ApplicationScanLimits &limits)
{
    const auto stopped = [cancelled] { return cancelled && cancelled->load(std::memory_order_relaxed); };
    QList<DesktopEntry> entries;
    QSet<QString> seen;
    for (const QString &dir : dirs.dataDirs) {
        if (entries.size() >= limits.maxApplications)
            break;
        const QString applications = QDir(dir + QStringLiteral("/applications")).absolutePath();
        QDirIterator it(applications, {QStringLiteral("*.desktop")}, QDir::Files, QDirIterator::Subdirectories);
        QStringList files;
        while (it.hasNext()) {
            if (stopped())
                return {};
            files << it.next();
        }
        files.sort();
        for (const QString &file : files) {
            if (stopped())
                return {};
            if (entries.size() >= limits.maxApplications)
                break;
            QString id = file.mid(applications.size() + 1);
            id.replace(u'/', u'-');
            if (seen.contains(id))
                continue;
            seen.insert(id);
            if (QFileInfo(file).size() > limits.maxEntryBytes)
                continue;
            const QHash<QString, QString> values = desktopEntryValues(file);
            if (values.value(QStringLiteral("Type")) != u"Application" || isTrue(values.value(QStringLiteral("NoDisplay")))
                || isTrue(values.value(QStringLiteral("Hidden"))))
                continue;
            const QString tryExec = values.value(QStringLiteral("TryExec"));
            if (!tryExec.isEmpty()
                && (QFileInfo(tryExec).isAbsolute() ? !QFileInfo(tryExec).isExecutable()
                                                     : QStandardPaths::findExecutable(tryExec).isEmpty()))
                continue;
            const QString name = unescaped(localised(values, QStringLiteral("Name")));
            if (name.isEmpty() || desktopEntryCommand(file).isEmpty())
                continue;
            entries.append({id, file, name, unescaped(localised(values, QStringLiteral("Comment"))),
                            unescaped(values.value(QStringLiteral("Icon")))});
        }
    }
    std::stable_sort(entries.begin(), entries.end(), [](const DesktopEntry &a, const DesktopEntry &b) {
        return a.name.compare(b.name, Qt::CaseInsensitive) < 0;
    });
    return entries;
}

namespace {
bool installed(const QString &id, const QStringList &dataDirs)
{
    return !desktopEntryPathForId(id, dataDirs).isEmpty();
}
} // namespace

QString desktopEntryPathForId(const QString &id, const QStringList &dataDirs)
{
    if (id.isEmpty() || id.contains(u'/') || id.startsWith(u'.'))
        return {};
    const QString full = id.endsWith(QStringLiteral(".desktop")) ? id : id + QStringLiteral(".desktop");
    for (const QString &dir : dataDirs) {
        const QString applications = dir + QStringLiteral("/applications/");
        if (QFileInfo(applications + full).isFile())
            return applications + full;
        QString nested = full;
        for (qsizetype dash = nested.indexOf(u'-'); dash > 0; dash = nested.indexOf(u'-', dash + 1)) {
            nested[dash] = u'/';
            if (QFileInfo(applications + nested).isFile())
                return applications + nested;
        }
    }
    return {};
}

} // namespace kestrova
