// One file for the whole sheet, about 560 lines: its five pages are a
// function of 10 to 60 lines each, and what is long (the voices grouped by
// language, their search, the settings read and written back) works on the
// controls of several pages at once through the helpers at the top. Split
// by page, each file would need those helpers and the voice list's roles
// in a header of their own, for no page that stands on its own.
#include "CharacterOptionsDialog.h"

#include "Autostart.h"
#include "SoundModule.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontDialog>
#include <QFormLayout>
#include <QHash>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace kestrova::character {

namespace {

constexpr int RateSteps = 10; // the slider's -10 .. 10 are -1 .. 1
// The voice list's rows: a language's title row says so; every system
// voice and title row carries its language's title (what a search matches
// besides the caption).
constexpr int VoiceTitleRole = Qt::UserRole + 1;
constexpr int VoiceLanguageRole = Qt::UserRole + 2;

QWidget *page(const char *name)
{
    auto *w = new QWidget;
    w->setObjectName(QLatin1String(name));
    return w;
}

// A line of help under a control: in the page's own text colour (the
// disabled grey is for controls that cannot be used, and hard to read).
QLabel *note(const QString &text)
{
    auto *label = new QLabel(text);
    label->setWordWrap(true);
    label->setObjectName(QStringLiteral("kestrovaOptionsNote"));
    return label;
}

bool isSystemVoice(const QString &value)
{
    return value.startsWith(u"qt:");
}

} // namespace

const QList<QPair<QString, QString>> &CharacterOptionsDialog::listeningKeys()
{
    static const QList<QPair<QString, QString>> keys = {
        {QStringLiteral("Scroll_Lock"), QT_TR_NOOP("Scroll Lock")},
        {QStringLiteral("Pause"), QT_TR_NOOP("Pause")},
        {QStringLiteral("F12"), QT_TR_NOOP("F12")},
        {QStringLiteral("F11"), QT_TR_NOOP("F11")},
        {QStringLiteral("F10"), QT_TR_NOOP("F10")},
        {QStringLiteral("Menu"), QT_TR_NOOP("Menu")},
        {QStringLiteral("Super_R"), QT_TR_NOOP("Right Super (Windows) key")},
        {QStringLiteral("Control_R"), QT_TR_NOOP("Right Ctrl")},
        {QStringLiteral("Insert"), QT_TR_NOOP("Insert")},
        {QStringLiteral("None"), QT_TR_NOOP("None")},
    };
    return keys;
}

CharacterOptionsDialog::CharacterOptionsDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("kestrovaCharacterOptions"));
    setWindowTitle(tr("Character Options"));

    m_tabs = new QTabWidget;
    // Every tab's caption whole, without scroll arrows: the dialog is as
    // wide as its tabs need.
    m_tabs->setUsesScrollButtons(false);
    m_tabs->setElideMode(Qt::ElideNone);
    m_tabs->addTab(outputPage(), tr("&Output"));
    m_tabs->addTab(balloonPage(), tr("Word &Balloon"));
    m_tabs->addTab(listeningPage(), tr("&Listening"));
    m_tabs->addTab(soundsPage(), tr("So&unds"));
    m_tabs->addTab(sessionPage(), tr("S&ession"));

    m_message = new QLabel;
    m_message->setObjectName(QStringLiteral("kestrovaOptionsMessage"));
    m_message->setWordWrap(true);
    m_message->setStyleSheet(QStringLiteral("color: #a00000;"));
    m_message->hide();

    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply);
    connect(m_buttons, &QDialogButtonBox::accepted, this, [this] {
        if (apply())
            accept();
    });
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_buttons->button(QDialogButtonBox::Apply), &QPushButton::clicked, this, [this] { apply(); });

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addWidget(m_message);
    layout->addWidget(m_buttons);
    // Enter is OK. Made the default once the buttons are in the dialog: a
    // button made default before that is not the dialog's, and the dialog
    // takes its first button (Test) instead.
    m_buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    resize(460, 360);
}

