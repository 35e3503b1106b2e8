#pragma once

#include <QString>

#include <functional>
#include <optional>

class QObject;

namespace kestrova {

struct PlatformServices;

// Whether a dial-up link is up; the platform seam behind IsOnline.
class DialUp {
public:
    virtual ~DialUp() = default;
    // The state of the first dial-up connection; nothing when the
    // connections could not be listed.
    virtual std::optional<bool> firstConnectionUp() = 0;
    // The same without waiting for the answer: `done` is called later, on
    // `context`'s thread, and never once `context` is gone. This one asks
    // at once and calls `done` before it returns.
    virtual void askFirstConnectionUp(QObject *context, std::function<void(std::optional<bool>)> done)
    {
        (void)context;
        done(firstConnectionUp());
    }
};

// The dial-up state as the desktop's network manager knows it: the first
// of NetworkManager's active connections that is a modem, mobile broadband
// or PPPoE connection, up when activated. Where NetworkManager is not on
// the bus, or lists no such connection, a point-to-point interface named
// like a dial-up link (type PPP, or point-to-point and named "ppp...") that
// is up and running.
class NetworkDialUp final : public DialUp {
public:
    // `busAddress`: the bus NetworkManager is asked on; the system bus when
    // empty.
    explicit NetworkDialUp(const QString &busAddress = {}) : m_busAddress(busAddress) {}
    std::optional<bool> firstConnectionUp() override;
    // Each question to NetworkManager goes out as an asynchronous call; the
    // answers are taken as they come, so the caller's thread goes on.
    void askFirstConnectionUp(QObject *context, std::function<void(std::optional<bool>)> done) override;

    // Whether NetworkManager's connection type ("gsm", "pppoe", ...) is one
    // that counts as dial-up.
    static bool isDialUpType(const QString &type);

private:
    // Nothing when NetworkManager cannot be asked; false when it lists no
    // dial-up connection; a failed listing is an error.
    enum class Answer { NoManager, NoDialUp, Up, Down, Failed };
    class Question;
    // The answer from NetworkManager or, where it has none, from the
    // network interfaces.
    static std::optional<bool> conclude(Answer answer);
    QString m_busAddress;
};

namespace DialUpConnection {
// True while the first dial-up connection is connected. A failed listing
// shows "ERROR" and counts as offline. Without a dial-up service, offline.
bool IsOnline(const PlatformServices &platform);
// The same without waiting: `done` gets the answer later on `context`'s
// thread (with a failed listing, after the "ERROR" box).
void AskIsOnline(const PlatformServices &platform, QObject *context, std::function<void(bool online)> done);
} // namespace DialUpConnection

} // namespace kestrova
