#include "app/TaskListView.h"

#include <QApplication>
#include <QFileInfo>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMenu>
#include <QMimeDatabase>
#include <QStyle>

#include "app/CommandTarget.h"
#include "app/MediaFileTypes.h"
#include "app/MenuResources.h"
#include "app/TaskTableModel.h"
#include "controls/CListCtrlEx.h"
#include "conversion/ProbePool.h"
#include "lang/Language.h"
#include "lang/MenuTexts.h"
#include "toolkit/Prompter.h"
#include "toolkit/StatusBar.h"

namespace {

constexpr QRgb kBlack = 0x00000000;
constexpr QRgb kDarkRed = 0x00000080;
constexpr int kDroppedPathLimit = 512;
constexpr int kMessagePathLimit = 254;

QIcon fileTypeIcon(const QString &extension)
{
    // Looked up by the name alone: the file itself is never opened for its icon.
    const QMimeType mime =
        QMimeDatabase().mimeTypeForFile(QStringLiteral("x.") + extension, QMimeDatabase::MatchExtension);
    QIcon icon = QIcon::fromTheme(mime.iconName(), QIcon::fromTheme(mime.genericIconName()));
    if (icon.isNull())
        icon = QIcon(mime.name().startsWith(QStringLiteral("audio/")) ? QStringLiteral(":/icons/file-audio.png")
                                                                      : QStringLiteral(":/icons/file-video.png"));
    if (icon.isNull())
        icon = QApplication::style()->standardIcon(QStyle::SP_FileIcon);
    return icon;
}

} // namespace

TaskListView::TaskListView(TaskList &tasks, CListCtrlEx *list, StatusBar *statusBar, CommandTarget &commands,
                           std::function<NewTaskSettings()> newTaskSettings, QObject *parent)
    : QObject(parent), m_tasks(tasks), m_list(list), m_statusBar(statusBar), m_commands(commands),
      m_newTaskSettings(std::move(newTaskSettings))
{
    m_probes = new ProbePool(tasks, this);
    m_model = new TaskTableModel(tasks, fileTypeIcon, this);
    m_list->setModel(m_model);
    m_list->setColumnHidden(TaskTableModel::Id, true);
    // The list keeps the selection the view shows, so that a run and the commands see it.
    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection &selected, const QItemSelection &deselected) {
                for (const QItemSelectionRange &range : deselected)
                    m_tasks.SetSelected(range.top(), range.bottom(), false);
                for (const QItemSelectionRange &range : selected)
                    m_tasks.SetSelected(range.top(), range.bottom(), true);
            });
    connect(m_list, &CListCtrlEx::leftClicked, this, &TaskListView::OnListClick);
}

TaskListView::~TaskListView()
{
    Close();
}

// --- Adding ---------------------------------------------------------------------

void TaskListView::AddTasks(const QStringList &paths, bool queueForProbe)
{
    const int first = m_tasks.Count();
    m_tasks.Add(paths, m_newTaskSettings(), queueForProbe);
    const int last = m_tasks.Count() - 1;
    // New rows start black and selected, other selected rows staying selected.
    m_list->SetRowsTextColor(first, last, kBlack);
    m_list->SetRowsSelected(first, last);
    UpdateStatusCounts();
}

bool TaskListView::OnAddFile()
{
    Prompter::FileRequest request;
    request.title = GetLangString(QStringLiteral("@110"));
    request.filter = AddFileFilter();
    request.multiple = true;
    request.mustExist = true;
    const QStringList paths = Prompter::Current().OpenFiles(m_list->window(), request);
    if (!paths.isEmpty())
        AddTasks(paths, true);
    StartProbeThread();
    return !paths.isEmpty();
}

void TaskListView::OnDropFiles(const QStringList &paths)
{
    QStringList accepted;
    for (const QString &path : paths)
        if (path.size() <= kDroppedPathLimit)
            accepted << path;
    AddTasks(accepted, true);
    StartProbeThread();
}

void TaskListView::AddFileByPath(const QString &path)
{
    const QString trimmed = path.trimmed();
    if (trimmed.isEmpty() || !QFileInfo(trimmed).isFile())
        return;
    // Probed like a dropped file: without its duration a task can be neither trimmed
    // nor followed on the preview slider until it has been converted once.
    const int before = m_tasks.Count();
    AddTasks({trimmed}, true);
    if (m_tasks.Count() > before)
        StartProbeThread();
}

