#pragma once
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace TestSupport {

// build/bin: the built program folder with the engine, the preview library and the data.
QString BinDir();
QString SourceDir();
QString EnginePath();

// A writable copy of the program folder in a temporary directory: the data files are
// copied (so tests may change them), the engine and the preview library are linked.
class ProgramFolder
{
public:
    ProgramFolder();
    bool isValid() const { return m_dir.isValid(); }
    QString path() const;                          // ends in "/"
    QString file(const QString &relative) const;   // path() + relative
    QString exePath() const;                       // as if the program ran from here
    QString settingsPath() const { return file(QStringLiteral("MirraSoft.ini")); }

private:
    QTemporaryDir m_dir;
};

// Runs the engine on a lavfi test source and writes a clip. Returns the engine's
// whole output; the clip exists afterwards when the engine succeeded.
struct ClipSpec
{
    int seconds = 2;
    QString size = QStringLiteral("320x240");
    int rate = 25;
    bool video = true;
    bool audio = true;
    QStringList outputOptions; // engine options before the output path
};
QString MakeClip(const QString &outputPath, const ClipSpec &recipe = ClipSpec());

// The file's bytes; empty when it cannot be read.
QByteArray ReadFile(const QString &path);

// Runs a program with arguments, returns stdout+stderr; exitCode receives the exit code.
QString RunProgram(const QString &program, const QStringList &args, int *exitCode = nullptr,
                   int timeoutMs = 120000);

} // namespace TestSupport
