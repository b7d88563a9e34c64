// Conversions at once in the window, measured side by side in one run:
//   the clips with the AVI (MPEG-4/MP3) profile, "Conversions at once" 2 against 1;
//   the same clips with the default profile (H.264), Automatic against 1;
// and, behind the automatic rule, the cores one engine of each kind of profile keeps busy
// (the engine's CPU seconds over its wall seconds, one conversion alone).
// The window is the real one, offscreen; each measure is the median of interleaved rounds.
// Usage: bench_jobs [CLIPS] [SECONDS] [ROUNDS]
//        bench_jobs --screenshot FILE.png   (on a display: the window mid-run, two rows converting)
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QProgressBar>
#include <QScreen>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "core/conversion/HardwareCheck.h"
#include "core/conversion/JobCount.h"
#include "core/conversion/EngineCommand.h"
#include "core/profiles/ParamOptions.h"
#include "core/profiles/ProfileCatalogue.h"
#include "support/MainWindowFixture.h"
#include "ui/mainwindow/BatchView.h"
#include "ui/mainwindow/ControlIds.h"
#include "ui/widgets/CListCtrlEx.h"

using namespace TestSupport;

namespace {

// Other work on the machine shrinks every ratio here towards 1: it is printed with them.
QByteArray loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly) ? file.readLine() : QByteArray("unknown\n");
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Seconds from Convert All to the end of the run, in a fresh window.
double convertInWindow(const QStringList &clips, const QString &profile, int jobs, const QString &dest, int *shownJobs)
{
    MainWindowFixture window({{QStringLiteral("JOBS"), QString::number(jobs)}});
    window.SetDestination(dest);
    QComboBox *profiles = window.Window()->Controls().profileCombo;
    if (!profile.isEmpty())
        profiles->setCurrentIndex(profiles->findText(profile));
    window.Drop(clips); // probed here, before the clock starts
    // A fresh window tries the graphics cards' encoders first; a user's window has done so
    // by the time its files are chosen.
    while (window.Window()->Hardware().IsRunning())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    BatchView &batch = window.Window()->Batch();
    QEventLoop loop;
    QObject::connect(&batch, &BatchView::runEnded, &loop, &QEventLoop::quit);
    QElapsedTimer timer;
    timer.start();
    window.Window()->OnCommand(Ids::ConvertAll);
    loop.exec();
    const double seconds = timer.nsecsElapsed() / 1e9;
    *shownJobs = batch.Jobs();
    batch.WaitForWorkers();
    const int converted = int(QDir(dest).entryList(QDir::Files).size());
    if (converted != clips.size()) {
        std::fprintf(stderr, "%s: %d of %d converted\n", qPrintable(profile), converted, int(clips.size()));
        std::exit(1);
    }
    return seconds;
}

// Cores one engine keeps busy converting a clip with a profile's options.
double coresBusy(const QString &clip, const EngineOptions &options, const QString &output)
{
    QStringList args = {QStringLiteral("-y"), QStringLiteral("-i"), clip};
    args << options.Arguments() << output;
    std::vector<QByteArray> bytes;
    for (const QString &a : std::as_const(args))
        bytes.push_back(a.toLocal8Bit());
    const QByteArray engine = EnginePath().toLocal8Bit();
    std::vector<char *> argv = {const_cast<char *>(engine.constData())};
    for (QByteArray &b : bytes)
        argv.push_back(b.data());
    argv.push_back(nullptr);
    QElapsedTimer timer;
    timer.start();
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::dup2(null, 2);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    struct rusage usage = {};
    ::wait4(pid, &status, 0, &usage);
    const double wall = timer.nsecsElapsed() / 1e9;
    const double cpu = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
                       usage.ru_stime.tv_usec / 1e6;
    return cpu / wall;
}

