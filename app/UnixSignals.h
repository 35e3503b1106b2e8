#pragma once

#include <QObject>

class QSocketNotifier;

namespace kestrova {

// Turns SIGINT and SIGTERM into a Qt signal delivered on the event loop, so
// that Ctrl+C in a terminal ends the program through its ordinary farewell.
class UnixSignals : public QObject {
    Q_OBJECT
public:
    explicit UnixSignals(QObject *parent = nullptr);
    ~UnixSignals() override;

    bool isValid() const { return m_notifier != nullptr; }

Q_SIGNALS:
    void terminationRequested(int signalNumber);

private:
    QSocketNotifier *m_notifier = nullptr;
};

} // namespace kestrova
