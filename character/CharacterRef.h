#pragma once

#include "Character.h"

#include <QPointer>

namespace kestrova::character {

// The program's reference to its loaded character. While no character is
// loaded (the service is missing, loading failed, or it was unloaded) every
// call does nothing, queries give empty values and queued calls return a
// request that never completes: the rest of the program runs on without a
// character, skipping each step that needs one.
class CharacterRef {
public:
    CharacterRef() = default;
    CharacterRef(Character *c) : m_c(c) {} // NOLINT: assigned from the service

    bool isLoaded() const { return !m_c.isNull(); }
    Character *get() const { return m_c.data(); }

    Request Speak(const QString &text) { return m_c ? m_c->speak(text) : Request(); }
    Request Think(const QString &text) { return m_c ? m_c->think(text) : Request(); }
    Request Play(const QString &animation) { return m_c ? m_c->play(animation) : Request(); }
    Request Show() { return m_c ? m_c->show() : Request(); }
    Request Hide() { return m_c ? m_c->hide() : Request(); }
    Request MoveTo(int x, int y) { return m_c ? m_c->moveTo(x, y) : Request(); }
    Request GestureAt(int x, int y) { return m_c ? m_c->gestureAt(x, y) : Request(); }
    void Stop() { if (m_c) m_c->stop(); }
    void StopAll() { if (m_c) m_c->stopAll(); }
    void StopRequests(const QList<Request> &requests) { if (m_c) m_c->stopRequests(requests); }
    void Listen(bool on) { if (m_c) m_c->listen(on); }
    void PlaceAt(int x, int y) { if (m_c) m_c->placeAt(x, y); }
    bool Busy() const { return m_c && m_c->busy(); }

    QString Name() const { return m_c ? m_c->name() : QString(); }
    bool Visible() const { return m_c && m_c->visible(); }
    int Left() const { return m_c ? m_c->left() : 0; }
    int Top() const { return m_c ? m_c->top() : 0; }
    void setLanguageID(int id) { if (m_c) m_c->setLanguageId(id); }
    int BalloonStyle() const { return m_c ? m_c->balloonStyle() : 0; }
    void setBalloonStyle(int style) { if (m_c) m_c->setBalloonStyle(style); }
    void HoldBalloon(bool held) { if (m_c) m_c->holdBalloon(held); }
    // Null while no character is loaded.
    Commands *commands() const { return m_c ? &m_c->commands() : nullptr; }

private:
    QPointer<Character> m_c;
};

} // namespace kestrova::character
