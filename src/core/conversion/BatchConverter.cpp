#include "core/conversion/BatchConverter.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTime>
#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>
#include <cmath>
#include <cstring>
#include <exception>
#include <thread>

#include "core/settings/AppFolders.h"
#include "core/settings/RunLog.h"
#include "core/conversion/EngineLocation.h"
#include "core/conversion/EngineOutputParser.h"
#include "core/conversion/EngineProcess.h"
#include "core/conversion/MediaProbe.h"
#include "core/conversion/OutputNaming.h"
#include "core/conversion/JobCount.h"
#include "core/conversion/TargetReport.h"
#include "base/Numbers.h"
#include "base/OwnerThread.h"
#include "base/SplitString.h"
#include "core/settings/Language.h"
#include "core/profiles/CurrentProfile.h"
#include "core/profiles/ParamOptions.h"
#include "core/profiles/ProfileCatalogue.h"

namespace {

// The run ends with this when the engine gave no description of a file at all.
constexpr const char *kNoFileInfo = "Error Reading File info,Converting Stoped!";
const QString kNoRun = QStringLiteral("PRINT_CMD_NO_RUN");
constexpr int kChunkSize = 2048;
// An engine whose output has ended normally exits at once; one that lingers is ended.
constexpr int kExitGraceMs = 2000;

// The language text with the one "%s" it holds filled in.
QString fillPlaceholder(const QString &format, const QString &value)
{
    QString text = format;
    const qsizetype at = text.indexOf(QStringLiteral("%s"));
    if (at >= 0)
        text.replace(at, 2, value);
    return text;
}

// Where the paces of earlier runs are kept; empty before the program knows its folders.
QString PacesPath()
{
    const QString folder = AppFolders::Current().StateFolder();
    return folder.isEmpty() ? QString() : folder + QStringLiteral("paces.json");
}

QString exitCause(int exitStatus, bool sawSuccess)
{
    if (exitStatus < 0)
        return QStringLiteral("The engine was ended by signal %1 (%2).")
            .arg(-exitStatus)
            .arg(QString::fromLocal8Bit(strsignal(-exitStatus)));
    if (sawSuccess)
        return QStringLiteral("The engine reported success but ended with exit status %1.").arg(exitStatus);
    if (exitStatus == 0)
        return QStringLiteral("The engine ended without finishing the output file.");
    return QStringLiteral("The engine ended with exit status %1.").arg(exitStatus);
}
// What the engine said about how it converted: its "Note:" lines but those on targets, said apart.
QString EngineNotes(const QString &output)
{
    QString notes;
    for (const QString &line : output.split(QRegularExpression(QStringLiteral("[\r\n]+")), Qt::SkipEmptyParts))
        if (line.startsWith(QStringLiteral("Note: ")) && TargetReport(line).isEmpty())
            notes += line + QStringLiteral("\r\n");
    return notes;
}

// The output takes the source's modification time, to the nanosecond; its access time stays.
void KeepDate(const QString &source, const QString &output)
{
    struct stat from;
    if (::stat(QFile::encodeName(source).constData(), &from) != 0)
        return;
    const timespec times[2] = {{0, UTIME_OMIT}, from.st_mtim};
    ::utimensat(AT_FDCWD, QFile::encodeName(output).constData(), times, 0);
}

// A profile's options with the task's trim range and its frame fitted by the aspect mode.
EngineOptions TaskOptions(const EngineOptions &profileOptions, const BatchTask &task, int aspectMode)
{
    const EngineOptions options = AppendTrimOptions(profileOptions, task.trimStart, task.trimStop);
    return ApplyAspectMode(options, task.videoSize, AspectModeFromValue(aspectMode));
}
} // namespace

EngineJudgement JudgeEngineRun(bool sawSuccess, int exitStatus, bool stopRequested)
{
    if (sawSuccess && exitStatus == 0)
        return {Verdict::Completed, {}};
    if (stopRequested)
        return {Verdict::Stopped, {}};
    return {Verdict::Failed, exitCause(exitStatus, sawSuccess)};
}

double BatchTask::Duration() const
{
    if (trimLength > 0)
        return trimLength;
    return LeadingDouble(durationSecText);
}

