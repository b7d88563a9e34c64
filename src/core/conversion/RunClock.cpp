#include "core/conversion/RunClock.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSaveFile>
#include <algorithm>
#include <cmath>

namespace {

// How far back the speed looks: long enough to ride over one slow scene, short enough
// to follow a new profile or a machine that got busy.
constexpr double kSpeedMemorySeconds = 30;

double steadySeconds()
{
    static QElapsedTimer timer = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return double(timer.nsecsElapsed()) / 1e9;
}

} // namespace

RunClock::RunClock(TimeSource now) : m_now(now ? std::move(now) : TimeSource(steadySeconds))
{
}

void RunClock::Start(int jobs)
{
    Start(jobs, Memory());
}

void RunClock::Start(int jobs, Memory remembered)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_jobs = std::max(1, jobs);
    m_startedAt = m_now();
    m_pausedAt = -1;
    m_pausedTotal = 0;
    m_tasks.clear();
    m_speeds.clear();
    m_remembered = std::move(remembered);
    m_startUp = std::max(0.0, m_remembered.startUp);
    m_startUpSamples = 0;
}

double RunClock::activeNow() const
{
    const double wall = m_pausedAt >= 0 ? m_pausedAt : m_now();
    return wall - m_startedAt - m_pausedTotal;
}

void RunClock::AddTask(int id, const QString &profile, double mediaSeconds, double megapixels)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Task &task = m_tasks[id];
    task = Task();
    task.profile = profile;
    task.scale = std::isfinite(megapixels) && megapixels > 0 ? megapixels : 1.0;
    task.media = std::isfinite(mediaSeconds) ? std::max(0.0, mediaSeconds) : 0.0;
}

void RunClock::DropTask(int id)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_tasks.remove(id);
}

void RunClock::TaskStarted(int id, const QString &profile)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Task &task = m_tasks[id];
    // A task follows the window's profile: the one it starts with is the one it runs.
    task.profile = profile;
    task.done = 0;
    task.startedAt = task.lastAt = activeNow();
}

void RunClock::measure(Task &task, double done, double now)
{
    done = std::clamp(done, task.done, std::max(task.done, task.media));
    const double dt = now - task.lastAt;
    if (dt <= 0)
        return;
    // The stretch up to the first progress line is mostly start-up, not pace.
    if (task.progressed) {
        const double rate = (done - task.done) * task.scale / dt;
        Speed &speed = m_speeds[task.profile];
        const double weight = std::min(kSpeedMemorySeconds, speed.weight + dt);
        speed.value += (rate - speed.value) * (dt / weight);
        speed.weight = weight;
    } else if (m_startUpSamples == 0) {
        m_startUp = now - task.startedAt; // an upper bound, until a task has ended
    }
    task.progressed = true;
    task.done = done;
    task.lastAt = now;
}

double RunClock::speedOf(const QString &profile, double fallback) const
{
    const auto speed = m_speeds.constFind(profile);
    if (speed != m_speeds.constEnd() && speed->value > 0)
        return speed->value;
    return m_remembered.paces.value(profile, fallback);
}

void RunClock::TaskProgress(int id, double mediaDone)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto it = m_tasks.find(id);
    if (it == m_tasks.end() || it->startedAt < 0 || m_pausedAt >= 0)
        return;
    measure(*it, mediaDone, activeNow());
}

double RunClock::TaskFinished(int id, bool completed)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto it = m_tasks.find(id);
    if (it == m_tasks.end() || it->startedAt < 0) {
        m_tasks.remove(id);
        return 0;
    }
    const double now = activeNow();
    const double took = now - it->startedAt;
    if (completed) {
        if (it->progressed)
            measure(*it, it->media, now);
        // A task too short for two progress lines still tells its profile's pace as a whole.
        Speed &speed = m_speeds[it->profile];
        if (speed.value <= 0 && took > 0 && it->media > 0)
            speed = {it->media * it->scale / took, std::min(kSpeedMemorySeconds, took)};
        // What the task took beyond its media at the measured pace is its start-up.
        const double pace = speed.value;
        const double startUp = pace > 0 ? std::clamp(took - it->media * it->scale / pace, 0.0, took) : took;
        m_startUpSamples = std::min(m_startUpSamples + 1, 8);
        m_startUp += (startUp - m_startUp) / m_startUpSamples;
    }
    m_tasks.erase(it);
    return took;
}

