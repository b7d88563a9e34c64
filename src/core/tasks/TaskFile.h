#pragma once
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

#include "base/FileRequest.h"

class AppFolders;
class TaskList;
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

// One line read back, line feed taken off; none when it is not a task line. Paths may hold
// "$" unescaped, so the line is read from the right: the extension and the profile hold
// none, and the source is the part that ends in its own extension.
std::optional<TaskFileRow> ParseTaskFileLine(const QString &line);

// A task file read back: its rows in file order, and a message naming each line that
// could not be read. UTF-16LE with its mark as written; UTF-8 is accepted too.
struct TaskFileContents
{
    bool opened = false;
    QList<TaskFileRow> rows;
    QList<int> lineNumbers; // of each row, from 1
    QStringList problems;
};
TaskFileContents ReadTaskFile(const QString &path);

// Lists the rows of a task file at the end of the list, each with its own profile and
// output path. A row whose source is missing, already listed, or whose profile is unknown
// is left out with a message naming its line; returns the messages.
QStringList AddTaskFileRows(TaskList &tasks, const TaskFileContents &contents, const AppFolders &folders);

// The save dialog of Save Task: "Select Task File To Save", only "*.tsk", suffix "tsk"
// added to a bare name, overwrite confirmed.
FileRequest SaveTaskFileRequest(const QString &startPath = QString());
// The open dialog of Open Task: existing "*.tsk" files, one at a time.
FileRequest OpenTaskFileRequest(const QString &startPath = QString());
