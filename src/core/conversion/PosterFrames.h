#pragma once
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

class QProcess;
class QTimer;

// A file's poster frame: a still at a tenth of its duration, made by the engine in the
// background and kept in the cache folder under a key of the file's path, size and
// modification time, so a changed file gets a new one.
class PosterFrames : public QObject
{
    Q_OBJECT
public:
    struct Request
    {
        QString source;
        double durationSeconds = 0;
        QString videoSize; // the probe's frame-size field; empty for a file without video
        bool selected = false; // the user is looking at it: made even while held
    };

    explicit PosterFrames(const QString &cacheFolder, QObject *parent = nullptr);
    ~PosterFrames() override;

    // The picture's file for the source as it is now; empty until one has been made.
    QString CachedFile(const QString &source) const;
    // The posters wanted now, most wanted first. Requests not started yet that are no
    // longer wanted are dropped; files without video, cached ones and ones the engine
    // could not make are passed over.
    void Want(const QList<Request> &requests);
    // While held, only selected files' posters are made: the others would take
    // cores from the conversions the user is waiting for.
    void SetHeld(bool held);
    // Engine runs started so far (made or failed).
    int EngineRuns() const { return m_runs; }

signals:
    void ready(const QString &source, const QString &pictureFile);

private:
    void StartNext();
    void Finished(bool made);
    QString KeyFile(const QString &source) const;

    QString m_folder; // ends in "/"
    QList<Request> m_pending;
    QSet<QString> m_failed; // picture files the engine could not make
    QProcess *m_engine = nullptr;
    QTimer *m_deadline = nullptr;
    Request m_current;
    QString m_currentFile;
    int m_runs = 0;
    bool m_held = false;
};
