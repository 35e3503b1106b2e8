#include "CommandTable.h"

#include <QHash>

namespace kestrova {

CommandEntry namedCommand(const QString &name, Named what)
{
    return CommandEntry{name, name, name, false, false, true,
                        what == Named::OfficeProgram
                            ? QStringLiteral("Starts %1, the first of your office programs.").arg(name)
                            : QStringLiteral("Opens %1, one of your favourite sites.").arg(name)};
}

QString commandDescription(const QString &id)
{
    static const QHash<QString, QString> said = {
        {"General", "Shows the General menu: the character's options, another character, your name, the options and the tour."},
        {"Accessories", "Shows the Accessories menu: the alarm, the calendar, the calculator and other small programs."},
        {"My Office", "Shows the My Office menu: your office programs and the word processor."},
        {"Internet", "Shows the Internet menu: mail, web search and your favourite sites."},
        {"Quit", "Ends the program; the character says goodbye."},
        {"Help", "Opens the help pages."},
        {"MovetoMouse", "The character walks over to the mouse pointer."},
        {"aco", "Shows the character's options: its voice, word balloon and listening."},
        {"ChangeAgent", "Lets you choose another character."},
        {"ChangeUser", "Opens a small window to tell the character your name."},
        {"About", "Shows the About window."},
        {"Options", "Opens the options window."},
        {"Alarm", "Opens the alarm, to be reminded at a time you set."},
        {"Open File", "Opens a window to open a file or run a program."},
        {"Calender", "Opens the calendar."},
        {"Calculator", "Starts the calculator."},
        {"CD Player", "Starts the CD player."},
        {"Notepad", "Starts Notepad, the text editor."},
        {"Wordpad", "Starts Wordpad, the simple word processor."},
        {"Word", "Starts the word processor."},
        {"New Document", "Starts the word processor with a new document."},
        {"Read Selection", "Reads aloud the text selected in the word processor opened by \"Open Word\"."},
        {"Search the Internet", "Opens the web search window."},
        {"Check Mail", "Checks your mail box for new mail now."},
        {"NewMail", "Opens your mail program with a new message."},
        {"Read Selected Text", "Reads aloud the text you have selected in any program."},
        {"What Time", "Tells you the time."},
        {"What Date", "Tells you today's date."},
    };
    return said.value(id);
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
            t.append(namedCommand(firstOfficeName, Named::OfficeProgram));
        if (const Action *a = actions.find(id))
            t.append(CommandEntry{a->id, a->caption, a->voice, a->inMenu, a->guarded, a->drastic,
                                  commandDescription(id)});
        else
            t.append(CommandEntry{id, id, QString(), false, false, false, commandDescription(id)});
    }
    for (int k = 0; k < 10; ++k)
        t.append(namedCommand(siteNames.value(k)));
    // Spoken actions added since, after the sites in the order registered.
    const QStringList ordered = commandOrder();
    for (const Action &a : actions.all())
        if (!a.voice.isEmpty() && !ordered.contains(a.id))
            t.append(CommandEntry{a.id, a.caption, a.voice, a.inMenu, a.guarded, a.drastic, commandDescription(a.id)});
    return t;
}

} // namespace kestrova
