#pragma once
#include <QDateTime>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

// The media files that appear in one folder (not its subfolders), each handed out once
// its size and time have stayed the same for a while: a file still being copied or
// downloaded is left alone until it is complete.
class FolderWatch
{
public:
    explicit FolderWatch(QString folder, qint64 settleMs = 2000);

    // Paths never to hand out: files converted before, and the outputs of conversions.
    void Ignore(const QString &path) { m_taken.insert(path); }
    // Looks at the folder; returns the files that have settled since the last look, in name order.
    QStringList Settled(qint64 nowMs);

private:
    struct Seen
    {
        qint64 size = -1;
        QDateTime modified;
        qint64 since = 0; // when it was last seen changing
    };
    const QString m_folder;
    const qint64 m_settleMs;
    QHash<QString, Seen> m_pending;
    QSet<QString> m_taken;
};