void TaskListView::OnAddPathMessage(const QString &path)
{
    AddFileByPath(path.left(kMessagePathLimit));
}

// --- Rows -------------------------------------------------------------------------

int TaskListView::TaskIdOfRow(int row) const
{
    bool ok = false;
    const int id = m_list->GetItemText(row, TaskTableModel::Id).toInt(&ok);
    return ok ? id : 0;
}

TaskPtr TaskListView::TaskOfRow(int row) const
{
    return m_tasks.Find(TaskIdOfRow(row));
}

int TaskListView::RowOfTask(int id) const
{
    return m_tasks.RowOf(id);
}

void TaskListView::RefreshTask(int id)
{
    const TaskPtr task = m_tasks.Find(id);
    if (!task)
        return;
    m_tasks.NotifyChanged(id);
    m_list->SetItemColor(m_tasks.RowOf(id), task->useGlobalOutput == 0 ? kDarkRed : kBlack, CListCtrlEx::kUnchanged);
}

void TaskListView::OnDelete()
{
    m_tasks.RemoveSelected(); // a thread still holding a record keeps it alive
    UpdateStatusCounts();
}

void TaskListView::OnSelectAll()
{
    m_list->selectAll();
    if (m_tasks.Count() > 0)
        m_list->selectionModel()->setCurrentIndex(m_model->index(m_tasks.Count() - 1, 0),
                                                  QItemSelectionModel::NoUpdate);
    UpdateStatusCounts();
}

void TaskListView::OnMoveUp()
{
    m_tasks.MoveSelectedUp();
    UpdateStatusCounts();
}

void TaskListView::OnMoveDown()
{
    m_tasks.MoveSelectedDown();
    UpdateStatusCounts();
}

void TaskListView::UpdateStatusCounts()
{
    if (m_tasks.Count() == 0) {
        m_statusBar->SetPaneText(2, GetLangString(QStringLiteral("@117")));
        m_statusBar->SetPaneText(3, GetLangString(QStringLiteral("@118")));
        return;
    }
    m_statusBar->SetPaneText(2, QString::number(m_tasks.Count()));
    m_statusBar->SetPaneText(3, QString::number(m_tasks.SelectedCount()));
}

// --- Showing a task ------------------------------------------------------------------

void TaskListView::OnListClick()
{
    int shownRow = -1;
    for (int row = m_tasks.Count() - 1; row >= 0 && m_tasks.SelectedCount() > 0; --row)
        if (m_tasks.IsSelected(row)) {
            shownRow = row;
            break;
        }
    if (shownRow >= 0) {
        const int id = m_tasks.IdAt(shownRow);
        const TaskPtr task = m_tasks.Find(id);
        if (task && id != m_shownTaskId) {
            emit shownTaskChanging();
            m_shownTaskId = id;
            if (!task->mediaInfo)
                return; // not probed yet: the window keeps showing the previous task
            m_currentTaskId = id;
            emit taskShown(id);
        }
    } else {
        emit nothingSelected();
    }
    UpdateStatusCounts();
}

std::unique_ptr<QMenu> TaskListView::BuildListContextMenu()
{
    auto menu = std::make_unique<QMenu>(m_list->window());
    BuildMenu(menu.get(), ListContextMenuResource(), &m_commands);
    int popupCounter = 0;
    ApplyMenuTexts(menu->actions(), popupCounter);
    return menu;
}

void TaskListView::ShowListContextMenu(const QPoint &globalPos)
{
    if (!m_list->rect().contains(m_list->mapFromGlobal(globalPos)))
        return;
    std::unique_ptr<QMenu> menu = BuildListContextMenu();
    menu->exec(globalPos);
}

// --- Media probe ------------------------------------------------------------------------

void TaskListView::StartProbeThread()
{
    m_probes->Start();
}

int TaskListView::RunningProbeThreads() const
{
    return m_probes->Running();
}

void TaskListView::WaitForProbeThreads()
{
    // The threads hand their results to this thread, so it keeps serving events while it waits.
    m_probes->WaitAll();
}

void TaskListView::Close()
{
    m_probes->Close();
}