// A row as the run finds it: past the end, passed over, or a task to convert.
struct BatchConverter::Pick
{
    enum Kind { End, Skip, Task } kind = End;
    BatchTask task;
};

BatchConverter::BatchConverter(TaskList &tasks, BatchHost &host, ConversionFlags &flags, Environment environment)
    : m_tasks(tasks), m_host(host), m_flags(flags), m_env(std::move(environment))
{
}

BatchConverter::~BatchConverter()
{
    EndProbing();
}

template <typename F>
auto BatchConverter::OnList(F &&f)
{
    return OnOwnerThread(&m_tasks, std::forward<F>(f));
}

double BatchConverter::TotalSeconds() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_totalSeconds;
}

void BatchConverter::Run()
{
    // Of two runs started in quick succession only one goes ahead.
    if (m_flags.converting.exchange(true))
        return;
    m_flags.stopRequested = false;
    try {
        m_host.RunStarting();
        m_flags.clock.Start(m_env.jobs, RunClock::Load(PacesPath()));
        if (TotalsPass()) {
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_doneSeconds = 0;
                m_convertAgain = false;
                m_nextRow = 0;
                m_ended = false;
            }
            m_host.RunStarted(TotalSeconds());
            ConvertRows();
        }
        EndProbing();
        EndOfRun();
    } catch (const std::exception &) {
        EndProbing();
        m_host.ShowMessage(GetLangString(QStringLiteral("@10")));
        m_host.RunEnded();
        m_flags.converting = false;
    }
}

BatchConverter::Pick BatchConverter::PickRow(int row)
{
    const bool selectedOnly = m_flags.selectedOnly;
    return OnList([&] {
        Pick pick;
        if (row >= m_tasks.Count())
            return pick;
        pick.kind = Pick::Skip;
        if (selectedOnly && !m_tasks.IsSelected(row))
            return pick;
        const int id = m_tasks.IdAt(row);
        const TaskPtr record = m_tasks.Find(id);
        if (!record)
            return pick;
        pick.kind = Pick::Task;
        BatchTask &task = pick.task;
        task.id = id;
        task.sourcePath = record->sourcePath;
        task.outputPath = record->outputPath;
        task.useGlobalOutput = record->useGlobalOutput;
        task.aspectMode = record->aspectMode;
        task.trimStart = record->trimStart;
        task.trimStop = record->trimStop;
        task.trimLength = record->trimLength;
        task.hasMediaInfo = record->mediaInfo != nullptr;
        if (record->mediaInfo) {
            task.durationSecText = record->mediaInfo->durationSecText;
            task.videoSize = record->mediaInfo->videoSize;
        }
        task.verdict = m_tasks.State(id).verdict;
        task.profileName = record->profileName;
        if (record->paramTree)
            task.tree = SnapshotTree(record->paramTree.get());
        return pick;
    });
}

bool BatchConverter::TotalsPass()
{
    const QString globalProfile = m_host.Global().profileName;
    double total = 0;
    QList<BatchTask> unprobed;
    for (int row = 0;; ++row) {
        Pick pick = PickRow(row);
        if (pick.kind == Pick::End)
            break;
        if (pick.kind == Pick::Skip)
            continue;
        BatchTask &task = pick.task;
        if (!task.hasMediaInfo || task.durationSecText.isEmpty()) {
            unprobed << task;
            continue;
        }
        total += task.Duration();
        m_flags.clock.AddTask(task.id, task.HasOwnOutput() ? task.profileName : globalProfile, task.Duration(),
                              RunClock::Megapixels(task.videoSize));
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_totalSeconds = total;
        m_probes.clear();
        for (const BatchTask &task : std::as_const(unprobed))
            m_probes.insert(task.id, ProbeAnswer());
        m_unknownLengths = int(unprobed.size());
    }
    if (unprobed.isEmpty())
        return true;
    if (!ProbeTask(unprobed.takeFirst(), globalProfile, false)) {
        m_host.ShowMessage(QString::fromLatin1(kNoFileInfo));
        return false;
    }
    if (!unprobed.isEmpty()) {
        // One conversion seldom fills every core: the probes take what it leaves. With
        // more jobs the cores are full, and a probe held back only keeps a job waiting.
        m_prober = std::thread([this, unprobed, globalProfile] {
            for (int i = 0; i < unprobed.size() && !m_flags.stopRequested; ++i)
                ProbeTask(unprobed[i], globalProfile, m_env.jobs == 1);
        });
    }
    return true;
}

