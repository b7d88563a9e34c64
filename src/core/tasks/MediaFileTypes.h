#pragma once
#include <QString>
#include <QStringList>

// The file-type filter of Add File: "Supported Files" and one entry per family of types.
QString AddFileFilter();

// True when the file name's extension is one of the media types the program lists
// from a folder (the Add File types and today's audio and video containers).
bool IsMediaFileName(const QString &path);

// Name order as people read it: "clip 2" before "clip 10", letter case aside.
bool NaturalLess(const QString &a, const QString &b);

// Dropped paths as the task list takes them: a file stays as it is; a folder gives the
// media files inside it and its subfolders (hidden ones and links to folders left out),
// in name order with numbers compared as numbers ("clip 2" before "clip 10").
QStringList ExpandDroppedPaths(const QStringList &paths);