QWidget *CharacterOptionsDialog::outputPage()
{
    QWidget *w = page("kestrovaOptionsOutput");
    m_speak = new QCheckBox(tr("&Speak aloud"));
    m_voice = new QComboBox;
    m_voice->setObjectName(QStringLiteral("kestrovaOptionsVoice"));
    m_voice->addItem(tr("The character's own voice"), QString());
    m_voice->addItem(tr("Flite: slt (US English, female)"), QStringLiteral("flite:slt"));
    m_voice->addItem(tr("Flite: rms (US English, male)"), QStringLiteral("flite:rms"));
    // The system may have thousands of voices with long names: the list is
    // searched, and its width is not theirs.
    m_voice->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_voice->setMinimumContentsLength(20);
    m_voice->setMaxVisibleItems(16);
    // A style that opens the list as a menu shows every row, up to the
    // whole screen for a speech server's thousands of voices: as a list it
    // keeps to the rows above and scrolls.
    m_voice->setStyleSheet(QStringLiteral("QComboBox { combobox-popup: 0; }"));
    m_voiceSearch = new QLineEdit;
    m_voiceSearch->setObjectName(QStringLiteral("kestrovaOptionsVoiceSearch"));
    m_voiceSearch->setPlaceholderText(tr("A name or a language"));
    m_voiceSearch->setClearButtonEnabled(true);
    connect(m_voiceSearch, &QLineEdit::textChanged, this, &CharacterOptionsDialog::filterVoices);
    connect(m_voice, &QComboBox::activated, this, [this] { m_voiceChosen = m_voice->currentData().toString(); });
    m_noVoiceMatch = note(QString());
    m_noVoiceMatch->hide();
    m_rate = new QSlider(Qt::Horizontal);
    m_rate->setRange(-RateSteps, RateSteps);
    m_rate->setPageStep(2);
    m_rate->setTickPosition(QSlider::TicksBelow);
    m_rate->setTickInterval(5);
    m_rateLabel = new QLabel;
    m_rateLabel->setMinimumWidth(m_rateLabel->fontMetrics().horizontalAdvance(tr("+10 (faster)")));
    connect(m_rate, &QSlider::valueChanged, this, &CharacterOptionsDialog::updateRateLabel);
    m_test = new QPushButton(tr("&Test"));
    m_test->setToolTip(tr("Says a short sentence with the voice and rate chosen here"));
    connect(m_test, &QPushButton::clicked, this, [this] { Q_EMIT testRequested(settings()); });
    connect(m_speak, &QCheckBox::toggled, this, &CharacterOptionsDialog::updateSpeechControls);

    auto *voiceLabel = new QLabel(tr("&Voice:"));
    voiceLabel->setBuddy(m_voice);
    auto *searchLabel = new QLabel(tr("Fin&d a voice:"));
    searchLabel->setBuddy(m_voiceSearch);
    auto *rateLabel = new QLabel(tr("Speaking &rate:"));
    rateLabel->setBuddy(m_rate);
    auto *rateRow = new QHBoxLayout;
    rateRow->addWidget(m_rate, 1);
    rateRow->addWidget(m_rateLabel);
    auto *form = new QFormLayout;
    form->addRow(voiceLabel, m_voice);
    form->addRow(searchLabel, m_voiceSearch);
    form->addRow(QString(), m_noVoiceMatch);
    form->addRow(rateLabel, rateRow);
    auto *testRow = new QHBoxLayout;
    testRow->addStretch(1);
    testRow->addWidget(m_test);

    auto *layout = new QVBoxLayout(w);
    layout->addWidget(m_speak);
    layout->addWidget(note(tr("Off, the character says nothing aloud and everything it says "
                                          "shows in its word balloon.")));
    layout->addLayout(form);
    layout->addWidget(note(tr("The rate is added to the character's own pace.")));
    layout->addLayout(testRow);
    layout->addStretch(1);
    return w;
}

