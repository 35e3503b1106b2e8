#include "Autostart.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace kestrova::character {

QString Autostart::folder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/autostart");
}

QString Autostart::entryPath()
{
    return folder() + u'/' + FileName;
}

QString Autostart::command()
{
    const QString self = QCoreApplication::applicationFilePath();
    const QString onPath = QStandardPaths::findExecutable(QStringLiteral("kestrova"));
    if (!onPath.isEmpty() && !self.isEmpty()
        && QFileInfo(onPath).canonicalFilePath() == QFileInfo(self).canonicalFilePath())
        return QStringLiteral("kestrova");
    // The Exec key quotes arguments with double quotes, and inside them a
    // backslash, quote, backtick and dollar are escaped.
    QString quoted = self;
    for (const QChar c : {u'\\', u'"', u'`', u'$'})
        quoted.replace(c, QStringLiteral("\\") + c);
    if (quoted.contains(u' ') || quoted != self)
        quoted = u'"' + quoted + u'"';
    // A literal percent sign is doubled in Exec.
    quoted.replace(u'%', QStringLiteral("%%"));
    return quoted;
}

QByteArray Autostart::entry()
{
    QString text;
    text += QStringLiteral("[Desktop Entry]\n");
    text += QStringLiteral("Type=Application\n");
    text += QStringLiteral("Name=Kestrova\n");
    text += QStringLiteral("Comment=Your desktop assistant, started when you log in\n");
    text += QStringLiteral("Exec=%1\n").arg(command());
    text += QStringLiteral("Icon=org.kestrova.Kestrova\n");
    text += QStringLiteral("Terminal=false\n");
    text += QStringLiteral("X-GNOME-Autostart-enabled=true\n");
    return text.toUtf8();
}

bool Autostart::startsAtLogin()
{
    return QFileInfo(entryPath()).isFile();
}

bool Autostart::setStartAtLogin(bool on, QString *error)
{
    const QString path = entryPath();
    if (!on) {
        if (!QFileInfo::exists(path))
            return true;
        QFile file(path);
        if (file.remove())
            return true;
        if (error)
            *error = QCoreApplication::translate("kestrova::character::Autostart", "Kestrova could not remove %1: %2").arg(path, file.errorString());
        return false;
    }
    if (!QDir().mkpath(folder())) {
        if (error)
            *error = QCoreApplication::translate("kestrova::character::Autostart", "Kestrova could not make the folder %1").arg(folder());
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = QCoreApplication::translate("kestrova::character::Autostart", "Kestrova could not write %1: %2").arg(path, file.errorString());
        return false;
    }
    const QByteArray text = entry();
    if (file.write(text) != text.size() || !file.commit()) {
        if (error)
            *error = QCoreApplication::translate("kestrova::character::Autostart", "Kestrova could not write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

} // namespace kestrova::character
