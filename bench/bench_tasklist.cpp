// The task list at scale, measured in one run on the real main window (offscreen):
//   adding 1,000 / 10,000 / 65,535 files in one drop (total, per file, ratio to the smallest);
//   memory: per task in the core alone, and the whole process with 65,535 tasks listed;
//   Delete of 30,000 selected rows and Move Down of a block of 1,000 in the full list;
//   the longest stall of the window's event loop while 10,000 files are probed by a
//   stand-in engine that answers like the real one;
//   Convert All walking the full list with a stand-in engine (CONVERTED_FILES of them).
// Usage: bench_tasklist [PROBED_FILES] [CONVERTED_FILES]
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QItemSelectionModel>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

#include "ui/mainwindow/CCorvaneStudioApp.h"
#include "ui/mainwindow/CCorvaneStudioDlg.h"
#include "ui/mainwindow/BatchView.h"
#include "ui/mainwindow/ControlIds.h"
#include "ui/mainwindow/TaskListView.h"
#include "ui/widgets/CListCtrlEx.h"
#include "ui/widgets/Prompter.h"

namespace {
// Start-up messages (no preview library, no profiles here) must not wait for a click.
class SilentPrompter : public Prompter
{
public:
    int Message(QWidget *, const QString &, Buttons, Icon) override { return Ok; }
    QStringList OpenFiles(QWidget *, const FileRequest &) override { return {}; }
    QString SaveFile(QWidget *, const FileRequest &) override { return {}; }
    QString Folder(QWidget *, const QString &, const QString &) override { return {}; }
    int Exec(QDialog *) override { return 0; }
};

// A field of /proc/self/status in KiB ("VmRSS", "VmHWM").
long statusKiB(const char *field)
{
    QFile f("/proc/self/status");
    f.open(QIODevice::ReadOnly);
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qstrlen(field) + 1).trimmed().split(' ').first().toLong();
    return 0;
}

QStringList makeFiles(const QString &folder, int n)
{
    QDir().mkpath(folder);
    QStringList paths;
    for (int i = 0; i < n; ++i) {
        const QString path = folder + QStringLiteral("/clip %1.avi").arg(i);
        QFile(path).open(QIODevice::WriteOnly);
        paths << path;
    }
    return paths;
}

const char kStandInEngine[] =
    "#!/bin/sh\n"
    "printf \"Input #0, avi, from '%s':\\r\\n  Duration: 00:00:08.00, start: 0.000000, bitrate: 1000 kb/s\\r\\n"
    "    Stream #0.0: Video: mpeg4, yuv420p, 320x240 [PAR 1:1 DAR 4:3], 800 kb/s, 25.00 tb(r)\\r\\n"
    "    Stream #0.1: Audio: mp3, 44100 Hz, stereo, 128 kb/s\\r\\nMust supply at least one output file\\r\\n\" \"$2\"\n"
    "exit 1\n";
