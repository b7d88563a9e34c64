#pragma once
// Whether a video is interlaced: what the stream says of its fields, and what the
// first seconds look like to the idet filter.

#include "LibAv.h"

namespace mirra {

// What idet made of the pictures seen (its multi-frame verdicts), and how many pictures
// the decoder itself called interlaced.
struct FieldCounts
{
    int frames = 0;
    int topFirst = 0;
    int bottomFirst = 0;
    int progressive = 0;
    int repeated = 0;      // pictures with one field repeated from the one before: pulldown
    int flagged = 0;       // pictures the decoder marked interlaced

    int Interlaced() const { return topFirst + bottomFirst; }
};

// Decodes the first pictures of one stream through idet. Fed packets of the stream
// in file order; a stream it cannot decode or filter yields no counts.
class FieldCheck
{
public:
    FieldCheck(const AVStream *stream, int threads);
    ~FieldCheck();
    FieldCheck(const FieldCheck &) = delete;
    FieldCheck &operator=(const FieldCheck &) = delete;

    // False once enough pictures are seen (or nothing more can be learnt).
    bool Feed(const AVPacket *packet);
    FieldCounts Finish();

private:
    bool Filter(AVFrame *frame);
    void Read(const AVFrame *filtered);

    CodecContextPtr m_decoder;
    FilterGraphPtr m_graph;
    AVFilterContext *m_source = nullptr;
    AVFilterContext *m_sink = nullptr;
    FramePtr m_frame;
    FramePtr m_filtered;
    FieldCounts m_counts;
    int64_t m_firstPts = AV_NOPTS_VALUE;
    AVRational m_timeBase{1, 25};
    bool m_done = false;
};

enum class FieldVerdict
{
    Progressive,   // nothing to do
    Interlaced,    // every picture is made progressive
    FlaggedOnly,   // the pictures the decoder marks interlaced are made progressive
    Telecined,     // film with repeated fields: left as it is
};

// The stream's field order and the first seconds' counts (frames 0: nothing could be
// seen) decide what becomes of the pictures.
FieldVerdict JudgeFields(AVFieldOrder order, const FieldCounts &counts);

// True for the field orders that say the pictures are interlaced.
bool InterlacedOrder(AVFieldOrder order);

} // namespace mirra
