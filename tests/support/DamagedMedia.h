#pragma once
#include <QList>
#include <QString>
#include <QStringList>

// A deterministic corpus of damaged media files, made from short clips the engine
// writes itself.
namespace DamagedMedia {

// Small clips made by the engine at enginePath into folder: one per container (MP4, AVI,
// MKV, WebM, MOV, FLV, MPEG-TS, WMV, 3GP) with its own codecs, and H.264 with B-frames in
// MPEG-TS, MPEG-2 in a program stream and MPEG-4 with B-frames in AVI. Returns those made.
QStringList MakeClips(const QString &enginePath, const QString &folder, double seconds);

struct File
{
    QString path;
    QString clip; // what it was made from
    QString kind; // "truncated 25%", "flipped 4 bits #2", ...
};

// Damaged copies of every clip in folder: truncations, header only, empty, bit flips,
// zeroed blocks, swapped chunks. The same clips always give the same files.
QList<File> MakeCorpus(const QStringList &clips, const QString &folder);

// Seconds of the first "Duration: hh:mm:ss.xx" in a description; -1 without one.
double DurationIn(const QString &description);

} // namespace DamagedMedia
