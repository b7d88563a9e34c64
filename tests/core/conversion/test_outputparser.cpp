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
// Engine output, the header text read from it (null: not looked at), whether it saw the success
// marker, and the lines kept to explain an end.
struct Read { QByteArray output; QString text; bool success; QString closing; };
} // namespace

class TestOutputParser : public QObject
{
    Q_OBJECT

private slots:
    // What each progress line shows. A feed is a time for a progress line at it, or, with a
    // blank in it, a chunk as the engine wrote it. Per feed: "row=N", "all=N" (the overall
    // bar), "line" or "seeking" (the status cell), "-" for nothing new.
    void display_data()
    {
        QTest::addColumn<QList<double>>("seconds"); // of the task, of the run, of the tasks before
        QTest::addColumn<QString>("feeds");
        QTest::addColumn<QString>("shown");
        QTest::newRow("only what changes") << QList<double>{100, 100, 0} << "1.00|1.40|1.90|2.00" << "row=1 all=1 line|-|-|row=2 all=2 line";
        QTest::newRow("earlier tasks count in the bar") << QList<double>{30, 40, 10} << "15.0" << "row=50 all=62 line";
        QTest::newRow("seeking until the bar moved") << QList<double>{10, 10, 0} << "15.00|5.00|12.00"
                                                     << "row=150 seeking|row=50 all=50 line|row=120 all=100 line";
        QTest::newRow("negative times seek too") << QList<double>{10, 10, 0} << "-3.00" << "row=-30 seeking";
        QTest::newRow("a time without a bit rate shows nothing") << QList<double>{100, 100, 0} << "Input #0 time=5.00 but no rate" << "-";
        QTest::newRow("unknown length shows nothing") << QList<double>{0, 0, 0} << "1.00|2.00" << "-|-";
        QTest::newRow("a run total of 0 cannot place the time") << QList<double>{10, 0, 0} << "5.00" << "row=50 seeking";
        QTest::newRow("a progress line cut by the reads") << QList<double>{100, 100, 0} << "frame= 10 time=|50.0 bitrate= 1k|51.0"
                                                          << "-|-|row=51 all=51 line";
        QTest::newRow("two progress lines in one read: the later whole one counts")
            << QList<double>{100, 100, 0} << "frame= 1 time=10.0 bitrate= 1k\rframe= 2 time=20.0 bitrate= 1k|frame= 3 time=30.0 bitrate= 1k\rframe= 4 time="
            << "row=20 all=20|row=30 all=30";
    }
    void display()
    {
        QFETCH(QList<double>, seconds);
        QFETCH(QString, feeds);
        QFETCH(QString, shown);
        EngineOutputParser parser(seconds[0], seconds[1], seconds[2]);
        QStringList seen;
        for (const QString &feed : feeds.split(u'|')) {
            const QByteArray chunk = feed.contains(u' ') ? feed.toUtf8() : progress(feed.toLatin1().constData());
            const EngineOutputParser::Display d = parser.Feed(chunk);
            QStringList parts;
            if (d.rowPercent)
                parts << QStringLiteral("row=%1").arg(*d.rowPercent);
            if (d.overall)
                parts << QStringLiteral("all=%1").arg(*d.overall);
            if (d.seeking && d.statusLine == EngineOutputParser::kSeeking)
                parts << QStringLiteral("seeking");
            else if (d.statusLine && d.statusLine->contains("time=" + feed))
                parts << QStringLiteral("line");
            seen << (parts.isEmpty() ? QStringLiteral("-") : parts.join(u' '));
        }
        QCOMPARE(seen.join(u'|'), shown);
    }

