#pragma once
#include <QList>
#include <QString>
#include <QStringList>

// --help and --version, answered before any window or engine is touched, so that the
// headless program can print them without loading widget code.
namespace CommandLineHelp {

struct Option
{
    QString name;     // "--dest"
    QString argument; // "DIR", empty for a switch
    QString text;     // one line
};

// Every option the program takes, in the order --help lists them.
const QList<Option> &Options();

QString HelpText();    // usage, then one line per option
QString VersionText(); // "corvane-studio 1.0"

enum class Request { None, Help, Version };
// The first --help (or -h) or --version among the arguments (program name excluded); the
// value of an option that takes one is never taken for a switch ("--dest --help").
Request Find(const QStringList &arguments);

// Prints the text asked for on standard output; true when something was printed and the
// program should end.
bool PrintIfAsked(const QStringList &arguments);

} // namespace CommandLineHelp
