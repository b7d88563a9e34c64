#include "support/MainWindowFixture.h"

#include <QDir>
#include <QLineEdit>

#include "ui/mainwindow/CCorvaneStudioApp.h"
#include "ui/mainwindow/CCorvaneStudioDlg.h"
#include "ui/mainwindow/TaskListView.h"
#include "ui/widgets/CListCtrlEx.h"
#include "ui/mainwindow/ControlIds.h"
#include "base/IniFile.h"
#include "ui/widgets/ControlId.h"

namespace TestSupport {

MainWindowFixture::MainWindowFixture(const Settings &settings, const QStringList &arguments)
    : m_folder(std::make_unique<ProgramFolder>()), m_prompter(std::make_unique<ScriptedPrompterGuard>())
{
    for (const auto &[key, value] : settings)
        IniFile::WriteString(m_folder->settingsPath(), QStringLiteral("SYSTEM"), key, value);
    Restart(arguments);
}

void MainWindowFixture::Restart(const QStringList &arguments)
{
    m_app.reset();
    m_app = std::make_unique<CCorvaneStudioApp>();
    m_app->InitInstance(m_folder->exePath(), arguments);
    m_dlg = m_app->MainWindow();
    m_list = m_dlg->Controls().taskList;
    m_dlg->show();
}

MainWindowFixture::~MainWindowFixture()
{
    m_app.reset(); // the window goes before the prompter it may still call
}

QStringList MainWindowFixture::Column(int column) const
{
    QStringList texts;
    for (int r = 0; r < m_list->rowCount(); ++r)
        texts << m_list->GetItemText(r, column);
    return texts;
}

void MainWindowFixture::SelectOnly(const QList<int> &rows)
{
    m_list->clearSelection();
    for (int r : rows)
        m_list->SetRowSelected(r, true);
}

void MainWindowFixture::SetDestination(const QString &folder)
{
    FindControl<QLineEdit>(m_dlg, Ids::DestinationEdit)->setText(folder);
    m_dlg->OnDestinationKillFocus();
}

QStringList MainWindowFixture::DropEmptyFiles(const QStringList &names)
{
    QStringList paths;
    for (const QString &name : names)
        paths << Touch(m_folder->file(name));
    Drop(paths);
    return paths;
}

void MainWindowFixture::Drop(const QStringList &paths)
{
    View().OnDropFiles(paths);
    View().WaitForProbeThreads();
}

TaskListView &MainWindowFixture::View() const
{
    return m_dlg->TaskView();
}

TaskList &MainWindowFixture::Tasks() const
{
    return m_dlg->Tasks();
}

void WindowTest::start(const MainWindowFixture::Settings &settings, const QStringList &arguments)
{
    m_fx.reset();
    m_fx = std::make_unique<MainWindowFixture>(settings, arguments);
    m_dlg = m_fx->Window();
    m_list = m_fx->List();
    m_media = m_fx->Folder().file(QStringLiteral("my $media \u00e4/"));
    m_out = m_fx->Folder().file(QStringLiteral("out/"));
    QDir().mkpath(m_media);
    m_fx->SetDestination(m_out);
}

} // namespace TestSupport
