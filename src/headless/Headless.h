#pragma once
#include <QString>

struct CommandLine;

// Headless conversion: the program's start-up, task list and batch run without any
// window code, on QCoreApplication. Progress and each task's result go to the
// terminal. Returns the exit status: 0 only when every file given was converted,
// 1 otherwise, 2 for a wrong command line, 130 when interrupted (SIGINT, SIGTERM).
int RunHeadless(const CommandLine &commandLine, const QString &programPath);
