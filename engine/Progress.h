#pragma once
// The progress line at most every half second and once at the end, and the
// summary line that tells the program the conversion succeeded.

#include "LibAv.h"

#include <chrono>

namespace mirra {

// One scale of output time over every pass a targeted conversion runs: each pass
// gets a stretch of what is left, so the time shown only ever grows and ends at the
// output's length.
class PassProgress
{
public:
    // totalSeconds: the output's length; 0 when unknown (the times are then only kept from falling).
    explicit PassProgress(double totalSeconds) : m_total(totalSeconds) {}
    // The next pass covers passSeconds of media and takes share (0 to 1) of the work still ahead.
    void Begin(double passSeconds, double share);
    // The time to show when the pass has reached seconds of its media.
    double Map(double seconds);
    double Shown() const { return m_shown; }

private:
    double m_total;
    double m_from = 0;
    double m_span = 0;
    double m_passSeconds = 0;
    double m_shown = 0;
};

class Progress
{
public:
    Progress();

    // Times printed go through the scale of all passes when there is one.
    void SetScale(PassProgress *scale) { m_scale = scale; }

    void PacketWritten(AVMediaType type, int size, double endSeconds);
    // Media measured without being written.
    void Reached(double endSeconds);
    void VideoFrameWritten(double quality);

    // Prints when half a second has passed since the last line.
    void Tick(AVFormatContext *output);
    void Final(AVFormatContext *output);
    void Summary(AVFormatContext *output, int64_t headerBytes);

    int64_t packets() const { return m_packets; }
    int64_t videoBytes() const { return m_videoBytes; }
    int64_t audioBytes() const { return m_audioBytes; }
    double seconds() const { return m_seconds; }

private:
    void Print(int64_t fileSize);

    using Clock = std::chrono::steady_clock;
    PassProgress *m_scale = nullptr;
    Clock::time_point m_start;
    Clock::time_point m_lastPrint;
    int64_t m_frames = 0;
    int64_t m_packets = 0;
    double m_quality = 0;
    double m_seconds = 0;
    int64_t m_videoBytes = 0;
    int64_t m_audioBytes = 0;
    int64_t m_otherBytes = 0;
};

int64_t OutputSize(AVFormatContext *output);

} // namespace mirra
