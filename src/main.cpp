// The program's entry: headless conversion runs on Qt Core alone; the window lives in
// a module of its own that is loaded only when a window is wanted.
#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>
#include <cstdio>
#include <dlfcn.h>

#include "core/settings/AppFolders.h"
#include "core/settings/CommandLine.h"
#include "core/settings/CommandLineHelp.h"
#include "headless/Headless.h"

namespace {

using WindowMain = int (*)(int, char **);

// Beside the program in a build folder; in the private library folder when installed.
QStringList windowModuleCandidates(const QString &programFolder)
{
    return {programFolder + QStringLiteral("/libcorvane-ui.so"),
            programFolder + QStringLiteral("/../lib/corvane-studio/libcorvane-ui.so")};
}

int runWindow(int argc, char *argv[], const QString &programFolder)
{
    QStringList tried;
    for (const QString &candidate : windowModuleCandidates(programFolder)) {
        if (!QFileInfo::exists(candidate)) {
            tried << candidate;
            continue;
        }
        void *module = dlopen(QFile::encodeName(candidate).constData(), RTLD_NOW | RTLD_GLOBAL);
        if (!module) {
            std::fprintf(stderr, "corvane-studio: cannot load the window module: %s\n", dlerror());
            return 2;
        }
        auto entry = reinterpret_cast<WindowMain>(dlsym(module, "CorvaneStudioWindowMain"));
        if (!entry) {
            std::fprintf(stderr, "corvane-studio: %s is not the window module: %s\n",
                         QFile::encodeName(candidate).constData(), dlerror());
            return 2;
        }
        return entry(argc, argv);
    }
    std::fprintf(stderr, "corvane-studio: the window module was not found (looked for %s)\n",
                 QFile::encodeName(tried.join(QStringLiteral(", "))).constData());
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    // Answered before anything else: they need neither a display nor the settings.
    if (CommandLineHelp::PrintIfAsked(arguments))
        return 0;
    EnsureRuntimeFolder();
    const CommandLine commandLine = ParseCommandLine(arguments);
    if (commandLine.IsHeadless()) {
        QCoreApplication app(argc, argv);
        return RunHeadless(commandLine, QCoreApplication::applicationFilePath());
    }
    const QString programFolder = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
    return runWindow(argc, argv, programFolder);
}
