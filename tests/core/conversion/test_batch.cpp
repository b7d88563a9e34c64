#include <csignal>
#include <sys/resource.h>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <deque>
#include <mutex>
#include <thread>

#include "core/settings/AppSettings.h"
#include "core/tasks/TaskList.h"
#include "core/conversion/BatchConverter.h"
#include "core/conversion/EngineLocation.h"
#include "core/conversion/HardwareCheck.h"
#include "core/conversion/MediaProbe.h"
#include "base/OwnerThread.h"
#include "base/IniFile.h"
#include "base/UserMessage.h"
#include "core/settings/Language.h"
#include "core/profiles/CMpegStructs.h"
#include "core/profiles/CurrentProfile.h"
#include "core/profiles/ParamOptions.h"
#include "core/profiles/ProfileCatalogue.h"
#include "support/TestSupport.h"

using namespace TestSupport;

namespace {

// Records what a run reports, in order, and answers its questions from a script.
class RecordingHost : public BatchHost
{
public:
    GlobalSelection global;
    std::deque<bool> answers; // default OK
    std::function<void(const ProgressEvent &)> onProgress;
    std::function<void(const TaskStartedEvent &)> onStarted;
    QStringList log, questions, messages;
    QList<TaskStartedEvent> started;
    QList<TaskFinishedEvent> finished;
    QList<int> overall;

    void RunStarting() override { add(log, "starting"); }
    void RunStarted(double) override { add(log, "started"); }
    void TaskStarted(const TaskStartedEvent &e) override
    {
        add(started, e);
        add(log, "task " + QString::number(e.id));
        if (onStarted)
            onStarted(e);
    }
    void Progress(const ProgressEvent &e) override
    {
        if (e.overall)
            add(overall, *e.overall);
        if (onProgress)
            onProgress(e);
    }
    void TaskFinished(const TaskFinishedEvent &e) override
    {
        add(finished, e);
        add(log, "done " + QString::number(e.id) + " " + VerdictText(e.verdict));
    }
    void RunEnded() override { add(log, "ended"); }
    bool AskOkCancel(const QString &text) override
    {
        add(questions, text);
        std::lock_guard<std::mutex> lock(m_mutex);
        const bool answer = answers.empty() || answers.front();
        if (!answers.empty())
            answers.pop_front();
        return answer;
    }
    void ShowMessage(const QString &text) override { add(messages, text); }
    GlobalSelection Global() override { return global; }
    int PriorityLevel() override { return 0; }

private:
    template <typename List, typename Item>
    void add(List &list, const Item &item)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        list << item;
    }
    std::mutex m_mutex;
};

// Engines simulated on a virtual clock: each job takes the next task, spends startUp
// seconds before its first progress, then converts at its profile's pace at that moment over its megapixels.
// Returns the predicted end (now + remaining) at each progress step, and the real end.
// A memory given starts the clock and receives what the run measured.
struct SimTask
{
    QString profile;
    double media;
    double megapixels = 0;
};
using Pace = std::function<double(const QString &profile, double now)>;
struct Pacing { int jobs; bool drops; double checkFrom, tolerance; };
std::pair<QList<std::pair<double, double>>, double> simulate(int jobs, const QList<SimTask> &tasks, const Pace &pace,
                                                             RunClock::Memory *memory = nullptr)
{
    double now = 0;
    RunClock clock([&now] { return now; });
    clock.Start(jobs, memory ? *memory : RunClock::Memory());
    for (int i = 0; i < tasks.size(); ++i)
        clock.AddTask(i + 1, tasks[i].profile, tasks[i].media, tasks[i].megapixels);
    const double step = 0.5, startUp = 0.3;
    struct Slot { int task = -1; double done = 0, startedAt = 0; };
    QList<Slot> engines(jobs);
    int next = 0;
    QList<std::pair<double, double>> predicted;
    for (;;) {
        bool busy = false;
        for (Slot &s : engines) {
            if (s.task >= 0 && s.done >= tasks[s.task].media) {
                clock.TaskFinished(s.task + 1, true);
                s.task = -1;
            }
            if (s.task < 0 && next < tasks.size()) {
                s = {next++, 0, now};
                clock.TaskStarted(s.task + 1, tasks[s.task].profile);
            }
            busy = busy || s.task >= 0;
        }
        if (!busy) {
            if (memory)
                *memory = clock.Remembered();
            return {predicted, now};
        }
        now += step;
        for (Slot &s : engines)
            if (s.task >= 0 && now - s.startedAt > startUp) {
                const double pixels = tasks[s.task].megapixels > 0 ? tasks[s.task].megapixels : 1.0;
                s.done = std::min(tasks[s.task].media, s.done + step * pace(tasks[s.task].profile, now) / pixels);
                clock.TaskProgress(s.task + 1, s.done);
            }
        if (const auto left = clock.Remaining())
            predicted << std::pair{now, now + *left};
    }
}

} // namespace

