#pragma once

#include <QObject>
#include <QString>

#include <memory>

class QThread;

namespace kestrova {

class Host;
class WordApplication;
class WordProcessor;

// What the word processor's operations have the character do, in order.
class WordSink {
public:
    virtual ~WordSink() = default;
    virtual void Play(const QString &animation) = 0;
    virtual void Speak(const QString &text) = 0;
};

// The word processor reference and the three operations on it, as plain
// steps on the thread that calls them. Each operation's first failing step
// ends its normal path and runs its handler, which has the character say
// what failed. The calls block while the word processor works.
struct WordSession {
    // Starts the word processors; none means none is installed.
    WordProcessor *processor = nullptr;
    // The application object last made by OpenWord, or nothing.
    std::unique_ptr<WordApplication> WordApp;

    // Starts a new instance of the word processor and shows it. Every call
    // makes another one; one opened earlier is not reused.
    void OpenWord(WordSink &sink);
    // Adds a new document, starting the word processor first if needed.
    void NewDocument(WordSink &sink);
    // Reads out the selected text of the instance opened in this run, or
    // of the one running when there is none or it is gone (started from its
    // own menu entry, say); never starts the word processor.
    void ReadSelection(WordSink &sink);
};

// The operations as the menus, the spoken commands and the toolbar call
// them. They run in the order asked on a thread of their own, so the
// character goes on moving while the word processor starts; what the
// character is to do comes back to the user-interface thread in order.
// The program keeps one for the whole run.
class WordControls : public QObject {
    Q_OBJECT
public:
    explicit WordControls(Host &host);
    ~WordControls() override;

    void OpenWord();
    void NewDocument();
    void ReadSelection();
    // At shut-down: a start under way is given up, the reference is
    // dropped; the word processor and its windows stay open.
    void release();

    // Waits until every operation asked so far has finished (their
    // character requests are posted then, not yet delivered). False when
    // `milliseconds` passed first.
    bool waitForIdle(int milliseconds);

private:
    struct Worker;
    template <class Step>
    void run(Step step);

    Host &m_host;
    std::shared_ptr<Worker> m_worker;
    QThread *m_thread = nullptr;
};

} // namespace kestrova
