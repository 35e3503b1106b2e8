// The options window's mail page: the account boxes, the server's
// security (a trusted certificate, plain log-on allowed), the check
// interval, "Check" and "Save", and the mail timer's tick.
#include "FrmMain.h"

#include "CharacterRef.h"
#include "CurlMailbox.h"
#include "DialUpConnection.h"
#include "Host.h"
#include "IntegerText.h"
#include "MailTexts.h"
#include "MailWatch.h"
#include "MessageBox.h"
#include "PlatformServices.h"
#include "PasswordStore.h"
#include "SettingsStore.h"

#include <QCheckBox>
#include <QEvent>
#include <QFile>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStatusBar>

namespace kestrova {

namespace {
const QString App = QStringLiteral("Kestrova");
const QString MailSection = QStringLiteral("Mail");
// The password's name in the secret store.
const QString PasswordKey = QStringLiteral("Mail/3");
// The server's security, kept with the server text it was chosen for: a
// trusted certificate's SHA-256 fingerprint, and "1" where plain log-on is
// allowed.
const QString SecurityForKey = QStringLiteral("SecurityFor");
const QString TrustedCertificateKey = QStringLiteral("TrustedCertificate");
const QString PlainLogOnKey = QStringLiteral("PlainLogOn");

// The line under "Check every" about timed checks and the dial-up rule,
// brought up to date whenever the page comes into view.
class TimedChecksLine final : public QObject {
public:
    TimedChecksLine(QLabel *label, const MailWatch &watch, const PlatformServices &platform)
        : QObject(label), m_label(label), m_watch(watch), m_platform(platform)
    {
    }
    void update()
    {
        const int minutes = m_watch.TmrMail.isActive() ? m_watch.MailInterval : 0;
        std::optional<bool> up = false;
        if (minutes > 0 && m_platform.dialUp)
            up = m_platform.dialUp->firstConnectionUp();
        m_label->setText(mailtext::timedChecks(minutes, up));
    }
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Show)
            update();
        return false;
    }

private:
    QLabel *m_label;
    const MailWatch &m_watch;
    const PlatformServices &m_platform;
};

