// The engine's output read in pieces of any size gives the same verdict and text,
// and the displayed values stay in their ranges.
#include "FuzzSupport.h"
#include "core/conversion/EngineOutputParser.h"

#include <cstdlib>
#include <fuzzer/FuzzedDataProvider.h>

namespace {
QString WithoutLineEnds(QString text)
{
    return text.remove(u'\r').remove(u'\n');
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const uint32_t seed = in.ConsumeIntegral<uint32_t>();
    const double durations[] = {1, 10, 3600};
    const double duration = durations[in.ConsumeIntegralInRange(0, 2)];
    const std::string rest = in.ConsumeRemainingBytesAsString();
    const QByteArrayView bytes(rest.data(), qsizetype(rest.size()));

    // Without a duration the whole output is kept: compare it.
    EngineOutputParser whole(0, 0, 0), pieces(0, 0, 0), shown(duration, duration * 2, duration / 2);
    whole.Feed(bytes.toByteArray());
    for (QByteArrayView piece : Fuzz::Pieces(bytes, seed)) {
        pieces.Feed(piece.toByteArray());
        const EngineOutputParser::Display d = shown.Feed(piece.toByteArray());
        if (d.overall && (*d.overall < 0 || *d.overall > 100))
            std::abort();
    }
    if (whole.SawGlobalHeaders() != pieces.SawGlobalHeaders() || whole.SawGlobalHeaders() != shown.SawGlobalHeaders())
        std::abort();
    if (WithoutLineEnds(whole.HeaderText()) != WithoutLineEnds(pieces.HeaderText()))
        std::abort();
    return 0;
}
