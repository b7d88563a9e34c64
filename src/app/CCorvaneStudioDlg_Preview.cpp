// The preview group of the main window: the window's side of the preview player
// and the trim range of the current task.
#include <QFrame>
#include <QLabel>
#include <QThread>
#include <QTimer>

#include "app/CCorvaneStudioDlg.h"
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

void CCorvaneStudioDlg::SetPreviewWaitScale(double scale)
{
    g_waitScale = scale;
}

quintptr CCorvaneStudioDlg::PreviewWindow()
{
    return quintptr(m_previewArea->winId());
}

void CCorvaneStudioDlg::InvalidatePreviewArea()
{
    m_previewArea->update();
}

QList<int> CCorvaneStudioDlg::SelectedRows()
{
    QList<int> rows;
    for (int row = 0; row < m_taskList->rowCount(); ++row)
        if (m_taskList->IsRowSelected(row))
            rows << row;
    return rows;
}

void CCorvaneStudioDlg::SelectRow(int row)
{
    m_taskList->SetRowSelected(row, true);
}

std::optional<PreviewTask> CCorvaneStudioDlg::TaskAt(int row)
{
    const TaskPtr task = TaskOfRow(row);
    if (!task)
        return std::nullopt;
    return PreviewTask{task->sourcePath.str(), task->outputPath.str(), task->durationSec};
}

void CCorvaneStudioDlg::SetSliderRange(int maximum)
{
    m_slider->setRange(0, maximum);
}

void CCorvaneStudioDlg::SetSliderPos(int seconds)
{
    m_slider->setValue(seconds);
}

int CCorvaneStudioDlg::SliderPos()
{
    return m_slider->value();
}

int CCorvaneStudioDlg::SliderMax()
{
    return m_slider->maximum();
}

bool CCorvaneStudioDlg::SliderFollows()
{
    return m_slider->SliderFollows();
}

void CCorvaneStudioDlg::SetSliderFollows(bool follows)
{
    m_slider->SetSliderFollows(follows);
}

void CCorvaneStudioDlg::SetTimeLabel(const QString &text)
{
    m_timeLabel->setText(text);
}

void CCorvaneStudioDlg::StartPositionTimer()
{
    if (!m_positionTimer) {
        m_positionTimer = new QTimer(this);
        m_positionTimer->setObjectName(QStringLiteral("positionTimer"));
        connect(m_positionTimer, &QTimer::timeout, this, [this] { m_preview->OnPositionTick(); });
    }
    m_positionTimer->start(PreviewPlayer::TimerIntervalMs);
}

void CCorvaneStudioDlg::ShowMessage(const QString &text)
{
    ::ShowMessage(this, text, Prompter::Icon::Error);
}

void CCorvaneStudioDlg::Wait(int milliseconds)
{
    QThread::msleep(qRound(milliseconds * g_waitScale));
}

void CCorvaneStudioDlg::StopPreviewIfActive()
{
    m_preview->Stop(); // acts only while a file plays or pauses
}

void CCorvaneStudioDlg::ShowTrimRangeOf(const TaskRecord &task)
{
    const TrimRangeDisplay display =
        ShowTrimRange(TrimRangeValues{task.trimStart, task.trimStop, task.trimLength}, task.durationSec);
    if (display.start)
        m_startTime->SetSeconds(*display.start);
    if (display.stop)
        m_stopTime->SetSeconds(*display.stop);
}

int CCorvaneStudioDlg::ApplyTrimRange()
{
    const TaskPtr task = m_tasks.Find(m_currentTaskId);
    return ApplyTrimRangeToTask(m_startTime->Seconds(), m_stopTime->Seconds(), task.get());
}

void CCorvaneStudioDlg::OnSetStart()
{
    const std::optional<int> mark = m_preview->TakeMark();
    if (!mark)
        return;
    m_startTime->SetSeconds(*mark);
    ApplyTrimRange();
}

void CCorvaneStudioDlg::OnSetStop()
{
    const std::optional<int> mark = m_preview->TakeMark();
    if (!mark)
        return;
    m_stopTime->SetSeconds(*mark);
    ApplyTrimRange();
}
