#pragma once
// What libavformat and libavcodec find in a file, independent of the engine's description.
#include <QMap>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <vector>

struct AVFormatContext;

namespace TestSupport {

struct Media
{
    QString videoCodec, audioCodec; // codec names, empty without such a stream
    int width = 0, height = 0, level = 0;
    int sarNum = 0, sarDen = 1;      // sample aspect ratio, 0 when unknown
    double seconds = -1;             // the container's duration; -1 when it cannot be read
    int videoPackets = 0, audioPackets = 0;
    int videoStreams = 0, audioStreams = 0;
    QString subtitleCodec;           // of the first subtitle stream
    bool startsOnKey = false;        // the first video packet is a key frame
    double turn = 0;                 // the turn the video stream asks for, in degrees as stored; NAN without one
    QMap<QString, QString> tags;     // lower-case keys
    // Chapters as "title start-end|…"; audio and subtitle tracks as "a|s language name default forced|…".
    QString chapters, tracks;
    int covers = 0;                  // attached pictures
    int pictureWidth = 0, pictureHeight = 0; // the first decoded picture's luma plane
    std::vector<uint8_t> luma;

    double Mean(int x, int y, int w, int h) const; // mean luma of a rectangle of the picture; -1 without one
};

Media ReadMedia(const QString &path);

// Sets what a copy of a file says about itself before its header is written.
using Shape = std::function<bool(AVFormatContext *)>;
// A video stream to be shown turned by degrees (counter-clockwise), as a phone stores an upright clip.
Shape Turned(double degrees);

// A copy of a file, its streams as they are, shaped before its header is written; with
// slowAfter, the pictures after that second come at twice their interval, as a phone's
// variable frame rate does.
bool Remux(const QString &in, const QString &out, const Shape &shape, double slowAfter = -1);

// The names a stream coded by this encoder may be described with; empty for an unknown encoder.
QStringList CodecNames(const QString &encoder);

} // namespace TestSupport
