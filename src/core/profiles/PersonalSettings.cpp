#include "core/profiles/PersonalSettings.h"

#include <QMutexLocker>

#include "core/tasks/TaskRecord.h"
#include "core/conversion/OutputNaming.h"
#include "core/profiles/CMpegStructs.h"
#include "core/profiles/CurrentProfile.h"

int FindProfileEntry(const QStringList &entries, const QString &prefix)
{
    const int count = int(entries.size());
    for (int step = 1; step <= count; ++step) {
        const int i = step % count; // 1, 2, ..., count-1, then 0
        if (entries.at(i).startsWith(prefix, Qt::CaseInsensitive))
            return i;
    }
    return -1;
}

QString OutputForProfile(const QString &outputPath, const QString &sourcePath, const QString &targetType)
{
    const PathParts parts = SplitPath(outputPath.isEmpty() ? sourcePath : outputPath);
    return MakeUniqueOutputPath(parts.folder + parts.name + u'.' + targetType);
}

QString GlobalOutputFor(const QString &globalDestination, const QString &sourcePath, const QString &targetType)
{
    return ComposeOutputPath(OutputFolderFor(globalDestination, sourcePath), SplitPath(sourcePath).name, targetType);
}

QString FirstOutputFolder(const QString &dialogDestination, const QString &savedPath, const QString &sourcePath)
{
    QString folder = dialogDestination.isEmpty() ? savedPath : dialogDestination;
    folder = OutputFolderFor(folder, sourcePath);
    if (!folder.endsWith(u'/'))
        folder += u'/';
    return folder;
}

void ReplaceTaskTree(TaskRecord &task, std::unique_ptr<ParamCell> tree)
{
    std::unique_ptr<ParamCell> old;
    {
        QMutexLocker lock(&ParamTreeMutex());
        old = std::move(task.paramTree);
        task.paramTree = std::move(tree);
    }
    // The old tree is freed outside the lock.
}

void MakeTaskPersonal(TaskRecord &task, const ParamCell *currentTree, int currentAspectMode)
{
    task.useGlobalOutput = 0;
    if (task.paramTree)
        return;
    ReplaceTaskTree(task, SnapshotTree(currentTree));
    task.aspectMode = currentAspectMode; // the copy converts with the mode the current tree has now
}

void SetTaskSource(TaskRecord &task, const QString &path)
{
    const PathParts parts = SplitPath(path);
    task.sourcePath = path;
    task.baseName = parts.name;
    task.sourceFolder = parts.folder;
    task.sourceExt = parts.extension.mid(1).toLower();
}
