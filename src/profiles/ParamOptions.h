#pragma once
#include <QString>
#include <functional>

struct ParamCell;

// The engine options of a tree, each preceded by one blank: "" or " -vcodec mpeg4 -ab 128".
QString GetParamFromTree(const ParamCell *root);

// The one-line summary of a tree's video and audio settings shown in the task list.
QString BuildProfileSummary(const ParamCell *root);
