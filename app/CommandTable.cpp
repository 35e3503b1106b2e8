#include "CommandTable.h"

namespace kestrova {

CommandEntry namedCommand(const QString &name)
{
    return CommandEntry{name, name, name, false, false};
}

QList<CommandEntry> commandTable(const QString &firstOfficeName, const QStringList &siteNames)
{
    QList<CommandEntry> t = {
        {"General", "General", "[...]general[...]", true, true},
        {"Accessories", "Accessories", "[...]accessories menu[...]", true, true},
        {"My Office", "My Office", "[...]Office menu[...]", true, true},
        {"Internet", "Internet", "[...](inter net|internet|net|web) menu[...]", true, true},
        {"Quit", "Quit", "quit[program|application]", true, true},
        {"Help", "Help", "[show|open|run|get]help", true, true},
        {"MovetoMouse", "MovetoMouse", "(move to|go to|follow)mouse[pointer|cursor]", false, true},
        {"aco", "ACO", "[open|show]a c o", false, false},
        {"ChangeAgent", "Change Agent", "[change|new|choose new|different]agent[character]", false, false},
        {"ChangeUser", "Change User", "[change|new|different]user", false, false},
        {"About", "About", "[show|open|run]about[dialog|window]", false, false},
        {"Options", "Options", "[show|open|run]options[window|dialog]", false, false},
        {"Alarm", "Alarm", "[show|open|set]alarm[window|dialog]", false, false},
        {"Open File", "Open File", "[show|open]file[window|dialog]", false, false},
        {"Calender", "Calender", "[show|open|run]calender[window|dialog]", false, false},
        {"Calculator", "Calculator", "[show|open|run]calculator[program|application]", false, false},
        {"CD Player", "CD Player", "[show|open|run]cd player[program|application]", false, false},
        {"Notepad", "Notepad", "[show|open|run]notepad[program|application]", false, false},
        {"Wordpad", "Wordpad", "[show|open|run]wordpad[program|application]", false, false},
    };
    t.append(namedCommand(firstOfficeName));
    t += QList<CommandEntry>{
        {"Word", "Open Word", "[start|open|run]word", false, false},
        {"New Document", "New Document", "[start|open|run]word doc", false, false},
        {"Read Selection", "Read Selection", "[read|speak]selection", false, false},
        {"Search the Internet", "Search the Internet", "[start|new][inter net]search", false, false},
        {"Check Mail", "Check Mail", "[check][e]mail", false, false},
        {"NewMail", "New Mail", "[new][e]mail", false, false},
    };
    for (int k = 0; k < 10; ++k)
        t.append(namedCommand(siteNames.value(k)));
    return t;
}

} // namespace kestrova
