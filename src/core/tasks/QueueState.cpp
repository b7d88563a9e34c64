#include "core/tasks/QueueState.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QSet>
#include <QTemporaryDir>
#include <algorithm>

#include "core/settings/AppFolders.h"
#include "core/tasks/TaskList.h"
#include "core/tasks/TaskRecord.h"
#include "base/UserMessage.h"
#include "core/profiles/CMpegStructs.h"
#include "core/profiles/ParamFileWriter.h"
#include "core/profiles/PersonalSettings.h"

namespace {

constexpr int kFormat = 1;
constexpr qint64 kLargestStateFile = 512LL * 1024 * 1024;

// Only final verdicts are kept: a task that was running when the program ended is to do.
QString VerdictName(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Completed: return QStringLiteral("completed");
    case Verdict::Failed: return QStringLiteral("failed");
    case Verdict::Stopped: return QStringLiteral("stopped");
    default: return QString();
    }
}

Verdict VerdictNamed(const QString &name)
{
    for (Verdict v : {Verdict::Completed, Verdict::Failed, Verdict::Stopped})
        if (name == VerdictName(v))
            return v;
    return Verdict::None;
}

QJsonObject TaskObject(const TaskRecord &task, const TaskState &state)
{
    QJsonObject o{
        {QStringLiteral("source"), task.sourcePath.str()},
        {QStringLiteral("output"), task.outputPath.str()},
        {QStringLiteral("destination"), task.destFolder.str()},
        {QStringLiteral("profile"), task.profileName.str()},
        {QStringLiteral("profileFile"), task.profileFile.str()},
        {QStringLiteral("summary"), task.profileSummary.str()},
        {QStringLiteral("aspect"), int(task.aspectMode)},
        {QStringLiteral("followsWindow"), task.useGlobalOutput != 0},
        {QStringLiteral("trimStart"), int(task.trimStart)},
        {QStringLiteral("trimStop"), int(task.trimStop)},
        {QStringLiteral("trimLength"), int(task.trimLength)},
        {QStringLiteral("duration"), int(task.durationSec)},
    };
    if (task.useGlobalOutput == 0 && task.paramTree)
        o.insert(QStringLiteral("settings"), ParamFileText({task.paramTree.get(), {}, {}, {}}));
    const QString verdict = VerdictName(state.verdict);
    if (!verdict.isEmpty()) {
        o.insert(QStringLiteral("verdict"), verdict);
        o.insert(QStringLiteral("report"), state.report);
        o.insert(QStringLiteral("elapsed"), state.elapsed);
        o.insert(QStringLiteral("startedAt"), double(state.startedAt));
        o.insert(QStringLiteral("finishedAt"), double(state.finishedAt));
    }
    return o;
}

// A task's own settings back from the parameter file text they were kept as.
std::unique_ptr<ParamCell> TreeFromText(const QString &text, const QTemporaryDir &scratch)
{
    const QString path = scratch.filePath(QStringLiteral("settings.ini"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text.toUtf8()) < 0)
        return nullptr;
    file.close();
    CMpegStructs structs;
    structs.LoadFromFile(path);
    return CloneCells(structs.GetRoot());
}

QJsonArray ReadTasks(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kLargestStateFile)
        return {};
    const QJsonObject root = QJsonDocument::fromJson(file.readAll()).object();
    if (root.value(QStringLiteral("format")).toInt() != kFormat)
        return {};
    return root.value(QStringLiteral("tasks")).toArray();
}

} // namespace

QString QueueStatePath(const AppFolders &folders)
{
    return folders.StateFolder() + QStringLiteral("queue.json");
}

QString WatchStatePath(const AppFolders &folders, const QString &folder)
{
    const QByteArray key = QCryptographicHash::hash(QDir::cleanPath(folder).toUtf8(), QCryptographicHash::Sha1).toHex();
    return folders.StateFolder() + QStringLiteral("watch-%1.json").arg(QString::fromLatin1(key.left(16)));
}

QByteArray QueueStateText(const TaskList &tasks)
{
    QJsonArray rows;
    for (quint16 id : tasks.Ids())
        if (const TaskPtr task = tasks.Find(id))
            rows.append(TaskObject(*task, tasks.State(id)));
    return QJsonDocument(QJsonObject{{QStringLiteral("format"), kFormat}, {QStringLiteral("tasks"), rows}}).toJson(QJsonDocument::Compact);
}

bool WriteQueueState(const QString &path, const TaskList &tasks, QString *error)
{
    if (tasks.Count() == 0) {
        if (!QFileInfo::exists(path) || QFile::remove(path))
            return true;
        if (error)
            *error = QStringLiteral("\"%1\" could not be removed.").arg(path);
        return false;
    }
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(QueueStateText(tasks)) >= 0 && file.commit())
        return true;
    if (error)
        *error = QStringLiteral("The list could not be kept in \"%1\": %2").arg(path, file.errorString());
    return false;
}

