#pragma once
#include <QtGlobal>
#include <QString>
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>

#include "conversion/MediaInfo.h"
#include "profiles/ParamCell.h"

class EngineProcess;

// The outcome of one engine run.
enum class Verdict { Succeeded, Failed, Stopped, RunAborted };

// What a run needs of one task, copied on the user-interface thread.
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
    std::shared_ptr<const ParamCell> tree; // the task's own settings, copied; null when none

    // Seconds the run counts for this task: the trim length, else the probed duration.
    double Duration() const;
};

// The main window's settings at the moment a task starts.
struct GlobalSelection
{
    QString profileName;      // text of the profile selector
    QString destination;      // text of the destination field
    QString globalDestination; // the last destination folder the window accepted
    int aspectMode = -1;
    std::shared_ptr<const ParamCell> tree; // copy of the current profile's tree
};

// The running engine, shared between the worker (which starts and ends it) and
// Stop Convert on the user-interface thread (which kills it).
class EngineSlot
{
public:
    void Set(EngineProcess *process);
    void Clear();
    // Kills the engine in the slot, if any, and empties the slot.
    bool Kill();
    bool IsSet() const;

private:
    mutable std::mutex m_mutex;
    EngineProcess *m_process = nullptr;
};

// Run flags shared by the window's commands and the worker.
struct ConversionFlags
{
    std::atomic<bool> converting{false};
    std::atomic<bool> selectedOnly{false};
    std::atomic<bool> stopRequested{false};
    EngineSlot engine;
};

// The window as a conversion run sees it. Every call is carried out on the
// user-interface thread and returns when it is done.
class BatchHost
{
public:
    enum class Sound { Information, Error, Warning };
    static constexpr int kStatusColumn = 3;
    static constexpr int kOutputColumn = 4;
    static constexpr int kProfileColumn = 5;
    static constexpr int kIdColumn = 7;

    virtual ~BatchHost() = default;

    virtual int RowCount() = 0;
    virtual bool IsRowSelected(int row) = 0;
    virtual QString RowText(int row, int column) = 0;
    virtual void SetRowText(int row, int column, const QString &text) = 0;
    virtual void SetRowColor(int row, quint32 bgr) = 0; // 0x00BBGGRR
    // Points the row progress bar at a row, sets its value and shows or hides it.
    virtual void SetRowProgress(int row, int percent, bool show) = 0;

    virtual std::optional<BatchTask> Task(int id) = 0;
    virtual void StoreMediaInfo(int id, const MediaInfo &info) = 0;
    virtual void StoreOutputPath(int id, const QString &path) = 0;
    virtual GlobalSelection Global() = 0;
    virtual int PriorityLevel() = 0;

    virtual void SetStatusLine(const QString &text) = 0;
    virtual void SetOverallProgress(int percent) = 0;
    virtual void EnableStopButton() = 0;
    virtual void EnableConvertButtons() = 0;
    virtual void ClearWorkerReference() = 0;
    virtual void PlaySound(Sound sound) = 0;
    virtual bool AskOkCancel(const QString &text) = 0;
    virtual void ShowMessage(const QString &text) = 0;
    // The failure report with the engine's first output lines; returns when closed.
    virtual void ShowConvertInfo(const QString &headerText) = 0;
    virtual void StopPreview() = 0;
};

// One conversion run over the task list: the totals pass, then one engine run
// per task, with row and overall progress and a verdict for each row.
class BatchConverter
{
public:
    struct Environment
    {
        QString runMode; // the diagnostic switch
    };

    BatchConverter(BatchHost &host, ConversionFlags &flags, Environment environment);

    // The worker's routine. Returns at once when another run is in progress.
    void Run();

    // Output path and option string of a task that follows the main window's
    // settings; false when the destination folder cannot be made.
    bool PrepareGlobalTask(const GlobalSelection &global, const QString &sourcePath, int row, QString *outputPath,
                           QString *options);

    // Runs the engine for one task and turns its output into progress and a verdict.
    Verdict RunEngineTask(const QString &commandLine, const QStringList &arguments, const QString &sourcePath,
                          const QString &outputPath, int row, double duration);

    double TotalSeconds() const { return m_totalSeconds; }
    double DoneSeconds() const { return m_doneSeconds; }

    // Text colours of a row, as 0x00BBGGRR.
    static constexpr quint32 kRunningColor = 0x0093B129;
    static constexpr quint32 kSucceededColor = 0x00808080;
    static constexpr quint32 kFailedColor = 0x00FF0000;

private:
    enum class RowOutcome { Next, EndRun };
    bool TotalsPass();
    RowOutcome ConvertRow(int row, bool &convertAgain);
    void EndOfRun();

    BatchHost &m_host;
    ConversionFlags &m_flags;
    Environment m_env;
    double m_totalSeconds = 0;
    double m_doneSeconds = 0;
};
