// The task list of the main window: adding, showing, removing, reordering and
// selecting tasks, the media-probe threads and the destination field.
#include <QAction>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEventLoop>
#include <QFileInfo>
#include <QIcon>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMimeDatabase>
#include <QSlider>
#include <QStyle>
#include <QThread>
#include <QUrl>

#include "app/AppSettings.h"
#include "app/CCorvaneStudioDlg.h"
#include "app/ControlIds.h"
#include "app/MenuResources.h"
#include "app/RunLog.h"
#include "controls/CListCtrlEx.h"
#include "controls/CSliderCtrlEx.h"
#include "conversion/MediaProbe.h"
#include "conversion/OutputNaming.h"
#include "conversion/TaskProbe.h"
#include "lang/Language.h"
#include "lang/MenuTexts.h"
#include "profiles/ParameterEditor.h"
#include "profiles/ProfileCatalogue.h"
#include "toolkit/ControlId.h"
#include "toolkit/Prompter.h"
#include "toolkit/StatusBar.h"
#include "toolkit/ThreadGroup.h"
#include "toolkit/UiThread.h"

namespace {

constexpr QRgb kBlack = 0x00000000;
constexpr QRgb kDarkRed = 0x00000080;
constexpr int kDroppedPathLimit = 512;
constexpr int kMessagePathLimit = 254;

const QString kAddFileFilter = QStringLiteral(
    "Supported Files (*.avi *.3gp *.gif *.dv *.dif *.qt *.swf *.mjpg *.mjpeg *.nut *.h264 *.h261 *.m4v *.yuv *.rm "
    "*.ra *.ram *.rmvb *.3g2 *.mp4 *.asf *.vob *.mov *.mpg *.mpeg *.mpa *.dat *.wmv *.flv *.mkv);;"
    "AVI Files(*.avi) (*.avi);; 3GPP Files(*.3gp) (*.3gp);; 3GPP2 Files(*.3g2) (*.3g2);;"
    "Animated GIF Files(*.gif) (*.gif);;Dv Video Files(*.dv,*.dif) (*.dv *.dif);;"
    "QuickTime Files(*.mov,*.qt) (*.mov *.qt);;Macromedia Flash Files(*.swf) (*.swf);;"
    "Mjpeg Video Files(*.mjpg,*.mjpeg) (*.mjpg *.mjpeg);;MPEG-4 Files(*.mp4) (*.mp4);;"
    "Raw h264 Video Files(*.h261,*.h264) (*.h261 *.h264);;Raw MPEG4 Video Files(*.m4v) (*.m4v);;"
    "Raw Video Files(*.yuv) (*.yuv);;Real Media Files(*.rm,*.ra,*.ram,*.rmvb) (*.rm *.ra *.ram *.rmvb);;"
    "Windows Media Files(*.asf) (*.asf);;"
    "MPEG Files(*.mpg,*.mpeg,*.mpa,*.dat,*.vob) (*.mpg *.mpeg *.mpa *.dat *.vob);;All files(*.*) (*)");

// The extension the list works with: after the last "." of the file name, lower case.
QString extensionOf(const QString &path)
{
    const QString name = path.mid(path.lastIndexOf(u'/') + 1);
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? QString() : name.mid(dot + 1).toLower();
}

} // namespace

QString CCorvaneStudioDlg::AddFileFilter()
{
    return kAddFileFilter;
}

// --- Adding tasks ----------------------------------------------------------

void CCorvaneStudioDlg::AddTasks(const QStringList &paths, bool queueForProbe)
{
    // The new rows are selected together and the counters written once: with many
    // files, selecting and counting row by row would grow with the square of the list.
    const int firstNew = m_taskList->rowCount();
    m_batchAdding = true;
    for (const QString &path : paths)
        AddTask(path, queueForProbe, false);
    m_batchAdding = false;
    m_taskList->SetRowsSelected(firstNew, m_taskList->rowCount() - 1);
    UpdateStatusCounts();
}

quint16 CCorvaneStudioDlg::AddTask(const QString &path, bool queueForProbe, bool updateCounts)
{
    if (m_tasks.HasSourcePath(path))
        return 0;
    const QString extension = extensionOf(path);
    if (extension.isEmpty())
        return 0;

    auto task = std::make_shared<TaskRecord>();
    task->sourcePath = path;
    task->sourceExt = extension;
    task->profileName = m_profile.Name();
    task->profileFile = m_profile.File();
    task->aspectMode = m_profile.AspectMode();
    const quint16 id = m_tasks.Insert(task, queueForProbe);
    if (id == 0)
        return 0;
    const PathParts parts = SplitPath(task->sourcePath);
    task->outputPath =
        ComposeOutputPath(OutputFolderFor(m_globalDest, task->sourcePath), parts.name, GetTargetType(task->profileName));
    task->profileSummary = m_profile.Summary();
    ShowTaskRow(id, false);
    if (updateCounts)
        UpdateStatusCounts();
    return id;
}

