#pragma once
#include <QAbstractTableModel>
#include <QHash>
#include <QIcon>
#include <QModelIndex>
#include <QStringList>
#include <functional>

class TaskList;
struct TaskState;

// The task list as the window's table shows it: one row per task in list order,
// the columns of the list (name, size, folder, status, output, profile, summary, the
// id in a hidden column, and how long the last run took), drawn from the records and
// their run state.
class TaskTableModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { Name, Size, Folder, Status, Output, Profile, Summary, Id, Elapsed, ColumnCount };
    using IconForExtension = std::function<QIcon(const QString &extension)>;

    TaskTableModel(TaskList &tasks, IconForExtension icons, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    // Headers are language texts, set again on every language switch.
    void SetHeaders(const QStringList &headers);
    // The status cell as a screen reader reads it: a running task's percent, a waiting
    // task's word for waiting, else the text shown.
    static QString AccessibleStatus(const TaskState &state);

private:
    QIcon IconOf(const QString &extension) const;
    void OnAboutToRemove(const QList<std::pair<int, int>> &ranges);
    void OnRemoved();
    void OnAboutToReorder();
    void OnReordered();

    TaskList &m_tasks;
    IconForExtension m_icons;
    mutable QHash<QString, QIcon> m_iconCache;
    QStringList m_headers;
    bool m_resetting = false;
    QModelIndexList m_persistent;
    QList<int> m_persistentIds;
};
