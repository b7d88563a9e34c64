#include <QtTest>

#include "core/conversion/EngineOutputParser.h"

namespace {
QByteArray progress(const char *time)
{
    return QByteArray("frame=  250 fps= 98 q=3.0 size=     812kB time=") + time + " bitrate= 665.2kbits/s";
}
QString withoutLineEnds(QString text)
{
    return text.remove(u'\r').remove(u'\n');
}
} // namespace

class TestOutputParser : public QObject
{
    Q_OBJECT

private slots:
    void percentOnlyWhenItChanges()
    {
        EngineOutputParser parser(100, 100, 0);
        auto first = parser.Feed(progress("1.00"));
        QCOMPARE(first.rowPercent, std::optional<int>(1));
        QCOMPARE(first.overall, std::optional<int>(1));
        QCOMPARE(*first.statusLine, QString::fromLatin1(progress("1.00")) + "\r\n");
        for (const char *t : {"1.40", "1.90"}) {
            auto later = parser.Feed(progress(t));
            QVERIFY(!later.rowPercent && !later.statusLine && !later.overall && !later.seeking);
        }
        QCOMPARE(parser.Feed(progress("2.00")).rowPercent, std::optional<int>(2));
    }

    void overallCountsEarlierTasks()
    {
        // Second task of a run of 40 s whose first task took 10 s.
        EngineOutputParser parser(30, 40, 10);
        auto d = parser.Feed(progress("15.0"));
        QCOMPARE(d.rowPercent, std::optional<int>(50));
        QCOMPARE(d.overall, std::optional<int>(62)); // trunc(25 * 100 / 40)
    }

    void seekingBeforeTheBarMoved()
    {
        EngineOutputParser parser(10, 10, 0);
        auto early = parser.Feed(progress("15.00"));
        QVERIFY(early.seeking);
        QCOMPARE(*early.statusLine, QStringLiteral("seeking..."));
        QVERIFY(!early.overall);
        auto normal = parser.Feed(progress("5.00"));
        QVERIFY(!normal.seeking);
        QCOMPARE(normal.overall, std::optional<int>(50));
        // Once the bar has moved, out-of-range times are shown as they are and the bar stops at 100.
        auto late = parser.Feed(progress("12.00"));
        QVERIFY(!late.seeking);
        QVERIFY(late.statusLine->contains("time=12.00"));
        QCOMPARE(late.overall, std::optional<int>(100));
    }

    void negativeTimesSeekToo()
    {
        EngineOutputParser parser(10, 10, 0);
        QVERIFY(parser.Feed(progress("-3.00")).seeking);
    }

    void unknownDurationShowsNothing()
    {
        EngineOutputParser parser(0, 0, 0);
        for (const char *t : {"1.00", "2.00", "3.00"}) {
            auto d = parser.Feed(progress(t));
            QVERIFY(!d.rowPercent && !d.statusLine && !d.overall && !d.seeking);
        }
        parser.Feed("Error while encoding");
        // Every chunk stays in the report.
        QCOMPARE(parser.HeaderText().count("time="), 3);
        QVERIFY(parser.HeaderText().endsWith("Error while encoding\r\n"));
        QVERIFY(!parser.SawGlobalHeaders());
    }

    void zeroTotalDoesNotBreak()
    {
        EngineOutputParser parser(10, 0, 0);
        auto d = parser.Feed(progress("5.00"));
        QCOMPARE(d.rowPercent, std::optional<int>(50));
        QVERIFY(d.seeking); // a run total of 0 cannot place the time
    }

    void timeWithoutBitrateKeepsCollecting()
    {
        EngineOutputParser parser(100, 100, 0);
        auto d = parser.Feed("Input #0, avi, from 'a.avi':\r\n  time=5.00 but no rate");
        QVERIFY(!d.rowPercent && !d.statusLine);
        parser.Feed("Stream #0.0: Video: mpeg4");
        parser.Feed(progress("10.00"));
        parser.Feed("after the first progress line");
        const QString header = parser.HeaderText();
        QVERIFY(header.startsWith("Input #0, avi, from 'a.avi':\r\n  time=5.00 but no rate\r\n"));
        QVERIFY(header.contains("Stream #0.0: Video: mpeg4\r\n"));
        QVERIFY(header.endsWith("time=10.00 bitrate= 665.2kbits/s\r\n"));
        QVERIFY(!header.contains("after the first"));
    }

    void successMarkerAnywhere()
    {
        EngineOutputParser first(0, 0, 0);
        first.Feed("video:700kB audio:157kB global headers:0kB muxing overhead 0.5%");
        QVERIFY(first.SawGlobalHeaders());
        EngineOutputParser later(10, 10, 0);
        later.Feed(progress("5.0"));
        QVERIFY(!later.SawGlobalHeaders());
        later.Feed(progress("10.0") + "\r\nvideo:7kB audio:1kB global headers:0kB muxing overhead 1%");
        QVERIFY(later.SawGlobalHeaders());
    }