// The conversion run of the core over a task list, with the real engine on generated
// clips, and with stand-in engines for the faults a real one does not make on demand.
class TestBatch : public QObject
{
    Q_OBJECT

    std::unique_ptr<ProgramFolder> m_folder;
    std::unique_ptr<AppSettings> m_settings;
    std::unique_ptr<CurrentProfile> m_profile;
    std::unique_ptr<TaskList> m_tasks;
    std::unique_ptr<RecordingHost> m_host;
    ConversionFlags m_flags;
    double m_total = -1;
    QString m_in;
    QString m_out;

    void start(const QString &runMode = QString(), const QString &profile = "MP4 (H.264/AAC)")
    {
        m_folder = std::make_unique<ProgramFolder>();
        IniFile::WriteString(m_folder->settingsPath(), "SYSTEM", "RUNMODE", runMode);
        m_settings = std::make_unique<AppSettings>();
        m_settings->Load(m_folder->exePath());
        SetEngineProgramFolder(m_folder->path());
        ReadProfileCatalogue(m_settings->Folders().DataFile("profile.ini"));
        m_profile = std::make_unique<CurrentProfile>(m_settings->Folders());
        m_profile->Select(profile);
        m_tasks = std::make_unique<TaskList>();
        m_host = std::make_unique<RecordingHost>();
        m_in = m_folder->file("in put/");
        m_out = m_folder->file("out/");
        QDir().mkpath(m_in);
        const ProfileSnapshot snapshot = m_profile->Snapshot();
        m_host->global = {profile, m_out, m_out, snapshot.aspectMode, snapshot.tree};
        m_flags.stopRequested = false;
        m_flags.selectedOnly = false;
    }
    void addFiles(const QStringList &paths)
    {
        NewTaskSettings s;
        s.profileName = m_profile->Name();
        s.targetType = GetTargetType(m_profile->Name());
        s.destination = m_out;
        m_tasks->Add(paths, s, false);
    }
    void addClips(const QStringList &names, int seconds = 1) { addFiles(MakeClips(m_in, names, {seconds, "160x120"})); }
    // Runs the batch on a thread of its own; this thread serves the task list meanwhile.
    void run(int jobs = 1)
    {
        BatchConverter converter(*m_tasks, *m_host, m_flags, {m_settings->GetRunMode(), jobs, {}, m_settings->IsDateKept()});
        RunServingEvents([&] { converter.Run(); });
        m_total = converter.TotalSeconds();
    }
    QStringList statuses() const
    {
        QStringList s;
        for (quint16 id : m_tasks->Ids())
            s << m_tasks->State(id).status;
        return s;
    }
    QString output(int row) const { return m_tasks->Find(m_tasks->IdAt(row))->outputPath.str(); }
    QString engine() const { return m_folder->file("mirracore"); }
    // As if the probe had run: the totals pass then leaves a stand-in engine alone.
    void giveDurations(bool realProbe = false)
    {
        for (quint16 id : m_tasks->Ids()) {
            auto info = std::make_unique<MediaInfo>();
            const QString source = m_tasks->Find(id)->sourcePath.str();
            if (!realProbe)
                info->durationSecText = QStringLiteral("1.00");
            else
                ParseProbeOutput(source, RunProbe(source, "-i"), *info);
            m_tasks->SetMediaInfo(id, std::move(info));
        }
    }

private slots:
    void cleanup()
    {
        m_tasks.reset();
        m_settings.reset();
        m_folder.reset();
    }

