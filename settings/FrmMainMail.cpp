// The options window's mail page, a view of the mail checker and the mail
// watch: the account boxes, the server's security (a trusted certificate,
// plain log-on allowed), the check interval, "Check" and "Save".
#include "FrmMain.h"

#include <QScreen>

#include "CharacterRef.h"
#include "CurlMailbox.h"
#include "DialUpConnection.h"
#include "Host.h"
#include "IntegerText.h"
#include "MailChecker.h"
#include "MailTexts.h"
#include "MailWatch.h"
#include "MessageBox.h"
#include "PlatformServices.h"
#include "SettingsStore.h"
#include "UserModel.h"

#include <QCheckBox>
#include <QEvent>
#include <QFile>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QValidator>

#include <algorithm>
#include <optional>

namespace kestrova {

namespace {
const QString App = QStringLiteral("Kestrova");
const QString MailSection = QStringLiteral("Mail");

// The caption of a check box, beside it, wrapping where the page is
// narrow (a check box's own text never wraps): a click on it, or its
// mnemonic, clicks the box.
class CheckBoxCaption : public QLabel {
public:
    CheckBoxCaption(const QString &text, QCheckBox *box, QWidget *parent) : QLabel(text, parent), m_box(box)
    {
        setWordWrap(true);
        setTextFormat(Qt::PlainText);
        setBuddy(box);
        box->setAccessibleName(QString(text).remove(u'&'));
    }

protected:
    void mouseReleaseEvent(QMouseEvent *event) override
    {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && m_box->isEnabled()) {
            m_box->setFocus(Qt::MouseFocusReason);
            m_box->click();
        }
        QLabel::mouseReleaseEvent(event);
    }

private:
    QCheckBox *m_box;
};

// The line under "Check every" about timed checks and the dial-up rule,
// brought up to date whenever the page comes into view. The dial-up state is
// asked without waiting: the line changes when the answer comes, and one
// question at a time is open.
class TimedChecksLine final : public QObject {
public:
    TimedChecksLine(QLabel *label, const MailWatch &watch, const PlatformServices &platform)
        : QObject(label), m_label(label), m_watch(watch), m_platform(platform)
    {
    }
    void update()
    {
        if (minutes() <= 0 || !m_platform.dialUp) {
            show(false);
            return;
        }
        if (m_asking)
            return;
        m_asking = true;
        m_platform.dialUp->askFirstConnectionUp(this, [this](std::optional<bool> up) {
            m_asking = false;
            show(up);
        });
    }
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Show)
            update();
        return false;
    }

private:
    int minutes() const { return m_watch.timerOn() ? m_watch.MailInterval : 0; }
    // The line as timed checks stand now; the dial-up state counts only
    // while they are on.
    void show(std::optional<bool> up)
    {
        const int now = minutes();
        m_label->setText(mailtext::timedChecks(now, now > 0 ? up : std::optional<bool>(false)));
    }
    QLabel *m_label;
    const MailWatch &m_watch;
    const PlatformServices &m_platform;
    bool m_asking = false;
};

