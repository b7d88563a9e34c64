#include "app/TaskFile.h"

#include <QFile>

#include "app/TaskRecord.h"

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
    request.mustExist = true;
    request.confirmOverwrite = true;
    return request;
}