    // A completed task's report says what the engine did beyond the profile (a copy the
    // container cannot hold is encoded); with KEEPDATE the output has its source's date.
    void completedTaskKeepsNotesAndDate_data()
    {
        QTest::addColumn<bool>("keepDate");
        QTest::newRow("date of the conversion") << false;
        QTest::newRow("date of the source") << true;
    }
    void completedTaskKeepsNotesAndDate()
    {
        QFETCH(bool, keepDate);
        start(QString(), "Copy streams into MP4 (no re-encoding)");
        m_settings->SetDateKept(keepDate);
        const QString source = m_in + "cinepak $1.avi";
        MakeClip(source, ClipSpec{1, "96x64", 10, true, true, {"-vcodec", "cinepak", "-acodec", "pcm_s16le"}});
        const QDateTime past(QDate(2001, 2, 3), QTime(4, 5, 6, 789), Qt::UTC);
        QFile file(source);
        QVERIFY(file.open(QIODevice::ReadWrite) && file.setFileTime(past, QFileDevice::FileModificationTime));
        file.close();
        addFiles({source});
        run();
        QCOMPARE(statuses(), QStringList{"Completed"});
        const QString report = m_tasks->State(m_tasks->IdAt(0)).report;
        QVERIFY2(report.contains("cinepak video of") && report.contains("encoded with libx264") && report.contains("encoded with aac"),
                 qPrintable(report));
        QCOMPARE(m_host->finished.first().cause, report);
        QCOMPARE(QFileInfo(output(0)).lastModified() == past, keepDate);
    }

    void convertsEveryRowWithItsEvents()
    {
        start();
        addClips({"one.mp4", "two \"quoted\" $x ключ.avi", "three.mkv"});
        run();
        QCOMPARE(statuses(), (QStringList{"Completed", "Completed", "Completed"}));
        QCOMPARE(m_host->log, (QStringList{"starting", "started", "task 1", "done 1 Completed", "task 2",
                                           "done 2 Completed", "task 3", "done 3 Completed", "ended"}));
        // Lengths probed while the first task converted count in the total as well.
        QVERIFY(qAbs(m_total - 3.0) < 0.3);
        QCOMPARE(m_host->overall.last(), 100);
        QVERIFY(std::is_sorted(m_host->overall.begin(), m_host->overall.end()));
        for (int r = 0; r < 3; ++r) {
            const QString out = output(r);
            QVERIFY2(out.startsWith(m_out) && out.endsWith(".mp4"), qPrintable(out));
            MediaInfo info;
            QVERIFY(ParseProbeOutput(out, RunProbe(out, "-i"), info));
            QCOMPARE(info.videoCodec.str(), QStringLiteral("h264"));
        }
        // The command that ran is the one logged: its argument list holds each path whole.
        const EngineCommand &second = m_host->started.at(1).command;
        QCOMPARE(second.Program(), engine());
        QCOMPARE(second.Arguments().at(2), m_in + "two \"quoted\" $x ключ.avi");
        QCOMPARE(second.Arguments().last(), m_out + "two \"quoted\" $x ключ.mp4");
        QCOMPARE(m_flags.converting.load(), false);

        // Completed rows ask first. Cancel for every row: nothing converted, the bar never moves.
        const QString firstOutput = output(0);
        m_host->answers = {false, false, false};
        m_host->overall.clear();
        run();
        QCOMPARE(m_host->questions.size(), 3);
        QCOMPARE(m_host->questions.first(), GetLangString("@9").replace("%s", m_in + "one.mp4"));
        QVERIFY(m_host->overall.isEmpty());
        // Cancel for the first, OK for the second: the third is converted without asking.
        m_host->questions.clear();
        m_host->answers = {false, true};
        run();
        QCOMPARE(m_host->questions.size(), 2);
        QCOMPARE(output(0), firstOutput);
        QCOMPARE(output(1), m_out + "two \"quoted\" $x ключ_0.mp4");
        QCOMPARE(output(2), m_out + "three_0.mp4");
    }

