#pragma once
#include <QObject>
#include <atomic>

class TaskList;
class ThreadGroup;

// The media probes of newly listed tasks, a few at a time: one thread per core, at
// most four engines at once, taking the queued tasks in list order. Each task gets
// its media information as its answer arrives, on the task list's thread, which
// never waits for a probe.
class ProbePool : public QObject
{
    Q_OBJECT
public:
    explicit ProbePool(TaskList &tasks, QObject *parent = nullptr);
    ~ProbePool() override;

    // Starts threads while there are queued tasks and room for them.
    void Start();
    int Running() const;
    // Serves events until every probe thread has ended.
    void WaitAll();
    // No probe starts from now on; running threads end after their current file.
    void Close();

    static int DefaultSize();

signals:
    // The queue is empty and the last thread has ended.
    void idle();

private:
    void Work();

    TaskList &m_tasks;
    ThreadGroup *m_threads;
    const int m_size;
    std::atomic<bool> m_closing{false};
};
