#include "SoundModule.h"

#include "FliteVoice.h"
#include "MicrophoneSource.h"
#include "QtVoice.h"

#include <QAudioDevice>
#include <QMediaDevices>
#include <QSoundEffect>
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

QList<QPair<QString, QString>> systemVoices()
{
    QList<QPair<QString, QString>> voices;
    for (const QString &engine : QTextToSpeech::availableEngines()) {
        // flite's voices are the program's own (listed by the options as
        // such); Qt's engine for it is not loaded beside them (FliteVoice).
        if (engine == u"flite")
            continue;
        QTextToSpeech tts(engine);
        if (tts.state() == QTextToSpeech::Error)
            continue;
        for (const QVoice &v : tts.availableVoices())
            voices.append({QStringLiteral("qt:%1:%2").arg(engine, v.name()),
                           QStringLiteral("%1 (%2, %3)").arg(v.name(), engine, QVoice::genderName(v.gender()))});
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
