#pragma once

#include <QMetaType>
#include <QtGlobal>

namespace kestrova::character {

// A handle to one queued request of the character. Completion is reported
// with the same handle, and callers recognise their request by comparing
// handles. A default-constructed handle refers to no request and never
// completes; calls on a character that is not loaded return one.
class Request {
public:
    Request() = default;
    explicit Request(quint64 id) : m_id(id) {}

    quint64 id() const { return m_id; }
    bool isNull() const { return m_id == 0; }

    friend bool operator==(const Request &a, const Request &b) { return a.m_id == b.m_id; }
    friend bool operator!=(const Request &a, const Request &b) { return a.m_id != b.m_id; }

private:
    quint64 m_id = 0;
};

} // namespace kestrova::character

Q_DECLARE_METATYPE(kestrova::character::Request)
