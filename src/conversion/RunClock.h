#pragma once
#include <QHash>
#include <QString>
#include <functional>
#include <mutex>
#include <optional>

// The time of a conversion run: how long each task took, and how long the rest will
// take. The clock stops while the run is paused. A task takes a fixed start-up (the
// engine opening its files, measured on the tasks that ended) plus its media seconds
// over the speed measured for its profile (media seconds per second of wall time, per
// engine, weighted towards the last half minute so that it follows a change of pace);
// the work is spread over the parallel jobs. Safe to call from any thread.
class RunClock
{
public:
    using TimeSource = std::function<double()>; // seconds of a monotonic clock

    explicit RunClock(TimeSource now = {});

    // A new run with this many engines at once; forgets the last run's tasks and pauses,
    // keeps nothing of its speeds either (a run may use other profiles and other files).
    void Start(int jobs);
    void AddTask(int id, const QString &profile, double mediaSeconds);
    void DropTask(int id); // a task the run will not convert after all
    void TaskStarted(int id, const QString &profile);
    // The media seconds of a task converted so far.
    void TaskProgress(int id, double mediaDone);
    // Ends a task; returns the seconds it ran, pauses left out. Only a completed task
    // tells the speed of its last stretch.
    double TaskFinished(int id, bool completed);

    void SetPaused(bool paused);
    bool IsPaused() const;
    // Seconds since Start, pauses left out.
    double Elapsed() const;
    // Seconds until the last task ends; none until some speed has been measured.
    std::optional<double> Remaining() const;

    // "h:mm:ss", negative and unknown times as "-:--:--".
    static QString Format(double seconds);

private:
    struct Task
    {
        QString profile;
        double media = 0;
        double done = 0;
        double startedAt = -1; // run time; -1 until it starts
        double lastAt = 0;     // run time of the last measurement
        bool progressed = false;
    };
    struct Speed
    {
        double value = 0; // media seconds per second
        double weight = 0; // seconds of measurement behind it, capped
    };
    double activeNow() const; // run time without pauses; m_mutex held
    void measure(Task &task, double done, double now);
    double speedOf(const QString &profile, double fallback) const;

    TimeSource m_now;
    mutable std::mutex m_mutex;
    int m_jobs = 1;
    double m_startedAt = 0;
    double m_pausedAt = -1;  // wall time the pause began; -1 when running
    double m_pausedTotal = 0;
    QHash<int, Task> m_tasks; // unfinished tasks
    QHash<QString, Speed> m_speeds;
    double m_startUp = 0;  // seconds a task spends before it converts
    int m_startUpSamples = 0;
};
