#pragma once
#include <QMutex>
#include <QString>
#include <memory>

#include "core/settings/AppFolders.h"
#include "core/profiles/CMpegStructs.h"

// Held while the window edits a tree the conversion worker may read (a cell changed in
// place, a tree replaced) and while the worker copies such a tree. Keep it short: never
// wait on the other thread while holding it.
QMutex &ParamTreeMutex();

// An independent copy of a tree, taken under ParamTreeMutex. Safe from any thread as long
// as the tree is only changed under that lock.
std::unique_ptr<ParamCell> SnapshotTree(const ParamCell *root);

// What a conversion needs of the current profile, copied at one moment.
struct ProfileSnapshot
{
    QString name;
    QString file;
    QString summary;
    int aspectMode = -1;
    std::shared_ptr<const ParamCell> tree; // a copy: later edits and profile changes do not touch it
};

// The profile chosen in the main window: its name, its parameter file, its tree (held by
// m_SetParamCells), its aspect mode and summary. New tasks copy these. Changed on the
// user-interface thread only; the worker takes a Snapshot().
class CurrentProfile
{
public:
    explicit CurrentProfile(AppFolders folders = AppFolders::Current());

    void SetFolders(const AppFolders &folders) { m_folders = folders; }

    // Makes the named profile current: its file is the user's own copy when one was saved,
    // else the shipped one (ProfileFile); loads the tree and refreshes aspect mode and
    // summary. An unknown name, or a missing file, gives a tree with only its root.
    void Select(const QString &name);

    // Writes the tree with its edits and the current aspect mode as the user's own copy of
    // the profile, which later selections read; the shipped file is never touched. False,
    // with a reason in *error, when there is no profile or the copy cannot be written.
    bool SaveUserCopy(QString *error);

    const QString &Name() const { return m_name; }
    const QString &File() const { return m_file; }
    const QString &Summary() const { return m_summary; }
    int AspectMode() const { return m_aspectMode; }
    ParamCell *Tree() const { return m_SetParamCells.GetRoot(); }
    const CMpegStructs &Container() const { return m_SetParamCells; }

    void SetAspectMode(int mode);
    // The summary made again from the tree (after edits in the Detail dialog).
    void RefreshSummary();

    // For the worker: name, file, summary, aspect mode and a copy of the tree.
    ProfileSnapshot Snapshot() const;

private:
    AppFolders m_folders;
    QString m_name;
    QString m_file;
    QString m_summary;
    int m_aspectMode = -1;
    CMpegStructs m_SetParamCells;
};
