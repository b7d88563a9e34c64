#include "headless/FolderWatch.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

#include "core/tasks/MediaFileTypes.h"

FolderWatch::FolderWatch(QString folder, qint64 settleMs) : m_folder(std::move(folder)), m_settleMs(settleMs)
{
}

QStringList FolderWatch::Settled(qint64 nowMs)
{
    QStringList settled;
    QSet<QString> present;
    const QFileInfoList entries = QDir(m_folder).entryInfoList(QDir::Files | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QFileInfo &info : entries) {
        const QString path = info.absoluteFilePath();
        if (m_taken.contains(path) || info.fileName().startsWith(u'.') || !IsMediaFileName(path))
            continue;
        present.insert(path);
        Seen &seen = m_pending[path];
        if (seen.size != info.size() || seen.modified != info.lastModified()) {
            seen = {info.size(), info.lastModified(), nowMs};
        } else if (nowMs - seen.since >= m_settleMs && seen.size > 0) {
            settled << path;
            m_taken.insert(path);
            m_pending.remove(path);
        }
    }
    // A file that went away before it settled is forgotten.
    for (auto it = m_pending.begin(); it != m_pending.end();)
        it = present.contains(it.key()) ? std::next(it) : m_pending.erase(it);
    std::sort(settled.begin(), settled.end(), NaturalLess);
    return settled;
}