    void engineFaults_data()
    {
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<QString>("verdict");
        QTest::addColumn<QString>("cause");
        const QByteArray progress = "echo \"Input #0, mov, from 'x':\"\n"
                                    "echo \"frame=   10 fps= 10 q=2.0 size=10kB time=0.40 bitrate= 200.0kbits/s\"\n"
                                    "echo partial > \"$(eval echo \\${$#})\"\n";
        QTest::newRow("killed by a signal") << progress + "kill -SEGV $$\n" << "Failed" << "signal 11";
        QTest::newRow("exit 0 without the marker") << progress + "exit 0\n" << "Failed" << "without finishing";
        QTest::newRow("marker but exit 1")
            << progress + "echo \"video:1kB audio:1kB global headers:0kB muxing overhead 0.5%\"\nexit 1\n"
            << "Failed" << "reported success but ended with exit status 1";
        QTest::newRow("flood without newlines")
            << progress + "head -c 3000000 /dev/zero | tr '\\0' 'x'\nexit 1\n" << "Failed" << "exit status 1";
        QTest::newRow("marker split over two writes")
            << progress + "printf 'video:1kB audio:1kB global hea'\nsleep 0.3\nprintf 'ders:0kB muxing\\n'\n"
            << "Completed" << "";
        QTest::newRow("writes far past its input")
            << progress + "echo 'frame=9999 fps=999 q=2.0 size=99999kB time=60.00 bitrate= 200.0kbits/s'\n"
                          "exec sleep 600\n"
            << "Failed" << "far more time than the input holds";
    }
    void engineFaults()
    {
        QFETCH(QByteArray, script);
        QFETCH(QString, verdict);
        QFETCH(QString, cause);
        start();
        addClips({"a.mp4", "b.mp4"});
        const QString input = m_in + "a.mp4";
        const QByteArray before = ReadFile(input);
        giveDurations();
        WriteStandInEngine(engine(), script);
        run();
        // Each task gets its verdict, the next one still runs, the input is untouched.
        QCOMPARE(statuses(), QStringList(2, verdict));
        QCOMPARE(m_host->finished.size(), 2);
        const TaskFinishedEvent &first = m_host->finished.first();
        QVERIFY2(first.Report().contains(cause), qPrintable(first.Report().right(300)));
        QCOMPARE(QFile::exists(first.outputPath), verdict == "Completed");
        if (verdict == "Failed")
            QCOMPARE(m_tasks->State(1).report, first.Report());
        QCOMPARE(ReadFile(input), before);
    }

