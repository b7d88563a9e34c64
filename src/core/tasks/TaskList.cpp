#include "core/tasks/TaskList.h"

#include <QDateTime>
#include <QFileInfo>
#include <QSet>
#include <algorithm>

#include "core/settings/AppFolders.h"
#include "core/conversion/OutputNaming.h"
#include "core/conversion/TaskProbe.h"
#include "core/profiles/CurrentProfile.h"
#include "core/profiles/ProfileCatalogue.h"

namespace {
// The extension the list works with: after the last "." of the file name, lower case.
QString extensionOf(const QString &path)
{
    const QString name = path.mid(path.lastIndexOf(u'/') + 1);
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? QString() : name.mid(dot + 1).toLower();
}
} // namespace

QString FileSizeText(const QString &path)
{
    const QFileInfo info(path);
    return QStringLiteral("%1KB").arg((info.exists() ? info.size() : 0) / 1024);
}

QString VerdictText(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Completed:
        return QStringLiteral("Completed");
    case Verdict::Failed:
        return QStringLiteral("Failed");
    case Verdict::Stopped:
        return QStringLiteral("Stoped");
    default:
        return {};
    }
}

NewTaskSettings NewTaskSettings::For(const CurrentProfile &profile, const QString &destination,
                                     const AppFolders &folders)
{
    NewTaskSettings s;
    s.profileName = profile.Name();
    s.profileFile = profile.File();
    s.profileSummary = profile.Summary();
    s.aspectMode = profile.AspectMode();
    s.targetType = GetTargetType(profile.Name(), folders);
    s.destination = destination;
    return s;
}

TaskList::TaskList(QObject *parent) : QObject(parent) {}
TaskList::~TaskList() = default;

TaskList::Entry *TaskList::entry(int id)
{
    if (id <= 0 || id > kMaxTaskId)
        return nullptr;
    auto it = m_entries.find(quint16(id));
    return it == m_entries.end() ? nullptr : &*it;
}

const TaskList::Entry *TaskList::entry(int id) const
{
    return const_cast<TaskList *>(this)->entry(id);
}

TaskPtr TaskList::Find(int id) const
{
    const Entry *e = entry(id);
    return e ? e->record : nullptr;
}

bool TaskList::HasSourcePath(const QString &path) const
{
    const auto it = m_byPath.constFind(path);
    if (it == m_byPath.constEnd())
        return false;
    const Entry *e = entry(*it);
    return e && e->record->sourcePath.str() == path;
}

quint16 TaskList::enter(TaskPtr record, bool queueForProbe)
{
    if (m_nextTaskId == kMaxTaskId)
        return 0; // the 16-bit key has no id left in this run
    const quint16 id = ++m_nextTaskId;
    Entry e;
    e.indexedPath = record->sourcePath.str();
    e.record = std::move(record);
    m_byPath.insert(e.indexedPath, id);
    m_entries.insert(id, std::move(e));
    if (queueForProbe)
        m_probeQueue.append(id);
    return id;
}

quint16 TaskList::Insert(TaskPtr record, bool queueForProbe)
{
    if (m_nextTaskId == kMaxTaskId)
        return 0;
    const int row = Count();
    emit rowsAboutToBeInserted(row, row);
    const quint16 id = enter(std::move(record), queueForProbe);
    m_order.append(id);
    invalidateRows();
    emit rowsInserted(row, row);
    return id;
}

QList<quint16> TaskList::Add(const QStringList &paths, const NewTaskSettings &settings, bool queueForProbe)
{
    // Records are made first and listed in one step, so a view takes them in as one change.
    QList<TaskPtr> records;
    QSet<QString> seen;
    for (const QString &path : paths) {
        if (m_nextTaskId + records.size() >= kMaxTaskId)
            break; // no id left in this run
        if (HasSourcePath(path) || seen.contains(path))
            continue;
        const QString extension = extensionOf(path);
        if (extension.isEmpty())
            continue;
        auto task = std::make_shared<TaskRecord>();
        task->sourcePath = path;
        task->sourceExt = extension;
        task->profileName = settings.profileName;
        task->profileFile = settings.profileFile;
        task->aspectMode = settings.aspectMode;
        task->profileSummary = settings.profileSummary;
        const PathParts parts = SplitPath(task->sourcePath);
        task->baseName = parts.name;
        task->sourceFolder = parts.folder;
        task->destFolder = settings.destination;
        task->outputPath = ComposeOutputPath(OutputFolderFor(settings.destination, task->sourcePath), parts.name,
                                             settings.targetType);
        task->sizeText = FileSizeText(task->sourcePath);
        task->useGlobalOutput = 1;
        seen.insert(path);
        records << std::move(task);
    }
    return Insert(std::move(records), queueForProbe);
}

