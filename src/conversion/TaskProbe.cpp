#include "conversion/TaskProbe.h"

#include "app/TaskRecord.h"
#include "conversion/MediaProbe.h"
#include "core/Numbers.h"

bool ProbeTaskSource(TaskRecord &task, bool keepWhenSilent)
{
    const QString source = task.sourcePath.str();
    const QString text = RunProbe(source, QStringLiteral("-i "));
    if (text.isEmpty() && keepWhenSilent && task.mediaInfo)
        return false;
    auto info = std::make_unique<MediaInfo>();
    const bool complete = ParseProbeOutput(source, text, *info);
    SetTaskMediaInfo(task, std::move(info));
    return complete;
}

void SetTaskMediaInfo(TaskRecord &task, std::unique_ptr<MediaInfo> info)
{
    task.durationSec = int(LeadingDouble(info->durationSecText));
    task.mediaInfo = std::move(info);
}
