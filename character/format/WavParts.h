#pragma once

#include <QtGlobal>

class QIODevice;

namespace kestrova::character {

// What the parts of a RIFF WAVE file say: its format and where its sound
// lies. Reading stops at the first data part; a format part after it has
// no say. Whether the format is one a reader can take is the caller's
// question: a character's sounds and a recording want different ones.
struct WavParts {
    enum class Fault {
        None,
        NotWav,           // no "RIFF" ... "WAVE" at the start
        PartPastEnd,      // a part other than the sound is longer than the file
        ShortFormat,      // a format part too short to say what it holds
        SoundBeforeFormat,
        NoFormat,         // the parts ended with no format part
        NoSound,          // the parts ended with a format but no sound
    };
    Fault fault = Fault::None;
    bool hasFormat = false;
    quint16 tag = 0; // 1 PCM, 3 float, 0xFFFE the extensible form
    quint16 channels = 0;
    quint32 rate = 0;
    quint16 bits = 0;
    qint64 soundAt = -1;   // where the first byte of sound is
    qint64 announced = 0;  // what the data part says it holds
    qint64 held = 0;       // what the file holds of it (less when cut short)
};

// Reads the parts of the file open in `device` (which must be able to
// seek); reads only part headers and the format, never the sound.
WavParts readWavParts(QIODevice &device);

} // namespace kestrova::character