QWidget *CharacterOptionsDialog::balloonPage()
{
    QWidget *w = page("kestrovaOptionsBalloon");
    m_balloon = new QCheckBox(tr("S&how the word balloon while speaking aloud"));
    m_fontButton = new QPushButton(tr("&Font..."));
    m_defaultFont = new QPushButton(tr("&Default Font"));
    m_fontSample = new QLabel(tr("What the character says looks like this."));
    m_fontSample->setObjectName(QStringLiteral("kestrovaOptionsFontSample"));
    m_fontSample->setFrameShape(QFrame::StyledPanel);
    m_fontSample->setWordWrap(true);
    m_fontSample->setMinimumHeight(60);
    m_fontSample->setAutoFillBackground(true);
    QPalette p = m_fontSample->palette();
    p.setColor(QPalette::Window, QColor(255, 255, 231)); // the balloon's paper
    p.setColor(QPalette::WindowText, QColor(20, 20, 20));
    m_fontSample->setPalette(p);
    m_fontSample->setMargin(8);
    connect(m_fontButton, &QPushButton::clicked, this, &CharacterOptionsDialog::chooseFont);
    connect(m_defaultFont, &QPushButton::clicked, this, [this] { setBalloonFont(QString()); });

    auto *fontRow = new QHBoxLayout;
    fontRow->addWidget(m_fontButton);
    fontRow->addWidget(m_defaultFont);
    fontRow->addStretch(1);
    auto *layout = new QVBoxLayout(w);
    layout->addWidget(m_balloon);
    layout->addWidget(note(tr("When the character is not heard (speaking aloud is off, or there is "
                                          "no voice), what it says always shows in the balloon.")));
    layout->addSpacing(8);
    layout->addLayout(fontRow);
    layout->addWidget(m_fontSample);
    layout->addStretch(1);
    return w;
}

QWidget *CharacterOptionsDialog::listeningPage()
{
    QWidget *w = page("kestrovaOptionsListening");
    m_key = new QComboBox;
    m_key->setObjectName(QStringLiteral("kestrovaOptionsKey"));
    for (const auto &[name, caption] : listeningKeys())
        m_key->addItem(tr(caption.toUtf8().constData()), name);
    m_timeout = new QSpinBox;
    m_timeout->setRange(CharacterServiceSettings::MinListeningTimeout, CharacterServiceSettings::MaxListeningTimeout);
    m_timeout->setSuffix(tr(" seconds"));
    m_microphone = new QComboBox;
    m_microphone->setObjectName(QStringLiteral("kestrovaOptionsMicrophone"));
    m_microphone->addItem(tr("Default"), QStringLiteral("Default"));
    // Listed by the sound module; without it only the default is offered.
    if (const SoundApi *api = soundApi())
        for (const auto &[description, id] : api->audioInputs())
            m_microphone->addItem(description, id);

    auto *keyLabel = new QLabel(tr("Listening &key:"));
    keyLabel->setBuddy(m_key);
    auto *timeoutLabel = new QLabel(tr("Stop listening &after:"));
    timeoutLabel->setBuddy(m_timeout);
    auto *micLabel = new QLabel(tr("&Microphone:"));
    micLabel->setBuddy(m_microphone);
    auto *form = new QFormLayout;
    form->addRow(keyLabel, m_key);
    form->addRow(timeoutLabel, m_timeout);
    form->addRow(micLabel, m_microphone);
    auto *layout = new QVBoxLayout(w);
    layout->addLayout(form);
    layout->addWidget(note(tr("Press the listening key anywhere to talk to the character; press it "
                                          "again, or Escape, to stop. Listening also stops when nothing is "
                                          "typed or said for the time given.")));
    // The user's voice: learnt from sentences read aloud, or forgotten.
    m_learnVoice = new QPushButton(tr("Learn my &voice…"));
    m_learnVoice->setObjectName(QStringLiteral("kestrovaOptionsLearnVoice"));
    m_forgetVoice = new QPushButton(tr("&Forget my voice"));
    m_forgetVoice->setObjectName(QStringLiteral("kestrovaOptionsForgetVoice"));
    m_voiceNote = note({});
    m_voiceNote->setObjectName(QStringLiteral("kestrovaOptionsVoiceNote"));
    auto *voiceRow = new QHBoxLayout;
    voiceRow->addWidget(m_learnVoice);
    voiceRow->addWidget(m_forgetVoice);
    voiceRow->addStretch(1);
    layout->addLayout(voiceRow);
    layout->addWidget(m_voiceNote);
    connect(m_learnVoice, &QPushButton::clicked, this, &CharacterOptionsDialog::learnVoiceRequested);
    connect(m_forgetVoice, &QPushButton::clicked, this, &CharacterOptionsDialog::forgetVoiceRequested);
    setVoiceProfileState(false, {});
    layout->addStretch(1);
    return w;
}

