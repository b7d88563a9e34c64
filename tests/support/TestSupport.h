#pragma once
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>

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

// ---- files

QByteArray ReadFile(const QString &path); // empty when it cannot be read
// Replaces the file's contents, making its folder first; false when it cannot be written.
bool WriteFile(const QString &path, const QByteArray &bytes);
// A file of the given size that takes no disk space; returns its path.
QString Touch(const QString &path, qint64 size = 0);
QByteArray Utf16(const QString &text);      // little-endian, with its byte-order mark
QString FromUtf16(const QByteArray &bytes); // the reverse; the mark is skipped
// A shell script with this body at path, executable: an engine that hangs, crashes or
// prints garbage on demand.
bool WriteStandInEngine(const QString &path, const QByteArray &body);

// ---- processes

struct Launch
{
    QString program;
    QStringList args;
    int timeoutMs = 120000;
    QStringList unset;             // environment variables the program does not get
    std::function<void()> inChild; // runs in the child just before the program starts
};
struct ProgramRun
{
    QString output; // standard output and error
    int exitCode = -1;
    bool crashed = false;  // ended by a signal
    bool timedOut = false; // killed after the time limit
};
ProgramRun Run(const Launch &launch);
// Each launch, `parallel` at a time; the runs in the order of the launches.
QList<ProgramRun> RunAll(const QList<Launch> &launches, int parallel);
// The program's output; exitCode receives its exit code, -1 when it did not exit.
QString RunProgram(const QString &program, const QStringList &args, int *exitCode = nullptr,
                   int timeoutMs = 120000);

// ---- clips

// Runs the engine on lavfi test sources and writes a clip. Returns the engine's whole
// output; the clip exists afterwards when the engine succeeded.
struct ClipSpec
{
    int seconds = 2;
    QString size = QStringLiteral("320x240");
    int rate = 25;
    bool video = true;
    bool audio = true;
    QStringList outputOptions = {}; // engine options before the output path
};
QString MakeClip(const QString &outputPath, const ClipSpec &recipe = ClipSpec());
// One clip per name in folder (made if missing); their paths in the order of the names.
QStringList MakeClips(const QString &folder, const QStringList &names, const ClipSpec &recipe = ClipSpec());

} // namespace TestSupport
