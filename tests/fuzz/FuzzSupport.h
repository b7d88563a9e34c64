#pragma once
// Shared by the fuzz targets: cutting one input into reads of varying size.
#include <QByteArrayView>
#include <QList>
#include <cstdint>

namespace Fuzz {

// data cut into pieces of 1..maxPiece bytes, the sizes drawn from seed.
inline QList<QByteArrayView> Pieces(QByteArrayView data, uint32_t seed, int maxPiece = 64)
{
    QList<QByteArrayView> pieces;
    uint32_t state = seed | 1;
    for (qsizetype at = 0; at < data.size();) {
        state = state * 1664525u + 1013904223u;
        const qsizetype n = qMin<qsizetype>(1 + (state >> 16) % uint32_t(maxPiece), data.size() - at);
        pieces << data.sliced(at, n);
        at += n;
    }
    return pieces;
}

inline QByteArrayView View(const uint8_t *data, size_t size)
{
    return QByteArrayView(reinterpret_cast<const char *>(data), qsizetype(size));
}

} // namespace Fuzz
