#pragma once
#include <QString>

struct ParamCell;

// The cells that say what a conversion must reach rather than how it encodes: a
// loudness, a file size, a picture quality. Their values are the engine's own texts
// ("-16", "25M", "0.97"), kept as the user typed them; the engine runs the passes.
namespace TargetCells {

inline const QString kLoudness = QStringLiteral("loudness");
inline const QString kSize = QStringLiteral("target-size");
inline const QString kQuality = QStringLiteral("target-ssim");

bool IsTarget(const QString &cellName);

// Why the engine would refuse the value for the cell ("the loudness must lie between
// -70 and -5 LUFS"); empty when it takes it. An empty value is "off" and passes.
QString Problem(const QString &cellName, const QString &value);

// A size in bytes from "25M", "700k", "1.5GiB" or plain bytes; 0 when it is none.
qint64 SizeBytes(const QString &text);

// Gives a tree the target: the cell's value as typed, or a hidden cell of its own when the
// profile has none. An empty value turns the target off.
void Set(ParamCell &root, const QString &cellName, const QString &value);

// The value a tree sets for the target, empty when it is off.
QString Value(const ParamCell *root, const QString &cellName);

} // namespace TargetCells
