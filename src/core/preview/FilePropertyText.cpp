#include "core/preview/FilePropertyText.h"

#include "core/tasks/TaskRecord.h"

const char kFilePropertyFormat[] =
    " File Name:%s\r\n File Path:%s\r\n File Size:%s\r\n Duration: %s \r\n BitRate:  %s \r\n Video:  \r\n "
    "\tCodec  :     %s  \r\n \tBitRate:     %s  \r\n \tSize   :     %s  \r\n \tFrame Rate:  %s  \r\n Audio:      \r\n "
    "\tCodec  :     %s \r\n \tBitRate:    %s \r\n \tSample Rate:%s \r\n \tChannel:    %s  \t\t";

QString FillPlaceholders(const QString &format, const QStringList &values)
{
    // Not QString::arg: a value holding "%1" must come out as it is.
    QString text;
    int next = 0;
    qsizetype from = 0;
    for (;;) {
        const qsizetype at = format.indexOf(QStringLiteral("%s"), from);
        if (at < 0)
            break;
        text += QStringView(format).mid(from, at - from);
        text += values.value(next++);
        from = at + 2;
    }
    text += QStringView(format).mid(from);
    return text;
}

QString FilePropertyText(const TaskRecord &task)
{
    const MediaInfo empty;
    const MediaInfo &info = task.mediaInfo ? *task.mediaInfo : empty;
    return FillPlaceholders(QString::fromLatin1(kFilePropertyFormat),
                            {task.baseName, task.sourceFolder, task.sizeText, info.durationText, info.bitRate,
                             info.videoCodec, info.videoBitRate, info.videoSize, info.frameRate, info.audioCodec,
                             info.audioBitRate, info.sampleRate, info.channels});
}