void RunClock::SetPaused(bool paused)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (paused && m_pausedAt < 0) {
        m_pausedAt = m_now();
    } else if (!paused && m_pausedAt >= 0) {
        m_pausedTotal += m_now() - m_pausedAt;
        m_pausedAt = -1;
    }
}

bool RunClock::IsPaused() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_pausedAt >= 0;
}

double RunClock::Elapsed() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return activeNow();
}

std::optional<double> RunClock::Remaining() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    // A profile neither measured nor remembered is assumed to run at the mean of those
    // that were measured, else of those remembered.
    double sum = 0;
    int known = 0;
    for (const Speed &s : m_speeds)
        if (s.value > 0) {
            sum += s.value;
            ++known;
        }
    if (known == 0)
        for (double pace : m_remembered.paces)
            if (pace > 0) {
                sum += pace;
                ++known;
            }
    if (known == 0)
        return std::nullopt;
    const double fallback = sum / known;
    const double now = activeNow();

    double work = 0;    // engine seconds still needed
    double longest = 0; // the one task no other job can share
    int unfinished = 0;
    for (const Task &task : m_tasks) {
        const double convert = (task.media - task.done) * task.scale / speedOf(task.profile, fallback);
        double left;
        if (task.startedAt < 0)
            left = m_startUp + convert;
        else if (!task.progressed)
            left = std::max(0.0, m_startUp - (now - task.startedAt)) + convert;
        else // time since the last progress line has already gone by
            left = std::max(0.0, convert - (now - task.lastAt));
        work += left;
        longest = std::max(longest, left);
        ++unfinished;
    }
    if (unfinished == 0)
        return 0.0;
    return std::max(longest, work / std::min(m_jobs, unfinished));
}

QString RunClock::Format(double seconds)
{
    if (!std::isfinite(seconds) || seconds < 0)
        return QStringLiteral("-:--:--");
    const qint64 s = qint64(std::llround(seconds));
    return QStringLiteral("%1:%2:%3")
        .arg(s / 3600)
        .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(s % 60, 2, 10, QLatin1Char('0'));
}

RunClock::Memory RunClock::Remembered() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Memory memory = m_remembered;
    for (auto it = m_speeds.constBegin(); it != m_speeds.constEnd(); ++it)
        if (it->value > 0)
            memory.paces.insert(it.key(), it->value);
    if (m_startUpSamples > 0)
        memory.startUp = m_startUp;
    return memory;
}

RunClock::Memory RunClock::Load(const QString &path)
{
    Memory memory;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > 1024 * 1024)
        return memory;
    const QJsonObject root = QJsonDocument::fromJson(file.readAll()).object();
    const QJsonObject paces = root.value(QStringLiteral("paces")).toObject();
    for (auto it = paces.constBegin(); it != paces.constEnd(); ++it)
        if (const double pace = it->toDouble(); std::isfinite(pace) && pace > 0)
            memory.paces.insert(it.key(), pace);
    const double startUp = root.value(QStringLiteral("startUp")).toDouble(-1);
    memory.startUp = std::isfinite(startUp) && startUp >= 0 ? std::min(startUp, 600.0) : -1;
    return memory;
}

bool RunClock::Save(const QString &path, const Memory &memory)
{
    QJsonObject paces;
    for (auto it = memory.paces.constBegin(); it != memory.paces.constEnd(); ++it)
        paces.insert(it.key(), it.value());
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly)
           && file.write(QJsonDocument(QJsonObject{{QStringLiteral("paces"), paces},
                                                   {QStringLiteral("startUp"), memory.startUp}})
                             .toJson()) >= 0
           && file.commit();
}

double RunClock::Megapixels(const QString &frameSize)
{
    static const QRegularExpression size(QStringLiteral("^\\s*(\\d{1,5})x(\\d{1,5})"));
    const QRegularExpressionMatch m = size.match(frameSize);
    return m.hasMatch() ? m.captured(1).toDouble() * m.captured(2).toDouble() / 1e6 : 0;
}
