#include "core/conversion/MediaProbe.h"

#include <QDeadlineTimer>
#include <QStringList>
#include <atomic>

#include "core/settings/RunLog.h"
#include "core/conversion/EngineLocation.h"
#include "core/conversion/EngineProcess.h"
#include "base/Numbers.h"
#include "base/SplitString.h"
#include "base/UserMessage.h"

namespace {

const QString kNoOutputComplaint = QStringLiteral("Must supply at least one output file");
std::atomic<int> g_timeLimitMs{30000};

} // namespace

QString RunProbe(const QString &sourcePath, const QString &option, bool idle)
{
    // "-i" and "-i " are the same option; the path stays one argument whatever it holds.
    QStringList arguments = option.split(u' ', Qt::SkipEmptyParts);
    arguments << sourcePath;

    EngineProcess engine;
    switch (engine.Start(EngineProgramPath(), arguments, idle ? EngineProcess::Idle : EngineProcess::Normal)) {
    case EngineProcess::StartResult::Started:
        break;
    case EngineProcess::StartResult::OutputPipeFailed:
        ShowUserMessage(QStringLiteral("Create   STDOUT   pipe   failed"));
        return {};
    case EngineProcess::StartResult::InputPipeFailed:
        ShowUserMessage(QStringLiteral("Create   STDIN   pipe   failed"));
        return {};
    case EngineProcess::StartResult::ProcessFailed:
        return {};
    }

    ProbeText text;
    char buffer[3000];
    qint64 n;
    bool killed = false;
    QDeadlineTimer deadline(g_timeLimitMs.load());
    while ((n = engine.Read(buffer, sizeof buffer, int(deadline.remainingTime()))) > 0) {
        text.Feed(QByteArrayView(buffer, n));
        // The complaint marks the end of the description; nothing after it matters.
        if (!killed && text.Complete()) {
            engine.Kill();
            killed = true;
        }
    }
    if (engine.TimedOut()) {
        engine.Kill();
        WriteLog(QStringLiteral("The probe of \"%1\" gave no answer in time and was ended.").arg(sourcePath));
    }
    engine.Wait();
    return text.Text();
}

std::unique_ptr<MediaInfo> ProbeMedia(const QString &sourcePath, bool idle, bool *complete)
{
    const QString text = RunProbe(sourcePath, QStringLiteral("-i"), idle);
    if (text.isEmpty())
        return nullptr;
    auto info = std::make_unique<MediaInfo>();
    const bool whole = ParseProbeOutput(sourcePath, text, *info);
    if (complete)
        *complete = whole;
    return info;
}

void ProbeText::Feed(QByteArrayView bytes)
{
    const qsizetype before = m_text.size();
    m_text += m_decoder.Decode(bytes);
    const qsizetype from = qMax<qsizetype>(0, before - kNoOutputComplaint.size());
    if (!m_complete && m_text.indexOf(kNoOutputComplaint, from) >= 0)
        m_complete = true;
}

void SetProbeTimeLimit(int milliseconds)
{
    g_timeLimitMs = milliseconds;
}

QString ValueAfterKey(const QString &text, const QString &key)
{
    const qsizetype p = text.indexOf(key);
    if (p < 0)
        return {};
    const qsizetype s = p + key.size() + 1;
    if (s >= text.size())
        return {};
    // The window is s + 100 characters long, not 100: a key further into the text
    // gets a wider window. Kept as the program has always read it.
    const QString window = text.mid(s, s + 100);
    const qsizetype cr = window.indexOf(u'\r');
    if (cr < 0)
        return {};
    return window.left(cr);
}

bool ParseProbeOutput(const QString &sourcePath, const QString &text, MediaInfo &info)
{
    Q_UNUSED(sourcePath);
    info.Clear();
    info.bitRate = ValueAfterKey(text, QStringLiteral("bitrate:"));

    const QString video = ValueAfterKey(text, QStringLiteral("Video:"));
    if (video.isEmpty())
        return false;
    QStringList fields;
    SplitString(video, fields, QStringLiteral(","), true);
    if (fields.size() < 3)
        return false;
    info.videoCodec = fields.at(0);
    // The codec field is tested too: "xvid" first looks like a size, and the real
    // size field after it overwrites it.
    for (const QString &field : fields) {
        if (field.contains(u'x'))
            info.videoSize = TrimLeft(field);
        if (field.contains(QStringLiteral("kb/s")))
            info.videoBitRate = TrimLeft(field);
        if (field.contains(QStringLiteral("tb")))
            info.frameRate = TrimLeft(field);
    }

    const QString audio = ValueAfterKey(text, QStringLiteral("Audio:"));
    SplitString(audio, fields, QStringLiteral(","), true);
    if (fields.size() < 3)
        return false;
    info.audioCodec = TrimLeft(fields.at(0));
    info.sampleRate = fields.at(1);
    info.channels = fields.at(2);
    if (fields.size() > 3)
        info.audioBitRate = fields.at(3);

    const QString d = ValueAfterKey(text, QStringLiteral("Duration:"));
    info.durationHours = LeadingInt(d.mid(0, 2));
    info.durationMinutes = LeadingInt(d.mid(3, 2));
    info.durationSeconds = float(LeadingDouble(d.mid(6, 4)));
    const float total = float((info.durationHours * 60 + info.durationMinutes) * 60) + info.durationSeconds;
    info.durationSecText = QString::asprintf("%0.1f", double(total));
    const qsizetype comma = d.indexOf(u',');
    info.durationText = comma >= 0 ? d.left(comma) : QString();
    return true;
}
