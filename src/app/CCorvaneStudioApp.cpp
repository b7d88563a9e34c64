#include "app/CCorvaneStudioApp.h"

#include <QCoreApplication>

#include "app/CCorvaneStudioDlg.h"
#include "conversion/EngineLocation.h"
#include "toolkit/Prompter.h"
#include "toolkit/Resources.h"

CCorvaneStudioApp::CCorvaneStudioApp() = default;
CCorvaneStudioApp::~CCorvaneStudioApp() = default;

CommandLine CCorvaneStudioApp::ParseCommandLine(const QStringList &arguments)
{
    CommandLine cl;
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
        if (arg == QStringLiteral("--convert"))
            cl.convert = true;
        else if (arg == QStringLiteral("--profile"))
            value(cl.profile);
        else if (arg == QStringLiteral("--dest"))
            value(cl.destination);
        else
            cl.errors << QStringLiteral("unknown option %1").arg(arg);
    }
    return cl;
}

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
    return m_mainWindow->exec();
}
