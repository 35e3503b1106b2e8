#pragma once

#include "WordProcessor.h"

#include <QStringList>

namespace kestrova::test {

// A word processor whose instances write what they are asked into the
// processor's log, numbered in the order they were made: "create 1",
// "visible 1", "add 1", "selection 1", "release 1"; "connect 2" for one
// reached while it runs. The switches make the
// next calls fail. The operations call it from their own thread; the test
// reads and sets it while they are idle.
class FakeWordProcessor : public WordProcessor {
public:
    bool installed = true;
    bool visibleWorks = true;
    bool addWorks = true;
    // What a selection reads; nothing makes the call fail.
    std::optional<QString> selection = QStringLiteral("the selected text");
    // Whether one runs that was started otherwise, for connectToRunning.
    bool running = false;
    QStringList log;
    int created = 0;

    std::unique_ptr<WordApplication> createApplication() override;
    std::unique_ptr<WordApplication> connectToRunning() override;
};

class FakeWordApplication : public WordApplication {
public:
    FakeWordApplication(FakeWordProcessor &processor, int number) : m_processor(processor), m_number(number) {}
    ~FakeWordApplication() override { note(QStringLiteral("release")); }
    bool setVisible(bool visible) override
    {
        note(visible ? QStringLiteral("visible") : QStringLiteral("hidden"));
        return m_processor.visibleWorks;
    }
    bool addDocument() override
    {
        note(QStringLiteral("add"));
        return m_processor.addWorks;
    }
    std::optional<QString> selectionText() override
    {
        note(QStringLiteral("selection"));
        return m_processor.selection;
    }

private:
    void note(const QString &what) { m_processor.log << what + u' ' + QString::number(m_number); }
    FakeWordProcessor &m_processor;
    int m_number;
};

inline std::unique_ptr<WordApplication> FakeWordProcessor::createApplication()
{
    if (!installed) {
        log << QStringLiteral("create failed");
        return nullptr;
    }
    ++created;
    log << QStringLiteral("create ") + QString::number(created);
    return std::make_unique<FakeWordApplication>(*this, created);
}

inline std::unique_ptr<WordApplication> FakeWordProcessor::connectToRunning()
{
    if (!running) {
        log << QStringLiteral("connect failed");
        return nullptr;
    }
    ++created;
    log << QStringLiteral("connect ") + QString::number(created);
    return std::make_unique<FakeWordApplication>(*this, created);
}

} // namespace kestrova::test
