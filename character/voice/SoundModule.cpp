#include "SoundModule.h"

#include "DesktopCharacterLog.h"
#include "ProgramModule.h"

#include <QCoreApplication>
#include <QThread>

#include <utility>

namespace kestrova::character {

namespace {
const char ModuleFile[] = "libkestrova_sound.so";
// What the module does, as the messages about it name it.
const char *const ModuleWhat = QT_TRANSLATE_NOOP("kestrova::ProgramModule", "Speech and sounds");
QString moduleWhat() { return QCoreApplication::translate("kestrova::ProgramModule", ModuleWhat); }
using EntryFunction = const SoundApi *(*)();
} // namespace

const SoundApi *soundApi(QString *error)
{
    // Looked for once per run, beside the program.
    static ProgramModule module(QString::fromLatin1(ModuleFile), moduleWhat(),
                                ProgramModule::programFolders());
    const auto entry = reinterpret_cast<EntryFunction>(module.resolve("kestrovaSoundApi"));
    if (!entry) {
        if (error)
            *error = module.error();
        return nullptr;
    }
    const SoundApi *api = entry();
    if (!api || api->version != SoundApi::CurrentVersion) {
        if (error)
            *error = QCoreApplication::translate("kestrova::ProgramModule",
                                                 "%1 cannot be used: the program's module %2 belongs to another version.")
                         .arg(moduleWhat(), QString::fromLatin1(ModuleFile));
        return nullptr;
    }
    return api;
}

ModuleVoice::ModuleVoice(Make make, std::function<const SoundApi *()> load, QObject *parent)
    : Voice(parent), m_make(std::move(make)), m_load(std::move(load))
{
    if (!m_load)
        m_load = [] { return soundApi(); };
    // Loaded once the event loop runs: the character is on the screen by
    // then, and its first sentence waits for the appearing animation anyway.
    // Loading at once would hold the dynamic loader while the start-up
    // still needs it.
    QMetaObject::invokeMethod(this, &ModuleVoice::prepare, Qt::QueuedConnection);
}

ModuleVoice::~ModuleVoice() = default;

void ModuleVoice::prepare()
{
    if (m_loading || m_voice || m_missing)
        return;
    m_loading = true;
    // The thread only looks the table up; the voice is made here, in the
    // character's thread, when the answer comes back.
    auto result = std::make_shared<const SoundApi *>(nullptr);
    QThread *thread = QThread::create([load = m_load, result] { *result = load(); });
    thread->setObjectName(QStringLiteral("kestrova-sound-load"));
    connect(thread, &QThread::finished, this, [this, result] { loaded(*result); });
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    thread->start();
}

void ModuleVoice::loaded(const SoundApi *api)
{
    m_loading = false;
    Voice *made = api ? m_make(*api) : nullptr;
    if (!made) {
        m_missing = true;
        qCWarning(lcCharacter) << "No voice: the sound module is missing; what is said is shown";
        const QList<QPair<int, QString>> waiting = std::exchange(m_waiting, {});
        for (const auto &[utterance, text] : waiting)
            Q_EMIT failed(utterance);
        return;
    }
    m_voice.reset(made);
    m_voice->setParent(nullptr);
    relayVoice(made, this, m_ours);
    const QList<QPair<int, QString>> waiting = std::exchange(m_waiting, {});
    for (const auto &[utterance, text] : waiting)
        sayNow(utterance, text);
}

bool ModuleVoice::isAvailable() const
{
    if (m_missing)
        return false;
    return m_voice ? m_voice->isAvailable() : true;
}

bool ModuleVoice::isWorking() const
{
    if (m_voice)
        return m_voice->isWorking();
    return !m_missing && soundOutputLikely();
}

int ModuleVoice::say(const QString &text)
{
    const int utterance = m_next++;
    if (m_voice) {
        sayNow(utterance, text);
    } else if (m_missing) {
        QMetaObject::invokeMethod(this, [this, utterance] { Q_EMIT failed(utterance); }, Qt::QueuedConnection);
    } else {
        m_waiting.append({utterance, text});
        prepare();
    }
    return utterance;
}

void ModuleVoice::sayNow(int utterance, const QString &text)
{
    m_ours->insert(m_voice->say(text), utterance);
}

void ModuleVoice::stop()
{
    // A text still waiting for the module is simply not said.
    m_waiting.clear();
    if (m_voice)
        m_voice->stop();
}

} // namespace kestrova::character
