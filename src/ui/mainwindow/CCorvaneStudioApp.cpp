#include "ui/mainwindow/CCorvaneStudioApp.h"

#include <QCoreApplication>

#include "ui/mainwindow/CCorvaneStudioDlg.h"
#include "core/tasks/QueueState.h"
#include "core/conversion/EngineLocation.h"
#include "ui/widgets/Prompter.h"
#include "ui/widgets/Resources.h"

CCorvaneStudioApp::CCorvaneStudioApp() = default;
CCorvaneStudioApp::~CCorvaneStudioApp() = default;

void CCorvaneStudioApp::InitInstance(const QString &programPath, const QStringList &arguments)
{
    QCoreApplication::setOrganizationName(QStringLiteral("Mirra Video Applications1"));
    QCoreApplication::setApplicationName(QStringLiteral("corvane-studio"));

    m_commandLine = ParseCommandLine(arguments);
    InitProgramResources();
    SetDesktopIdentity();
    InstallUserMessageHandler();

    m_settings.Load(programPath);
    SetEngineProgramFolder(m_settings.Folders().LibraryFolder());
    // Until the program has once been closed normally, it starts in English.
    if (!m_settings.IsLanguageKept())
        m_settings.SetLanguage(0);

    m_mainWindow = std::make_unique<CCorvaneStudioDlg>(m_settings, m_commandLine.files);
}

int CCorvaneStudioApp::Run()
{
    m_mainWindow->show();
    m_mainWindow->KeepQueue(QueueStatePath(m_settings.Folders()));
    return m_mainWindow->exec();
}
