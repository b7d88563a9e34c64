#pragma once
#include <QString>

#include "core/profiles/EngineOptions.h"

struct ParamCell;

// The engine options of a tree, in the order of its cells.
EngineOptions GetParamFromTree(const ParamCell *root);
// The engine options of a profile as its file (the user's copy, else the shipped one) holds them.
EngineOptions ProfileOptions(const QString &profileName);

// The one-line summary of a tree's video and audio settings shown in the task list.
QString BuildProfileSummary(const ParamCell *root);
