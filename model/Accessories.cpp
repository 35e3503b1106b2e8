#include "Accessories.h"

#include "SettingsStore.h"

#include <QFileInfo>
#include <QStandardPaths>

namespace kestrova {

QString accessoryKey(Accessory accessory)
{
    switch (accessory) {
    case Accessory::Calculator: return QStringLiteral("Calc");
    case Accessory::CDPlayer: return QStringLiteral("CD");
    case Accessory::Notepad: return QStringLiteral("Notepad");
    case Accessory::Wordpad: return QStringLiteral("Wordpad");
    }
    return QString();
}

QStringList accessoryDesktopEntries(Accessory accessory)
{
    switch (accessory) {
    case Accessory::Calculator:
        return {"org.gnome.Calculator.desktop", "gnome-calculator.desktop", "org.kde.kcalc.desktop",
                "kcalc.desktop", "mate-calc.desktop", "galculator.desktop",
                "qalculate-gtk.desktop", "io.github.Qalculate.desktop", "xcalc.desktop"};
    case Accessory::CDPlayer:
        return {"org.gnome.Rhythmbox3.desktop", "rhythmbox.desktop", "org.kde.elisa.desktop",
                "org.gnome.Music.desktop", "org.kde.kscd.desktop", "audacious.desktop",
                "org.clementine_player.Clementine.desktop", "vlc.desktop"};
    case Accessory::Notepad:
        return {"org.gnome.TextEditor.desktop", "org.gnome.gedit.desktop", "gedit.desktop",
                "org.kde.kwrite.desktop", "org.kde.kate.desktop", "org.xfce.mousepad.desktop",
                "mousepad.desktop", "pluma.desktop", "xed.desktop", "featherpad.desktop",
                "leafpad.desktop"};
    case Accessory::Wordpad:
        return {"libreoffice-writer.desktop", "org.libreoffice.LibreOffice.writer.desktop",
                "abiword.desktop", "org.kde.calligrawords.desktop"};
    }
    return {};
}

QString accessoryTarget(Accessory accessory, const SettingsStore &settings,
                        const QStringList &applicationDirs)
{
    const QString chosen = settings.read(QStringLiteral("Kestrova"), QStringLiteral("Programs"),
                                         accessoryKey(accessory));
    if (!chosen.isEmpty()) {
        // A bare program name is looked up on the PATH, as a terminal would.
        if (!chosen.contains(u'/') && !QFileInfo::exists(chosen)) {
            const QString found = QStandardPaths::findExecutable(chosen);
            if (!found.isEmpty())
                return found;
        }
        return chosen;
    }
    for (const QString &entry : accessoryDesktopEntries(accessory)) {
        for (const QString &dir : applicationDirs) {
            const QString path = dir + u'/' + entry;
            if (QFileInfo(path).isFile())
                return path;
        }
    }
    return QString();
}

QStringList installedApplicationDirs()
{
    return QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation);
}

} // namespace kestrova
