#include "ToolsActions.h"

#include "Actions.h"
#include "CharacterRef.h"
#include "Clipboard.h"
#include "DateFunctions.h"
#include "FrmAlarm.h"
#include "FrmCalender.h"
#include "FrmTour.h"
#include "FrmUser.h"
#include "Host.h"
#include "SpeechText.h"
#include "frmAbout.h"

#include <QCoreApplication>
#include <QObject>

namespace kestrova {

void readAloud(Host &host, const QString &outside)
{
    character::CharacterRef &agent = host.agent();
    if (!agent.Visible())
        agent.Show();
    agent.Play(QStringLiteral("Read"));
    agent.Speak(character::outsideText(outside));
}

void readAloud(Host &host, const std::optional<QString> &outside, const QString &unread)
{
    if (outside) {
        readAloud(host, *outside);
        return;
    }
    character::CharacterRef &agent = host.agent();
    if (!agent.Visible())
        agent.Show();
    agent.Speak(unread);
}

QString timeSentence(const Clock &clock)
{
    return QCoreApplication::translate("kestrova::ToolsActions", "The time is ") + DateFunctions::GetSpokenTime(clock);
}

QString dateSentence(const Clock &clock)
{
    return QCoreApplication::translate("kestrova::ToolsActions", "Today is ") + DateFunctions::GetDayName(clock) + u' '
        + DateFunctions::GetSpokenDate(clock);
}

void registerToolsActions(ActionRegistry &actions, Host &host)
{
    Host *h = &host;
    actions.add({"ChangeUser", QT_TRANSLATE_NOOP("kestrova::Actions", "Change User"), "[change|new|different]user", false, false,
                 [h] { h->frmUser()->show(); }});
    actions.add({"About", QT_TRANSLATE_NOOP("kestrova::Actions", "About"), "[show|open|run]about[dialog|window]", false, false,
                 [h] { h->aboutBox()->show(); }});
    actions.add({"Tour", QT_TRANSLATE_NOOP("kestrova::Actions", "Tour"), QString(), false, false, [h] { h->frmTour()->show(); }});
    actions.add({"Alarm", QT_TRANSLATE_NOOP("kestrova::Actions", "Alarm"), "[show|open|set]alarm[window|dialog]", false, false,
                 [h] { h->frmAlarm()->show(); }});
    actions.add({"Calender", QT_TRANSLATE_NOOP("kestrova::Actions", "Calender"), "[show|open|run]calender[window|dialog]", false, false,
                 [h] { h->frmCalender()->show(); }});

    // What another program has selected (the word processor's own
    // selection is "Read Selection"'s).
    actions.add({"Read Selected Text", QT_TRANSLATE_NOOP("kestrova::Actions", "Read Selected Text"), "(read|speak)[the]selected text|read this", false,
                 false, [h] {
                     Clipboard *clipboard = h->context().platform.clipboard;
                     if (!clipboard) {
                         readAloud(*h, QString());
                         return;
                     }
                     // The owner of the selection answers when it will; the
                     // character goes on meanwhile.
                     clipboard->readSelectedText(dynamic_cast<QObject *>(h), [h](const std::optional<QString> &text) {
                         readAloud(*h, text, QCoreApplication::translate("kestrova::ToolsActions", "I could not read the selected text."));
                     });
                 }});
    // The time and the date, read from the clock when asked.
    const auto say = [h](QString (*sentence)(const Clock &)) {
        return [h, sentence] {
            h->AgentVisible();
            h->agent().Speak(sentence(*h->context().platform.clock));
        };
    };
    actions.add({"What Time", QT_TRANSLATE_NOOP("kestrova::Actions", "What Time Is It"),
                 "what time is it[now]|(what is|whats)the time[now]|tell me the time", false, false,
                 say(timeSentence)});
    actions.add({"What Date", QT_TRANSLATE_NOOP("kestrova::Actions", "What's the Date"),
                 "(what is|whats)[the|todays]date[today]|what day is it[today]|tell me the date", false,
                 false, say(dateSentence)});
}

} // namespace kestrova
