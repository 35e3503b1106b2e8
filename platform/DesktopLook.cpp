#include "DesktopLook.h"

#include "DesktopSession.h"

#include <QApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QStyle>
#include <QStyleFactory>
#include <QTimer>

namespace kestrova::DesktopLook {

namespace {

// The desktops on which Qt, left to itself, loads the GTK 3 theme.
const char *const GtkDesktops[] = {"GNOME", "X-CINNAMON", "UNITY", "MATE", "XFCE", "LXDE", "BUDGIE", "PANTHEON"};

bool namesDesktop(const ThemeChoice &choice, QLatin1String name)
{
    return DesktopSession::names(choice.currentDesktop, name);
}

} // namespace

bool isKde(const ThemeChoice &choice)
{
    QProcessEnvironment environment;
    environment.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), choice.currentDesktop);
    if (choice.kdeSession)
        environment.insert(QStringLiteral("KDE_FULL_SESSION"), QStringLiteral("true"));
    return DesktopSession::of(environment).kde;
}

QByteArray desktopNameForQt(const ThemeChoice &choice)
{
    if (!choice.requested.isEmpty() || isKde(choice))
        return {};
    if (choice.currentDesktop.isEmpty())
        return choice.olderGtkSession ? QByteArrayLiteral("X-Generic") : QByteArray();
    for (const char *desktop : GtkDesktops)
        if (namesDesktop(choice, QLatin1String(desktop)))
            return QByteArrayLiteral("X-Generic");
    return {};
}

bool followsDesktop(const ThemeChoice &choice)
{
    return choice.requested.isEmpty() && !isKde(choice);
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
    if (hints.portalColorScheme == 1)
        return true;
    if (hints.portalColorScheme == 2)
        return false;
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

QString unquoted(QString text)
{
    text = text.trimmed();
    if (text.size() >= 2 && text.startsWith(u'\'') && text.endsWith(u'\''))
        text = text.mid(1, text.size() - 2);
    return text;
}

// GNOME's named accent colours, as its own style draws them.
QColor namedAccent(const QString &name)
{
    static const struct { const char *name; QRgb rgb; } accents[] = {
        {"blue", 0x3584e4}, {"teal", 0x2190a4}, {"green", 0x3a944a}, {"yellow", 0xc88800},
        {"orange", 0xed5b00}, {"red", 0xe62d42}, {"pink", 0xd56199}, {"purple", 0x9141ac},
        {"slate", 0x6f8396},
    };
    const QString key = unquoted(name).toLower();
    for (const auto &a : accents)
        if (key == QLatin1String(a.name))
            return QColor(a.rgb);
    return {};
}

// Words at the end of a Pango font description that are its style, not
// part of the family's name.
bool styleWord(const QString &word, QFont &font)
{
    const QString w = word.toLower();
    static const struct { const char *word; int weight; } weights[] = {
        {"thin", QFont::Thin}, {"ultra-light", QFont::ExtraLight}, {"extra-light", QFont::ExtraLight},
        {"light", QFont::Light}, {"semi-light", QFont::Light}, {"book", QFont::Normal},
        {"regular", QFont::Normal}, {"normal", QFont::Normal}, {"medium", QFont::Medium},
        {"semi-bold", QFont::DemiBold}, {"demi-bold", QFont::DemiBold}, {"bold", QFont::Bold},
        {"ultra-bold", QFont::ExtraBold}, {"extra-bold", QFont::ExtraBold}, {"heavy", QFont::Black},
        {"black", QFont::Black},
    };
    for (const auto &entry : weights)
        if (w == QLatin1String(entry.word)) {
            font.setWeight(QFont::Weight(entry.weight));
            return true;
        }
    if (w == u"italic" || w == u"oblique") {
        font.setItalic(true);
        return true;
    }
    return w == u"condensed" || w == u"expanded" || w == u"small-caps";
}

} // namespace

QColor accent(const DarkHints &hints)
{
    if (hints.portalAccent.isValid())
        return hints.portalAccent;
    return namedAccent(hints.accentName);
}

QFont fontFromDescription(const QString &description, const QFont &base)
{
    QStringList words = unquoted(description).split(u' ', Qt::SkipEmptyParts);
    QFont font = base;
    if (!words.isEmpty()) {
        bool number = false;
        const double size = words.last().toDouble(&number);
        if (number) {
            words.removeLast();
            if (size >= 4 && size <= 96)
                font.setPointSizeF(size);
        }
    }
    while (!words.isEmpty() && styleWord(words.last(), font))
        words.removeLast();
    // "Noto Sans, Sans": the first family that is named.
    const QString family = words.join(u' ').section(u',', 0, 0).trimmed();
    if (family.isEmpty())
        return base;
    font.setFamilies({family});
    return font;
}

