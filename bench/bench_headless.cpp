// Headless conversion measured side by side in one run:
//   --jobs 2 against --jobs 1 on the same clips (the ratio of wall times);
// each measure is the median of interleaved runs, so a busy machine hits both alike.
// Usage: bench_headless [CLIPS] [SECONDS] [ROUNDS]
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

QString g_bin;

double runSeconds(const QString &program, const QStringList &args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    QElapsedTimer timer;
    timer.start();
    p.start(program, args);
    p.waitForFinished(-1);
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (p.exitCode() != 0) {
        std::fprintf(stderr, "%s failed:\n%s\n", qPrintable(program), p.readAll().constData());
        std::exit(1);
    }
    return seconds;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    g_bin = QCoreApplication::applicationDirPath() + "/../bin";
    if (!QFile::exists(g_bin + "/corvane-studio"))
        g_bin = QCoreApplication::applicationDirPath();
    const QStringList args = app.arguments();
    const int clips = args.size() > 1 ? args[1].toInt() : 8;
    const int seconds = args.size() > 2 ? args[2].toInt() : 6;
    const int rounds = args.size() > 3 ? args[3].toInt() : 3;

    QTemporaryDir dir;
    QStringList files;
    for (int i = 0; i < clips; ++i) {
        const QString path = dir.filePath(QStringLiteral("clip%1.mp4").arg(i));
        runSeconds(g_bin + "/mirracore",
                   {"-f", "lavfi", "-i", QStringLiteral("testsrc=size=640x360:rate=25:duration=%1").arg(seconds), "-f",
                    "lavfi", "-i", QStringLiteral("sine=duration=%1").arg(seconds), "-y", path});
        files << path;
    }
    // Its own settings folder, so the bench never touches the user's.
    qputenv("XDG_CONFIG_HOME", dir.filePath("config").toLocal8Bit());

    std::vector<double> one, two;
    for (int r = 0; r < rounds; ++r) {
        for (int jobs : {1, 2}) {
            const QString dest = dir.filePath(QStringLiteral("out-%1-%2").arg(jobs).arg(r));
            const double t = runSeconds(g_bin + "/corvane-studio",
                                        QStringList{"--convert", "--profile", "AVI (MPEG-4/MP3)", "--dest", dest,
                                                    "--jobs", QString::number(jobs)} +
                                            files);
            (jobs == 1 ? one : two).push_back(t);
        }
    }
    std::printf("%-34s %10s %10s %8s\n", "measure", "a (s)", "b (s)", "a/b");
    std::printf("%-34s %10.2f %10.2f %8.2f\n", QStringLiteral("--jobs 2 vs --jobs 1, %1 clips").arg(clips).toUtf8().constData(),
                median(two), median(one), median(two) / median(one));
    return 0;
}
