#pragma once
#include <QObject>
#include <memory>

#include "core/preview/PreviewHost.h"

class CSliderCtrlEx;
class DurationEdit;
class PosterFrames;
class PreviewArea;
class PreviewPlayer;
class QLabel;
class QTimer;
class QWidget;
class TaskListView;
struct TaskRecord;

// The main window's preview group: the window's side of the preview player (area,
// position slider, time label, the position timer) and the trim range of the task the
// window shows (Set Start, Set Stop and the two time fields).
class PreviewWindowHost : public QObject, public PreviewHost
{
    Q_OBJECT
public:
    struct Parts
    {
        QWidget *window = nullptr;
        PreviewArea *area = nullptr;
        CSliderCtrlEx *slider = nullptr;
        QLabel *timeLabel = nullptr;
        DurationEdit *startTime = nullptr;
        DurationEdit *stopTime = nullptr;
    };
    PreviewWindowHost(Parts parts, TaskListView &tasks, QObject *parent = nullptr);
    ~PreviewWindowHost() override;

    PreviewPlayer &Player() { return *m_player; }
    PosterFrames &Posters() { return *m_posters; }
    // Stops the player if it plays or pauses.
    void StopIfActive();
    // During a conversion only the selected row's poster is made.
    void HoldPosters(bool held);

    // The trim range: the fields show a task's range; Set Start and Set Stop take the
    // player's mark; the fields' values are checked and stored into the shown task.
    void ShowTrimRangeOf(const TaskRecord &task);
    void OnSetStart();
    void OnSetStop();
    int ApplyTrimRange();

    // PreviewHost
    quintptr PreviewWindow() override;
    void InvalidatePreviewArea() override;
    QList<int> SelectedRows() override;
    void SelectRow(int row) override;
    std::optional<PreviewTask> TaskAt(int row) override;
    void SetSliderRange(int maximum) override;
    void SetSliderPos(int seconds) override;
    int SliderPos() override;
    int SliderMax() override;
    bool SliderFollows() override;
    void SetSliderFollows(bool follows) override;
    void SetTimeLabel(const QString &text) override;
    void StartPositionTimer() override;
    void ShowMessage(const QString &text) override;
    void Wait(int milliseconds) override;
    // Tests shorten the player's waits.
    static void SetWaitScale(double scale);

private:
    // The selected file's poster in the area, when there is one yet.
    void ShowPoster();
    // Posters for the rows on screen, the selected one first.
    void WantPosters();

    Parts m_parts;
    TaskListView &m_tasks;
    std::unique_ptr<PreviewPlayer> m_player;
    QTimer *m_positionTimer = nullptr;
    PosterFrames *m_posters = nullptr;
    QTimer *m_postersLater = nullptr; // gathers the changes of a scroll or a probe run
};
