#include "app/PathReceiver.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QLocalServer>
#include <QLocalSocket>
#include <unistd.h>

PathReceiver::PathReceiver(QObject *parent) : QObject(parent), m_server(new QLocalServer(this))
{
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &PathReceiver::OnNewConnection);
}

QString PathReceiver::ServerNameFor(const QString &programFolder)
{
    const QByteArray hash = QCryptographicHash::hash(programFolder.toUtf8(), QCryptographicHash::Sha1).toHex().left(12);
    return QStringLiteral("corvane-studio-%1-%2").arg(getuid()).arg(QString::fromLatin1(hash));
}

bool PathReceiver::Listen(const QString &name)
{
    if (m_server->listen(name))
        return true;
    // A socket file left by a program that died is in the way; one that answers is not.
    QLocalSocket probe;
    probe.connectToServer(name);
    if (probe.waitForConnected(500))
        return false;
    QLocalServer::removeServer(name);
    return m_server->listen(name);
}

QString PathReceiver::ServerName() const
{
    return m_server->serverName();
}

bool PathReceiver::SendPaths(const QString &name, const QStringList &paths, int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    QByteArray payload;
    QDataStream out(&payload, QIODevice::WriteOnly);
    out << paths;
    QByteArray framed;
    QDataStream frame(&framed, QIODevice::WriteOnly);
    frame << quint32(payload.size());
    framed += payload;
    socket.write(framed);
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(timeoutMs);
    return true;
}

void PathReceiver::OnNewConnection()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            // A message is a 32-bit length and a QStringList; wait until it is whole.
            while (true) {
                const QByteArray buffered = socket->peek(4);
                if (buffered.size() < 4)
                    return;
                QDataStream head(buffered);
                quint32 length = 0;
                head >> length;
                if (length > 64 * 1024 * 1024) {
                    socket->abort(); // not one of ours
                    return;
                }
                if (socket->bytesAvailable() < qint64(4 + length))
                    return;
                socket->read(4);
                QDataStream in(socket->read(length));
                QStringList paths;
                in >> paths;
                for (const QString &path : paths)
                    emit pathReceived(path);
            }
        });
    }
}
