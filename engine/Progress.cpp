#include "Progress.h"

#include "Console.h"

#include <algorithm>

namespace mirra {

int64_t OutputSize(AVFormatContext *output)
{
    if (!output || !output->pb)
        return 0;
    const int64_t size = avio_size(output->pb);
    return size > 0 ? size : std::max<int64_t>(avio_tell(output->pb), 0);
}

void PassProgress::Begin(double passSeconds, double share)
{
    m_from = m_shown;
    m_span = m_total > 0 ? (m_total - m_from) * std::clamp(share, 0.0, 1.0) : 0;
    m_passSeconds = passSeconds;
}

double PassProgress::Map(double seconds)
{
    double shown = seconds;
    if (m_total > 0)
        shown = m_from + (m_passSeconds > 0 ? m_span * std::clamp(seconds / m_passSeconds, 0.0, 1.0) : 0);
    m_shown = std::max(m_shown, shown);
    return m_shown;
}

Progress::Progress() : m_start(Clock::now()), m_lastPrint(m_start) {}

void Progress::PacketWritten(AVMediaType type, int size, double endSeconds)
{
    ++m_packets;
    if (type == AVMEDIA_TYPE_VIDEO)
        m_videoBytes += size;
    else if (type == AVMEDIA_TYPE_AUDIO)
        m_audioBytes += size;
    else
        m_otherBytes += size;
    if (endSeconds > m_seconds)
        m_seconds = endSeconds;
}

void Progress::Reached(double endSeconds)
{
    if (endSeconds > m_seconds)
        m_seconds = endSeconds;
}

void Progress::VideoFrameWritten(double quality)
{
    ++m_frames;
    if (quality > 0)
        m_quality = quality;
}

void Progress::Tick(AVFormatContext *output)
{
    const Clock::time_point now = Clock::now();
    if (now - m_lastPrint < std::chrono::milliseconds(500))
        return;
    m_lastPrint = now;
    // avio_tell is the position including what is still buffered: cheap and close enough.
    Print(output && output->pb ? avio_tell(output->pb) : 0);
}

void Progress::Final(AVFormatContext *output)
{
    m_lastPrint = Clock::now();
    Print(OutputSize(output));
}

void Progress::Print(int64_t fileSize)
{
    const double elapsed = std::chrono::duration<double>(Clock::now() - m_start).count();
    const double fps = elapsed > 0 ? double(m_frames) / elapsed : 0;
    std::string rate = "   N/A";
    if (m_seconds > 0)
        rate = Format("%6.1fkbits/s", double(fileSize) * 8 / m_seconds / 1000);
    const double shown = m_scale ? m_scale->Map(m_seconds) : m_seconds;
    PrintLinef("frame=%5lld fps=%3.0f q=%.1f size=%8.0fkB time=%.2f bitrate=%s", static_cast<long long>(m_frames),
               fps, m_quality, double(fileSize) / 1024, shown, rate.c_str());
}

void Progress::Summary(AVFormatContext *output, int64_t headerBytes)
{
    const int64_t payload = m_videoBytes + m_audioBytes + m_otherBytes + headerBytes;
    const int64_t size = OutputSize(output);
    std::string overhead = "unknown";
    if (payload > 0 && size > 0)
        overhead = Format("%.1f%%", (double(size) / double(payload) - 1) * 100);
    PrintLinef("video:%.0fkB audio:%.0fkB global headers:%.0fkB muxing overhead %s", double(m_videoBytes) / 1024,
               double(m_audioBytes) / 1024, double(headerBytes) / 1024, overhead.c_str());
}

} // namespace mirra
