// Engine speed side by side with the FFmpeg command-line program (when it is
// installed) at equal settings, plus the time of a probe. Prints ratios; it is a
// measurement, not a test.
//
//   bench_engine [--seconds N] [--runs N] [--engine PATH] [--ffmpeg PATH]

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <sys/resource.h>
#include <cstdio>
#include <vector>

namespace {

struct Timed
{
    double seconds = -1; // wall time
    double cpu = -1;     // user + system time of the child
    int exitCode = -1;
    QByteArray output;
};

double ChildrenCpu()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

Timed Run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.setStandardInputFile(QProcess::nullDevice());
    const double cpuBefore = ChildrenCpu();
    QElapsedTimer timer;
    timer.start();
    p.start(program, args);
    p.waitForFinished(-1);
    Timed t;
    t.seconds = double(timer.nsecsElapsed()) / 1e9;
    t.cpu = ChildrenCpu() - cpuBefore;
    t.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    t.output = p.readAll();
    return t;
}

double MedianOf(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? -1 : v[v.size() / 2];
}

// Runs of both programs alternate, so a colleague's build on the same machine
// slows both alike; medians keep one disturbed run from deciding.
struct Comparison
{
    bool ok = true;
    std::vector<double> wall[2], cpu[2];
};

Comparison Compare(const QString programs[2], const QStringList args[2], int runs, bool second)
{
    Comparison c;
    for (int i = 0; i < runs && c.ok; ++i) {
        for (int k = 0; k < (second ? 2 : 1); ++k) {
            const Timed t = Run(programs[k], args[k]);
            if (t.exitCode != 0) {
                std::fprintf(stderr, "%s failed:\n%s\n", qPrintable(programs[k]), t.output.constData());
                c.ok = false;
                break;
            }
            c.wall[k].push_back(t.seconds);
            c.cpu[k].push_back(t.cpu);
        }
    }
    return c;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments();
    auto option = [&args](const QString &name, const QString &fallback) {
        const qsizetype i = args.indexOf(name);
        return i >= 0 && i + 1 < args.size() ? args.at(i + 1) : fallback;
    };
    const int seconds = option("--seconds", "10").toInt();
    const int runs = std::max(1, option("--runs", "3").toInt());
    const QString engine = option("--engine", QStringLiteral(CORVANE_PROGRAM_DIR "/mirracore"));
    const QString ffmpeg = option("--ffmpeg", "/usr/bin/ffmpeg");
    const bool haveFfmpeg = QFileInfo(ffmpeg).isExecutable();

    QTemporaryDir dir;
    if (!dir.isValid() || !QFileInfo(engine).isExecutable()) {
        std::fprintf(stderr, "needs a writable temporary folder and the engine at %s\n", qPrintable(engine));
        return 2;
    }
    const QString clip = dir.filePath("clip720p.mp4");
    std::printf("making a %d s 1280x720 clip with the engine...\n", seconds);
    const Timed made = Run(engine, {"-y", "-f", "lavfi", "-i",
                                    QString("testsrc2=size=1280x720:rate=25:duration=%1").arg(seconds), "-f", "lavfi",
                                    "-i", QString("sine=frequency=440:sample_rate=44100:duration=%1").arg(seconds),
                                    "-vcodec", "libx264", "-vb", "5000", "-acodec", "aac", "-ac", "2", "-ab", "192", clip});
    if (made.exitCode != 0) {
        std::fprintf(stderr, "could not make the clip:\n%s\n", made.output.constData());
        return 1;
    }

    struct Case
    {
        const char *name;
        const char *extension;
        QStringList engineOptions;
        QStringList ffmpegOptions;
    };
    // Equal settings: the same encoders, bit rates and quantiser range; the H.264
    // level is the one the engine signals for 720p at 25 fps (3.1).
    const Case cases[] = {
        {"MP4 (H.264/AAC)", "mp4",
         {"-vcodec", "libx264", "-vb", "2000", "-acodec", "aac", "-ab", "128", "-qmin", "1", "-qmax", "51", "-level", "13"},
         {"-c:v", "libx264", "-b:v", "2000k", "-c:a", "aac", "-b:a", "128k", "-qmin", "1", "-qmax", "51", "-level", "31"}},
        {"AVI (MPEG-4/MP3)", "avi",
         {"-vcodec", "mpeg4", "-vb", "2000", "-acodec", "libmp3lame", "-ab", "128", "-qmin", "1", "-qmax", "51", "-level", "13"},
         {"-c:v", "mpeg4", "-b:v", "2000k", "-c:a", "libmp3lame", "-b:a", "128k", "-qmin", "1", "-qmax", "51"}},
    };

    std::printf("\n%-18s %12s %12s %10s %10s %10s %10s\n", "conversion", "mirracore s", "ffmpeg s", "wall ratio",
                "cpu s", "ffmpeg cpu", "cpu ratio");
    int failures = 0;
    for (const Case &c : cases) {
        const QString programs[2] = {engine, ffmpeg};
        const QStringList arguments[2] = {
            QStringList{"-y", "-i", clip} + c.engineOptions + QStringList{dir.filePath(QString("engine.") + c.extension)},
            QStringList{"-nostdin", "-hide_banner", "-loglevel", "error", "-y", "-i", clip} + c.ffmpegOptions +
                QStringList{dir.filePath(QString("ffmpeg.") + c.extension)}};
        const Comparison r = Compare(programs, arguments, runs, haveFfmpeg);
        if (!r.ok) {
            ++failures;
            continue;
        }
        const double ours = MedianOf(r.wall[0]), oursCpu = MedianOf(r.cpu[0]);
        if (!haveFfmpeg) {
            std::printf("%-18s %12.2f %12s %10s %10.2f %10s %10s\n", c.name, ours, "-", "-", oursCpu, "-", "-");
            continue;
        }
        const double theirs = MedianOf(r.wall[1]), theirsCpu = MedianOf(r.cpu[1]);
        std::printf("%-18s %12.2f %12.2f %10.3f %10.2f %10.2f %10.3f\n", c.name, ours, theirs, ours / theirs, oursCpu,
                    theirsCpu, oursCpu / theirsCpu);
    }

    // The probe ends with its complaint and exit status 1, so it is timed on its own.
    const QString ffprobe = QFileInfo(ffmpeg).dir().filePath("ffprobe");
    const bool haveFfprobe = QFileInfo(ffprobe).isExecutable();
    std::vector<double> probeWall[2], probeCpu[2];
    for (int i = 0; i < runs * 5; ++i) {
        const Timed t = Run(engine, {"-i", clip});
        probeWall[0].push_back(t.seconds);
        probeCpu[0].push_back(t.cpu);
        if (haveFfprobe) {
            const Timed f = Run(ffprobe, {"-hide_banner", "-loglevel", "error", "-show_streams", clip});
            probeWall[1].push_back(f.seconds);
            probeCpu[1].push_back(f.cpu);
        }
    }
    const double pw = MedianOf(probeWall[0]), pc = MedianOf(probeCpu[0]);
    if (haveFfprobe) {
        const double fw = MedianOf(probeWall[1]), fc = MedianOf(probeCpu[1]);
        std::printf("%-18s %12.3f %12.3f %10.3f %10.3f %10.3f %10.3f   (ffprobe)\n", "probe", pw, fw, pw / fw, pc, fc, pc / fc);
    } else {
        std::printf("%-18s %12.3f %12s %10s %10.3f %10s %10s\n", "probe", pw, "-", "-", pc, "-", "-");
    }
    if (!haveFfmpeg)
        std::printf("\n(%s not found: install Debian's ffmpeg package for the side-by-side ratios)\n", qPrintable(ffmpeg));
    return failures ? 1 : 0;
}
