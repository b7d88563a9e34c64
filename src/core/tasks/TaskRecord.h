#pragma once
#include <cstdint>
#include <memory>

#include "core/conversion/MediaInfo.h"
#include "base/FixedText.h"
#include "core/profiles/ParamCell.h"

// One input file of the task list. Fields are read and written on the thread
// that owns the task list only; other threads hand their results to that thread
// and read copies taken there. Records are shared-owned, so a row deleted while
// another thread holds its record does not free it under that thread.
struct TaskRecord
{
    FixedText<1000> sourcePath;
    FixedText<1000> baseName;
    FixedText<1000> sourceFolder; // ends in "/"
    FixedText<1000> destFolder;
    FixedText<1000> outputPath;
    FixedText<1000> profileName;
    FixedText<1000> profileFile;
    FixedText<11> sourceExt; // lower case, without the dot
    FixedText<2001> profileSummary;
    std::int32_t trimLength = 0;
    std::int32_t durationSec = 0;
    std::unique_ptr<MediaInfo> mediaInfo; // null until probed
    FixedText<22> sizeText;
    std::int32_t aspectMode = 0;
    std::int32_t useGlobalOutput = 0; // 1: follows the main window's profile and destination
    std::int32_t trimStart = 0;
    std::int32_t trimStop = 0;
    std::unique_ptr<ParamCell> paramTree; // the task's own settings; null unless personal
};

using TaskPtr = std::shared_ptr<TaskRecord>;
