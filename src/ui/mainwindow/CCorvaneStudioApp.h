#pragma once
#include <QString>
#include <QStringList>
#include <memory>

#include "core/settings/AppSettings.h"
#include "core/settings/CommandLine.h"

class CCorvaneStudioDlg;

// The application object: reads the settings, loads the language, builds the
// main window and runs it; when the window ends, the program ends.
class CCorvaneStudioApp
{
public:
    CCorvaneStudioApp();
    ~CCorvaneStudioApp();

    // Start-up up to a constructed main window; programPath is the running program.
    void InitInstance(const QString &programPath, const QStringList &arguments);
    // Runs the main window modally until it ends.
    int Run();

    AppSettings &Settings() { return m_settings; }
    CCorvaneStudioDlg *MainWindow() const { return m_mainWindow.get(); }
    const CommandLine &GetCommandLine() const { return m_commandLine; }

private:
    AppSettings m_settings;
    CommandLine m_commandLine;
    std::unique_ptr<CCorvaneStudioDlg> m_mainWindow;
};
