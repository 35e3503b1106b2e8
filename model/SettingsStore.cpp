#include "SettingsStore.h"

#include "SettingsFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSettings>
#include <QStringDecoder>

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcSettings, "kestrova.settings", QtWarningMsg)

namespace kestrova {

namespace {

QString keyPath(const QString &section, const QString &key)
{
    // Keys outside a section do not occur; an empty section still gets a
    // group of its own rather than landing among QSettings' "General" keys.
    return section + u'/' + key;
}

// Whether rewriting the file could drop something the user had: lines the
// INI reader cannot parse, or what a crash leaves behind and the reader
// passes over without a word (NUL bytes, bytes that are no text). A file far
// larger than settings ever are has been set aside before.
bool looksDamaged(const QString &file)
{
    QFile f(file);
    if (!f.exists())
        return false;
    if (f.open(QIODevice::ReadOnly)) {
        const QByteArray bytes = f.readAll();
        if (bytes.contains('\0'))
            return true;
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString text = utf8(bytes);
        if (utf8.hasError())
            return true;
    }
    return QSettings(file, QSettings::IniFormat).status() == QSettings::FormatError;
}

// The files of the store may hold the mail password, so each is readable by
// its owner only from the moment it exists: made here with mode 0600 before
// QSettings writes it (QSaveFile gives its temporary file and the result the
// mode of the file it replaces), and one left wider by an older version or
// by hand is narrowed before it is written again.
bool makeOwnerOnly(const QString &file)
{
    const int fd = ::open(QFile::encodeName(file).constData(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0600);
    if (fd < 0)
        return false;
    struct stat info {};
    bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    if (ok && (info.st_mode & 077) != 0)
        ok = ::fchmod(fd, info.st_mode & 0700) == 0;
    ::close(fd);
    return ok;
}

// A new owner-only file holding what `from` holds: the same file under a
// second name where the file system allows it, so nothing is written, or an
// owner-only copy.
bool keepAs(const QString &from, const QString &keep)
{
    const QByteArray target = QFile::encodeName(keep);
    if (::unlink(target.constData()) != 0 && errno != ENOENT)
        return false;
    if (::link(QFile::encodeName(from).constData(), target.constData()) == 0)
        return true;
    QFile in(from);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    const int fd = ::open(target.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    QFile out;
    bool ok = out.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle);
    char buffer[64 * 1024];
    for (qint64 n = 0; ok && (n = in.read(buffer, sizeof buffer)) != 0;)
        ok = n > 0 && out.write(buffer, n) == n;
    ok = out.flush() && ok;
    out.close();
    if (!ok)
        ::unlink(target.constData());
    return ok;
}

} // namespace

SettingsStore::SettingsStore(QString folder) : m_folder(std::move(folder)) {}

QString SettingsStore::fileOf(const QString &application) const
{
    const bool main = application.compare(MainApplication, Qt::CaseInsensitive) == 0;
    return m_folder + u'/' + (main ? MainApplication : application) + QStringLiteral(".ini");
}

void SettingsStore::adoptOtherCase(const QString &application) const
{
    const QString file = fileOf(application);
    const QString other = m_folder + u'/' + application + QStringLiteral(".ini");
    if (other == file || !QFileInfo(other).isFile())
        return;
    // One file on a file system that ignores case.
    struct stat a {}, b {};
    if (::stat(QFile::encodeName(file).constData(), &a) == 0 && ::stat(QFile::encodeName(other).constData(), &b) == 0
        && a.st_dev == b.st_dev && a.st_ino == b.st_ino)
        return;
    if (setAsideIfTooLarge(other))
        return;
    // Its values join the one file, where that has none of its own; then
    // it goes, kept as a copy first when it has lines that cannot be read.
    if (looksDamaged(other) && !(makeOwnerOnly(other) && keepAs(other, other + QStringLiteral(".damaged"))))
        return;
    const QSettings old(other, QSettings::IniFormat);
    bool all = true;
    for (const QString &k : old.allKeys()) {
        const qsizetype slash = k.indexOf(u'/');
        const QString section = slash < 0 ? QString() : k.left(slash);
        const QString key = slash < 0 ? k : k.mid(slash + 1);
        if (QSettings(file, QSettings::IniFormat).contains(k))
            continue;
        all = write(MainApplication, section, key, old.value(k).toString()) && all;
    }
    if (all && QFile::remove(other))
        qCInfo(lcSettings) << "The settings of" << other << "were moved into" << file;
}

QString SettingsStore::read(const QString &application, const QString &section,
                            const QString &key, const QString &defaultValue) const
{
    adoptOtherCase(application);
    const QString file = fileOf(application);
    if (setAsideIfTooLarge(file) || !QFile::exists(file))
        return defaultValue;
    QSettings settings(file, QSettings::IniFormat);
    if (settings.status() == QSettings::AccessError)
        return defaultValue;
    const QVariant value = settings.value(keyPath(section, key));
    if (!value.isValid())
        return defaultValue;
    // A hand-edited file may hold a list ("a, b") where a text belongs.
    if (value.metaType().id() == QMetaType::QStringList)
        return value.toStringList().join(QStringLiteral(", "));
    return value.toString();
}

bool SettingsStore::write(const QString &application, const QString &section,
                          const QString &key, const QString &text) const
{
    if (!QDir().mkpath(m_folder)) {
        qCWarning(lcSettings) << "Cannot create the settings folder" << m_folder
                              << "- the setting" << section << key << "was not saved.";
        return false;
    }
    adoptOtherCase(application);
    const QString file = fileOf(application);
    if (setAsideIfTooLarge(file) && QFile::exists(file)) {
        qCWarning(lcSettings) << "The setting" << section << key << "was not saved.";
        return false;
    }
    {
        if (looksDamaged(file)) {
            const QString keep = file + QStringLiteral(".damaged");
            // It may hold the password: narrowed before a second name is
            // given to it.
            makeOwnerOnly(file);
            if (!keepAs(file, keep)) {
                qCWarning(lcSettings) << "The settings file" << file
                                      << "has lines that cannot be read and could not be kept"
                                      << "as a copy; it is left as it is and" << section << key
                                      << "was not saved.";
                return false;
            }
            qCWarning(lcSettings) << "The settings file" << file
                                  << "has lines that cannot be read; a copy was kept as" << keep;
            // What can still be read goes into a fresh file, with the new value.
            QSettings old(file, QSettings::IniFormat);
            QList<std::pair<QString, QVariant>> readable;
            for (const QString &k : old.allKeys())
                readable.append({k, old.value(k)});
            const QString fresh = file + QStringLiteral(".new");
            QFile::remove(fresh);
            bool written = makeOwnerOnly(fresh);
            if (written) {
                QSettings rewritten(fresh, QSettings::IniFormat);
                for (const auto &[k, v] : readable)
                    rewritten.setValue(k, v);
                rewritten.setValue(keyPath(section, key), text);
                rewritten.sync();
                written = rewritten.status() == QSettings::NoError;
            }
            if (!written) {
                QFile::remove(fresh);
                qCWarning(lcSettings) << "Cannot write the settings file" << file << "- the setting"
                                      << section << key << "was not saved.";
                return false;
            }
            // The copy is kept, so the damaged file may go; replaced in one
            // step, so there is always a settings file.
            if (::rename(QFile::encodeName(fresh).constData(), QFile::encodeName(file).constData()) != 0) {
                QFile::remove(fresh);
                qCWarning(lcSettings) << "Cannot replace the settings file" << file << "- the setting"
                                      << section << key << "was not saved.";
                return false;
            }
            return true;
        }
    }
    if (!makeOwnerOnly(file))
        qCWarning(lcSettings) << "Cannot make the settings file" << file << "readable by its owner only";
    QSettings settings(file, QSettings::IniFormat);
    settings.setValue(keyPath(section, key), text);
    settings.sync();
    if (settings.status() != QSettings::NoError) {
        qCWarning(lcSettings) << "Cannot write the settings file" << file << "- the setting"
                              << section << key << "was not saved.";
        return false;
    }
    return true;
}

} // namespace kestrova
