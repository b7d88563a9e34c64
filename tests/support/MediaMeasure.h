#pragma once
// Loudness and likeness measured with the libraries' own filters, for tests and benchmarks
// that check what the engine says it reached.

#include <QList>
#include <QMap>
#include <QString>

namespace TestSupport {

// The numbers each frame of a filter graph carries (keys such as "lavfi.ssim.All", and its
// "pts"), frame by frame; empty when the graph cannot be built.
QList<QMap<QString, double>> GraphFrames(const QString &graph, bool audio);

struct MeasuredLoudness
{
    double integrated = 0; // LUFS
    double truePeak = 99;  // dBTP
};
MeasuredLoudness MeasureLoudness(const QString &file);

// Mean SSIM of a file's pictures against the source's, both of one size.
double MeasureSsim(const QString &file, const QString &source);

} // namespace TestSupport
