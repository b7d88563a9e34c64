#pragma once
#include <QObject>
#include <QPoint>
#include <QSet>
#include <QStringList>
#include <functional>
#include <memory>

#include "core/tasks/TaskList.h"

class CListCtrlEx;
class CommandTarget;
class QMenu;
class QTimer;
class StatusBar;
class TaskTableModel;
class ProbePool;

// The main window's task list: the table drawn from the TaskList, and the commands
// that add, remove, reorder and select tasks, the list's context menu, the status
// counters and the media-probe threads of newly added files.
class TaskListView : public QObject
{
    Q_OBJECT
public:
    TaskListView(TaskList &tasks, CListCtrlEx *list, StatusBar *statusBar, CommandTarget &commands,
                 std::function<NewTaskSettings()> newTaskSettings, QObject *parent = nullptr);
    ~TaskListView() override;

    TaskList &Tasks() const { return m_tasks; }
    CListCtrlEx *List() const { return m_list; }
    TaskTableModel *Model() const { return m_model; }

    // --- Adding --------------------------------------------------------------
    // Add File: true when the dialog was confirmed.
    bool OnAddFile();
    // Files dropped on the window, in the order the drop delivers them.
    void OnDropFiles(const QStringList &paths);
    // One path from the command line, another program or a converted file.
    void AddFileByPath(const QString &path);
    // A path handed over by code of this process: cut to 254 characters first.
    void OnAddPathMessage(const QString &path);

    // --- Rows ------------------------------------------------------------------
    void OnDelete();
    void OnSelectAll();
    void OnMoveUp();
    void OnMoveDown();
    // The task id in a row's hidden column; 0 when the text is not a number.
    int TaskIdOfRow(int row) const;
    TaskPtr TaskOfRow(int row) const;
    int RowOfTask(int id) const;
    // Draws a changed task again, in dark red when it has settings of its own.
    void RefreshTask(int id);
    void UpdateStatusCounts();

    // --- Columns ------------------------------------------------------------------
    // Widths to start from (the window's font times the column's factor); widths the user
    // dragged before are read from the settings file of their own at columnsPath.
    void SetColumnWidths(const QList<int> &startWidths, const QString &columnsPath);
    // Sizes the columns to their contents within the list's width: the file name takes what
    // is left, the longest columns give way first; a column the user sized keeps its width.
    void FitColumns();

    // --- Showing a task -------------------------------------------------------------
    // The click on the list: the lowest selected row's task becomes the shown one.
    void OnListClick();
    // The task shown by the last list click that found media information.
    int CurrentTaskId() const { return m_currentTaskId; }
    // The list's context menu with the current language's texts; shown only at a
    // point inside the list.
    void ShowListContextMenu(const QPoint &globalPos);
    std::unique_ptr<QMenu> BuildListContextMenu();

    // --- Media probe -------------------------------------------------------------------
    // Probes the queued tasks in the background, a few at a time.
    void StartProbeThread();
    // Waits, processing events, until no probe thread runs.
    void WaitForProbeThreads();
    int RunningProbeThreads() const;
    // No probe starts from now on; running ones end after their current file.
    void Close();

signals:
    // The shown task changes: the window stops the preview.
    void shownTaskChanging();
    // A task with media information becomes the current one: the window shows its settings.
    void taskShown(int id);
    // The click found no selected row: the window stops the preview.
    void nothingSelected();

private:
    void AddTasks(const QStringList &paths, bool queueForProbe);
    void ScheduleFit();
    void OnSectionResized(int column, int oldWidth, int newWidth);

    TaskList &m_tasks;
    CListCtrlEx *m_list;
    StatusBar *m_statusBar;
    CommandTarget &m_commands;
    std::function<NewTaskSettings()> m_newTaskSettings;
    TaskTableModel *m_model = nullptr;
    ProbePool *m_probes = nullptr;
    QList<int> m_startWidths;
    QString m_columnsPath;
    QSet<int> m_userSized; // columns the user dragged: left as they are
    bool m_fitting = false;
    bool m_fitScheduled = false;
    QTimer *m_fitLater = nullptr;
    int m_shownTaskId = 0;   // task the last list click showed
    int m_currentTaskId = 0; // task whose settings and trim range the window shows
};
