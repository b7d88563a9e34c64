#pragma once
#include <QString>

// The engine lives in the program folder; tests and an installed copy may point
// elsewhere. Both functions are safe to call from any thread.
QString EngineProgramPath();
// folder ends in "/"; an empty text returns to the default, the program folder.
void SetEngineProgramFolder(const QString &folderEndingInSlash);
