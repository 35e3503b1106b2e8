#include "SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QSettings>
#include <QStringDecoder>

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
// passes over without a word (NUL bytes, bytes that are no text, a file far
// larger than settings ever are).
bool looksDamaged(const QString &file)
{
    QFile f(file);
    if (!f.exists())
        return false;
    if (f.size() > 4 * 1024 * 1024)
        return true;
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

} // namespace

SettingsStore::SettingsStore(QString folder) : m_folder(std::move(folder)) {}

QString SettingsStore::fileOf(const QString &application) const
{
    return m_folder + u'/' + application + QStringLiteral(".ini");
}

QString SettingsStore::read(const QString &application, const QString &section,
                            const QString &key, const QString &defaultValue) const
{
    const QString file = fileOf(application);
    if (!QFile::exists(file))
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
    const QString file = fileOf(application);
    {
        if (looksDamaged(file)) {
            const QString keep = file + QStringLiteral(".damaged");
            QFile::remove(keep);
            if (!QFile::copy(file, keep)) {
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
            {
                QSettings rewritten(fresh, QSettings::IniFormat);
                for (const auto &[k, v] : readable)
                    rewritten.setValue(k, v);
                rewritten.setValue(keyPath(section, key), text);
                rewritten.sync();
                if (rewritten.status() != QSettings::NoError) {
                    QFile::remove(fresh);
                    qCWarning(lcSettings) << "Cannot write the settings file" << file << "- the setting"
                                          << section << key << "was not saved.";
                    return false;
                }
            }
            // The copy is kept, so the damaged file may go.
            if (!QFile::remove(file) || !QFile::rename(fresh, file)) {
                qCWarning(lcSettings) << "Cannot replace the settings file" << file << "- the setting"
                                      << section << key << "was not saved.";
                return false;
            }
            return true;
        }
    }
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
