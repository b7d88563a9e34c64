#include "ui/mainwindow/TaskTableModel.h"

#include "core/tasks/TaskList.h"
#include "core/conversion/RunClock.h"
#include "core/settings/Language.h"

TaskTableModel::TaskTableModel(TaskList &tasks, IconForExtension icons, QObject *parent)
    : QAbstractTableModel(parent), m_tasks(tasks), m_icons(std::move(icons))
{
    connect(&tasks, &TaskList::rowsAboutToBeInserted, this,
            [this](int first, int last) { beginInsertRows(QModelIndex(), first, last); });
    connect(&tasks, &TaskList::rowsInserted, this, [this] { endInsertRows(); });
    connect(&tasks, &TaskList::rowsAboutToBeRemoved, this, &TaskTableModel::OnAboutToRemove);
    connect(&tasks, &TaskList::rowsRemoved, this, &TaskTableModel::OnRemoved);
    connect(&tasks, &TaskList::aboutToReorder, this, &TaskTableModel::OnAboutToReorder);
    connect(&tasks, &TaskList::reordered, this, &TaskTableModel::OnReordered);
    connect(&tasks, &TaskList::taskChanged, this, [this](int id) {
        const int row = m_tasks.RowOf(id);
        if (row >= 0)
            emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
    });
}

int TaskTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_tasks.Count();
}

int TaskTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QIcon TaskTableModel::IconOf(const QString &extension) const
{
    auto it = m_iconCache.constFind(extension);
    if (it == m_iconCache.constEnd())
        it = m_iconCache.insert(extension, m_icons ? m_icons(extension) : QIcon());
    return *it;
}

QVariant TaskTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    const int id = m_tasks.IdAt(index.row());
    const TaskPtr task = m_tasks.Find(id);
    if (!task)
        return {};
    if (role == Qt::TextAlignmentRole) {
        if (index.column() == Size || index.column() == Elapsed)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        if (index.column() == Status)
            return int(Qt::AlignCenter);
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    }
    if (role == Qt::DecorationRole && index.column() == Name)
        return IconOf(task->sourceExt);
    if (role == Qt::AccessibleTextRole && index.column() == Status)
        return AccessibleStatus(m_tasks.State(id));
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    switch (index.column()) {
    case Name:
        return QStringLiteral("%1.%2").arg(task->baseName.str(), task->sourceExt.str());
    case Size:
        return task->sizeText.str();
    case Folder:
        return task->sourceFolder.str();
    case Status: {
        // A completed task's tooltip says how it was converted: what its targets reached, a fallback.
        const TaskState &state = m_tasks.State(id);
        if (role == Qt::ToolTipRole && state.verdict == Verdict::Completed && !state.report.isEmpty())
            return state.report;
        return state.status;
    }
    case Output:
        return task->outputPath.str();
    case Profile:
        return task->profileName.str();
    case Summary:
        return task->profileSummary.str();
    case Id:
        return QString::number(id);
    case Elapsed: {
        const double elapsed = m_tasks.State(id).elapsed;
        return elapsed >= 0 ? RunClock::Format(elapsed) : QString();
    }
    default:
        return {};
    }
}

QString TaskTableModel::AccessibleStatus(const TaskState &state)
{
    // What the cell shows, and what the bar drawn over it shows of a running task.
    if (state.verdict == Verdict::Running && state.status.isEmpty())
        return GetLangString(QStringLiteral("@253")).replace(QStringLiteral("%d"), QString::number(state.percent))
            .replace(QStringLiteral("%%"), QStringLiteral("%"));
    if (state.status.isEmpty())
        return GetLangString(QStringLiteral("@254"));
    return state.status;
}

QVariant TaskTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return m_headers.value(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}

void TaskTableModel::SetHeaders(const QStringList &headers)
{
    m_headers = headers;
    emit headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
}

void TaskTableModel::OnAboutToRemove(const QList<std::pair<int, int>> &ranges)
{
    // One block goes the ordinary way; many scattered rows at once are cheaper as a reset.
    m_resetting = ranges.size() != 1;
    if (m_resetting)
        beginResetModel();
    else
        beginRemoveRows(QModelIndex(), ranges.first().first, ranges.first().second);
}

void TaskTableModel::OnRemoved()
{
    if (m_resetting)
        endResetModel();
    else
        endRemoveRows();
}

void TaskTableModel::OnAboutToReorder()
{
    emit layoutAboutToBeChanged();
    // Selection and current row follow their tasks, not their positions.
    m_persistent = persistentIndexList();
    m_persistentIds.clear();
    for (const QModelIndex &index : std::as_const(m_persistent))
        m_persistentIds << m_tasks.IdAt(index.row());
}

void TaskTableModel::OnReordered()
{
    QModelIndexList moved;
    moved.reserve(m_persistent.size());
    for (int i = 0; i < m_persistent.size(); ++i) {
        const int row = m_tasks.RowOf(m_persistentIds.at(i));
        moved << (row < 0 ? QModelIndex() : index(row, m_persistent.at(i).column()));
    }
    changePersistentIndexList(m_persistent, moved);
    m_persistent.clear();
    m_persistentIds.clear();
    emit layoutChanged();
}
