#include <QFile>
#include <QProcess>
#include <csignal>
#include <QThread>
#include <QtTest>

#include "core/tasks/TaskFile.h"
#include "core/conversion/EngineLocation.h"
#include "core/conversion/MediaProbe.h"
#include "headless/FolderWatch.h"
#include "support/TestSupport.h"

using namespace TestSupport;

// The program itself, run without a window: corvane-studio --convert ...
class TestHeadless : public QObject
{
    Q_OBJECT

    std::unique_ptr<ProgramFolder> m_folder;
    QString m_program;

    void prepare()
    {
        m_folder = std::make_unique<ProgramFolder>();
        // A copy, not a link: the program finds its folder from its own file.
        m_program = m_folder->file("corvane-studio");
        QFile::remove(m_program);
        QVERIFY(QFile::copy(BinDir() + "/corvane-studio", m_program));
    }
    QString clip(const QString &name) { return MakeClips(m_folder->file("in"), {name}).first(); }
    int run(const QStringList &args, QString *output)
    {
        // Headless mode needs no display of any kind.
        const ProgramRun run = Run({m_program, args, 300000, {"QT_QPA_PLATFORM", "DISPLAY"}, {}});
        *output = run.output;
        return run.exitCode;
    }

private slots:
    void initTestCase() { SetEngineProgramFolder(BinDir() + u'/'); } // the probes below run the built engine
    void cleanup() { m_folder.reset(); }

    // Files and a task file among the inputs. --jobs 0 resolves the count for the profile
    // chosen: one per core for MPEG-4. Each task-file row keeps its own profile and output; a
    // row whose profile is not installed is named and skipped, the others still convert.
    void filesAndATaskFileConverted()
    {
        prepare();
        const QString tsk = m_folder->file("in/queue $ list.tsk");
        const QString own = m_folder->file("own out/a $ cut.mp4");
        QVERIFY(WriteTaskFile(tsk, {{clip("a.mp4"), own, "MP4 (H.264/AAC)", "mp4", ""},
                                    {clip("b.mp4"), m_folder->file("b.avi"), "No Such Profile", "mp4", ""}}));
        const QStringList files{clip("one.mp4"), clip("two words.mp4"), clip("drei €.mp4")};
        QString out;
        const QString dest = m_folder->file("out dir/sub");
        QCOMPARE(run(QStringList{"--convert", "--jobs", "0", "--profile", "AVI (MPEG-4/MP3)", "--dest", dest, tsk} + files, &out), 1);
        QVERIFY2(out.contains("4 of 5 file(s) converted."), qPrintable(out));
        QVERIFY2(out.contains("Skipped: Line 2: \"" + m_folder->file("in/b.mp4") + "\" names the profile \"No Such Profile\""),
                 qPrintable(out));
        const int cores = std::clamp(QThread::idealThreadCount(), 1, 8);
        QVERIFY2(out.contains(QStringLiteral("\", %1 at once").arg(cores)), qPrintable(out));
        // Progress lines carry the time left once the first file has shown its pace.
        QVERIFY2(QRegularExpression("\\n  \\d+%  ETA \\d+:\\d\\d:\\d\\d\\n").match(out).hasMatch(), qPrintable(out));
        MediaInfo info;
        QVERIFY2(ParseProbeOutput(own, RunProbe(own, "-i"), info), qPrintable(out));
        QCOMPARE(info.videoCodec.str(), QStringLiteral("h264"));
        for (const char *name : {"one", "two words", "drei €"}) {
            const QString path = dest + "/" + name + ".avi";
            QVERIFY2(ParseProbeOutput(path, RunProbe(path, "-i"), info), qPrintable(path));
            QCOMPARE(info.videoCodec.str(), QStringLiteral("mpeg4"));
            QCOMPARE(info.audioCodec.str(), QStringLiteral("mp3"));
        }
    }

