// Commands of the main window that open dialogs or hand work to the desktop: the
// per-file settings, file properties, options, help, converted files, the task file,
// the About box and the looks.
#include <QAction>
#include <QKeySequence>
#include <QMenuBar>
#include <QShortcut>
#include <QWidget>

#include "ui/dialogs/AboutDialog.h"
#include "core/settings/AppSettings.h"
#include "ui/mainwindow/CCorvaneStudioDlg.h"
#include "ui/mainwindow/ControlIds.h"
#include "ui/mainwindow/MenuResources.h"
#include "core/tasks/TaskFile.h"
#include "ui/mainwindow/TaskListView.h"
#include "ui/widgets/CListCtrlEx.h"
#include "ui/dialogs/COptionsDialog.h"
#include "ui/dialogs/CFilePropertyDialog.h"
#include "ui/dialogs/CPersonalSetDialog.h"
#include "ui/widgets/Launcher.h"
#include "ui/widgets/Looks.h"
#include "ui/widgets/ControlId.h"
#include "ui/widgets/Prompter.h"

bool CCorvaneStudioDlg::LowestSelectedRowCompleted() const
{
    const QList<int> rows = m_tasks.SelectedRows();
    return !rows.isEmpty() && m_tasks.State(m_tasks.IdAt(rows.last())).verdict == Verdict::Completed;
}

void CCorvaneStudioDlg::OnTaskInfo()
{
    RunPersonalSetDialogs(*this);
}

void CCorvaneStudioDlg::OnProperty()
{
    // From the lowest selected row up, each dialog after the previous one has closed.
    const QList<int> rows = m_tasks.SelectedRows();
    for (auto it = rows.crbegin(); it != rows.crend(); ++it) {
        CFilePropertyDialog dialog(m_tasks, m_tasks.IdAt(*it), this);
        Prompter::Current().Exec(&dialog);
    }
}

void CCorvaneStudioDlg::OnOptions()
{
    COptionsDialog dialog(m_settings, this);
    Prompter::Current().Exec(&dialog);
}

void CCorvaneStudioDlg::OnHelpContents()
{
    Launcher::Current().OpenHelp(m_settings.Folders().DataFolder());
}

void CCorvaneStudioDlg::OnOpenConvertedFolder()
{
    for (int row : m_tasks.SelectedRows())
        if (const TaskPtr task = m_tasks.Find(m_tasks.IdAt(row)))
            Launcher::Current().ShowInFileManager(task->outputPath);
}

void CCorvaneStudioDlg::OnAddConvertedAsTasks()
{
    // Collected first: adding rows changes the list being walked.
    QStringList outputs;
    for (int row : m_tasks.SelectedRows())
        if (const TaskPtr task = m_tasks.Find(m_tasks.IdAt(row)))
            outputs << task->outputPath;
    for (const QString &path : outputs)
        m_taskView->AddFileByPath(path);
}

void CCorvaneStudioDlg::OnSaveTask()
{
    const QString path = Prompter::Current().SaveFile(this, SaveTaskFileRequest());
    if (path.isEmpty())
        return;
    QList<TaskFileRow> rows;
    for (int row = 0; row < m_tasks.Count(); ++row)
        if (const TaskPtr task = m_tasks.Find(m_tasks.IdAt(row)))
            rows << TaskFileRow::FromRecord(*task, task->profileName);
    WriteTaskFile(path, rows); // a file that cannot be written is skipped silently
}

void CCorvaneStudioDlg::OnOpenTask()
{
    const QStringList paths = Prompter::Current().OpenFiles(this, OpenTaskFileRequest());
    if (paths.isEmpty())
        return;
    const TaskFileContents contents = ReadTaskFile(paths.first());
    if (!contents.opened) {
        ShowMessage(this, QStringLiteral("The task file \"%1\" cannot be read.").arg(paths.first()), Prompter::Icon::Error);
        return;
    }
    RowsListed(AddTaskFileRows(m_tasks, contents, m_settings.Folders()));
}

void CCorvaneStudioDlg::OnAbout()
{
    AboutDialog about(this);
    Prompter::Current().Exec(&about);
}

void CCorvaneStudioDlg::OnLook(int id)
{
    if (!Looks::ApplyLook(id))
        return;
    update();
    Looks::StoreLook(id);
}

void CCorvaneStudioDlg::CreateShortcuts()
{
    struct Key
    {
        QKeySequence sequence;
        int command;
    };
    // Keys a Linux user expects; the up and down buttons have no visible place of their own.
    const Key keys[] = {
        {QKeySequence::HelpContents, Ids::HelpKey},
        {QKeySequence(Qt::CTRL | Qt::Key_O), Ids::AddFile},
        {QKeySequence(Qt::CTRL | Qt::Key_Up), Ids::UpButton},
        {QKeySequence(Qt::CTRL | Qt::Key_Down), Ids::DownButton},
        {QKeySequence(Qt::Key_F5), Ids::ConvertAll},
        {QKeySequence(Qt::CTRL | Qt::Key_F5), Ids::ConvertSelected},
        {QKeySequence(Qt::SHIFT | Qt::Key_F5), Ids::StopConvert},
        {QKeySequence(Qt::Key_F6), Ids::PauseConvert},
    };
    for (const Key &key : keys) {
        auto *shortcut = new QShortcut(key.sequence, this);
        const int command = key.command;
        connect(shortcut, &QShortcut::activated, this, [this, command] { OnCommand(command); });
        ShowKeyInMenu(key.command == Ids::HelpKey ? Ids::Contents : key.command, key.sequence);
    }
    auto *del = new QShortcut(QKeySequence::Delete, m_controls.taskList);
    del->setContext(Qt::WidgetShortcut);
    connect(del, &QShortcut::activated, this, [this] { OnCommand(Ids::Delete); });
    ShowKeyInMenu(Ids::Delete, QKeySequence::Delete);
}

void CCorvaneStudioDlg::ShowKeyInMenu(int command, const QKeySequence &key)
{
    // The menu shows the key; the window's shortcut does the work, so a menu item greyed
    // when its menu last dropped down does not keep the key from working.
    QAction *action = FindCommandAction(m_controls.menuBar->actions(), command);
    if (!action)
        return;
    action->setShortcut(key);
    action->setShortcutContext(Qt::WidgetShortcut);
}
