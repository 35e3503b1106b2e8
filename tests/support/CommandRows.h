#pragma once

#include <QList>
#include <QString>

namespace kestrova::test {

// One row of the character's command table as the user must meet it:
// what the Command event reports, the caption in the character's menu and
// commands window, what may be said, whether the menu lists it, whether a
// weak match gets the prompt instead, whether it is heard only on strong
// evidence, and the action the command runs. Written out here once, from
// the texts the user sees, so that the program's own registration is
// checked against it rather than against itself.
struct CommandRow {
    QString name;
    QString caption;
    QString voice;
    bool inMenu;
    bool guarded;
    bool strict;
    QString runs;
};

// What a guarded command's weak match is answered with.
inline constexpr int GuardedRowConfidence = -60;
inline const QString GuardedRowText = QStringLiteral("I didn't understand your request");

// The fixed commands in the order they are registered. The first office
// program comes between "Wordpad" and "Word", the ten favourite sites after
// "NewMail"; the last three are the tools' own spoken commands, registered
// after the sites.
inline const QList<CommandRow> &commandRows()
{
    static const QList<CommandRow> rows = {
        {"General", "General", "[...]general[...]", true, true, false, "General"},
        {"Accessories", "Accessories", "[...]accessories menu[...]", true, true, false, "Accessories"},
        {"My Office", "My Office", "[...]Office menu[...]", true, true, false, "My Office"},
        {"Internet", "Internet", "[...](inter net|internet|net|web) menu[...]", true, true, false, "Internet"},
        {"Quit", "Quit", "quit[program|application]", true, true, true, "Quit"},
        {"Help", "Help", "[show|open|run|get]help", true, true, true, "Help"},
        {"MovetoMouse", "MovetoMouse", "(move to|go to|follow)mouse[pointer|cursor]", false, true, false,
         "MovetoMouse"},
        {"aco", "ACO", "[open|show]a c o", false, false, false, "aco"},
        {"ChangeAgent", "Change Agent", "[change|new|choose new|different]agent[character]", false, false, false,
         "ChangeAgent"},
        {"ChangeUser", "Change User", "[change|new|different]user", false, false, false, "ChangeUser"},
        {"About", "About", "[show|open|run]about[dialog|window]", false, false, false, "About"},
        {"Options", "Options", "[show|open|run]options[window|dialog]", false, false, false, "Options"},
        {"Alarm", "Alarm", "[show|open|set]alarm[window|dialog]", false, false, false, "Alarm"},
        {"Open File", "Open File", "[show|open]file[window|dialog]", false, false, false, "Open File"},
        {"Calender", "Calender", "[show|open|run]calender[window|dialog]", false, false, false, "Calender"},
        {"Calculator", "Calculator", "[show|open|run]calculator[program|application]", false, false, true,
         "Calculator"},
        {"CD Player", "CD Player", "[show|open|run]cd player[program|application]", false, false, true,
         "CD Player"},
        {"Notepad", "Notepad", "[show|open|run]notepad[program|application]", false, false, true, "Notepad"},
        {"Wordpad", "Wordpad", "[show|open|run]wordpad[program|application]", false, false, true, "Wordpad"},
        {"Word", "Open Word", "[start|open|run]word", false, false, true, "Word"},
        {"New Document", "New Document", "[start|open|run]word doc", false, false, true, "New Document"},
        {"Read Selection", "Read Selection", "[read|speak]selection", false, false, false, "Read Selection"},
        {"Search the Internet", "Search the Internet", "[start|new][inter net]search", false, false, false,
         "Search the Internet"},
        {"Check Mail", "Check Mail", "[check][e]mail", false, false, false, "Check Mail"},
        {"NewMail", "New Mail", "[new][e]mail", false, false, true, "NewMail"},
        {"Read Selected Text", "Read Selected Text", "(read|speak)[the]selected text|read this", false, false,
         false, "Read Selected Text"},
        {"What Time", "What Time Is It", "what time is it[now]|(what is|whats)the time[now]|tell me the time",
         false, false, false, "What Time"},
        {"What Date", "What's the Date",
         "(what is|whats)[the|todays]date[today]|what day is it[today]|tell me the date", false, false, false,
         "What Date"},
    };
    return rows;
}

} // namespace kestrova::test
