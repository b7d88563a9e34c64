#pragma once
// Measurements the targets steer by, made with the libraries' own filters: the
// loudness of a sound (EBU R128, with its true peak) and the SSIM of pictures against
// the pictures they were encoded from.

#include "LibAv.h"

#include <string>

namespace mirra {

struct Loudness
{
    double integrated = -70; // LUFS; -70 and below: nothing above the silence gate
    double truePeak = -200;  // dBTP
    double range = 0;        // LU
    bool Silent() const { return integrated <= -69.9; }
};

class LoudnessMeter
{
public:
    LoudnessMeter() = default;
    LoudnessMeter(const LoudnessMeter &) = delete;
    LoudnessMeter &operator=(const LoudnessMeter &) = delete;

    // Sound in any format; the meter is set up by the first frame.
    void Add(const AVFrame *frame);
    // Everything added so far, the meter's last blocks included.
    Loudness Result();

private:
    void Pull();

    FilterGraphPtr m_graph;
    AVFilterContext *m_source = nullptr;
    AVFilterContext *m_sink = nullptr;
    FramePtr m_out = NewFrame();
    Loudness m_last;
    bool m_closed = false;
    int64_t m_nextPts = 0;
};

// The mean SSIM (luma and chroma weighted as the filter weighs them) over pairs of
// pictures of one size and format.
class SsimMeter
{
public:
    SsimMeter() = default;
    SsimMeter(const SsimMeter &) = delete;
    SsimMeter &operator=(const SsimMeter &) = delete;

    void Add(const AVFrame *original, const AVFrame *decoded);
    // Lets the comparison hand over the pairs it still holds.
    void Finish();
    double Sum() const { return m_sum; }
    int64_t Count() const { return m_count; }

private:
    void Setup(const AVFrame *frame);
    void Pull();

    FilterGraphPtr m_graph;
    AVFilterContext *m_main = nullptr;
    AVFilterContext *m_reference = nullptr;
    AVFilterContext *m_sink = nullptr;
    FramePtr m_a = NewFrame();
    FramePtr m_b = NewFrame();
    FramePtr m_out = NewFrame();
    int64_t m_pts = 0;
    double m_sum = 0;
    int64_t m_count = 0;
    bool m_finished = false;
};

} // namespace mirra
