#include "app/PreviewWindowHost.h"

#include <QLabel>
#include <QThread>
#include <QTimer>

#include "app/TaskListView.h"
#include "controls/CListCtrlEx.h"
#include "controls/CSliderCtrlEx.h"
#include "preview/PreviewArea.h"
#include "preview/PreviewPlayer.h"
#include "preview/TrimRange.h"
#include "toolkit/DurationEdit.h"
#include "toolkit/Prompter.h"

namespace {
double g_waitScale = 1.0;
}

PreviewWindowHost::PreviewWindowHost(Parts parts, TaskListView &tasks, QObject *parent)
    : QObject(parent), m_parts(parts), m_tasks(tasks), m_player(std::make_unique<PreviewPlayer>(*this))
{
    connect(m_parts.slider, &CSliderCtrlEx::released, this, [this] { m_player->OnSliderReleased(); });
}

PreviewWindowHost::~PreviewWindowHost() = default;

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
