#include "DesktopLook.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStyleFactory>

namespace kestrova::DesktopLook {

QByteArray platformThemeFor(const ThemeChoice &choice)
{
    if (!choice.requested.isEmpty())
        return {};
    if (choice.kdeSession)
        return {};
    const QStringList desktops = choice.currentDesktop.split(u':', Qt::SkipEmptyParts);
    for (const QString &d : desktops)
        if (d.compare(QLatin1String("KDE"), Qt::CaseInsensitive) == 0)
            return {};
    return choice.gtk3Available ? QByteArrayLiteral("gtk3") : QByteArray();
}

namespace {

// A theme name such as "Adwaita-dark", "Yaru-dark" or "Adwaita:dark".
bool darkThemeName(QString name)
{
    name = name.trimmed();
    if (name.startsWith(u'\'') && name.endsWith(u'\'') && name.size() >= 2)
        name = name.mid(1, name.size() - 2);
    return name.endsWith(QLatin1String("-dark"), Qt::CaseInsensitive)
        || name.endsWith(QLatin1String(":dark"), Qt::CaseInsensitive)
        || name.endsWith(QLatin1String("_dark"), Qt::CaseInsensitive);
}

// The value of one key of the [Settings] group of a GTK settings file.
QString iniValue(const QString &text, const QString &key)
{
    bool inSettings = false;
    const QStringList lines = text.split(u'\n');
    for (QString line : lines) {
        line = line.trimmed();
        if (line.startsWith(u'[')) {
            inSettings = line.compare(QLatin1String("[Settings]"), Qt::CaseInsensitive) == 0;
            continue;
        }
        if (!inSettings || line.startsWith(u'#') || line.startsWith(u';'))
            continue;
        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0)
            continue;
        if (line.left(eq).trimmed() == key)
            return line.mid(eq + 1).trimmed();
    }
    return {};
}

} // namespace

bool prefersDark(const DarkHints &hints)
{
    QString scheme = hints.colorScheme.trimmed();
    scheme.remove(u'\'');
    if (scheme == u"prefer-dark")
        return true;
    // A desktop that says it prefers light is believed over a theme name.
    if (scheme == u"prefer-light")
        return false;
    if (darkThemeName(hints.gtkThemeEnv))
        return true;
    const QString preferDark = iniValue(hints.gtkSettingsIni, QStringLiteral("gtk-application-prefer-dark-theme"));
    if (preferDark == u"1" || preferDark.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return true;
    if (darkThemeName(iniValue(hints.gtkSettingsIni, QStringLiteral("gtk-theme-name"))))
        return true;
    return darkThemeName(hints.gtkThemeSetting);
}

bool isDark(const QPalette &palette)
{
    return palette.color(QPalette::Window).lightness() < palette.color(QPalette::WindowText).lightness();
}

QPalette darkPalette()
{
    const QColor window(0x35, 0x35, 0x35);
    const QColor base(0x24, 0x24, 0x24);
    const QColor text(0xee, 0xee, 0xee);
    const QColor disabledText(0x80, 0x80, 0x80);
    const QColor highlight(0x2a, 0x6f, 0xc9);
    QPalette p;
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, window.lighter(115));
    p.setColor(QPalette::ToolTipBase, QColor(0x45, 0x45, 0x45));
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, disabledText);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, window);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, Qt::red);
    p.setColor(QPalette::Light, window.lighter(150));
    p.setColor(QPalette::Midlight, window.lighter(125));
    p.setColor(QPalette::Mid, window.darker(130));
    p.setColor(QPalette::Dark, window.darker(160));
    p.setColor(QPalette::Shadow, Qt::black);
    p.setColor(QPalette::Highlight, highlight);
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Link, QColor(0x6f, 0xa8, 0xf0));
    p.setColor(QPalette::LinkVisited, QColor(0xb0, 0x8c, 0xe8));
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, disabledText);
    p.setColor(QPalette::Disabled, QPalette::Highlight, window.lighter(130));
    return p;
}

namespace {

QString gsettings(const QString &key)
{
    static const QString program = QStandardPaths::findExecutable(QStringLiteral("gsettings"));
    if (program.isEmpty())
        return {};
    QProcess process;
    process.start(program, {QStringLiteral("get"), QStringLiteral("org.gnome.desktop.interface"), key});
    if (!process.waitForFinished(1000)) {
        process.kill();
        process.waitForFinished(200);
        return {};
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return {};
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

} // namespace

DarkHints readDarkHints()
{
    DarkHints hints;
    hints.gtkThemeEnv = qEnvironmentVariable("GTK_THEME");
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty())
        config = QDir::homePath() + QStringLiteral("/.config");
    QFile ini(config + QStringLiteral("/gtk-3.0/settings.ini"));
    if (ini.open(QIODevice::ReadOnly | QIODevice::Text))
        hints.gtkSettingsIni = QString::fromUtf8(ini.read(64 * 1024));
    hints.colorScheme = gsettings(QStringLiteral("color-scheme"));
    if (hints.colorScheme.isEmpty())
        hints.gtkThemeSetting = gsettings(QStringLiteral("gtk-theme"));
    return hints;
}

namespace {

bool gtk3PluginInstalled()
{
    QStringList dirs = qEnvironmentVariable("QT_PLUGIN_PATH").split(u':', Qt::SkipEmptyParts);
    dirs << QLibraryInfo::path(QLibraryInfo::PluginsPath);
    for (const QString &dir : dirs)
        if (QFileInfo::exists(dir + QStringLiteral("/platformthemes/libqgtk3.so")))
            return true;
    return false;
}

} // namespace

void choosePlatformTheme()
{
    ThemeChoice choice;
    choice.requested = qEnvironmentVariable("QT_QPA_PLATFORMTHEME");
    choice.currentDesktop = qEnvironmentVariable("XDG_CURRENT_DESKTOP");
    choice.kdeSession = !qEnvironmentVariableIsEmpty("KDE_FULL_SESSION");
    choice.gtk3Available = choice.requested.isEmpty() && gtk3PluginInstalled();
    const QByteArray theme = platformThemeFor(choice);
    if (!theme.isEmpty())
        qputenv("QT_QPA_PLATFORMTHEME", theme);
}

bool applyDarkFallback(QApplication &app, const DarkHints &hints)
{
    if (isDark(QApplication::palette()) || !prefersDark(hints))
        return false;
    if (QStyle *fusion = QStyleFactory::create(QStringLiteral("Fusion")))
        QApplication::setStyle(fusion);
    QApplication::setPalette(darkPalette());
    Q_UNUSED(app);
    return true;
}

} // namespace kestrova::DesktopLook
