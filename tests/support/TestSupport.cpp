#include "support/TestSupport.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <memory>

namespace TestSupport {

QString BinDir()
{
    return qEnvironmentVariable("CORVANE_BIN_DIR");
}

QString SourceDir()
{
    return qEnvironmentVariable("CORVANE_SOURCE_DIR");
}

QString EnginePath()
{
    return BinDir() + QStringLiteral("/mirracore");
}

ProgramFolder::ProgramFolder()
{
    if (!m_dir.isValid())
        return;
    const QDir bin(BinDir());
    QDirIterator it(bin.path(), QDir::Files | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        const QString relative = bin.relativeFilePath(source);
        // What a run of the build folder wrote for its user is not part of the program.
        if (relative.startsWith(QLatin1String("user/")) || relative.startsWith(QLatin1String("cache/")) ||
            relative == QLatin1String("run.log"))
            continue;
        const QString target = m_dir.path() + u'/' + relative;
        QDir().mkpath(QFileInfo(target).path());
        // Programs and libraries are linked, data is copied so a test may edit it.
        if (QFileInfo(source).isExecutable() || relative.endsWith(QStringLiteral(".so")))
            QFile::link(source, target);
        else
            QFile::copy(source, target);
    }
    // Running the program from build/bin changes its settings file: tests start from the shipped one.
    const QString settings = settingsPath();
    QFile::remove(settings);
    QFile::copy(SourceDir() + QStringLiteral("/data/MirraSoft.ini"), settings);
    QFile::setPermissions(settings, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

QString ProgramFolder::path() const
{
    return m_dir.path() + u'/';
}

QString ProgramFolder::file(const QString &relative) const
{
    return path() + relative;
}

QString ProgramFolder::exePath() const
{
    return file(QStringLiteral("corvane-studio"));
}

QByteArray ReadFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool WriteFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QString Touch(const QString &path, qint64 size)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.resize(size);
    return path;
}

QByteArray Utf16(const QString &text)
{
    QByteArray bytes("\xFF\xFE");
    for (const QChar c : text)
        bytes += char(c.unicode() & 0xFF), bytes += char(c.unicode() >> 8);
    return bytes;
}

QString FromUtf16(const QByteArray &bytes)
{
    // Decoded by hand so that a wrong byte order cannot cancel out.
    QString text;
    for (qsizetype i = bytes.startsWith("\xFF\xFE") ? 2 : 0; i + 1 < bytes.size(); i += 2)
        text += QChar(char16_t(quint8(bytes[i]) | (quint8(bytes[i + 1]) << 8)));
    return text;
}

bool WriteStandInEngine(const QString &path, const QByteArray &body)
{
    QFile::remove(path);
    return WriteFile(path, "#!/bin/sh\n" + body) &&
           QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

namespace {

std::unique_ptr<QProcess> Start(const Launch &launch)
{
    auto p = std::make_unique<QProcess>();
    p->setProcessChannelMode(QProcess::MergedChannels);
    p->setStandardInputFile(QProcess::nullDevice());
    if (!launch.unset.isEmpty()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const QString &name : launch.unset)
            env.remove(name);
        p->setProcessEnvironment(env);
    }
    if (launch.inChild)
        p->setChildProcessModifier(launch.inChild);
    p->start(launch.program, launch.args);
    return p;
}

void Finish(QProcess &p, ProgramRun &run)
{
    run.output = QString::fromUtf8(p.readAll());
    run.crashed = !run.timedOut && p.exitStatus() != QProcess::NormalExit;
    run.exitCode = p.exitStatus() == QProcess::NormalExit && p.error() != QProcess::FailedToStart ? p.exitCode() : -1;
}

} // namespace

QList<ProgramRun> RunAll(const QList<Launch> &launches, int parallel)
{
    QList<ProgramRun> runs(launches.size());
    struct Running
    {
        int index;
        std::unique_ptr<QProcess> process;
        QDeadlineTimer deadline;
    };
    std::vector<Running> running;
    int next = 0;
    while (next < launches.size() || !running.empty()) {
        while (next < launches.size() && int(running.size()) < parallel) {
            running.push_back({next, Start(launches.at(next)), QDeadlineTimer(launches.at(next).timeoutMs)});
            ++next;
        }
        for (auto it = running.begin(); it != running.end();) {
            QProcess &p = *it->process;
            ProgramRun &run = runs[it->index];
            bool done = p.waitForFinished(20) || p.state() == QProcess::NotRunning;
            if (!done && it->deadline.hasExpired()) {
                run.timedOut = true;
                p.kill();
                p.waitForFinished(-1);
                done = true;
            }
            if (done) {
                Finish(p, run);
                it = running.erase(it);
            } else {
                ++it;
            }
        }
    }
    return runs;
}

ProgramRun Run(const Launch &launch)
{
    return RunAll({launch}, 1).first();
}

QString RunProgram(const QString &program, const QStringList &args, int *exitCode, int timeoutMs)
{
    const ProgramRun run = Run({program, args, timeoutMs, {}, {}});
    if (exitCode)
        *exitCode = run.exitCode;
    return run.output;
}

QString MakeClip(const QString &outputPath, const ClipSpec &recipe)
{
    QStringList args{QStringLiteral("-y")};
    QStringList graphs;
    if (recipe.video)
        graphs << QStringLiteral("testsrc=size=%1:rate=%2:duration=%3").arg(recipe.size).arg(recipe.rate).arg(recipe.seconds);
    if (recipe.audio)
        graphs << QStringLiteral("sine=frequency=440:sample_rate=44100:duration=%1").arg(recipe.seconds);
    for (const QString &g : graphs)
        args << QStringLiteral("-f") << QStringLiteral("lavfi") << QStringLiteral("-i") << g;
    QDir().mkpath(QFileInfo(outputPath).absolutePath());
    args << recipe.outputOptions << outputPath;
    return RunProgram(EnginePath(), args);
}

QStringList MakeClips(const QString &folder, const QStringList &names, const ClipSpec &recipe)
{
    QStringList paths;
    for (const QString &name : names) {
        paths << QDir(folder).filePath(name);
        MakeClip(paths.last(), recipe);
    }
    return paths;
}

} // namespace TestSupport
