#include <QApplication>
#include <QGuiApplication>
#include <cstdio>

#include "app/CCorvaneStudioApp.h"
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

    CCorvaneStudioApp corvane;
    corvane.InitInstance(QCoreApplication::applicationFilePath(), arguments);
    corvane.Run();
    return 0;
}
