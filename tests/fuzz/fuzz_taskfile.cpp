// A task file of any content: reading it never fails, and every line it takes for a task
// is written back by Save Task exactly as it was read.
#include "FuzzSupport.h"
#include "core/tasks/TaskFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("fuzz.tsk"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        file.write(Fuzz::View(data, size).toByteArray());
    }
    const TaskFileContents contents = ReadTaskFile(path);
    if (!contents.opened || contents.rows.size() != contents.lineNumbers.size())
        std::abort();
    for (const TaskFileRow &row : contents.rows)
        if (row.sourceExt.contains(u'$') || !ParseTaskFileLine(TaskFileLine(row).chopped(1)))
            std::abort();

    // The same bytes as one line: parsed, it is the line Save Task writes.
    const QString line = QString::fromUtf8(Fuzz::View(data, size).toByteArray());
    if (const std::optional<TaskFileRow> row = ParseTaskFileLine(line))
        if (TaskFileLine(*row) != line + u'\n')
            std::abort();
    return 0;
}
