#pragma once
#include <QSet>
#include <QString>
#include <QtGlobal>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "core/tasks/TaskList.h"
#include "core/conversion/BatchEvents.h"
#include "core/conversion/ConversionFlags.h"
#include "core/conversion/EngineCommand.h"
#include "core/conversion/MediaInfo.h"
#include "core/profiles/ParamCell.h"

class EngineOutputParser;
class EngineProcess;

// What a run needs of one task, copied on the thread that owns the task list.
struct BatchTask
{
    int id = 0;
    QString sourcePath;
    QString outputPath;
    int useGlobalOutput = 1;
    int aspectMode = 0;
    int trimStart = 0;
    int trimStop = 0;
    int trimLength = 0;
    bool hasMediaInfo = false;
    QString durationSecText;
    QString videoSize;
    Verdict verdict = Verdict::None;
    QString profileName; // of the task's own settings
    std::shared_ptr<const ParamCell> tree; // the task's own settings, copied; null when none
    bool HasOwnOutput() const { return !outputPath.isEmpty() && useGlobalOutput == 0; }

    // Seconds the run counts for this task: the trim length, else the probed duration.
    double Duration() const;
};

// The verdict on one engine run: Completed only when the engine reported its output
// started ("global headers:") and exited with status 0 (minus a signal number when a
// signal ended it); Stopped when the user stopped it; else Failed, with the cause.
struct EngineJudgement
{
    Verdict verdict = Verdict::Failed;
    QString cause;
};
EngineJudgement JudgeEngineRun(bool sawSuccess, int exitStatus, bool stopRequested = false);

// One conversion run over a task list: the totals pass, then one engine run per task,
// with row and overall progress and a verdict for each task. With more than one job,
// that many engines run at once, each task still converted exactly once.
class BatchConverter
{
public:
    struct Environment
    {
        QString runMode; // the diagnostic switch
        int jobs = 1;
        // When set, each task's command is handed here instead of being run; the outputs
        // stay reserved, so every task of the run gets a name of its own.
        std::function<void(const EngineCommand &)> exportCommand;
        bool keepDate = false; // each output gets the modification time of its source
    };

    BatchConverter(TaskList &tasks, BatchHost &host, ConversionFlags &flags, Environment environment);
    ~BatchConverter();

    // The run. Returns at once when another run is in progress.
    void Run();

    double TotalSeconds() const;

private:
    enum class RowOutcome { Next, Skip, EndRun };
    struct Pick;
    bool TotalsPass();
    // Probes one task the run found without a length and adds it to the totals;
    // false when the engine gave no answer at all. Probes beside running conversions
    // run at idle priority.
    bool ProbeTask(BatchTask task, const QString &globalProfile, bool beside);
    // Fills in a task's probe once the run's prober has it; false when the run must end.
    bool AwaitProbe(BatchTask &task);
    void EndProbing();
    bool LengthsKnown() const;
    void ConvertRows();
    Pick PickRow(int row);
    RowOutcome ConvertTask(BatchTask task);
    // Output path and option string of a task; the folder that could not be made when it fails.
    bool ChooseOutput(const BatchTask &task, const GlobalSelection &global, QString *outputPath, EngineOptions *options,
                      QString *failedFolder);
    RowOutcome RunEngineTask(const BatchTask &task, const EngineCommand &command, double duration,
                             const QString &profileName, int aspectMode);
    // One engine run of a task, its verdict in finished; false when the engine did not start.
    bool RunEngine(const BatchTask &task, const EngineCommand &command, double duration, TaskFinishedEvent &finished);
    bool StartEngine(EngineProcess &engine, const EngineCommand &command, TaskFinishedEvent &finished);
    // Reads the engine's output to its end, showing the task's progress; true when the engine
    // wrote far more time than the input holds and was ended for it.
    bool FollowProgress(EngineProcess &engine, EngineOutputParser &parser, const BatchTask &task, double duration,
                        bool lengthsKnown);
    void JudgeEngine(EngineProcess &engine, const EngineOutputParser &parser, bool overran, double duration,
                     TaskFinishedEvent &finished);
    void Finish(TaskFinishedEvent &event);
    void EndOfRun();
    QString ReserveOutputPath(const QString &path);
    void ReleaseOutputPath(const QString &path);
    int OverallPercent(int id, double taskSeconds);

    template <typename F>
    auto OnList(F &&f);

    TaskList &m_tasks;
    BatchHost &m_host;
    ConversionFlags &m_flags;
    Environment m_env;

    mutable std::mutex m_mutex; // everything below, shared by the jobs
    double m_totalSeconds = 0;
    double m_doneSeconds = 0;
    bool m_convertAgain = false;
    int m_nextRow = 0;
    bool m_ended = false;
    QSet<QString> m_reserved;        // outputs being written now
    QHash<int, double> m_inFlight;   // seconds done of each running task
    int m_lastOverall = -1;
    // Tasks found unprobed: the first is probed before anything starts, the others by
    // m_prober while the first ones convert, so a fresh list starts converting at once.
    struct ProbeAnswer
    {
        bool done = false;
        bool failed = false;
        QString durationSecText;
        QString videoSize;
    };
    QHash<int, ProbeAnswer> m_probes;
    int m_unknownLengths = 0;
    std::condition_variable m_probed;
    std::thread m_prober;
    std::mutex m_questionMutex;      // one question at a time
};
