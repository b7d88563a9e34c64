#pragma once
#include <QString>
#include <functional>

struct ParamCell;

// The engine options of a tree, each preceded by one blank: "" or " -vcodec mpeg4 -ab 128".
QString GetParamFromTree(const ParamCell *root);
// The engine options of a profile as its file (the user's copy, else the shipped one) holds them.
QString ProfileOptions(const QString &profileName);

// The one-line summary of a tree's video and audio settings shown in the task list.
QString BuildProfileSummary(const ParamCell *root);
