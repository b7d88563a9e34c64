// The media probe (reading the engine's description of a file) and the process
// layer under it (starting the engine, reading its output, stopping it).

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "base/UserMessage.h"
#include "core/conversion/EngineLocation.h"
#include "core/conversion/EngineProcess.h"
#include "core/conversion/MediaProbe.h"
#include "support/TestSupport.h"

using namespace TestSupport;

namespace {

constexpr int kInherited = 1000;

const QString kFull = QStringLiteral(
    "Input #0, avi, from '/media/clip.avi':\r\n"
    "  Duration: 00:01:23.45, start: 0.000000, bitrate: 1411 kb/s\r\n"
    "    Stream #0.0: Video: mpeg4, yuv420p, 640x480 [PAR 1:1 DAR 4:3], 25.00 tb(r)\r\n"
    "    Stream #0.1: Audio: mp3, 44100 Hz, stereo, 128 kb/s\r\n"
    "Must supply at least one output file\r\n");

// The fields in a fixed order, joined by "|" so that leading blanks show.
QString Fields(const MediaInfo &i)
{
    return QStringList{i.bitRate, i.videoCodec, i.videoBitRate, i.videoSize, i.frameRate, i.sampleRate, i.audioCodec,
                       i.audioBitRate, i.channels, i.durationSecText, i.durationText, QString::number(i.durationHours),
                       QString::number(i.durationMinutes), QString::number(i.durationSeconds)}
        .join(u'|');
}

// Whether this process may lower a nice value (root or CAP_SYS_NICE), found out
// in a throw-away child so our own priority stays as it is.
bool MayRaisePriority()
{
    const pid_t pid = fork();
    if (pid == 0)
        _exit(setpriority(PRIO_PROCESS, 0, -5) == 0 ? 0 : 1);
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Starts /bin/sleep and waits until the child is sleep (past what it does before exec).
void StartSleeper(EngineProcess &p, int priorityClass = 0)
{
    QCOMPARE(p.Start(QStringLiteral("/bin/sleep"), {"30"}, priorityClass), EngineProcess::StartResult::Started);
    QTRY_VERIFY(QFile::symLinkTarget(QStringLiteral("/proc/%1/exe").arg(p.ProcessId())).endsWith("sleep"));
}

} // namespace

class TestProbe : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QStringList m_reported;

private slots:
    void initTestCase() { SetUserMessageHandler([this](const QString &text) { m_reported << text; }); }
    void init()
    {
        m_reported.clear();
        SetEngineProgramFolder(BinDir() + u'/');
    }
    void cleanupTestCase() { SetUserMessageHandler(nullptr); }

