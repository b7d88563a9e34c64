#pragma once
#include <QList>
#include <QString>

#include "core/FileRequest.h"

struct TaskRecord;

// One line of a task file: what a row of the task list contributes.
struct TaskFileRow
{
    QString sourcePath;
    QString outputPath;
    QString profileName;
    QString sourceExt;         // lower case, without the dot
    QString profileColumnText; // the row's profile column: used when profileName is empty

    static TaskFileRow FromRecord(const TaskRecord &record, const QString &profileColumnText);
};

// The line of a row, line feed included:
// source "$" "  " output "$" " " profile "$" "  " extension "$" " " (reserved, empty) "$" LF.
QString TaskFileLine(const TaskFileRow &row);

// Writes a task file: UTF-16LE, the byte-order mark FF FE, one line per row in the
// order given. An existing file is truncated. Returns false when the file could not be
// created or written; the caller says nothing in either case.
bool WriteTaskFile(const QString &path, const QList<TaskFileRow> &rows);

// The save dialog of Save Task: "Select Task File To Save", only "*.tsk", suffix "tsk"
// added to a bare name, an existing file only, overwrite confirmed.
FileRequest SaveTaskFileRequest(const QString &startPath = QString());
