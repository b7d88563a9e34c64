#include "headless/Headless.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSocketNotifier>
#include <QTimer>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <memory>
#include <mutex>
#include <unistd.h>

#include "BuildInfo.h"
#include "core/settings/AppSettings.h"
#include "core/settings/CommandLine.h"
#include "core/tasks/QueueState.h"
#include "core/tasks/TaskFile.h"
#include "core/tasks/TaskList.h"
#include "headless/CommandExport.h"
#include "headless/FolderWatch.h"
#include "core/conversion/BatchConverter.h"
#include "core/conversion/EngineLocation.h"
#include "core/conversion/EngineOutputParser.h"
#include "core/conversion/JobCount.h"
#include "base/OwnerThread.h"
#include "base/SplitString.h"
#include "base/UserMessage.h"
#include "core/profiles/CurrentProfile.h"
#include "core/profiles/ParamCell.h"
#include "core/profiles/ParamOptions.h"
#include "core/profiles/ProfileCatalogue.h"
#include "core/profiles/TargetCells.h"

namespace {

std::mutex g_printMutex;

void print(FILE *stream, const QString &text)
{
    std::lock_guard<std::mutex> lock(g_printMutex);
    std::fprintf(stream, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stream);
}

// Whether standard output goes to the systemd journal: the service manager names the
// stream it connected in JOURNAL_STREAM ("device:inode").
bool stdoutIsJournal()
{
    const QByteArray stream = qgetenv("JOURNAL_STREAM");
    struct stat st = {};
    if (stream.isEmpty() || ::fstat(STDOUT_FILENO, &st) != 0)
        return false;
    return stream == QByteArray::number(quint64(st.st_dev)) + ':' + QByteArray::number(quint64(st.st_ino));
}

// The run on the terminal: what a window shows in cells and the status line is
// printed; questions get the answer a user who asked for the conversion would give.
// A watched folder prints one line per file instead, each with the level the journal
// files it under when the journal reads the output.
class TerminalHost : public BatchHost
{
public:
    TerminalHost(TaskList &tasks, GlobalSelection global, int priority)
        : m_tasks(tasks), m_global(std::move(global)), m_priority(priority)
    {
    }

    void SetOneLinePerFile(bool oneLine)
    {
        m_oneLine = oneLine;
        m_journal = oneLine && stdoutIsJournal();
    }

    void TaskStarted(const TaskStartedEvent &event) override
    {
        if (!m_oneLine)
            print(stdout, event.StatusLine().trimmed());
    }
    void Progress(const ProgressEvent &event) override
    {
        if (!event.overall || m_oneLine)
            return;
        std::lock_guard<std::mutex> lock(m_mutex);
        if (*event.overall > 0 && *event.overall != m_lastOverall)
            print(stdout, event.remaining ? QStringLiteral("  %1%  ETA %2").arg(*event.overall).arg(RunClock::Format(*event.remaining))
                                          : QStringLiteral("  %1%").arg(*event.overall));
        m_lastOverall = *event.overall;
    }
    void TaskFinished(const TaskFinishedEvent &event) override
    {
        if (m_oneLine) {
            print(stdout, FileLine(event));
            return;
        }
        if (event.verdict == Verdict::Failed) {
            print(stderr, QStringLiteral("--- engine output ---"));
            print(stderr, event.Report().trimmed());
            print(stderr, QStringLiteral("---------------------"));
        }
        print(stdout, QStringLiteral("%1: %2").arg(RowName(event.id), VerdictText(event.verdict)));
        if (event.verdict == Verdict::Completed && !event.cause.isEmpty())
            print(stdout, QStringLiteral("  ") + event.cause.trimmed());
    }
    bool AskOkCancel(const QString &text) override
    {
        print(stderr, text.trimmed());
        print(stderr, QStringLiteral("  -> OK"));
        return true;
    }
    void ShowMessage(const QString &text) override { print(stderr, text.trimmed()); }
    GlobalSelection Global() override { return m_global; }
    int PriorityLevel() override { return m_priority; }

    // "<6>/in/a.mp4: Completed, "/out/a.mp4" in 0:00:03", or the failure and its cause.
    QString FileLine(const TaskFinishedEvent &event) const
    {
        QString line = QStringLiteral("%1: %2").arg(event.sourcePath, VerdictText(event.verdict));
        int level = 6; // informational
        if (event.verdict == Verdict::Completed) {
            line += QStringLiteral(", \"%1\" in %2").arg(event.outputPath, RunClock::Format(event.elapsed));
        } else if (event.verdict == Verdict::Failed) {
            level = 3; // error
            const QString why = event.cause.isEmpty() ? LastLine(event.Report()) : LastLine(event.cause);
            if (!why.isEmpty())
                line += QStringLiteral(": ") + why.trimmed();
        } else {
            level = 4; // warning
        }
        line.replace(u'\n', u' ').replace(u'\r', u' ');
        return m_journal ? QStringLiteral("<%1>").arg(level) + line : line;
    }

