// Commands that hand work to the desktop, the About box, the looks and the task file.
#include <QKeySequence>
#include <QShortcut>
#include <QWidget>

#include "app/AboutDialog.h"
#include "app/AppSettings.h"
#include "app/CCorvaneStudioDlg.h"
#include "app/ControlIds.h"
#include "app/Launcher.h"
#include "app/TaskFile.h"
#include "controls/CListCtrlEx.h"
#include "toolkit/Looks.h"
#include "toolkit/Prompter.h"

bool CCorvaneStudioDlg::LowestSelectedRowCompleted() const
{
    for (int row = m_taskList->rowCount() - 1; row >= 0; --row)
        if (m_taskList->IsRowSelected(row))
            return m_taskList->GetItemText(row, 3).compare(QStringLiteral("Completed"), Qt::CaseInsensitive) == 0;
    return false;
}

void CCorvaneStudioDlg::OnHelpContents()
{
    Launcher::Current().OpenHelp(m_settings.Folders().DataFolder());
}

void CCorvaneStudioDlg::OnFeedback()
{
    Launcher::Current().SendFeedback();
}

void CCorvaneStudioDlg::OnOpenConvertedFolder()
{
    for (int row = 0; row < m_taskList->rowCount(); ++row)
        if (m_taskList->IsRowSelected(row))
            if (const TaskPtr task = TaskOfRow(row))
                Launcher::Current().ShowInFileManager(task->outputPath);
}

void CCorvaneStudioDlg::OnAddConvertedAsTasks()
{
    // Collected first: adding rows changes the list being walked.
    QStringList outputs;
    for (int row = 0; row < m_taskList->rowCount(); ++row)
        if (m_taskList->IsRowSelected(row))
            if (const TaskPtr task = TaskOfRow(row))
                outputs << task->outputPath;
    for (const QString &path : outputs)
        AddFileByPath(path);
}

void CCorvaneStudioDlg::OnSaveTask()
{
    const QString path = Prompter::Current().SaveFile(this, SaveTaskFileRequest());
    if (path.isEmpty())
        return;
    QList<TaskFileRow> rows;
    for (int row = 0; row < m_taskList->rowCount(); ++row)
        if (const TaskPtr task = TaskOfRow(row))
            rows << TaskFileRow::FromRecord(*task, m_taskList->GetItemText(row, 5));
    WriteTaskFile(path, rows); // a file that cannot be written is skipped silently
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
    m_look = id;
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
    };
    for (const Key &key : keys) {
        auto *shortcut = new QShortcut(key.sequence, this);
        const int command = key.command;
        connect(shortcut, &QShortcut::activated, this, [this, command] { OnCommand(command); });
    }
    auto *del = new QShortcut(QKeySequence::Delete, m_taskList);
    del->setContext(Qt::WidgetShortcut);
    connect(del, &QShortcut::activated, this, [this] { OnCommand(Ids::Delete); });
}
