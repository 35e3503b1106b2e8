#include "FrmAlarm.h"

#include "AlarmWatch.h"
#include "CharacterRef.h"
#include "CharacterSink.h"
#include "Forms.h"
#include "Host.h"
#include "UserModel.h"
#include "SpeechText.h"
#include "WindowKeys.h"

#include <QScreen>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace kestrova {

namespace {
template <class W>
W *named(W *w, const char *name)
{
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

// The words before the event and the event, a blank between them unless
// one of them already ends or starts with one.
QString joinedWords(const QString &before, const QString &after)
{
    if (before.isEmpty() || after.isEmpty() || before.back().isSpace() || after.front().isSpace())
        return before + after;
    return before + u' ' + after;
}
} // namespace

FrmAlarm::FrmAlarm(Host &host) : QWidget(nullptr), m_host(host)
{
    setObjectName(QStringLiteral("FrmAlarm"));
    setWindowTitle(tr("Set Alarm"));
    // Placed by hand: the options area lies beyond the right edge of the
    // narrow window and comes into view when the window is widened.
    LblTime = named(new QLabel(tr("Alarm Time"), this), "LblTime");
    // The desktop's own face, larger.
    QFont heading = font();
    heading.setPointSizeF(heading.pointSizeF() * 1.3);
    heading.setBold(true);
    LblTime->setFont(heading);
    LblTime->setGeometry(10, 8, 180, 26);

    auto *timeLabel = new QLabel(tr("Ti&me"), this);
    timeLabel->setGeometry(10, 42, 50, 24);
    TxtAlarmTime = named(new QLineEdit(this), "TxtAlarmTime");
    TxtAlarmTime->setGeometry(62, 42, 128, 24);
    // The form a time is typed in, shown until the box is used.
    TxtAlarmTime->setPlaceholderText(tr("7:30 PM"));
    timeLabel->setBuddy(TxtAlarmTime);
    auto *eventLabel = new QLabel(tr("&Event"), this);
    eventLabel->setGeometry(10, 72, 50, 24);
    TxtAlarmEvent = named(new QLineEdit(this), "TxtAlarmEvent");
    TxtAlarmEvent->setGeometry(62, 72, 128, 24);
    eventLabel->setBuddy(TxtAlarmEvent);
    ChkSilent = named(new QCheckBox(tr("&Silent Mode"), this), "ChkSilent");
    ChkSilent->setGeometry(10, 102, 180, 24);

    CmdOK = named(new QPushButton(tr("OK"), this), "CmdOK");
    CmdOK->setGeometry(10, 134, 85, 28);
    CmdOK->setDefault(true);
    CmdCancel = named(new QPushButton(tr("Cancel"), this), "CmdCancel");
    CmdCancel->setGeometry(105, 134, 85, 28);
    CmdOptions = named(new QPushButton(tr("&Options"), this), "CmdOptions");
    CmdOptions->setGeometry(105, 168, 85, 28);

    Line1 = named(new QFrame(this), "Line1");
    Line1->setFrameShape(QFrame::VLine);
    Line1->setFrameShadow(QFrame::Sunken);
    Line1->setGeometry(NarrowWidth, 8, 4, 188);
    Line1->hide();
    FrmOptions = named(new QGroupBox(tr("Options"), this), "FrmOptions");
    auto *sayLabel = new QLabel(tr("Sa&y This:"), FrmOptions);
    TxtAlarmSay = named(new QLineEdit(FrmOptions), "TxtAlarmSay");
    sayLabel->setBuddy(TxtAlarmSay);
    CmdTest = named(new QPushButton(tr("&Test"), FrmOptions), "CmdTest");
    auto *options = new QVBoxLayout(FrmOptions);
    options->addWidget(sayLabel);
    options->addWidget(TxtAlarmSay);
    options->addWidget(CmdTest, 0, Qt::AlignRight);
    options->addStretch();
    // As wide as its words need in the desktop's font, and no narrower
    // than the area of the original layout.
    const int optionsWidth = std::max({WideWidth - NarrowWidth - 20, FrmOptions->sizeHint().width(),
                                       fontMetrics().averageCharWidth() * 22});
    m_wideWidth = NarrowWidth + 10 + optionsWidth + 10;
    FrmOptions->setGeometry(NarrowWidth + 10, 8, optionsWidth, std::max(188, FrmOptions->sizeHint().height()));
    FrmOptions->hide();

    connect(CmdOK, &QPushButton::clicked, this, &FrmAlarm::CmdOK_Click);
    connect(CmdCancel, &QPushButton::clicked, this, &FrmAlarm::CmdCancel_Click);
    connect(CmdOptions, &QPushButton::clicked, this, &FrmAlarm::CmdOptions_Click);
    connect(CmdTest, &QPushButton::clicked, this, &FrmAlarm::CmdTest_Click);
    connect(ChkSilent, &QCheckBox::toggled, this, &FrmAlarm::ChkSilent_Click);
    // Enter presses "OK" (from either box too). Escape closes the window
    // as its close box does and leaves the alarm as it was: "Cancel"
    // disarms it, which a key pressed to get rid of the window must not.
    WindowKeys::install(this, [this] { close(); });

    LblMessage = named(new QLabel(this), "LblMessage");
    LblMessage->setWordWrap(true);
    LblMessage->setGeometry(10, BaseHeight, NarrowWidth - 20, 0);
    LblMessage->hide();

    setFixedSize(NarrowWidth, BaseHeight);
}

namespace {
// The heading of the notification of an alarm refused while the character
// is hidden.
const char AlarmNotSet[] = QT_TRANSLATE_NOOP("kestrova::FrmAlarm", "Alarm not set");
} // namespace

void FrmAlarm::CmdOK_Click()
{
    AlarmWatch &alarm = m_host.alarm();
    const QString text = TxtAlarmTime->text();
    if (text.isEmpty()) {
        alarm.disarm();
        store();
        tell(m_host.sink(), tr(AlarmNotSet), tr("You must enter a time."));
        return;
    }
    const auto time = AlarmWatch::parseTime(text);
    if (!time) {
        // The entries stay for the user to put right; the alarm stays as it
        // was until a time is given.
        refuse(tr("The time you entered was not valid."));
        return;
    }
    alarm.arm(*time);
    alarm.AlarmEvent = TxtAlarmEvent->text();
    alarm.AlarmSay = TxtAlarmSay->text();
    store();
    close();
}

void FrmAlarm::refuse(const QString &why)
{
    LblMessage->setText(why + u'\n' + tr("Type a time of day, such as 7:30 or 7:30 PM."));
    const int height = LblMessage->heightForWidth(LblMessage->width());
    LblMessage->resize(LblMessage->width(), height);
    LblMessage->show();
    setFixedHeight(std::max(BaseHeight + height + 8, FrmOptions->geometry().bottom() + 10));
    TxtAlarmTime->setFocus(Qt::OtherFocusReason);
    TxtAlarmTime->selectAll();
    tell(m_host.sink(), tr(AlarmNotSet), why);
}

void FrmAlarm::store()
{
    const AlarmWatch &alarm = m_host.alarm();
    m_host.model().storeAlarm({alarm.AlarmTime, alarm.AlarmSay, alarm.AlarmEvent, alarm.AlarmSilent});
}

void FrmAlarm::CmdCancel_Click()
{
    m_host.alarm().disarm();
    store();
    close();
}

void FrmAlarm::ChkSilent_Click()
{
    m_host.alarm().AlarmSilent = ChkSilent->isChecked();
    m_host.model().storeAlarmSilent(ChkSilent->isChecked());
}

void FrmAlarm::CmdOptions_Click()
{
    Line1->show();
    FrmOptions->show();
    setFixedWidth(m_wideWidth);
    // Widened to the right: where that runs past the screen's edge, the
    // window moves left until it is whole again.
    if (const QScreen *where = screen()) {
        const QRect area = where->availableGeometry();
        const QRect frame = frameGeometry();
        if (frame.right() > area.right())
            move(std::max(area.left(), x() - (frame.right() - area.right())), y());
    }
}

void FrmAlarm::CmdTest_Click()
{
    m_host.AgentVisible();
    m_host.alarm().AlarmEvent = TxtAlarmEvent->text();
    // The preview says what the alarm will; two empty boxes would say nothing.
    const QString say = TxtAlarmSay->text(), event = TxtAlarmEvent->text();
    if (character::cleanOutsideText(say).trimmed().isEmpty() && character::cleanOutsideText(event).trimmed().isEmpty())
        m_host.agent().Speak(AlarmWatch::emptyAlarmText(AlarmWatch::parseTime(TxtAlarmTime->text())));
    else
        m_host.agent().Speak(joinedWords(character::outsideText(say), character::outsideText(event)));
}

void FrmAlarm::closeEvent(QCloseEvent *event)
{
    event->accept();
    m_host.forms().unload(this);
}

} // namespace kestrova
