#pragma once
#include <QString>

struct ParamCell;

// Writes a parameter tree as a parameter file that CMpegStructs::LoadFromFile reads back
// as the same tree: the user's own copy of an edited profile.

struct ParamFileContent
{
    const ParamCell *root = nullptr;
    QString values;     // [allset] values
    QString targetType; // [allset] TargetType
    QString title;      // the comment on the first line
};

// The file's text. Cells are numbered parent before child, so each finds its father when
// read. A list cell holding a value the user typed (UsedType 102) is written with that
// value as its chosen entry, added to the list when no entry gives it to the engine: the
// file has no place of its own for a typed list value.
QString ParamFileText(const ParamFileContent &content);

// Replaces the file at path as a whole (never a half-written file). False, with the
// reason in *error, when it cannot be written.
bool WriteParamFile(const QString &path, const ParamFileContent &content, QString *error);
