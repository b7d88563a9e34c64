#pragma once
#include <QString>
#include <QStringList>

// The engine's command line for one task: the option string of the profile's
// tree, the trim range, the frame size fitted by the aspect mode, the two paths
// and the fixed quality tail.

// Adds " -ss START" when trimStart > 0 and " -t LENGTH" (stop - start) when trimStop > 0.
QString AppendTrimOptions(const QString &options, int trimStart, int trimStop);

// Rewrites the last "-s WxH" of the options so the picture keeps its proportions
// (modes 1 to 7: stretch, crop, or scale and pad). sourceSize is the probe's
// frame-size field ("720x576 [PAR 16:15 DAR 4:3]"). Any size it cannot read, a
// source ratio outside 0.01..100 or another mode returns options exactly as given.
QString ApplyAspectMode(const QString &options, const QString &sourceSize, int mode);

// The command line as logged: engine folder + "mirracore -y -i \"SRC\" OPTIONS -qmin 1 -qmax 51 -level 13 \"OUT\"".
QString BuildEngineCommand(const QString &engineFolder, const QString &sourcePath, const QString &options,
                           const QString &outputPath);

// The same command as the argument vector that starts the engine (program excluded):
// each path is one argument whatever it holds; the options are split at blanks,
// a double-quoted stretch staying one argument, and the words of a metadata
// text (-title, -author, -copyright, -comment, -album) staying one argument.
QStringList BuildEngineArguments(const QString &sourcePath, const QString &options, const QString &outputPath);
QStringList SplitOptions(const QString &options);

// The engine's file name in the program folder.
QString EngineFileName();
