#pragma once
#include <QObject>
#include <QStringList>

class QLocalServer;

// Hands paths from a second start of the program to the running window: the
// running window listens on a local socket in a folder only this user can open
// (and ignores connections from other users), a second start with paths sends
// them there and ends.
class PathReceiver : public QObject
{
    Q_OBJECT
public:
    explicit PathReceiver(QObject *parent = nullptr);
    // Listens under name; false when another window already does.
    bool Listen(const QString &name);
    QString ServerName() const;

    // The socket name of the running program of this user and program folder.
    static QString ServerNameFor(const QString &programFolder);
    // Sends paths to the window listening under name; false when none listens.
    static bool SendPaths(const QString &name, const QStringList &paths, int timeoutMs = 3000);

signals:
    void pathReceived(const QString &path);

private:
    void OnNewConnection();
    QLocalServer *m_server;
};