void CCorvaneStudioDlg::OnAddFile()
{
    Prompter::FileRequest request;
    request.title = GetLangString(QStringLiteral("@110"));
    request.filter = kAddFileFilter;
    request.multiple = true;
    request.mustExist = true;
    const QStringList paths = Prompter::Current().OpenFiles(this, request);
    if (!paths.isEmpty()) {
        FindControl<QWidget>(this, Ids::ConvertAll)->setEnabled(true);
        FindControl<QWidget>(this, Ids::ConvertSelected)->setEnabled(true);
        AddTasks(paths, true);
    }
    StartProbeThread();
}

void CCorvaneStudioDlg::OnDropFiles(const QStringList &paths)
{
    QStringList accepted;
    for (const QString &path : paths)
        if (path.size() <= kDroppedPathLimit)
            accepted << path;
    AddTasks(accepted, true);
    StartProbeThread();
}

void CCorvaneStudioDlg::AddFileByPath(const QString &path)
{
    const QString trimmed = path.trimmed();
    if (trimmed.isEmpty() || !QFileInfo(trimmed).isFile())
        return;
    // Probed like a dropped file: without its duration a task can be neither trimmed
    // nor followed on the preview slider until it has been converted once.
    if (AddTask(trimmed, true))
        StartProbeThread();
}

void CCorvaneStudioDlg::OnCopyData(const QString &path)
{
    if (!path.isEmpty())
        AddFileByPath(path);
}

void CCorvaneStudioDlg::OnAddPathMessage(const QString &path)
{
    AddFileByPath(path.left(kMessagePathLimit));
}

void CCorvaneStudioDlg::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void CCorvaneStudioDlg::dropEvent(QDropEvent *event)
{
    QStringList paths;
    for (const QUrl &url : event->mimeData()->urls())
        if (url.isLocalFile())
            paths << url.toLocalFile();
    event->acceptProposedAction();
    OnDropFiles(paths);
}

// --- Rows --------------------------------------------------------------------

QIcon CCorvaneStudioDlg::FileTypeIcon(const QString &extension)
{
    auto it = m_iconCache.constFind(extension);
    if (it != m_iconCache.constEnd())
        return *it;
    // Looked up by the name alone: the file itself is never opened for its icon.
    const QMimeType mime = QMimeDatabase().mimeTypeForFile(QStringLiteral("x.") + extension, QMimeDatabase::MatchExtension);
    QIcon icon = QIcon::fromTheme(mime.iconName(), QIcon::fromTheme(mime.genericIconName()));
    if (icon.isNull())
        icon = QIcon(mime.name().startsWith(QStringLiteral("audio/")) ? QStringLiteral(":/icons/file-audio.png")
                                                                      : QStringLiteral(":/icons/file-video.png"));
    if (icon.isNull())
        icon = style()->standardIcon(QStyle::SP_FileIcon);
    m_iconCache.insert(extension, icon);
    return icon;
}

int CCorvaneStudioDlg::TaskIdOfRow(int row) const
{
    bool ok = false;
    const int id = m_taskList->GetItemText(row, 7).toInt(&ok);
    return ok ? id : 0;
}

TaskPtr CCorvaneStudioDlg::TaskOfRow(int row) const
{
    return m_tasks.Find(TaskIdOfRow(row));
}

int CCorvaneStudioDlg::RowOfTask(int id) const
{
    return m_taskList->FindRow(7, QString::number(id));
}

void CCorvaneStudioDlg::FillRowFromTask(int row, const TaskRecord &task, int id)
{
    m_taskList->SetItemText(row, 1, task.sizeText);
    m_taskList->SetItemText(row, 2, task.sourceFolder);
    m_taskList->SetItemText(row, 4, task.outputPath);
    m_taskList->SetItemText(row, 5, task.profileName);
    m_taskList->SetItemText(row, 6, task.profileSummary);
    m_taskList->SetItemText(row, 7, QString::number(id));
}

