#include "support/TestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>

namespace TestSupport {

QString BinDir()
{
    return QProcessEnvironment::systemEnvironment().value(QStringLiteral("CORVANE_BIN_DIR"));
}

QString SourceDir()
{
    return QProcessEnvironment::systemEnvironment().value(QStringLiteral("CORVANE_SOURCE_DIR"));
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
        const QFileInfo info(source);
        // Programs and libraries are linked, data is copied so a test may edit it.
        if (info.isExecutable() || relative.endsWith(QStringLiteral(".so")))
            QFile::link(source, target);
        else
            QFile::copy(source, target);
    }
    // Running the program from build/bin changes its settings file: tests start from the shipped one.
    const QString settings = m_dir.path() + QStringLiteral("/MirraSoft.ini");
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

QString RunProgram(const QString &program, const QStringList &args, int *exitCode, int timeoutMs)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
    }
    if (exitCode)
        *exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return QString::fromUtf8(p.readAll());
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
    args << recipe.outputOptions << outputPath;
    return RunProgram(EnginePath(), args);
}

} // namespace TestSupport
