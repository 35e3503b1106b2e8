#include "CommandTable.h"

#include <QCoreApplication>
#include <QHash>

namespace kestrova {

namespace {
// An action's caption as the menus and the commands window show it.
QString shownCaption(const QString &caption)
{
    return caption.isEmpty() ? caption : QCoreApplication::translate("kestrova::Actions", caption.toUtf8().constData());
}
} // namespace

CommandEntry namedCommand(const QString &name, Named what)
{
    return CommandEntry{name, name, name, false, false, true,
                        what == Named::OfficeProgram
                            ? QCoreApplication::translate("kestrova::CommandTable", "Starts %1, the first of your office programs.").arg(name)
                            : QCoreApplication::translate("kestrova::CommandTable", "Opens %1, one of your favourite sites.").arg(name)};
}

QString commandDescription(const QString &id)
{
    static const QHash<QString, const char *> said = {
        {"General", QT_TRANSLATE_NOOP("kestrova::CommandTable", "Shows the General menu: the character's options, another character, your name, the options and the tour.")},
        {"Accessories", QT_TRANSLATE_NOOP("kestrova::CommandTable", "Shows the Accessories menu: the alarm, the calendar, the calculator and other small programs.")},
        {"My Office", QT_TRANSLATE_NOOP("kestrova::CommandTable", "Shows the My Office menu: your office programs and the word processor.")},
        {"Internet", QT_TRANSLATE_NOOP("kestrova::CommandTable", "Shows the Internet menu: mail, web search and your favourite sites.")},
        {"Quit", QT_TRANSLATE_NOOP("kestrova::CommandTable", "Ends the program; the character says goodbye.")},
        {"Help", QT_TRANSLATE_NOOP("kestrova::CommandTable", "Opens the help pages.")},
        {"MovetoMouse", QT_TRANSLATE_NOOP("kestrova::CommandTable", "The character walks over to the mouse pointer.")},
        {"aco", QT_TRANSLATE_NOOP("kestrova::CommandTable", "Shows the character's options: its voice, word balloon and listening.")},
        {"ChangeAgent", QT_TRANSLATE_NOOP("kestrova::CommandTable", "Lets you choose another character.")},
        {"ChangeUser", QT_TRANSLATE_NOOP("kestrova::CommandTable", "Opens a small window to tell the character your name.")},
        {"About", QT_TRANSLATE_NOOP("kestrova::CommandTable", "Shows the About window.")},
        {"Options", QT_TRANSLATE_NOOP("kestrova::CommandTable", "Opens the options window.")},
        {"Alarm", QT_TRANSLATE_NOOP("kestrova::CommandTable", "Opens the alarm, to be reminded at a time you set.")},
        {"Open File", QT_TRANSLATE_NOOP("kestrova::CommandTable", "Opens a window to open a file or run a program.")},
        {"Calender", QT_TRANSLATE_NOOP("kestrova::CommandTable", "Opens the calendar.")},
        {"Calculator", QT_TRANSLATE_NOOP("kestrova::CommandTable", "Starts the calculator.")},
        {"CD Player", QT_TRANSLATE_NOOP("kestrova::CommandTable", "Starts the CD player.")},
        {"Notepad", QT_TRANSLATE_NOOP("kestrova::CommandTable", "Starts Notepad, the text editor.")},
        {"Wordpad", QT_TRANSLATE_NOOP("kestrova::CommandTable", "Starts Wordpad, the simple word processor.")},
        {"Word", QT_TRANSLATE_NOOP("kestrova::CommandTable", "Starts the word processor.")},
        {"New Document", QT_TRANSLATE_NOOP("kestrova::CommandTable", "Starts the word processor with a new document.")},
        {"Read Selection", QT_TRANSLATE_NOOP("kestrova::CommandTable", "Reads aloud the text selected in the word processor opened by \"Open Word\".")},
        {"Search the Internet", QT_TRANSLATE_NOOP("kestrova::CommandTable", "Opens the web search window.")},
        {"Check Mail", QT_TRANSLATE_NOOP("kestrova::CommandTable", "Checks your mail box for new mail now.")},
        {"NewMail", QT_TRANSLATE_NOOP("kestrova::CommandTable", "Opens your mail program with a new message.")},
        {"Read Selected Text", QT_TRANSLATE_NOOP("kestrova::CommandTable", "Reads aloud the text you have selected in any program.")},
        {"What Time", QT_TRANSLATE_NOOP("kestrova::CommandTable", "Tells you the time.")},
        {"What Date", QT_TRANSLATE_NOOP("kestrova::CommandTable", "Tells you today's date.")},
    };
    const char *text = said.value(id);
    return text ? QCoreApplication::translate("kestrova::CommandTable", text) : QString();
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
            t.append(CommandEntry{a->id, shownCaption(a->caption), a->voice, a->inMenu, a->guarded, a->drastic,
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
            t.append(CommandEntry{a.id, shownCaption(a.caption), a.voice, a.inMenu, a.guarded, a.drastic, commandDescription(a.id)});
    return t;
}

} // namespace kestrova
