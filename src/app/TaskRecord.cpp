#include "app/TaskRecord.h"

quint16 TaskStore::Insert(TaskPtr record, bool queueForProbe)
{
    QMutexLocker lock(&m_mutex);
    if (m_nextTaskId == 0xFFFF)
        return 0; // the 16-bit key has no id left in this run
    const quint16 id = ++m_nextTaskId;
    m_map.insert(id, std::move(record));
    if (queueForProbe)
        m_probeQueue.append(id);
    return id;
}

TaskPtr TaskStore::Find(int id) const
{
    if (id <= 0 || id > 0xFFFF)
        return nullptr;
    QMutexLocker lock(&m_mutex);
    return m_map.value(quint16(id));
}

bool TaskStore::Contains(int id) const
{
    return Find(id) != nullptr;
}

TaskPtr TaskStore::Remove(int id)
{
    if (id <= 0 || id > 0xFFFF)
        return nullptr;
    QMutexLocker lock(&m_mutex);
    return m_map.take(quint16(id));
}

void TaskStore::Clear()
{
    QHash<quint16, TaskPtr> old;
    {
        QMutexLocker lock(&m_mutex);
        old.swap(m_map);
        m_probeQueue.clear();
    }
    // Records are released outside the lock.
}

int TaskStore::NextTaskId() const
{
    QMutexLocker lock(&m_mutex);
    return m_nextTaskId;
}

int TaskStore::Count() const
{
    QMutexLocker lock(&m_mutex);
    return int(m_map.size());
}

bool TaskStore::HasSourcePath(const QString &path) const
{
    QMutexLocker lock(&m_mutex);
    for (const TaskPtr &task : m_map)
        if (task->sourcePath.str() == path)
            return true;
    return false;
}

QList<quint16> TaskStore::TakeProbeQueue()
{
    QMutexLocker lock(&m_mutex);
    QList<quint16> ids;
    ids.swap(m_probeQueue);
    return ids;
}

int TaskStore::ProbeQueueSize() const
{
    QMutexLocker lock(&m_mutex);
    return int(m_probeQueue.size());
}
