#include "core/conversion/OutputNaming.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

#include "base/SplitString.h"
#include "base/UserMessage.h"

PathParts SplitPath(const QString &path)
{
    PathParts parts;
    const qsizetype slash = path.lastIndexOf(u'/');
    parts.folder = path.left(slash + 1);
    const QString file = path.mid(slash + 1);
    const qsizetype dot = file.lastIndexOf(u'.');
    if (dot < 0) {
        parts.name = file;
    } else {
        parts.name = file.left(dot);
        parts.extension = file.mid(dot);
    }
    return parts;
}

QString OutputFolderFor(const QString &destination, const QString &sourcePath)
{
    if (destination.trimmed().isEmpty())
        return SplitPath(sourcePath).folder;
    return destination;
}

QString MakeUniqueOutputPath(const QString &path, const std::function<bool(const QString &)> &taken)
{
    const auto free = [&](const QString &candidate) { return !QFileInfo::exists(candidate) && !taken(candidate); };
    if (free(path))
        return path;
    const PathParts parts = SplitPath(path);
    for (int n = 0;; ++n) {
        const QString candidate = parts.folder + parts.name + u'_' + QString::number(n) + parts.extension;
        if (free(candidate))
            return candidate;
    }
}

QString MakeUniqueOutputPath(const QString &path)
{
    return MakeUniqueOutputPath(path, [](const QString &) { return false; });
}

QString ComposeOutputPath(const QString &folder, const QString &baseName, const QString &targetType)
{
    const QString candidate = folder.endsWith(u'/')
                                  ? QStringLiteral("%1%2.%3").arg(folder, baseName, targetType)
                                  : QStringLiteral("%1/%2.%3").arg(folder, baseName, targetType);
    return MakeUniqueOutputPath(candidate);
}

QString EnsureFolderPath(const QString &path)
{
    QStringList parts;
    SplitString(path, parts, QStringLiteral("/"), false);
    // An absolute path keeps its leading "/" as a Windows path keeps its drive.
    QString current = path.startsWith(u'/') ? u'/' + parts.value(0) : parts.value(0);
    for (int i = 0; i < parts.size(); ++i) {
        if (i > 0)
            current += u'/' + parts.at(i);
        // A file where a folder should be cannot hold the output: it fails like a folder
        // that cannot be made.
        if (!current.isEmpty() && QFileInfo(current).isDir())
            continue;
        // Another job may make the same folder at the same moment: that counts as made.
        if (current.isEmpty() || (!QDir().mkdir(current) && !QFileInfo(current).isDir())) {
            ShowUserMessage(QStringLiteral("Create  outPut file path %1 Failed!").arg(path));
            return {};
        }
    }
    return current;
}