bool BatchConverter::ProbeTask(BatchTask task, const QString &globalProfile, bool beside)
{
    std::unique_ptr<MediaInfo> info = ProbeMedia(task.sourcePath, beside);
    ProbeAnswer answer;
    answer.done = true;
    answer.failed = !info;
    if (info) {
        task.durationSecText = answer.durationSecText = info->durationSecText;
        task.videoSize = answer.videoSize = info->videoSize;
        OnList([&] { m_tasks.SetMediaInfo(task.id, std::move(info)); });
        m_flags.clock.AddTask(task.id, task.HasOwnOutput() ? task.profileName : globalProfile, task.Duration(),
                              RunClock::Megapixels(task.videoSize));
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!answer.failed)
            m_totalSeconds += task.Duration();
        m_probes[task.id] = answer;
        --m_unknownLengths;
    }
    m_probed.notify_all();
    return !answer.failed;
}

bool BatchConverter::AwaitProbe(BatchTask &task)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    if (!m_probes.contains(task.id))
        return true;
    // Stop Convert does not know this wait: look at it now and then.
    while (!m_probes.value(task.id).done) {
        if (m_flags.stopRequested)
            return false;
        m_probed.wait_for(lock, std::chrono::milliseconds(50));
    }
    const ProbeAnswer answer = m_probes.value(task.id);
    lock.unlock();
    if (answer.failed) {
        m_host.ShowMessage(QString::fromLatin1(kNoFileInfo));
        return false;
    }
    task.hasMediaInfo = true;
    task.durationSecText = answer.durationSecText;
    task.videoSize = answer.videoSize;
    return true;
}

void BatchConverter::EndProbing()
{
    if (m_prober.joinable())
        m_prober.join();
}

bool BatchConverter::LengthsKnown() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_unknownLengths == 0;
}

void BatchConverter::ConvertRows()
{
    auto job = [this] {
        for (;;) {
            int row;
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                if (m_ended)
                    return;
                row = m_nextRow++;
            }
            const Pick pick = PickRow(row);
            RowOutcome outcome = RowOutcome::Next;
            if (pick.kind == Pick::End || m_flags.stopRequested)
                outcome = RowOutcome::EndRun;
            else if (pick.kind == Pick::Task)
                outcome = ConvertTask(pick.task);
            if (outcome == RowOutcome::EndRun) {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_ended = true;
                return;
            }
        }
    };
    std::vector<std::thread> others;
    for (int i = 1; i < m_env.jobs; ++i)
        others.emplace_back(job);
    job();
    for (std::thread &t : others)
        t.join();
}

BatchConverter::RowOutcome BatchConverter::ConvertTask(BatchTask task)
{
    if (!AwaitProbe(task))
        return RowOutcome::EndRun;
    const double d = task.Duration();
    if (task.verdict == Verdict::Completed) {
        std::lock_guard<std::mutex> asking(m_questionMutex);
        bool again;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            again = m_convertAgain;
        }
        if (!again) {
            if (!m_host.AskOkCancel(fillPlaceholder(GetLangString(QStringLiteral("@9")), task.sourcePath))) {
                m_flags.clock.DropTask(task.id);
                std::lock_guard<std::mutex> lock(m_mutex);
                m_totalSeconds -= d;
                return RowOutcome::Next;
            }
            std::lock_guard<std::mutex> lock(m_mutex);
            m_convertAgain = true;
        }
    }

    const GlobalSelection global = m_host.Global();
    QString outputPath;
    EngineOptions options;
    QString failedFolder;
    if (!ChooseOutput(task, global, &outputPath, &options, &failedFolder)) {
        // The user was told when the folder failed; the row says it too, and the run goes on.
        TaskFinishedEvent failed;
        failed.id = task.id;
        failed.verdict = Verdict::Failed;
        failed.sourcePath = task.sourcePath;
        failed.cause = QStringLiteral("The output folder \"%1\" cannot be made.").arg(failedFolder);
        failed.showReport = false;
        Finish(failed);
        return RowOutcome::Skip;
    }
    const int aspectMode = task.useGlobalOutput == 1 ? global.aspectMode : task.aspectMode;
    const EngineCommand command = BuildEngineCommand(EngineProgramPath(), TrimLeft(task.sourcePath),
                                                     TaskOptions(options, task, aspectMode), TrimLeft(outputPath));
    if (m_env.exportCommand) {
        m_env.exportCommand(command);
        m_flags.clock.DropTask(task.id);
        return RowOutcome::Next;
    }
    WriteLog(command.Text());
    if (m_env.runMode == kNoRun) {
        ReleaseOutputPath(outputPath);
        m_flags.clock.DropTask(task.id);
        return RowOutcome::Next;
    }
    const QString profileName = task.HasOwnOutput() ? task.profileName : global.profileName;
    m_flags.clock.TaskStarted(task.id, profileName);
    return RunEngineTask(task, command, d, profileName, aspectMode);
}