bool onlyDigits(const QString &text)
{
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

// The minutes in the interval box: digits only, blanks around them allowed,
// at most the largest interval. Anything else gives nothing.
std::optional<qint16> intervalMinutes(const QString &text)
{
    const QString digits = text.trimmed();
    if (digits.isEmpty() || !onlyDigits(digits))
        return std::nullopt;
    const std::optional<qint16> minutes = toInt16(digits);
    if (!minutes || *minutes > mailtext::MaxCheckInterval)
        return std::nullopt;
    return minutes;
}

// What can be typed into the interval box: digits, no more of them than
// the largest interval has. A number over it can still be typed, and Save
// says why it is refused; an empty box waits for a number.
class IntervalValidator final : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString &input, int &) const override
    {
        if (input.isEmpty())
            return Intermediate;
        if (input.size() > QString::number(mailtext::MaxCheckInterval).size() || !onlyDigits(input))
            return Invalid;
        return intervalMinutes(input) ? Acceptable : Intermediate;
    }
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
    auto *intro = new QLabel(tr("Configure your POP E-Mail settings by entering your POP Server, "
                                            "Username, and Password information here. To automatically check "
                                            "your e-mail enter a time in the \"check every\" box."),
                             page);
    intro->setWordWrap(true);
    grid->addWidget(intro, 0, 0, 1, 4);
    const char *captions[3] = {QT_TR_NOOP("&Server:"), QT_TR_NOOP("&User:"), QT_TR_NOOP("&Password:")};
    QLineEdit **boxes[3] = {&TxtServer, &TxtUser, &TxtPass};
    const char *names[3] = {"TxtServer", "TxtUser", "TxtPass"};
    for (int i = 0; i < 3; ++i) {
        LblServer[i] = new QLabel(tr(captions[i]), page);
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
    ChkPlainLogOn = new QCheckBox(page);
    ChkPlainLogOn->setObjectName(QStringLiteral("ChkPlainLogOn"));
    auto *plainCaption = new CheckBoxCaption(mailtext::AllowPlainCaption, ChkPlainLogOn, page);
    plainCaption->setObjectName(QStringLiteral("LblPlainLogOn"));
    auto *plainRow = new QHBoxLayout;
    plainRow->addWidget(ChkPlainLogOn, 0, Qt::AlignTop);
    plainRow->addWidget(plainCaption, 1);
    grid->addLayout(plainRow, 5, 1, 1, 3);
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
    auto *every = new QLabel(tr("Check &every:"), page);
    grid->addWidget(every, 7, 0);
    TxtChkInterval = new QLineEdit(QStringLiteral("5"), page);
    every->setBuddy(TxtChkInterval);
    TxtChkInterval->setObjectName(QStringLiteral("TxtChkInterval"));
    TxtChkInterval->setValidator(new IntervalValidator(TxtChkInterval));
    TxtChkInterval->setToolTip(mailtext::checkIntervalHint());
    // Room for a few digits in the font of the desktop, at any scale.
    TxtChkInterval->setMaximumWidth(TxtChkInterval->fontMetrics().horizontalAdvance(QStringLiteral("00000")) + 24);
    grid->addWidget(TxtChkInterval, 7, 1);
    grid->addWidget(new QLabel(tr("Minuites"), page), 7, 2);
    auto *timedChecks = new QLabel(page);
    timedChecks->setObjectName(QStringLiteral("LblTimedChecks"));
    timedChecks->setWordWrap(true);
    timedChecks->setToolTip(mailtext::TimedChecksHint);
    grid->addWidget(timedChecks, 8, 1, 1, 3);
    page->installEventFilter(new TimedChecksLine(timedChecks, m_host.mailWatch(), m_host.context().platform));
    CmdCheck = new QPushButton(tr("Chec&k"), page);
    CmdCheck->setObjectName(QStringLiteral("CmdCheck"));
    CmdSave = new QPushButton(tr("Sa&ve"), page);
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
    MailChecker &checker = m_host.mailChecker();
    connect(ChkPlainLogOn, &QCheckBox::toggled, this, [&checker](bool allowed) {
        checker.keepSecurity({checker.security().trustedCertificate, allowed});
    });
    // Another server text has none of the choices made for this one.
    connect(TxtServer, &QLineEdit::textEdited, this, [this] { showMailSecurity(); });

    // A view of the mail checker: what is typed is what the next check
    // uses; what it fetches, says and stores shows here.
    UserModel &model = m_host.model();
    connect(TxtUser, &QLineEdit::textChanged, this, [&model](const QString &text) { model.setMailUser(text); });
    connect(TxtPass, &QLineEdit::textChanged, this, [&checker](const QString &text) { checker.setPassword(text); });
    connect(&checker, &MailChecker::passwordArrived, this, [this](const QString &password) {
        // Typed in before it was fetched: kept.
        if (TxtPass->text().isEmpty())
            TxtPass->setText(password);
    });
    connect(&checker, &MailChecker::passwordPlaceChanged, LblPassStore, &QLabel::setText);
    connect(&checker, &MailChecker::securityChanged, this, &FrmMain::showMailSecurity);
    connect(&checker, &MailChecker::status, this, [this](const QString &text) { StatusMain->showMessage(text); });
    MailWatch &watch = m_host.mailWatch();
    connect(&watch, &MailWatch::checkFinished, this, [this](const QString &status) {
        StatusMain->showMessage(status);
        showMailSecurity();
    });
    // The page's line on timed checks follows the dial-up state while shown.
    connect(&watch, &MailWatch::ticked, this, [this] {
        if (isVisible())
            showTimedChecks(this);
    });
}

