#include "core/settings/CommandLine.h"

#include "core/profiles/TargetCells.h"

CommandLine ParseCommandLine(const QStringList &arguments)
{
    CommandLine cl;
    bool exitStatusGiven = false;
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
        auto number = [&](int &target, int low, int high) {
            QString text;
            value(text);
            bool ok = false;
            const int n = text.toInt(&ok);
            if (ok && n >= low && n <= high)
                target = n;
            else if (!text.isEmpty())
                cl.errors << QStringLiteral("%1 needs a whole number from %2 to %3, not \"%4\"").arg(arg).arg(low).arg(high).arg(text);
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
            number(cl.jobs, 0, 64); // 0: chosen from the cores and the encoder
        } else if (arg == QStringLiteral("--export-commands")) {
            value(cl.exportTo);
        } else if (arg == QStringLiteral("--relative-to")) {
            value(cl.relativeTo);
        } else if (arg == QStringLiteral("--engine")) {
            value(cl.engine);
        } else if (arg == QStringLiteral("--verdict")) {
            value(cl.verdictLog);
        } else if (arg == QStringLiteral("--loudness") || arg == QStringLiteral("--target-size") ||
                   arg == QStringLiteral("--target-ssim")) {
            QString &target = arg == QStringLiteral("--loudness")      ? cl.loudness
                              : arg == QStringLiteral("--target-size") ? cl.targetSize
                                                                       : cl.targetSsim;
            value(target);
            const QString cell = arg == QStringLiteral("--loudness") ? TargetCells::kLoudness
                                 : arg == QStringLiteral("--target-size") ? TargetCells::kSize
                                                                          : TargetCells::kQuality;
            if (const QString problem = TargetCells::Problem(cell, target); !problem.isEmpty())
                cl.errors << QStringLiteral("%1 %2: %3").arg(arg, target, problem);
        } else if (arg == QStringLiteral("--exit-status")) {
            exitStatusGiven = true;
            number(cl.exitStatus, -64, 255);
        } else {
            cl.errors << QStringLiteral("unknown option %1").arg(arg);
        }
    }
    if ((!cl.watch.isEmpty() || cl.resume) && !cl.convert)
        cl.errors << QStringLiteral("--watch and --resume work with --convert only");
    if (cl.convert && !cl.exportTo.isEmpty())
        cl.errors << QStringLiteral("--export-commands writes the commands instead of converting: leave out --convert");
    if ((!cl.relativeTo.isEmpty() || !cl.engine.isEmpty()) && cl.exportTo.isEmpty())
        cl.errors << QStringLiteral("--relative-to and --engine work with --export-commands only");
    if (!cl.targetSize.isEmpty() && !cl.targetSsim.isEmpty())
        cl.errors << QStringLiteral("--target-size and --target-ssim cannot be used together: the one fixes the size, the "
                                    "other the picture's quality");
    if ((!cl.loudness.isEmpty() || !cl.targetSize.isEmpty() || !cl.targetSsim.isEmpty()) && !cl.convert &&
        cl.exportTo.isEmpty())
        cl.errors << QStringLiteral("--loudness, --target-size and --target-ssim work with --convert or --export-commands only");
    if (exitStatusGiven && cl.verdictLog.isEmpty())
        cl.errors << QStringLiteral("--exit-status works with --verdict only");
    return cl;
}

QString CommandLineUsage()
{
    return QStringLiteral("usage: corvane-studio [FILE...]\n"
                          "       corvane-studio --convert [--profile NAME] [--dest DIR] [--jobs N]\n"
                          "                                [--resume] [--watch DIR] [--loudness LUFS]\n"
                          "                                [--target-size SIZE | --target-ssim X] [FILE...]\n"
                          "       corvane-studio --export-commands FILE [--relative-to DIR] [--engine PATH]\n"
                          "                                [--profile NAME] [--dest DIR] [FILE...]\n"
                          "       corvane-studio --verdict LOGFILE [--exit-status N]\n");
}
