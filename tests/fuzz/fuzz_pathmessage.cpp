// The hand-over socket's reader: the same paths whatever pieces the socket delivers,
// and what it read is sent again unchanged.
#include "FuzzSupport.h"
#include "base/PathMessage.h"

#include <cstdlib>
#include <fuzzer/FuzzedDataProvider.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const uint32_t seed = in.ConsumeIntegral<uint32_t>();
    const std::string rest = in.ConsumeRemainingBytesAsString();
    const QByteArrayView bytes(rest.data(), qsizetype(rest.size()));

    PathMessageReader whole, pieces;
    const QStringList paths = whole.Feed(bytes);
    QStringList got;
    for (QByteArrayView piece : Fuzz::Pieces(bytes, seed, 16))
        got += pieces.Feed(piece);
    if (got != paths || whole.Refused() != pieces.Refused())
        std::abort();
    for (const QString &path : paths)
        if (path.isEmpty() || path.contains(QChar(0)))
            std::abort();

    PathMessageReader again;
    if (again.Feed(PathMessage::Encode(paths)) != paths)
        std::abort();
    return 0;
}