const char kStandInConverter[] =
    "#!/bin/sh\n"
    "for out; do :; done\n"
    ": > \"$out\"\n"
    "echo 'frame=  200 fps=200 q=2.0 size=      1kB time=8.00 bitrate=   1.0kbits/s'\n"
    "echo 'video:1kB audio:1kB global headers:0kB muxing overhead 0.5%'\n";
} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qapp(argc, argv);
    Prompter::Install(std::make_unique<SilentPrompter>());
    const int probed = argc > 1 ? QByteArray(argv[1]).toInt() : 10000;
    QTemporaryDir program;
    QTemporaryDir media;
    qputenv("XDG_CONFIG_HOME", media.filePath("config").toLocal8Bit());
    // A program folder with no profiles and no preview: only the list is measured.
    const QString exe = program.path() + "/corvane-studio";

    // The core alone: what a task costs without any window.
    const QStringList all = makeFiles(media.filePath("all"), TaskList::kMaxTaskId);
    {
        const long before = statusKiB("VmRSS:");
        TaskList core;
        NewTaskSettings s;
        s.profileName = "MP4 (H.264/AAC)";
        s.profileSummary = "Video:h264,size:same to source,BitRate:1200,FrameRate:25,Audio:aac,BitRate:128";
        s.targetType = "mp4";
        core.Add(all, s, true);
        const long after = statusKiB("VmRSS:");
        std::printf("core: %d tasks, %.0f bytes per task\n\n", core.Count(),
                    (after - before) * 1024.0 / core.Count());
    }

    std::printf("%8s %12s %12s %8s\n", "files", "total_ms", "us_per_file", "ratio");
    double basePerFile = 0;
    for (int n : {1000, 10000, int(TaskList::kMaxTaskId)}) {
        const QStringList paths = all.mid(0, n);
        CCorvaneStudioApp app;
        app.InitInstance(exe, {});
        CCorvaneStudioDlg *dlg = app.MainWindow();
        dlg->show();
        QCoreApplication::processEvents();
        dlg->TaskView().Close(); // no probes here: adding alone is measured
        QElapsedTimer timer;
        timer.start();
        dlg->TaskView().OnDropFiles(paths); // as a drop of the whole selection from a file manager
        QCoreApplication::processEvents();
        const double ms = timer.nsecsElapsed() / 1e6;
        const double perFile = ms * 1000.0 / n;
        if (basePerFile == 0)
            basePerFile = perFile;
        std::printf("%8d %12.1f %12.1f %8.2f\n", dlg->Tasks().Count(), ms, perFile, perFile / basePerFile);
        if (n == TaskList::kMaxTaskId) {
            std::printf("\nmemory with %d tasks (window): %.0f MiB now, %.0f MiB peak\n", n,
                        statusKiB("VmRSS:") / 1024.0, statusKiB("VmHWM:") / 1024.0);
            CListCtrlEx *list = dlg->Controls().taskList;
            QItemSelection every2nd;
            for (int row = 0; row < 60000; row += 2)
                every2nd.select(list->model()->index(row, 0), list->model()->index(row, 7));
            list->selectionModel()->select(every2nd, QItemSelectionModel::ClearAndSelect);
            timer.restart();
            dlg->OnCommand(Ids::Delete);
            QCoreApplication::processEvents();
            std::printf("Delete of 30,000 selected rows: %.0f ms (%d left)\n", timer.nsecsElapsed() / 1e6,
                        dlg->Tasks().Count());
            list->clearSelection();
            list->SetRowsSelected(1000, 1999);
            timer.restart();
            dlg->OnCommand(Ids::DownButton);
            QCoreApplication::processEvents();
            std::printf("Move Down of a block of 1,000 rows: %.0f ms\n", timer.nsecsElapsed() / 1e6);
        }
        std::fflush(stdout);
    }

    // Probes of many files by a stand-in engine: the window must keep serving events.
    QFile engine(program.filePath("mirracore"));
    engine.open(QIODevice::WriteOnly);
    engine.write(kStandInEngine);
    engine.close();
    engine.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    CCorvaneStudioApp app;
    app.InitInstance(exe, {});
    CCorvaneStudioDlg *dlg = app.MainWindow();
    dlg->show();
    QCoreApplication::processEvents();
    QElapsedTimer since, total;
    qint64 longest = 0;
    QTimer tick;
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        longest = std::max(longest, since.restart());
    });
    total.start();
    dlg->TaskView().OnDropFiles(all.mid(0, probed));
    since.start();
    tick.start();
    while (dlg->TaskView().RunningProbeThreads() > 0)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    tick.stop();
    int withInfo = 0;
    for (quint16 id : dlg->Tasks().Ids())
        withInfo += dlg->Tasks().Find(id)->durationSec == 8;
    std::printf("probing %d files (%d described) took %.1f s; longest stall of the event loop: %lld ms\n", probed,
                withInfo, total.elapsed() / 1000.0, longest);

    // Convert All over many tasks with a stand-in engine that succeeds at once.
    const int converted = argc > 2 ? QByteArray(argv[2]).toInt() : TaskList::kMaxTaskId;
    engine.open(QIODevice::WriteOnly | QIODevice::Truncate);
    engine.write(kStandInConverter);
    engine.close();
    CCorvaneStudioApp runApp;
    runApp.InitInstance(exe, {});
    CCorvaneStudioDlg *runDlg = runApp.MainWindow();
    runDlg->show();
    runDlg->TaskView().Close();
    runDlg->TaskView().OnDropFiles(all.mid(0, converted));
    for (quint16 id : runDlg->Tasks().Ids()) {
        auto info = std::make_unique<MediaInfo>();
        info->durationSecText = QStringLiteral("8.00");
        runDlg->Tasks().SetMediaInfo(id, std::move(info));
    }
    int lastOverall = -1;
    bool ordered = true;
    QObject::connect(&runDlg->Batch(), &BatchView::overallProgressChanged, [&](int percent) {
        if (percent != 0 && percent < lastOverall)
            ordered = false;
        if (percent != 0)
            lastOverall = percent;
    });
    total.restart();
    runDlg->OnCommand(Ids::ConvertAll);
    runDlg->Batch().WaitForWorkers();
    int completed = 0;
    for (quint16 id : runDlg->Tasks().Ids())
        completed += runDlg->Tasks().State(id).verdict == Verdict::Completed;
    std::printf("Convert All of %d tasks: %d completed in %.1f s (%.1f ms per task); overall bar rose steadily to %d%%: %s\n",
                converted, completed, total.elapsed() / 1000.0, total.elapsed() / double(converted), lastOverall,
                ordered ? "yes" : "no");
    return 0;
}
