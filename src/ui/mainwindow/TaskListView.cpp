#include "ui/mainwindow/TaskListView.h"

#include <QApplication>
#include <QFileInfo>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMenu>
#include <QMimeDatabase>
#include <QStyle>
#include <QTimer>
#include <algorithm>

#include "ui/mainwindow/CommandTarget.h"
#include "core/tasks/MediaFileTypes.h"
#include "ui/mainwindow/MenuResources.h"
#include "ui/mainwindow/TaskTableModel.h"
#include "ui/widgets/CListCtrlEx.h"
#include "base/IniFile.h"
#include "core/conversion/ProbePool.h"
#include "core/settings/Language.h"
#include "ui/mainwindow/MenuTexts.h"
#include "ui/widgets/Prompter.h"
#include "ui/widgets/StatusBar.h"

namespace {

constexpr QRgb kBlack = 0x00000000;
constexpr QRgb kDarkRed = 0x00000080;
constexpr int kDroppedPathLimit = 512;
constexpr int kMessagePathLimit = 254;
const QString kColumnsSection = QStringLiteral("Columns");

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
    // Contents change the widths the columns need.
    // Measuring text is costly: a sample of rows around those on screen, new rows at
    // once, changed rows (probes, runs) at most once a second.
    m_list->horizontalHeader()->setResizeContentsPrecision(200);
    m_fitLater = new QTimer(this);
    m_fitLater->setSingleShot(true);
    m_fitLater->setInterval(1000);
    connect(m_fitLater, &QTimer::timeout, this, &TaskListView::FitColumns);
    connect(m_model, &QAbstractItemModel::rowsInserted, this, &TaskListView::ScheduleFit);
    connect(m_model, &QAbstractItemModel::modelReset, this, &TaskListView::ScheduleFit);
    connect(m_model, &QAbstractItemModel::dataChanged, this, [this] {
        if (!m_fitLater->isActive())
            m_fitLater->start();
    });
    connect(m_list->horizontalHeader(), &QHeaderView::sectionResized, this, &TaskListView::OnSectionResized);
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
    AddTasks(ExpandDroppedPaths(accepted), true);
    StartProbeThread();
}

void TaskListView::AddFileByPath(const QString &path)
{
    const QString trimmed = path.trimmed();
    const QFileInfo info(trimmed);
    if (trimmed.isEmpty() || !info.exists())
        return;
    // Probed like a dropped file: without its duration a task can be neither trimmed
    // nor followed on the preview slider until it has been converted once. A folder
    // gives its media files, as a dropped one does.
    const int before = m_tasks.Count();
    AddTasks(info.isDir() ? ExpandDroppedPaths({trimmed}) : QStringList{trimmed}, true);
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

// --- Columns ----------------------------------------------------------------------------

void TaskListView::SetColumnWidths(const QList<int> &startWidths, const QString &columnsPath)
{
    m_startWidths = startWidths;
    m_columnsPath = columnsPath;
    m_fitting = true;
    for (int c = 0; c < startWidths.size(); ++c) {
        const int stored = IniFile::ReadInt(columnsPath, kColumnsSection, QStringLiteral("Width%1").arg(c), 0);
        if (stored > 0 && c != TaskTableModel::Id)
            m_userSized.insert(c);
        m_list->setColumnWidth(c, stored > 0 ? stored : startWidths[c]);
    }
    m_fitting = false;
    FitColumns();
}

void TaskListView::ScheduleFit()
{
    if (m_fitScheduled)
        return;
    m_fitScheduled = true;
    QTimer::singleShot(0, this, [this] {
        m_fitScheduled = false;
        FitColumns();
    });
}

void TaskListView::OnSectionResized(int column, int, int newWidth)
{
    if (m_fitting || m_columnsPath.isEmpty() || column == TaskTableModel::Id)
        return;
    m_userSized.insert(column);
    IniFile::WriteString(m_columnsPath, kColumnsSection, QStringLiteral("Width%1").arg(column), QString::number(newWidth));
}

void TaskListView::FitColumns()
{
    if (m_startWidths.size() < TaskTableModel::ColumnCount)
        return;
    QHeaderView *header = m_list->horizontalHeader();
    const QFontMetrics metrics = m_list->fontMetrics();
    const int pad = 2 * metrics.averageCharWidth() + 6;
    // What each column needs: its header and its contents (a sample of rows around those
    // on screen), the status column also its longest possible text.
    QList<int> want(TaskTableModel::ColumnCount, 0);
    for (int c = 0; c < TaskTableModel::ColumnCount; ++c) {
        if (c == TaskTableModel::Id)
            continue; // hidden
        if (m_userSized.contains(c)) {
            want[c] = m_list->columnWidth(c);
            continue;
        }
        want[c] = std::max(static_cast<QAbstractItemView *>(m_list)->sizeHintForColumn(c), header->sectionSizeHint(c));
        if (c == TaskTableModel::Status)
            for (const char *text : {"Completed", "seeking...", "Stoped"})
                want[c] = std::max(want[c], metrics.horizontalAdvance(QString::fromLatin1(text)) + pad);
        if (c == TaskTableModel::Elapsed)
            want[c] = std::max(want[c], metrics.horizontalAdvance(QStringLiteral("0:00:00")) + pad);
        want[c] = std::min(want[c], std::max(m_startWidths[c], metrics.averageCharWidth() * 60));
    }
    const int available = m_list->viewport()->width();
    int total = 0;
    for (int w : want)
        total += w;
    // Too wide: the name, the status, the output and the time are what a user reads during
    // a run, so the other columns give way first: the summary, the folder, the profile and
    // the size, down to their headers, then to a few characters. Only then do the output
    // and the name give way, down to the widths the window started with (at most).
    const int giving[] = {TaskTableModel::Summary, TaskTableModel::Folder, TaskTableModel::Profile, TaskTableModel::Size};
    const int few = metrics.averageCharWidth() * 4;
    auto giveWay = [&](int c, int floor) {
        if (total <= available || m_userSized.contains(c))
            return;
        const int cut = std::clamp(total - available, 0, std::max(0, want[c] - std::min(want[c], floor)));
        want[c] -= cut;
        total -= cut;
    };
    for (int c : giving)
        giveWay(c, std::max(header->sectionSizeHint(c), metrics.averageCharWidth() * 12));
    for (int c : giving)
        giveWay(c, few);
    for (int c : {int(TaskTableModel::Output), int(TaskTableModel::Name)})
        giveWay(c, std::max(m_startWidths[c], few));
    // The file name takes what is left.
    if (!m_userSized.contains(TaskTableModel::Name) && total < available)
        want[TaskTableModel::Name] += available - total;
    m_fitting = true;
    for (int c = 0; c < TaskTableModel::ColumnCount; ++c)
        if (c != TaskTableModel::Id && m_list->columnWidth(c) != want[c])
            m_list->setColumnWidth(c, want[c]);
    m_fitting = false;
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