    void environmentFaults_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("cause");
        QTest::newRow("destination replaced by a file") << "destination" << "cannot be made";
        QTest::newRow("input deleted before its turn") << "deleted" << "No such file";
        QTest::newRow("input replaced by a folder") << "folder" << "a.mp4";
        QTest::newRow("output reaches the file size limit") << "limit" << "largest size this process may write";
    }
    void environmentFaults()
    {
        QFETCH(QString, fault);
        QFETCH(QString, cause);
        start();
        addClips({"a.mp4", "b.mp4"}, 2);
        giveDurations(true); // listed and probed; then the world changes before the run reaches the file
        QStringList told;
        SetUserMessageHandler([&](const QString &text) { told << text; });
        rlimit previous{};
        getrlimit(RLIMIT_FSIZE, &previous);
        if (fault == "destination") {
            QDir(m_out).removeRecursively();
            QFile(m_folder->file("out")).open(QIODevice::WriteOnly);
            m_host->global.destination = m_folder->file("out");
        } else if (fault == "deleted") {
            QFile::remove(m_in + "a.mp4");
        } else if (fault == "folder") {
            QFile::remove(m_in + "a.mp4");
            QDir().mkpath(m_in + "a.mp4");
        } else {
            // The engine ignores the signal and says what happened.
            std::signal(SIGXFSZ, SIG_IGN);
            rlimit small = previous;
            small.rlim_cur = 20000;
            setrlimit(RLIMIT_FSIZE, &small);
        }
        run();
        setrlimit(RLIMIT_FSIZE, &previous);
        SetUserMessageHandler(nullptr);
        // The row says Failed and why; the run goes on to the next row.
        QCOMPARE(m_tasks->State(1).verdict, Verdict::Failed);
        QVERIFY2(m_tasks->State(1).report.contains(cause), qPrintable(m_tasks->State(1).report));
        QCOMPARE(m_host->finished.size(), 2);
        QCOMPARE(told.isEmpty(), fault != "destination");
        if (fault != "destination" && fault != "limit")
            QCOMPARE(m_tasks->State(2).verdict, Verdict::Completed);
        QVERIFY(!QFile::exists(output(0)) || fault == "folder" || QFileInfo(output(0)).isDir());
    }

    // Choices are read as each task starts. A task with its own profile, settings and output
    // name converts with them.
    void choicesMadeAsEachTaskStarts()
    {
        start();
        addClips({"a.mp4", "b.mp4", "c.mp4", "d.mp4", "e.mp4"});
        m_tasks->SetSelected(0, 0, true);
        m_tasks->SetSelected(2, 4, true);
        const TaskPtr own = m_tasks->Find(5);
        CurrentProfile mkv(m_settings->Folders());
        mkv.Select("MKV (H.264/AAC)");
        own->useGlobalOutput = 0;
        own->profileName = mkv.Name();
        own->paramTree = CloneCells(mkv.Tree());
        for (auto [cell, value] : {std::pair{"s", "176x144"}, {"ar", "22050"}})
            FindCell(own->paramTree.get(), cell)->UsedType = ParamCell::kUserValue, FindCell(own->paramTree.get(), cell)->SValue = value;
        own->outputPath = m_folder->file("typed/by hand $ ä/e.mkv");
        // While the first task runs: Convert Selected pressed, another profile chosen, a
        // selected row deleted.
        m_host->onStarted = [this](const TaskStartedEvent &e) {
            if (e.id != 1)
                return;
            QMetaObject::invokeMethod(m_tasks.get(), [this] { m_tasks->Remove({4}); }, Qt::BlockingQueuedConnection);
            m_flags.selectedOnly = true;
            CurrentProfile avi(m_settings->Folders());
            avi.Select("AVI (MPEG-4/MP3)");
            const ProfileSnapshot snapshot = avi.Snapshot();
            m_host->global = {"AVI (MPEG-4/MP3)", m_out, m_out, snapshot.aspectMode, snapshot.tree};
        };
        run();
        QCOMPARE(statuses(), (QStringList{"Completed", "", "Completed", "Completed"}));
        QCOMPARE(m_host->started.size(), 3);
        QVERIFY(output(0).endsWith(".mp4"));
        QCOMPARE(output(2), m_out + "c.avi");
        QCOMPARE(m_tasks->Find(3)->profileName.str(), QStringLiteral("AVI (MPEG-4/MP3)"));
        const QString probe = RunProbe(own->outputPath.str(), "-i");
        for (const char *part : {"Input #0, matroska", "Video: h264, ", ", 176x144 ", "Audio: aac, 22050 Hz"})
            QVERIFY2(probe.contains(QString::fromUtf8(part)), qPrintable(probe));
    }

    void stopEndsTheRunAtTheNextRow_data()
    {
        QTest::addColumn<QString>("profile");
        QTest::newRow("software") << "MP4 (H.264/AAC)";
        QTest::newRow("graphics card: no twin after a stop") << "MP4 H.264 (VAAPI hardware)";
    }
    void stopEndsTheRunAtTheNextRow()
    {
        QFETCH(QString, profile);
        start(QString(), profile);
        addClips({"a.mp4", "b.mp4", "c.mp4"});
        giveDurations();
        // The first file converts at once, the others hang until they are ended.
        WriteStandInEngine(engine(), "out=\"$(eval echo \\${$#})\"\necho partial > \"$out\"\n"
                              "case \"$3\" in *a.mp4) echo 'global headers:0kB'; exit 0;; esac\n"
                              "exec sleep 600\n");
        m_host->onStarted = [this](const TaskStartedEvent &e) {
            if (e.id == 2)
                m_flags.stopRequested = true; // Stop Convert as the engine starts
        };
        run();
        QCOMPARE(statuses(), (QStringList{"Completed", "Stoped", ""}));
        QVERIFY(QFile::exists(output(0)));
        QVERIFY(!QFile::exists(output(1)));
        QCOMPARE(m_host->finished.value(1).cause, QString());
        QCOMPARE(m_host->log.last(), QStringLiteral("ended"));
    }

    void missingEngineEndsTheRun()
    {
        start();
        addClips({"a.mp4", "b.mp4"});
        giveDurations();
        QFile::remove(engine());
        run();
        QCOMPARE(statuses(), (QStringList{"Failed", ""}));
        QVERIFY2(m_host->finished.first().cause.contains("could not be started"),
                 qPrintable(m_host->finished.first().cause));
        // Without media information, the totals pass cannot probe: nothing is converted.
        m_tasks->Find(2)->mediaInfo.reset();
        m_host->finished.clear();
        run();
        QCOMPARE(m_host->messages.last(), QStringLiteral("Error Reading File info,Converting Stoped!"));
        QVERIFY(m_host->finished.isEmpty());
    }

    // Hardware profiles made to fail on any machine: a device that is not there, a quality
    // the encoder refuses.
    void hardwareFallsBackToItsTwin_data()
    {
        QTest::addColumn<QStringList>("fault"); // the profile, its cell, the value that breaks it, and its twin
        QTest::newRow("vaapi without a device")
            << QStringList{"MP4 H.264 (VAAPI hardware)", "vaapi_device", "/nonexistent/renderD128", "MP4 H.264 (fast, constant quality)"};
        QTest::newRow("nvenc refusing a value") << QStringList{"MP4 H.265 (NVIDIA NVENC)", "cq", "99", "MP4 H.265 (constant quality)"};
    }
    void hardwareFallsBackToItsTwin()
    {
        QFETCH(QStringList, fault);
        const QString profile = fault[0], cell = fault[1], value = fault[2], twin = fault[3];
        start(QString(), profile);
        ParamCell *broken = FindCell(m_profile->Tree(), cell);
        QVERIFY(broken);
        broken->SValue = value;
        if (broken->nValueType != ParamCell::kText)
            broken->UsedType = ParamCell::kUserValue;
        m_host->global.tree = m_profile->Snapshot().tree;
        addClips({"a.mp4"}, 2);

        // The engine's own verdict on the profile, as the window's check at start gets it.
        HardwareCheck check;
        QSignalSpy checked(&check, &HardwareCheck::checked);
        CMpegStructs twinTree;
        twinTree.LoadFromFile(ProfileFile(twin, m_settings->Folders()));
        check.Start({{profile, GetParamFromTree(m_host->global.tree.get()), "mp4"},
                     {twin, GetParamFromTree(twinTree.GetRoot()), "mp4"}});
        QTRY_COMPARE_WITH_TIMEOUT(checked.size(), 2, 30000);
        QCOMPARE(checked[0][0].toString(), profile);
        QVERIFY(!checked[0][1].toString().isEmpty());
        QCOMPARE(checked[1][1].toString(), QString()); // a software profile works

        run();
        QCOMPARE(statuses(), QStringList{"Completed"});
        QCOMPARE(m_host->finished.size(), 1); // no failure shown on the way
        QVERIFY2(m_host->finished[0].cause.contains("converted with \"" + twin + "\""), qPrintable(m_host->finished[0].cause));
        QCOMPARE(m_tasks->State(m_tasks->IdAt(0)).report, m_host->finished[0].cause);
        // The second engine run is not counted on top of the first.
        QVERIFY(std::is_sorted(m_host->overall.begin(), m_host->overall.end()));
        QVERIFY(m_host->overall.isEmpty() || m_host->overall.last() <= 100);
        MediaInfo info;
        QVERIFY(ParseProbeOutput(output(0), RunProbe(output(0), "-i"), info));
        QCOMPARE(info.videoCodec.str(), profile.contains("H.265") ? QStringLiteral("hevc") : QStringLiteral("h264"));
    }

    void diagnosticSwitch_data()
    {
        QTest::addColumn<QString>("runMode");
        QTest::addColumn<int>("logged");
        QTest::addColumn<bool>("converted");
        QTest::newRow("print, no run") << "PRINT_CMD_NO_RUN" << 2 << false;
        QTest::newRow("debug") << "DEBUG_PRINT_CMD" << 2 << true;
        QTest::newRow("lower case is no switch") << "print_cmd_no_run" << 0 << true;
    }
    void diagnosticSwitch()
    {
        QFETCH(QString, runMode);
        QFETCH(int, logged);
        QFETCH(bool, converted);
        start(runMode);
        addClips({"a.mp4", "b b.mp4"});
        run();
        const QString text = FromUtf16(ReadFile(m_folder->file("run.log")));
        QCOMPARE(text.count(" -qmin 1 -qmax 51 -level 13 \""), logged);
        if (logged)
            QVERIFY(text.contains(engine() + " -y -i \"" + m_in + "b b.mp4\"  -vcodec"));
        QCOMPARE(statuses(), QStringList(2, converted ? "Completed" : ""));
    }

    void parallelJobsNeverShareAName()
    {
        start();
        // A thousand inputs with one base name, two engines at once: each output is a file
        // of its own (a stand-in engine that writes its output and succeeds).
        QStringList inputs;
        for (int i = 0; i < 1000; ++i)
            inputs << Touch(m_in + QString::number(i) + "/same.mp4");
        addFiles(inputs);
        giveDurations();
        WriteStandInEngine(engine(), "out=\"$(eval echo \\${$#})\"\n[ -e \"$out\" ] && exit 3\necho x > \"$out\"\n"
                              "echo 'frame= 1 fps= 1 q=1.0 size= 1kB time=1.00 bitrate= 1.0kbits/s'\n"
                              "echo 'global headers:0kB'\n");
        run(2);
        QCOMPARE(statuses(), QStringList(1000, "Completed"));
        QSet<QString> outputs;
        for (int r = 0; r < 1000; ++r)
            outputs.insert(output(r));
        QCOMPARE(outputs.size(), 1000);
        QCOMPARE(QDir(m_out).entryList(QDir::Files).size(), 1000);
        QCOMPARE(m_host->overall.last(), 100);
    }

    // Files the run finds unprobed: the first is probed before it converts, the others
    // while it converts. The last is long, and its probe answers (60 s) only once the first
    // output exists, after the first progress line (9 s after waiting five seconds in vain):
    // an overall share shown before that would run backwards at the last file's first line.
    void laterFilesProbedWhileTheFirstConverts()
    {
        start();
        addFiles({Touch(m_in + "a.mp4"), Touch(m_in + "b.mp4"), Touch(m_in + "c.mp4")});
        const QByteArray first = (m_out + "a.mp4").toUtf8();
        WriteStandInEngine(engine(), "if [ $# -eq 2 ]; then\n  len=02\n"
                              "  case \"$2\" in *c.mp4) len=09; for i in $(seq 50); do\n"
                              "    [ -e '" + first + "' ] && len=60 && break; sleep 0.1; done;; esac\n"
                              "  printf '  Duration: 00:00:%s.00, start: 0.0, bitrate: 100 kb/s\\r\\n' $len\n"
                              "  printf '    Stream #0:0: Video: h264, yuv420p, 160x120, 25 fps, 25 tbr\\r\\n'\n"
                              "  printf '    Stream #0:1: Audio: aac, 44100 Hz, stereo, fltp\\r\\n'\n  exit 1\nfi\n"
                              "out=\"$(eval echo \\${$#})\"\n"
                              "echo 'frame= 1 fps= 1 q=1.0 size= 1kB time=2.00 bitrate= 1.0kbits/s'\nsleep 0.2\n"
                              "case \"$out\" in *c.mp4) echo 'frame= 9 fps= 1 q=1.0 size= 9kB time=60.00 bitrate= 1.0kbits/s';; esac\n"
                              "echo x > \"$out\"\necho 'global headers:0kB'\n");
        run();
        QCOMPARE(statuses(), QStringList(3, "Completed"));
        QCOMPARE(m_total, 64.0); // 13 when the last probe came before the first conversion
        QVERIFY(!m_host->overall.isEmpty() && m_host->overall.last() == 100);
        QVERIFY(std::is_sorted(m_host->overall.begin(), m_host->overall.end()));
    }

    // The predicted end, from the moment a share of the run has passed, stays within a
    // tolerance of the real end: with profiles of different pace, parallel jobs, and a
    // pace that drops halfway (the prediction follows it within half a minute).
    void timeLeftFollowsThePace_data()
    {
        // Jobs; whether the pace halves at 40 % of the run; the share of the real run from which the
        // prediction is checked, and its tolerance.
        QTest::addColumn<Pacing>("pacing");
        QTest::newRow("one job") << Pacing{1, false, 0.1, 0.05};
        QTest::newRow("two jobs") << Pacing{2, false, 0.1, 0.10};
        QTest::newRow("pace drops") << Pacing{1, true, 0.6, 0.10};
    }
    void timeLeftFollowsThePace()
    {
        QFETCH(Pacing, pacing);
        const auto [jobs, drops, checkFrom, tolerance] = pacing;
        QList<SimTask> tasks;
        for (int i = 0; i < 12; ++i)
            tasks << SimTask{i % 2 ? "slow" : "fast", 10.0 + 7 * (i % 5)};
        double dropAt = 1e9;
        const Pace pace = [&](const QString &profile, double now) {
            return (profile == "fast" ? 4.0 : 1.5) * (now >= dropAt ? 0.5 : 1.0);
        };
        if (drops)
            dropAt = 0.4 * simulate(jobs, tasks, pace).second; // where 40 % of the steady run ends
        const auto [predicted, end] = simulate(jobs, tasks, pace);
        QVERIFY(predicted.size() > 20);
        for (const auto &[at, predictedEnd] : predicted)
            if (at >= checkFrom * end && at < end - 1)
                QVERIFY2(qAbs(predictedEnd - end) <= tolerance * end,
                         qPrintable(QString("at %1 s: end predicted %2 s, real %3 s").arg(at).arg(predictedEnd).arg(end)));
    }

    void pacesCarryOverToTheNextRun()
    {
        // Alternating profiles of very different paces: at a tenth of a one-job run only
        // the first has been seen. The next run, on pictures four times as large, starts
        // from the paces the first one measured, through the file they are kept in.
        const Pace pace = [](const QString &profile, double) { return profile == "fast" ? 8.0 : 1.0; };
        auto errorAtTenth = [](const QList<std::pair<double, double>> &predicted, double end) {
            for (const auto &[at, predictedEnd] : predicted)
                if (at >= 0.1 * end)
                    return qAbs(predictedEnd - end) / end;
            return 1.0;
        };
        QList<SimTask> small, large;
        for (int i = 0; i < 10; ++i) {
            small << SimTask{i % 2 ? "fast" : "slow", 12.0 + 4 * (i % 4), 0.5};
            large << SimTask{i % 2 ? "fast" : "slow", 12.0 + 4 * (i % 4), 2.0};
        }
        RunClock::Memory memory;
        const auto [first, firstEnd] = simulate(1, small, pace, &memory);
        QVERIFY2(errorAtTenth(first, firstEnd) > 0.3, "the unseen profile was guessed right by chance");
        QCOMPARE(memory.paces.size(), 2);
        QTemporaryDir dir;
        const QString path = dir.filePath("state/paces.json");
        QVERIFY(RunClock::Save(path, memory));
        RunClock::Memory loaded = RunClock::Load(path);
        const auto [second, secondEnd] = simulate(1, large, pace, &loaded);
        QVERIFY2(errorAtTenth(second, secondEnd) < 0.05, qPrintable(QString::number(errorAtTenth(second, secondEnd))));
        for (const QByteArray &junk : {QByteArray("{\"paces\":{\"a\":-1,\"b\":\"x\"},\"startUp\":1e300}"), QByteArray("[")}) {
            QVERIFY(WriteFile(path, junk));
            QVERIFY(RunClock::Load(path).paces.isEmpty());
        }
        QCOMPARE(RunClock::Megapixels("1920x1080 [SAR 1:1 DAR 16:9]"), 1920 * 1080 / 1e6);
        QCOMPARE(RunClock::Megapixels("N/A"), 0.0);
    }

    void pauseStopsTheEngineAndTheClock()
    {
        start();
        addClips({"a.mp4", "b.mp4"});
        giveDurations();
        const QString pidFile = m_folder->file("engine.pid");
        WriteStandInEngine(engine(), "echo $$ > '" + pidFile.toUtf8() + "'\n"
                              "for t in 0.20 0.40 0.60 0.80 1.00; do\n"
                              "  echo \"frame= 1 fps= 1 q=1.0 size= 1kB time=$t bitrate= 1.0kbits/s\"\n  sleep 0.1\ndone\n"
                              "echo x > \"$(eval echo \\${$#})\"\necho 'global headers:0kB'\n");
        QElapsedTimer wall;
        std::thread resumer;
        bool stopped = false;
        m_host->onProgress = [&](const ProgressEvent &e) {
            if (e.id != 1 || m_flags.IsPaused() || resumer.joinable())
                return;
            wall.start();
            m_flags.SetPaused(true);
            resumer = std::thread([&] {
                // The engine sits stopped ("T" in its state) until it is resumed.
                const QString stat = "/proc/" + ReadFile(pidFile).trimmed() + "/stat";
                for (int i = 0; i < 100 && !stopped; ++i) {
                    stopped = ReadFile(stat).split(' ').value(2) == "T";
                    QThread::msleep(10);
                }
                QThread::msleep(2000);
                m_flags.SetPaused(false);
            });
        };
        run();
        resumer.join();
        QVERIFY(stopped);
        QCOMPARE(statuses(), QStringList(2, "Completed"));
        // The task's own time leaves the pause out; the row keeps it.
        const double elapsed = m_host->finished.first().elapsed;
        QVERIFY2(elapsed > 0 && elapsed < wall.elapsed() / 1000.0 - 1.5, qPrintable(QString::number(elapsed)));
        QCOMPARE(m_tasks->State(1).elapsed, elapsed);
    }
};

QTEST_GUILESS_MAIN(TestBatch)
#include "test_batch.moc"
