#include "DesktopCharacterService.h"

#include "CharacterChooser.h"
#include "CharacterOptionsDialog.h"
#include "DesktopCharacter.h"
#include "DesktopCharacterLog.h"
#include "LeftBehind.h"
#include "ListeningKey.h"
#include "SettingsFiles.h"
#include "SoundModule.h"
#include "ClearPlacement.h"
#include "VoiceEnrolmentWindow.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLayout>
#include <QMetaMethod>
#include <QScreen>
#include <QSettings>
#include <QDeadlineTimer>
#include <QThread>

#include "VoiceProfile.h"

#include <utility>

namespace kestrova::character {

DesktopCharacterService::DesktopCharacterService(const QString &programDir, const QString &settingsDir,
                                                 QObject *parent)
    : CharacterService(parent), m_programDir(programDir), m_settingsDir(settingsDir)
{
    m_settings = CharacterServiceSettings::read(settingsFile());
    m_voiceFactory = [](const CharacterModel &model) -> std::unique_ptr<Voice> {
        const VoiceSettings settings = model.voice;
        if (settings.engine == u"flite")
            return std::make_unique<ModuleVoice>([settings](const SoundApi &api) { return api.fliteVoice(settings); });
        const QStringList engines = settings.systemEngine.isEmpty() ? QStringList() : QStringList{settings.systemEngine};
        return std::make_unique<ModuleVoice>(
            [settings, engines](const SoundApi &api) { return api.systemVoice(settings, engines); });
    };
    m_listVoices = [] {
        const SoundApi *api = soundApi();
        return api ? api->systemVoices() : CharacterOptionsDialog::VoiceList();
    };
    setSpeechInput([](QString *error) { return createRecognizerFromModule(error); },
                   // The microphone chosen in the options, looked up at every start.
                   [this] { return chosenMicrophone(); });

    // A voice profile learnt or forgotten is used from the next listening on.
    if (m_speech)
        m_speech->setRecognizerKey([] { return VoiceProfile().stamp(); });

    m_listeningKey = new ListeningKey(this);
    QString keyError;
    if (grabKey(m_settings.listeningKey, &keyError))
        qCDebug(lcCharacter).noquote() << QStringLiteral("Listening key \"%1\"").arg(m_settings.listeningKey);
    else
        qCWarning(lcCharacter).noquote() << keyError;
    connect(m_listeningKey, &ListeningKey::pressed, this, &DesktopCharacterService::toggleListening);
}

void DesktopCharacterService::setSpeechInput(SpeechListener::RecognizerFactory recognizer,
                                             SpeechListener::SourceFactory source)
{
    std::unique_ptr<SpeechListener> old = std::move(m_speech);
    if (recognizer && source)
        m_speech = std::make_unique<SpeechListener>(std::move(recognizer), std::move(source));
    for (const QPointer<DesktopCharacter> &c : std::as_const(m_characters))
        if (c)
            c->setSpeechListener(m_speech.get());
    if (m_prepared)
        m_prepared->setSpeechListener(m_speech.get());
}

void DesktopCharacterService::toggleListening()
{
    for (const QPointer<DesktopCharacter> &c : std::as_const(m_characters)) {
        if (c && c->visible()) {
            qCDebug(lcCharacter) << "Listening key";
            c->listen(!c->isListening());
            return;
        }
    }
}

DesktopCharacterService::~DesktopCharacterService()
{
    // A voice list still being made is wanted by no one now, and an engine
    // may take seconds to give it (speech-dispatcher while it starts): the
    // end does not wait for it. Its thread owns the list it fills and uses
    // only the sound module, which stays loaded to the end of the process;
    // it is left to run, and the program's end knows that.
    if (m_voiceLister) {
        disconnect(m_voiceLister, nullptr, this, nullptr);
        if (m_voiceLister->wait(QDeadlineTimer(0))) {
            delete m_voiceLister;
        } else {
            qCDebug(lcCharacter) << "The voices are still being listed; that is left to end by itself";
            platform::noteLeftBehind();
        }
        m_voiceLister = nullptr;
    }
    m_testVoice.reset();
    delete m_options.data();
    delete m_prepared.data();
    for (const QPointer<DesktopCharacter> &c : std::as_const(m_characters))
        delete c.data();
    m_speech.reset();
}

bool DesktopCharacterService::grabKey(const QString &key, QString *error)
{
    if (m_listeningKey->setKey(key))
        return true;
    if (error)
        *error = tr("No listening key \"%1\": %2").arg(key, m_listeningKey->errorString());
    return false;
}

QString DesktopCharacterService::settingsFile() const
{
    // One too large to be settings is set aside before anything reads it.
    const QString file = QDir(m_settingsDir).filePath(QStringLiteral("CharacterService.ini"));
    setAsideIfTooLarge(file);
    return file;
}

QString DesktopCharacterService::defaultCharacter() const
{
    const QSettings settings(settingsFile(), QSettings::IniFormat);
    return settings.value(QStringLiteral("Default")).toString();
}

void DesktopCharacterService::setDefaultCharacter(const QString &folderName)
{
    QSettings settings(settingsFile(), QSettings::IniFormat);
    settings.setValue(QStringLiteral("Default"), folderName);
}

bool DesktopCharacterService::switchNow() const
{
    const QSettings settings(settingsFile(), QSettings::IniFormat);
    return settings.value(QStringLiteral("SwitchNow")).toString() == u"true";
}

DesktopCharacter *DesktopCharacterService::loadFolder(const QString &folder, QString *error)
{
    std::optional<CharacterModel> model = CharacterModel::load(folder, error);
    if (!model) {
        qCWarning(lcCharacter).noquote() << "Cannot load the character:" << *error;
        return nullptr;
    }
    // The voice comes with the options, once the character is there.
    auto *character = new DesktopCharacter(std::move(*model), nullptr, this);
    if (!character->isValid()) {
        *error = tr("The character in %1 cannot be drawn.").arg(folder);
        qCWarning(lcCharacter).noquote() << *error;
        delete character;
        return nullptr;
    }
    character->setSpeechListener(m_speech.get());
    applyTo(character, true);
    connect(character, &DesktopCharacter::optionsRequested, this, &DesktopCharacterService::showPropertySheet);
    return character;
}

bool DesktopCharacterService::load(const QString &id)
{
    if (m_characters.value(id))
        return true;

    // Folder names to try, in order, without repeats.
    QStringList wanted;
    const QString stored = defaultCharacter();
    if (!stored.isEmpty())
        wanted << stored;
    if (!wanted.contains(QLatin1String(FallbackCharacter)))
        wanted << QLatin1String(FallbackCharacter);
    const QHash<QString, QString> available = availableCharacters(m_programDir);
    QStringList others = available.keys();
    others.sort();
    for (const QString &name : std::as_const(others)) {
        if (!wanted.contains(name))
            wanted << name;
    }

    const QStringList folders = characterFolders(m_programDir);
    // The first character refused on the way, told to the user.
    QString refusedName, refusedWhy;
    m_refusal.clear();
    for (const QString &name : std::as_const(wanted)) {
        // The user's folder first: a character there hides the program's.
        // A stored name that is no folder name of theirs names nothing.
        for (const QString &folder : characterFoldersNamed(m_programDir, name)) {
            QString error;
            DesktopCharacter *character = loadFolder(folder, &error);
            if (!character && refusedName.isEmpty()) {
                refusedName = name;
                refusedWhy = error;
            }
            if (character) {
                if (!refusedName.isEmpty())
                    m_refusal = tr("The character \"%1\" was refused. %2 %3 is shown instead.")
                                    .arg(refusedName, refusedWhy, character->name());
                if (!stored.isEmpty() && name != stored)
                    qCWarning(lcCharacter).noquote()
                        << QStringLiteral("The default character \"%1\" is not available; loaded \"%2\"")
                               .arg(stored, name);
                qCDebug(lcCharacter).noquote()
                    << QStringLiteral("Loaded %1 from %2 as \"%3\"").arg(character->name(), folder, id);
                m_characters.insert(id, character);
                connectCharacter(id, character);
                return true;
            }
        }
    }
    qCWarning(lcCharacter).noquote()
        << QStringLiteral("No character could be loaded: none of %1 holds one that loads")
               .arg(folders.join(QStringLiteral(", ")));
    if (!refusedName.isEmpty())
        m_refusal = tr("The character \"%1\" was refused. %2 No other character could be loaded.")
                        .arg(refusedName, refusedWhy);
    return false;
}

Character *DesktopCharacterService::character(const QString &id) const
{
    return m_characters.value(id).data();
}

void DesktopCharacterService::unload(const QString &id)
{
    QPointer<DesktopCharacter> character = m_characters.take(id);
    if (!character)
        return;
    qCDebug(lcCharacter).noquote() << QStringLiteral("Unloaded \"%1\"").arg(id);
    character->close();
    character->deleteLater();
}

std::unique_ptr<Voice> DesktopCharacterService::makeVoice(const CharacterModel &model,
                                                          const CharacterServiceSettings &settings) const
{
    if (!m_voiceFactory)
        return nullptr;
    // The factory sees the character with the voice the options make of
    // its own. The copy is cheap: the model's containers are shared.
    CharacterModel withVoice = model;
    withVoice.voice = effectiveVoice(model.voice, settings);
    return m_voiceFactory(withVoice);
}

void DesktopCharacterService::applyTo(DesktopCharacter *c, bool newVoice)
{
    if (newVoice)
        c->setVoice(makeVoice(c->model(), m_settings), effectiveVoice(c->model().voice, m_settings).rate);
    c->setSpeechOutput(m_settings.speechOutput);
    c->setBalloonWhileSpeaking(m_settings.balloonWhileSpeaking);
    c->setBalloonFont(m_settings.font());
    c->setListeningTimeoutMs(m_settings.listeningTimeoutSeconds * 1000);
    c->setSoundsOn(m_settings.sounds);
}

bool DesktopCharacterService::applySettings(const CharacterServiceSettings &settings, QString *error)
{
    QStringList problems;
    const CharacterServiceSettings old = m_settings;
    m_settings = settings;
    QString why;
    if (!m_settings.write(settingsFile(), &why))
        problems << why;
    if (settings.listeningKey != old.listeningKey || !m_listeningKey->isActive()) {
        if (!grabKey(settings.listeningKey, &why) && settings.listeningKey != old.listeningKey)
            problems << why;
    }
    const bool newVoice = settings.voice != old.voice || settings.rate != old.rate;
    for (const QPointer<DesktopCharacter> &c : std::as_const(m_characters))
        if (c)
            applyTo(c, newVoice);
    if (m_prepared)
        applyTo(m_prepared, newVoice);
    qCDebug(lcCharacter).noquote()
        << QStringLiteral("Options: speech %1, voice \"%2\", rate %3, balloon %4, key %5, time-out %6 s, microphone \"%7\", sounds %8")
               .arg(settings.speechOutput ? u"on" : u"off", settings.voice)
               .arg(settings.rate)
               .arg(settings.balloonWhileSpeaking ? u"always" : u"as asked", settings.listeningKey)
               .arg(settings.listeningTimeoutSeconds)
               .arg(settings.microphone, settings.sounds ? u"on" : u"off");
    for (const QString &p : std::as_const(problems))
        qCWarning(lcCharacter).noquote() << p;
    if (error)
        *error = problems.join(u'\n');
    return problems.isEmpty();
}

DesktopCharacter *DesktopCharacterService::shownCharacter() const
{
    DesktopCharacter *any = nullptr;
    for (const QPointer<DesktopCharacter> &c : std::as_const(m_characters)) {
        if (c && c->visible())
            return c;
        if (c && !any)
            any = c;
    }
    return any;
}

std::unique_ptr<AudioSource> DesktopCharacterService::chosenMicrophone() const
{
    QString error;
    const SoundApi *api = soundApi(&error);
    if (!api) {
        qCWarning(lcCharacter).noquote() << error;
        return nullptr;
    }
    return std::unique_ptr<AudioSource>(api->microphone([this] {
        return m_settings.microphone == u"Default" ? QString() : m_settings.microphone;
    }));
}

void DesktopCharacterService::placeOnCharacterScreen(QWidget *window) const
{
    QScreen *screen = nullptr;
    if (DesktopCharacter *c = shownCharacter(); c && c->window())
        screen = QGuiApplication::screenAt(c->window()->geometry().center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    // A window sized already shows at that size.
    const QSize size = window->testAttribute(Qt::WA_Resized) ? window->size()
                                                             : window->size().expandedTo(window->sizeHint());
    // Never under the character: what the window shows stays in sight.
    const DesktopCharacter *c = shownCharacter();
    window->move(placeClearOf(size + FrameAllowance, c && c->window() ? c->window()->geometry() : QRect(), area));
}

void DesktopCharacterService::narrowBesideCharacter(QWidget *window) const
{
    const DesktopCharacter *c = shownCharacter();
    if (!c || !c->window() || !c->window()->isVisible())
        return;
    const QRect character = c->window()->geometry();
    const QScreen *screen = QGuiApplication::screenAt(character.center());
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    if (QLayout *layout = window->layout())
        layout->activate();
    const QSize least = window->minimumSizeHint().expandedTo(window->minimumSize());
    const int width = sizeClearOf(window->size() + FrameAllowance, least + FrameAllowance, character, area).width()
                      - FrameAllowance.width();
    if (width >= window->width())
        return;
    const int height = window->hasHeightForWidth() ? std::max(window->height(), window->heightForWidth(width))
                                                   : window->height();
    if (height + FrameAllowance.height() > area.height())
        return;
    window->resize(width, height);
}

void DesktopCharacterService::testVoice(const CharacterServiceSettings &settings)
{
    DesktopCharacter *c = shownCharacter();
    if (!c)
        return;
    m_testVoice.reset();
    m_testVoice = makeVoice(c->model(), settings);
    if (!m_testVoice)
        return;
    if (!settings.speechOutput)
        return;
    Voice *voice = m_testVoice.get();
    connect(voice, &Voice::failed, this, [this] {
        if (m_options)
            m_options->setMessage(tr("This voice cannot be heard here: no speech engine or no sound output works."));
    });
    QTimer::singleShot(0, voice, [voice] {
        voice->prepare();
        voice->say(TestSentence);
    });
}

void DesktopCharacterService::listSystemVoices()
{
    // Engines take their time to start (speech-dispatcher well over a
    // second): the voices are listed in a thread of their own, once at a
    // time, and handed to the options when it ends.
    if (!m_options || m_voiceLister)
        return;
    auto voices = std::make_shared<CharacterOptionsDialog::VoiceList>();
    m_voiceLister = QThread::create([voices, list = m_listVoices] {
        if (list)
            *voices = list();
    });
    m_voiceLister->setObjectName(QStringLiteral("kestrova-voice-list"));
    connect(m_voiceLister, &QThread::finished, this, [this, voices] {
        delete std::exchange(m_voiceLister, nullptr);
        if (m_options)
            m_options->addSystemVoices(*voices);
    });
    m_voiceLister->start();
}

CharacterOptionsDialog *DesktopCharacterService::optionsDialog() const
{
    return m_options.data();
}

void DesktopCharacterService::updateVoiceProfileState()
{
    if (m_options)
        m_options->setVoiceProfileState(VoiceProfile().exists(), VoiceAdaptation().missing());
}

void DesktopCharacterService::showVoiceEnrolment()
{
    if (!m_enrolment) {
        const QString recordings = QFileInfo(VoiceProfile::defaultFolder()).absolutePath()
                                   + QStringLiteral("/voice-recordings");
        m_enrolment = new VoiceEnrolmentWindow(
            // The microphone chosen in the options, as listening uses it.
            [this] { return chosenMicrophone(); },
            recordings, VoiceProfile::defaultFolder());
        connect(m_enrolment, &VoiceEnrolmentWindow::learnt, this, [this](const QString &folder) {
            qCInfo(lcCharacter).noquote() << QStringLiteral("Voice profile made in %1").arg(folder);
            updateVoiceProfileState();
        });
        if (DesktopCharacter *c = shownCharacter())
            m_enrolment->setCommands(c->voiceCommands());
    }
    if (!m_enrolment->isVisible())
        narrowBesideCharacter(m_enrolment);
    placeOnCharacterScreen(m_enrolment);
    m_enrolment->show();
    m_enrolment->raise();
    m_enrolment->activateWindow();
    qCDebug(lcCharacter) << "Voice enrolment shown";
}

bool DesktopCharacterService::forgetVoice(QString *error)
{
    const bool ok = VoiceProfile().forget(error);
    if (ok)
        qCInfo(lcCharacter) << "Voice profile forgotten";
    updateVoiceProfileState();
    return ok;
}

void DesktopCharacterService::showPropertySheet()
{
    if (!m_options) {
        m_options = new CharacterOptionsDialog;
        connect(m_options, &CharacterOptionsDialog::applied, this, [this](const CharacterServiceSettings &s) {
            QString error;
            if (!applySettings(s, &error))
                m_options->setMessage(error);
        });
        connect(m_options, &CharacterOptionsDialog::testRequested, this, &DesktopCharacterService::testVoice);
        connect(m_options, &CharacterOptionsDialog::voicesWanted, this, &DesktopCharacterService::listSystemVoices);
        connect(m_options, &CharacterOptionsDialog::learnVoiceRequested, this,
                &DesktopCharacterService::showVoiceEnrolment);
        connect(m_options, &CharacterOptionsDialog::forgetVoiceRequested, this, [this] {
            QString error;
            if (!forgetVoice(&error))
                m_options->setMessage(error);
        });
    }
    if (!m_options->isVisible()) {
        m_options->setSettings(m_settings);
        updateVoiceProfileState();
        placeOnCharacterScreen(m_options);
    }
    m_options->show();
    m_options->raise();
    m_options->activateWindow();
    qCDebug(lcCharacter) << "Character options shown";
}

void DesktopCharacterService::showDefaultCharacterProperties()
{
    const QString current = defaultCharacter();
    CharacterChooser chooser(m_programDir, current);
    chooser.setSwitchNow(switchNow());
    placeOnCharacterScreen(&chooser);
    qCDebug(lcCharacter) << "Character chooser shown";
    if (chooser.exec() != QDialog::Accepted)
        return;
    const QString chosen = chooser.chosen();
    if (chosen.isEmpty())
        return;
    {
        QSettings settings(settingsFile(), QSettings::IniFormat);
        settings.setValue(QStringLiteral("SwitchNow"), chooser.switchNow());
    }
    const DesktopCharacter *shown = shownCharacter();
    const bool now = chooser.switchNow() && !(shown && shown->model().id == chosen)
                     && isSignalConnected(QMetaMethod::fromSignal(&CharacterService::switchRequested));
    if (now) {
        qCDebug(lcCharacter).noquote() << QStringLiteral("Switch to \"%1\" asked for").arg(chosen);
        m_lastPrepared.clear();
        // The program prepares the switch from here, or tells the user why
        // it cannot; a character that cannot be used is not stored.
        Q_EMIT switchRequested(chosen);
        if (m_lastPrepared != chosen) {
            qCDebug(lcCharacter).noquote()
                << QStringLiteral("The default character stays \"%1\"").arg(current);
            return;
        }
        setDefaultCharacter(chosen);
        qCDebug(lcCharacter).noquote() << QStringLiteral("Default character \"%1\", in use now").arg(chosen);
        return;
    }
    setDefaultCharacter(chosen);
    qCDebug(lcCharacter).noquote()
        << QStringLiteral("Default character \"%1\"; it appears the next time Kestrova starts").arg(chosen);
}

bool DesktopCharacterService::prepareSwitch(const QString &name, QString *why)
{
    // Only a character the chooser would list: a folder name, found in one
    // of the character folders, the user's first.
    const QString folder = characterFoldersNamed(m_programDir, name).value(0);
    QString error;
    DesktopCharacter *next = nullptr;
    if (folder.isEmpty())
        error = tr("It is in none of the character folders (%1).")
                    .arg(characterFolders(m_programDir).join(QStringLiteral(", ")));
    else
        next = loadFolder(folder, &error);
    if (!next) {
        const QString sentence = tr("The character \"%1\" cannot be used. %2").arg(name, error);
        qCWarning(lcCharacter).noquote() << "Switch refused:" << sentence;
        if (why)
            *why = sentence;
        return false;
    }
    cancelSwitch();
    m_prepared = next;
    m_lastPrepared = name;
    qCDebug(lcCharacter).noquote() << QStringLiteral("Prepared %1 from %2 for a switch").arg(next->name(), folder);
    return true;
}

Character *DesktopCharacterService::preparedCharacter() const
{
    return m_prepared.data();
}

bool DesktopCharacterService::commitSwitch(const QString &id)
{
    if (!m_prepared)
        return false;
    DesktopCharacter *next = m_prepared;
    m_prepared = nullptr;
    if (QPointer<DesktopCharacter> old = m_characters.take(id)) {
        qCDebug(lcCharacter).noquote() << QStringLiteral("Unloaded %1 (\"%2\")").arg(old->name(), id);
        old->close();
        old->deleteLater();
    }
    m_characters.insert(id, next);
    connectCharacter(id, next);
    qCDebug(lcCharacter).noquote()
        << QStringLiteral("Switched \"%1\" to %2 from %3").arg(id, next->name(), next->model().folder);
    return true;
}

void DesktopCharacterService::cancelSwitch()
{
    if (!m_prepared)
        return;
    qCDebug(lcCharacter).noquote() << QStringLiteral("Switch to %1 cancelled").arg(m_prepared->name());
    m_prepared->close();
    m_prepared->deleteLater();
    m_prepared = nullptr;
}

} // namespace kestrova::character

