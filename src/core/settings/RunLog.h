#pragma once
#include <QString>

// The run log "run.log": time-stamped entries in UTF-16LE, written only in
// diagnostic mode (RUNMODE) or when the caller forces it.
namespace RunLog {

bool IsDiagnostic(const QString &runMode);
// Appends "HH:MM:SS text\r\n" to the log at path when forced or runMode is diagnostic.
void Write(const QString &path, const QString &runMode, const QString &text, bool forced);
// The log of the running program.
QString LogPath();

} // namespace RunLog

// Writes to the running program's log under its diagnostic switch.
void WriteLog(const QString &text, bool forced = false);