void CCorvaneStudioDlg::ShowTaskRow(int id, bool update)
{
    const TaskPtr task = m_tasks.Find(id);
    if (!task)
        return;
    const int existing = update ? RowOfTask(id) : -1;
    if (existing >= 0) {
        const int row = existing;
        m_taskList->SetItemText(row, 0, QStringLiteral("%1.%2").arg(task->baseName.str(), task->sourceExt.str()));
        m_taskList->SetItemText(row, 2, task->sourceFolder);
        m_taskList->SetItemText(row, 4, task->outputPath);
        m_taskList->SetItemText(row, 5, task->profileName);
        m_taskList->SetItemText(row, 6, task->profileSummary);
        if (task->useGlobalOutput == 0) {
            ShowParamFromTree(m_paramGrid, task->paramTree ? task->paramTree.get() : m_profile.Tree());
            m_taskList->SetItemColor(row, kDarkRed, CListCtrlEx::kUnchanged);
        } else {
            m_taskList->SetItemColor(row, kBlack, CListCtrlEx::kUnchanged);
        }
        return;
    }

    const QFileInfo info(task->sourcePath);
    const qint64 size = info.exists() ? info.size() : 0;
    task->sizeText = QStringLiteral("%1KB").arg(size / 1024);
    task->destFolder = m_globalDest;
    const PathParts parts = SplitPath(task->sourcePath);
    task->baseName = parts.name;
    task->sourceFolder = parts.folder;

    const int row = m_taskList->rowCount();
    m_taskList->InsertRow(row, QStringLiteral("%1.%2").arg(task->baseName.str(), task->sourceExt.str()),
                          FileTypeIcon(task->sourceExt));
    task->useGlobalOutput = 1;
    FillRowFromTask(row, *task, id);
    if (!m_batchAdding)
        m_taskList->SetRowSelected(row, true);
    m_taskList->SetItemColor(row, kBlack, CListCtrlEx::kUnchanged);
}

void CCorvaneStudioDlg::OnDelete()
{
    for (int row = m_taskList->rowCount() - 1; row >= 0; --row) {
        if (!m_taskList->IsRowSelected(row))
            continue;
        m_tasks.Remove(TaskIdOfRow(row)); // a thread still holding the record keeps it alive
        m_taskList->removeRow(row);
    }
    UpdateStatusCounts();
}

void CCorvaneStudioDlg::OnSelectAll()
{
    m_taskList->selectAll();
    if (m_taskList->rowCount() > 0)
        m_taskList->setCurrentCell(m_taskList->rowCount() - 1, 0, QItemSelectionModel::NoUpdate);
    UpdateStatusCounts();
}

void CCorvaneStudioDlg::MoveRow(int from, int to)
{
    const int id = TaskIdOfRow(from);
    const TaskPtr task = m_tasks.Find(id);
    QTableWidgetItem *first = m_taskList->item(from, 0);
    const QString name = first ? first->text() : QString();
    const QIcon icon = first ? first->icon() : QIcon();
    m_taskList->removeRow(from);
    m_taskList->InsertRow(to, name, icon);
    if (task) {
        FillRowFromTask(to, *task, id);
    } else {
        m_taskList->SetItemText(to, 7, QString::number(id));
    }
    // The status of a moved row starts empty.
    m_taskList->SetRowSelected(to, true);
    m_taskList->setCurrentCell(to, 0, QItemSelectionModel::NoUpdate);
}

void CCorvaneStudioDlg::OnMoveUp()
{
    const int count = m_taskList->rowCount();
    if (count < 2)
        return;
    for (int row = count - 1; row >= 1;) {
        if (m_taskList->IsRowSelected(row)) {
            MoveRow(row, row - 1);
            row -= 2; // the row passed over is not visited
        } else {
            --row;
        }
    }
    UpdateStatusCounts();
}

void CCorvaneStudioDlg::OnMoveDown()
{
    const int count = m_taskList->rowCount();
    if (count < 2)
        return;
    for (int row = count - 2; row >= 0; --row) {
        // A selected row below has already gone as far as it can: the block stops there.
        if (m_taskList->IsRowSelected(row) && !m_taskList->IsRowSelected(row + 1))
            MoveRow(row, row + 1);
    }
    UpdateStatusCounts();
}

// --- Showing a task ------------------------------------------------------------

void CCorvaneStudioDlg::OnListClick()
{
    int shownRow = -1;
    for (int row = m_taskList->rowCount() - 1; row >= 0; --row)
        if (m_taskList->IsRowSelected(row)) {
            shownRow = row;
            break;
        }
    if (shownRow >= 0) {
        const int id = TaskIdOfRow(shownRow);
        const TaskPtr task = m_tasks.Find(id);
        if (task && id != m_shownTaskId) {
            StopPreviewIfActive();
            m_shownTaskId = id;
            if (!task->mediaInfo)
                return; // not probed yet: the window keeps showing the previous task
            m_currentTaskId = id;
            ShowTaskSettings(*task);
        }
    } else {
        StopPreviewIfActive();
    }
    UpdateStatusCounts();
}