QList<quint16> TaskList::Insert(QList<TaskPtr> records, bool queueForProbe)
{
    QList<quint16> ids;
    records.resize(std::min<qsizetype>(records.size(), kMaxTaskId - m_nextTaskId));
    if (records.isEmpty())
        return ids;
    const int first = Count();
    emit rowsAboutToBeInserted(first, first + int(records.size()) - 1);
    for (TaskPtr &record : records) {
        const quint16 id = enter(std::move(record), queueForProbe);
        m_order.append(id);
        ids << id;
    }
    invalidateRows();
    emit rowsInserted(first, Count() - 1);
    return ids;
}

void TaskList::RestoreState(int id, const TaskState &state)
{
    if (Entry *e = entry(id)) {
        e->state = state;
        emit taskChanged(id);
    }
}

int TaskList::IdAt(int row) const
{
    return row >= 0 && row < m_order.size() ? m_order.at(row) : 0;
}

int TaskList::RowOf(int id) const
{
    if (!m_rowsValid) {
        m_rowOf.clear();
        m_rowOf.reserve(m_order.size());
        for (int row = 0; row < m_order.size(); ++row)
            m_rowOf.insert(m_order.at(row), row);
        m_rowsValid = true;
    }
    return id > 0 && id <= kMaxTaskId ? m_rowOf.value(quint16(id), -1) : -1;
}

void TaskList::SetSelected(int firstRow, int lastRow, bool selected)
{
    firstRow = std::max(firstRow, 0);
    lastRow = std::min(lastRow, Count() - 1);
    bool changed = false;
    for (int row = firstRow; row <= lastRow; ++row) {
        Entry *e = entry(m_order.at(row));
        if (e->selected == selected)
            continue;
        e->selected = selected;
        m_selectedCount += selected ? 1 : -1;
        changed = true;
    }
    if (changed)
        emit selectionChanged();
}

void TaskList::SetAllSelected(bool selected)
{
    SetSelected(0, Count() - 1, selected);
}

bool TaskList::IsSelected(int row) const
{
    const Entry *e = entry(IdAt(row));
    return e && e->selected;
}

bool TaskList::IsTaskSelected(int id) const
{
    const Entry *e = entry(id);
    return e && e->selected;
}

QList<int> TaskList::SelectedRows() const
{
    QList<int> rows;
    for (int row = 0; row < m_order.size() && rows.size() < m_selectedCount; ++row)
        if (IsSelected(row))
            rows << row;
    return rows;
}

void TaskList::Remove(const QList<quint16> &ids)
{
    QSet<quint16> gone;
    for (quint16 id : ids)
        if (m_entries.contains(id))
            gone.insert(id);
    if (gone.isEmpty())
        return;
    QList<std::pair<int, int>> ranges;
    for (int row = 0; row < m_order.size(); ++row) {
        if (!gone.contains(m_order.at(row)))
            continue;
        if (!ranges.isEmpty() && ranges.last().second == row - 1)
            ranges.last().second = row;
        else
            ranges.append({row, row});
    }
    emit rowsAboutToBeRemoved(ranges);
    QList<quint16> kept;
    kept.reserve(m_order.size() - gone.size());
    for (quint16 id : std::as_const(m_order))
        if (!gone.contains(id))
            kept << id;
    m_order.swap(kept);
    for (quint16 id : std::as_const(gone)) {
        const Entry e = m_entries.take(id);
        if (e.selected)
            --m_selectedCount;
        if (m_byPath.value(e.indexedPath) == id)
            m_byPath.remove(e.indexedPath);
    }
    m_probeQueue.removeIf([&](quint16 id) { return gone.contains(id); });
    invalidateRows();
    emit rowsRemoved();
}

