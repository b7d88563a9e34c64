#include "headless/Headless.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QEventLoop>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimer>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <unistd.h>

#include "app/AppSettings.h"
#include "app/CommandLine.h"
#include "app/QueueState.h"
#include "headless/FolderWatch.h"
#include "app/TaskFile.h"
#include "app/TaskList.h"
#include "conversion/BatchConversion.h"
#include "conversion/EngineLocation.h"
#include "conversion/ProbePool.h"
#include "core/OwnerThread.h"
#include "core/UserMessage.h"
#include "profiles/CurrentProfile.h"
#include "profiles/ProfileCatalogue.h"

namespace {

std::mutex g_printMutex;

void print(FILE *stream, const QString &text)
{
    std::lock_guard<std::mutex> lock(g_printMutex);
    std::fprintf(stream, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stream);
}

// The run on the terminal: what a window shows in cells and the status line is
// printed; questions get the answer a user who asked for the conversion would give.
class TerminalHost : public BatchHost
{
public:
    TerminalHost(TaskList &tasks, GlobalSelection global, int priority)
        : m_tasks(tasks), m_global(std::move(global)), m_priority(priority)
    {
    }

    void TaskStarted(const TaskStartedEvent &event) override { print(stdout, event.StatusLine().trimmed()); }
    void Progress(const ProgressEvent &event) override
    {
        if (!event.overall)
            return;
        std::lock_guard<std::mutex> lock(m_mutex);
        if (*event.overall > 0 && *event.overall != m_lastOverall)
            print(stdout, event.remaining ? QStringLiteral("  %1%  ETA %2").arg(*event.overall).arg(RunClock::Format(*event.remaining))
                                          : QStringLiteral("  %1%").arg(*event.overall));
        m_lastOverall = *event.overall;
    }
    void TaskFinished(const TaskFinishedEvent &event) override
    {
        if (event.verdict == Verdict::Failed) {
            print(stderr, QStringLiteral("--- engine output ---"));
            print(stderr, event.Report().trimmed());
            print(stderr, QStringLiteral("---------------------"));
        }
        print(stdout, QStringLiteral("%1: %2").arg(RowName(event.id), VerdictText(event.verdict)));
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

} // namespace

int RunHeadless(const CommandLine &commandLine, const QString &programPath)
{
    if (!commandLine.errors.isEmpty()) {
        for (const QString &error : commandLine.errors)
            print(stderr, QStringLiteral("corvane-studio: %1").arg(error));
        std::fputs(CommandLineUsage().toLocal8Bit().constData(), stderr);
        return 2;
    }
    SetUserMessageHandler([](const QString &text) { print(stderr, text.trimmed()); });

    AppSettings settings;
    settings.Load(programPath);
    SetEngineProgramFolder(settings.Folders().LibraryFolder());
    // Until the program has once been closed normally, it starts in English.
    if (!settings.IsLanguageKept())
        settings.SetLanguage(0);

    const QString catalogue = settings.Folders().DataFile(QStringLiteral("profile.ini"));
    const QStringList names = ReadProfileCatalogue(catalogue);
    QString profileName;
    if (commandLine.profile.isEmpty()) {
        const int index = DefaultProfileIndex(catalogue);
        profileName = names.value(index);
    } else if (names.contains(commandLine.profile)) {
        profileName = commandLine.profile;
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
    profile.Select(profileName);
    const ProfileSnapshot snapshot = profile.Snapshot();

    GlobalSelection global;
    global.profileName = profileName;
    global.globalDestination = settings.GetSavedPath();
    global.destination = commandLine.destination.isEmpty() ? global.globalDestination : commandLine.destination;
    global.aspectMode = snapshot.aspectMode;
    global.tree = snapshot.tree;

    const NewTaskSettings newTasks = NewTaskSettings::For(profile, global.destination, settings.Folders());

    const QString watchFolder = commandLine.watch.isEmpty() ? QString() : QFileInfo(commandLine.watch).absoluteFilePath();
    if (!commandLine.watch.isEmpty() && !QFileInfo(watchFolder).isDir()) {
        print(stderr, QStringLiteral("corvane-studio: \"%1\" is not a folder to watch").arg(commandLine.watch));
        return 2;
    }

    // Files the list refuses (missing, without an extension, given twice) count as not converted.
    TaskList tasks;
    int refused = 0;
    // The kept list comes first, as it stood; it is kept up to date as this run goes. A
    // watched folder has a list of its own, which remembers every file it converted.
    std::unique_ptr<QueueKeeper> keeper;
    if (commandLine.resume || !watchFolder.isEmpty()) {
        const QString statePath =
            watchFolder.isEmpty() ? QueueStatePath(settings.Folders()) : WatchStatePath(settings.Folders(), watchFolder);
        for (const QString &problem : RestoreQueueState(tasks, statePath, watchFolder.isEmpty()))
            print(stderr, QStringLiteral("Skipped: %1").arg(problem));
        keeper = std::make_unique<QueueKeeper>(tasks, statePath);
    }
    for (const QString &file : commandLine.files) {
        const QString path = file.trimmed();
        const bool isFile = QFileInfo(path).isFile();
        // A task file brings its rows, each with its own profile and output path.
        if (isFile && path.endsWith(QStringLiteral(".tsk"), Qt::CaseInsensitive)) {
            const TaskFileContents contents = ReadTaskFile(path);
            const QStringList problems = AddTaskFileRows(tasks, contents, settings.Folders());
            for (const QString &problem : problems)
                print(stderr, QStringLiteral("Skipped: %1").arg(problem));
            refused += int(problems.size());
            continue;
        }
        if (isFile && !tasks.Add({path}, newTasks, true).isEmpty())
            continue;
        ++refused;
        print(stderr, QStringLiteral("Skipped \"%1\": %2")
                          .arg(file, isFile ? QStringLiteral("not added (no extension, or given twice)")
                                            : QStringLiteral("no such file")));
    }
    if (tasks.Count() == 0 && watchFolder.isEmpty()) {
        print(stderr, QStringLiteral("Nothing to convert."));
        return 1;
    }

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

    TerminalHost host(tasks, global, settings.GetPriorityLevel());
    BatchConverter converter(tasks, host, flags,
                             {settings.GetRunMode(), std::max(1, commandLine.jobs)});
    auto convert = [&] {
        {
            // The files are described a few at a time before the run adds up their durations.
            ProbePool probes(tasks);
            probes.Start();
            probes.WaitAll();
        }
        // The run's threads reach the task list through this thread, which serves them meanwhile.
        RunServingEvents([&] { converter.Run(); });
    };

    if (!watchFolder.isEmpty()) {
        print(stdout, QStringLiteral("Watching \"%1\" with the profile \"%2\" until interrupted")
                          .arg(watchFolder, profileName));
        FolderWatch watch(watchFolder);
        for (;;) {
            // Rows not converted yet, or cut short by an earlier end, and nothing else.
            tasks.SetAllSelected(false);
            for (int row = 0; row < tasks.Count(); ++row) {
                const Verdict verdict = tasks.State(tasks.IdAt(row)).verdict;
                tasks.SetSelected(row, row, verdict == Verdict::None || verdict == Verdict::Stopped);
            }
            if (tasks.SelectedCount() > 0 && g_signal == 0) {
                flags.selectedOnly = true;
                convert();
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
            tasks.Add(watch.Settled(QDateTime::currentMSecsSinceEpoch()), newTasks, true);
        }
        bool cut = false;
        for (quint16 id : tasks.Ids())
            cut = cut || tasks.State(id).verdict == Verdict::Stopped;
        print(stderr, cut ? QStringLiteral("Interrupted.") : QStringLiteral("Stopped watching."));
        return cut ? 130 : 0;
    }

    print(stdout, QStringLiteral("Converting %1 file(s) with the profile \"%2\"").arg(tasks.Count()).arg(profileName));
    convert();

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
