#pragma once
#include <QString>
#include <functional>

// Output paths: destination folder, the input's base name and the profile's
// target type, made unique so that naming never overwrites anything.

// The folder outputs go to: the destination, or the input's own folder while no
// destination has been chosen.
QString OutputFolderFor(const QString &destination, const QString &sourcePath);

// folder + "/" (unless it ends in one) + baseName + "." + targetType, made unique.
QString ComposeOutputPath(const QString &folder, const QString &baseName, const QString &targetType);
// path itself when nothing exists there, else the first free "name_N.ext", N from 0.
QString MakeUniqueOutputPath(const QString &path);
// The same, also passing over the names taken says are spoken for.
QString MakeUniqueOutputPath(const QString &path, const std::function<bool(const QString &)> &taken);
// Creates every missing folder of path, one level at a time, and returns the path
// rebuilt from its parts ("/a//b" gives "/a/b"); empty after telling the user
// when a folder cannot be created.
QString EnsureFolderPath(const QString &path);

// The parts of a path the way the naming rules split it.
struct PathParts
{
    QString folder;    // everything up to and including the last "/"
    QString name;      // the file name without its extension
    QString extension; // from the last "." of the file name, dot included; may be empty
};
PathParts SplitPath(const QString &path);
