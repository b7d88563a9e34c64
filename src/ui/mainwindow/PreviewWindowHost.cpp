#include "ui/mainwindow/PreviewWindowHost.h"

#include <QLabel>
#include <QScrollBar>
#include <QThread>
#include <QTimer>

#include "core/settings/AppFolders.h"
#include "ui/mainwindow/TaskListView.h"
#include "core/conversion/MediaInfo.h"
#include "core/conversion/PosterFrames.h"
#include "ui/widgets/CListCtrlEx.h"
#include "ui/widgets/CSliderCtrlEx.h"
#include "ui/mainwindow/PreviewArea.h"
#include "core/preview/PreviewPlayer.h"
#include "core/preview/TrimRange.h"
#include "ui/widgets/DurationEdit.h"
#include "ui/widgets/Prompter.h"

namespace {
double g_waitScale = 1.0;
}

PreviewWindowHost::PreviewWindowHost(Parts parts, TaskListView &tasks, QObject *parent)
    : QObject(parent), m_parts(parts), m_tasks(tasks), m_player(std::make_unique<PreviewPlayer>(*this))
{
    connect(m_parts.slider, &CSliderCtrlEx::released, this, [this] { m_player->OnSliderReleased(); });

    m_posters = new PosterFrames(AppFolders::Current().CacheFolder(), this);
    m_postersLater = new QTimer(this);
    m_postersLater->setSingleShot(true);
    m_postersLater->setInterval(150);
    connect(m_postersLater, &QTimer::timeout, this, &PreviewWindowHost::WantPosters);
    auto later = [this] { m_postersLater->start(); };
    TaskList &list = m_tasks.Tasks();
    connect(&list, &TaskList::selectionChanged, this, [this, later] {
        ShowPoster();
        later();
    });
    connect(&list, &TaskList::taskChanged, this, later);
    connect(&list, &TaskList::rowsInserted, this, later);
    connect(&list, &TaskList::rowsRemoved, this, later);
    connect(&list, &TaskList::reordered, this, later);
    connect(m_tasks.List()->verticalScrollBar(), &QScrollBar::valueChanged, this, later);
    connect(m_posters, &PosterFrames::ready, this, &PreviewWindowHost::ShowPoster);
}

void PreviewWindowHost::ShowPoster()
{
    const QList<int> rows = m_tasks.Tasks().SelectedRows();
    const TaskPtr task = rows.isEmpty() ? TaskPtr() : m_tasks.TaskOfRow(rows.first());
    const QString file = task ? m_posters->CachedFile(task->sourcePath.str()) : QString();
    m_parts.area->SetPoster(file.isEmpty() ? QPixmap() : QPixmap(file));
}

void PreviewWindowHost::WantPosters()
{
    CListCtrlEx *view = m_tasks.List();
    const int count = m_tasks.Tasks().Count();
    if (count == 0) {
        m_posters->Want({});
        return;
    }
    const int top = std::max(0, view->rowAt(0));
    int bottom = view->rowAt(view->viewport()->height() - 1);
    if (bottom < 0)
        bottom = count - 1;
    const QList<int> selected = m_tasks.Tasks().SelectedRows().mid(0, 1);
    QList<int> rows = selected;
    for (int row = top; row <= bottom && row < count; ++row)
        if (!rows.contains(row))
            rows << row;
    QList<PosterFrames::Request> requests;
    for (int row : std::as_const(rows)) {
        const TaskPtr task = m_tasks.TaskOfRow(row);
        if (task && task->mediaInfo && !task->mediaInfo->videoCodec.str().isEmpty())
            requests << PosterFrames::Request{task->sourcePath.str(), task->durationSec > 0
                                                                           ? double(task->durationSec)
                                                                           : task->mediaInfo->durationSecText.str().toDouble(),
                                              task->mediaInfo->videoSize.str(), selected.contains(row)};
    }
    m_posters->Want(requests);
}

PreviewWindowHost::~PreviewWindowHost() = default;

void PreviewWindowHost::HoldPosters(bool held)
{
    m_posters->SetHeld(held);
}

void PreviewWindowHost::SetWaitScale(double scale)
{
    g_waitScale = scale;
}

void PreviewWindowHost::StopIfActive()
{
    m_player->Stop(); // acts only while a file plays or pauses
}

quintptr PreviewWindowHost::PreviewWindow()
{
    return quintptr(m_parts.area->winId());
}

void PreviewWindowHost::InvalidatePreviewArea()
{
    m_parts.area->update();
}

QList<int> PreviewWindowHost::SelectedRows()
{
    return m_tasks.Tasks().SelectedRows();
}

void PreviewWindowHost::SelectRow(int row)
{
    m_tasks.List()->SetRowSelected(row, true);
}

std::optional<PreviewTask> PreviewWindowHost::TaskAt(int row)
{
    const TaskPtr task = m_tasks.TaskOfRow(row);
    if (!task)
        return std::nullopt;
    return PreviewTask{task->sourcePath.str(), task->outputPath.str(), task->durationSec};
}

void PreviewWindowHost::SetSliderRange(int maximum)
{
    m_parts.slider->setRange(0, maximum);
}

void PreviewWindowHost::SetSliderPos(int seconds)
{
    m_parts.slider->setValue(seconds);
}

int PreviewWindowHost::SliderPos()
{
    return m_parts.slider->value();
}

int PreviewWindowHost::SliderMax()
{
    return m_parts.slider->maximum();
}

bool PreviewWindowHost::SliderFollows()
{
    return m_parts.slider->SliderFollows();
}

void PreviewWindowHost::SetSliderFollows(bool follows)
{
    m_parts.slider->SetSliderFollows(follows);
}

void PreviewWindowHost::SetTimeLabel(const QString &text)
{
    m_parts.timeLabel->setText(text);
}

void PreviewWindowHost::StartPositionTimer()
{
    if (!m_positionTimer) {
        m_positionTimer = new QTimer(this);
        m_positionTimer->setObjectName(QStringLiteral("positionTimer"));
        connect(m_positionTimer, &QTimer::timeout, this, [this] { m_player->OnPositionTick(); });
    }
    m_positionTimer->start(PreviewPlayer::TimerIntervalMs);
}

void PreviewWindowHost::ShowMessage(const QString &text)
{
    ::ShowMessage(m_parts.window, text, Prompter::Icon::Error);
}

void PreviewWindowHost::Wait(int milliseconds)
{
    QThread::msleep(qRound(milliseconds * g_waitScale));
}

void PreviewWindowHost::ShowTrimRangeOf(const TaskRecord &task)
{
    const TrimRangeDisplay display =
        ShowTrimRange(TrimRangeValues{task.trimStart, task.trimStop, task.trimLength}, task.durationSec);
    if (display.start)
        m_parts.startTime->SetSeconds(*display.start);
    if (display.stop)
        m_parts.stopTime->SetSeconds(*display.stop);
}

int PreviewWindowHost::ApplyTrimRange()
{
    const TaskPtr task = m_tasks.Tasks().Find(m_tasks.CurrentTaskId());
    return ApplyTrimRangeToTask(m_parts.startTime->Seconds(), m_parts.stopTime->Seconds(), task.get());
}

void PreviewWindowHost::OnSetStart()
{
    const std::optional<int> mark = m_player->TakeMark();
    if (!mark)
        return;
    m_parts.startTime->SetSeconds(*mark);
    ApplyTrimRange();
}

void PreviewWindowHost::OnSetStop()
{
    const std::optional<int> mark = m_player->TakeMark();
    if (!mark)
        return;
    m_parts.stopTime->SetSeconds(*mark);
    ApplyTrimRange();
}
