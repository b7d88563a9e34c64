#pragma once
#include <QString>

// The engine lives in the program folder of a build, in lib/corvane-studio/ of an
// installed copy (AppFolders::LibraryFolder); tests may point elsewhere. All three
// functions are safe to call from any thread.
QString EngineProgramPath();
// The folder of EngineProgramPath(), ending in "/".
QString EngineFolder();
// folder ends in "/"; an empty text returns to the default, the program folder.
void SetEngineProgramFolder(const QString &folderEndingInSlash);