QFont font(const DarkHints &hints, const QFont &base)
{
    QString description = unquoted(hints.fontName);
    if (description.isEmpty())
        description = iniValue(hints.gtkSettingsIni, QStringLiteral("gtk-font-name"));
    return fontFromDescription(description, base);
}

QPalette paletteFor(const DarkHints &hints, const QPalette &light)
{
    QPalette palette = prefersDark(hints) ? darkPalette() : light;
    const QColor colour = accent(hints);
    if (colour.isValid()) {
        palette.setColor(QPalette::Active, QPalette::Highlight, colour);
        palette.setColor(QPalette::Inactive, QPalette::Highlight, colour);
        // Text on the selection: whichever of white and black reads better.
        const QColor text = qGray(colour.rgb()) > 150 ? QColor(Qt::black) : QColor(Qt::white);
        palette.setColor(QPalette::Active, QPalette::HighlightedText, text);
        palette.setColor(QPalette::Inactive, QPalette::HighlightedText, text);
    }
    return palette;
}

DarkHints readLocalHints()
{
    DarkHints hints;
    hints.gtkThemeEnv = qEnvironmentVariable("GTK_THEME");
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty())
        config = QDir::homePath() + QStringLiteral("/.config");
    QFile ini(config + QStringLiteral("/gtk-3.0/settings.ini"));
    if (ini.open(QIODevice::ReadOnly | QIODevice::Text))
        hints.gtkSettingsIni = QString::fromUtf8(ini.read(64 * 1024));
    return hints;
}

namespace {

ThemeChoice choiceFromEnvironment()
{
    ThemeChoice choice;
    choice.requested = qEnvironmentVariable("QT_QPA_PLATFORMTHEME");
    choice.currentDesktop = qEnvironmentVariable("XDG_CURRENT_DESKTOP");
    choice.kdeSession = !qEnvironmentVariableIsEmpty("KDE_FULL_SESSION");
    const QString session = qEnvironmentVariable("DESKTOP_SESSION");
    choice.olderGtkSession = !qEnvironmentVariableIsEmpty("GNOME_DESKTOP_SESSION_ID")
        || session == u"gnome" || session == u"xfce";
    return choice;
}

// The desktop's own name while Qt is shown another.
bool desktopNameHidden = false;
bool desktopNameWasSet = false;
QByteArray desktopName;

} // namespace

bool choosePlatformTheme()
{
    const ThemeChoice choice = choiceFromEnvironment();
    const QByteArray shown = desktopNameForQt(choice);
    if (!shown.isEmpty()) {
        desktopNameWasSet = qEnvironmentVariableIsSet("XDG_CURRENT_DESKTOP");
        desktopName = qgetenv("XDG_CURRENT_DESKTOP");
        qputenv("XDG_CURRENT_DESKTOP", shown);
        desktopNameHidden = true;
    }
    return followsDesktop(choice);
}

void restoreDesktopName()
{
    if (!desktopNameHidden)
        return;
    if (desktopNameWasSet)
        qputenv("XDG_CURRENT_DESKTOP", desktopName);
    else
        qunsetenv("XDG_CURRENT_DESKTOP");
    desktopNameHidden = false;
}

void apply(const DarkHints &hints)
{
    static QPalette light;
    static bool fusionSet = false;
    if (!fusionSet) {
        if (QStyle *fusion = QStyleFactory::create(QStringLiteral("Fusion"))) {
            QApplication::setStyle(fusion);
            light = fusion->standardPalette();
        } else {
            light = QApplication::palette();
        }
        fusionSet = true;
    }
    QApplication::setPalette(paletteFor(hints, light));
    static const QFont base = QApplication::font();
    const QFont wanted = font(hints, base);
    if (wanted != QApplication::font())
        QApplication::setFont(wanted);
}

namespace {

const QString PortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString PortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString PortalSettings = QStringLiteral("org.freedesktop.portal.Settings");
const QString Appearance = QStringLiteral("org.freedesktop.appearance");
const QString GnomeInterface = QStringLiteral("org.gnome.desktop.interface");

// A portal's Read answers a variant inside a variant (older portals) or a
// variant: the value at the bottom.
QVariant unwrap(QVariant value)
{
    for (int depth = 0; depth < 4 && value.metaType() == QMetaType::fromType<QDBusVariant>(); ++depth)
        value = value.value<QDBusVariant>().variant();
    return value;
}

// The portal's accent colour, "(ddd)" from 0 to 1; out of range is unset.
QColor accentFromPortal(const QVariant &value)
{
    if (value.metaType() != QMetaType::fromType<QDBusArgument>())
        return {};
    const QDBusArgument argument = value.value<QDBusArgument>();
    if (argument.currentSignature() != u"(ddd)")
        return {};
    double rgb[3] = {-1, -1, -1};
    argument.beginStructure();
    argument >> rgb[0] >> rgb[1] >> rgb[2];
    argument.endStructure();
    for (double c : rgb)
        if (!(c >= 0.0 && c <= 1.0))
            return {};
    return QColor::fromRgbF(float(rgb[0]), float(rgb[1]), float(rgb[2]));
}

} // namespace