bool BatchConverter::ChooseOutput(const BatchTask &task, const GlobalSelection &global, QString *outputPath,
                                  EngineOptions *options, QString *failedFolder)
{
    if (task.HasOwnOutput()) {
        if (!QFileInfo::exists(global.globalDestination))
            EnsureFolderPath(global.globalDestination); // its outcome does not stop the task
        // A folder typed into the task's own output name is made as the destination would be.
        const QString ownFolder = SplitPath(task.outputPath).folder;
        if (!ownFolder.isEmpty() && !QFileInfo(ownFolder).isDir() && EnsureFolderPath(ownFolder).isEmpty()) {
            *failedFolder = ownFolder;
            return false;
        }
        *outputPath = ReserveOutputPath(task.outputPath);
        OnList([&] { m_tasks.SetOutput(task.id, *outputPath); });
        *options = GetParamFromTree(task.tree.get());
        return true;
    }
    // The task follows the window: its profile and destination as they are now.
    const QString targetType = GetTargetType(global.profileName);
    const QString folder = EnsureFolderPath(OutputFolderFor(global.destination, task.sourcePath));
    if (folder.isEmpty()) {
        *failedFolder = OutputFolderFor(global.destination, task.sourcePath);
        OnList([&] { m_tasks.SetOutput(task.id, task.outputPath, global.profileName); });
        return false;
    }
    const QString baseName = SplitPath(task.sourcePath).name;
    *outputPath = ReserveOutputPath(folder + (folder.endsWith(u'/') ? QString() : QStringLiteral("/")) + baseName +
                                    u'.' + targetType);
    OnList([&] { m_tasks.SetOutput(task.id, *outputPath, global.profileName); });
    *options = GetParamFromTree(global.tree.get());
    return true;
}

QString BatchConverter::ReserveOutputPath(const QString &path)
{
    // Parallel jobs must not pick the same free name before either has written it.
    std::lock_guard<std::mutex> lock(m_mutex);
    const QString unique =
        MakeUniqueOutputPath(path, [this](const QString &candidate) { return m_reserved.contains(candidate); });
    m_reserved.insert(unique);
    return unique;
}

void BatchConverter::ReleaseOutputPath(const QString &path)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_reserved.remove(path);
}

int BatchConverter::OverallPercent(int id, double taskSeconds)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_inFlight.insert(id, taskSeconds);
    // Until every length is known the share done would be too large.
    if (m_unknownLengths > 0)
        return -1;
    double seconds = m_doneSeconds;
    for (double s : std::as_const(m_inFlight))
        seconds += s;
    const double percent = std::trunc(seconds * 100.0 / m_totalSeconds);
    const int overall = std::isfinite(percent) ? int(std::clamp(percent, 0.0, 100.0)) : 0;
    if (overall == m_lastOverall)
        return -1;
    m_lastOverall = overall;
    return overall;
}

