#pragma once
#include <QHash>
#include <QList>
#include <QMutex>
#include <cstdint>
#include <memory>
#include <vector>

#include "conversion/MediaInfo.h"
#include "core/FixedText.h"
#include "profiles/ParamCell.h"

// One input file of the task list. Fields are read and written on the
// user-interface thread only; other threads hand their results to that thread
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

// The task map keyed by the 16-bit task id, the id counter and the queue of ids
// still to be probed. One mutex guards map, counter and queue on every side.
class TaskStore
{
public:
    // Enters a record under the next id (ids start at 1 and are never reused);
    // queued ids wait for the media probe. 0 when all 65535 ids are used up.
    quint16 Insert(TaskPtr record, bool queueForProbe);
    TaskPtr Find(int id) const;
    bool Contains(int id) const;
    // Removes the id; the record lives on while somebody still holds it.
    TaskPtr Remove(int id);
    // Empties the map and the queue.
    void Clear();

    int NextTaskId() const;
    int Count() const;
    // True when a record with exactly this source path exists (letter case counts).
    bool HasSourcePath(const QString &path) const;

    // The ids queued for the probe, taken out of the queue.
    QList<quint16> TakeProbeQueue();
    int ProbeQueueSize() const;

private:
    mutable QMutex m_mutex;
    QHash<quint16, TaskPtr> m_map;
    quint16 m_nextTaskId = 0;
    QList<quint16> m_probeQueue;
};
