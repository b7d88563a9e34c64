#include "ui/mainwindow/PathReceiver.h"

#include "base/PathMessage.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <cerrno>
#include <memory>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The folder of this user's sockets, mode 0700: nobody else can reach them, and
// one that someone else made or made open is not used.
QString PrivateFolder()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const QString base = !runtime.isEmpty() && QFileInfo(runtime).isDir() ? runtime : QDir::tempPath();
    return base + QStringLiteral("/corvane-studio-%1").arg(getuid());
}

bool MakePrivateFolder(const QString &folder)
{
    const QByteArray path = QFile::encodeName(folder);
    if (mkdir(path.constData(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat st;
    if (lstat(path.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid())
        return false;
    return (st.st_mode & 0777) == 0700 || chmod(path.constData(), 0700) == 0;
}

bool FromThisUser(const QLocalSocket *socket)
{
    struct ucred peer;
    socklen_t size = sizeof peer;
    const int fd = int(socket->socketDescriptor());
    return fd >= 0 && getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == getuid();
}

} // namespace

PathReceiver::PathReceiver(QObject *parent) : QObject(parent), m_server(new QLocalServer(this))
{
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &PathReceiver::OnNewConnection);
}

QString PathReceiver::ServerNameFor(const QString &programFolder)
{
    const QByteArray hash = QCryptographicHash::hash(programFolder.toUtf8(), QCryptographicHash::Sha1).toHex().left(12);
    return PrivateFolder() + u'/' + QString::fromLatin1(hash);
}

bool PathReceiver::Listen(const QString &name)
{
    if (!MakePrivateFolder(QFileInfo(name).path()))
        return false;
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
    return m_server->fullServerName();
}

bool PathReceiver::SendPaths(const QString &name, const QStringList &paths, int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(PathMessage::Encode(paths));
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
        if (!FromThisUser(socket)) {
            socket->abort();
            continue;
        }
        auto reader = std::make_shared<PathMessageReader>();
        connect(socket, &QLocalSocket::readyRead, this, [this, socket, reader] {
            for (const QString &path : reader->Feed(socket->readAll()))
                emit pathReceived(path);
            if (reader->Refused())
                socket->abort();
        });
    }
}
