#include <QtTest>

#include "support/DamagedMedia.h"
#include "support/MediaReader.h"
#include "support/TestSupport.h"

using namespace TestSupport;

namespace {

const int kTimeoutMs = 60000; // generous for sanitizer builds; a hang runs far longer

QString LastLine(const QString &output)
{
    const QStringList lines = output.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    return lines.isEmpty() ? QString() : lines.last();
}

// What went wrong with one run, or nothing.
QString Fault(const ProgramRun &run)
{
    if (run.timedOut)
        return QStringLiteral("hung");
    if (run.crashed)
        return QStringLiteral("crashed");
    if (run.output.contains(QStringLiteral("Sanitizer")) || run.output.contains(QStringLiteral("runtime error:")))
        return QStringLiteral("sanitizer report");
    return {};
}

// A transport stream PES header's PTS, as the 33-bit value and its five bytes' offset.
QList<qsizetype> VideoPtsFields(const QByteArray &ts)
{
    QList<qsizetype> fields;
    for (qsizetype packet = 0; packet + 188 <= ts.size(); packet += 188) {
        const uchar *p = reinterpret_cast<const uchar *>(ts.constData() + packet);
        if (p[0] != 0x47 || !(p[1] & 0x40))
            continue; // no sync, or no payload start
        qsizetype at = 4;
        if (p[3] & 0x20)
            at += 1 + p[4]; // adaptation field
        if (at + 14 > 188 || p[at] != 0 || p[at + 1] != 0 || p[at + 2] != 1 || (p[at + 3] & 0xF0) != 0xE0)
            continue;
        if (p[at + 7] & 0x80)
            fields << packet + at + 9;
    }
    return fields;
}

} // namespace

class TestDamagedMedia : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QList<DamagedMedia::File> m_corpus;

