#include "SoundModule.h"

#include "FliteVoice.h"
#include "MicrophoneSource.h"
#include "QtVoice.h"

#include <QAudioDevice>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QSet>
#include <QTextToSpeech>
#include <QUrl>
#include <QVoice>

// The sound module's side of the table the program looks up when it loads
// libkestrova_sound.so (soundApi).

namespace kestrova::character {
namespace {

Voice *fliteVoice(const VoiceSettings &settings)
{
    return new FliteVoice(settings);
}

Voice *systemVoice(const VoiceSettings &settings, const QStringList &engines)
{
    return engines.isEmpty() ? new QtVoice(settings) : new QtVoice(settings, engines);
}

AudioSource *microphone(std::function<QString()> device)
{
    return new MicrophoneSource(std::move(device));
}

void playSound(QObject *owner, const QString &file, qreal volume)
{
    // One sound per file, found again by its name among the owner's children.
    QSoundEffect *effect = nullptr;
    for (QSoundEffect *e : owner->findChildren<QSoundEffect *>(Qt::FindDirectChildrenOnly))
        if (e->objectName() == file)
            effect = e;
    if (!effect) {
        effect = new QSoundEffect(owner);
        effect->setObjectName(file);
        effect->setSource(QUrl::fromLocalFile(file));
    }
    effect->setVolume(volume);
    effect->play();
}

QList<QPair<QString, QString>> audioInputs()
{
    QList<QPair<QString, QString>> inputs;
    for (const QAudioDevice &d : QMediaDevices::audioInputs())
        inputs.append({d.description(), QString::fromUtf8(d.id())});
    return inputs;
}

QList<SystemVoice> systemVoices()
{
    QList<SystemVoice> voices;
    for (const QString &engine : QTextToSpeech::availableEngines()) {
        // flite's voices are the program's own (listed by the options as
        // such); Qt's engine for it is not loaded beside them (FliteVoice).
        if (engine == u"flite")
            continue;
        QTextToSpeech tts(engine);
        if (tts.state() == QTextToSpeech::Error)
            continue;
        // An engine lists the voices of one language at a time (speechd
        // puts those of a language Qt does not know under "C"): each
        // language's in turn, then those of the engine's own that no
        // language had.
        const QList<QVoice> own = tts.availableVoices();
        QSet<QString> seen;
        auto add = [&](const QVoice &v, const QLocale &language) {
            if (seen.contains(v.name()))
                return;
            seen.insert(v.name());
            const QLocale locale = v.locale().language() == QLocale::C ? language : v.locale();
            voices.append({QStringLiteral("qt:%1:%2").arg(engine, v.name()),
                           QStringLiteral("%1 (%2, %3)").arg(v.name(), engine, QVoice::genderName(v.gender())),
                           locale.language() == QLocale::C ? QString() : locale.name()});
        };
        for (const QLocale &language : tts.availableLocales()) {
            tts.setLocale(language);
            for (const QVoice &v : tts.availableVoices())
                add(v, language);
        }
        for (const QVoice &v : own)
            add(v, QLocale::c());
    }
    return voices;
}

const SoundApi table = [] {
    SoundApi api;
    api.fliteVoice = fliteVoice;
    api.systemVoice = systemVoice;
    api.microphone = microphone;
    api.playSound = playSound;
    api.audioInputs = audioInputs;
    api.systemVoices = systemVoices;
    return api;
}();

} // namespace
} // namespace kestrova::character

extern "C" Q_DECL_EXPORT const kestrova::character::SoundApi *kestrovaSoundApi()
{
    return &kestrova::character::table;
}
