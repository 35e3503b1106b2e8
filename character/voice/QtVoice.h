#pragma once

#include "Voice.h"

#include <QHash>
#include <QStringList>

#include <memory>

namespace kestrova::character {

class FliteVoice;
class VoiceWorker;

// The voice of the Qt text-to-speech module. The engine lives in a thread of
// its own: constructing the speech-dispatcher engine blocks for well over a
// second while it lists voices, which must not freeze the character.
//
// Engines are tried in order; one that is in the Error state right after
// construction is dropped for the next (speech-dispatcher not running, or no
// output modules: fall back to flite). Only state() is trusted, not
// errorOccurred: flite reports errors for utterances it speaks fine.
// The engine "flite" is the program's own FliteVoice, made here when the
// engines before it fail: Qt's flite engine is never loaded.
class QtVoice : public Voice {
    Q_OBJECT
public:
    explicit QtVoice(const VoiceSettings &settings,
                     const QStringList &engines = {QStringLiteral("speechd"), QStringLiteral("flite")},
                     QObject *parent = nullptr);
    ~QtVoice() override;

    void prepare() override;
    bool isAvailable() const override;
    bool isWorking() const override;
    int say(const QString &text) override;
    void stop() override;

    // The engine in use once prepared; empty before, or when none works.
    QString engineName() const { return m_engine; }

private:
    enum class EngineState { Unknown, Ready, None };

    // On the heap: a speech server that stops answering can hold the
    // thread in a call for good, and then it is left behind at exit.
    QThread *m_thread = nullptr;
    VoiceWorker *m_worker = nullptr;
    bool m_prepared = false;
    EngineState m_state = EngineState::Unknown;
    bool m_lastFailed = false;
    int m_nextUtterance = 1;
    QString m_engine;
    // flite, when it is the engine: its utterances -> ours.
    std::unique_ptr<FliteVoice> m_flite;
    std::shared_ptr<QHash<int, int>> m_fliteUtterances = std::make_shared<QHash<int, int>>();
};

} // namespace kestrova::character