void TaskList::RemoveSelected()
{
    QList<quint16> ids;
    for (int row : SelectedRows())
        ids << m_order.at(row);
    Remove(ids);
}

QList<quint16> TaskList::CompletedIds() const
{
    QList<quint16> ids;
    for (quint16 id : m_order)
        if (const Entry *e = entry(id); e && e->state.verdict == Verdict::Completed)
            ids << id;
    return ids;
}

int TaskList::RemoveCompleted()
{
    const QList<quint16> ids = CompletedIds();
    Remove(ids);
    return int(ids.size());
}

void TaskList::Clear()
{
    Remove(m_order);
    m_probeQueue.clear();
}

void TaskList::moveRow(int from, int to)
{
    m_order.move(from, to);
    // A moved row starts with an empty status, as a row listed again does.
    Entry *e = entry(m_order.at(to));
    e->state = TaskState{};
}

void TaskList::MoveSelectedUp()
{
    const int count = Count();
    if (count < 2)
        return;
    emit aboutToReorder();
    for (int row = count - 1; row >= 1;) {
        if (IsSelected(row)) {
            moveRow(row, row - 1);
            row -= 2; // the row passed over is not visited
        } else {
            --row;
        }
    }
    invalidateRows();
    emit reordered();
}

void TaskList::MoveSelectedDown()
{
    const int count = Count();
    if (count < 2)
        return;
    emit aboutToReorder();
    for (int row = count - 2; row >= 0; --row)
        if (IsSelected(row) && !IsSelected(row + 1))
            moveRow(row, row + 1);
    invalidateRows();
    emit reordered();
}

TaskState TaskList::State(int id) const
{
    const Entry *e = entry(id);
    return e ? e->state : TaskState{};
}

void TaskList::SetVerdict(int id, Verdict verdict, const QString &report, double elapsed)
{
    Entry *e = entry(id);
    if (!e)
        return;
    TaskState &state = e->state;
    if (state.verdict == Verdict::Running && verdict != Verdict::Running) {
        state.finishedAt = QDateTime::currentMSecsSinceEpoch();
        state.elapsed = elapsed;
    }
    state.verdict = verdict;
    state.status = VerdictText(verdict);
    state.report = report;
    state.percent = 0;
    emit taskChanged(id);
}

void TaskList::SetRunning(int id, const QString &status, int percent)
{
    Entry *e = entry(id);
    if (!e)
        return;
    if (e->state.verdict != Verdict::Running) {
        e->state.startedAt = QDateTime::currentMSecsSinceEpoch();
        e->state.finishedAt = 0;
        e->state.elapsed = -1;
    }
    e->state.verdict = Verdict::Running;
    e->state.status = status;
    e->state.percent = percent;
    emit taskChanged(id);
}

void TaskList::SetOutput(int id, const QString &outputPath, const QString &profileName)
{
    Entry *e = entry(id);
    if (!e)
        return;
    e->record->outputPath = outputPath;
    if (!profileName.isNull())
        e->record->profileName = profileName;
    emit taskChanged(id);
}

void TaskList::SetMediaInfo(int id, std::unique_ptr<MediaInfo> info)
{
    Entry *e = entry(id);
    if (!e)
        return;
    SetTaskMediaInfo(*e->record, std::move(info));
    emit taskChanged(id);
}

void TaskList::NotifyChanged(int id)
{
    Entry *e = entry(id);
    if (!e)
        return;
    // The source may have been changed to another file: the index follows it.
    const QString path = e->record->sourcePath.str();
    if (path != e->indexedPath) {
        if (m_byPath.value(e->indexedPath) == id)
            m_byPath.remove(e->indexedPath);
        e->indexedPath = path;
        m_byPath.insert(path, quint16(id));
    }
    emit taskChanged(id);
}

int TaskList::TakeNextProbe()
{
    return m_probeQueue.isEmpty() ? 0 : m_probeQueue.takeFirst();
}

QList<quint16> TaskList::TakeProbeQueue()
{
    QList<quint16> ids;
    ids.swap(m_probeQueue);
    return ids;
}
