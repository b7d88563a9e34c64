// The dialogs the main window opens for its tasks and its settings.
#include "app/AppSettings.h"
#include "app/CCorvaneStudioDlg.h"
#include "controls/CListCtrlEx.h"
#include "options/COptionsDialog.h"
#include "preview/CFilePropertyDialog.h"
#include "profiles/CPersonalSetDialog.h"
#include "toolkit/Prompter.h"

void CCorvaneStudioDlg::OnTaskInfo()
{
    RunPersonalSetDialogs(*this);
}

void CCorvaneStudioDlg::OnProperty()
{
    // From the lowest selected row up, each dialog after the previous one has closed.
    for (int row = m_taskList->rowCount() - 1; row >= 0; --row) {
        if (!m_taskList->IsRowSelected(row))
            continue;
        CFilePropertyDialog dialog(m_tasks, TaskIdOfRow(row), this);
        Prompter::Current().Exec(&dialog);
    }
}

void CCorvaneStudioDlg::OnOptions()
{
    COptionsDialog dialog(m_settings, this);
    Prompter::Current().Exec(&dialog);
}