    void runsOnQtCoreAlone()
    {
        // The program itself links no window code: the window is a module loaded on demand.
        QProcess ldd;
        ldd.start("ldd", {BinDir() + "/corvane-studio"});
        QVERIFY(ldd.waitForFinished());
        const QString libraries = QString::fromLocal8Bit(ldd.readAllStandardOutput());
        QVERIFY2(libraries.contains("libQt6Core.so"), qPrintable(libraries));
        for (const char *window : {"libQt6Gui", "libQt6Widgets", "libQt6Network", "libmpv", "libcorvane-ui"})
            QVERIFY2(!libraries.contains(window), qPrintable(libraries));
    }

    void interruptStopsTheEngine()
    {
        prepare();
        const QString input = clip("a.mp4");
        // Probes go to the real engine; the conversion hangs until it is ended.
        QVERIFY(WriteStandInEngine(m_folder->file("mirracore"), "if [ $# -le 2 ]; then exec '" + QFile::encodeName(EnginePath()) +
                                   "' \"$@\"; fi\necho partial > \"$(eval echo \\${$#})\"\nexec sleep 600\n"));
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(m_program, {"--convert", "--dest", m_folder->file("out"), input});
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(m_folder->file("out/a.mp4")), 30000);
        ::kill(p.processId(), SIGINT);
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitCode(), 130);
        const QString out = QString::fromLocal8Bit(p.readAll());
        QVERIFY2(out.contains("a.mp4: Stoped"), qPrintable(out));
        QVERIFY(!QFile::exists(m_folder->file("out/a.mp4")));
    }

    void watchedFolder()
    {
        // Files dropped into a watched folder while it runs are converted once each: not
        // a file still growing, not the outputs written beside them, not a file from
        // before a restart; SIGTERM ends it.
        prepare();
        const QString in = m_folder->file("in"), out = m_folder->file("out");
        const QString first = clip("first.mp4"), second = clip("second clip.mp4");
        QVERIFY(QFile::rename(first, m_folder->file("first.mp4")) && QFile::rename(second, m_folder->file("second.mp4")));
        auto converted = [&] { return QDir(out).entryList({"*.mp4"}, QDir::Files, QDir::Name); };
        // journal: as a service's output, which the journal reads (JOURNAL_STREAM names the stream).
        auto start = [&](QProcess &p, const QStringList &extra, bool journal = false) {
            p.setProcessChannelMode(QProcess::MergedChannels);
            const QStringList args = QStringList{"--convert", "--watch", in} + extra;
            if (journal)
                p.start("/bin/sh", QStringList{"-c", "JOURNAL_STREAM=$(stat -L -c %d:%i /proc/$$/fd/1) exec \"$0\" \"$@\"", m_program} + args);
            else
                p.start(m_program, args);
            QVERIFY(p.waitForStarted());
        };
        QString log;
        auto logged = [&](QProcess &p, const QString &text) {
            log += QString::fromLocal8Bit(p.readAll());
            return log.contains(text);
        };
        QProcess p;
        start(p, {"--dest", out});
        QFile growing(in + "/growing.mp4"); // written a little at a time, never settling
        QVERIFY(growing.open(QIODevice::WriteOnly));
        QVERIFY(QFile::copy(m_folder->file("first.mp4"), in + "/first.mp4"));
        QTRY_VERIFY_WITH_TIMEOUT(logged(p, "first.mp4: Completed"), 60000);
        QVERIFY(QFile::copy(m_folder->file("second.mp4"), in + "/second clip.mp4"));
        for (int i = 0; i < 60 && !logged(p, "second clip.mp4: Completed"); ++i) {
            growing.write(QByteArray(1000, 'x'));
            growing.flush();
            QTest::qWait(500);
        }
        QVERIFY2(logged(p, "second clip.mp4: Completed"), qPrintable(log));
        QCOMPARE(converted(), (QStringList{"first.mp4", "second clip.mp4"}));
        ::kill(p.processId(), SIGTERM);
        QVERIFY(p.waitForFinished(10000));
        QVERIFY2(p.exitCode() == 0 && !logged(p, "growing"), qPrintable(log));
        // One line per file, with where it went: no progress, no start lines.
        QVERIFY2(logged(p, in + "/first.mp4: Completed, \"" + out + "/first.mp4\" in 0:00:0"), qPrintable(log));
        QVERIFY2(!logged(p, "Converting \"") && !logged(p, "%"), qPrintable(log));

        // Started again with outputs beside the inputs: what it converted stays done, and its
        // own new outputs are not taken for new files.
        growing.close();
        QFile::remove(growing.fileName());
        QProcess again;
        start(again, {}, true);
        log.clear();
        QFile::copy(m_folder->file("first.mp4"), in + "/third.mp4");
        QTRY_VERIFY_WITH_TIMEOUT(logged(again, "<6>" + in + "/third.mp4: Completed"), 60000);
        QTest::qWait(3500); // longer than a file takes to settle
        ::kill(again.processId(), SIGTERM);
        QVERIFY(again.waitForFinished(10000));
        QVERIFY2(again.exitCode() == 0 && !logged(again, "third_0.mp4: "), qPrintable(log));
        QCOMPARE(QDir(in).entryList(QDir::Files, QDir::Name), (QStringList{"first.mp4", "second clip.mp4", "third.mp4", "third_0.mp4"}));
        QCOMPARE(converted().size(), 2);
        QCOMPARE(log.count(": Completed"), 1);
    }

    // A file is handed out once its size and time have stayed the same for the settling
    // time, not at the first look that finds it unchanged: a slow copy passes that one too.
    void watchedFileSettlesBeforeItIsTaken()
    {
        QTemporaryDir dir;
        const QString clip = QFileInfo(dir.filePath("clip.mp4")).absoluteFilePath();
        QVERIFY(WriteFile(clip, QByteArray(100, 'x')));
        FolderWatch watch(dir.path(), 2000);
        QCOMPARE(watch.Settled(0), QStringList());
        QCOMPARE(watch.Settled(1999), QStringList());
        QCOMPARE(watch.Settled(2000), QStringList{clip});
        QCOMPARE(watch.Settled(9000), QStringList());
    }

    // What the exit status and the terminal say. "%clip NAME" is a clip made for the row,
    // "%in" the folder of inputs, "%bad" a file that is no video, "%log" an engine's log.
    // A verdict needs both the engine's success line and exit status 0; a wrong command
    // line or an unreadable log is told apart from a failed conversion.
    void exitStatus_data()
    {
        QTest::addColumn<QString>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("said");
        QTest::newRow("one bad file among them") << "--convert|--dest|%in/out|%clip a.mp4|%bad|%clip c.mp4" << 1
                                                 << QStringList{"bad.mp4: Failed", "2 of 3 file(s) converted."};
        QTest::newRow("a missing file") << "--convert|--dest|%in/out|%clip a.mp4|%in/missing.avi" << 1
                                        << QStringList{"no such file", "1 of 2 file(s) converted."};
        QTest::newRow("unknown profile") << "--convert|--profile|No Such Profile|%clip b.mp4" << 2
                                         << QStringList{"Unknown profile \"No Such Profile\"", "MP4 (H.264/AAC)"};
        QTest::newRow("switch without value") << "--convert|--dest" << 2 << QStringList{};
        QTest::newRow("verdict on a log") << "--verdict|%log" << 0 << QStringList{"Completed"};
        QTest::newRow("verdict with a signal") << "--verdict|%log|--exit-status|-9" << 1
                                               << QStringList{"Failed: The engine was ended by signal 9"};
        QTest::newRow("verdict on a folder") << "--verdict|%in" << 2 << QStringList{};
    }
    void exitStatus()
    {
        QFETCH(QString, args);
        QFETCH(int, status);
        QFETCH(QStringList, said);
        prepare();
        QVERIFY(WriteFile(m_folder->file("in/bad.mp4"), "not a video at all"));
        QVERIFY(WriteFile(m_folder->file("engine.log"), "Output #0, avi, to 'x.avi':\n  global headers: 12kB\n"));
        QStringList expanded;
        for (const QString &arg : args.split(u'|'))
            expanded << (arg.startsWith("%clip ") ? clip(arg.mid(6))
                                                  : QString(arg).replace("%in", m_folder->file("in"))
                                                        .replace("%bad", m_folder->file("in/bad.mp4"))
                                                        .replace("%log", m_folder->file("engine.log")));
        QString out;
        QCOMPARE(run(expanded, &out), status);
        for (const QString &text : said)
            QVERIFY2(out.contains(text), qPrintable(out));
    }

    // Targets on the command line: refused with the range when they cannot work, else set on
    // the chosen profile for the run; what was reached is printed with each file, and the
    // exported commands carry them too.
    void targets_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("said"); // a pattern the output holds
        auto row = [](const char *name, const QStringList &args, int status, const char *said) {
            QTest::newRow(name) << args << status << QString::fromUtf8(said);
        };
        row("loudness out of range", {"--convert", "--loudness", "-80"}, 2, "--loudness -80: the loudness must lie between -70 and -5 LUFS");
        row("SSIM out of range", {"--convert", "--target-ssim", "1"}, 2, "--target-ssim 1: the SSIM must lie between 0 and 1");
        row("size unreadable", {"--convert", "--target-size", "big"}, 2, "--target-size big: a size such as 25M");
        row("size and quality", {"--convert", "--target-size", "1M", "--target-ssim", "0.9"}, 2, "cannot be used together");
        row("loudness of sound alone", {"--convert", "--profile", "M4A (AAC)", "--loudness", "-16"}, 0,
            "a\\.mp4: Completed\n  Loudness -1[5-7]\\.\\d LUFS, true peak -\\d+\\.\\d dBTP \\(target -16 LUFS\\)");
        row("size of a film", {"--convert", "--profile", "MP4 H.264 (fast, constant quality)", "--target-size", "80k"}, 0,
            "a\\.mp4: Completed\n  Size [78]\\d\\.\\d kB \\(target 80\\.0 kB\\)");
        row("quality of a film", {"--convert", "--profile", "MP4 H.264 (fast, constant quality)", "--target-ssim", "0.95"}, 0,
            "a\\.mp4: Completed\n  SSIM 0\\.9\\d\\d at CRF \\d+ \\(target 0\\.95\\)");
        row("exported", {"--export-commands", "-", "--loudness", "-23", "--target-ssim", "0.95"}, 0, "-target-ssim 0\\.95 -loudness -23");
    }
    void targets()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, said);
        prepare();
        QString out;
        QCOMPARE(run(args + QStringList{"--dest", m_folder->file("out"), clip("a.mp4")}, &out), status);
        QVERIFY2(QRegularExpression(said).match(out).hasMatch(), qPrintable(out));
    }

    // Exported commands run through GNU parallel on two "machines": a stand-in for ssh runs
    // each command in a folder of its own, so the input only gets there by transfer and the
    // output only comes back by return. The verdicts are then the program's own.
    void exportedCommandsRunElsewhere()
    {
        if (QStandardPaths::findExecutable("parallel").isEmpty() || QStandardPaths::findExecutable("rsync").isEmpty())
            QSKIP("GNU parallel or rsync is not installed (tools/install-deps.sh installs both)");
        prepare();
        const QString root = m_folder->file("");
        QDir().mkpath(root + "in/sub");
        QVERIFY(WriteFile(root + "in/bad.mp4", "not a video at all"));
        const QStringList inputs{clip("a b $c'd €.mp4"), clip("two.mp4"), clip("sub/two.mp4"), root + "in/bad.mp4"};
        QString out;
        QCOMPARE(run(QStringList{"--export-commands", root + "jobs.tsv", "--relative-to", root, "--engine", EnginePath(),
                                 "--profile", "AVI (MPEG-4/MP3)", "--dest", root + "out/avi"} + inputs, &out), 0);
        QVERIFY2(out.contains("4 of 4 task(s) written"), qPrintable(out));
        const QStringList lines = QString::fromUtf8(ReadFile(root + "jobs.tsv")).split('\n', Qt::SkipEmptyParts);
        QStringList outputs;
        for (const QString &line : lines)
            outputs << line.section('\t', 1, 1);
        // Two inputs with one base name get two outputs, though neither has been written.
        QCOMPARE(outputs, (QStringList{"out/avi/a b $c'd €.avi", "out/avi/two.avi", "out/avi/two_0.avi", "out/avi/bad.avi"}));

        QVERIFY(WriteStandInEngine(root + "ssh", // a stand-in for ssh, made the same way
                                   "while [ $# -gt 0 ]; do case \"$1\" in -*) shift;; *) break;; esac; done\n"
                                  "host=$1; shift; [ \"$1\" = -- ] && shift\n"
                                  "mkdir -p '" + root.toUtf8() + "remote/'$host && cd '" + root.toUtf8() +
                                      "remote/'$host && exec sh -c \"$*\"\n"));
        QProcess parallel;
        parallel.setWorkingDirectory(root);
        parallel.setProcessChannelMode(QProcess::MergedChannels);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("RSYNC_OLD_ARGS", "1");
        // Without this, parallel guesses the shell from its parent (this test) or $SHELL, which CI leaves unset.
        env.insert("PARALLEL_SHELL", "/bin/sh");
        parallel.setProcessEnvironment(env);
        parallel.start("parallel", {"--will-cite", "--colsep", "\t", "--ssh", root + "ssh", "-S", "1/one,1/two",
                                    "--transferfile", "{1}", "--return", "{2}", "--return", "{2}.log", "--cleanup",
                                    "--joblog", "jobs.log", "mkdir -p {2//} && {=3 uq=} > {2}.log 2>&1", "::::", "jobs.tsv"});
        QVERIFY(parallel.waitForFinished(300000));
        const QString said = QString::fromLocal8Bit(parallel.readAll());
        QVERIFY2(parallel.exitCode() == 1, qPrintable(said)); // one job failed: bad.mp4

        // Seq Host Starttime JobRuntime Send Receive Exitval Signal Command
        QStringList verdicts, hosts;
        for (const QString &row : QString::fromUtf8(ReadFile(root + "jobs.log")).split('\n', Qt::SkipEmptyParts).mid(1)) {
            const QStringList column = row.split('\t');
            const QString output = root + outputs.value(column[0].toInt() - 1);
            hosts << column[1];
            run({"--verdict", output + ".log", "--exit-status", column[6]}, &out);
            verdicts << out.section(':', 0, 0).trimmed() + ' ' + QFileInfo(output).fileName();
            if (out.startsWith("Completed")) {
                MediaInfo info;
                QVERIFY2(ParseProbeOutput(output, RunProbe(output, "-i"), info), qPrintable(output));
                QCOMPARE(info.videoCodec.str(), QStringLiteral("mpeg4"));
            }
        }
        verdicts.sort();
        QCOMPARE(verdicts, (QStringList{"Completed a b $c'd €.avi", "Completed two.avi", "Completed two_0.avi",
                                        "Failed bad.avi"}));
        QVERIFY2(hosts.contains("one") && hosts.contains("two"), qPrintable(hosts.join(',')));
        QCOMPARE(QDir(root + "remote/one").entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
    }

};

QTEST_GUILESS_MAIN(TestHeadless)
#include "test_headless.moc"
