// The preview library itself, with the null outputs (CTest runs offscreen), on a
// ten-second clip made for the test.
#include <QtTest>

#include <atomic>
#include <thread>

#include "preview.h"
#include "support/TestSupport.h"

namespace {

struct Position
{
    int pos = -2;
    int len = -2;
};

Position Poll()
{
    Position p;
    player_getpos(&p.pos, &p.len);
    return p;
}

} // namespace

class TestPreviewLib : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void positionBeforeStart();
    void callsBeforeAnyFileAreHarmless();
    void startAndAdvance();
    void seekHalfway();
    void pauseHoldsAndResumes();
    void endAndBackToStart();
    void initAgainKeepsPlaying();
    void stop();
    void missingFile();
    void emptyPath();
    void awkwardPath();
    void stopFromAnotherThreadWhilePolling();
    void cleanupTestCase();

private:
    void startClip(const QString &path);

    QTemporaryDir m_dir;
    QString m_clip;
};

void TestPreviewLib::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_clip = m_dir.filePath(QStringLiteral("ten seconds.avi"));
    TestSupport::ClipSpec spec;
    spec.seconds = 10;
    const QString output = TestSupport::MakeClip(m_clip, spec);
    QVERIFY2(QFileInfo(m_clip).size() > 0, qPrintable(output));
}

void TestPreviewLib::positionBeforeStart()
{
    const Position p = Poll();
    QCOMPARE(p.pos, -1);
    QCOMPARE(p.len, -1);
    player_getpos(nullptr, nullptr); // must not crash
}

void TestPreviewLib::callsBeforeAnyFileAreHarmless()
{
    player_init(0);
    player_pause();
    player_seek(50);
    player_resize(0);
    player_stop();
    const Position p = Poll();
    QCOMPARE(p.pos, -1);
    QCOMPARE(p.len, -1);
}

void TestPreviewLib::startClip(const QString &path)
{
    player_init(0);
    player_start(QFile::encodeName(path).constData());
    QTRY_COMPARE_WITH_TIMEOUT(Poll().len, 10, 10000);
}

void TestPreviewLib::startAndAdvance()
{
    startClip(m_clip);
    const Position first = Poll();
    QVERIFY(first.pos >= 0);
    QVERIFY(first.pos < 3);
    QTRY_VERIFY_WITH_TIMEOUT(Poll().pos >= first.pos + 1, 10000);
    QCOMPARE(Poll().len, 10);
}

void TestPreviewLib::seekHalfway()
{
    QVERIFY(Poll().pos < 4);
    player_seek(50);
    QTRY_VERIFY_WITH_TIMEOUT(Poll().pos >= 5, 10000);
    QVERIFY2(Poll().pos <= 7, "landed near five seconds");
}

void TestPreviewLib::pauseHoldsAndResumes()
{
    player_seek(20);
    QTRY_VERIFY_WITH_TIMEOUT(Poll().pos == 2, 10000);
    player_pause();
    QTest::qWait(300);
    const int held = Poll().pos;
    QVERIFY(held >= 2 && held <= 3);
    // Well over a second of wall time: a running clip would have moved on.
    QTest::qWait(1500);
    QCOMPARE(Poll().pos, held);
    QCOMPARE(Poll().len, 10);
    player_pause();
    QTRY_VERIFY_WITH_TIMEOUT(Poll().pos > held, 10000);
}

void TestPreviewLib::endAndBackToStart()
{
    // At the end the position reads as the length, and going back plays on.
    player_seek(100);
    QTRY_VERIFY_WITH_TIMEOUT(Poll().pos == 10, 10000);
    player_seek(0);
    QTRY_VERIFY_WITH_TIMEOUT(Poll().pos < 2, 10000);
    const int from = Poll().pos;
    QTRY_VERIFY_WITH_TIMEOUT(Poll().pos > from, 10000);
}

void TestPreviewLib::initAgainKeepsPlaying()
{
    // The program calls init at every Play; the same window must not end playback.
    player_seek(30);
    QTRY_VERIFY_WITH_TIMEOUT(Poll().pos == 3, 10000);
    player_init(0);
    const Position p = Poll();
    QCOMPARE(p.len, 10);
    QVERIFY(p.pos >= 3);
}

void TestPreviewLib::stop()
{
    player_stop();
    const Position p = Poll();
    QCOMPARE(p.pos, -1);
    QCOMPARE(p.len, -1);
    // Pause and seek with nothing open do nothing, and a new start works.
    player_pause();
    player_seek(50);
    QCOMPARE(Poll().len, -1);
    startClip(m_clip);
    QVERIFY(Poll().pos < 5);
}

void TestPreviewLib::missingFile()
{
    player_stop();
    player_start(QFile::encodeName(m_dir.filePath(QStringLiteral("no such file.avi"))).constData());
    QTest::qWait(500);
    Position p = Poll();
    QCOMPARE(p.pos, -1);
    QCOMPARE(p.len, -1);
    player_pause();
    player_seek(50);
    player_stop();
    // A file that is not media.
    const QString text = m_dir.filePath(QStringLiteral("notes.avi"));
    QFile f(text);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(4096, 'x'));
    f.close();
    player_start(QFile::encodeName(text).constData());
    QTest::qWait(500);
    p = Poll();
    QCOMPARE(p.len, -1);
    // And the player is still fine.
    startClip(m_clip);
}

void TestPreviewLib::emptyPath()
{
    startClip(m_clip);
    player_start("");
    const Position p = Poll();
    QCOMPARE(p.pos, -1);
    QCOMPARE(p.len, -1);
    player_start(nullptr);
    QCOMPARE(Poll().len, -1);
}

void TestPreviewLib::awkwardPath()
{
    const QString odd = m_dir.filePath(QStringLiteral("a \"b\" $HOME 'c' \u041a\u0438\u043d\u043e \u6620\u753b.avi"));
    QVERIFY(QFile::copy(m_clip, odd));
    startClip(odd);
    player_stop();
}

void TestPreviewLib::stopFromAnotherThreadWhilePolling()
{
    // The conversion thread stops the preview while the window polls the position.
    startClip(m_clip);
    std::atomic<bool> done{false};
    std::thread worker([&] {
        for (int i = 0; i < 20; ++i) {
            int p = 0, d = 0;
            player_getpos(&p, &d);
            player_seek(0);
            player_stop();
            player_init(0);
            player_start(QFile::encodeName(m_clip).constData());
        }
        player_stop();
        done = true;
    });
    int polls = 0;
    int odd = 0;
    while (!done) {
        const Position p = Poll();
        if (p.pos < -1 || p.pos > 10 || (p.len != -1 && p.len != 10))
            ++odd;
        ++polls;
        std::this_thread::yield();
    }
    worker.join();
    QVERIFY(polls > 0);
    QCOMPARE(odd, 0);
    QCOMPARE(Poll().len, -1);
}

void TestPreviewLib::cleanupTestCase()
{
    player_stop();
}

QTEST_GUILESS_MAIN(TestPreviewLib)
#include "test_previewlib.moc"
