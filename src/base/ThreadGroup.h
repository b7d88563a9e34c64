#pragma once
#include <QObject>
#include <functional>
#include <list>
#include <thread>

// Threads a window starts and must outlive: each runs one function; when it has
// ended, the window's thread joins it. Joining (rather than Qt's own wait) lets
// the thread's last writes be seen, and seen to be seen by ThreadSanitizer.
class ThreadGroup : public QObject
{
    Q_OBJECT
public:
    using Id = unsigned;
    explicit ThreadGroup(QObject *parent = nullptr);
    ~ThreadGroup() override; // joins whatever still runs

    // Starts fn on a new thread; returns the thread's id in this group.
    Id Start(std::function<void()> fn);
    // The same, for a function that needs to know its own id.
    Id StartWithId(std::function<void(Id)> fn);
    int Running() const { return int(m_threads.size()); }
    bool IsRunning(Id id) const;
    // Serves events until every thread has ended and been joined.
    void WaitAll();

signals:
    void finished(ThreadGroup::Id id);

private:
    void Join(Id id);

    struct Entry
    {
        Id id;
        std::thread thread;
    };
    std::list<Entry> m_threads;
    Id m_nextId = 1;
};
