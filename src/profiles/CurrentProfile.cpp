#include "profiles/CurrentProfile.h"

#include "profiles/ParamOptions.h"
#include "profiles/ProfileCatalogue.h"

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

CurrentProfile::CurrentProfile(QString programFolder) : m_programFolder(std::move(programFolder)) {}

void CurrentProfile::Select(const QString &name)
{
    const QString file = m_programFolder + ProfileMap::Instance().Lookup(name);
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
