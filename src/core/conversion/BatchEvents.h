#pragma once
#include <QString>
#include <QtGlobal>
#include <memory>
#include <optional>

#include "core/conversion/EngineCommand.h"
#include "core/profiles/ParamCell.h"
#include "core/tasks/TaskList.h"

// What a conversion run tells the view that shows it, and what it asks of it.

// The window's settings at the moment a task starts (headless: the command line's).
struct GlobalSelection
{
    QString profileName;       // text of the profile selector
    QString destination;       // text of the destination field
    QString globalDestination; // the last destination folder the window accepted
    int aspectMode = -1;
    std::shared_ptr<const ParamCell> tree; // copy of the current profile's tree
};

struct TaskStartedEvent
{
    int id = 0;
    EngineCommand command;
    // "Converting "SRC" to "OUT"... "
    QString StatusLine() const;
};

struct ProgressEvent
{
    int id = 0;
    std::optional<int> rowPercent; // a new percentage of the task
    std::optional<int> overall;    // a new value for the overall bar, 0..100
    QString statusLine;            // the engine's lines that moved the task on
    bool seeking = false;          // the engine's times do not fit the run yet
    std::optional<double> remaining; // seconds until the run ends, once a speed is known
};

struct TaskFinishedEvent
{
    int id = 0;
    Verdict verdict = Verdict::None;
    QString sourcePath;
    QString outputPath;
    QString engineOutput; // the engine's first lines, up to its first progress line
    QString closingLines; // the engine's lines after its last progress line
    QString cause;        // why a task failed, where its output does not say it; or how it was converted
    double elapsed = 0;   // seconds the task ran, pauses left out
    int exitStatus = 0;   // the engine's exit code, or minus the signal that ended it
    bool showReport = true; // false when the user has already been told why
    // The report of a failed task: the engine's first and closing lines, then the cause.
    QString Report() const;
    // "Converted  to "OUT" ok!", "Converting "SRC" Failed!" or "HH:MM:SS Stop Converting "SRC" !"
    QString StatusLine() const;
};

// What a run tells its view, and asks of it. A run calls these from its own threads; a
// window carries each call over to its own thread and returns when it is done there.
class BatchHost
{
public:
    virtual ~BatchHost() = default;

    // Events, in the order they happen.
    virtual void RunStarting() {}                    // before the durations are added up
    // The seconds known when converting starts; files not probed yet are probed while the first convert.
    virtual void RunStarted(double totalSeconds) { Q_UNUSED(totalSeconds); }
    virtual void TaskStarted(const TaskStartedEvent &event) { Q_UNUSED(event); }
    virtual void Progress(const ProgressEvent &event) { Q_UNUSED(event); }
    virtual void TaskFinished(const TaskFinishedEvent &event) { Q_UNUSED(event); }
    virtual void RunEnded() {}

    virtual bool AskOkCancel(const QString &text) = 0;
    virtual void ShowMessage(const QString &text) = 0;
    virtual GlobalSelection Global() = 0;
    virtual int PriorityLevel() = 0;
};