private slots:
    void initTestCase()
    {
        const QStringList clips = DamagedMedia::MakeClips(EnginePath(), m_dir.path(), 1.0);
        QCOMPARE(clips.size(), 12);
        for (const char *sub : {"corpus", "out"})
            QDir(m_dir.path()).mkpath(QString::fromLatin1(sub));
        m_corpus = DamagedMedia::MakeCorpus(clips, m_dir.path() + QStringLiteral("/corpus"));
        QVERIFY(m_corpus.size() >= 300);
        if (qEnvironmentVariableIsSet("CORVANE_DAMAGED_FIRST_VARIANTS"))
            m_corpus.removeIf([](const DamagedMedia::File &f) { return f.kind.contains(QRegularExpression(QStringLiteral("#[2-9]"))); });
    }

    // Every damaged file is converted or refused with one clear line: no crash, no hang,
    // no sanitizer report, and never more media time out than the file holds.
    void probeAndConvertEveryFile_data()
    {
        QTest::addColumn<QString>("container");
        for (const char *c : {"mp4", "avi", "mkv", "webm", "mov", "flv", "ts", "wmv", "3gp", "mpg"})
            QTest::newRow(c) << QString::fromLatin1(c);
    }
    void probeAndConvertEveryFile()
    {
        QFETCH(QString, container);
        QList<DamagedMedia::File> files;
        for (const DamagedMedia::File &f : std::as_const(m_corpus))
            if (f.clip.endsWith(u'.' + container))
                files << f;
        QVERIFY(files.size() >= 15);

        QList<Launch> probes, conversions;
        QStringList outputs;
        QList<int> probeOf; // the file each conversion is of
        auto convert = [&](int i, const QString &suffix, const QStringList &options) {
            outputs << m_dir.path() + QStringLiteral("/out/") + QFileInfo(files[i].path).fileName() + suffix;
            conversions.append({EnginePath(), QStringList{"-y", "-i", files[i].path} + options + QStringList{outputs.last()}, kTimeoutMs});
            probeOf << i;
        };
        for (int i = 0; i < files.size(); ++i) {
            probes.append({EnginePath(), {"-i", files[i].path}, kTimeoutMs});
            convert(i, QStringLiteral(".avi"), {"-s", "96x64"});
        }
        // Copies meet timestamps as the file has them: the swapped chunks are copied too.
        for (int i = 0; i < files.size(); ++i)
            if (files[i].kind.startsWith(QStringLiteral("swapped")))
                convert(i, QStringLiteral(" copy.mkv"), {"-vcodec", "copy", "-acodec", "copy"});
        const QList<ProgramRun> probed = RunAll(probes, 2), converted = RunAll(conversions, 2);
        QStringList problems;
        for (int i = 0; i < files.size(); ++i)
            if (const QString f = Fault(probed[i]); !f.isEmpty())
                problems << QFileInfo(files[i].path).fileName() + QStringLiteral(": probe ") + f;
        for (int c = 0; c < conversions.size(); ++c) {
            const int i = probeOf[c];
            auto problem = [&](const QString &what) { problems << QFileInfo(outputs[c]).fileName() + QStringLiteral(": ") + what; };
            if (const QString f = Fault(converted[c]); !f.isEmpty()) {
                problem(QStringLiteral("conversion ") + f);
                continue;
            }
            const QString &log = converted[c].output;
            if (converted[c].exitCode == 0) {
                const double in = DamagedMedia::DurationIn(probed[i].output);
                const double out = ReadMedia(outputs[c]).seconds;
                if (!log.contains(QStringLiteral("global headers:")) || out < 0)
                    problem(QStringLiteral("exit 0 without a readable result"));
                else if (out > qMax(in, 1.0) + 0.5)
                    problem(QStringLiteral("%1 s written from %2 s").arg(out).arg(in));
            } else {
                const QString last = LastLine(log);
                if (log.contains(QStringLiteral("global headers:")) || last.isEmpty() || last.startsWith(QStringLiteral("frame=")))
                    problem(QStringLiteral("refused without its own message: ") + last.left(80));
                if (QFile::exists(outputs[c]))
                    problem(QStringLiteral("partial output left behind"));
            }
        }
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
    }

    // Two transport packets that start pictures, swapped: decoding times go backwards. They are
    // put in order, copied or encoded, and the engine says so; unrepaired, the muxer refuses.
    void swappedPicturesPutInOrder_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<bool>("converts");
        QTest::newRow("encoded") << QStringList{"-s", "96x64"} << true;
        QTest::newRow("copied") << QStringList{"-vcodec", "copy", "-acodec", "copy"} << true;
        QTest::newRow("not repaired") << QStringList{"-vcodec", "copy", "-acodec", "copy", "-fix_ts", "0"} << false;
    }
    void swappedPicturesPutInOrder()
    {
        QFETCH(QStringList, options);
        QFETCH(bool, converts);
        const QString clip = m_dir.path() + QStringLiteral("/swapped.ts");
        if (!QFile::exists(clip)) {
            MakeClip(clip, ClipSpec{2, QStringLiteral("128x96"), 10, true, true, {"-vcodec", "mpeg2video", "-g", "1"}});
            QByteArray ts = ReadFile(clip);
            const QList<qsizetype> fields = VideoPtsFields(ts);
            QVERIFY(fields.size() > 10);
            const qsizetype a = fields[3] / 188 * 188, b = fields[8] / 188 * 188;
            const QByteArray first = ts.mid(a, 188);
            ts.replace(a, 188, ts.mid(b, 188));
            ts.replace(b, 188, first);
            QVERIFY(WriteFile(clip, ts));
        }
        const QString out = m_dir.path() + QStringLiteral("/swapped %1.mkv").arg(QTest::currentDataTag());
        const ProgramRun run = Run({EnginePath(), QStringList{"-y", "-i", clip} + options + QStringList{out}, kTimeoutMs});
        QVERIFY2(Fault(run).isEmpty(), qPrintable(Fault(run)));
        QCOMPARE(run.exitCode == 0, converts);
        // Decoding puts the pictures in order by itself; a copy must move the packets.
        if (options.contains(QStringLiteral("copy")))
            QCOMPARE(run.output.contains(QStringLiteral("times went backwards were put in order")), converts);
        if (converts)
            QVERIFY2(ReadMedia(out).seconds > 1 && ReadMedia(out).seconds <= 2.5, qPrintable(QString::number(ReadMedia(out).seconds)));
        else
            QVERIFY2(LastLine(run.output).contains(QStringLiteral("monoton")), qPrintable(LastLine(run.output)));
    }

    // A bit flipped in one picture's timestamp makes it jump by hours; the conversion
    // ends within seconds and writes no more than the clip holds.
    void timestampJumpIsNotFilled()
    {
        const QString clip = m_dir.path() + QStringLiteral("/jump.ts");
        MakeClip(clip, ClipSpec{3, QStringLiteral("128x96"), 10});
        QByteArray ts = ReadFile(clip);
        const QList<qsizetype> fields = VideoPtsFields(ts);
        QVERIFY(fields.size() > 10);
        // PTS bit 31 sits in the first byte (bits 32..30 in its bits 3..1): 2^31 / 90 kHz is 6.6 hours.
        ts[fields[fields.size() / 2]] = char(ts[fields[fields.size() / 2]] ^ 0x04);
        QVERIFY(WriteFile(clip, ts));

        const QString out = m_dir.path() + QStringLiteral("/jump.avi");
        QElapsedTimer timer;
        timer.start();
        const ProgramRun run = Run({EnginePath(), {"-y", "-i", clip, out}, 30000});
        QVERIFY2(Fault(run).isEmpty(), qPrintable(Fault(run) + run.output.right(400)));
        QVERIFY2(timer.elapsed() < 30000, "the conversion took too long");
        if (run.exitCode == 0) {
            const double seconds = ReadMedia(out).seconds;
            QVERIFY2(seconds > 0 && seconds <= 3.5, qPrintable(QString::number(seconds)));
        } else {
            QVERIFY(!QFile::exists(out));
        }
    }
};

QTEST_GUILESS_MAIN(TestDamagedMedia)
#include "test_damaged.moc"
