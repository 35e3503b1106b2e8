#include "RecordingCharacter.h"

#include "SpeechText.h"

#include <utility>

namespace kestrova::test {

using character::Request;

namespace {
// As with the desktop character: handles are unique across characters.
quint64 nextRequestId = 1;
} // namespace

RecordingCharacter::RecordingCharacter(QString name, QObject *parent)
    : character::Character(parent), m_name(std::move(name))
{
}

Request RecordingCharacter::queue(const QString &text)
{
    log << text;
    const Request r(nextRequestId++);
    pending.append({r, text});
    return r;
}

Request RecordingCharacter::speak(const QString &text)
{
    speech << text;
    return queue(QStringLiteral("Speak ") + character::speechForLog(text));
}

Request RecordingCharacter::think(const QString &text)
{
    speech << text;
    return queue(QStringLiteral("Think ") + character::speechForLog(text));
}
Request RecordingCharacter::play(const QString &animation) { return queue(QStringLiteral("Play ") + animation); }
Request RecordingCharacter::show() { return queue(QStringLiteral("Show")); }
Request RecordingCharacter::hide() { return queue(QStringLiteral("Hide")); }

Request RecordingCharacter::moveTo(int x, int y)
{
    return queue(QStringLiteral("MoveTo %1 %2").arg(x).arg(y));
}

Request RecordingCharacter::gestureAt(int x, int y)
{
    return queue(QStringLiteral("GestureAt %1 %2").arg(x).arg(y));
}

void RecordingCharacter::stop()
{
    log << QStringLiteral("Stop");
    if (!pending.isEmpty())
        finish(pending.takeFirst());
}

void RecordingCharacter::stopAll()
{
    // The one playing and every dropped one complete, in order; requests
    // made meanwhile stay pending.
    log << QStringLiteral("StopAll");
    // Only the one playing had its effect; the others never started.
    const QList<Pending> dropped = std::exchange(pending, {});
    for (qsizetype i = 0; i < dropped.size(); ++i) {
        if (i == 0)
            finish(dropped.at(i));
        else
            Q_EMIT requestComplete(dropped.at(i).request);
    }
}

void RecordingCharacter::stopRequests(const QList<Request> &requests)
{
    // Logged as "StopRequests" and the texts of those still pending.
    QStringList texts;
    QList<Pending> ended;
    for (qsizetype i = 0; i < pending.size();) {
        if (requests.contains(pending.at(i).request)) {
            texts << pending.at(i).text;
            ended << pending.takeAt(i);
        } else {
            ++i;
        }
    }
    log << QStringLiteral("StopRequests ") + texts.join(QStringLiteral(" / "));
    for (const Pending &p : ended)
        Q_EMIT requestComplete(p.request);
}

void RecordingCharacter::listen(bool on)
{
    log << (on ? QStringLiteral("Listen true") : QStringLiteral("Listen false"));
}

void RecordingCharacter::placeAt(int x, int y)
{
    log << QStringLiteral("PlaceAt %1 %2").arg(x).arg(y);
    m_left = x;
    m_top = y;
    // A move playing now ends where the character was put.
    if (!pending.isEmpty() && pending.first().text.startsWith(u"MoveTo "))
        Q_EMIT requestComplete(pending.takeFirst().request);
}

void RecordingCharacter::finish(const Pending &p)
{
    // The state a real character would have after the request.
    if (p.text == u"Show")
        m_visible = true;
    else if (p.text == u"Hide")
        m_visible = false;
    else if (p.text.startsWith(u"MoveTo ")) {
        const QStringList xy = p.text.mid(7).split(u' ');
        m_left = xy.value(0).toInt();
        m_top = xy.value(1).toInt();
    }
    Q_EMIT requestComplete(p.request);
}

bool RecordingCharacter::completeNext()
{
    if (pending.isEmpty())
        return false;
    finish(pending.takeFirst());
    return true;
}

int RecordingCharacter::completeAll(int limit)
{
    int n = 0;
    while (n < limit && completeNext())
        ++n;
    return n;
}

bool RecordingCharacter::complete(const Request &request)
{
    for (qsizetype i = 0; i < pending.size(); ++i) {
        if (pending.at(i).request == request) {
            finish(pending.takeAt(i));
            return true;
        }
    }
    return false;
}

Request RecordingCharacter::pendingRequest(const QString &text) const
{
    for (const Pending &p : pending)
        if (p.text == text)
            return p.request;
    return Request();
}

RecordingCharacterService::RecordingCharacterService(QString name, QObject *parent)
    : character::CharacterService(parent), characterName(std::move(name))
{
}

RecordingCharacterService::~RecordingCharacterService()
{
    delete m_character;
    delete m_prepared;
    qDeleteAll(m_unloaded);
    qDeleteAll(m_cancelled);
}

bool RecordingCharacterService::prepareSwitch(const QString &name, QString *why)
{
    calls << QStringLiteral("Prepare ") + name;
    if (!switchable.contains(name)) {
        if (why)
            *why = QStringLiteral("The character \"%1\" cannot be used. %2").arg(name, switchRefusal);
        return false;
    }
    if (m_prepared)
        m_cancelled.append(std::exchange(m_prepared, nullptr));
    m_prepared = new RecordingCharacter(switchable.value(name));
    return true;
}

bool RecordingCharacterService::commitSwitch(const QString &id)
{
    calls << QStringLiteral("Commit ") + id;
    if (!m_prepared)
        return false;
    if (m_character && id == m_id) {
        // The old one stops reporting, as a closed desktop character does.
        m_character->disconnect(this);
        m_unloaded.append(m_character);
    }
    m_character = std::exchange(m_prepared, nullptr);
    m_id = id;
    connectCharacter(id, m_character);
    return true;
}

void RecordingCharacterService::cancelSwitch()
{
    calls << QStringLiteral("Cancel");
    if (m_prepared)
        m_cancelled.append(std::exchange(m_prepared, nullptr));
}

bool RecordingCharacterService::load(const QString &id)
{
    calls << QStringLiteral("Load ") + id;
    if (loadFails || m_character)
        return false;
    m_id = id;
    m_character = new RecordingCharacter(characterName);
    connectCharacter(id, m_character);
    return true;
}

character::Character *RecordingCharacterService::character(const QString &id) const
{
    return id == m_id ? m_character : nullptr;
}

void RecordingCharacterService::unload(const QString &id)
{
    calls << QStringLiteral("Unload ") + id;
    if (id != m_id || !m_character)
        return;
    // Kept until the service goes, so a test can still read what the
    // character was asked to do, and so the completion that led here may
    // return through it.
    m_unloaded.append(m_character);
    m_character = nullptr;
    m_id.clear();
}

} // namespace kestrova::test
