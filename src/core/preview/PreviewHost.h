#pragma once
#include <QList>
#include <QString>
#include <QtGlobal>

#include <optional>

// What the preview needs to know of a task.
struct PreviewTask
{
    QString sourcePath;
    QString outputPath;
    int durationSec = 0;
};

// The main window as the preview player sees it. The window implements it over
// its preview area, task list, position slider, time label and position timer.
//
// Every call comes on the user-interface thread except during Stop, which the
// conversion thread also makes when a batch starts: the slider, label and
// preview-area calls must then be carried over to the user-interface thread
// (for instance with a blocking queued invocation).
class PreviewHost
{
public:
    virtual ~PreviewHost() = default;

    // The preview area: its native window id (QWidget::winId()), and a repaint
    // with background erase so it shows its idle picture again.
    virtual quintptr PreviewWindow() = 0;
    virtual void InvalidatePreviewArea() = 0;

    // The task list: selected row indexes in ascending order, giving a row the
    // selected state, and the task of a row (none when the row has no task).
    virtual QList<int> SelectedRows() = 0;
    virtual void SelectRow(int row) = 0;
    virtual std::optional<PreviewTask> TaskAt(int row) = 0;

    // The position slider, in whole seconds. SetSliderRange sets 0..maximum
    // without a repaint; SetSliderPos repaints.
    virtual void SetSliderRange(int maximum) = 0;
    virtual void SetSliderPos(int seconds) = 0;
    virtual int SliderPos() = 0;
    virtual int SliderMax() = 0;
    virtual bool SliderFollows() = 0;
    virtual void SetSliderFollows(bool follows) = 0;

    virtual void SetTimeLabel(const QString &text) = 0;

    // Starts the 500 ms position timer; starting it again replaces it.
    // Each tick calls PreviewPlayer::OnPositionTick.
    virtual void StartPositionTimer() = 0;

    // A modal message with an OK button (through the Prompter in the program).
    virtual void ShowMessage(const QString &text) = 0;

    // A blocking wait that gives the player time to open a file or reach a
    // position; tests make it return at once.
    virtual void Wait(int milliseconds) = 0;
};
