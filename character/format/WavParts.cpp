#include "WavParts.h"

#include <QIODevice>
#include <QtEndian>

namespace kestrova::character {

WavParts readWavParts(QIODevice &device)
{
    WavParts parts;
    const qint64 size = device.size();
    constexpr qint64 RiffHeaderBytes = 12, PartHeaderBytes = 8, FormatBytes = 16;
    if (!device.seek(0)) {
        parts.fault = WavParts::Fault::NotWav;
        return parts;
    }
    const QByteArray head = device.read(RiffHeaderBytes);
    if (head.size() < RiffHeaderBytes || !head.startsWith("RIFF") || head.mid(8, 4) != "WAVE") {
        parts.fault = WavParts::Fault::NotWav;
        return parts;
    }
    qint64 at = RiffHeaderBytes;
    while (at + PartHeaderBytes <= size) {
        if (!device.seek(at))
            break;
        const QByteArray header = device.read(PartHeaderBytes);
        if (header.size() < PartHeaderBytes)
            break;
        const QByteArray id = header.left(4);
        const qint64 length = qFromLittleEndian<quint32>(header.constData() + 4);
        const qint64 body = at + PartHeaderBytes;
        if (id == "data") {
            if (!parts.hasFormat) {
                parts.fault = WavParts::Fault::SoundBeforeFormat;
                return parts;
            }
            parts.soundAt = body;
            parts.announced = length;
            parts.held = std::min(length, size - body);
            return parts;
        }
        if (body + length > size) {
            parts.fault = WavParts::Fault::PartPastEnd;
            return parts;
        }
        if (id == "fmt ") {
            const QByteArray format = device.read(FormatBytes);
            if (length < FormatBytes || format.size() < FormatBytes) {
                parts.fault = WavParts::Fault::ShortFormat;
                return parts;
            }
            parts.tag = qFromLittleEndian<quint16>(format.constData());
            parts.channels = qFromLittleEndian<quint16>(format.constData() + 2);
            parts.rate = qFromLittleEndian<quint32>(format.constData() + 4);
            parts.bits = qFromLittleEndian<quint16>(format.constData() + 14);
            parts.hasFormat = true;
        }
        // Parts are padded to an even length.
        at = body + length + (length & 1);
    }
    parts.fault = parts.hasFormat ? WavParts::Fault::NoSound : WavParts::Fault::NoFormat;
    return parts;
}

} // namespace kestrova::character
