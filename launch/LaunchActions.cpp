#include "LaunchActions.h"

#include "FileOperations.h"

#include "Actions.h"
#include "Addresses.h"
#include "Execute.h"
#include "FrmMenus.h"
#include "FrmOpen.h"
#include "FrmSearch.h"
#include "HelpBook.h"
#include "Host.h"
#include "UserModel.h"
#include "WordControls.h"

#include <QMenu>

namespace kestrova {

void registerLaunchActions(ActionRegistry &actions, Host &host)
{
    Host *h = &host;
    const auto popup = [h](QMenu *FrmMenus::*menu) {
        return [h, menu] {
            FrmMenus *menus = h->frmMenus();
            menus->PopupMenu(menus->*menu);
        };
    };
    const auto menus = [h](void (FrmMenus::*handler)()) { return [h, handler] { (h->frmMenus()->*handler)(); }; };

    // The four menus the character's own menu lists; a weak spoken match of
    // these gets the prompt.
    actions.add({"General", QT_TRANSLATE_NOOP("kestrova::Actions", "General"), "[...]general[...]", true, true, popup(&FrmMenus::MnuGeneral)});
    actions.add({"Accessories", QT_TRANSLATE_NOOP("kestrova::Actions", "Accessories"), "[...]accessories menu[...]", true, true,
                 popup(&FrmMenus::MnuAccessories)});
    actions.add({"My Office", QT_TRANSLATE_NOOP("kestrova::Actions", "My Office"), "[...]Office menu[...]", true, true, popup(&FrmMenus::MnuMyOffice)});
    actions.add({"Internet", QT_TRANSLATE_NOOP("kestrova::Actions", "Internet"), "[...](inter net|internet|net|web) menu[...]", true, true,
                 popup(&FrmMenus::MnuWeb)});
    actions.add(drastic({"Help", QT_TRANSLATE_NOOP("kestrova::Actions", "Help"), "[show|open|run|get]help", true, true, [h] { HelpBook::Open(*h); }}));
    // "a c o", said or typed, does what the menu's "A.C.O" does: it shows
    // the character service's own options.
    actions.add({"aco", QT_TRANSLATE_NOOP("kestrova::Actions", "ACO"), "[open|show]a c o", false, false, menus(&FrmMenus::MnuACo_Click)});
    actions.add({"A.C.O", QT_TRANSLATE_NOOP("kestrova::Actions", "A.C.O"), QString(), false, false, menus(&FrmMenus::MnuACo_Click)});
    actions.add({"ChangeAgent", QT_TRANSLATE_NOOP("kestrova::Actions", "Change Agent"), "[change|new|choose new|different]agent[character]", false, false,
                 menus(&FrmMenus::MnuChangeAgent_Click)});
    actions.add({"Version", QT_TRANSLATE_NOOP("kestrova::Actions", "Version"), QString(), false, false, menus(&FrmMenus::MnuVersion_Click)});
    actions.add({"Open File", QT_TRANSLATE_NOOP("kestrova::Actions", "Open File"), "[show|open]file[window|dialog]", false, false,
                 [h] { h->frmOpen()->show(); }});
    // Those that start a program are drastic: heard only on strong evidence.
    actions.add(drastic({"Calculator", QT_TRANSLATE_NOOP("kestrova::Actions", "Calculator"), "[show|open|run]calculator[program|application]", false, false,
                         menus(&FrmMenus::MnuCalc_Click)}));
    actions.add(drastic({"CD Player", QT_TRANSLATE_NOOP("kestrova::Actions", "CD Player"), "[show|open|run]cd player[program|application]", false, false,
                         menus(&FrmMenus::MnuCDPlayer_Click)}));
    actions.add(drastic({"Notepad", QT_TRANSLATE_NOOP("kestrova::Actions", "Notepad"), "[show|open|run]notepad[program|application]", false, false,
                         menus(&FrmMenus::MnuNotepad_Click)}));
    actions.add(drastic({"Wordpad", QT_TRANSLATE_NOOP("kestrova::Actions", "Wordpad"), "[show|open|run]wordpad[program|application]", false, false,
                         menus(&FrmMenus::MnuWordpad_Click)}));
    actions.add(drastic({"Word", QT_TRANSLATE_NOOP("kestrova::Actions", "Open Word"), "[start|open|run]word", false, false,
                         [h] { h->wordControls().OpenWord(); }}));
    actions.add(drastic({"New Document", QT_TRANSLATE_NOOP("kestrova::Actions", "New Document"), "[start|open|run]word doc", false, false,
                         [h] { h->wordControls().NewDocument(); }}));
    actions.add({"Read Selection", QT_TRANSLATE_NOOP("kestrova::Actions", "Read Selection"), "[read|speak]selection", false, false,
                 [h] { h->wordControls().ReadSelection(); }});
    actions.add({"Search the Internet", QT_TRANSLATE_NOOP("kestrova::Actions", "Search the Internet"), "[start|new][inter net]search", false, false,
                 [h] { h->frmSearch()->show(); }});
    actions.add(drastic({"NewMail", QT_TRANSLATE_NOOP("kestrova::Actions", "New Mail"), "[new][e]mail", false, false,
                         [h] { Execute::ShellOpen(*h, QStringLiteral("mailto:")); }}));
    actions.add({"Kestrova", QT_TRANSLATE_NOOP("kestrova::Actions", "Kestrova"), QString(), false, false, [h] { Execute::ShellOpen(*h, HomePageAddress); }});

    // The user's programs and sites: what the slot holds when it is asked
    // for, edits not yet saved included.
    for (int k = 0; k < UserModel::Slots; ++k) {
        actions.add({QStringLiteral("office:%1").arg(k), QString(), QString(), false, false, [h, k] {
                         Execute::ShellOpen(*h, h->model().slot(UserModel::List::Office, k).target);
                     }});
        actions.add({QStringLiteral("favourite:%1").arg(k), QString(), QString(), false, false, [h, k] {
                         Execute::ShellOpen(*h, FileOperations::WebAddress(
                                                    h->model().slot(UserModel::List::Favourites, k).target));
                     }});
    }
}

} // namespace kestrova
