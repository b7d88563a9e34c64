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
// the work is spread over the parallel jobs. A task's media seconds count by its
// picture size, so a pace measured on small clips holds for large ones. Paces a
// profile showed in earlier runs stand in until this run measures its own. Safe to
// call from any thread.
class RunClock
{
public:
    using TimeSource = std::function<double()>; // seconds of a monotonic clock

    explicit RunClock(TimeSource now = {});

    // What earlier runs measured: the pace of each profile and a task's start-up.
    struct Memory
    {
        QHash<QString, double> paces; // media seconds of a 1-megapixel picture per second
        double startUp = -1;          // seconds; negative: none measured
    };

    // A new run with this many engines at once; forgets the last run's tasks, pauses and
    // speeds, and starts from what earlier runs remembered.
    void Start(int jobs, Memory remembered);
    void Start(int jobs); // with nothing remembered
    // megapixels: of the task's picture; 0 when unknown (counted as one megapixel).
    void AddTask(int id, const QString &profile, double mediaSeconds, double megapixels = 0);
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

    // What this run measured over what it was given, for the next run.
    Memory Remembered() const;

    // "h:mm:ss", negative and unknown times as "-:--:--".
    static QString Format(double seconds);
    // The memory kept in a file between runs; empty when there is none or it is not ours.
    static Memory Load(const QString &path);
    static bool Save(const QString &path, const Memory &memory);
    // The megapixels of a probed frame size ("1920x1080 [SAR 1:1 DAR 16:9]"); 0 when unreadable.
    static double Megapixels(const QString &frameSize);

private:
    struct Task
    {
        QString profile;
        double scale = 1; // megapixels
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
    Memory m_remembered;
    double m_startUp = 0;  // seconds a task spends before it converts
    int m_startUpSamples = 0;
};
