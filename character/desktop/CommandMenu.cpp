#include "CommandMenu.h"

#include "SpeechText.h"

namespace kestrova::character {

CommandMenu::CommandMenu(QWidget *parent) : QMenu(parent)
{
    setObjectName(QStringLiteral("kestrovaCommandMenu"));
}

QString CommandMenu::menuText(QString caption)
{
    // Names come from the user's lists: shown as they stand, without
    // control characters or direction overrides, and never as a shortcut.
    return cleanOutsideText(caption).replace(u'&', QStringLiteral("&&"));
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
    if (commands.visible()) {
        for (const Command &c : commands.all()) {
            if (!c.visible || !c.enabled)
                continue;
            QAction *action = addAction(menuText(c.caption.isEmpty() ? c.name : c.caption));
            action->setObjectName(actionName(c.name));
            const QString name = c.name;
            const QString caption = c.caption;
            connect(action, &QAction::triggered, this, [this, name, caption] { Q_EMIT commandChosen(name, caption); });
        }
    }
    if (!actions().isEmpty())
        addSeparator()->setObjectName(QStringLiteral("kestrovaServiceSeparator"));
    QAction *hide = addAction(HideText);
    hide->setObjectName(QStringLiteral("kestrovaHide"));
    connect(hide, &QAction::triggered, this, &CommandMenu::hideChosen);
    QAction *window = addAction(CommandsWindowText);
    window->setObjectName(QStringLiteral("kestrovaOpenCommandsWindow"));
    connect(window, &QAction::triggered, this, &CommandMenu::commandsWindowChosen);
    QAction *options = addAction(OptionsText);
    options->setObjectName(QStringLiteral("kestrovaOptions"));
    connect(options, &QAction::triggered, this, &CommandMenu::optionsChosen);
}

} // namespace kestrova::character
