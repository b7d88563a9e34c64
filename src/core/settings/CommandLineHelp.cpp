#include "core/settings/CommandLineHelp.h"

#include <cstdio>

#include "BuildInfo.h"
#include "core/settings/ProgramIdentity.h"

namespace CommandLineHelp {

const QList<Option> &Options()
{
    static const QList<Option> options = {
        {QStringLiteral("FILE..."), {},
         QStringLiteral("open the window with these files in its list (an open window takes them over)")},
        {QStringLiteral("--convert"), {},
         QStringLiteral("convert the files (and the rows of .tsk task files) without a window, then exit")},
        {QStringLiteral("--profile"), QStringLiteral("NAME"),
         QStringLiteral("with --convert: the profile to convert with (default: the default profile)")},
        {QStringLiteral("--dest"), QStringLiteral("DIR"),
         QStringLiteral("with --convert: the folder for the converted files (default: beside each input)")},
        {QStringLiteral("--jobs"), QStringLiteral("N"),
         QStringLiteral("with --convert: run N conversions at the same time; 0 chooses from the cores\n"
                        "and the profile's encoder (default: 1)")},
        {QStringLiteral("--resume"), {},
         QStringLiteral("with --convert: first the list the last session kept, less its completed files")},
        {QStringLiteral("--watch"), QStringLiteral("DIR"),
         QStringLiteral("with --convert: keep running and convert each media file that appears in DIR")},
        {QStringLiteral("--export-commands"), QStringLiteral("FILE"),
         QStringLiteral("write each task's input, output and engine command to FILE (\"-\": standard\n"
                        "output), tab-separated, for GNU parallel on other machines; convert nothing")},
        {QStringLiteral("--relative-to"), QStringLiteral("DIR"),
         QStringLiteral("with --export-commands: paths relative to DIR")},
        {QStringLiteral("--engine"), QStringLiteral("PATH"),
         QStringLiteral("with --export-commands: the engine the commands run\n(default: ") +
             QStringLiteral(CORVANE_PACKAGE_LIBRARY "/mirracore)")},
        {QStringLiteral("--verdict"), QStringLiteral("LOGFILE"),
         QStringLiteral("print Completed or Failed for one engine output, judged as a conversion here is")},
        {QStringLiteral("--exit-status"), QStringLiteral("N"),
         QStringLiteral("with --verdict: the engine's exit status (default: 0)")},
        {QStringLiteral("--version"), {}, QStringLiteral("print the version and exit")},
        {QStringLiteral("--help"), {}, QStringLiteral("print this help and exit")},
    };
    return options;
}

QString HelpText()
{
    const QString name = ProgramIdentity::CommandName();
    QString text = QStringLiteral("Usage: %1 [FILE...]\n"
                                  "       %1 --convert [--profile NAME] [--dest DIR] [--jobs N]\n"
                                  "                                [--resume] [--watch DIR] [FILE...]\n"
                                  "       %1 --export-commands FILE [--relative-to DIR] [--engine PATH]\n"
                                  "                                [--profile NAME] [--dest DIR] [FILE...]\n"
                                  "       %1 --verdict LOGFILE [--exit-status N]\n\n"
                                  "Converts video and audio files with conversion profiles.\n\n")
                       .arg(name);
    for (const Option &o : Options()) {
        const QString left = o.argument.isEmpty() ? o.name : o.name + u' ' + o.argument;
        // A long option takes a line of its own, its text the lines after it.
        const QString indent = QStringLiteral("\n") + QString(18, u' ');
        QString described = QString(o.text).replace(u'\n', indent);
        if (left.size() > 14)
            text += QStringLiteral("  %1%2%3\n").arg(left, indent, described);
        else
            text += QStringLiteral("  %1  %2\n").arg(left, -14).arg(described);
    }
    text += QStringLiteral("\nExit status of --convert: 0 when every file was converted, 1 otherwise, "
                           "2 for a wrong command line.\n"
                           "Exit status of --export-commands: 0 when every task was written; of --verdict: 0 "
                           "for Completed.\n");
    return text;
}

QString VersionText()
{
    return ProgramIdentity::CommandName() + u' ' + ProgramIdentity::Version() + u'\n';
}

Request Find(const QStringList &arguments)
{
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &arg = arguments.at(i);
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h"))
            return Request::Help;
        if (arg == QLatin1String("--version"))
            return Request::Version;
        for (const Option &o : Options())
            if (!o.argument.isEmpty() && arg == o.name) {
                ++i; // its value
                break;
            }
    }
    return Request::None;
}

bool PrintIfAsked(const QStringList &arguments)
{
    QString text;
    switch (Find(arguments)) {
    case Request::None:
        return false;
    case Request::Help:
        text = HelpText();
        break;
    case Request::Version:
        text = VersionText();
        break;
    }
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stdout);
    std::fflush(stdout);
    return true;
}

} // namespace CommandLineHelp
