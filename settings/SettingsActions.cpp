#include "SettingsActions.h"

#include "Actions.h"
#include "CharacterRef.h"
#include "FrmMain.h"
#include "Host.h"
#include "MailChecker.h"
#include "UserModel.h"

#include <QCoreApplication>

namespace kestrova {

void registerSettingsActions(ActionRegistry &actions, Host &host)
{
    Host *h = &host;
    const auto showOn = [h](int page) {
        return [h, page] {
            FrmMain *options = h->frmMain();
            options->show();
            options->raise();
            // The tab strip stays where it was; only the page changes.
            if (page >= 0)
                options->ShowPage(page);
        };
    };
    actions.add({"Options", QT_TRANSLATE_NOOP("kestrova::Actions", "Options"), "[show|open|run]options[window|dialog]", false, false, showOn(-1)});
    actions.add({"Configure Accessories", QT_TRANSLATE_NOOP("kestrova::Actions", "Configure"), QString(), false, false, showOn(FrmMain::AccessoriesPage)});
    actions.add({"Configure Office", QT_TRANSLATE_NOOP("kestrova::Actions", "Configure"), QString(), false, false, showOn(FrmMain::OfficePage)});
    actions.add({"Configure Favourites", QT_TRANSLATE_NOOP("kestrova::Actions", "Configure Menu"), QString(), false, false, showOn(FrmMain::FavouritesPage)});

    // A check with the account as it stands (typed on the mail page or
    // stored); it makes no window.
    // From a menu or the toolbar only the server is looked at first: without
    // one the character complains and the options window opens. The spoken
    // command goes straight to the check.
    Action mail{"Check Mail", QT_TRANSLATE_NOOP("kestrova::Actions", "Check Mail"), "[check][e]mail", false, false, [h] { h->mailChecker().check(true); }};
    mail.menuGuard = [h, open = showOn(-1)] {
        if (!h->model().mailServer().isEmpty())
            return true;
        h->agent().Play(QStringLiteral("Sad"));
        h->agent().Speak(QCoreApplication::translate("kestrova::SettingsActions", "I was unable to find your e-mail settings."));
        open();
        return false;
    };
    actions.add(std::move(mail));
}

} // namespace kestrova
