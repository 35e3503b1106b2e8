#include "CommandTable.h"

namespace kestrova {

CommandEntry namedCommand(const QString &name)
{
    return CommandEntry{name, name, name, false, false, true};
}

QStringList commandOrder()
{
    return {"General", "Accessories", "My Office", "Internet", "Quit", "Help", "MovetoMouse", "aco",
            "ChangeAgent", "ChangeUser", "About", "Options", "Alarm", "Open File", "Calender", "Calculator",
            "CD Player", "Notepad", "Wordpad", "Word", "New Document", "Read Selection",
            "Search the Internet", "Check Mail", "NewMail"};
}

QList<CommandEntry> commandTable(const ActionRegistry &actions, const QString &firstOfficeName,
                                 const QStringList &siteNames)
{
    QList<CommandEntry> t;
    for (const QString &id : commandOrder()) {
        if (id == u"Word")
            t.append(namedCommand(firstOfficeName));
        if (const Action *a = actions.find(id))
            t.append(CommandEntry{a->id, a->caption, a->voice, a->inMenu, a->guarded, a->drastic});
        else
            t.append(CommandEntry{id, id, QString(), false, false});
    }
    for (int k = 0; k < 10; ++k)
        t.append(namedCommand(siteNames.value(k)));
    // Spoken actions added since, after the sites in the order registered.
    const QStringList ordered = commandOrder();
    for (const Action &a : actions.all())
        if (!a.voice.isEmpty() && !ordered.contains(a.id))
            t.append(CommandEntry{a.id, a.caption, a.voice, a.inMenu, a.guarded, a.drastic});
    return t;
}

} // namespace kestrova
