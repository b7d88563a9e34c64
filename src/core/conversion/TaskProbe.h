#pragma once

#include <memory>

struct MediaInfo;
struct TaskRecord;

// Probes a task's source with the engine ("-i ") on the calling thread and gives the task
// a new media information block and duration. With keepWhenSilent, an engine that printed
// nothing at all (it could not be run) leaves an existing block as it was; a task without
// a block still gets an empty one. True when the probe text held a complete description.
bool ProbeTaskSource(TaskRecord &task, bool keepWhenSilent = false);

// Gives a task a probe's result: the block replaces (and frees) the old one, and the
// duration in whole seconds follows it.
void SetTaskMediaInfo(TaskRecord &task, std::unique_ptr<MediaInfo> info);
