#pragma once
#include "base/FixedText.h"

#include <cstdint>

// What the engine reported about an input file. Capacities count the terminating
// NUL of the record layout; a longer value is cut.
struct MediaInfo
{
    FixedText<21> bitRate;         // overall bit rate, e.g. "1411 kb/s"
    FixedText<21> videoCodec;
    FixedText<21> videoBitRate;
    FixedText<63> videoSize;       // e.g. "640x480 [PAR 1:1 DAR 4:3]"
    FixedText<21> frameRate;
    FixedText<21> sampleRate;      // keeps its leading blank
    FixedText<21> audioCodec;
    FixedText<21> audioBitRate;    // keeps its leading blank
    FixedText<21> channels;        // keeps its leading blank
    FixedText<21> durationSecText; // "%0.1f" seconds; empty means "not read"
    FixedText<1042> durationText;  // as the engine printed it, up to the first comma
    int32_t durationHours = 0;
    int32_t durationMinutes = 0;
    float durationSeconds = 0;

    void Clear() { *this = MediaInfo(); }
};
