#pragma once
#include <QString>

class EngineCommand;

// A text as one word for a POSIX shell: as it is when no shell reads any of its
// characters specially, else in single quotes (a quote inside closes them, is escaped
// and opens them again).
QString ShellQuoted(const QString &text);

// One task for another machine: input path, output path and the engine command quoted
// for a POSIX shell, separated by tabs. Paths are relative to relativeTo when it is not
// empty, and the command names enginePath. Empty, with the problem, when the line
// could not be read back: a path holding a tab or a line break, or one outside relativeTo.
QString ExportLine(const EngineCommand &command, const QString &relativeTo, const QString &enginePath,
                   QString *problem);
