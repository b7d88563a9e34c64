#include <QApplication>
#include <QGuiApplication>
#include <cstdio>

#include "app/CCorvaneStudioApp.h"

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

    CCorvaneStudioApp corvane;
    corvane.InitInstance(QCoreApplication::applicationFilePath(), arguments);
    corvane.Run();
    return 0;
}
