#include "core/conversion/ProbePool.h"

#include <QThread>
#include <algorithm>

#include "core/settings/RunLog.h"
#include "core/tasks/TaskList.h"
#include "core/conversion/MediaProbe.h"
#include "base/OwnerThread.h"
#include "base/ThreadGroup.h"

ProbePool::ProbePool(TaskList &tasks, QObject *parent)
    : QObject(parent), m_tasks(tasks), m_threads(new ThreadGroup(this)), m_size(DefaultSize())
{
    connect(m_threads, &ThreadGroup::finished, this, [this] {
        if (m_threads->Running() == 0 && m_tasks.ProbeQueueSize() == 0)
            emit idle();
    });
}

ProbePool::~ProbePool()
{
    Close();
}

int ProbePool::DefaultSize()
{
    return std::clamp(QThread::idealThreadCount(), 1, 4);
}

void ProbePool::Start()
{
    if (m_closing)
        return;
    const int wanted = std::min(m_size, m_tasks.ProbeQueueSize() + m_threads->Running());
    while (m_threads->Running() < wanted)
        m_threads->Start([this] { Work(); });
}

int ProbePool::Running() const
{
    return m_threads->Running();
}

void ProbePool::WaitAll()
{
    m_threads->WaitAll();
}

void ProbePool::Close()
{
    m_closing = true;
    WaitAll();
}

void ProbePool::Work()
{
    while (!m_closing) {
        QString path;
        const int id = OnOwnerThread(&m_tasks, [&] {
            const int next = m_tasks.TakeNextProbe();
            if (const TaskPtr task = m_tasks.Find(next))
                path = task->sourcePath.str();
            return next;
        });
        if (id == 0)
            return;
        if (path.isEmpty()) {
            WriteLog(QStringLiteral("no find Error!"));
            continue;
        }
        std::unique_ptr<MediaInfo> info = ProbeMedia(path);
        if (!info)
            info = std::make_unique<MediaInfo>();
        OnOwnerThread(&m_tasks, [&] { m_tasks.SetMediaInfo(id, std::move(info)); });
    }
}
