#include "core/tasks/TaskFile.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <memory>

#include "core/settings/AppFolders.h"
#include "core/tasks/TaskList.h"
#include "core/tasks/TaskRecord.h"
#include "core/profiles/CMpegStructs.h"
#include "core/profiles/CurrentProfile.h"
#include "core/profiles/ProfileCatalogue.h"

TaskFileRow TaskFileRow::FromRecord(const TaskRecord &record, const QString &profileColumnText)
{
    return {record.sourcePath.str(), record.outputPath.str(), record.profileName.str(), record.sourceExt.str(),
            profileColumnText};
}

QString TaskFileLine(const TaskFileRow &row)
{
    const QChar sep = u'$';
    const QString &profile = row.profileName.isEmpty() ? row.profileColumnText : row.profileName;
    // The reserved field is always empty.
    return row.sourcePath + sep + QStringLiteral("  ") + row.outputPath + sep + u' ' + profile + sep +
           QStringLiteral("  ") + row.sourceExt + sep + u' ' + sep + u'\n';
}

bool WriteTaskFile(const QString &path, const QList<TaskFileRow> &rows)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QString text(1, QChar(0xFEFF));
    for (const TaskFileRow &row : rows)
        text += TaskFileLine(row);
    // QString holds UTF-16 already; written byte for byte in little-endian order.
    QByteArray bytes(text.size() * 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text.at(i).unicode();
        bytes[2 * i] = char(unit & 0xFF);
        bytes[2 * i + 1] = char(unit >> 8);
    }
    return file.write(bytes) == bytes.size() && file.flush();
}

FileRequest SaveTaskFileRequest(const QString &startPath)
{
    FileRequest request;
    request.title = QStringLiteral("Select Task File To Save");
    request.filter = QStringLiteral("Task files(*.tsk) (*.tsk)");
    request.defaultSuffix = QStringLiteral("tsk");
    request.startPath = startPath;
    request.multiple = false;
    request.mustExist = false; // a new file is what Save is for
    request.confirmOverwrite = true;
    return request;
}

FileRequest OpenTaskFileRequest(const QString &startPath)
{
    FileRequest request;
    request.title = QStringLiteral("Select Task File To Open");
    request.filter = QStringLiteral("Task files(*.tsk) (*.tsk)");
    request.startPath = startPath;
    request.multiple = false;
    request.mustExist = true;
    return request;
}

std::optional<TaskFileRow> ParseTaskFileLine(const QString &line)
{
    // source "$  " output "$ " profile "$  " extension "$ " "$"
    static const QString end = QStringLiteral("$ $");
    if (!line.endsWith(end))
        return std::nullopt;
    const QString body = line.left(line.size() - end.size());
    const qsizetype extAt = body.lastIndexOf(QStringLiteral("$  "));
    if (extAt < 0)
        return std::nullopt;
    TaskFileRow row;
    row.sourceExt = body.mid(extAt + 3);
    const QString paths = body.left(extAt);
    const qsizetype profileAt = paths.lastIndexOf(QStringLiteral("$ "));
    if (profileAt < 0 || row.sourceExt.contains(u'$'))
        return std::nullopt;
    row.profileName = paths.mid(profileAt + 2);
    const QString both = paths.left(profileAt);
    // Of the places where "$  " could part source and output, the rightmost whose left side
    // ends in the source's own extension.
    for (qsizetype at = both.lastIndexOf(QStringLiteral("$  ")); at > 0;
         at = both.lastIndexOf(QStringLiteral("$  "), at - 1)) {
        const QString source = both.left(at);
        if (row.sourceExt.isEmpty() || source.endsWith(u'.' + row.sourceExt, Qt::CaseInsensitive)) {
            row.sourcePath = source;
            row.outputPath = both.mid(at + 3);
            return row;
        }
    }
    return std::nullopt;
}

TaskFileContents ReadTaskFile(const QString &path)
{
    TaskFileContents contents;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return contents;
    contents.opened = true;
    const QByteArray bytes = file.readAll();
    QString text;
    if (bytes.startsWith("\xFF\xFE")) {
        text.reserve(bytes.size() / 2);
        for (qsizetype i = 2; i + 1 < bytes.size(); i += 2)
            text += QChar(char16_t(quint8(bytes[i]) | (quint8(bytes[i + 1]) << 8)));
    } else {
        text = QString::fromUtf8(bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes);
    }
    const QStringList lines = text.split(u'\n');
    for (int i = 0; i < lines.size(); ++i) {
        QString line = lines[i];
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (line.trimmed().isEmpty())
            continue;
        if (const std::optional<TaskFileRow> row = ParseTaskFileLine(line)) {
            contents.rows << *row;
            contents.lineNumbers << i + 1;
        } else {
            contents.problems << QStringLiteral("Line %1 of \"%2\" is not a task: %3").arg(i + 1).arg(path, line.left(200));
        }
    }
    return contents;
}

QStringList AddTaskFileRows(TaskList &tasks, const TaskFileContents &contents, const AppFolders &folders)
{
    QStringList problems = contents.problems;
    QHash<QString, std::shared_ptr<CurrentProfile>> profiles;
    for (int i = 0; i < contents.rows.size(); ++i) {
        const TaskFileRow &row = contents.rows[i];
        auto problem = [&](const QString &what) {
            problems << QStringLiteral("Line %1: \"%2\" %3").arg(contents.lineNumbers.value(i)).arg(row.sourcePath, what);
        };
        if (!QFileInfo(row.sourcePath).isFile()) {
            problem(QStringLiteral("does not exist."));
            continue;
        }
        if (tasks.HasSourcePath(row.sourcePath)) {
            problem(QStringLiteral("is already in the list."));
            continue;
        }
        std::shared_ptr<CurrentProfile> &profile = profiles[row.profileName];
        if (!profile && QFileInfo(ProfileFile(row.profileName, folders)).isFile()) {
            profile = std::make_shared<CurrentProfile>(folders);
            profile->Select(row.profileName);
        }
        if (!profile) {
            problem(QStringLiteral("names the profile \"%1\", which is not installed.").arg(row.profileName));
            continue;
        }
        const QList<quint16> ids = tasks.Add({row.sourcePath}, NewTaskSettings::For(*profile, QString(), folders), true);
        if (ids.isEmpty()) {
            problem(QStringLiteral("could not be listed."));
            continue;
        }
        // The row converts as it was saved: its own profile, into its own output file.
        const TaskPtr task = tasks.Find(ids.first());
        task->paramTree = CloneCells(profile->Tree());
        if (!row.outputPath.isEmpty()) {
            task->useGlobalOutput = 0;
            task->outputPath = row.outputPath;
        }
        tasks.NotifyChanged(ids.first());
    }
    return problems;
}
