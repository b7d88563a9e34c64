// The media probe (reading the engine's description of a file) and the process
// layer under it (starting the engine, reading its output, stopping it).

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <fcntl.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "core/UserMessage.h"
#include "conversion/EngineLocation.h"
#include "conversion/EngineProcess.h"
#include "conversion/MediaProbe.h"
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

// Fields of /proc/<pid>/stat after the command name: index 0 is field 3 (state).
QStringList ProcStat(pid_t pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QString text = QString::fromLatin1(f.readAll());
    return text.mid(text.lastIndexOf(u')') + 2).split(u' ');
}

int NiceOf(pid_t pid)
{
    return ProcStat(pid).value(19 - 3).toInt();
}

int PolicyOf(pid_t pid)
{
    return ProcStat(pid).value(41 - 3).toInt();
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

QString ReadAll(EngineProcess &process, int chunk = 3000)
{
    QByteArray bytes;
    QByteArray buffer(chunk, '\0');
    qint64 n;
    while ((n = process.Read(buffer.data(), chunk)) > 0)
        bytes.append(buffer.constData(), n);
    return QString::fromUtf8(bytes);
}

// Holds every descriptor slot below a lowered limit, so the next pipe() fails,
// and can hand back a number of slots for a pipe or two to succeed first.
class DescriptorExhaustion
{
public:
    DescriptorExhaustion()
    {
        getrlimit(RLIMIT_NOFILE, &m_saved);
        int highest = 0;
        const QDir fds(QStringLiteral("/proc/self/fd"));
        for (const QString &name : fds.entryList(QDir::NoDotAndDotDot | QDir::AllEntries))
            highest = std::max(highest, name.toInt());
        rlimit lowered = m_saved;
        lowered.rlim_cur = rlim_t(highest + 9);
        setrlimit(RLIMIT_NOFILE, &lowered);
        int fd;
        while ((fd = open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0)
            m_held.push_back(fd);
    }
    ~DescriptorExhaustion()
    {
        for (int fd : m_held)
            close(fd);
        setrlimit(RLIMIT_NOFILE, &m_saved);
    }
    void Release(int count)
    {
        for (int i = 0; i < count && !m_held.empty(); ++i) {
            close(m_held.back());
            m_held.pop_back();
        }
    }

private:
    rlimit m_saved{};
    std::vector<int> m_held;
};

} // namespace

class TestProbe : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QStringList m_reported;

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        SetEngineProgramFolder(BinDir() + u'/');
        SetUserMessageHandler([this](const QString &text) { m_reported << text; });
    }
    void init()
    {
        m_reported.clear();
        SetEngineProgramFolder(BinDir() + u'/');
    }
    void cleanupTestCase() { SetUserMessageHandler(nullptr); }

    // ------------------------------------------------------------ ValueAfterKey

    void valueAfterKey_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::newRow("plain") << "  Duration: 00:00:05.00, start: 0\r\nnext" << "Duration:" << "00:00:05.00, start: 0";
        QTest::newRow("missing key") << "Duration: 1\r\n" << "Video:" << "";
        QTest::newRow("first occurrence") << "Video: a, b\r\nVideo: c, d\r\n" << "Video:" << "a, b";
        QTest::newRow("one character skipped, whatever it is") << "Video:xmpeg4, 1x1\r\n" << "Video:" << "mpeg4, 1x1";
        QTest::newRow("no carriage return") << "Video: mpeg4, 320x240\n" << "Video:" << "";
        QTest::newRow("line feed alone ends nothing") << "Video: a\nb\r\n" << "Video:" << "a\nb";
        QTest::newRow("key at the very end") << "abc Video:" << "Video:" << "";
        QTest::newRow("empty value") << "Video: \r\n" << "Video:" << "";
        // The window is s + 100 characters from s = end of key + 1.
        QTest::newRow("window at the start, inside") << "Video: " + QString(102, 'a') + "\r\n" << "Video:" << QString(102, 'a');
        QTest::newRow("window at the start, outside") << "Video: " + QString(108, 'a') + "\r\n" << "Video:" << "";
        QTest::newRow("window grows further in") << QString(200, '-') + "Video: " + QString(250, 'a') + "\r\n" << "Video:"
                                                 << QString(250, 'a');
    }
    void valueAfterKey()
    {
        QFETCH(QString, text);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QCOMPARE(ValueAfterKey(text, key), value);
    }

    // ------------------------------------------------------------ ParseProbeOutput

    void parseProbeOutput_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        // bitRate videoCodec videoBitRate videoSize frameRate sampleRate audioCodec audioBitRate channels
        // durationSecText durationText
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<int>("hours");
        QTest::addColumn<int>("minutes");
        QTest::addColumn<float>("seconds");

        QTest::newRow("full description") << kFull << true
                                          << QStringList{"1411 kb/s", "mpeg4", "", "640x480 [PAR 1:1 DAR 4:3]", "25.00 tb(r)",
                                                         " 44100 Hz", "mp3", " 128 kb/s", " stereo", "83.4", "00:01:23.45"}
                                          << 0 << 1 << 23.4f;

        QString xvid = kFull;
        xvid.replace("Video: mpeg4, yuv420p, 640x480", "Video: xvid, yuv420p, 320x240").replace("25.00 tb(r)", "1200 kb/s, 29.97 tb(r)");
        QTest::newRow("codec with an x") << xvid << true
                                         << QStringList{"1411 kb/s", "xvid", "1200 kb/s", "320x240 [PAR 1:1 DAR 4:3]",
                                                        "29.97 tb(r)", " 44100 Hz", "mp3", " 128 kb/s", " stereo", "83.4",
                                                        "00:01:23.45"}
                                         << 0 << 1 << 23.4f;

        QString twoAudioFields = kFull;
        twoAudioFields.replace("Audio: mp3, 44100 Hz, stereo, 128 kb/s", "Audio: mp3, 44100 Hz");
        QTest::newRow("audio with two fields") << twoAudioFields << false
                                               << QStringList{"1411 kb/s", "mpeg4", "", "640x480 [PAR 1:1 DAR 4:3]",
                                                              "25.00 tb(r)", "", "", "", "", "", ""}
                                               << 0 << 0 << 0.0f;

        QString threeAudioFields = kFull;
        threeAudioFields.replace("Audio: mp3, 44100 Hz, stereo, 128 kb/s", "Audio:   pcm_s16le, 8000 Hz, mono");
        QTest::newRow("audio with three fields") << threeAudioFields << true
                                                 << QStringList{"1411 kb/s", "mpeg4", "", "640x480 [PAR 1:1 DAR 4:3]",
                                                                "25.00 tb(r)", " 8000 Hz", "pcm_s16le", "", " mono", "83.4",
                                                                "00:01:23.45"}
                                                 << 0 << 1 << 23.4f;

        QString noVideo = kFull;
        noVideo.remove(QRegularExpression("    Stream #0.0: Video:[^\r]*\r\n"));
        QTest::newRow("no video") << noVideo << false
                                  << QStringList{"1411 kb/s", "", "", "", "", "", "", "", "", "", ""} << 0 << 0 << 0.0f;

        QString shortVideo = kFull;
        shortVideo.replace("Video: mpeg4, yuv420p, 640x480 [PAR 1:1 DAR 4:3], 25.00 tb(r)", "Video: mpeg4, 640x480");
        QTest::newRow("video with two fields") << shortVideo << false
                                               << QStringList{"1411 kb/s", "", "", "", "", "", "", "", "", "", ""} << 0 << 0 << 0.0f;

        const QString videoWithoutCr = QStringLiteral("  Duration: 00:00:05.00, start: 0.000000, bitrate: 90 kb/s\r\n"
                                                      "    Stream #0.0: Video: mpeg4, yuv420p, 64x64, 25.00 tb(r)");
        QTest::newRow("video line without carriage return") << videoWithoutCr << false
                                                            << QStringList{"90 kb/s", "", "", "", "", "", "", "", "", "", ""}
                                                            << 0 << 0 << 0.0f;

        QString longDuration = kFull;
        longDuration.replace("00:01:23.45", "12:34:56.78");
        QTest::newRow("hours and single precision") << longDuration << true
                                                    << QStringList{"1411 kb/s", "mpeg4", "", "640x480 [PAR 1:1 DAR 4:3]",
                                                                   "25.00 tb(r)", " 44100 Hz", "mp3", " 128 kb/s", " stereo",
                                                                   "45296.7", "12:34:56.78"}
                                                    << 12 << 34 << 56.7f;

        QString unknownDuration = kFull;
        unknownDuration.replace("00:01:23.45, start: 0.000000, bitrate: 1411 kb/s", "N/A");
        QTest::newRow("duration without comma") << unknownDuration << true
                                                << QStringList{"", "mpeg4", "", "640x480 [PAR 1:1 DAR 4:3]", "25.00 tb(r)",
                                                               " 44100 Hz", "mp3", " 128 kb/s", " stereo", "0.0", ""}
                                                << 0 << 0 << 0.0f;

        QString longCodec = kFull;
        longCodec.replace("Video: mpeg4,", "Video: averyveryverylongcodecname,");
        QTest::newRow("values cut to capacity") << longCodec << true
                                                << QStringList{"1411 kb/s", "averyveryverylongcod", "",
                                                               "640x480 [PAR 1:1 DAR 4:3]", "25.00 tb(r)", " 44100 Hz", "mp3",
                                                               " 128 kb/s", " stereo", "83.4", "00:01:23.45"}
                                                << 0 << 1 << 23.4f;
    }
    void parseProbeOutput()
    {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(QStringList, fields);
        QFETCH(int, hours);
        QFETCH(int, minutes);
        QFETCH(float, seconds);

        MediaInfo info;
        info.videoCodec = QStringLiteral("stale");
        info.durationHours = 99;
        QCOMPARE(ParseProbeOutput(QStringLiteral("/media/clip.avi"), text, info), ok);
        const QStringList got{info.bitRate,    info.videoCodec,   info.videoBitRate, info.videoSize,
                              info.frameRate,  info.sampleRate,   info.audioCodec,   info.audioBitRate,
                              info.channels,   info.durationSecText, info.durationText};
        QCOMPARE(got, fields);
        QCOMPARE(info.durationHours, hours);
        QCOMPARE(info.durationMinutes, minutes);
        QCOMPARE(info.durationSeconds, seconds);
    }

    // ------------------------------------------------------------ real probes

    void realProbe_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("video");
        QTest::addColumn<bool>("audio");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<bool>("ok");
        // videoCodec videoSize frameRate audioCodec sampleRate channels durationSecText durationText
        QTest::addColumn<QStringList>("fields");

        QTest::newRow("mp4 video and audio")
            << "va.mp4" << true << true << QStringList{"-ac", "2", "-vb", "600"} << true
            << QStringList{"h264", "320x240 [PAR 1:1 DAR 4:3]", "25.00 tb(r)", "aac", " 44100 Hz", " stereo", "2.0", "00:00:02.00"};
        QTest::newRow("avi mpeg4 mp3")
            << "va.avi" << true << true << QStringList{"-vcodec", "mpeg4", "-acodec", "libmp3lame", "-s", "176x144", "-aspect", "4:3"}
            << true
            << QStringList{"mpeg4", "176x144 [PAR 12:11 DAR 4:3]", "25.00 tb(r)", "mp3", " 44100 Hz", " mono", "2.0", "00:00:02.0"};
        QTest::newRow("video only") << "v.mp4" << true << false << QStringList{} << false
                                    << QStringList{"h264", "320x240 [PAR 1:1 DAR 4:3]", "25.00 tb(r)", "", "", "", "", ""};
        QTest::newRow("audio only") << "a.wav" << false << true << QStringList{} << false
                                    << QStringList{"", "", "", "", "", "", "", ""};
        QTest::newRow("awkward path") << "dir with blank/\"q\" $HOME ü名 clip.mkv" << true << true
                                      << QStringList{"-vcodec", "libx264", "-acodec", "libvorbis"} << true
                                      << QStringList{"h264", "320x240 [PAR 1:1 DAR 4:3]", "25.00 tb(r)", "vorbis", " 44100 Hz",
                                                     " mono", "2.0", "00:00:02.0"};
    }
    void realProbe()
    {
        QFETCH(QString, file);
        QFETCH(bool, video);
        QFETCH(bool, audio);
        QFETCH(QStringList, options);
        QFETCH(bool, ok);
        QFETCH(QStringList, fields);

        const QString path = m_dir.filePath(file);
        QDir().mkpath(QFileInfo(path).path());
        ClipSpec wanted;
        wanted.video = video;
        wanted.audio = audio;
        wanted.outputOptions = options;
        MakeClip(path, wanted);
        QVERIFY(QFile::exists(path));

        const QString text = RunProbe(path, QStringLiteral("-i "));
        QVERIFY2(text.contains(QStringLiteral("from '%1':\r\n").arg(path)), qPrintable(text));
        QVERIFY(text.endsWith(QStringLiteral("Must supply at least one output file\r\n")));
        QCOMPARE(RunProbe(path, QStringLiteral("-i")), text); // both spellings of the option

        MediaInfo info;
        QCOMPARE(ParseProbeOutput(path, text, info), ok);
        QVERIFY2(info.bitRate.str().endsWith(QStringLiteral(" kb/s")), qPrintable(info.bitRate.str()));
        const QStringList got{info.videoCodec, info.videoSize, info.frameRate,      info.audioCodec,
                              info.sampleRate, info.channels,  info.durationSecText, info.durationText.str().left(10)};
        QStringList expected = fields;
        expected[7] = expected[7].left(10); // hundredths depend on the container
        QCOMPARE(got, expected);
        QCOMPARE(info.durationHours, 0);
        QCOMPARE(info.durationMinutes, 0);
        QCOMPARE(info.durationSeconds, ok ? 2.0f : 0.0f);
        if (video)
            QVERIFY2(info.videoBitRate.str().contains(QRegularExpression("^[1-9]\\d* kb/s$")), qPrintable(info.videoBitRate.str()));
        if (ok)
            QVERIFY2(info.audioBitRate.str().contains(QRegularExpression("^ [1-9]\\d* kb/s$")), qPrintable(info.audioBitRate.str()));
        QVERIFY(m_reported.isEmpty());
    }

    void probeOfUnreadableFile()
    {
        const QString path = m_dir.filePath("letter.avi");
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("Dear reader,\n");
        f.close();
        const QString text = RunProbe(path, QStringLiteral("-i "));
        QVERIFY2(text.contains("Cannot open input file"), qPrintable(text));
        MediaInfo info;
        QVERIFY(!ParseProbeOutput(path, text, info));
        QVERIFY(info.durationSecText.isEmpty());
    }

    void missingEngineGivesEmptyTextSilently()
    {
        SetEngineProgramFolder(m_dir.path() + QStringLiteral("/nowhere/"));
        QCOMPARE(EngineProgramPath(), m_dir.path() + QStringLiteral("/nowhere/mirracore"));
        QCOMPARE(RunProbe(m_dir.filePath("x.avi"), QStringLiteral("-i ")), QString());
        QVERIFY(m_reported.isEmpty());
        EngineProcess p;
        QCOMPARE(p.Start(m_dir.path() + "/nowhere/mirracore", {}), EngineProcess::StartResult::ProcessFailed);
        QVERIFY(!p.IsRunning());
    }

    void pipeFailuresAreReported_data()
    {
        QTest::addColumn<int>("freeSlots");
        QTest::addColumn<QString>("message");
        QTest::newRow("output pipe") << 0 << "Create   STDOUT   pipe   failed";
        QTest::newRow("input pipe") << 2 << "Create   STDIN   pipe   failed";
    }
    void pipeFailuresAreReported()
    {
        QFETCH(int, freeSlots);
        QFETCH(QString, message);
        QString text = QStringLiteral("unset");
        {
            DescriptorExhaustion exhaustion;
            exhaustion.Release(freeSlots);
            text = RunProbe(m_dir.filePath("x.avi"), QStringLiteral("-i "));
        }
        QCOMPARE(text, QString());
        QCOMPARE(m_reported, QStringList{message});
    }

    // ------------------------------------------------------------ process layer

    void wholeOutputArrives_data()
    {
        QTest::addColumn<int>("chunk");
        QTest::newRow("3000-byte reads") << 3000;
        QTest::newRow("tiny reads") << 7;
    }
    void wholeOutputArrives()
    {
        QFETCH(int, chunk);
        EngineProcess p;
        QCOMPARE(p.Start(QStringLiteral("/usr/bin/seq"), {"1", "100000"}), EngineProcess::StartResult::Started);
        const QString text = ReadAll(p, chunk);
        QString expected;
        for (int i = 1; i <= 100000; ++i)
            expected += QString::number(i) + u'\n';
        QCOMPARE(text.size(), expected.size());
        QVERIFY(text == expected);
        QCOMPARE(p.Wait(), 0);
    }

    void outputAndErrorShareOnePipe()
    {
        // The engine writes on standard error; that text must arrive all the same.
        EngineProcess p;
        QCOMPARE(p.Start(EngineProgramPath(), {"-nosuchoption"}), EngineProcess::StartResult::Started);
        QCOMPARE(ReadAll(p), QStringLiteral("Unrecognized option '-nosuchoption'\r\n"));
        QCOMPARE(p.Wait(), 1);

        EngineProcess sleeper;
        QCOMPARE(sleeper.Start(QStringLiteral("/bin/sleep"), {"30"}), EngineProcess::StartResult::Started);
        const QString fd = QStringLiteral("/proc/%1/fd/").arg(sleeper.ProcessId());
        const QString in = QFile::symLinkTarget(fd + "0"), out = QFile::symLinkTarget(fd + "1"),
                      err = QFile::symLinkTarget(fd + "2");
        sleeper.Kill();
        sleeper.Wait();
        QVERIFY2(in.contains("pipe:"), qPrintable(in));
        QVERIFY2(out.contains("pipe:") && out == err, qPrintable(out + " " + err));
        QVERIFY(in != out);
    }

    void killFromAnotherThreadEndsTheReads()
    {
        // An endless conversion: the reads only end because the other thread kills it.
        EngineProcess p;
        const QString out = m_dir.filePath("endless.mkv");
        QCOMPARE(p.Start(EngineProgramPath(), {"-y", "-f", "lavfi", "-i", "testsrc=size=64x48:rate=25", out}),
                 EngineProcess::StartResult::Started);
        QByteArray seen;
        char buffer[2048];
        qint64 n;
        while (!seen.contains("time=") && (n = p.Read(buffer, sizeof buffer)) > 0)
            seen.append(buffer, n);
        QVERIFY2(seen.contains("time="), seen.constData());
        QVERIFY(p.IsRunning());
        std::thread killer([&p] { p.Kill(); });
        while (p.Read(buffer, sizeof buffer) > 0) {
        }
        killer.join();
        QCOMPARE(p.Wait(), -SIGKILL);
        QVERIFY(!p.IsRunning());
        p.Kill(); // reaped: must not signal anyone else
    }

    void killWhileReadBlocks()
    {
        EngineProcess p;
        QCOMPARE(p.Start(QStringLiteral("/bin/sleep"), {"30"}), EngineProcess::StartResult::Started);
        std::atomic<bool> reading{false};
        std::thread killer([&] {
            while (!reading)
                std::this_thread::yield();
            usleep(50000); // let the read settle into its wait; the result does not depend on it
            p.Kill();
        });
        char buffer[16];
        reading = true;
        QCOMPARE(p.Read(buffer, sizeof buffer), qint64(0));
        killer.join();
        QCOMPARE(p.Wait(), -SIGKILL);
    }

    void enginesDoNotInheritEachOthersPipes()
    {
        // A second engine started while the first runs holds only its own three
        // standard descriptors: none of the first one's pipe ends (else the first
        // one's output would not end when it does), none of ours.
        EngineProcess first, second;
        QCOMPARE(first.Start(QStringLiteral("/bin/sleep"), {"30"}), EngineProcess::StartResult::Started);
        int leaked = open("/dev/null", O_RDONLY); // a descriptor opened without close-on-exec
        QCOMPARE(second.Start(QStringLiteral("/bin/sleep"), {"30"}), EngineProcess::StartResult::Started);
        close(leaked);
        QTRY_VERIFY(QFile::symLinkTarget(QStringLiteral("/proc/%1/exe").arg(second.ProcessId())).endsWith("sleep"));
        const QStringList fds =
            QDir(QStringLiteral("/proc/%1/fd").arg(second.ProcessId())).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name);
        second.Kill();
        second.Wait();
        QCOMPARE(fds, (QStringList{"0", "1", "2"}));
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
        int expectedNice = nice == kInherited ? ownNice : nice;
        if (expectedNice < ownNice && !MayRaisePriority())
            expectedNice = ownNice;

        EngineProcess p;
        QCOMPARE(p.Start(QStringLiteral("/bin/sleep"), {"30"}, priorityClass), EngineProcess::StartResult::Started);
        const pid_t pid = p.ProcessId();
        // The class is set between fork and exec: once the child is sleep, it is in place.
        QTRY_VERIFY(QFile::symLinkTarget(QStringLiteral("/proc/%1/exe").arg(pid)).endsWith("sleep"));
        const int gotPolicy = sched_getscheduler(pid);
        const int statPolicy = PolicyOf(pid);
        const int gotNice = NiceOf(pid);
        p.Kill();
        QCOMPARE(p.Wait(), -SIGKILL);
        QCOMPARE(gotPolicy, policy);
        QCOMPARE(statPolicy, policy);
        QCOMPARE(gotNice, expectedNice);
    }
};

QTEST_GUILESS_MAIN(TestProbe)
#include "test_probe.moc"