int SavedQueueSize(const QString &path, int *unfinished)
{
    const QJsonArray rows = ReadTasks(path);
    if (unfinished)
        *unfinished = int(std::count_if(rows.begin(), rows.end(), [](const QJsonValue &row) {
            return VerdictNamed(row.toObject().value(QStringLiteral("verdict")).toString()) != Verdict::Completed;
        }));
    return int(rows.size());
}

QStringList RestoreQueueState(TaskList &tasks, const QString &path, bool skipCompleted)
{
    QStringList problems;
    const QJsonArray rows = ReadTasks(path);
    QTemporaryDir scratch;
    QList<TaskPtr> records;
    QList<TaskState> states;
    QSet<QString> seen;
    for (const QJsonValue &value : rows) {
        const QJsonObject o = value.toObject();
        const QString source = o.value(QStringLiteral("source")).toString();
        TaskState state;
        state.verdict = VerdictNamed(o.value(QStringLiteral("verdict")).toString());
        if (skipCompleted && state.verdict == Verdict::Completed)
            continue;
        if (source.isEmpty() || tasks.HasSourcePath(source) || seen.contains(source))
            continue;
        if (!QFileInfo(source).isFile()) {
            problems << QStringLiteral("\"%1\" is no longer there.").arg(source);
            continue;
        }
        auto task = std::make_shared<TaskRecord>();
        SetTaskSource(*task, source);
        task->outputPath = o.value(QStringLiteral("output")).toString();
        task->destFolder = o.value(QStringLiteral("destination")).toString();
        task->profileName = o.value(QStringLiteral("profile")).toString();
        task->profileFile = o.value(QStringLiteral("profileFile")).toString();
        task->profileSummary = o.value(QStringLiteral("summary")).toString();
        task->aspectMode = o.value(QStringLiteral("aspect")).toInt();
        task->useGlobalOutput = o.value(QStringLiteral("followsWindow")).toBool(true) ? 1 : 0;
        // Trims are kept only when they still fit inside each other.
        const int duration = std::max(0, o.value(QStringLiteral("duration")).toInt());
        const int start = o.value(QStringLiteral("trimStart")).toInt();
        const int stop = o.value(QStringLiteral("trimStop")).toInt();
        if (start >= 0 && stop >= start) {
            task->trimStart = start;
            task->trimStop = stop;
            task->trimLength = std::clamp(o.value(QStringLiteral("trimLength")).toInt(), 0, stop - start);
        }
        task->durationSec = duration;
        const QString settings = o.value(QStringLiteral("settings")).toString();
        if (!settings.isEmpty() && scratch.isValid())
            task->paramTree = TreeFromText(settings, scratch);
        if (task->useGlobalOutput == 0 && !task->paramTree)
            task->useGlobalOutput = 1; // its own settings were lost: it follows the window
        task->sizeText = FileSizeText(source);
        if (state.verdict != Verdict::None) {
            state.status = VerdictText(state.verdict);
            state.report = o.value(QStringLiteral("report")).toString();
            state.elapsed = o.value(QStringLiteral("elapsed")).toDouble(-1);
            state.startedAt = qint64(o.value(QStringLiteral("startedAt")).toDouble());
            state.finishedAt = qint64(o.value(QStringLiteral("finishedAt")).toDouble());
        }
        seen.insert(source);
        records << std::move(task);
        states << state;
    }
    const QList<quint16> ids = tasks.Insert(records, true);
    for (int i = 0; i < ids.size(); ++i)
        if (states[i].verdict != Verdict::None)
            tasks.RestoreState(ids[i], states[i]);
    if (ids.size() < records.size())
        problems << QStringLiteral("%1 rows could not be listed: the list is full.").arg(records.size() - ids.size());
    return problems;
}

QueueKeeper::QueueKeeper(TaskList &tasks, QString path, QObject *parent)
    : QObject(parent), m_tasks(tasks), m_path(std::move(path))
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(1000);
    connect(&m_timer, &QTimer::timeout, this, &QueueKeeper::write);
    connect(&tasks, &TaskList::rowsInserted, this, &QueueKeeper::changed);
    connect(&tasks, &TaskList::rowsRemoved, this, &QueueKeeper::changed);
    connect(&tasks, &TaskList::reordered, this, &QueueKeeper::changed);
    connect(&tasks, &TaskList::taskChanged, this, &QueueKeeper::changed);
}

QueueKeeper::~QueueKeeper()
{
    Flush();
}

void QueueKeeper::Flush()
{
    if (m_pending)
        write();
}

void QueueKeeper::changed()
{
    m_pending = true;
    if (!m_timer.isActive())
        m_timer.start();
}

void QueueKeeper::write()
{
    m_timer.stop();
    m_pending = false;
    QElapsedTimer took;
    took.start();
    QString error;
    if (!WriteQueueState(m_path, m_tasks, &error) && !m_complained) {
        m_complained = true; // once: the list itself is unharmed
        ShowUserMessage(error);
    }
    m_timer.setInterval(int(std::clamp<qint64>(took.elapsed() * 10, 1000, 60000)));
}
