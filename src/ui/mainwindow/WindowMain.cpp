// The window module's entry, loaded by the program when a window is wanted.
#include <QApplication>
#include <cstdio>

#include "ui/mainwindow/CCorvaneStudioApp.h"
#include "core/settings/CommandLine.h"
#include "ui/mainwindow/PathReceiver.h"

namespace {
bool displayAvailable()
{
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        return true; // the user chose a platform (offscreen, wayland, ...) on purpose
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}
} // namespace

extern "C" Q_DECL_EXPORT int CorvaneStudioWindowMain(int argc, char *argv[])
{
    if (!displayAvailable()) {
        std::fprintf(stderr,
                     "CorvaneStudio needs a graphical desktop, but no display was found "
                     "(neither DISPLAY nor WAYLAND_DISPLAY is set).\n"
                     "Start it from a desktop session, or under xvfb-run to try it without one.\n"
                     "To convert without a window: corvane-studio --convert FILE...\n");
        return 2;
    }
    QApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();

    // A second start with files hands them to the window that is already open.
    const CommandLine commandLine = ParseCommandLine(arguments);
    if (!commandLine.files.isEmpty()) {
        const QString folder = QCoreApplication::applicationDirPath() + u'/';
        if (PathReceiver::SendPaths(PathReceiver::ServerNameFor(folder), commandLine.files, 2000))
            return 0;
    }
    if (!commandLine.errors.isEmpty()) {
        for (const QString &error : commandLine.errors)
            std::fprintf(stderr, "corvane-studio: %s\n", error.toLocal8Bit().constData());
        std::fputs(CommandLineUsage().toLocal8Bit().constData(), stderr);
        return 2;
    }

    CCorvaneStudioApp corvane;
    corvane.InitInstance(QCoreApplication::applicationFilePath(), arguments);
    corvane.Run();
    return 0;
}