    void splitProgressLineIsNotRecognised()
    {
        EngineOutputParser parser(100, 100, 0);
        QVERIFY(!parser.Feed("frame= 10 time=").rowPercent);
        QVERIFY(!parser.Feed("50.0 bitrate= 1k").rowPercent);
        QCOMPARE(parser.Feed(progress("51.0")).rowPercent, std::optional<int>(51));
    }

    // The same output cut into reads at every place gives the same verdict and text.
    void anySplitGivesTheSameResult_data()
    {
        QTest::addColumn<QByteArray>("output");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("success");
        const QString bad(QChar::ReplacementCharacter);
        QTest::newRow("marker") << QByteArray("frame=1\r\nvideo:7kB global headers:0kB\r\n")
                                << "frame=1video:7kB global headers:0kB" << true;
        QTest::newRow("two-byte letters") << QByteArray("from '\xc3\xa9t\xc3\xa9.mov':\r\n")
                                          << QString::fromUtf8("from '\xc3\xa9t\xc3\xa9.mov':") << false;
        QTest::newRow("four-byte letter") << QByteArray("'\xf0\x9f\x8e\xac.mkv' global headers:")
                                          << QString::fromUtf8("'\xf0\x9f\x8e\xac.mkv' global headers:") << true;
        QTest::newRow("invalid byte before the marker") << QByteArray("'\xf4global headers:0kB")
                                                        << "'" + bad + "global headers:0kB" << true;
        QTest::newRow("invalid start before a letter") << QByteArray("\xcb\xce\x8f!") << bad + QChar(0x38F) + "!" << false;
        QTest::newRow("surrogate and overlong") << QByteArray("\xed\xa0\x80\xc0\xaf") << QString(5, bad.front()) << false;
        QTest::newRow("byte-order mark inside") << QByteArray("a\xef\xbb\xbf b") << QString::fromUtf8("a\xef\xbb\xbf b") << false;
        QTest::newRow("cut marker is not a marker") << QByteArray("global head ers:") << "global head ers:" << false;
    }
    void anySplitGivesTheSameResult()
    {
        QFETCH(QByteArray, output);
        QFETCH(QString, text);
        QFETCH(bool, success);
        for (int cut = 0; cut <= output.size(); ++cut) {
            EngineOutputParser parser(0, 0, 0);
            parser.Feed(output.left(cut));
            parser.Feed(output.mid(cut));
            QCOMPARE(parser.SawGlobalHeaders(), success);
            QCOMPARE(withoutLineEnds(parser.HeaderText()), text);
        }
    }

    // What the engine said after its last progress line reaches the report, however the
    // reads cut it; before any progress the header holds everything.
    void closingLines_data()
    {
        QTest::addColumn<QByteArray>("output");
        QTest::addColumn<QString>("closing");
        const QByteArray head = "Input #0, mov, from 'a.mp4':\r\n";
        const QByteArray progress = "frame=  9 fps=9 q=1.0 size=  55kB time=1.97 bitrate= 227.8kbits/s\r";
        QTest::newRow("error after progress")
            << head + progress + progress + "\nWriting to 'out.mp4' failed: disk full\n" << "Writing to 'out.mp4' failed: disk full\r\n";
        QTest::newRow("nothing after progress") << head + progress << "";
        QTest::newRow("no progress") << head + "Unknown encoder 'x'\n" << "";
    }
    void closingLines()
    {
        QFETCH(QByteArray, output);
        QFETCH(QString, closing);
        for (int cut = 0; cut <= output.size(); ++cut) {
            EngineOutputParser parser(2, 2, 0);
            parser.Feed(output.left(cut));
            parser.Feed(output.mid(cut));
            QCOMPARE(parser.ClosingLines(), closing);
        }
    }

    void timeBeyondTheInput_data()
    {
        QTest::addColumn<double>("duration");
        QTest::addColumn<QByteArray>("time");
        QTest::addColumn<bool>("exceeds");
        QTest::newRow("within") << 100.0 << QByteArray("110.0") << false;
        QTest::newRow("at the limit") << 100.0 << QByteArray("120.0") << false;
        QTest::newRow("beyond") << 100.0 << QByteArray("120.5") << true;
        QTest::newRow("short clip, ten seconds of slack") << 3.0 << QByteArray("13.0") << false;
        QTest::newRow("short clip, hours") << 3.0 << QByteArray("7200.0") << true;
        QTest::newRow("unknown duration") << 0.0 << QByteArray("7200.0") << false;
    }
    void timeBeyondTheInput()
    {
        QFETCH(double, duration);
        QFETCH(QByteArray, time);
        QFETCH(bool, exceeds);
        EngineOutputParser parser(duration, duration, 0);
        parser.Feed(progress(time));
        parser.Feed(progress("1.0")); // a later, smaller time does not undo it
        QCOMPARE(parser.ExceedsInput(), exceeds);
    }
};

QTEST_GUILESS_MAIN(TestOutputParser)
#include "test_outputparser.moc"