BatchConverter::RowOutcome BatchConverter::RunEngineTask(const BatchTask &task, const EngineCommand &command,
                                                         double duration, const QString &profileName, int aspectMode)
{
    TaskStartedEvent started;
    started.id = task.id;
    started.command = command;
    OnList([&] { m_tasks.SetRunning(task.id, QString(), 0); });
    m_host.TaskStarted(started);

    TaskFinishedEvent finished;
    if (!RunEngine(task, command, duration, finished)) {
        // Without an engine no later task can run either: the run ends here.
        Finish(finished);
        return RowOutcome::EndRun;
    }
    // A graphics card's encoder that fails hands the task to its software twin, once,
    // before any verdict is shown.
    const QString twin = finished.verdict == Verdict::Failed && !m_flags.stopRequested ? GetSoftwareTwin(profileName) : QString();
    if (!twin.isEmpty()) {
        const EngineCommand again(command.Program(), command.SourcePath(), TaskOptions(ProfileOptions(twin), task, aspectMode),
                                  command.OutputPath());
        WriteLog(again.Text());
        const QString why = LastLine(finished.engineOutput + finished.closingLines);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_inFlight.remove(task.id);
        }
        finished = TaskFinishedEvent();
        if (!RunEngine(task, again, duration, finished)) {
            Finish(finished);
            return RowOutcome::EndRun;
        }
        const QString note = QStringLiteral("The graphics card's encoder of \"%1\" failed (%2); the file was converted with "
                                            "\"%3\" instead.\r\n")
                                 .arg(profileName, why, twin);
        finished.cause = note + finished.cause;
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_doneSeconds += duration;
        m_inFlight.remove(task.id);
    }
    Finish(finished);
    return RowOutcome::Next;
}

bool BatchConverter::RunEngine(const BatchTask &task, const EngineCommand &command, double duration,
                               TaskFinishedEvent &finished)
{
    finished.id = task.id;
    finished.sourcePath = command.SourcePath();
    finished.outputPath = command.OutputPath();
    EngineProcess engine;
    if (!StartEngine(engine, command, finished))
        return false;
    double doneBefore;
    double total;
    bool lengthsKnown;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        doneBefore = m_doneSeconds;
        total = m_totalSeconds;
        lengthsKnown = m_unknownLengths == 0;
    }
    EngineOutputParser parser(duration, total, doneBefore);
    const bool overran = FollowProgress(engine, parser, task, duration, lengthsKnown);
    m_flags.engine.Remove(&engine);
    JudgeEngine(engine, parser, overran, duration, finished);
    return true;
}

bool BatchConverter::StartEngine(EngineProcess &engine, const EngineCommand &command, TaskFinishedEvent &finished)
{
    QStringList arguments = command.Arguments();
    if (const int threads = JobCount::ThreadsPerJob(m_env.jobs); threads > 0) {
        arguments.insert(1, QStringLiteral("-threads"));
        arguments.insert(2, QString::number(threads));
    }
    const EngineProcess::StartResult start = engine.Start(command.Program(), arguments, m_host.PriorityLevel());
    if (start != EngineProcess::StartResult::Started) {
        if (start == EngineProcess::StartResult::OutputPipeFailed)
            m_host.ShowMessage(QStringLiteral("Create   STDOUT   pipe   failed"));
        else if (start == EngineProcess::StartResult::InputPipeFailed)
            m_host.ShowMessage(QStringLiteral("Create   STDIN   pipe   failed"));
        finished.verdict = Verdict::Failed;
        finished.exitStatus = -1;
        finished.cause = QStringLiteral("The engine \"%1\" could not be started: %2.")
                             .arg(command.Program(), QString::fromLocal8Bit(strerror(engine.StartError())));
        return false;
    }
    m_flags.engine.Add(&engine);
    // Stop Convert may have come between the start and the engine being registered.
    if (m_flags.stopRequested)
        engine.Kill();
    return true;
}