void CCorvaneStudioDlg::ShowTaskSettings(const TaskRecord &task)
{
    if (task.useGlobalOutput == 1) {
        ShowParamFromTree(m_paramGrid, m_profile.Tree());
        m_profileCombo->blockSignals(true);
        m_profileCombo->setCurrentIndex(m_profileCombo->findText(m_profile.Name(), Qt::MatchExactly));
        m_profileCombo->blockSignals(false);
        m_destination->setText(m_globalDest);
    } else {
        m_destination->setText(task.destFolder);
        m_slider->setRange(0, task.durationSec);
        ShowParamFromTree(m_paramGrid, task.paramTree ? task.paramTree.get() : m_profile.Tree());
        m_profileCombo->blockSignals(true);
        m_profileCombo->setCurrentIndex(m_profileCombo->findText(task.profileName, Qt::MatchExactly));
        m_profileCombo->blockSignals(false);
    }
    ShowTrimRangeOf(task);
}

std::unique_ptr<QMenu> CCorvaneStudioDlg::BuildListContextMenu()
{
    auto menu = std::make_unique<QMenu>(this);
    BuildMenu(menu.get(), ListContextMenuResource(), this);
    int popupCounter = 0;
    ApplyMenuTexts(menu->actions(), popupCounter);
    return menu;
}

void CCorvaneStudioDlg::ShowListContextMenu(const QPoint &globalPos)
{
    if (!m_taskList->rect().contains(m_taskList->mapFromGlobal(globalPos)))
        return;
    std::unique_ptr<QMenu> menu = BuildListContextMenu();
    menu->exec(globalPos);
}

void CCorvaneStudioDlg::contextMenuEvent(QContextMenuEvent *event)
{
    ShowListContextMenu(event->globalPos());
}

// --- Media probe ------------------------------------------------------------------

void CCorvaneStudioDlg::StartProbeThread()
{
    if (m_tasks.ProbeQueueSize() == 0 || m_closing)
        return;
    m_probeThreads->Start([this] { ProbeThreadRun(); });
}

int CCorvaneStudioDlg::RunningProbeThreads() const
{
    return m_probeThreads->Running();
}

void CCorvaneStudioDlg::WaitForProbeThreads()
{
    // The threads hand their results to this thread, so it keeps serving events while it waits.
    m_probeThreads->WaitAll();
}

std::optional<QString> CCorvaneStudioDlg::SourcePathForProbe(int id)
{
    const TaskPtr task = m_tasks.Find(id);
    if (!task)
        return std::nullopt;
    return task->sourcePath.str();
}

void CCorvaneStudioDlg::StoreProbeResult(int id, std::unique_ptr<MediaInfo> info)
{
    const TaskPtr task = m_tasks.Find(id);
    if (task)
        SetTaskMediaInfo(*task, std::move(info));
}

void CCorvaneStudioDlg::ProbeThreadRun()
{
    const QList<quint16> ids = m_tasks.TakeProbeQueue();
    for (quint16 id : ids) {
        if (m_closing)
            return;
        const std::optional<QString> path = OnUiThread(this, [&] { return SourcePathForProbe(id); });
        if (!path) {
            WriteLog(QStringLiteral("no find Error!"));
            continue;
        }
        const QString text = RunProbe(*path, QStringLiteral("-i "));
        auto info = std::make_unique<MediaInfo>();
        ParseProbeOutput(*path, text, *info);
        OnUiThread(this, [&] { StoreProbeResult(id, std::move(info)); });
    }
}

// --- Destination ---------------------------------------------------------------------

void CCorvaneStudioDlg::OnDestinationKillFocus()
{
    const QString typed = m_destination->text();
    if (typed.trimmed().isEmpty())
        return; // leaving an empty field is not a request for a folder
    const QString folder = EnsureFolderPath(typed);
    if (folder.isEmpty())
        return;
    m_settings.SetSavedPath(folder);
    m_globalDest = folder;
}

void CCorvaneStudioDlg::OnExploreDestination()
{
    const QString folder = Prompter::Current().Folder(this, GetLangString(QStringLiteral("@108")), m_destination->text());
    if (folder.isEmpty())
        return;
    m_destination->setText(folder);
    OnDestinationKillFocus();
}