Follower::Follower(QObject *parent) : QObject(parent) {}

void Follower::start()
{
    m_hints = readLocalHints();
    apply(m_hints);
    askPortal();
}

void Follower::askPortal()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        askGsettings();
        return;
    }
    bus.connect(PortalService, PortalPath, PortalSettings, QStringLiteral("SettingChanged"), this,
                SLOT(portalChanged(QDBusMessage)));
    const QList<QPair<QString, QString>> keys = {
        {Appearance, QStringLiteral("color-scheme")},
        {Appearance, QStringLiteral("accent-color")},
        {GnomeInterface, QStringLiteral("font-name")},
    };
    m_portalPending = int(keys.size());
    for (const auto &setting : keys) {
        const QString ns = setting.first, key = setting.second;
        QDBusMessage read = QDBusMessage::createMethodCall(PortalService, PortalPath, PortalSettings,
                                                           QStringLiteral("Read"));
        read << ns << key;
        // The portal may be started for this call: bounded, never waited on.
        auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(read, 3000), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this,
                [this, ns, key](QDBusPendingCallWatcher *call) { portalAnswered(call, ns, key); });
    }
}

void Follower::portalAnswered(QDBusPendingCallWatcher *call, const QString &ns, const QString &key)
{
    call->deleteLater();
    const QDBusMessage reply = call->reply();
    if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
        ++m_portalAnswers;
        take(ns, key, unwrap(reply.arguments().constFirst()));
    }
    if (--m_portalPending > 0)
        return;
    // No portal, or one that does not know the colour scheme: GNOME's own
    // settings may still say it.
    if (m_hints.portalColorScheme < 0)
        askGsettings();
    else
        reapply();
}

void Follower::portalChanged(const QDBusMessage &change)
{
    const QList<QVariant> args = change.arguments();
    if (args.size() < 3)
        return;
    take(args[0].toString(), args[1].toString(), unwrap(args[2]));
    reapply();
}

void Follower::take(const QString &ns, const QString &key, const QVariant &value)
{
    if (ns == Appearance && key == u"color-scheme") {
        bool ok = false;
        const uint scheme = value.toUInt(&ok);
        m_hints.portalColorScheme = ok && scheme <= 2 ? int(scheme) : -1;
    } else if (ns == Appearance && key == u"accent-color") {
        m_hints.portalAccent = accentFromPortal(value);
    } else if (ns == GnomeInterface && key == u"font-name") {
        m_hints.fontName = value.toString();
    }
}

void Follower::askGsettings()
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("gsettings"));
    if (program.isEmpty()) {
        reapply();
        return;
    }
    // One call for the four keys: "get" takes one key, so a small list.
    auto *process = new QProcess(this);
    connect(process, &QProcess::finished, this, [this, process](int code, QProcess::ExitStatus status) {
        process->deleteLater();
        if (status == QProcess::NormalExit && code == 0) {
            // "org.gnome.desktop.interface color-scheme 'prefer-dark'"
            const QStringList lines = QString::fromUtf8(process->readAllStandardOutput()).split(u'\n');
            for (const QString &line : lines) {
                const QString key = line.section(u' ', 1, 1);
                const QString value = line.section(u' ', 2).trimmed();
                if (key == u"color-scheme")
                    m_hints.colorScheme = value;
                else if (key == u"gtk-theme")
                    m_hints.gtkThemeSetting = value;
                else if (key == u"accent-color")
                    m_hints.accentName = value;
                else if (key == u"font-name" && m_hints.fontName.isEmpty())
                    m_hints.fontName = value;
            }
        }
        reapply();
    });
    connect(process, &QProcess::errorOccurred, this, [this, process](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            process->deleteLater();
            reapply();
        }
    });
    process->start(program, {QStringLiteral("list-recursively"), GnomeInterface});
    // A gsettings that hangs is not waited for beyond a few seconds.
    QTimer::singleShot(3000, process, [process] { process->kill(); });
}

void Follower::reapply()
{
    apply(m_hints);
    Q_EMIT applied();
}

} // namespace kestrova::DesktopLook
