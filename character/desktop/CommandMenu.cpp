#include "CommandMenu.h"

#include "SpeechText.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QScreen>
#include <QTextLayout>

#include <algorithm>

namespace kestrova::character {

namespace {
const QChar Ellipsis(0x2026);

// The name cleaned as outside text is (which cuts it with "…" where it is
// long), only its start read where it is very long.
QString cleanedName(const QString &name)
{
    qsizetype raw = CommandMenu::MaxEntryChars;
    if (name.size() <= raw)
        return cleanOutsideText(name);
    if (name.at(raw - 1).isHighSurrogate())
        --raw;
    QString text = cleanOutsideText(name.left(raw));
    if (!text.endsWith(Ellipsis))
        text += Ellipsis;
    return text;
}

QSize availableSize(const QMenu &menu)
{
    const QScreen *screen = menu.screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry().size() : QSize(1024, 768);
}
int availableWidth(const QMenu &menu) { return availableSize(menu).width(); }
int availableHeight(const QMenu &menu) { return availableSize(menu).height(); }
} // namespace

CommandMenu::CommandMenu(QWidget *parent) : QMenu(parent)
{
    setObjectName(QStringLiteral("kestrovaCommandMenu"));
}

int CommandMenu::entryWidth(const QMenu &menu)
{
    return std::max(1, availableWidth(menu) / 3);
}

QString CommandMenu::shownName(const QMenu &menu, const QString &name)
{
    return QFontMetrics(menu.font()).elidedText(cleanedName(name), Qt::ElideRight, entryWidth(menu));
}

QString CommandMenu::fullNameTip(const QMenu &menu, const QString &name)
{
    const QString text = cleanedName(name);
    if (shownName(menu, name) == text)
        return {};
    // Lines broken where they reach the width, between words or inside a
    // word that has no room, as the balloon breaks its text.
    QTextLayout layout(text, menu.font());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    const int width = std::max(1, availableWidth(menu) / 2);
    // At most half the screen's height, too.
    const QFontMetrics metrics(menu.font());
    const int most = std::clamp(availableHeight(menu) / 2 / std::max(1, metrics.lineSpacing()), 1, MaxTipLines);
    QStringList lines;
    qsizetype end = 0;
    layout.beginLayout();
    while (lines.size() < most) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(width);
        lines << text.mid(line.textStart(), line.textLength());
        end = line.textStart() + line.textLength();
    }
    layout.endLayout();
    if (end < text.size()) {
        QString &last = lines.last();
        last = metrics.elidedText(last + Ellipsis, Qt::ElideRight, width);
        if (!last.endsWith(Ellipsis))
            last += Ellipsis;
    }
    // As rich text, so that nothing in the name is taken for markup and the
    // lines stay as broken here.
    for (QString &line : lines)
        line = line.toHtmlEscaped();
    return QStringLiteral("<p style=\"white-space:pre\">") + lines.join(QStringLiteral("<br>")) + QStringLiteral("</p>");
}

void CommandMenu::showName(QMenu &menu, QAction *action, const QString &name, QSet<QChar> *used)
{
    const QString shown = shownName(menu, name);
    action->setText(used ? withMnemonic(shown, *used) : QString(shown).replace(u'&', QStringLiteral("&&")));
    action->setToolTip(fullNameTip(menu, name));
    menu.setToolTipsVisible(true);
}

QString CommandMenu::withMnemonic(const QString &shown, QSet<QChar> &used)
{
    // The first letter of a word not taken yet, else any letter not taken:
    // each entry of the menu can be chosen by its own key.
    int at = -1;
    for (int pass = 0; pass < 2 && at < 0; ++pass)
        for (int i = 0; i < shown.size(); ++i) {
            const QChar c = shown.at(i);
            const bool wordStart = i == 0 || !shown.at(i - 1).isLetterOrNumber();
            if (c.isLetterOrNumber() && (pass == 1 || wordStart) && !used.contains(c.toLower())) {
                at = i;
                break;
            }
        }
    QString text;
    for (int i = 0; i < shown.size(); ++i) {
        if (i == at)
            text += u'&';
        text += shown.at(i);
        if (shown.at(i) == u'&')
            text += u'&';
    }
    if (at >= 0)
        used.insert(shown.at(at).toLower());
    return text;
}

QString CommandMenu::actionName(const QString &commandName)
{
    return QStringLiteral("command:") + commandName;
}

void CommandMenu::fill(const Commands &commands)
{
    // Actions from an earlier popup go with it; clear() deletes the ones
    // the menu owns.
    clear();
    // The service's own entries keep their letters whatever the commands.
    QSet<QChar> used;
    const QString hideText = withMnemonic(HideText, used);
    const QString windowText = withMnemonic(CommandsWindowText, used);
    const QString optionsText = withMnemonic(OptionsText, used);
    if (commands.visible()) {
        for (const Command &c : commands.all()) {
            if (!c.visible || !c.enabled)
                continue;
            QAction *action = addAction(QString());
            showName(*this, action, c.caption.isEmpty() ? c.name : c.caption, &used);
            action->setObjectName(actionName(c.name));
            const QString name = c.name;
            const QString caption = c.caption;
            connect(action, &QAction::triggered, this, [this, name, caption] { Q_EMIT commandChosen(name, caption); });
        }
    }
    if (!actions().isEmpty())
        addSeparator()->setObjectName(QStringLiteral("kestrovaServiceSeparator"));
    QAction *hide = addAction(hideText);
    hide->setObjectName(QStringLiteral("kestrovaHide"));
    connect(hide, &QAction::triggered, this, &CommandMenu::hideChosen);
    QAction *window = addAction(windowText);
    window->setObjectName(QStringLiteral("kestrovaOpenCommandsWindow"));
    connect(window, &QAction::triggered, this, &CommandMenu::commandsWindowChosen);
    QAction *options = addAction(optionsText);
    options->setObjectName(QStringLiteral("kestrovaOptions"));
    connect(options, &QAction::triggered, this, &CommandMenu::optionsChosen);
}

} // namespace kestrova::character
