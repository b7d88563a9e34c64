#include "headless/CommandExport.h"

#include <QDir>
#include <QStringList>

#include "core/conversion/EngineCommand.h"

QString ShellQuoted(const QString &text)
{
    static const QString plain = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_./=:,+@%-");
    bool quote = text.isEmpty();
    for (const QChar c : text)
        quote = quote || !plain.contains(c);
    if (!quote)
        return text;
    QString quoted = text;
    quoted.replace(u'\'', QStringLiteral("'\\''"));
    return u'\'' + quoted + u'\'';
}

QString ExportLine(const EngineCommand &command, const QString &relativeTo, const QString &enginePath,
                   QString *problem)
{
    const QDir base(relativeTo);
    auto place = [&](const QString &path) -> QString {
        if (path.contains(u'\t') || path.contains(u'\n') || path.contains(u'\r')) {
            *problem = QStringLiteral("\"%1\" holds a tab or a line break, which a tab-separated line cannot carry").arg(path);
            return {};
        }
        if (relativeTo.isEmpty())
            return path;
        const QString relative = base.relativeFilePath(path);
        if (relative.startsWith(QStringLiteral("../")) || QDir::isAbsolutePath(relative)) {
            *problem = QStringLiteral("\"%1\" is not inside \"%2\"").arg(path, relativeTo);
            return {};
        }
        return relative;
    };
    const QString source = place(command.SourcePath());
    const QString output = source.isEmpty() ? QString() : place(command.OutputPath());
    if (source.isEmpty() || output.isEmpty())
        return {};
    const EngineCommand moved(enginePath, source, command.Options(), output);
    QStringList words{ShellQuoted(moved.Program())};
    for (const QString &argument : moved.Arguments())
        words << ShellQuoted(argument);
    return source + u'\t' + output + u'\t' + words.join(u' ');
}
