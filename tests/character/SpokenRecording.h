#pragma once

// A phrase said by a speech synthesiser and made into what a microphone
// gives the listener: 16 kHz mono 16-bit, the synthesiser's silences
// trimmed, its level brought 6 dB under full scale and a little quiet
// before and after. The tests that learn a voice read their sentences
// through it.

#include <QDir>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <utility>

namespace kestrova::test {

class SpokenRecording {
public:
    // The synthesiser is `program` with `arguments`, in which "%OUT%"
    // stands for the file it is to write and "%TEXT%" for the phrase.
    SpokenRecording(QString folder, QString program, QStringList arguments)
        : m_folder(std::move(folder)), m_program(std::move(program)), m_arguments(std::move(arguments))
    {
    }

    // Sox effects for the room the phrase is said in (an echo, say), put
    // between trimming the synthesiser's silences and setting the level.
    void setRoom(QStringList effects) { m_room = std::move(effects); }

    // A new file each time; `seconds` > 0 cuts it to that length. Empty when
    // the synthesiser or sox failed.
    QString say(const QString &phrase, double seconds = 0)
    {
        const QDir dir(m_folder);
        const QString raw = dir.filePath(QStringLiteral("raw.wav"));
        const QString wav = dir.filePath(QStringLiteral("said-%1.wav").arg(++m_files));
        QStringList arguments;
        for (const QString &a : std::as_const(m_arguments))
            arguments << (a == u"%OUT%" ? raw : a == u"%TEXT%" ? phrase : a);
        if (QProcess::execute(m_program, arguments) != 0)
            return {};
        QStringList effects = {"silence", "1", "0.02", "0.3%", "reverse", "silence", "1", "0.02", "0.3%", "reverse"};
        effects << m_room << QStringList{"gain", "-n", "-6", "pad", "0.4", "0.6"};
        if (seconds > 0)
            effects << "trim" << "0" << QString::number(seconds);
        if (QProcess::execute("sox", QStringList{"-R", "-q", raw, "-r", "16000", "-c", "1", "-b", "16", wav} + effects)
            != 0)
            return {};
        return wav;
    }

private:
    QString m_folder, m_program;
    QStringList m_arguments, m_room;
    int m_files = 0;
};

} // namespace kestrova::test
