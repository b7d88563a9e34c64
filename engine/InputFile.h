#pragma once
// One opened input: its demuxer, the streams it offers and the time that
// becomes zero in the output.

#include "LibAv.h"
#include "Options.h"

#include <string>
#include <vector>

namespace mirra {

class InputFile
{
public:
    InputFile(const InputRequest &request, int index);

    AVFormatContext *context() const { return m_context.get(); }
    const InputRequest &request() const { return m_request; }
    int index() const { return m_index; }

    // The demuxer's name as the user knows it: the one matching the file's
    // extension where the demuxer has several names ("mov,mp4,..." gives "mp4").
    std::string FormatName() const;

    // Best stream of a kind (cover pictures do not count as video), or -1.
    int BestStream(AVMediaType type) const;

    // The input's start plus the requested start offset, in AV_TIME_BASE units:
    // this instant becomes zero in the output.
    int64_t originUs() const { return m_originUs; }

    // Positions the demuxer on the key frame at or before the origin
    // (extraSeekUs after the input's own -ss). Inputs that cannot seek are read
    // from the start and the early frames are dropped later.
    void SeekToStart(int64_t extraSeekUs);

    // Bit rates of streams whose headers do not tell, estimated from the first
    // seconds of packets. Index by stream; 0 where still unknown. Reads the
    // input, so it is for descriptions only.
    std::vector<int64_t> EstimateStreamBitRates();

private:
    InputRequest m_request;
    int m_index;
    InputContextPtr m_context;
    int64_t m_originUs = 0;
};

} // namespace mirra
