#include "core/conversion/EngineProcess.h"

#include <QByteArray>
#include <QFile>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <poll.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
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

// Applied from here right after the start, so the child needs no code of its own
// between spawn and exec.
void ApplyPriority(pid_t pid, int priorityClass)
{
    if (priorityClass == EngineProcess::High) {
        setpriority(PRIO_PROCESS, id_t(pid), -5);
    } else if (priorityClass == EngineProcess::RealTime) {
        setpriority(PRIO_PROCESS, id_t(pid), -10);
    } else if (priorityClass == EngineProcess::Idle) {
        sched_param param{};
        param.sched_priority = 0;
        sched_setscheduler(pid, SCHED_IDLE, &param);
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
    int output[2], input[2];
    if (pipe2(output, O_CLOEXEC) != 0)
        return StartResult::OutputPipeFailed;
    if (pipe2(input, O_CLOEXEC) != 0) {
        ::close(output[0]);
        ::close(output[1]);
        return StartResult::InputPipeFailed;
    }

    std::vector<QByteArray> storage;
    storage.reserve(size_t(arguments.size()) + 1);
    storage.push_back(QFile::encodeName(program));
    for (const QString &a : arguments)
        storage.push_back(a.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &b : storage)
        argv.push_back(b.data());
    argv.push_back(nullptr);

    // posix_spawn shares the parent's memory until the exec (no copy of a large
    // program's page tables for every engine) and reports a failed exec by its result.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDERR_FILENO);
    // Descriptors some other code opened without close-on-exec stay behind too.
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGTERM);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    pid_t pid = -1;
    const int error = posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);

    ::close(output[1]);
    ::close(input[0]);
    if (error != 0) {
        m_startError = error;
        ::close(output[0]);
        ::close(input[1]);
        return StartResult::ProcessFailed;
    }
    // A raised priority needs a privilege; without it the engine quietly stays normal.
    ApplyPriority(pid, priorityClass);

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
    // A process descriptor becomes readable when the program ends: no polling delay.
    const int pidfd = int(::syscall(SYS_pidfd_open, pid, 0));
    if (pidfd >= 0) {
        pollfd p{pidfd, POLLIN, 0};
        int r;
        do {
            r = ::poll(&p, 1, milliseconds);
        } while (r < 0 && errno == EINTR);
        ::close(pidfd);
        if (r == 0)
            return std::nullopt;
        return Wait();
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


