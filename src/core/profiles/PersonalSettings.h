#pragma once
#include <QString>
#include <QStringList>
#include <memory>

struct ParamCell;
struct TaskRecord;

// The rules behind a task's own settings (the "Personal Set" dialog), without a window.

// The entry of a profile list whose text begins with prefix, letter case ignored. The
// search starts at entry 1 and comes back to entry 0 last, as a combo box's prefix search
// from entry 0 does. -1 when no entry matches.
int FindProfileEntry(const QStringList &entries, const QString &prefix);

// The output after another profile was chosen: folder and name of outputPath with the
// profile's extension, made unique. With no output yet, the source's folder and name.
QString OutputForProfile(const QString &outputPath, const QString &sourcePath, const QString &targetType);

// The output of a task that follows the main window: the global destination (or the
// source's own folder while none is chosen), the source's name and the target type,
// made unique.
QString GlobalOutputFor(const QString &globalDestination, const QString &sourcePath, const QString &targetType);

// The folder a task's first output goes to when it has none: the dialog's destination,
// else the saved default folder, else the source's own folder; always ending in "/".
QString FirstOutputFolder(const QString &dialogDestination, const QString &savedPath, const QString &sourcePath);

// The task's own tree: replaced (null frees it) under the tree lock, since a conversion
// may be copying it.
void ReplaceTaskTree(TaskRecord &task, std::unique_ptr<ParamCell> tree);

// The task becomes personal: useGlobalOutput 0 and, when it has no tree of its own yet, a
// copy of the current tree with the current aspect mode.
void MakeTaskPersonal(TaskRecord &task, const ParamCell *currentTree, int currentAspectMode);

// A new input for the task: source path, base name, folder and extension (the name
// column shows the input's own name, so the extension follows the source).
void SetTaskSource(TaskRecord &task, const QString &path);
