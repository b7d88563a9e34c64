// The damaged-media corpus of the tests through our engine and through the FFmpeg
// command-line program (when installed), with equal settings, encoded and copied: how
// many files each converts into a file that can be read. A measurement, not a test.
//
//   bench_damaged [--engine PATH] [--ffmpeg PATH] [--seconds N]

#include "support/DamagedMedia.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdio>

extern "C" {
#include <libavformat/avformat.h>
}

namespace {

struct Tally
{
    int converted = 0, refused = 0, crashed = 0, hung = 0;
    double seconds = 0;
};

// A result counts when it opens and gives at least one packet: an exit status of 0 over a
// header with nothing after it is no conversion.
bool Readable(const QString &path)
{
    AVFormatContext *context = nullptr;
    if (avformat_open_input(&context, QFile::encodeName(path).constData(), nullptr, nullptr) < 0)
        return false;
    AVPacket *packet = av_packet_alloc();
    const bool read = avformat_find_stream_info(context, nullptr) >= 0 && av_read_frame(context, packet) >= 0;
    av_packet_free(&packet);
    avformat_close_input(&context);
    return read;
}

struct Mode
{
    const char *name;
    QStringList options;
    const char *extension;
};

Tally Convert(const QString &program, const QStringList &lead, const QList<DamagedMedia::File> &corpus,
              const QString &outFolder, const Mode &mode)
{
    QList<TestSupport::Launch> jobs;
    QStringList outputs;
    for (int i = 0; i < corpus.size(); ++i) {
        outputs << QStringLiteral("%1/%2-%3.%4").arg(outFolder).arg(i).arg(mode.name, mode.extension);
        jobs.append({program, QStringList(lead) << "-y" << "-i" << corpus[i].path << mode.options << outputs.last(), 60000});
    }
    QElapsedTimer timer;
    timer.start();
    const auto runs = TestSupport::RunAll(jobs, 2);
    Tally t;
    t.seconds = double(timer.elapsed()) / 1000;
    for (int i = 0; i < runs.size(); ++i) {
        if (runs[i].timedOut)
            ++t.hung;
        else if (runs[i].crashed)
            ++t.crashed;
        else if (runs[i].exitCode == 0 && Readable(outputs[i]))
            ++t.converted;
        else
            ++t.refused;
    }
    return t;
}

void Print(const char *who, const Mode &mode, const Tally &t, int total)
{
    std::printf("%-10s %-7s converted %4d of %d, refused %4d, crashed %d, hung %d (%.1f s)\n", who, mode.name, t.converted,
                total, t.refused, t.crashed, t.hung, t.seconds);
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

    av_log_set_level(AV_LOG_QUIET);
    const Mode modes[] = {{"encoded", {"-s", "96x64"}, "avi"}, {"copied", {"-vcodec", "copy", "-acodec", "copy"}, "mkv"}};
    for (const Mode &mode : modes) {
        const Tally ours = Convert(engine, {}, corpus, dir.path() + QStringLiteral("/ours"), mode);
        Print("mirracore", mode, ours, int(corpus.size()));
        if (ffmpeg.isEmpty()) {
            std::printf("ffmpeg     not installed: nothing to compare with\n");
            continue;
        }
        const Tally theirs =
            Convert(ffmpeg, {"-nostdin", "-loglevel", "error"}, corpus, dir.path() + QStringLiteral("/theirs"), mode);
        Print("ffmpeg", mode, theirs, int(corpus.size()));
        std::printf("%s: ours/theirs = %d/%d\n", mode.name, ours.converted, theirs.converted);
    }
    return 0;
}