    QString RowName(int id)
    {
        return OnOwnerThread(&m_tasks, [&] {
            const TaskPtr task = m_tasks.Find(id);
            const QString name = task ? task->baseName.str() + u'.' + task->sourceExt.str() : QString();
            return QStringLiteral("[%1/%2] %3").arg(m_tasks.RowOf(id) + 1).arg(m_tasks.Count()).arg(name);
        });
    }

private:
    TaskList &m_tasks;
    const GlobalSelection m_global;
    const int m_priority;
    std::mutex m_mutex;
    int m_lastOverall = -1;
    bool m_oneLine = false;
    bool m_journal = false;
};

// SIGINT and SIGTERM end the run the way Stop Convert does; the handler only wakes the
// main thread, which does the rest.
int g_signalPipe[2] = {-1, -1};
std::atomic<int> g_signal{0};

void onSignal(int signal)
{
    g_signal = signal;
    const char byte = 1;
    [[maybe_unused]] ssize_t n = ::write(g_signalPipe[1], &byte, 1);
}

void installSignalHandlers()
{
    if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

// What every headless run starts from: the settings, the profile chosen and the task
// settings new rows get.
struct Session
{
    AppSettings settings;
    QString profileName;
    GlobalSelection global;
    NewTaskSettings newTasks;
};

// 0, or the exit status of a profile the catalogue does not hold.
int openSession(const CommandLine &commandLine, const QString &programPath, Session &session)
{
    AppSettings &settings = session.settings;
    settings.Load(programPath);
    SetEngineProgramFolder(settings.Folders().LibraryFolder());
    // Until the program has once been closed normally, it starts in English.
    if (!settings.IsLanguageKept())
        settings.SetLanguage(0);

    const QString catalogue = settings.Folders().DataFile(QStringLiteral("profile.ini"));
    const QStringList names = ReadProfileCatalogue(catalogue);
    if (commandLine.profile.isEmpty()) {
        session.profileName = names.value(DefaultProfileIndex(catalogue));
    } else if (names.contains(commandLine.profile)) {
        session.profileName = commandLine.profile;
    } else {
        QStringList listed;
        for (const QString &name : names)
            if (!name.isEmpty())
                listed << QStringLiteral("  ") + name;
        print(stderr, QStringLiteral("Unknown profile \"%1\". The profiles are:\n%2")
                          .arg(commandLine.profile, listed.join(u'\n')));
        return 2;
    }
    CurrentProfile profile(settings.Folders());
    profile.Select(session.profileName);
    const ProfileSnapshot snapshot = profile.Snapshot();

    GlobalSelection &global = session.global;
    global.profileName = session.profileName;
    global.globalDestination = settings.GetSavedPath();
    global.destination = commandLine.destination.isEmpty() ? global.globalDestination : commandLine.destination;
    global.aspectMode = snapshot.aspectMode;
    global.tree = snapshot.tree;
    session.newTasks = NewTaskSettings::For(profile, global.destination, settings.Folders());
    // Targets given on the command line go into this run's copy of the profile, nowhere else.
    const std::pair<const QString &, const QString &> targets[] = {{TargetCells::kLoudness, commandLine.loudness},
                                                                   {TargetCells::kSize, commandLine.targetSize},
                                                                   {TargetCells::kQuality, commandLine.targetSsim}};
    std::shared_ptr<ParamCell> tree;
    for (const auto &[cell, value] : targets) {
        if (value.isEmpty())
            continue;
        if (!tree)
            tree = snapshot.tree ? snapshot.tree->Clone() : ParamCell::MakeRoot();
        TargetCells::Set(*tree, cell, value);
    }
    if (tree) {
        global.tree = tree;
        session.newTasks.profileSummary = BuildProfileSummary(tree.get());
    }
    return 0;
}

// Adds the files and the rows of task files among them; returns how many were refused
// (missing, without an extension, given twice, a task file's unreadable lines).
int addInputs(TaskList &tasks, const QStringList &files, const Session &session)
{
    int refused = 0;
    for (const QString &file : files) {
        const QString path = file.trimmed();
        const bool isFile = QFileInfo(path).isFile();
        // A task file brings its rows, each with its own profile and output path.
        if (isFile && path.endsWith(QStringLiteral(".tsk"), Qt::CaseInsensitive)) {
            const TaskFileContents contents = ReadTaskFile(path);
            const QStringList problems = AddTaskFileRows(tasks, contents, session.settings.Folders());
            for (const QString &problem : problems)
                print(stderr, QStringLiteral("Skipped: %1").arg(problem));
            refused += int(problems.size());
            continue;
        }
        if (isFile && !tasks.Add({path}, session.newTasks, true).isEmpty())
            continue;
        ++refused;
        print(stderr, QStringLiteral("Skipped \"%1\": %2")
                          .arg(file, isFile ? QStringLiteral("not added (no extension, or given twice)")
                                            : QStringLiteral("no such file")));
    }
    return refused;
}

// Runs the converter, serving the run's calls to the task list meanwhile. The run
// probes the files itself, the later ones while the first convert.
void runServingList(BatchConverter &converter)
{
    RunServingEvents([&] { converter.Run(); });
}

// Converts what settles in the folder until a signal comes; 130 when a task was cut short.
int watchFolder(const QString &folder, TaskList &tasks, BatchConverter &converter, ConversionFlags &flags,
                QSocketNotifier &interrupt, const Session &session, int jobs)
{
    print(stdout, QStringLiteral("Watching \"%1\" with the profile \"%2\", %3 at once, until interrupted")
                      .arg(folder, session.profileName)
                      .arg(jobs));
    FolderWatch watch(folder);
    for (;;) {
        // Rows not converted yet, or cut short by an earlier end, and nothing else.
        tasks.SetAllSelected(false);
        for (int row = 0; row < tasks.Count(); ++row) {
            const Verdict verdict = tasks.State(tasks.IdAt(row)).verdict;
            tasks.SetSelected(row, row, verdict == Verdict::None || verdict == Verdict::Stopped);
        }
        if (tasks.SelectedCount() > 0 && g_signal == 0) {
            flags.selectedOnly = true;
            runServingList(converter);
        }
        // Never a file twice, and never an output taken for a new file.
        for (quint16 id : tasks.Ids()) {
            watch.Ignore(tasks.Find(id)->sourcePath.str());
            watch.Ignore(tasks.Find(id)->outputPath.str());
        }
        if (g_signal != 0)
            break;
        QEventLoop pause;
        QTimer::singleShot(500, &pause, &QEventLoop::quit);
        QObject::connect(&interrupt, &QSocketNotifier::activated, &pause, &QEventLoop::quit);
        pause.exec();
        if (g_signal != 0)
            break;
        tasks.Add(watch.Settled(QDateTime::currentMSecsSinceEpoch()), session.newTasks, true);
    }
    bool cut = false;
    for (quint16 id : tasks.Ids())
        cut = cut || tasks.State(id).verdict == Verdict::Stopped;
    print(stderr, cut ? QStringLiteral("Interrupted.") : QStringLiteral("Stopped watching."));
    return cut ? 130 : 0;
}

// The engine's default for exported commands: where the package installs it.
QString packagedEngine()
{
    return QStringLiteral(CORVANE_PACKAGE_LIBRARY "/") + EngineFileName();
}

int exportCommands(const CommandLine &commandLine, TaskList &tasks, TerminalHost &host, int refused)
{
    const QString relativeTo = commandLine.relativeTo.isEmpty() ? QString() : QFileInfo(commandLine.relativeTo).absoluteFilePath();
    if (!relativeTo.isEmpty() && !QFileInfo(relativeTo).isDir()) {
        print(stderr, QStringLiteral("corvane-studio: \"%1\" is not a folder").arg(commandLine.relativeTo));
        return 2;
    }
    const QString engine = commandLine.engine.isEmpty() ? packagedEngine() : commandLine.engine;
    QStringList lines;
    ConversionFlags flags;
    BatchConverter converter(tasks, host, flags, {QString(), 1, [&](const EngineCommand &command) {
        QString problem;
        const QString line = ExportLine(command, relativeTo, engine, &problem);
        if (line.isEmpty()) {
            print(stderr, QStringLiteral("Skipped \"%1\": %2").arg(command.SourcePath(), problem));
        } else {
            lines << line;
        }
    }});
    runServingList(converter);

    // Written whole or not at all: a half list would silently lose tasks.
    const bool toStdout = commandLine.exportTo == QStringLiteral("-");
    QSaveFile file(commandLine.exportTo);
    QByteArray bytes;
    for (const QString &line : std::as_const(lines))
        bytes += line.toUtf8() + '\n';
    if (toStdout) {
        std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stdout);
        std::fflush(stdout);
    } else if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        print(stderr, QStringLiteral("corvane-studio: cannot write \"%1\": %2").arg(commandLine.exportTo, file.errorString()));
        return 1;
    }
    print(toStdout ? stderr : stdout, QStringLiteral("%1 of %2 task(s) written to \"%3\".")
                                          .arg(lines.size())
                                          .arg(tasks.Count() + refused)
                                          .arg(commandLine.exportTo));
    return int(lines.size()) == tasks.Count() + refused ? 0 : 1;
}

