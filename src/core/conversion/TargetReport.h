#pragma once
#include <QString>

// What a conversion with targets (loudness, size, picture quality) reached, read from the
// engine's notes and said in the user's language, one target after another; empty when
// the engine printed no such notes.
QString TargetReport(const QString &engineLines);