QWidget *CharacterOptionsDialog::soundsPage()
{
    QWidget *w = page("kestrovaOptionsSounds");
    m_sounds = new QCheckBox(tr("&Play the character's sound effects"));
    auto *layout = new QVBoxLayout(w);
    layout->addWidget(m_sounds);
    layout->addWidget(note(tr("Characters may chirp, beep or whistle as they move.")));
    layout->addStretch(1);
    return w;
}

QWidget *CharacterOptionsDialog::sessionPage()
{
    QWidget *w = page("kestrovaOptionsSession");
    m_autostart = new QCheckBox(tr("Start Kestrova &when I log in"));
    m_autostartNote = note(QString());
    auto *layout = new QVBoxLayout(w);
    layout->addWidget(m_autostart);
    layout->addWidget(m_autostartNote);
    layout->addStretch(1);
    return w;
}

void CharacterOptionsDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!m_voicesAsked) {
        m_voicesAsked = true;
        Q_EMIT voicesWanted();
    }
}

QList<CharacterOptionsDialog::VoiceGroup> CharacterOptionsDialog::groupVoices(const VoiceList &voices,
                                                                            const QLocale &user)
{
    const QString other = tr("Other languages");
    QHash<QString, VoiceGroup> byTitle;
    for (const SystemVoice &v : voices) {
        const QLocale locale(v.language);
        const bool known = !v.language.isEmpty() && locale.language() != QLocale::C
            && locale.language() != QLocale::AnyLanguage;
        const QString title = known ? QLocale::languageToString(locale.language()) : other;
        VoiceGroup &group = byTitle[title];
        group.title = title;
        group.voices.append(v);
    }
    QList<VoiceGroup> groups = byTitle.values();
    const QString mine = QLocale::languageToString(user.language());
    auto rank = [&](const VoiceGroup &g) { return g.title == mine ? 0 : g.title == other ? 2 : 1; };
    std::sort(groups.begin(), groups.end(), [&](const VoiceGroup &a, const VoiceGroup &b) {
        if (rank(a) != rank(b))
            return rank(a) < rank(b);
        return QString::localeAwareCompare(a.title, b.title) < 0;
    });
    for (VoiceGroup &g : groups)
        std::stable_sort(g.voices.begin(), g.voices.end(), [](const SystemVoice &a, const SystemVoice &b) {
            return QString::localeAwareCompare(a.caption, b.caption) < 0;
        });
    return groups;
}

void CharacterOptionsDialog::addSystemVoices(const VoiceList &voices)
{
    const QString current = m_voice->currentData().toString();
    // A placeholder for a stored voice not listed yet goes, and a list
    // given before; the list says what there is.
    for (int i = m_voice->count() - 1; i >= 0; --i)
        if (isSystemVoice(m_voice->itemData(i).toString()) || m_voice->itemData(i, VoiceTitleRole).toBool())
            m_voice->removeItem(i);
    // A stored voice the system does not have (now) stays with the
    // program's own, above the languages.
    if (isSystemVoice(current)
        && std::none_of(voices.begin(), voices.end(), [&](const SystemVoice &v) { return v.setting == current; }))
        m_voice->addItem(current.section(u':', 2) + tr(" (not available)"), current);
    auto *model = qobject_cast<QStandardItemModel *>(m_voice->model());
    QFont bold = m_voice->font();
    bold.setBold(true);
    for (const VoiceGroup &group : groupVoices(voices, QLocale())) {
        // The language's name above its voices; it cannot be chosen.
        auto *title = new QStandardItem(group.title);
        title->setFlags(Qt::NoItemFlags);
        title->setFont(bold);
        title->setForeground(m_voice->palette().brush(QPalette::Active, QPalette::Text));
        title->setData(true, VoiceTitleRole);
        title->setData(group.title, VoiceLanguageRole);
        QList<QStandardItem *> rows{title};
        for (const SystemVoice &v : group.voices) {
            auto *item = new QStandardItem(v.caption);
            item->setData(v.setting, Qt::UserRole);
            item->setData(group.title, VoiceLanguageRole);
            rows << item;
        }
        for (QStandardItem *row : rows)
            model->appendRow(row);
    }
    m_voicesListed = true;
    selectData(m_voice, current, current.section(u':', 2) + tr(" (not available)"));
    filterVoices(m_voiceSearch->text());
}