void FrmMain::CmdCheck_Click()
{
    m_host.mailChecker().check(true);
}

void FrmMain::showMailSecurity()
{
    const MailSecurity security = m_host.mailChecker().security();
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
    const bool hiddenBefore = LblCertificate->isHidden();
    LblCertificate->setVisible(offered || !security.trustedCertificate.isEmpty());
    CmdTrustCert->setVisible(!LblCertificate->isHidden());
    // Room for the lines just shown, as far as the screen has it (the page
    // scrolls beyond). A window made shorter where it was placed keeps its
    // height otherwise.
    if (isVisible() && hiddenBefore && !LblCertificate->isHidden() && height() < sizeHint().height()) {
        const int room = screen() ? screen()->availableGeometry().height() - (frameGeometry().height() - height())
                                  : sizeHint().height();
        resize(width(), std::max(height(), std::min(sizeHint().height(), room)));
    }
}

void FrmMain::CmdTrustCert_Click()
{
    MailChecker &checker = m_host.mailChecker();
    const MailSecurity security = checker.security();
    const MailCheckResult &last = m_host.mailWatch().lastResult();
    if (CmdTrustCert->text() == mailtext::TrustCaption && !last.certificate.isEmpty()
        && last.server == TxtServer->text().trimmed())
        checker.keepSecurity({last.certificate, security.allowPlain});
    else
        checker.keepSecurity({QString(), security.allowPlain});
}

void FrmMain::LoadMailSettings()
{
    SettingsStore &settings = *m_host.context().settings;
    TxtServer->setText(settings.read(App, MailSection, QStringLiteral("1")));
    TxtUser->setText(settings.read(App, MailSection, QStringLiteral("2")));
    // The password as the checker holds it: empty until it is fetched.
    const MailChecker &checker = m_host.mailChecker();
    TxtPass->setText(checker.password());
    LblPassStore->setText(checker.passwordPlace());
    const qint16 minutes = toInt16(settings.read(App, MailSection, QStringLiteral("4"))).value_or(0);
    TxtChkInterval->setText(QString::number(minutes));
    m_host.mailWatch().loadInterval(minutes);
}

void FrmMain::CmdSave_Click()
{
    MessageBox *box = m_host.context().platform.messageBox;
    // An interval that is no whole number of minutes in range (one loaded
    // from the settings file, say) is refused before anything is stored:
    // the stored account and interval, and the running timer, stay as they
    // were, and what is typed stays in the boxes to be corrected.
    const std::optional<qint16> minutes = intervalMinutes(TxtChkInterval->text());
    if (!minutes) {
        if (box)
            box->show(mailtext::checkIntervalRefused(), App);
        TxtChkInterval->setFocus(Qt::OtherFocusReason);
        TxtChkInterval->selectAll();
        return;
    }
    m_host.mailChecker().saveAccount(TxtChkInterval->text());
    MailWatch &watch = m_host.mailWatch();
    watch.MailInterval = *minutes;
    if (watch.MailInterval != 0) {
        watch.startTimer();
        if (box)
            box->show(tr("Mail Checking ON"), App);
    } else {
        watch.stopTimer();
        if (box)
            box->show(tr("Mail Checking OFF"), App);
    }
    showTimedChecks(this);
    // The tick count goes on from where it stands.
}

} // namespace kestrova