bool BatchConverter::FollowProgress(EngineProcess &engine, EngineOutputParser &parser, const BatchTask &task,
                                    double duration, bool lengthsKnown)
{
    QString status;
    int percent = 0;
    char buffer[kChunkSize];
    qint64 n;
    bool overran = false;
    while ((n = engine.Read(buffer, kChunkSize)) > 0) {
        const EngineOutputParser::Display show = parser.Feed(QByteArray(buffer, int(n)));
        // An engine writing far more media time than its input holds would fill the disk.
        if (!overran && parser.ExceedsInput()) {
            overran = true;
            engine.Kill();
        }
        ProgressEvent progress;
        progress.id = task.id;
        if (show.seeking) {
            status = EngineOutputParser::kSeeking;
            progress.seeking = true;
            progress.statusLine = status;
            OnList([&] { m_tasks.SetRunning(task.id, status, percent); });
            m_host.Progress(progress);
            continue;
        }
        if (!show.statusLine && !show.overall)
            continue;
        if (show.rowPercent) {
            percent = std::clamp(*show.rowPercent, 0, 100);
            m_flags.clock.TaskProgress(task.id, duration * percent / 100.0);
        }
        if (lengthsKnown || LengthsKnown())
            progress.remaining = m_flags.clock.Remaining();
        progress.rowPercent = show.rowPercent;
        progress.statusLine = show.statusLine.value_or(QString());
        // The parser's overall share holds only when the total it was given was whole.
        if (m_env.jobs <= 1 && lengthsKnown) {
            progress.overall = show.overall;
        } else if (show.rowPercent) {
            const int overall = OverallPercent(task.id, duration * percent / 100.0);
            if (overall >= 0)
                progress.overall = overall;
        }
        OnList([&] { m_tasks.SetRunning(task.id, status, percent); });
        m_host.Progress(progress);
    }
    return overran;
}

void BatchConverter::JudgeEngine(EngineProcess &engine, const EngineOutputParser &parser, bool overran, double duration,
                                 TaskFinishedEvent &finished)
{
    std::optional<int> exit = engine.WaitFor(kExitGraceMs);
    if (!exit) {
        engine.Kill();
        exit = engine.Wait();
    }
    finished.exitStatus = *exit;
    finished.engineOutput = parser.HeaderText();
    finished.closingLines = parser.ClosingLines();
    if (overran) {
        finished.verdict = Verdict::Failed;
        finished.cause = QStringLiteral("The engine wrote far more time than the input holds (%1 s): the conversion was "
                                        "ended. The input may be damaged.")
                             .arg(duration);
        return;
    }
    const EngineJudgement judgement = JudgeEngineRun(parser.SawGlobalHeaders(), *exit, m_flags.stopRequested);
    finished.verdict = judgement.verdict;
    finished.cause = judgement.cause;
    // A completed task's report says what its targets reached, then what else the engine noted.
    if (finished.verdict == Verdict::Completed) {
        const QString reached = TargetReport(finished.closingLines);
        const QString notes = EngineNotes(finished.engineOutput + finished.closingLines);
        finished.cause = reached.isEmpty() || notes.isEmpty() ? reached + notes : reached + QStringLiteral("\r\n") + notes;
    }
}

void BatchConverter::Finish(TaskFinishedEvent &event)
{
    // A half-written file with a real name would pass for a result.
    if (event.verdict != Verdict::Completed && !event.outputPath.isEmpty() && QFileInfo::exists(event.outputPath))
        QFile::remove(event.outputPath);
    if (event.verdict == Verdict::Completed && m_env.keepDate)
        KeepDate(event.sourcePath, event.outputPath);
    event.elapsed = m_flags.clock.TaskFinished(event.id, event.verdict == Verdict::Completed);
    m_host.TaskFinished(event);
    // A completed task keeps what is worth knowing about how it was converted.
    const QString report = event.verdict == Verdict::Failed ? event.Report() : event.cause;
    OnList([&] { m_tasks.SetVerdict(event.id, event.verdict, report, event.elapsed); });
    ReleaseOutputPath(event.outputPath);
}

void BatchConverter::EndOfRun()
{
    // The next run's time left starts from the paces this one measured.
    if (const QString path = PacesPath(); !path.isEmpty())
        RunClock::Save(path, m_flags.clock.Remembered());
    // A run that ends while paused leaves nothing suspended for the next one.
    m_flags.SetPaused(false);
    m_host.RunEnded();
    m_flags.converting = false;
}
