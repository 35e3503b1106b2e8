#pragma once

#include <optional>

namespace kestrova {

struct PlatformServices;

// Whether a dial-up link is up; the platform seam behind IsOnline.
class DialUp {
public:
    virtual ~DialUp() = default;
    // The state of the first dial-up connection; nothing when the
    // connections could not be listed.
    virtual std::optional<bool> firstConnectionUp() = 0;
};

// A point-to-point interface named like a dial-up link (type PPP, or
// point-to-point and named "ppp...") that is up and running.
class NetworkDialUp final : public DialUp {
public:
    std::optional<bool> firstConnectionUp() override;
};

namespace DialUpConnection {
// True while the first dial-up connection is connected. A failed listing
// shows "ERROR" and counts as offline. Without a dial-up service, offline.
bool IsOnline(const PlatformServices &platform);
} // namespace DialUpConnection

} // namespace kestrova
