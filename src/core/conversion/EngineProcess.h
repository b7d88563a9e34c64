#pragma once
#include <QString>
#include <QStringList>

#include <functional>
#include <mutex>
#include <optional>
#include <sys/types.h>

// A child program started from an argument vector (never through a shell) whose
// standard output and standard error flow into one pipe, and whose standard input
// is a pipe nothing is written to. Reads block; Kill may be called from another
// thread while a read blocks.
class EngineProcess
{
public:
    enum class StartResult { Started, OutputPipeFailed, InputPipeFailed, ProcessFailed };
    // Priority classes of the settings: 0 normal (nice 0), 1 high (nice -5),
    // 2 real time (nice -10), 3 idle (SCHED_IDLE); any other value is normal.
    // Raising the priority without the privilege to do so quietly leaves it normal.
    enum Priority { Normal = 0, High = 1, RealTime = 2, Idle = 3 };

    EngineProcess() = default;
    ~EngineProcess(); // a child still running is killed and reaped
    EngineProcess(const EngineProcess &) = delete;
    EngineProcess &operator=(const EngineProcess &) = delete;

    StartResult Start(const QString &program, const QStringList &arguments, int priorityClass = Normal);

    // Up to maxSize bytes of output; blocks until some arrive. Returns the number
    // read, or 0 once the program has ended and its output is exhausted, or 0 when
    // timeoutMs (if not negative) passed without output (TimedOut() then tells).
    qint64 Read(char *buffer, qint64 maxSize, int timeoutMs = -1);
    bool TimedOut() const { return m_timedOut; }

    // Ends the program at once. Safe from any thread, and harmless once the
    // program has been reaped (its process id may belong to another by then).
    void Kill();

    // Waits for the program to end and reaps it. Returns its exit code, or
    // minus the signal number that ended it, or -1 if none was started.
    int Wait();
    // The same, giving up after milliseconds while the program still runs.
    std::optional<int> WaitFor(int milliseconds);
    // Stops the program where it is, or lets a stopped one go on.
    void Suspend(bool suspended);

    // Why the last Start failed to run the program (an errno value), 0 otherwise.
    int StartError() const { return m_startError; }

    pid_t ProcessId() const;
    bool IsRunning() const;

private:
    void CloseDescriptors();

    mutable std::mutex m_mutex;
    pid_t m_pid = -1;
    bool m_reaped = true;
    int m_status = -1;
    int m_outputRead = -1;
    int m_inputWrite = -1;
    int m_startError = 0;
    bool m_timedOut = false;
};

