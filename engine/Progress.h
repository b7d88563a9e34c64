#pragma once
// The progress line at most every half second and once at the end, and the
// summary line that tells the program the conversion succeeded.

#include "LibAv.h"

#include <chrono>

namespace mirra {

class Progress
{
public:
    Progress();

    void PacketWritten(AVMediaType type, int size, double endSeconds);
    void VideoFrameWritten(double quality);

    // Prints when half a second has passed since the last line.
    void Tick(AVFormatContext *output);
    void Final(AVFormatContext *output);
    void Summary(AVFormatContext *output, int64_t headerBytes);

    int64_t packets() const { return m_packets; }
    double seconds() const { return m_seconds; }

private:
    void Print(int64_t fileSize);

    using Clock = std::chrono::steady_clock;
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
