#pragma once

#include "WordProcessor.h"

#include <QStringList>

#include <atomic>
#include <mutex>

#include <com/sun/star/frame/XDesktop2.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>

namespace kestrova {

// LibreOffice Writer driven through UNO. Each application object is an
// office started for it with an acceptor of its own and connected over
// that pipe. When the user's office is already running, the start hands
// the acceptor to it (LibreOffice keeps one office per user profile), so
// the connection reaches the office the user sees.
class AnswerDeadline;

class LibreOfficeWriter final : public WordProcessor {
public:
    struct Options {
        // The office's start program; "soffice" from the PATH when empty.
        QString office;
        // Added to the start's arguments (the tests run the office headless
        // with a profile of their own).
        QStringList extraArguments;
        // How long the office may take to answer on its pipe.
        int connectMilliseconds = 60000;
    };

    explicit LibreOfficeWriter(Options options);
    std::unique_ptr<WordApplication> createApplication() override;
    // An office of this user's with this home already running is reached
    // the way a start reaches it: the start hands its acceptor over and
    // ends, opening no window.
    std::unique_ptr<WordApplication> connectToRunning() override;
    // Also ends, at once, a first call on a connection still waiting for
    // the office's answer.
    void abandon() override;

private:
    Options m_options;
    std::atomic<bool> m_abandoned{false};
    std::mutex m_waitingMutex;
    AnswerDeadline *m_waiting = nullptr;
};

// One connected office. Releasing it drops the connection only.
class LibreOfficeApplication final : public WordApplication {
public:
    LibreOfficeApplication(css::uno::Reference<css::uno::XComponentContext> context,
                           css::uno::Reference<css::frame::XDesktop2> desktop, qint64 launcherPid);
    ~LibreOfficeApplication() override;

    bool setVisible(bool visible) override;
    bool addDocument() override;
    std::optional<QString> selectionText() override;

    // The office's own objects, for callers that drive it further.
    css::uno::Reference<css::uno::XComponentContext> context() const { return m_context; }
    css::uno::Reference<css::frame::XDesktop2> desktop() const { return m_desktop; }
    // The program started for this object (the office's launcher).
    qint64 launcherPid() const { return m_launcherPid; }

private:
    css::uno::Reference<css::uno::XComponentContext> m_context;
    css::uno::Reference<css::frame::XDesktop2> m_desktop;
    qint64 m_launcherPid = 0;
};

// The text of a UNO string as Qt holds it, and back.
QString fromUno(const rtl::OUString &text);
rtl::OUString toUno(const QString &text);

} // namespace kestrova
