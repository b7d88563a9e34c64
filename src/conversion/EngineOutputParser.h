#pragma once
#include <QByteArray>
#include <QString>
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

    // One chunk as read from the pipe.
    Display Feed(const QByteArray &chunk);

    bool SawGlobalHeaders() const { return m_sawGlobalHeaders; }
    const QString &HeaderText() const { return m_headerText; }

    static inline const QString kSeeking = QStringLiteral("seeking...");

private:
    double m_duration;
    double m_totalSeconds;
    double m_doneSeconds;
    QString m_headerText;
    bool m_collectingHeader = true;
    bool m_sawGlobalHeaders = false;
    int m_lastFilePercent = 0;
    double m_lastTotalPercent = 0;
    bool m_seekingAllowed = true;
};