void showTimedChecks(const QWidget *window)
{
    if (auto *label = window->findChild<QLabel *>(QStringLiteral("LblTimedChecks")))
        for (QObject *child : label->children())
            if (auto *line = dynamic_cast<TimedChecksLine *>(child))
                line->update();
}
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
    TxtServer->setPlaceholderText(mailtext::ServerPlaceholder);
    TxtServer->setToolTip(mailtext::ServerHint);
    TxtPass->setEchoMode(QLineEdit::Password);
    // Each typed character shows as "*", whatever the style's own mask.
    TxtPass->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
    LblPassStore = new QLabel(page);
    LblPassStore->setObjectName(QStringLiteral("LblPassStore"));
    LblPassStore->setWordWrap(true);
    grid->addWidget(LblPassStore, 4, 1, 1, 3);
    ChkPlainLogOn = new QCheckBox(mailtext::AllowPlainCaption, page);
    ChkPlainLogOn->setObjectName(QStringLiteral("ChkPlainLogOn"));
    grid->addWidget(ChkPlainLogOn, 5, 1, 1, 3);
    LblCertificate = new QLabel(page);
    LblCertificate->setObjectName(QStringLiteral("LblCertificate"));
    LblCertificate->setWordWrap(true);
    LblCertificate->setTextInteractionFlags(Qt::TextSelectableByMouse);
    LblCertificate->hide();
    CmdTrustCert = new QPushButton(mailtext::TrustCaption, page);
    CmdTrustCert->setObjectName(QStringLiteral("CmdTrustCert"));
    CmdTrustCert->hide();
    auto *certificateRow = new QHBoxLayout;
    certificateRow->addWidget(LblCertificate, 1);
    certificateRow->addWidget(CmdTrustCert, 0, Qt::AlignTop);
    grid->addLayout(certificateRow, 6, 1, 1, 3);
    auto *every = new QLabel(QStringLiteral("Check &every:"), page);
    grid->addWidget(every, 7, 0);
    TxtChkInterval = new QLineEdit(QStringLiteral("5"), page);
    every->setBuddy(TxtChkInterval);
    TxtChkInterval->setObjectName(QStringLiteral("TxtChkInterval"));
    // Room for a few digits in the font of the desktop, at any scale.
    TxtChkInterval->setMaximumWidth(TxtChkInterval->fontMetrics().horizontalAdvance(QStringLiteral("00000")) + 24);
    grid->addWidget(TxtChkInterval, 7, 1);
    grid->addWidget(new QLabel(QStringLiteral("Minuites"), page), 7, 2);
    auto *timedChecks = new QLabel(page);
    timedChecks->setObjectName(QStringLiteral("LblTimedChecks"));
    timedChecks->setWordWrap(true);
    timedChecks->setToolTip(mailtext::TimedChecksHint);
    grid->addWidget(timedChecks, 8, 1, 1, 3);
    page->installEventFilter(new TimedChecksLine(timedChecks, m_host.mailWatch(), m_host.context().platform));
    CmdCheck = new QPushButton(QStringLiteral("Chec&k"), page);
    CmdCheck->setObjectName(QStringLiteral("CmdCheck"));
    CmdSave = new QPushButton(QStringLiteral("Sa&ve"), page);
    CmdSave->setDefault(true);
    CmdSave->setObjectName(QStringLiteral("CmdSave"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(CmdCheck);
    buttons->addWidget(CmdSave);
    grid->addLayout(buttons, 9, 0, 1, 4);
    grid->setColumnStretch(3, 1);
    grid->setRowStretch(10, 1);
    connect(CmdCheck, &QPushButton::clicked, this, &FrmMain::CmdCheck_Click);
    connect(CmdSave, &QPushButton::clicked, this, &FrmMain::CmdSave_Click);
    connect(CmdTrustCert, &QPushButton::clicked, this, &FrmMain::CmdTrustCert_Click);
    connect(ChkPlainLogOn, &QCheckBox::toggled, this, [this](bool allowed) {
        keepMailSecurity({mailSecurity().trustedCertificate, allowed});
    });
    // Another server text has none of the choices made for this one.
    connect(TxtServer, &QLineEdit::textEdited, this, [this] { showMailSecurity(); });

    MailWatch &watch = m_host.mailWatch();
    connect(&watch, &MailWatch::checkFinished, this, [this](const QString &status) {
        StatusMain->showMessage(status);
        showMailSecurity();
    });
}

void FrmMain::CmdCheck_Click()
{
    checkMail(true);
}

// One check at a time. A check asked for while one runs is not queued: the
// running one reads out the same mailbox a moment later. The user is told
// so; the timer's tick only shows it.
void FrmMain::checkMail(bool asked)
{
    MailWatch &watch = m_host.mailWatch();
    if (watch.checking() || m_pendingCheck != Pending::None) {
        StatusMain->showMessage(mailtext::StillCheckingStatus);
        if (asked)
            m_host.agent().Speak(mailtext::StillChecking);
        return;
    }
    m_host.agent().Think(QStringLiteral("I'll just check the mail"));
    ensureMailPassword();
    if (m_password == Password::Fetching) {
        // Starts once the secret store has answered.
        m_pendingCheck = asked ? Pending::Asked : Pending::Timed;
        return;
    }
    startCheck(asked);
}

void FrmMain::startCheck(bool asked)
{
    if (m_password == Password::Failed && TxtPass->text().isEmpty()) {
        StatusMain->showMessage(mailtext::PasswordUnavailableStatus);
        if (asked)
            m_host.agent().Speak(mailtext::PasswordUnavailableSpoken);
        return;
    }
    m_host.mailWatch().start({TxtServer->text(), TxtUser->text(), TxtPass->text(), mailSecurity()}, asked);
}

MailSecurity FrmMain::mailSecurity() const
{
    const SettingsStore &settings = *m_host.context().settings;
    if (settings.read(App, MailSection, SecurityForKey) != TxtServer->text().trimmed())
        return {};
    return {settings.read(App, MailSection, TrustedCertificateKey),
            settings.read(App, MailSection, PlainLogOnKey) == u"1"};
}

void FrmMain::keepMailSecurity(const MailSecurity &security)
{
    const SettingsStore &settings = *m_host.context().settings;
    settings.write(App, MailSection, SecurityForKey, TxtServer->text().trimmed());
    settings.write(App, MailSection, TrustedCertificateKey, security.trustedCertificate);
    settings.write(App, MailSection, PlainLogOnKey, security.allowPlain ? QStringLiteral("1") : QString());
    showMailSecurity();
}

void FrmMain::showMailSecurity()
{
    const MailSecurity security = mailSecurity();
    {
        const QSignalBlocker quiet(ChkPlainLogOn);
        ChkPlainLogOn->setChecked(security.allowPlain);
    }
    // The certificate refused by the last check of this very server text.
    const MailCheckResult &last = m_host.mailWatch().lastResult();
    const bool offered = !last.certificate.isEmpty() && last.server == TxtServer->text().trimmed()
                         && last.certificate != security.trustedCertificate;
    if (offered) {
        LblCertificate->setText(mailtext::untrustedCertificate(last.certificate,
                                                               last.problem == MailProblem::ChangedCertificate));
        CmdTrustCert->setText(mailtext::TrustCaption);
    } else if (!security.trustedCertificate.isEmpty()) {
        LblCertificate->setText(mailtext::trustedCertificate(security.trustedCertificate));
        CmdTrustCert->setText(mailtext::ForgetCaption);
    }
    LblCertificate->setVisible(offered || !security.trustedCertificate.isEmpty());
    CmdTrustCert->setVisible(!LblCertificate->isHidden());
    // Room for the lines just shown.
    if (isVisible() && height() < sizeHint().height())
        resize(width(), sizeHint().height());
}

void FrmMain::CmdTrustCert_Click()
{
    const MailSecurity security = mailSecurity();
    const MailCheckResult &last = m_host.mailWatch().lastResult();
    if (CmdTrustCert->text() == mailtext::TrustCaption && !last.certificate.isEmpty()
        && last.server == TxtServer->text().trimmed())
        keepMailSecurity({last.certificate, security.allowPlain});
    else
        keepMailSecurity({QString(), security.allowPlain});
}

void FrmMain::LoadMailSettings()
{
    SettingsStore &settings = *m_host.context().settings;
    TxtServer->setText(settings.read(App, MailSection, QStringLiteral("1")));
    TxtUser->setText(settings.read(App, MailSection, QStringLiteral("2")));
    m_password = Password::NotFetched;
    m_pendingCheck = Pending::None;
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

void FrmMain::showPasswordPlace(bool secure, const QString &why)
{
    if (secure)
        LblPassStore->setText(mailtext::PasswordInStore);
    else if (why.isEmpty())
        LblPassStore->setText(mailtext::PasswordInFileNoStore);
    else
        LblPassStore->setText(mailtext::passwordInFile(why));
}

// The password comes from the secret store when the desktop has one; one
// left in the settings file from before is moved there. Without a store it
// is the plain setting. The store is never waited for: the windows go on
// while it answers, and a check asked for meanwhile starts when it has.
void FrmMain::ensureMailPassword()
{
    if (m_password == Password::Loaded || m_password == Password::Fetching)
        return;
    SettingsStore &settings = *m_host.context().settings;
    const QString plain = settings.read(App, MailSection, QStringLiteral("3"));
    PasswordStore *store = m_host.context().passwords;
    if (!store || !plain.isEmpty()) {
        // No store to ask, or one from before: the plain setting, known now.
        // It leaves the settings file only once the store has taken it.
        m_password = Password::Loaded;
        // Typed in before it was fetched (the window shown elsewhere): kept.
        if (TxtPass->text().isEmpty())
            TxtPass->setText(plain);
        protectSettingsFile();
        if (!store) {
            showPasswordPlace(false);
            return;
        }
        store->writeLater(PasswordKey, plain, this,
                          [this, plain](const PasswordStore::Written &written) { passwordMoved(plain, written); });
        return;
    }
    m_password = Password::Fetching;
    store->readLater(PasswordKey, this, [this](const PasswordStore::Answer &answer) { passwordArrived(answer); });
}

void FrmMain::passwordMoved(const QString &password, const PasswordStore::Written &written)
{
    SettingsStore &settings = *m_host.context().settings;
    if (written.ok) {
        // Unless a save has put another one there meanwhile.
        if (settings.read(App, MailSection, QStringLiteral("3")) == password
            && settings.write(App, MailSection, QStringLiteral("3"), QString()))
            qCInfo(lcMail) << "moved the mail password from the settings file into the secret store";
        showPasswordPlace(true);
    } else if (!written.secure) {
        showPasswordPlace(false, written.error);
    } else {
        qCWarning(lcMail).noquote()
            << "the mail password stays in the settings file: the secret store did not take it:" << written.error;
        LblPassStore->setText(mailtext::passwordNotMoved(written.error));
    }
}

void FrmMain::passwordArrived(const PasswordStore::Answer &answer)
{
    if (m_password != Password::Fetching) {
        // Typed and saved meanwhile: that one stands.
    } else if (!answer.secure) {
        // No store after all: the plain setting, empty as read above.
        showPasswordPlace(false, answer.error);
        protectSettingsFile();
        m_password = Password::Loaded;
    } else if (answer.password) {
        showPasswordPlace(true);
        m_password = Password::Loaded;
        if (TxtPass->text().isEmpty())
            TxtPass->setText(*answer.password);
    } else {
        // Not an empty password: a save leaves the stored one alone, and a
        // check says it could not be had.
        qCWarning(lcMail).noquote() << "the mail password could not be read from the secret store:" << answer.error;
        LblPassStore->setText(mailtext::PasswordUnavailable);
        m_password = Password::Failed;
    }
    const Pending pending = m_pendingCheck;
    m_pendingCheck = Pending::None;
    if (pending != Pending::None)
        startCheck(pending == Pending::Asked);
}

void FrmMain::protectSettingsFile()
{
    const QString file = m_host.context().settings->fileOf(App);
    if (QFile::exists(file) && !QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner))
        qCWarning(lcMail).noquote() << "cannot make" << file << "readable by its owner only";
}

// Into the secret store, without waiting for it; the setting is emptied
// once the store has it. Where the store fails, or does not answer in time,
// nothing is changed: the password stored before stays, and the page says
// so. Without a store, into the setting as before.
void FrmMain::saveMailPassword(const QString &password)
{
    PasswordStore *store = m_host.context().passwords;
    if (!store) {
        passwordSaved(password, {false, false, {}});
        return;
    }
    LblPassStore->setText(mailtext::PasswordSaving);
    store->writeLater(PasswordKey, password, this,
                      [this, password](const PasswordStore::Written &written) { passwordSaved(password, written); });
}

void FrmMain::passwordSaved(const QString &password, const PasswordStore::Written &written)
{
    SettingsStore &settings = *m_host.context().settings;
    if (written.ok) {
        if (!settings.read(App, MailSection, QStringLiteral("3")).isEmpty())
            settings.write(App, MailSection, QStringLiteral("3"), QString());
        showPasswordPlace(true);
    } else if (!written.secure) {
        settings.write(App, MailSection, QStringLiteral("3"), password);
        protectSettingsFile();
        showPasswordPlace(false, written.error);
    } else {
        qCWarning(lcMail).noquote() << "the mail password was not saved: the secret store did not take it:"
                                    << written.error;
        LblPassStore->setText(mailtext::passwordNotSaved(written.error));
    }
}

void FrmMain::CmdSave_Click()
{
    SettingsStore &settings = *m_host.context().settings;
    // The server's security choices go with the server text they were made
    // for.
    if (settings.read(App, MailSection, SecurityForKey) != TxtServer->text().trimmed()) {
        for (const QString &key : {SecurityForKey, TrustedCertificateKey, PlainLogOnKey})
            settings.write(App, MailSection, key, QString());
    }
    settings.write(App, MailSection, QStringLiteral("1"), TxtServer->text());
    settings.write(App, MailSection, QStringLiteral("2"), TxtUser->text());
    // Not fetched (yet, or the store failed): the field is empty because
    // nothing was read, not because the user cleared it, and the stored
    // password is left as it is. One typed in is saved.
    ensureMailPassword();
    if (m_password == Password::Loaded || !TxtPass->text().isEmpty()) {
        saveMailPassword(TxtPass->text());
        m_password = Password::Loaded;
    } else {
        qCInfo(lcMail) << "the mail password was not read: the stored one is left as it is";
    }
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
    showTimedChecks(this);
    // The tick count goes on from where it stands.
}

void FrmMain::TmrMail_Timer()
{
    // The page's line on timed checks follows the dial-up state while shown.
    if (isVisible())
        showTimedChecks(this);
    m_host.mailWatch().TmrMail_Timer();
}

} // namespace kestrova