bool CharacterOptionsDialog::voiceRowShown(int index) const
{
    const auto *view = qobject_cast<const QListView *>(m_voice->view());
    return index >= 0 && index < m_voice->count() && !(view && view->isRowHidden(index));
}

void CharacterOptionsDialog::filterVoices(const QString &text)
{
    auto *view = qobject_cast<QListView *>(m_voice->view());
    if (!view)
        return;
    const QStringList words = text.split(u' ', Qt::SkipEmptyParts);
    if (!words.isEmpty() && !m_searching)
        m_voiceChosen = m_voice->currentData().toString();
    m_searching = !words.isEmpty();
    const int chosenRow = m_voice->findData(m_voiceChosen);
    auto matches = [&](int row) {
        const QString caption = m_voice->itemText(row);
        const QString language = m_voice->itemData(row, VoiceLanguageRole).toString();
        return std::all_of(words.begin(), words.end(), [&](const QString &w) {
            return caption.contains(w, Qt::CaseInsensitive) || language.contains(w, Qt::CaseInsensitive);
        });
    };
    int firstMatch = -1;
    bool chosenMatches = false;
    int shown = 0;
    int titleRow = -1;
    bool titleHasMatch = false;
    auto closeGroup = [&] {
        if (titleRow >= 0)
            view->setRowHidden(titleRow, !titleHasMatch);
    };
    for (int row = 0; row < m_voice->count(); ++row) {
        if (m_voice->itemData(row, VoiceTitleRole).toBool()) {
            closeGroup();
            titleRow = row;
            titleHasMatch = false;
            continue;
        }
        const bool match = matches(row);
        if (match && firstMatch < 0)
            firstMatch = row;
        if (match && row == chosenRow)
            chosenMatches = true;
        // The program's own voices (and a stored voice not listed) stay.
        if (titleRow < 0) {
            view->setRowHidden(row, false);
            continue;
        }
        view->setRowHidden(row, !match);
        if (match) {
            ++shown;
            titleHasMatch = true;
        }
    }
    closeGroup();
    const bool none = !words.isEmpty() && m_voicesListed && shown == 0;
    m_noVoiceMatch->setText(none ? tr("No voice of the system matches \"%1\".").arg(text.simplified())
                                 : QString());
    m_noVoiceMatch->setVisible(none);
    // What is typed chooses: the first voice that matches, unless the one
    // the user chose does; with none, the user's choice is back.
    if (!words.isEmpty())
        m_voice->setCurrentIndex(chosenMatches || firstMatch < 0 ? std::max(chosenRow, 0) : firstMatch);
}

void CharacterOptionsDialog::selectData(QComboBox *combo, const QString &value, const QString &captionIfMissing)
{
    int index = combo->findData(value);
    if (index < 0) {
        combo->addItem(captionIfMissing, value);
        index = combo->count() - 1;
    }
    combo->setCurrentIndex(index);
}