    // The report's head: while the length is unknown every chunk, else what came up to the
    // first progress line.
    void header_data()
    {
        QTest::addColumn<double>("duration");
        QTest::addColumn<QByteArrayList>("chunks");
        QTest::addColumn<QString>("header");
        QTest::newRow("unknown length: every chunk") << 0.0 << QByteArrayList{progress("1.00"), progress("2.00"), "Error while encoding"}
                                                     << QString(progress("1.00") + "\r\n" + progress("2.00") + "\r\nError while encoding\r\n");
        QTest::newRow("up to the first progress line")
            << 100.0 << QByteArrayList{"Input #0, avi, from 'a.avi':\r\n  time=5.00 but no rate", "Stream #0.0: Video: mpeg4", progress("10.00"), "after"}
            << QString("Input #0, avi, from 'a.avi':\r\n  time=5.00 but no rate\r\nStream #0.0: Video: mpeg4\r\n" + progress("10.00") + "\r\n");
    }
    void header()
    {
        QFETCH(double, duration);
        QFETCH(QByteArrayList, chunks);
        QFETCH(QString, header);
        EngineOutputParser parser(duration, duration, 0);
        for (const QByteArray &chunk : chunks)
            parser.Feed(chunk);
        QCOMPARE(parser.HeaderText(), header);
        QVERIFY(!parser.SawGlobalHeaders());
    }

    // The same output cut into reads at every place gives the same verdict, text and closing
    // lines: what the engine said after its last progress line reaches the report; before
    // any progress the header holds everything. text: the header without line ends; null
    // where it depends on the cut (a progress line ends it).
    void anySplitGivesTheSameResult_data()
    {
        QTest::addColumn<Read>("read");
        const QString bad(QChar::ReplacementCharacter);
        QTest::newRow("marker") << Read{"frame=1\r\nvideo:7kB global headers:0kB\r\n", "frame=1video:7kB global headers:0kB", true};
        QTest::newRow("two-byte letters") << Read{"from '\xc3\xa9t\xc3\xa9.mov':\r\n", QString::fromUtf8("from '\xc3\xa9t\xc3\xa9.mov':"), false};
        QTest::newRow("four-byte letter")
            << Read{"'\xf0\x9f\x8e\xac.mkv' global headers:", QString::fromUtf8("'\xf0\x9f\x8e\xac.mkv' global headers:"), true};
        QTest::newRow("invalid byte before the marker") << Read{"'\xf4global headers:0kB", "'" + bad + "global headers:0kB", true};
        QTest::newRow("invalid start before a letter") << Read{"\xcb\xce\x8f!", bad + QChar(0x38F) + "!", false};
        QTest::newRow("surrogate and overlong") << Read{"\xed\xa0\x80\xc0\xaf", QString(5, bad.front()), false};
        QTest::newRow("byte-order mark inside") << Read{"a\xef\xbb\xbf b", QString::fromUtf8("a\xef\xbb\xbf b"), false};
        QTest::newRow("cut marker is not a marker") << Read{"global head ers:", "global head ers:", false};
        const QByteArray head = "Input #0, mov, from 'a.mp4':\r\n";
        const QByteArray line = "frame=  9 fps=9 q=1.0 size=  55kB time=1.97 bitrate= 227.8kbits/s\r";
        QTest::newRow("error after progress") << Read{head + line + line + "\nWriting to 'out.mp4' failed: disk full\n", {}, false,
                                                      "Writing to 'out.mp4' failed: disk full\r\n"};
        QTest::newRow("nothing after progress") << Read{head + line, {}, false};
        QTest::newRow("no progress") << Read{head + "Unknown encoder 'x'\n", "Input #0, mov, from 'a.mp4':Unknown encoder 'x'", false};
    }
    void anySplitGivesTheSameResult()
    {
        QFETCH(Read, read);
        const auto &[output, text, success, closing] = read;
        for (int cut = 0; cut <= output.size(); ++cut) {
            EngineOutputParser parser(2, 2, 0);
            parser.Feed(output.left(cut));
            parser.Feed(output.mid(cut));
            QCOMPARE(parser.SawGlobalHeaders(), success);
            if (!text.isNull())
                QCOMPARE(withoutLineEnds(parser.HeaderText()), text);
            QCOMPARE(parser.ClosingLines(), closing);
        }
    }

    void timeBeyondTheInput_data()
    {
        QTest::addColumn<double>("duration");
        QTest::addColumn<QByteArray>("time");
        QTest::addColumn<bool>("exceeds");
        QTest::newRow("at the limit") << 10.0 << QByteArray("21.0") << false; // 10 * 1.1 + 10 is exact in binary; 100 * 1.1 is not
        QTest::newRow("beyond") << 100.0 << QByteArray("120.5") << true;
        QTest::newRow("short clip, ten seconds of slack") << 3.0 << QByteArray("13.0") << false;
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