    void valueAfterKey_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("value");
        QTest::newRow("first occurrence") << "Video: a, b\r\nVideo: c, d\r\n" << "a, b";
        QTest::newRow("missing key") << "Duration: 1\r\n" << "";
        QTest::newRow("one character skipped, whatever it is") << "Video:xmpeg4, 1x1\r\n" << "mpeg4, 1x1";
        QTest::newRow("no carriage return") << "Video: mpeg4, 320x240\n" << "";
        QTest::newRow("line feed alone ends nothing") << "Video: a\nb\r\n" << "a\nb";
        // The window is s + 100 characters from s = end of key + 1.
        QTest::newRow("window at the start, inside") << "Video: " + QString(102, 'a') + "\r\n" << QString(102, 'a');
        QTest::newRow("window at the start, outside") << "Video: " + QString(108, 'a') + "\r\n" << "";
        QTest::newRow("window grows further in") << QString(200, '-') + "Video: " + QString(250, 'a') + "\r\n" << QString(250, 'a');
    }
    void valueAfterKey()
    {
        QFETCH(QString, text);
        QFETCH(QString, value);
        QCOMPARE(ValueAfterKey(text, QStringLiteral("Video:")), value);
    }

    void parseProbeOutput_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        // bitRate|videoCodec|videoBitRate|videoSize|frameRate|sampleRate|audioCodec|audioBitRate|channels|
        // durationSecText|durationText|hours|minutes|seconds
        QTest::addColumn<QString>("fields");
        auto FullWith = [](const char *from, const char *to) { return QString(kFull).replace(from, to); };
        const QString video = "|640x480 [PAR 1:1 DAR 4:3]|25.00 tb(r)|";
        QTest::newRow("full description") << kFull << true << "1411 kb/s|mpeg4|" + video + " 44100 Hz|mp3| 128 kb/s| stereo|83.4|00:01:23.45|0|1|23.4";
        QTest::newRow("codec with an x")
            << FullWith("mpeg4, yuv420p, 640x480 [PAR 1:1 DAR 4:3], 25.00", "xvid, yuv420p, 320x240 [PAR 1:1 DAR 4:3], 1200 kb/s, 29.97") << true
            << "1411 kb/s|xvid|1200 kb/s|320x240 [PAR 1:1 DAR 4:3]|29.97 tb(r)| 44100 Hz|mp3| 128 kb/s| stereo|83.4|00:01:23.45|0|1|23.4";
        QTest::newRow("audio with two fields") << FullWith(", stereo, 128 kb/s", "") << false
                                               << "1411 kb/s|mpeg4|" + video + "||||||0|0|0";
        QTest::newRow("audio with three fields") << FullWith("mp3, 44100 Hz, stereo, 128 kb/s", "  pcm_s16le, 8000 Hz, mono") << true
                                                 << "1411 kb/s|mpeg4|" + video + " 8000 Hz|pcm_s16le|| mono|83.4|00:01:23.45|0|1|23.4";
        QTest::newRow("no video") << FullWith("Video: mpeg4, yuv420p, 640x480 [PAR 1:1 DAR 4:3], 25.00 tb(r)", "") << false
                                  << "1411 kb/s|||||||||||0|0|0";
        QTest::newRow("video with two fields") << FullWith("mpeg4, yuv420p, 640x480 [PAR 1:1 DAR 4:3], 25.00 tb(r)", "mpeg4, 640x480")
                                               << false << "1411 kb/s|||||||||||0|0|0";
        QTest::newRow("hours and single precision") << FullWith("00:01:23.45", "12:34:56.78") << true
                                                    << "1411 kb/s|mpeg4|" + video + " 44100 Hz|mp3| 128 kb/s| stereo|45296.7|12:34:56.78|12|34|56.7";
        QTest::newRow("duration without comma") << FullWith("00:01:23.45, start: 0.000000, bitrate: 1411 kb/s", "N/A") << true
                                                << "|mpeg4|" + video + " 44100 Hz|mp3| 128 kb/s| stereo|0.0||0|0|0";
        QTest::newRow("values cut to capacity") << FullWith("Video: mpeg4,", "Video: averyveryverylongcodecname,") << true
                                                << "1411 kb/s|averyveryverylongcod|" + video + " 44100 Hz|mp3| 128 kb/s| stereo|83.4|00:01:23.45|0|1|23.4";
    }
    void parseProbeOutput()
    {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(QString, fields);
        MediaInfo info;
        info.videoCodec = QStringLiteral("stale");
        info.durationHours = 99;
        QCOMPARE(ParseProbeOutput(QStringLiteral("/media/clip.avi"), text, info), ok);
        QCOMPARE(Fields(info), fields);
    }

    // ------------------------------------------------------------ real probes

    void realProbe_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("streams"); // 1 video, 2 audio
        // videoCodec|videoSize|frameRate|audioCodec|sampleRate|channels|durationSecText|durationText to tenths
        // (the hundredths depend on the container)
        QTest::addColumn<QString>("fields");
        QTest::newRow("mp4 video and audio") << "va.mp4" << 3 << "h264|320x240 [PAR 1:1 DAR 4:3]|25.00 tb(r)|aac| 44100 Hz| mono|2.0|00:00:02.0";
        QTest::newRow("video only") << "v.mp4" << 1 << "h264|320x240 [PAR 1:1 DAR 4:3]|25.00 tb(r)|||||";
        QTest::newRow("audio only") << "a.wav" << 2 << "|||||||";
        QTest::newRow("awkward path") << "dir with blank/\"q\" $HOME ü名 clip.mkv" << 3
                                      << "h264|320x240 [PAR 1:1 DAR 4:3]|25.00 tb(r)|vorbis| 44100 Hz| mono|2.0|00:00:02.0";
    }
    void realProbe()
    {
        QFETCH(QString, file);
        QFETCH(int, streams);
        QFETCH(QString, fields);
        const bool ok = streams == 3; // a file counts as read with both a picture and sound
        const QString path = m_dir.filePath(file);
        QDir().mkpath(QFileInfo(path).path());
        MakeClip(path, {.video = bool(streams & 1), .audio = bool(streams & 2)});

        const QString text = RunProbe(path, QStringLiteral("-i "));
        QVERIFY2(text.contains(QStringLiteral("from '%1':\r\n").arg(path)), qPrintable(text));
        QVERIFY(text.endsWith(QStringLiteral("Must supply at least one output file\r\n")));
        QCOMPARE(RunProbe(path, QStringLiteral("-i")), text); // both spellings of the option
        MediaInfo info;
        QCOMPARE(ParseProbeOutput(path, text, info), ok);
        QCOMPARE(QStringList({info.videoCodec, info.videoSize, info.frameRate, info.audioCodec, info.sampleRate, info.channels,
                              info.durationSecText, info.durationText.str().left(10)}).join(u'|'), fields);
        QCOMPARE(info.durationSeconds, ok ? 2.0f : 0.0f);
        QVERIFY2(info.bitRate.str().endsWith(QStringLiteral(" kb/s")), qPrintable(info.bitRate.str()));
        QVERIFY(m_reported.isEmpty());
    }

    // A probe that gets no description gives empty text and tells the user nothing: the
    // engine missing, or saying nothing and never ending until the time limit ends it.
    void probeWithoutAnAnswer()
    {
        SetEngineProgramFolder(m_dir.path() + QStringLiteral("/nowhere/"));
        QCOMPARE(RunProbe(m_dir.filePath("x.avi"), QStringLiteral("-i ")), QString());
        const QString folder = m_dir.filePath("silent/");
        QVERIFY(WriteStandInEngine(folder + "mirracore", "exec sleep 600\n"));
        SetEngineProgramFolder(folder);
        SetProbeTimeLimit(300);
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(RunProbe(m_dir.filePath("x.avi"), QStringLiteral("-i ")), QString());
        QVERIFY(timer.elapsed() < 20000); // not the 600 s of the sleep
        SetProbeTimeLimit(30000);
        QVERIFY(m_reported.isEmpty());
        // Not executable: the engine cannot be started.
        QFile::setPermissions(folder + "mirracore", QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        EngineProcess p;
        QCOMPARE(p.Start(folder + "mirracore", {}), EngineProcess::StartResult::ProcessFailed);
        QCOMPARE(p.StartError(), EACCES);
    }

    void noDescriptorsLeftForThePipe()
    {
        // With every descriptor in use the output pipe cannot be made: said, nothing started.
        rlimit previous{};
        getrlimit(RLIMIT_NOFILE, &previous);
        // The limit at the lowest free number leaves no number for a new descriptor.
        const int lowestFree = dup(0);
        close(lowestFree);
        rlimit tight = previous;
        tight.rlim_cur = rlim_t(lowestFree);
        setrlimit(RLIMIT_NOFILE, &tight);
        EngineProcess p;
        const EngineProcess::StartResult result = p.Start(QStringLiteral("/bin/true"), {});
        setrlimit(RLIMIT_NOFILE, &previous);
        QCOMPARE(result, EngineProcess::StartResult::OutputPipeFailed);
        QVERIFY(!p.IsRunning());
    }

    // ------------------------------------------------------------ process layer

    void wholeOutputArrives()
    {
        QString expected;
        for (int i = 1; i <= 100000; ++i)
            expected += QString::number(i) + u'\n';
        for (int chunk : {3000, 7}) {
            EngineProcess p;
            QCOMPARE(p.Start(QStringLiteral("/usr/bin/seq"), {"1", "100000"}), EngineProcess::StartResult::Started);
            QByteArray buffer(chunk, '\0'), all;
            for (qint64 n; (n = p.Read(buffer.data(), chunk)) > 0;)
                all.append(buffer.constData(), n);
            QVERIFY(all == expected.toLatin1());
            QCOMPARE(p.Wait(), 0);
        }
    }

    void killFromAnotherThreadEndsTheReads()
    {
        // An endless conversion: the reads only end because the other thread kills it.
        EngineProcess p;
        QCOMPARE(p.Start(EngineProgramPath(), {"-y", "-f", "lavfi", "-i", "testsrc=size=64x48:rate=25", m_dir.filePath("endless.mkv")}),
                 EngineProcess::StartResult::Started);
        QByteArray seen;
        char buffer[2048];
        for (qint64 n; !seen.contains("time=") && (n = p.Read(buffer, sizeof buffer)) > 0;)
            seen.append(buffer, n);
        QVERIFY2(seen.contains("time=") && p.IsRunning(), seen.constData());
        std::thread killer([&p] { p.Kill(); });
        while (p.Read(buffer, sizeof buffer) > 0) {
        }
        killer.join();
        QCOMPARE(p.Wait(), -SIGKILL);
        QVERIFY(!p.IsRunning());
        p.Kill(); // reaped: must not signal anyone else
    }

    void enginesDoNotInheritEachOthersPipes() // else the first one's output would not end when it does
    {
        EngineProcess first, second;
        StartSleeper(first);
        const int leaked = open("/dev/null", O_RDONLY); // opened without close-on-exec
        StartSleeper(second);
        close(leaked);
        const QString fd = QStringLiteral("/proc/%1/fd/").arg(second.ProcessId());
        // Beyond its standard three, the program may hold a file of its own for a moment as it
        // starts (its locale), never a pipe or the descriptor left open here.
        QStringList inherited;
        for (const QString &n : QDir(fd).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name)) {
            const QString target = QFile::symLinkTarget(fd + n);
            if (n.toInt() > 2 && (target.contains(QStringLiteral("pipe:[")) || target == QStringLiteral("/dev/null")))
                inherited << n + u'>' + target;
        }
        QVERIFY2(inherited.isEmpty(), qPrintable(inherited.join(u' ')));
        first.Kill();
        char buffer[16];
        QCOMPARE(first.Read(buffer, sizeof buffer), qint64(0));
        QCOMPARE(first.Wait(), -SIGKILL);
    }

    void priorityClasses_data()
    {
        QTest::addColumn<int>("priorityClass");
        QTest::addColumn<int>("policy");
        QTest::addColumn<int>("nice"); // kInherited: the class leaves the nice value alone
        QTest::newRow("normal") << 0 << int(SCHED_OTHER) << 0;
        QTest::newRow("high") << 1 << int(SCHED_OTHER) << -5;
        QTest::newRow("real time") << 2 << int(SCHED_OTHER) << -10;
        QTest::newRow("idle") << 3 << int(SCHED_IDLE) << kInherited;
        QTest::newRow("unknown value is normal") << 7 << int(SCHED_OTHER) << 0;
    }
    void priorityClasses()
    {
        QFETCH(int, priorityClass);
        QFETCH(int, policy);
        QFETCH(int, nice);
        const int ownNice = getpriority(PRIO_PROCESS, 0);
        // Lowering the nice value needs the privilege; without it the child stays where we are.
        const int expectedNice = nice == kInherited || (nice < ownNice && !MayRaisePriority()) ? ownNice : nice;
        EngineProcess p;
        StartSleeper(p, priorityClass); // the class is set between fork and exec
        QCOMPARE(sched_getscheduler(p.ProcessId()), policy);
        QCOMPARE(getpriority(PRIO_PROCESS, id_t(p.ProcessId())), expectedNice);
    }
};

QTEST_GUILESS_MAIN(TestProbe)
#include "test_probe.moc"
