#include <QApplication>
#include <QGuiApplication>
#include <cstdio>

#include "app/AppFolders.h"
#include "app/CCorvaneStudioApp.h"
#include "app/CommandLineHelp.h"
#include "app/Headless.h"
#include "app/PathReceiver.h"

namespace {
bool displayAvailable()
{
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (!platform.isEmpty())
        return true; // the user chose a platform (offscreen, wayland, ...) on purpose
    return !qgetenv("DISPLAY").isEmpty() || !qgetenv("WAYLAND_DISPLAY").isEmpty();
}
} // namespace

int main(int argc, char *argv[])
{
    QStringList rawArguments;
    for (int i = 1; i < argc; ++i)
        rawArguments << QString::fromLocal8Bit(argv[i]);
    // Answered before anything else: they need neither a display nor the settings.
    if (CommandLineHelp::PrintIfAsked(rawArguments))
        return 0;
    EnsureRuntimeFolder();

    bool headless = false;
    for (int i = 1; i < argc; ++i)
        if (qstrcmp(argv[i], "--convert") == 0)
            headless = true;
    // Headless conversion needs no display: the window is built but never shown.
    if (headless && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (!displayAvailable()) {
        std::fprintf(stderr,
                     "CorvaneStudio needs a graphical desktop, but no display was found "
                     "(neither DISPLAY nor WAYLAND_DISPLAY is set).\n"
                     "Start it from a desktop session, or under xvfb-run to try it without one.\n");
        return 2;
    }
    QApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();

    // A second start with files hands them to the window that is already open.
    const CommandLine commandLine = CCorvaneStudioApp::ParseCommandLine(arguments);
    if (!commandLine.convert && !commandLine.files.isEmpty()) {
        const QString folder = QCoreApplication::applicationDirPath() + u'/';
        if (PathReceiver::SendPaths(PathReceiver::ServerNameFor(folder), commandLine.files, 2000))
            return 0;
    }

    if (!commandLine.errors.isEmpty()) {
        for (const QString &error : commandLine.errors)
            std::fprintf(stderr, "corvane-studio: %s\n", error.toLocal8Bit().constData());
        std::fprintf(stderr, "usage: corvane-studio [FILE...]\n"
                             "       corvane-studio --convert [--profile NAME] [--dest DIR] FILE...\n");
        return 2;
    }

    if (commandLine.convert)
        InstallTerminalPrompter();
    CCorvaneStudioApp corvane;
    corvane.InitInstance(QCoreApplication::applicationFilePath(), arguments);
    if (commandLine.convert)
        return RunHeadless(corvane, commandLine);
    corvane.Run();
    return 0;
}
