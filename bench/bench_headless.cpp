// Headless conversion measured side by side in one run:
//   start-up with nothing to convert (against the 50 ms aimed at);
//   a batch of 4 clips against the same engine commands run one after another by a shell;
//   --jobs 2 against --jobs 1 on the same clips (the ratio of wall times).
// Each measure is the median of interleaved runs, so a busy machine hits both alike.
// Usage: bench_headless [CLIPS] [SECONDS] [ROUNDS]
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

QString g_bin;

double runSeconds(const QString &program, const QStringList &args, bool mustSucceed = true)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    QElapsedTimer timer;
    timer.start();
    p.start(program, args);
    p.waitForFinished(-1);
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (mustSucceed && p.exitCode() != 0) {
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

    // A program folder of the bench's own whose settings log every engine command.
    const QString folder = dir.filePath("program/");
    QDir().mkpath(folder);
    for (const QString &name : QDir(g_bin).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (name == "corvane-studio" || name == "MirraSoft.ini")
            QFile::copy(g_bin + "/" + name, folder + name); // a copy: the program finds its folder from its file
        else
            QFile::link(g_bin + "/" + name, folder + name);
    }
    QFile settings(folder + "MirraSoft.ini");
    settings.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    settings.open(QIODevice::ReadWrite);
    QString ini = QString::fromUtf8(settings.readAll());
    ini.replace(QRegularExpression("(?m)^RUNMODE=.*$"), "RUNMODE=DEBUG_PRINT_CMD");
    settings.resize(0);
    settings.write(ini.toUtf8());
    settings.close();
    const QString program = folder + "corvane-studio";

    std::vector<double> idle;
    for (int r = 0; r < 20; ++r)
        idle.push_back(runSeconds(program, {"--convert"}, false));

    // The batch, then the commands it logged, run by a shell one after another.
    const QStringList four = files.mid(0, 4);
    std::vector<double> batch, loop;
    for (int r = 0; r < rounds; ++r) {
        QFile::remove(folder + "run.log");
        const QString dest = dir.filePath(QStringLiteral("batch-%1").arg(r));
        batch.push_back(runSeconds(program, QStringList{"--convert", "--profile", "AVI (MPEG-4/MP3)", "--dest", dest} + four));
        QFile log(folder + "run.log");
        log.open(QIODevice::ReadOnly);
        const QByteArray bytes = log.readAll().mid(2);
        const QString text = QString::fromUtf16(reinterpret_cast<const char16_t *>(bytes.constData()), bytes.size() / 2);
        QStringList commands;
        for (const QString &line : text.split("\r\n", Qt::SkipEmptyParts))
            commands << line.mid(line.indexOf(u' ') + 1).replace(dest, dest + "-loop");
        QDir().mkpath(dest + "-loop");
        loop.push_back(runSeconds("/bin/sh", {"-c", commands.join("; ")}));
    }

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
    std::printf("%-44s %10s %10s %8s\n", "measure", "a (s)", "b (s)", "a/b");
    std::printf("%-44s %10.3f %10.3f %8.2f\n", "start-up, nothing to convert / 50 ms", median(idle), 0.05,
                median(idle) / 0.05);
    std::printf("%-44s %10.2f %10.2f %8.2f\n", "batch of 4 clips / same commands by a shell", median(batch),
                median(loop), median(batch) / median(loop));
    std::printf("%-44s %10.2f %10.2f %8.2f\n", QStringLiteral("--jobs 2 / --jobs 1, %1 clips").arg(clips).toUtf8().constData(),
                median(two), median(one), median(two) / median(one));
    return 0;
}
