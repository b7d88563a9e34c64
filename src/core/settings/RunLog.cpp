#include "core/settings/RunLog.h"

#include <QFile>
#include <QTime>

#include "core/settings/AppSettings.h"

namespace RunLog {

bool IsDiagnostic(const QString &runMode)
{
    return runMode == QStringLiteral("PRINT_CMD_NO_RUN") || runMode == QStringLiteral("DEBUG_PRINT_CMD");
}

void Write(const QString &path, const QString &runMode, const QString &text, bool forced)
{
    if (!forced && !IsDiagnostic(runMode))
        return;
    const QString entry = QStringLiteral("%1 %2\r\n").arg(QTime::currentTime().toString(QStringLiteral("HH:mm:ss")), text);
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return; // an entry that cannot be written is lost quietly
    static const char bom[2] = {'\xFF', '\xFE'};
    file.write(bom, 2);
    file.seek(file.size());
    QByteArray bytes;
    bytes.reserve(entry.size() * 2);
    for (QChar c : entry) {
        bytes.append(char(c.unicode() & 0xFF));
        bytes.append(char(c.unicode() >> 8));
    }
    file.write(bytes);
}

QString LogPath()
{
    return AppSettings::Instance().Folders().ConfigFolder() + QStringLiteral("run.log");
}

} // namespace RunLog

void WriteLog(const QString &text, bool forced)
{
    if (!AppSettings::HasInstance())
        return;
    const AppSettings &settings = AppSettings::Instance();
    RunLog::Write(RunLog::LogPath(), settings.GetRunMode(), text, forced);
}
