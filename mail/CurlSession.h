#pragma once

// What the parts of CurlMailbox share: the session in CurlMailbox.cpp (the
// connection, its lines and the log-on), the TLS policy in CurlTls.cpp, and
// the conversations of CurlPop3.cpp and CurlImap.cpp. Only those files
// include it.

#include "CurlMailbox.h"

#include <curl/curl.h>

#include <atomic>
#include <mutex>
#include <set>

#include <sys/socket.h>

namespace kestrova {

struct CurlMailbox::Guard {
    // The sockets curl has open; shut, never closed, from another thread.
    std::mutex mutex;
    std::set<int> sockets;
    bool cancelled = false;
    std::atomic_bool calledOff{false};

    // For the TLS handshake (worker thread only): the trusted fingerprint
    // as raw SHA-256, the host its chain is checked against when there is
    // one, and the digest of the certificate the server presented.
    QByteArray pinned;
    QByteArray host;
    bool hostIsAddress = false;
    QByteArray presented;

    void shutAll()
    {
        for (int fd : sockets)
            ::shutdown(fd, SHUT_RDWR);
    }
};

namespace curlmail {

// How much of a reply is kept: a status line, a message's header block
// (TOP n 0), a UIDL listing of the largest mailbox counted (32,767 ids of up
// to 70 characters).
constexpr qsizetype StatusLimit = 64 * 1024;
constexpr qsizetype HeaderLimit = 256 * 1024;
constexpr qsizetype ListingLimit = 4 * 1024 * 1024;

// Watches the conversation for an accepted STLS, the capabilities, and
// whether each log-on went over TLS. The lines are looked at, never kept:
// they hold the password.
int traceTls(CURL *curl, curl_infotype type, char *data, size_t size, void *user);
// curl hands over each TLS context (STLS and pop3s alike) before the
// handshake: the chain is verified, and a certificate the user trusted
// stands in for it.
CURLcode prepareTls(CURL *, void *context, void *user);

} // namespace curlmail
} // namespace kestrova
