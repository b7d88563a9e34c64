#include "core/conversion/BatchEvents.h"

#include <QTime>

QString TaskStartedEvent::StatusLine() const
{
    return QStringLiteral("Converting \"%1\" to \"%2\"... \r\n").arg(command.SourcePath(), command.OutputPath());
}

QString TaskFinishedEvent::Report() const
{
    const QString output = engineOutput + closingLines;
    if (cause.isEmpty())
        return output;
    return output + cause + QStringLiteral("\r\n");
}

QString TaskFinishedEvent::StatusLine() const
{
    switch (verdict) {
    case Verdict::Completed:
        return QStringLiteral("Converted  to \"%1\" ok!\r\n").arg(outputPath);
    case Verdict::Stopped:
        return QStringLiteral("%1 Stop Converting \"%2\" !\r\n")
            .arg(QTime::currentTime().toString(QStringLiteral("HH:mm:ss")), sourcePath);
    default:
        return QStringLiteral("Converting \"%1\" Failed!\r\n").arg(sourcePath);
    }
}

