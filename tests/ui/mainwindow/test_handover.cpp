#include <QLocalSocket>
#include <QtTest>

#include "ui/mainwindow/PathReceiver.h"
#include "base/PathMessage.h"

#include <sys/stat.h>

namespace {
template <size_t N>
QByteArray bytes(const char (&text)[N])
{
    return QByteArray(text, N - 1); // NULs inside count
}

QByteArray message(const QByteArray &body)
{
    QByteArray out(4, '\0');
    qToBigEndian(quint32(body.size()), out.data());
    return out + body;
}
} // namespace

class TestHandover : public QObject
{
    Q_OBJECT

private slots:
    void reader_data()
    {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<QStringList>("paths");
        QTest::addColumn<bool>("refused");
        const QString odd = QStringLiteral("/m/\"a b\" $HOME;\n-x \u65e5\u672c.avi");
        QTest::newRow("sent by us") << PathMessage::Encode({"/a.avi", odd, "", "/b.mkv"})
                                    << QStringList{"/a.avi", odd, "/b.mkv"} << false;
        QTest::newRow("many at once") << PathMessage::Encode({"/1"}) + PathMessage::Encode({"/2", "/3"})
                                      << QStringList{"/1", "/2", "/3"} << false;
        QTest::newRow("invalid UTF-8 left out") << message(bytes("/ok\0/bad\xff\xfe\0/\xc3\0"))
                                                << QStringList{"/ok"} << false;
        QTest::newRow("unterminated last piece") << message(bytes("/one\0/two")) << QStringList{"/one"} << false;
        QTest::newRow("truncated message waits") << message(bytes("/whole\0")).chopped(2) << QStringList{} << false;
        const QStringList many(3000, QStringLiteral("/") + QString(500, u'p')); // too long for one message
        QTest::newRow("long list split into messages") << PathMessage::Encode(many) << many << false;
        QTest::newRow("oversized") << QByteArray("\x7f\xff\xff\xff/x", 6) << QStringList{} << true;
    }
    void reader()
    {
        QFETCH(QByteArray, stream);
        QFETCH(QStringList, paths);
        QFETCH(bool, refused);
        // Whatever pieces the socket delivers, the same paths come out.
        for (int piece : {1, 3, 7, int(stream.size())}) {
            PathMessageReader reader;
            QStringList got;
            for (qsizetype at = 0; at < stream.size(); at += piece)
                got += reader.Feed(QByteArrayView(stream).sliced(at, qMin<qsizetype>(piece, stream.size() - at)));
            QCOMPARE(got, paths);
            QCOMPARE(reader.Refused(), refused);
        }
    }

    void socketFolderIsPrivateAndOurs()
    {
        QTemporaryDir runtime;
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
        const QString name = PathReceiver::ServerNameFor(QStringLiteral("/opt/corvane/"));
        const QByteArray folder = QFile::encodeName(QFileInfo(name).path());
        // A link planted in the folder's place is not used.
        QVERIFY(QFile::link(QDir::tempPath(), QFileInfo(name).path()));
        QVERIFY(!PathReceiver().Listen(name));
        QVERIFY(QFile::remove(QFileInfo(name).path()));
        // A folder left open by someone is closed again before use.
        QVERIFY(mkdir(folder.constData(), 0777) == 0 && chmod(folder.constData(), 0777) == 0);
        PathReceiver receiver;
        QVERIFY(receiver.Listen(name));
        struct stat st;
        QCOMPARE(stat(folder.constData(), &st), 0);
        QCOMPARE(int(st.st_mode & 0777), 0700);

        QStringList received;
        connect(&receiver, &PathReceiver::pathReceived, this, [&](const QString &p) { received << p; });
        QVERIFY(PathReceiver::SendPaths(name, {"/x/one.avi", "/x/two.avi"}));
        QTRY_COMPARE(received, QStringList({"/x/one.avi", "/x/two.avi"}));

        // A peer that announces a huge message is cut off and the receiver goes on.
        QLocalSocket rogue;
        rogue.connectToServer(name);
        QVERIFY(rogue.waitForConnected(2000));
        rogue.write(QByteArray("\xff\xff\xff\xff", 4));
        QVERIFY(rogue.waitForBytesWritten(2000));
        QTRY_COMPARE(rogue.state(), QLocalSocket::UnconnectedState);
        QVERIFY(PathReceiver::SendPaths(name, {"/x/three.avi"}));
        QTRY_COMPARE(received.size(), 3);
    }
};

QTEST_GUILESS_MAIN(TestHandover)
#include "test_handover.moc"
