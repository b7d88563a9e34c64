#pragma once
#include <QString>

#include "core/profiles/EngineOptions.h"

// How many conversions run at once.
//
// The automatic choice looks at the video encoder a profile's options name. An encoder
// that spreads one picture over every core (x264, x265, the AV1 and VP9 encoders) leaves
// nothing for a second engine, so it gets one job; a graphics card's encoder is one
// device however many engines feed it, so it gets one job too. Every other encoder (the
// MPEG-4, Xvid, MPEG-1/2, FLV, H.263, WMV, VP8 and GIF encoders, audio-only and stream-copy
// profiles) keeps about one core busy, so it gets one job per core. The bench in
// bench/bench_jobs.cpp measures both kinds.
namespace JobCount {

// The largest number the window offers, and the automatic choice's ceiling.
constexpr int kMaxJobs = 8;

// The video encoder the options name ("-vcodec libx264" gives "libx264"); empty when none.
QString VideoEncoder(const EngineOptions &options);
// Whether one engine with this encoder already keeps every core busy.
bool FillsEveryCore(const QString &videoEncoder);
// The automatic choice for a profile's options on a machine with this many cores.
int Automatic(const EngineOptions &profileOptions, int cores);
// A setting (0 automatic, else the number) resolved for a profile's options; the
// number of cores is the machine's when not given.
int Resolve(int setting, const EngineOptions &profileOptions, int cores = 0);

// The threads each of several engines may use so that together they fill the cores and no
// more: frame threads beyond that only make the engines take turns. 0 for one job (the
// engine's own choice).
int ThreadsPerJob(int jobs, int cores = 0);

} // namespace JobCount