void CharacterOptionsDialog::setSettings(const CharacterServiceSettings &s)
{
    m_speak->setChecked(s.speechOutput);
    selectData(m_voice, s.voice, s.voice.section(u':', 2) + tr(" (not available)"));
    m_rate->setValue(int(std::lround(s.rate * RateSteps)));
    updateRateLabel();
    updateSpeechControls();
    m_balloon->setChecked(s.balloonWhileSpeaking);
    setBalloonFont(s.balloonFont);
    selectData(m_key, s.listeningKey, s.listeningKey);
    m_timeout->setValue(s.listeningTimeoutSeconds);
    selectData(m_microphone, s.microphone, s.microphone + tr(" (not plugged in)"));
    m_sounds->setChecked(s.sounds);
    const bool starts = Autostart::startsAtLogin();
    m_autostart->setChecked(starts);
    m_autostartNote->setText(tr("Ticked, Kestrova writes the entry %1, which starts it when you "
                                            "log in; unticked, it removes that file and nothing else.")
                                 .arg(Autostart::entryPath()));
    setMessage(QString());
}

CharacterServiceSettings CharacterOptionsDialog::settings() const
{
    CharacterServiceSettings s;
    s.speechOutput = m_speak->isChecked();
    s.voice = m_voice->currentData().toString();
    s.rate = double(m_rate->value()) / RateSteps;
    s.balloonWhileSpeaking = m_balloon->isChecked();
    s.balloonFont = m_font;
    s.listeningKey = m_key->currentData().toString();
    s.listeningTimeoutSeconds = m_timeout->value();
    s.microphone = m_microphone->currentData().toString();
    s.sounds = m_sounds->isChecked();
    return s;
}

void CharacterOptionsDialog::setBalloonFont(const QString &fontString)
{
    m_font = fontString;
    CharacterServiceSettings s;
    s.balloonFont = fontString;
    const QFont font = s.font();
    m_fontSample->setFont(font);
    m_fontSample->setToolTip(tr("%1, %2 pt").arg(font.family()).arg(font.pointSizeF()));
    m_defaultFont->setEnabled(!fontString.isEmpty());
}

void CharacterOptionsDialog::chooseFont()
{
    CharacterServiceSettings s;
    s.balloonFont = m_font;
    bool ok = false;
    const QFont font = QFontDialog::getFont(&ok, s.font(), this, tr("Word Balloon Font"));
    if (ok)
        setBalloonFont(font.toString());
}

void CharacterOptionsDialog::updateRateLabel()
{
    const int v = m_rate->value();
    m_rateLabel->setText(v == 0 ? tr("0 (its own)")
                                : v > 0 ? tr("+%1 (faster)").arg(v) : tr("%1 (slower)").arg(v));
}

void CharacterOptionsDialog::setVoiceProfileState(bool learnt, const QString &cannotLearn)
{
    m_learnVoice->setEnabled(cannotLearn.isEmpty());
    m_forgetVoice->setEnabled(learnt);
    m_voiceNote->setText(!cannotLearn.isEmpty()
                             ? cannotLearn
                             : learnt ? tr("The character listens with what it learnt of your voice.")
                                      : tr("The character can learn your voice from sentences you read "
                                                       "to it, and then understands you better."));
}

void CharacterOptionsDialog::updateSpeechControls()
{
    const bool on = m_speak->isChecked();
    m_voice->setEnabled(on);
    m_rate->setEnabled(on);
    m_test->setEnabled(on);
}

void CharacterOptionsDialog::setMessage(const QString &text)
{
    m_message->setText(text);
    m_message->setVisible(!text.isEmpty());
}

QString CharacterOptionsDialog::message() const
{
    return m_message->text();
}

bool CharacterOptionsDialog::apply()
{
    setMessage(QString());
    Q_EMIT applied(settings());
    // The receiver may have put up a message (a listening key that cannot
    // be grabbed); it stays, and the autostart's joins it.
    QStringList problems;
    if (!m_message->text().isEmpty())
        problems << m_message->text();
    bool ok = problems.isEmpty();
    if (m_autostart->isChecked() != Autostart::startsAtLogin()) {
        QString error;
        if (!Autostart::setStartAtLogin(m_autostart->isChecked(), &error)) {
            problems << error;
            ok = false;
        }
        m_autostart->setChecked(Autostart::startsAtLogin());
    }
    setMessage(problems.join(u'\n'));
    return ok;
}

} // namespace kestrova::character
