#pragma once

// What the fuzz targets share: the fuzzer's bytes as the texts a reader
// gets, and a check that fails loudly when a reader breaks a promise.

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace kestrova::fuzz {

inline QByteArray bytes(const uint8_t *data, size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
}

// The input cut into at most `parts` pieces at NUL bytes (the last piece
// keeps the rest), so one input can feed a reader several texts.
inline QList<QByteArray> pieces(const QByteArray &input, int parts)
{
    QList<QByteArray> out;
    qsizetype from = 0;
    while (int(out.size()) < parts - 1) {
        const qsizetype nul = input.indexOf('\0', from);
        if (nul < 0)
            break;
        out << input.mid(from, nul - from);
        from = nul + 1;
    }
    out << input.mid(from);
    while (int(out.size()) < parts)
        out << QByteArray();
    return out;
}

// A promise of the reader that does not hold: libFuzzer reports the abort
// with the input that caused it.
#define KESTROVA_FUZZ_ASSERT(condition)                                                          \
    do {                                                                                         \
        if (!(condition)) {                                                                      \
            std::fprintf(stderr, "%s:%d: broken promise: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                        \
        }                                                                                        \
    } while (0)

} // namespace kestrova::fuzz
