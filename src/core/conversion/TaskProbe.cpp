#include "core/conversion/TaskProbe.h"

#include "core/tasks/TaskRecord.h"
#include "core/conversion/MediaProbe.h"
#include "base/Numbers.h"

bool ProbeTaskSource(TaskRecord &task, bool keepWhenSilent)
{
    bool complete = false;
    std::unique_ptr<MediaInfo> info = ProbeMedia(task.sourcePath.str(), false, &complete);
    if (!info) {
        if (keepWhenSilent && task.mediaInfo)
            return false;
        info = std::make_unique<MediaInfo>();
    }
    SetTaskMediaInfo(task, std::move(info));
    return complete;
}

void SetTaskMediaInfo(TaskRecord &task, std::unique_ptr<MediaInfo> info)
{
    task.durationSec = int(LeadingDouble(info->durationSecText));
    task.mediaInfo = std::move(info);
}
