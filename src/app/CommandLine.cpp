#include "app/CommandLine.h"

CommandLine ParseCommandLine(const QStringList &arguments)
{
    CommandLine cl;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString arg = arguments.at(i).trimmed();
        if (arg.isEmpty())
            continue;
        if (!arg.startsWith(QStringLiteral("--"))) {
            cl.files << arg;
            continue;
        }
        auto value = [&](QString &target) {
            if (i + 1 < arguments.size())
                target = arguments.at(++i).trimmed();
            else
                cl.errors << QStringLiteral("%1 needs a value").arg(arg);
        };
        if (arg == QStringLiteral("--convert")) {
            cl.convert = true;
        } else if (arg == QStringLiteral("--watch")) {
            value(cl.watch);
        } else if (arg == QStringLiteral("--resume")) {
            cl.resume = true;
        } else if (arg == QStringLiteral("--profile")) {
            value(cl.profile);
        } else if (arg == QStringLiteral("--dest")) {
            value(cl.destination);
        } else if (arg == QStringLiteral("--jobs")) {
            QString text;
            value(text);
            bool ok = false;
            const int jobs = text.toInt(&ok);
            if (ok && jobs >= 1 && jobs <= 64)
                cl.jobs = jobs;
            else if (!text.isEmpty())
                cl.errors << QStringLiteral("--jobs needs a whole number from 1 to 64, not \"%1\"").arg(text);
        } else {
            cl.errors << QStringLiteral("unknown option %1").arg(arg);
        }
    }
    if (!cl.watch.isEmpty() && !cl.convert)
        cl.errors << QStringLiteral("--watch works with --convert only");
    return cl;
}

QString CommandLineUsage()
{
    return QStringLiteral("usage: corvane-studio [FILE...]\n"
                          "       corvane-studio --convert [--profile NAME] [--dest DIR] [--jobs N]\n"
                          "                                [--resume] [--watch DIR] [FILE...]\n");
}
