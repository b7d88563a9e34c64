#pragma once
#include <QStringList>

class CCorvaneStudioApp;
struct CommandLine;

// Messages, questions and dialogs go to the terminal from here on; installed
// before start-up so that no start-up message waits for a click.
void InstallTerminalPrompter();

// Headless conversion: the window's start-up, task list and batch run without a
// window on screen; progress and each task's result go to the terminal. Returns
// the exit status: 0 only when every file given was converted.
int RunHeadless(CCorvaneStudioApp &app, const CommandLine &commandLine);
