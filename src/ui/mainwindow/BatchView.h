#pragma once
#include <QHash>
#include <QObject>
#include <functional>
#include <memory>

#include "core/conversion/BatchConverter.h"

class AppSettings;
class CListCtrlEx;
class ImageButton;
class QProgressBar;
class QWidget;
class StatusBar;
class ThreadGroup;

// The main window's side of conversion runs: the three conversion commands, the
// worker threads, and each run's events turned into cells, colours, the status line,
// the overall bar, sounds and dialogs. One run at a time; a run converts as many files
// at once as the Options page says, each row showing its own progress.
class BatchView : public QObject
{
    Q_OBJECT
public:
    struct Parts
    {
        QWidget *window = nullptr;
        CListCtrlEx *list = nullptr;
        StatusBar *statusBar = nullptr;
        QProgressBar *progress = nullptr;
        QWidget *convertAll = nullptr;
        QWidget *convertSelected = nullptr;
        QWidget *stopConvert = nullptr;
        ImageButton *pauseConvert = nullptr;
    };
    struct Window
    {
        std::function<GlobalSelection()> global; // profile, destination and tree now
        std::function<void()> stopPreview;
    };

    BatchView(TaskList &tasks, AppSettings &settings, Parts parts, Window window, QObject *parent = nullptr);
    ~BatchView() override;

    void OnConvertAll();
    void OnConvertSelected();
    void OnStopConvert();
    // Pauses a run, or resumes a paused one: the engines stop where they are.
    void OnPauseConvert();
    bool IsPaused() const { return m_flags.IsPaused(); }
    // The pause button's caption and the status bar's time pane in the current language.
    void ShowPauseState();
    // The close path: a running run is stopped as by Stop Convert and waited for.
    void StopAndWait();

    bool IsConverting() const { return m_flags.converting; }
    // Rows being converted at this moment.
    int ConvertingRows() const { return int(m_rowSlots.size()); }
    // Files the run started last converts at once.
    int Jobs() const { return m_jobs; }
    // The window holds a reference to the running worker: closing asks first.
    bool HasWorker() const { return m_workerThread != 0; }
    int RunningWorkers() const;
    // Waits, processing events, until every worker has ended.
    void WaitForWorkers();
    ConversionFlags &Flags() { return m_flags; }

signals:
    // What a run shows, for observers such as tests.
    void statusLineChanged(const QString &text);
    void overallProgressChanged(int percent);
    void timeLeftChanged(const QString &text);
    void runStarting();
    void runEnded();

private:
    class Host;
    void StartWorker();
    void SetStatusLine(const QString &text);
    void SetOverall(int percent);
    void SetTimeLeft(const QString &text);

    TaskList &m_tasks;
    AppSettings &m_settings;
    Parts m_parts;
    Window m_window;
    ConversionFlags m_flags;
    QHash<int, int> m_rowSlots;  // task id of each converting row -> its row progress bar
    int m_jobs = 1;
    unsigned m_workerThread = 0; // the running worker, as the commands see it; 0: none
    ThreadGroup *m_workerThreads = nullptr;
};