// The window mid-run, two rows converting, saved as a picture (and left on screen a
// moment for a screenshot of the display).
int screenshot(const QString &picture, const QStringList &clips, const QString &dest)
{
    MainWindowFixture window({{QStringLiteral("JOBS"), QStringLiteral("2")}});
    CCorvaneStudioDlg *dlg = window.Window();
    dlg->resize(CCorvaneStudioDlg::DefaultSize(dlg->screen()->availableGeometry().size()));
    window.SetDestination(dest);
    QComboBox *profiles = dlg->Controls().profileCombo;
    profiles->setCurrentIndex(profiles->findText(QStringLiteral("AVI (MPEG-4/MP3)")));
    window.Drop(clips);
    dlg->OnCommand(Ids::ConvertAll);
    QElapsedTimer waited;
    waited.start();
    CListCtrlEx *list = dlg->Controls().taskList;
    while (list->ShownRowProgressCount() < 2 || list->RowProgressBar(0)->value() < 20 || list->RowProgressBar(1)->value() < 20) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        if (waited.elapsed() > 60000) {
            std::fprintf(stderr, "two rows never showed their progress at once\n");
            return 1;
        }
    }
    const bool saved = dlg->grab().save(picture);
    std::printf("%s: %s\n", qPrintable(picture), saved ? "saved" : "NOT saved");
    QElapsedTimer shown;
    shown.start();
    while (shown.elapsed() < 3000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    dlg->OnCommand(Ids::StopConvert);
    dlg->Batch().WaitForWorkers();
    return saved ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    const bool shot = argc > 2 && QByteArray(argv[1]) == "--screenshot";
    if (!shot)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (qEnvironmentVariableIsEmpty("CORVANE_BIN_DIR"))
        qputenv("CORVANE_BIN_DIR", QDir(QCoreApplication::applicationDirPath() + "/../bin").absolutePath().toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("CORVANE_SOURCE_DIR"))
        qputenv("CORVANE_SOURCE_DIR", CORVANE_SOURCE);
    const QStringList args = app.arguments();
    const int count = shot ? 4 : args.size() > 1 ? args[1].toInt() : 8;
    const int seconds = shot ? 30 : args.size() > 2 ? args[2].toInt() : 6;
    const int rounds = args.size() > 3 ? args[3].toInt() : 3;

    QTemporaryDir dir;
    qputenv("XDG_CONFIG_HOME", dir.filePath("config").toLocal8Bit()); // never the user's settings
    QStringList clips;
    for (int i = 0; i < count; ++i) {
        const QString path = dir.filePath(QStringLiteral("clip%1.mp4").arg(i));
        ClipSpec spec;
        spec.seconds = seconds;
        spec.size = QStringLiteral("640x360");
        MakeClip(path, spec);
        clips << path;
    }

    // The profiles' options, read while a program folder is there to read them from.
    struct Alone
    {
        QString profile;
        EngineOptions options;
        QString extension;
    };
    std::vector<Alone> alone;
    {
        MainWindowFixture window;
        for (const char *profile : {"AVI (MPEG-4/MP3)", "AVI (Xvid/MP3)", "MPEG-2 (DVD)", "WMV (Windows Media)",
                                    "WebM (VP8/Vorbis)", "MP3 audio", "MP4 (H.264/AAC)",
                                    "MP4 H.264 (fast, constant quality)", "MP4 H.265 (constant quality)",
                                    "WebM VP9 / Opus"}) {
            const QString name = QString::fromUtf8(profile);
            alone.push_back({name, ProfileOptions(name), GetTargetType(name)});
        }
    }

    if (shot)
        return screenshot(args[2], clips, dir.filePath(QStringLiteral("shot")));

    const QString avi = QStringLiteral("AVI (MPEG-4/MP3)");
    struct Measure
    {
        const char *name;
        QString profile; // empty: the window's default
        int jobsA, jobsB;
        std::vector<double> a, b;
        int shownA = 0, shownB = 0;
    };
    std::vector<Measure> measures = {
        {"AVI (MPEG-4/MP3): 2 at once / 1", avi, 2, 1, {}, {}},
        {"AVI (MPEG-4/MP3): Automatic / 1", avi, 0, 1, {}, {}},
        {"default H.264: Automatic / 1", QString(), 0, 1, {}, {}},
        {"default H.264: 2 at once / 1", QString(), 2, 1, {}, {}},
    };
    int run = 0;
    for (int r = 0; r < rounds; ++r)
        for (Measure &m : measures)
            for (int jobs : {m.jobsA, m.jobsB}) {
                const QString dest = dir.filePath(QStringLiteral("out-%1").arg(run++));
                int shown = 0;
                const double t = convertInWindow(clips, m.profile, jobs, dest, &shown);
                (jobs == m.jobsA ? m.a : m.b).push_back(t);
                (jobs == m.jobsA ? m.shownA : m.shownB) = shown;
            }

    std::printf("%d clips of %d s, 640x360, %d cores, median of %d rounds; load average at the end: %s", count, seconds,
                QThread::idealThreadCount(), rounds, loadAverage().constData());
    std::printf("%-36s %6s %10s %10s %8s\n", "in the window", "jobs", "a (s)", "b (s)", "a/b");
    for (const Measure &m : measures)
        std::printf("%-36s %3d/%-2d %10.2f %10.2f %8.2f\n", m.name, m.shownA, m.shownB, median(m.a), median(m.b),
                    median(m.a) / median(m.b));

    std::printf("\n%-36s %14s %10s\n", "one engine alone", "cores busy", "automatic");
    for (const Alone &a : alone) {
        std::vector<double> busy;
        for (int r = 0; r < rounds; ++r)
            busy.push_back(coresBusy(clips.first(), a.options, dir.filePath(QStringLiteral("alone-%1.%2").arg(r).arg(a.extension))));
        std::printf("%-36s %14.2f %10d\n", qPrintable(a.profile), median(busy),
                    JobCount::Automatic(a.options, QThread::idealThreadCount()));
    }
    return 0;
}
