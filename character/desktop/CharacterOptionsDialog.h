#pragma once

#include "CharacterServiceSettings.h"
#include "SoundModule.h"

#include <QDialog>
#include <QList>
#include <QLocale>
#include <QPair>

class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QSpinBox;
class QTabWidget;

namespace kestrova::character {

// The character service's options sheet: pages for speech output, the word
// balloon, listening, sounds and starting at login. It edits a copy of the
// service's settings; OK and Apply hand them back (applied()), Cancel drops
// them. Starting at login is not a setting of the service: the box shows
// whether the autostart entry is there and OK/Apply write or remove it.
//
// Object names: the dialog "kestrovaCharacterOptions", its pages
// "kestrovaOptionsOutput", "...Balloon", "...Listening", "...Sounds",
// "...Session".
class CharacterOptionsDialog : public QDialog {
    Q_OBJECT
public:
    explicit CharacterOptionsDialog(QWidget *parent = nullptr);

    // Shows these settings (and the autostart entry as it is now).
    void setSettings(const CharacterServiceSettings &settings);
    // The settings as the controls show them.
    CharacterServiceSettings settings() const;

    // A message about what OK or Apply did (a key that cannot be grabbed, an
    // entry that could not be written); empty hides it.
    void setMessage(const QString &text);
    QString message() const;

    // Voices of Qt's text-to-speech engines, listed off the user's thread on
    // first show. The voice list shows the character's own voice and
    // flite's first, then the system's voices under the name of their
    // language, the user's language first; the search box beside it keeps
    // the voices whose name or language has every word typed.
    using VoiceList = QList<SystemVoice>;
    void addSystemVoices(const VoiceList &voices);
    bool systemVoicesListed() const { return m_voicesListed; }

    // One language's voices: its name as the list shows it ("English";
    // "Other languages" for voices whose engine gives none) and the voices
    // in the order of their captions.
    struct VoiceGroup {
        QString title;
        VoiceList voices;
    };
    // The voices by language: the language of `user` first, the others by
    // name, the voices without a language last.
    static QList<VoiceGroup> groupVoices(const VoiceList &voices, const QLocale &user);
    // Keeps in the voice list the voices that match every word of the
    // text (their caption or language; case does not matter); the
    // program's own stay. The voice the user chose stays chosen while it
    // matches; otherwise the first that matches is, and with no match the
    // user's own choice again.
    void filterVoices(const QString &text);
    // Whether the voice list shows row `index` (a search hides the others).
    bool voiceRowShown(int index) const;

    // Applies: hands the settings over and writes or removes the autostart
    // entry. False when something failed (the message says what).
    bool apply();

    QTabWidget *tabs() const { return m_tabs; }
    QCheckBox *speakAloudBox() const { return m_speak; }
    QComboBox *voiceCombo() const { return m_voice; }
    QLineEdit *voiceSearch() const { return m_voiceSearch; }
    QSlider *rateSlider() const { return m_rate; }
    QPushButton *testButton() const { return m_test; }
    QCheckBox *balloonBox() const { return m_balloon; }
    QPushButton *fontButton() const { return m_fontButton; }
    QLabel *fontSample() const { return m_fontSample; }
    QComboBox *keyCombo() const { return m_key; }
    QSpinBox *timeoutSpin() const { return m_timeout; }
    QComboBox *microphoneCombo() const { return m_microphone; }
    QPushButton *learnVoiceButton() const { return m_learnVoice; }
    QPushButton *forgetVoiceButton() const { return m_forgetVoice; }
    // Shows whether there is a voice profile to forget and, when learning
    // a voice cannot be done here, why (empty when it can).
    void setVoiceProfileState(bool learnt, const QString &cannotLearn);
    QCheckBox *soundsBox() const { return m_sounds; }
    QCheckBox *autostartBox() const { return m_autostart; }
    QDialogButtonBox *buttons() const { return m_buttons; }

    // The balloon's font as chosen (the font dialog sets it).
    void setBalloonFont(const QString &fontString);

    // What the listening key combo offers: (keysym name, caption).
    static const QList<QPair<QString, QString>> &listeningKeys();

Q_SIGNALS:
    void applied(const kestrova::character::CharacterServiceSettings &settings);
    // The Test button: say a sentence with these settings.
    void testRequested(const kestrova::character::CharacterServiceSettings &settings);
    // First shown: the service lists the system's voices.
    void voicesWanted();
    // "Learn my voice…" and "Forget my voice".
    void learnVoiceRequested();
    void forgetVoiceRequested();

protected:
    void showEvent(QShowEvent *event) override;

private:
    QWidget *outputPage();
    QWidget *balloonPage();
    QWidget *listeningPage();
    QWidget *soundsPage();
    QWidget *sessionPage();
    void selectData(QComboBox *combo, const QString &value, const QString &captionIfMissing);
    void chooseFont();
    void updateRateLabel();
    void updateSpeechControls();

    QTabWidget *m_tabs = nullptr;
    QCheckBox *m_speak = nullptr;
    QComboBox *m_voice = nullptr;
    QLineEdit *m_voiceSearch = nullptr;
    QLabel *m_noVoiceMatch = nullptr;
    QSlider *m_rate = nullptr;
    QLabel *m_rateLabel = nullptr;
    QPushButton *m_test = nullptr;
    QCheckBox *m_balloon = nullptr;
    QPushButton *m_fontButton = nullptr;
    QPushButton *m_defaultFont = nullptr;
    QLabel *m_fontSample = nullptr;
    QString m_font;
    QComboBox *m_key = nullptr;
    QSpinBox *m_timeout = nullptr;
    QComboBox *m_microphone = nullptr;
    QPushButton *m_learnVoice = nullptr;
    QPushButton *m_forgetVoice = nullptr;
    QLabel *m_voiceNote = nullptr;
    QCheckBox *m_sounds = nullptr;
    QCheckBox *m_autostart = nullptr;
    QLabel *m_autostartNote = nullptr;
    QLabel *m_message = nullptr;
    QDialogButtonBox *m_buttons = nullptr;
    QString m_voiceChosen; // by the user, before or while searching
    bool m_searching = false;
    bool m_voicesListed = false;
    bool m_voicesAsked = false;
};

} // namespace kestrova::character
