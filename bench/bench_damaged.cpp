// The damaged-media corpus of the tests through our engine and through the FFmpeg
// command-line program (when installed), with equal settings: how many files each
// converts. A measurement, not a test.
//
//   bench_damaged [--engine PATH] [--ffmpeg PATH] [--seconds N]

#include "support/DamagedMedia.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdio>

namespace {

struct Tally
{
    int converted = 0, refused = 0, crashed = 0, hung = 0;
    double seconds = 0;
};

Tally Convert(const QString &program, const QStringList &lead, const QList<DamagedMedia::File> &corpus,
              const QString &outFolder)
{
    QList<QStringList> jobs;
    QStringList outputs;
    for (int i = 0; i < corpus.size(); ++i) {
        outputs << QStringLiteral("%1/%2.avi").arg(outFolder).arg(i);
        jobs << (QStringList(lead) << "-y" << "-i" << corpus[i].path << "-s" << "96x64" << outputs.last());
    }
    QElapsedTimer timer;
    timer.start();
    const auto runs = DamagedMedia::RunAll(program, jobs, 2, 60000);
    Tally t;
    t.seconds = double(timer.elapsed()) / 1000;
    for (int i = 0; i < runs.size(); ++i) {
        if (runs[i].timedOut)
            ++t.hung;
        else if (runs[i].crashed)
            ++t.crashed;
        else if (runs[i].exitCode == 0 && QFileInfo(outputs[i]).size() > 0)
            ++t.converted;
        else
            ++t.refused;
    }
    return t;
}

void Print(const char *who, const Tally &t, int total)
{
    std::printf("%-10s converted %4d of %d, refused %4d, crashed %d, hung %d (%.1f s)\n", who, t.converted, total,
                t.refused, t.crashed, t.hung, t.seconds);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    auto option = [&](const QString &name, const QString &fallback) {
        const qsizetype at = args.indexOf(name);
        return at >= 0 && at + 1 < args.size() ? args.at(at + 1) : fallback;
    };
    const QString engine = option("--engine", app.applicationDirPath() + QStringLiteral("/mirracore"));
    const QString ffmpeg = option("--ffmpeg", QStandardPaths::findExecutable(QStringLiteral("ffmpeg")));
    const double seconds = option("--seconds", "1").toDouble();

    QTemporaryDir dir;
    for (const char *sub : {"corpus", "ours", "theirs"})
        QDir(dir.path()).mkpath(QString::fromLatin1(sub));
    const QStringList clips = DamagedMedia::MakeClips(engine, dir.path(), seconds);
    const auto corpus = DamagedMedia::MakeCorpus(clips, dir.path() + QStringLiteral("/corpus"));
    std::printf("%d damaged files from %d clips of %.1f s\n", int(corpus.size()), int(clips.size()), seconds);

    const Tally ours = Convert(engine, {}, corpus, dir.path() + QStringLiteral("/ours"));
    Print("mirracore", ours, int(corpus.size()));
    if (ffmpeg.isEmpty()) {
        std::printf("ffmpeg    not installed: nothing to compare with\n");
        return 0;
    }
    const Tally theirs = Convert(ffmpeg, {"-nostdin", "-loglevel", "error"}, corpus, dir.path() + QStringLiteral("/theirs"));
    Print("ffmpeg", theirs, int(corpus.size()));
    std::printf("converted: ours/theirs = %d/%d\n", ours.converted, theirs.converted);
    return 0;
}
