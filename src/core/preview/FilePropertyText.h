#pragma once
#include <QString>
#include <QStringList>

struct TaskRecord;

// The information text of the File Property dialog: the task's name, folder and size, then
// its media information as the engine printed it, in a fixed layout of CR LF lines (the
// text starts with a blank and ends with two tabs).
QString FilePropertyText(const TaskRecord &task);

// The layout itself, with "%s" placeholders filled in order by values (inserted unchanged).
extern const char kFilePropertyFormat[];
QString FillPlaceholders(const QString &format, const QStringList &values);
