#pragma once
#include <QString>
#include <QStringList>

#include "core/profiles/EngineOptions.h"

// The engine's command line for one task: the options of the profile's tree, the
// trim range, the frame size fitted by the aspect mode, the two paths and the fixed
// quality tail.

// Adds "-ss START" when trimStart > 0 and "-t LENGTH" (stop - start) when trimStop > 0.
EngineOptions AppendTrimOptions(const EngineOptions &options, int trimStart, int trimStop);

// How a profile fits the source picture into its frame size: stretched (1), cropped (2),
// or scaled and padded with the bars centred (3), on the right (4), left (5), bottom (6)
// or top (7). Unchanged leaves the options as they are.
enum class AspectMode { Unchanged = 0, Stretch, Crop, PadCentre, PadRight, PadLeft, PadBottom, PadTop };
// The mode a profile's "aspect" value selects: values outside 1..7 leave the options unchanged.
AspectMode AspectModeFromValue(int value);

// Rewrites the size of the last "-s WxH" of the options so the picture keeps its
// proportions. sourceSize is the probe's frame-size field ("720x576 [PAR 16:15 DAR 4:3]").
// Any size it cannot read, a source ratio outside 0.01..100 or AspectMode::Unchanged
// returns the options exactly as given.
EngineOptions ApplyAspectMode(const EngineOptions &options, const QString &sourceSize, AspectMode mode);

// The engine's file name in the program folder.
QString EngineFileName();

// One run of the engine: its program and the parts of its command line. The argument
// vector that starts it and the command line that is logged are both made from these
// parts, so the two cannot tell different stories.
class EngineCommand
{
public:
    EngineCommand() = default;
    EngineCommand(QString program, QString sourcePath, EngineOptions options, QString outputPath);

    const QString &Program() const { return m_program; }
    const QString &SourcePath() const { return m_sourcePath; }
    const EngineOptions &Options() const { return m_options; }
    const QString &OutputPath() const { return m_outputPath; }

    // Each path is one argument whatever it holds; the fixed quality tail before the output.
    QStringList Arguments() const;
    // PROGRAM -y -i "SRC" OPTIONS -qmin 1 -qmax 51 -level 13 "OUT"; the paths are quoted as
    // they are, and each option brings its own leading blank.
    QString Text() const;

private:
    QString m_program;
    QString m_sourcePath;
    EngineOptions m_options;
    QString m_outputPath;
};

// The command of one task: the engine program (its full path), source, options and output.
EngineCommand BuildEngineCommand(const QString &engineProgram, const QString &sourcePath, const EngineOptions &options,
                                 const QString &outputPath);
