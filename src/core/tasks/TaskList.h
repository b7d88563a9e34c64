#pragma once
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

#include "core/tasks/TaskRecord.h"

class AppFolders;
class CurrentProfile;

// What the last run made of a task.
enum class Verdict { None, Running, Completed, Failed, Stopped };

// The status column's text for a final verdict ("Completed", "Failed", "Stoped"); empty otherwise.
QString VerdictText(Verdict verdict);
// The Size column of a file: whole kilobytes, "0KB" for a file that is not there.
QString FileSizeText(const QString &path);

// A task's state in the current or last run: shown in the status column and the row's progress.
struct TaskState
{
    Verdict verdict = Verdict::None;
    QString status;  // the status column: "", "seeking..." or the verdict's text
    QString report;  // why a failed task failed, with the engine's first output lines
    int percent = 0; // of a running task
    qint64 startedAt = 0;  // ms since the epoch when the last run started it; 0: never
    qint64 finishedAt = 0; // ms since the epoch when it ended; 0 while it runs or never ran
    double elapsed = -1;   // seconds it ran, pauses left out; negative until it ends
};

// The settings a new task copies: the current profile and destination.
struct NewTaskSettings
{
    QString profileName;
    QString profileFile;
    QString profileSummary;
    QString targetType;  // extension of the profile's output files
    QString destination; // empty: outputs go beside their input
    int aspectMode = 0;

    // A profile's settings, with the destination given.
    static NewTaskSettings For(const CurrentProfile &profile, const QString &destination, const AppFolders &folders);
};

// The task list without a window: the records under their 16-bit ids, the order of
// the rows, the selection as a view reports it, each task's run state and the queue
// of tasks still to be probed. It lives on one thread (the user-interface thread of
// a window, the main thread headless); other threads reach it through OnOwnerThread.
// Views follow it through the signals, which tell them about structure before and
// after it changes.
class TaskList : public QObject
{
    Q_OBJECT
public:
    static constexpr int kMaxTaskId = 0xFFFF;

    explicit TaskList(QObject *parent = nullptr);
    ~TaskList() override;

    // --- Records ------------------------------------------------------------
    TaskPtr Find(int id) const;
    int NextTaskId() const { return m_nextTaskId; }
    int Count() const { return int(m_order.size()); }
    // True when a task has exactly this source path (letter case counts).
    bool HasSourcePath(const QString &path) const;

    // Makes and lists a task for each path, in order, as new rows at the end: a path
    // already listed, or one whose file name has no extension, is skipped. Returns the
    // new ids (fewer once all 65535 ids of a run are used up).
    QList<quint16> Add(const QStringList &paths, const NewTaskSettings &settings, bool queueForProbe);
    // Lists a record made elsewhere under the next id; 0 when no id is left.
    quint16 Insert(TaskPtr record, bool queueForProbe);
    // Lists records made elsewhere as new rows at the end, in one change; returns their
    // ids (fewer when the ids run out).
    QList<quint16> Insert(QList<TaskPtr> records, bool queueForProbe);

    // --- Rows ---------------------------------------------------------------
    int IdAt(int row) const; // 0 outside the list
    int RowOf(int id) const; // -1 when the id is not listed
    const QList<quint16> &Ids() const { return m_order; }

    // --- Selection, as the view reports it ------------------------------------
    void SetSelected(int firstRow, int lastRow, bool selected);
    void SetAllSelected(bool selected);
    bool IsSelected(int row) const;
    bool IsTaskSelected(int id) const;
    int SelectedCount() const { return m_selectedCount; }
    QList<int> SelectedRows() const;

    // --- Row commands -----------------------------------------------------------
    // Removes every selected row and its record (a holder of the record keeps it alive).
    void RemoveSelected();
    // The rows whose last run completed, in list order, and their removal (returns how many).
    QList<quint16> CompletedIds() const;
    int RemoveCompleted();
    void Remove(const QList<quint16> &ids);
    // Each selected row one place up: visited from the bottom, a moved row's neighbour is
    // passed over, so of two adjacent selected rows the lower one goes above the upper one.
    void MoveSelectedUp();
    // Each selected block one place down, unless it already touches the bottom.
    void MoveSelectedDown();
    void Clear();

    // --- Run state ----------------------------------------------------------------
    TaskState State(int id) const;
    // A final verdict also ends the task's time: elapsed is the seconds it ran.
    void SetVerdict(int id, Verdict verdict, const QString &report = QString(), double elapsed = -1);
    // A state kept from an earlier session, as it was.
    void RestoreState(int id, const TaskState &state);
    // The status column of a running task ("seeking...") and its progress; the first call
    // of a run starts the task's time.
    void SetRunning(int id, const QString &status, int percent);
    // A task's output as a run decided it, and the profile it was made with.
    void SetOutput(int id, const QString &outputPath, const QString &profileName = QString());
    void SetMediaInfo(int id, std::unique_ptr<MediaInfo> info);
    // Views draw the record again; call after changing a record's fields.
    void NotifyChanged(int id);

    // --- Probe queue -------------------------------------------------------------------
    QList<quint16> TakeProbeQueue();
    // The first queued id, taken out of the queue; 0 when the queue is empty.
    int TakeNextProbe();
    int ProbeQueueSize() const { return int(m_probeQueue.size()); }

signals:
    void rowsAboutToBeInserted(int first, int last);
    void rowsInserted(int first, int last);
    // Removed rows as ascending ranges of the old order.
    void rowsAboutToBeRemoved(const QList<std::pair<int, int>> &ranges);
    void rowsRemoved();
    void aboutToReorder();
    void reordered();
    void taskChanged(int id);
    void selectionChanged();

private:
    struct Entry
    {
        TaskPtr record;
        QString indexedPath; // the key under which m_byPath knows it
        TaskState state;
        bool selected = false;
    };
    Entry *entry(int id);
    const Entry *entry(int id) const;
    quint16 enter(TaskPtr record, bool queueForProbe);
    void moveRow(int from, int to);
    void invalidateRows() { m_rowsValid = false; }

    QHash<quint16, Entry> m_entries;
    QHash<QString, quint16> m_byPath;
    QList<quint16> m_order;
    QList<quint16> m_probeQueue;
    quint16 m_nextTaskId = 0;
    int m_selectedCount = 0;
    mutable QHash<quint16, int> m_rowOf;
    mutable bool m_rowsValid = false;
};
