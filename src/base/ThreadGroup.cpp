#include "base/ThreadGroup.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>

ThreadGroup::ThreadGroup(QObject *parent) : QObject(parent) {}

ThreadGroup::~ThreadGroup()
{
    for (Entry &e : m_threads)
        if (e.thread.joinable())
            e.thread.join();
}

ThreadGroup::Id ThreadGroup::Start(std::function<void()> fn)
{
    return StartWithId([fn = std::move(fn)](Id) { fn(); });
}

ThreadGroup::Id ThreadGroup::StartWithId(std::function<void(Id)> fn)
{
    const Id id = m_nextId++;
    m_threads.push_back({id, std::thread([this, id, fn = std::move(fn)] {
                             fn(id);
                             // The join happens on the owner's thread once this one is done.
                             QMetaObject::invokeMethod(this, [this, id] { Join(id); }, Qt::QueuedConnection);
                         })});
    return id;
}

bool ThreadGroup::IsRunning(Id id) const
{
    for (const Entry &e : m_threads)
        if (e.id == id)
            return true;
    return false;
}

void ThreadGroup::Join(Id id)
{
    for (auto it = m_threads.begin(); it != m_threads.end(); ++it) {
        if (it->id != id)
            continue;
        it->thread.join();
        m_threads.erase(it);
        emit finished(id);
        return;
    }
}

void ThreadGroup::WaitAll()
{
    while (!m_threads.empty())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}
