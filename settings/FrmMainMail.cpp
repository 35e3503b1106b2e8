// The options window's mail page: the account boxes, the check interval,
// "Check" and "Save", and the mail timer's tick.
#include "FrmMain.h"

#include "CharacterRef.h"
#include "CurlMailbox.h"
#include "DialUpConnection.h"
#include "Host.h"
#include "IntegerText.h"
#include "MailWatch.h"
#include "MessageBox.h"
#include "PasswordStore.h"
#include "SettingsStore.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>

namespace kestrova {

namespace {
const QString App = QStringLiteral("Kestrova");
const QString MailSection = QStringLiteral("Mail");
// The password's name in the secret store.
const QString PasswordKey = QStringLiteral("Mail/3");
} // namespace

void FrmMain::buildMailPage(QFrame *page)
{
    auto *grid = new QGridLayout(page);
    auto *intro = new QLabel(QStringLiteral("Configure your POP E-Mail settings by entering your POP Server, "
                                            "Username, and Password information here. To automatically check "
                                            "your e-mail enter a time in the \"check every\" box."),
                             page);
    intro->setWordWrap(true);
    grid->addWidget(intro, 0, 0, 1, 4);
    const char *captions[3] = {"&Server:", "&User:", "&Password:"};
    QLineEdit **boxes[3] = {&TxtServer, &TxtUser, &TxtPass};
    const char *names[3] = {"TxtServer", "TxtUser", "TxtPass"};
    for (int i = 0; i < 3; ++i) {
        LblServer[i] = new QLabel(QString::fromLatin1(captions[i]), page);
        LblServer[i]->setObjectName(QStringLiteral("LblServer%1").arg(i));
        *boxes[i] = new QLineEdit(page);
        (*boxes[i])->setObjectName(QString::fromLatin1(names[i]));
        LblServer[i]->setBuddy(*boxes[i]);
        grid->addWidget(LblServer[i], 1 + i, 0);
        grid->addWidget(*boxes[i], 1 + i, 1, 1, 3);
    }
    TxtPass->setEchoMode(QLineEdit::Password);
    // Each typed character shows as "*", whatever the style's own mask.
    TxtPass->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
    LblPassStore = new QLabel(page);
    LblPassStore->setObjectName(QStringLiteral("LblPassStore"));
    LblPassStore->setWordWrap(true);
    grid->addWidget(LblPassStore, 4, 1, 1, 3);
    auto *every = new QLabel(QStringLiteral("Check &every:"), page);
    grid->addWidget(every, 5, 0);
    TxtChkInterval = new QLineEdit(QStringLiteral("5"), page);
    every->setBuddy(TxtChkInterval);
    TxtChkInterval->setObjectName(QStringLiteral("TxtChkInterval"));
    // Room for a few digits in the font of the desktop, at any scale.
    TxtChkInterval->setMaximumWidth(TxtChkInterval->fontMetrics().horizontalAdvance(QStringLiteral("00000")) + 24);
    grid->addWidget(TxtChkInterval, 5, 1);
    grid->addWidget(new QLabel(QStringLiteral("Minuites"), page), 5, 2);
    CmdCheck = new QPushButton(QStringLiteral("Chec&k"), page);
    CmdCheck->setObjectName(QStringLiteral("CmdCheck"));
    CmdSave = new QPushButton(QStringLiteral("Sa&ve"), page);
    CmdSave->setDefault(true);
    CmdSave->setObjectName(QStringLiteral("CmdSave"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(CmdCheck);
    buttons->addWidget(CmdSave);
    grid->addLayout(buttons, 6, 0, 1, 4);
    grid->setColumnStretch(3, 1);
    grid->setRowStretch(7, 1);
    connect(CmdCheck, &QPushButton::clicked, this, &FrmMain::CmdCheck_Click);
    connect(CmdSave, &QPushButton::clicked, this, &FrmMain::CmdSave_Click);

    MailWatch &watch = m_host.mailWatch();
    connect(&watch, &MailWatch::checkFinished, this, [this](const QString &status) {
        StatusMain->showMessage(status);
    });
}

void FrmMain::CmdCheck_Click()
{
    MailWatch &watch = m_host.mailWatch();
    // One check at a time; asking again while one runs changes nothing.
    if (watch.checking())
        return;
    ensureMailPassword();
    m_host.agent().Think(QStringLiteral("I'll just check the mail"));
    watch.start({TxtServer->text(), TxtUser->text(), TxtPass->text()});
}

void FrmMain::LoadMailSettings()
{
    SettingsStore &settings = *m_host.context().settings;
    TxtServer->setText(settings.read(App, MailSection, QStringLiteral("1")));
    TxtUser->setText(settings.read(App, MailSection, QStringLiteral("2")));
    m_passwordLoaded = false;
    TxtPass->clear();
    const qint16 minutes = toInt16(settings.read(App, MailSection, QStringLiteral("4"))).value_or(0);
    TxtChkInterval->setText(QString::number(minutes));
    MailWatch &watch = m_host.mailWatch();
    if (TxtChkInterval->text() == u"0") {
        watch.TmrMail.stop();
        return;
    }
    watch.TmrMail.start();
    watch.MailInterval = minutes;
}

void FrmMain::showPasswordPlace(bool secure)
{
    LblPassStore->setText(secure ? QStringLiteral("The password is kept in your desktop's secret store.")
                                 : QStringLiteral("This desktop has no secret store: the password is kept in "
                                                  "plain text in the settings file Kestrova.ini."));
}

void FrmMain::ensureMailPassword()
{
    if (m_passwordLoaded)
        return;
    m_passwordLoaded = true;
    // Typed in before it was fetched (the window shown elsewhere): kept.
    if (TxtPass->text().isEmpty())
        TxtPass->setText(loadMailPassword());
}

// The password comes from the secret store when the desktop has one; one
// left in the settings file from before is moved there first. Without a
// store it is the plain setting.
QString FrmMain::loadMailPassword()
{
    SettingsStore &settings = *m_host.context().settings;
    const QString plain = settings.read(App, MailSection, QStringLiteral("3"));
    PasswordStore *store = m_host.context().passwords;
    const bool secure = store && store->isSecure();
    showPasswordPlace(secure);
    if (!secure)
        return plain;
    QString error;
    if (!plain.isEmpty()) {
        if (!store->write(PasswordKey, plain, &error)) {
            qCWarning(lcMail).noquote()
                << "the mail password stays in the settings file: the secret store refused it:" << error;
            showPasswordPlace(false);
        } else if (settings.write(App, MailSection, QStringLiteral("3"), QString())) {
            qCInfo(lcMail) << "moved the mail password from the settings file into the secret store";
        }
        return plain;
    }
    const std::optional<QString> stored = store->read(PasswordKey, &error);
    if (!stored) {
        qCWarning(lcMail).noquote() << "the mail password could not be read from the secret store:" << error;
        return QString();
    }
    return *stored;
}

// Into the secret store, the setting left empty; where the store refuses
// it, into the setting as before, so the password is never lost.
void FrmMain::saveMailPassword(const QString &password)
{
    SettingsStore &settings = *m_host.context().settings;
    PasswordStore *store = m_host.context().passwords;
    if (store && store->isSecure()) {
        QString error;
        if (store->write(PasswordKey, password, &error)) {
            settings.write(App, MailSection, QStringLiteral("3"), QString());
            showPasswordPlace(true);
            return;
        }
        qCWarning(lcMail).noquote()
            << "the mail password is kept in the settings file: the secret store refused it:" << error;
        showPasswordPlace(false);
    }
    settings.write(App, MailSection, QStringLiteral("3"), password);
}

void FrmMain::CmdSave_Click()
{
    SettingsStore &settings = *m_host.context().settings;
    settings.write(App, MailSection, QStringLiteral("1"), TxtServer->text());
    settings.write(App, MailSection, QStringLiteral("2"), TxtUser->text());
    // Never fetched: the field is empty because nothing was read, not
    // because the user cleared it.
    ensureMailPassword();
    saveMailPassword(TxtPass->text());
    settings.write(App, MailSection, QStringLiteral("4"), TxtChkInterval->text());
    MailWatch &watch = m_host.mailWatch();
    if (TxtChkInterval->text() == u"0")
        watch.MailInterval = 0;
    else
        convertInto(TxtChkInterval->text(), &watch.MailInterval);
    MessageBox *box = m_host.context().platform.messageBox;
    if (watch.MailInterval != 0) {
        watch.TmrMail.start();
        convertInto(TxtChkInterval->text(), &watch.MailInterval);
        if (box)
            box->show(QStringLiteral("Mail Checking ON"), App);
    } else {
        watch.TmrMail.stop();
        if (box)
            box->show(QStringLiteral("Mail Checking OFF"), App);
    }
    // The tick count goes on from where it stands.
}

void FrmMain::TmrMail_Timer()
{
    MailWatch &watch = m_host.mailWatch();
    // An equality test: a count already past the interval never meets it
    // again in this run.
    if (int(watch.MailTicks) == int(watch.MailInterval) - 1) {
        if (!DialUpConnection::IsOnline(m_host.context().platform))
            return;
        CmdCheck_Click();
        watch.MailTicks = 0;
    } else {
        incrementInt16(&watch.MailTicks);
    }
}

} // namespace kestrova
