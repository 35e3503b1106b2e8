#include "CommandMenu.h"

#include "SpeechText.h"

namespace kestrova::character {

namespace {
// A name for a menu entry: cleaned as outside text is, and cut short enough
// that the menu stays narrower than the screen.
QString entryName(const QString &name)
{
    QString text = cleanOutsideText(name);
    if (text.size() <= CommandMenu::MaxEntryChars)
        return text;
    qsizetype keep = CommandMenu::MaxEntryChars - 1;
    if (text.at(keep - 1).isHighSurrogate())
        --keep;
    return text.left(keep) + QChar(0x2026);
}
} // namespace

CommandMenu::CommandMenu(QWidget *parent) : QMenu(parent)
{
    setObjectName(QStringLiteral("kestrovaCommandMenu"));
}

QString CommandMenu::menuText(QString caption)
{
    // Names come from the user's lists: shown as they stand, without
    // control characters or direction overrides, and never as a shortcut.
    return entryName(caption).replace(u'&', QStringLiteral("&&"));
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
            QAction *action = addAction(withMnemonic(entryName(c.caption.isEmpty() ? c.name : c.caption), used));
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
