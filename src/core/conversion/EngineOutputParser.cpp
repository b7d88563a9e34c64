#include "core/conversion/EngineOutputParser.h"

#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <limits>

#include "base/Numbers.h"
#include "base/SplitString.h"

namespace {
// Whole percent toward zero, kept inside int; NaN and infinities stay out of range.
double percentOf(double part, double whole)
{
    return std::trunc(part * 100.0 / whole);
}

// Enough for the engine's closing lines, bounded whatever it floods.
constexpr qsizetype kRecentChars = 4096;
} // namespace

EngineOutputParser::EngineOutputParser(double duration, double totalSeconds, double doneSeconds)
    : m_duration(duration), m_totalSeconds(totalSeconds), m_doneSeconds(doneSeconds)
{
}

EngineOutputParser::Display EngineOutputParser::Feed(const QByteArray &chunk)
{
    Display display;
    const QString decoded = m_decoder.Decode(chunk);
    const QString text = decoded + QStringLiteral("\r\n");
    if (m_collectingHeader)
        m_headerText += text;
    m_recent += decoded;
    if (m_recent.size() > 2 * kRecentChars)
        m_recent.remove(0, m_recent.size() - kRecentChars);
    if (!m_sawGlobalHeaders) {
        const QString joined = m_tail + decoded;
        m_sawGlobalHeaders = joined.contains(kSuccessMarker);
        m_tail = joined.right(kSuccessMarker.size() - 1);
    }

    if (m_duration == 0)
        return display;
    // Several progress lines may come in one read: the latest whole one counts.
    qsizetype timeAt = text.lastIndexOf(QStringLiteral("time="));
    while (timeAt >= 0 && text.indexOf(QStringLiteral("bitrate="), timeAt) < 0)
        timeAt = timeAt > 0 ? text.lastIndexOf(QStringLiteral("time="), timeAt - 1) : -1;
    if (timeAt < 0)
        return display;
    const QString rest = TrimLeft(text.mid(timeAt + 5));
    m_collectingHeader = false;

    const double t = LeadingDouble(rest);
    if (std::isfinite(t))
        m_latestTime = std::max(m_latestTime, t);
    const double file = percentOf(t, m_duration);
    if (!std::isfinite(file))
        return display;
    const int filePercent = int(std::clamp(file, double(std::numeric_limits<int>::min()), double(std::numeric_limits<int>::max())));
    if (filePercent == m_lastFilePercent)
        return display;
    m_lastFilePercent = filePercent;
    display.rowPercent = filePercent;

    const double total = percentOf(t + m_doneSeconds, m_totalSeconds);
    const bool outOfRange = !(total >= 0 && total <= 100);
    if (outOfRange && m_seekingAllowed) {
        display.statusLine = kSeeking;
        display.seeking = true;
        return display;
    }
    display.statusLine = text;
    if (total != m_lastTotalPercent) {
        m_lastTotalPercent = total;
        display.overall = std::isnan(total) ? 0 : int(std::clamp(total, 0.0, 100.0));
        m_seekingAllowed = false;
    }
    return display;
}

QString EngineOutputParser::ClosingLines() const
{
    if (m_collectingHeader)
        return {};
    const QString recent = m_recent.right(kRecentChars);
    const qsizetype progress = recent.lastIndexOf(QStringLiteral("bitrate="));
    const qsizetype from = progress < 0 ? 0 : recent.indexOf(QRegularExpression(QStringLiteral("[\r\n]")), progress);
    if (from < 0)
        return {};
    QString lines;
    for (const QString &line : recent.mid(from).split(QRegularExpression(QStringLiteral("[\r\n]+")), Qt::SkipEmptyParts))
        lines += line + QStringLiteral("\r\n");
    return lines;
}

bool EngineOutputParser::ExceedsInput() const
{
    return m_duration > 0 && m_latestTime > m_duration * 1.1 + 10.0;
}
