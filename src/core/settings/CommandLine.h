#pragma once
#include <QString>
#include <QStringList>

// What the command line asks for: input files, and the program's own "--" switches.
struct CommandLine
{
    QStringList files;
    bool convert = false; // --convert: headless conversion
    QString profile;      // --profile NAME
    QString destination;  // --dest DIR
    int jobs = 1;         // --jobs N: engines at once, headless; 0 automatic
    bool resume = false;  // --resume: headless, the kept queue first, Completed rows left out
    QString watch;        // --watch DIR: headless, converts what appears there until a signal
    QString exportTo;     // --export-commands FILE: the tasks' engine commands, for other machines
    QString relativeTo;   // --relative-to DIR: exported paths relative to DIR
    QString engine;       // --engine PATH: the engine the exported commands name
    QString verdictLog;   // --verdict LOGFILE: the verdict on one engine output
    int exitStatus = 0;   // --exit-status N: the engine's exit status for --verdict
    // --loudness LUFS, --target-size SIZE, --target-ssim X: targets set on the chosen profile for the run.
    QString loudness;
    QString targetSize;
    QString targetSsim;
    QStringList errors;   // unknown switches, switches without their value, bad numbers

    // The run needs no window: a conversion, an export or a verdict.
    bool IsHeadless() const { return convert || !exportTo.isEmpty() || !verdictLog.isEmpty(); }
};

// Each argument is one path (the shell has split them already), trimmed; empty ones
// are skipped; arguments starting with "--" are switches.
CommandLine ParseCommandLine(const QStringList &arguments);

// The usage lines printed after a wrong command line.
QString CommandLineUsage();
