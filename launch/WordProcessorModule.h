#pragma once

#include "WordProcessor.h"

#include <QMutex>
#include <QStringList>

namespace kestrova {

// The word processor kept in a module of its own ("libkestrova_writer.so"),
// loaded the first time it is needed: the program starts without the
// office's libraries and runs on machines that have none. A module that is
// missing or does not load makes every start fail, with the reason logged.
class WordProcessorModule final : public WordProcessor {
public:
    // The folders searched for the module, in order.
    explicit WordProcessorModule(QStringList folders);
    ~WordProcessorModule() override;
    std::unique_ptr<WordApplication> createApplication() override;
    std::unique_ptr<WordApplication> connectToRunning() override;
    void abandon() override;

    // The folders the program looks in: its own, and the library folder of
    // an installed program (<prefix>/lib/kestrova beside <prefix>/bin).
    static QStringList defaultFolders(const QString &programDir);

private:
    // The module, loaded on first use; null when it cannot be.
    WordProcessor *loaded();

    QStringList m_folders;
    QMutex m_mutex;
    bool m_tried = false;
    bool m_abandoned = false;
    std::unique_ptr<WordProcessor> m_loaded;
};

} // namespace kestrova
