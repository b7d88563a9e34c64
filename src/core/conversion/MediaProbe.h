#pragma once
#include "core/conversion/MediaInfo.h"

#include <QString>
#include <memory>
#include "base/Utf8Pieces.h"

// Runs the engine with only an input option ("-i" or "-i ") and the source path,
// and returns everything it printed; the empty text when it could not be started.
// Blocks until the engine has ended; an engine that has not finished its answer
// within the probe time limit is ended, and what it printed until then is returned.
// A probe at idle priority gives way to conversions running beside it.
QString RunProbe(const QString &sourcePath, const QString &option, bool idle = false);
// RunProbe, its description parsed: null when the engine printed nothing at all (it
// could not be run). complete, when given, says whether the description was whole.
std::unique_ptr<MediaInfo> ProbeMedia(const QString &sourcePath, bool idle = false, bool *complete = nullptr);
// The probe time limit (30 s unless changed; tests shorten it).
void SetProbeTimeLimit(int milliseconds);

// A probe's output gathered from reads of any size; a character split between two
// reads stays whole.
class ProbeText
{
public:
    void Feed(QByteArrayView bytes);
    // The engine said it has described everything ("Must supply at least one output file").
    bool Complete() const { return m_complete; }
    const QString &Text() const { return m_text; }

private:
    Utf8Pieces m_decoder;
    QString m_text;
    bool m_complete = false;
};

// The text after the first occurrence of key (one character after it), up to the
// carriage return that ends it; empty without key or carriage return.
QString ValueAfterKey(const QString &text, const QString &key);

// Fills info from a probe text. False when the text has no usable "Video:" or
// "Audio:" description; info then holds what was read before that point.
bool ParseProbeOutput(const QString &sourcePath, const QString &text, MediaInfo &info);
