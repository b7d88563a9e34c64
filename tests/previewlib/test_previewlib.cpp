// The preview library itself, with the null outputs (CTest runs offscreen), on a
// ten-second clip made for the test.
#include <QtTest>

#include <atomic>
#include <thread>

#include "preview.h"
#include "support/TestSupport.h"

namespace {

std::pair<int, int> Poll()
{
    int position = -2, length = -2;
    player_getpos(&position, &length);
    return {position, length};
}
const std::pair<int, int> Nothing{-1, -1};

} // namespace

class TestPreviewLib : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_clip;

    void playClip(const QString &path)
    {
        player_init(0);
        player_start(QFile::encodeName(path).constData());
        // A sanitized build on a busy machine takes its time to open the file.
        QTRY_COMPARE_WITH_TIMEOUT(Poll().second, 10, 30000);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_clip = m_dir.filePath("ten seconds.avi");
        const QString output = TestSupport::MakeClip(m_clip, {.seconds = 10});
        QVERIFY2(QFileInfo(m_clip).size() > 0, qPrintable(output));
    }
    void cleanup() { player_stop(); }

    void playback()
    {
        // Calls before any file do nothing.
        QCOMPARE(Poll(), Nothing);
        player_getpos(nullptr, nullptr);
        player_init(0);
        player_pause();
        player_seek(50);
        player_resize(0);
        player_stop();
        QCOMPARE(Poll(), Nothing);

        playClip(m_clip);
        const int first = Poll().first;
        QVERIFY(first >= 0 && first < 3);
        QTRY_VERIFY_WITH_TIMEOUT(Poll().first >= first + 1, 10000);

        player_seek(50);
        QTRY_VERIFY_WITH_TIMEOUT(Poll().first >= 5, 10000);
        QVERIFY2(Poll().first <= 7, "landed near five seconds");

        player_seek(20);
        QTRY_COMPARE_WITH_TIMEOUT(Poll().first, 2, 10000);
        player_pause();
        QTest::qWait(300);
        const std::pair<int, int> held = Poll();
        QVERIFY(held.first >= 2 && held.first <= 3);
        QTest::qWait(1500); // well over a second: a running clip would have moved on
        QCOMPARE(Poll(), held);
        player_pause();
        QTRY_VERIFY_WITH_TIMEOUT(Poll().first > held.first, 10000);

        // At the end the position reads as the length, and going back plays on.
        player_seek(100);
        QTRY_COMPARE_WITH_TIMEOUT(Poll().first, 10, 10000);
        player_seek(0);
        QTRY_VERIFY_WITH_TIMEOUT(Poll().first < 2, 10000);
        const int from = Poll().first;
        QTRY_VERIFY_WITH_TIMEOUT(Poll().first > from, 10000);

        // The program calls init at every Play; the same window must not end playback.
        player_init(0);
        QCOMPARE(Poll().second, 10);

        player_stop();
        QCOMPARE(Poll(), Nothing);
        player_pause();
        player_seek(50);
        QCOMPARE(Poll(), Nothing);
    }

    // With a picture a second and no sound the last picture starts a second before the end:
    // played into the end, the position still reads as the length.
    void endOfSparsePictures()
    {
        const QString sparse = m_dir.filePath("one picture a second.avi");
        TestSupport::MakeClip(sparse, {.seconds = 10, .rate = 1, .audio = false});
        playClip(sparse);
        player_seek(85);
        QTRY_COMPARE_WITH_TIMEOUT(Poll().first, 10, 10000);
    }

    void paths_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("kind");
        QTest::newRow("missing file") << "no such file.avi" << "missing";
        QTest::newRow("not media") << "notes.avi" << "text";
        QTest::newRow("empty path") << "" << "empty";
        QTest::newRow("blanks, quotes, dollar, non-Latin")
            << "a \"b\" $HOME 'c' \u041a\u0438\u043d\u043e \u6620\u753b.avi" << "clip";
    }
    void paths()
    {
        QFETCH(QString, name);
        QFETCH(QString, kind);
        const QString path = kind == u"empty" ? QString() : m_dir.filePath(name);
        QFile file(path);
        if (kind == u"text")
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(QByteArray(4096, 'x')) && file.flush());
        else if (kind == u"clip")
            QVERIFY(QFile::copy(m_clip, path));
        if (kind == u"clip")
            return playClip(path);
        playClip(m_clip);
        player_start(QFile::encodeName(path).constData()); // replaces what plays
        QTest::qWait(500);
        QCOMPARE(Poll(), Nothing);
        player_pause();
        player_seek(50);
        player_start(nullptr);
        QCOMPARE(Poll(), Nothing);
        playClip(m_clip); // and the player is still fine
    }

    void stopFromAnotherThreadWhilePolling()
    {
        // The conversion thread stops the preview while the window polls the position.
        playClip(m_clip);
        std::atomic<bool> done{false};
        std::thread worker([&] {
            for (int i = 0; i < 20; ++i) {
                player_seek(0);
                player_stop();
                player_init(0);
                player_start(QFile::encodeName(m_clip).constData());
            }
            player_stop();
            done = true;
        });
        int polls = 0, odd = 0;
        for (; !done; ++polls) {
            const auto [position, length] = Poll();
            odd += position < -1 || position > 10 || (length != -1 && length != 10);
        }
        worker.join();
        QVERIFY(polls > 0);
        QCOMPARE(odd, 0);
        QCOMPARE(Poll(), Nothing);
    }
};

QTEST_GUILESS_MAIN(TestPreviewLib)
#include "test_previewlib.moc"
