#pragma once
#include <optional>

// A task's trim range in whole seconds: start (0 = from the beginning), stop
// (0 = to the end) and the length last stored (negative when only a start is set).
struct TrimRangeValues
{
    int trimStart = 0;
    int trimStop = 0;
    int trimLength = 0;

    bool operator==(const TrimRangeValues &) const = default;
};

// Checks the values of the StartTime and StopTime controls against a task of
// durationSec seconds and stores them into range. Returns the stored length, 0 when
// the range is empty (range left as it was), -1 when there is no task (range null).
// The controls are not changed whatever is stored.
int ApplyTrimRange(int startSeconds, int stopSeconds, int durationSec, TrimRangeValues *range);

// The same on any task record with trimStart, trimStop, trimLength and durationSec.
template <class Task>
int ApplyTrimRangeToTask(int startSeconds, int stopSeconds, Task *task)
{
    if (!task)
        return -1;
    TrimRangeValues range{task->trimStart, task->trimStop, task->trimLength};
    const int result = ApplyTrimRange(startSeconds, stopSeconds, task->durationSec, &range);
    task->trimStart = range.trimStart;
    task->trimStop = range.trimStop;
    task->trimLength = range.trimLength;
    return result;
}

// What StartTime and StopTime show when a task becomes current; no value means
// the control keeps what it shows.
struct TrimRangeDisplay
{
    std::optional<int> start;
    std::optional<int> stop;
};

TrimRangeDisplay ShowTrimRange(const TrimRangeValues &range, int durationSec);