// The program's verdict on an engine output made elsewhere.
int judgeLog(const CommandLine &commandLine)
{
    QFile log(commandLine.verdictLog);
    if (!log.open(QIODevice::ReadOnly)) {
        print(stderr, QStringLiteral("corvane-studio: cannot read \"%1\": %2").arg(commandLine.verdictLog, log.errorString()));
        return 2;
    }
    EngineOutputParser parser(0, 0, 0);
    while (!log.atEnd())
        parser.Feed(log.read(1 << 16));
    const EngineJudgement judgement = JudgeEngineRun(parser.SawGlobalHeaders(), commandLine.exitStatus);
    print(stdout, judgement.cause.isEmpty() ? VerdictText(judgement.verdict)
                                            : VerdictText(judgement.verdict) + QStringLiteral(": ") + judgement.cause);
    return judgement.verdict == Verdict::Completed ? 0 : 1;
}

} // namespace

int RunHeadless(const CommandLine &commandLine, const QString &programPath)
{
    if (!commandLine.errors.isEmpty()) {
        for (const QString &error : commandLine.errors)
            print(stderr, QStringLiteral("corvane-studio: %1").arg(error));
        std::fputs(CommandLineUsage().toLocal8Bit().constData(), stderr);
        return 2;
    }
    if (!commandLine.verdictLog.isEmpty())
        return judgeLog(commandLine);
    SetUserMessageHandler([](const QString &text) { print(stderr, text.trimmed()); });

    Session session;
    if (const int status = openSession(commandLine, programPath, session))
        return status;

    const QString watched = commandLine.watch.isEmpty() ? QString() : QFileInfo(commandLine.watch).absoluteFilePath();
    if (!commandLine.watch.isEmpty() && !QFileInfo(watched).isDir()) {
        print(stderr, QStringLiteral("corvane-studio: \"%1\" is not a folder to watch").arg(commandLine.watch));
        return 2;
    }

    TaskList tasks;
    // The kept list comes first, as it stood; it is kept up to date as this run goes. A
    // watched folder has a list of its own, which remembers every file it converted.
    std::unique_ptr<QueueKeeper> keeper;
    if (commandLine.resume || !watched.isEmpty()) {
        const AppFolders &folders = session.settings.Folders();
        const QString statePath = watched.isEmpty() ? QueueStatePath(folders) : WatchStatePath(folders, watched);
        for (const QString &problem : RestoreQueueState(tasks, statePath, watched.isEmpty()))
            print(stderr, QStringLiteral("Skipped: %1").arg(problem));
        keeper = std::make_unique<QueueKeeper>(tasks, statePath);
    }
    const int refused = addInputs(tasks, commandLine.files, session);
    if (tasks.Count() == 0 && watched.isEmpty()) {
        print(stderr, QStringLiteral("Nothing to convert."));
        return 1;
    }

    TerminalHost host(tasks, session.global, session.settings.GetPriorityLevel());
    if (!commandLine.exportTo.isEmpty())
        return exportCommands(commandLine, tasks, host, refused);

    ConversionFlags flags;
    installSignalHandlers();
    QSocketNotifier interrupt(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&interrupt, &QSocketNotifier::activated, &interrupt, [&] {
        char buffer[16];
        while (::read(g_signalPipe[0], buffer, sizeof buffer) > 0) {
        }
        flags.stopRequested = true;
        flags.engine.Kill();
    });
    const int jobs = JobCount::Resolve(commandLine.jobs, GetParamFromTree(session.global.tree.get()));
    BatchConverter converter(tasks, host, flags, {session.settings.GetRunMode(), jobs, {}, session.settings.IsDateKept()});
    if (!watched.isEmpty()) {
        host.SetOneLinePerFile(true);
        return watchFolder(watched, tasks, converter, flags, interrupt, session, jobs);
    }

    print(stdout, QStringLiteral("Converting %1 file(s) with the profile \"%2\", %3 at once")
                      .arg(tasks.Count())
                      .arg(session.profileName)
                      .arg(jobs));
    runServingList(converter);

    int completed = 0;
    for (int row = 0; row < tasks.Count(); ++row) {
        const int id = tasks.IdAt(row);
        const Verdict verdict = tasks.State(id).verdict;
        if (verdict == Verdict::Completed)
            ++completed;
        else if (verdict == Verdict::None)
            print(stdout, QStringLiteral("%1: not converted").arg(host.RowName(id)));
    }
    print(stdout, QStringLiteral("%1 of %2 file(s) converted.").arg(completed).arg(tasks.Count() + refused));
    if (g_signal != 0) {
        print(stderr, QStringLiteral("Interrupted."));
        return 130;
    }
    return (completed == tasks.Count() && refused == 0) ? 0 : 1;
}
