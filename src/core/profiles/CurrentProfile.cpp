#include "core/profiles/CurrentProfile.h"

#include "core/profiles/ParamFileWriter.h"
#include "core/profiles/ParamOptions.h"
#include "core/profiles/ProfileCatalogue.h"

QMutex &ParamTreeMutex()
{
    static QMutex mutex;
    return mutex;
}

std::unique_ptr<ParamCell> SnapshotTree(const ParamCell *root)
{
    QMutexLocker lock(&ParamTreeMutex());
    return CloneCells(root);
}

CurrentProfile::CurrentProfile(AppFolders folders) : m_folders(std::move(folders)) {}

void CurrentProfile::Select(const QString &name)
{
    const QString file = ProfileFile(name, m_folders);
    // Read the new tree before taking the lock; the swap itself is quick.
    CMpegStructs fresh;
    fresh.LoadFromFile(file);
    const int aspectMode = GetAspectMode(fresh.GetRoot());
    const QString summary = BuildProfileSummary(fresh.GetRoot());

    QMutexLocker lock(&ParamTreeMutex());
    m_SetParamCells = std::move(fresh); // frees the previous tree
    m_name = name;
    m_file = file;
    m_aspectMode = aspectMode;
    m_summary = summary;
}

void CurrentProfile::SetAspectMode(int mode)
{
    QMutexLocker lock(&ParamTreeMutex());
    m_aspectMode = mode;
}

void CurrentProfile::RefreshSummary()
{
    // Only this thread changes the tree, so it may be read without the lock.
    const QString summary = BuildProfileSummary(m_SetParamCells.GetRoot());
    QMutexLocker lock(&ParamTreeMutex());
    m_summary = summary;
}

ProfileSnapshot CurrentProfile::Snapshot() const
{
    QMutexLocker lock(&ParamTreeMutex());
    ProfileSnapshot snapshot;
    // Texts of their own, so the worker never shares text with what this thread changes.
    snapshot.name = QString(m_name.constData(), m_name.size());
    snapshot.file = QString(m_file.constData(), m_file.size());
    snapshot.summary = QString(m_summary.constData(), m_summary.size());
    snapshot.aspectMode = m_aspectMode;
    snapshot.tree = CloneCells(m_SetParamCells.GetRoot());
    return snapshot;
}

bool CurrentProfile::SaveUserCopy(QString *error)
{
    const QString path = m_folders.UserDataFile(ProfileMap::Instance().Lookup(m_name));
    if (m_name.isEmpty() || path.isEmpty()) {
        *error = QStringLiteral("the profile has no parameter file of its own");
        return false;
    }
    std::unique_ptr<ParamCell> tree = CloneCells(Tree());
    // The aspect mode chosen in the grid lives beside the tree; in the file it is the
    // aspect cell's chosen entry.
    if (ParamCell *aspect = FindCell(tree.get(), QStringLiteral("aspect")); aspect && m_aspectMode >= 0) {
        for (int k = 0; k < aspect->EntryCount(); ++k)
            if (AspectModeOfEntry(aspect->Entry(k)) == m_aspectMode) {
                aspect->sDefault = k;
                break;
            }
        if (aspect->UsedType == ParamCell::kUserValue)
            aspect->UsedType = 0;
    }
    const ParamFileContent content{tree.get(), m_SetParamCells.m_strValues, m_SetParamCells.m_strTargetType, m_name};
    if (QString reason; !WriteParamFile(path, content, &reason)) {
        *error = QStringLiteral("%1: %2").arg(path, reason);
        return false;
    }
    QMutexLocker lock(&ParamTreeMutex());
    m_file = path;
    return true;
}
