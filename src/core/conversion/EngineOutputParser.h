#pragma once
#include <QByteArray>
#include <QString>
#include "base/Utf8Pieces.h"
#include <optional>

// Reads the engine's console output chunk by chunk and decides what the window
// shows: the row's percentage, the overall bar, the status line, "seeking...",
// the text kept for a failure report, and whether the run succeeded.
class EngineOutputParser
{
public:
    struct Display
    {
        std::optional<int> rowPercent;     // new per-file percentage
        std::optional<QString> statusLine; // new status line text
        bool seeking = false;              // the status cell shows "seeking..."
        std::optional<int> overall;        // new value for the overall bar, 0..100
    };

    // duration: seconds of this task (0: unknown, no progress is shown);
    // totalSeconds/doneSeconds: the run's total and what earlier tasks covered.
    EngineOutputParser(double duration, double totalSeconds, double doneSeconds);

    // One chunk as read from the pipe. A character or the success marker cut in two
    // by the reads counts as if it had come in one piece.
    Display Feed(const QByteArray &chunk);

    bool SawGlobalHeaders() const { return m_sawGlobalHeaders; }
    const QString &HeaderText() const { return m_headerText; }
    // The lines after the last progress line (an error that came once the conversion had
    // begun, or the closing figures), each ending in CR LF; empty before any progress.
    QString ClosingLines() const;
    // The engine reported more output time than the task can hold (by more than
    // 10 % plus 10 seconds): it is filling a gap that is not there.
    bool ExceedsInput() const;

    static inline const QString kSeeking = QStringLiteral("seeking...");
    // What the engine prints only once its output is complete.
    static inline const QString kSuccessMarker = QStringLiteral("global headers:");

private:
    double m_duration;
    double m_totalSeconds;
    double m_doneSeconds;
    Utf8Pieces m_decoder;
    QString m_tail; // the end of the previous chunk, for a marker cut by a read
    double m_latestTime = 0;
    QString m_headerText;
    QString m_recent; // the last few kilobytes of output
    bool m_collectingHeader = true;
    bool m_sawGlobalHeaders = false;
    int m_lastFilePercent = 0;
    double m_lastTotalPercent = 0;
    bool m_seekingAllowed = true;
};
