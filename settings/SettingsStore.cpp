#include "SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QSettings>

Q_LOGGING_CATEGORY(lcSettings, "kestrova.settings", QtWarningMsg)

namespace kestrova {

namespace {

QString keyPath(const QString &section, const QString &key)
{
    // Keys outside a section do not occur; an empty section still gets a
    // group of its own rather than landing among QSettings' "General" keys.
    return section + u'/' + key;
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
        QSettings probe(file, QSettings::IniFormat);
        if (probe.status() == QSettings::FormatError) {
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
