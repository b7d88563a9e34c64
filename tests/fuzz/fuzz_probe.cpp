// A probe's output read in pieces of any size is the same text, and parsing it ends
// with every field within its capacity.
#include "FuzzSupport.h"
#include "core/conversion/MediaProbe.h"

#include <cstdlib>
#include <fuzzer/FuzzedDataProvider.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const uint32_t seed = in.ConsumeIntegral<uint32_t>();
    const std::string rest = in.ConsumeRemainingBytesAsString();
    const QByteArrayView bytes(rest.data(), qsizetype(rest.size()));

    ProbeText whole, pieces;
    whole.Feed(bytes);
    for (QByteArrayView piece : Fuzz::Pieces(bytes, seed))
        pieces.Feed(piece);
    if (whole.Text() != pieces.Text() || whole.Complete() != pieces.Complete())
        std::abort();

    MediaInfo info;
    ParseProbeOutput(QStringLiteral("/in.avi"), whole.Text(), info);
    if (info.durationSecText.str().size() > 20 || info.videoSize.str().size() > 62)
        std::abort();
    return 0;
}
