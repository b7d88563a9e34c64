// How well the time left predicts the end of a run: a mixed batch of clips of different
// lengths, every other one with a profile of its own (H.264 in MP4, MPEG-4 in AVI),
// converted by the real engine. Prints the predicted end against the real one once 10 %,
// 25 % and 50 % of the run have passed (the error as a share of the whole run), for a
// first run and for the next one, which starts from the paces the first one kept.
// Usage: bench_eta [JOBS] [SIZE] [SCALE] (clip lengths times SCALE, 4 to 16 s at 1)
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <cstdio>
#include <mutex>

#include "core/settings/AppSettings.h"
#include "core/tasks/TaskList.h"
#include "core/conversion/BatchConverter.h"
#include "core/conversion/EngineLocation.h"
#include "base/OwnerThread.h"
#include "core/profiles/CMpegStructs.h"
#include "core/profiles/CurrentProfile.h"
#include "core/profiles/ProfileCatalogue.h"
#include "support/TestSupport.h"

namespace {

class TimingHost : public BatchHost
{
public:
    GlobalSelection global;
    QElapsedTimer wall;
    std::mutex mutex;
    std::vector<std::pair<double, double>> predicted; // (seconds since start, predicted end)
    int failed = 0;

    void RunStarting() override { wall.start(); }
    void Progress(const ProgressEvent &e) override
    {
        if (!e.remaining)
            return;
        const double now = wall.nsecsElapsed() / 1e9;
        std::lock_guard<std::mutex> lock(mutex);
        predicted.emplace_back(now, now + *e.remaining);
    }
    void TaskFinished(const TaskFinishedEvent &e) override
    {
        if (e.verdict != Verdict::Completed) {
            std::lock_guard<std::mutex> lock(mutex);
            ++failed;
            std::fprintf(stderr, "%s\n", qPrintable(e.Report()));
        }
    }
    bool AskOkCancel(const QString &) override { return true; }
    void ShowMessage(const QString &text) override { std::fprintf(stderr, "%s\n", qPrintable(text)); }
    GlobalSelection Global() override { return global; }
    int PriorityLevel() override { return 0; }
};

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int jobs = args.size() > 1 ? args[1].toInt() : 1;
    const QString size = args.size() > 2 ? args[2] : QStringLiteral("960x540");
    const int scale = args.size() > 3 ? args[3].toInt() : 3;

    TestSupport::ProgramFolder folder;
    AppSettings settings;
    settings.Load(folder.exePath());
    SetEngineProgramFolder(folder.path());
    ReadProfileCatalogue(settings.Folders().DataFile(QStringLiteral("profile.ini")));
    const QString profiles[] = {QStringLiteral("MP4 (H.264/AAC)"), QStringLiteral("AVI (MPEG-4/MP3)")};
    CurrentProfile own(settings.Folders());
    own.Select(profiles[1]);
    CurrentProfile global(settings.Folders());
    global.Select(profiles[0]);

    const int lengths[] = {4, 12, 6, 16, 8, 5, 14, 10, 7, 11};
    QStringList paths;
    for (int i = 0; i < int(std::size(lengths)); ++i) {
        TestSupport::ClipSpec recipe;
        recipe.seconds = lengths[i] * scale;
        recipe.size = size;
        paths << folder.file(QStringLiteral("clip%1.mp4").arg(i));
        TestSupport::MakeClip(paths.last(), recipe);
        if (!QFile::exists(paths.last())) {
            std::fprintf(stderr, "the clip %s could not be made\n", qPrintable(paths.last()));
            return 1;
        }
    }
    // The first run starts from nothing; the second from the paces the first one kept.
    auto runOnce = [&](const char *title) {
        TaskList tasks;
        NewTaskSettings s;
        s.profileName = profiles[0];
        s.targetType = QStringLiteral("mp4");
        s.destination = folder.file(QStringLiteral("out/"));
        const QList<quint16> ids = tasks.Add(paths, s, false);
        for (int i = 1; i < ids.size(); i += 2) {
            const TaskPtr task = tasks.Find(ids[i]);
            task->useGlobalOutput = 0;
            task->paramTree = CloneCells(own.Tree());
            task->profileName = profiles[1];
            task->outputPath = folder.file(QStringLiteral("out/clip%1.avi").arg(i));
        }

        TimingHost host;
        const ProfileSnapshot snapshot = global.Snapshot();
        host.global = {profiles[0], s.destination, s.destination, snapshot.aspectMode, snapshot.tree};
        ConversionFlags flags;
        BatchConverter converter(tasks, host, flags, {QString(), jobs, {}});
        RunServingEvents([&] { converter.Run(); });
        const double end = host.wall.nsecsElapsed() / 1e9;
        if (host.failed || host.predicted.empty()) {
            std::fprintf(stderr, "the run failed\n");
            return false;
        }

        std::printf("%s: mixed batch of %d clips of %d to %d s, %s, 2 profiles, --jobs %d: real end %.1f s\n", title,
                    int(paths.size()), 4 * scale, 16 * scale, qPrintable(size), jobs, end);
        std::printf("%-10s %12s %12s %8s\n", "after", "at (s)", "predicted", "error");
        for (double share : {0.10, 0.25, 0.50, 0.75}) {
            const auto at = std::find_if(host.predicted.begin(), host.predicted.end(),
                                         [&](const auto &p) { return p.first >= share * end; });
            if (at == host.predicted.end())
                continue;
            std::printf("%-10s %12.1f %12.1f %7.1f%%\n", qPrintable(QStringLiteral("%1 %").arg(share * 100)), at->first,
                        at->second, 100.0 * std::abs(at->second - end) / end);
        }
        if (qEnvironmentVariableIsSet("BENCH_ETA_SERIES"))
            for (const auto &[at, predictedEnd] : host.predicted)
                std::printf("  %6.2f %8.1f\n", at, predictedEnd);
        return true;
    };
    if (!runOnce("first run on this machine") || !runOnce("the next run, paces of the first remembered"))
        return 1;
    return 0;
}
