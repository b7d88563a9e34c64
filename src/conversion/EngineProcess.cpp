#include "conversion/EngineProcess.h"

#include <QByteArray>
#include <QFile>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <linux/close_range.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {


void CloseFd(int &fd)
{
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

// Runs in the child between fork and exec: system calls only, nothing that
// allocates or takes a lock.
void ApplyPriority(int priorityClass)
{
    switch (priorityClass) {
    case EngineProcess::High:
        setpriority(PRIO_PROCESS, 0, -5);
        break;
    case EngineProcess::RealTime:
        setpriority(PRIO_PROCESS, 0, -10);
        break;
    case EngineProcess::Idle: {
        sched_param param{};
        param.sched_priority = 0;
        sched_setscheduler(0, SCHED_IDLE, &param);
        break;
    }
    default:
        setpriority(PRIO_PROCESS, 0, 0);
        break;
    }
}

int DecodeStatus(int status)
{
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return -WTERMSIG(status);
    return -1;
}

} // namespace

EngineProcess::~EngineProcess()
{
    if (IsRunning()) {
        Kill();
        Wait();
    }
    CloseDescriptors();
}

void EngineProcess::CloseDescriptors()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    CloseFd(m_outputRead);
    CloseFd(m_inputWrite);
}

EngineProcess::StartResult EngineProcess::Start(const QString &program, const QStringList &arguments,
                                                int priorityClass)
{
    if (IsRunning()) {
        Kill();
        Wait();
    }
    CloseDescriptors();
    m_startError = 0;

    // Every descriptor is close-on-exec, so engines started at the same time from
    // other threads never hold each other's pipes open.
    int output[2], input[2], failure[2];
    if (pipe2(output, O_CLOEXEC) != 0)
        return StartResult::OutputPipeFailed;
    if (pipe2(input, O_CLOEXEC) != 0) {
        ::close(output[0]);
        ::close(output[1]);
        return StartResult::InputPipeFailed;
    }
    if (pipe2(failure, O_CLOEXEC) != 0) {
        for (int fd : {output[0], output[1], input[0], input[1]})
            ::close(fd);
        return StartResult::ProcessFailed;
    }

    // Everything the child needs is prepared before fork: it must not allocate.
    std::vector<QByteArray> storage;
    storage.reserve(size_t(arguments.size()) + 1);
    storage.push_back(QFile::encodeName(program));
    for (const QString &a : arguments)
        storage.push_back(a.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &b : storage)
        argv.push_back(b.data());
    argv.push_back(nullptr);

    const pid_t pid = fork();
    if (pid == 0) {
        ::dup2(input[0], STDIN_FILENO);
        ::dup2(output[1], STDOUT_FILENO);
        ::dup2(output[1], STDERR_FILENO);
        // Descriptors some other code opened without close-on-exec stay behind too.
        close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
        ApplyPriority(priorityClass);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        struct sigaction deflt = {};
        deflt.sa_handler = SIG_DFL;
        sigaction(SIGPIPE, &deflt, nullptr);
        execv(argv[0], argv.data());
        const int error = errno;
        [[maybe_unused]] ssize_t n = ::write(failure[1], &error, sizeof error);
        _exit(127);
    }

    ::close(output[1]);
    ::close(input[0]);
    ::close(failure[1]);
    if (pid < 0) {
        m_startError = errno;
        ::close(output[0]);
        ::close(input[1]);
        ::close(failure[0]);
        return StartResult::ProcessFailed;
    }
    // The failure pipe closes without data when exec succeeded.
    int error = 0;
    ssize_t n;
    do {
        n = ::read(failure[0], &error, sizeof error);
    } while (n < 0 && errno == EINTR);
    ::close(failure[0]);
    if (n > 0) {
        m_startError = error;
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        ::close(output[0]);
        ::close(input[1]);
        return StartResult::ProcessFailed;
    }

    std::lock_guard<std::mutex> lock(m_mutex);
    m_pid = pid;
    m_reaped = false;
    m_status = -1;
    m_outputRead = output[0];
    m_inputWrite = input[1];
    return StartResult::Started;
}

qint64 EngineProcess::Read(char *buffer, qint64 maxSize, int timeoutMs)
{
    int fd;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        fd = m_outputRead;
    }
    m_timedOut = false;
    if (fd < 0 || maxSize <= 0)
        return 0;
    if (timeoutMs >= 0) {
        pollfd p{fd, POLLIN, 0};
        int r;
        do {
            r = ::poll(&p, 1, timeoutMs);
        } while (r < 0 && errno == EINTR);
        if (r == 0) {
            m_timedOut = true;
            return 0;
        }
    }
    for (;;) {
        const ssize_t n = ::read(fd, buffer, size_t(maxSize));
        if (n < 0 && errno == EINTR)
            continue;
        return n > 0 ? qint64(n) : 0;
    }
}

void EngineProcess::Kill()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    // Until it is reaped the id stays ours, even after the program ended.
    if (m_pid > 0 && !m_reaped)
        ::kill(m_pid, SIGKILL);
}

int EngineProcess::Wait()
{
    pid_t pid;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_pid <= 0)
            return -1;
        if (m_reaped)
            return m_status;
        pid = m_pid;
    }
    // Wait without reaping and without the lock, so Kill stays possible meanwhile;
    // the reaping itself happens under the lock.
    siginfo_t info{};
    while (waitid(P_PID, id_t(pid), &info, WEXITED | WNOWAIT) < 0 && errno == EINTR) {
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_reaped) {
        int status = 0;
        pid_t r;
        do {
            r = waitpid(pid, &status, 0);
        } while (r < 0 && errno == EINTR);
        m_status = r == pid ? DecodeStatus(status) : -1;
        m_reaped = true;
    }
    return m_status;
}

std::optional<int> EngineProcess::WaitFor(int milliseconds)
{
    pid_t pid;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_pid <= 0 || m_reaped)
            return m_pid <= 0 ? -1 : m_status;
        pid = m_pid;
    }
    for (int waited = 0;; waited += 5) {
        siginfo_t info{};
        info.si_pid = 0;
        const int r = waitid(P_PID, id_t(pid), &info, WEXITED | WNOWAIT | WNOHANG);
        if (r == 0 && info.si_pid == pid)
            return Wait();
        if (r < 0 && errno != EINTR)
            return Wait();
        if (waited >= milliseconds)
            return std::nullopt;
        ::usleep(5000);
    }
}

void EngineProcess::Suspend(bool suspended)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_pid > 0 && !m_reaped)
        ::kill(m_pid, suspended ? SIGSTOP : SIGCONT);
}

pid_t EngineProcess::ProcessId() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_pid;
}

bool EngineProcess::IsRunning() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_pid > 0 && !m_reaped;
}


