#pragma once
#include <QPointer>
#include <QStringList>
#include <QVector>

#include <atomic>
#include <memory>
#include <optional>

#include "app/CommandTarget.h"
#include "app/TaskRecord.h"
#include "conversion/BatchConversion.h"
#include "preview/PreviewHost.h"
#include "profiles/CurrentProfile.h"
#include "toolkit/ThemedDialog.h"

class AppSettings;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QContextMenuEvent;
class QDragEnterEvent;
class QDropEvent;
struct MediaInfo;
class QProgressBar;
class QAbstractButton;
class QPushButton;
class QSlider;
class ThreadGroup;
class QToolButton;
class QWidget;
class CListCtrlEx;
class CSliderCtrlEx;
class DurationEdit;
class PreviewPlayer;
class QTimer;
class ImageButton;
class PreviewArea;
class PathReceiver;
class PropertyGrid;
class PropertyGridItem;
class StatusBar;

// The main window: menu bar, task list, profile and destination, preview and the
// conversion buttons. Each concern lives in its own class; this window owns the
// controls, routes commands and lays the controls out.
class CCorvaneStudioDlg : public ThemedDialog, public CommandTarget, public PreviewHost
{
    Q_OBJECT
public:
    static constexpr int kMinWidth = 740;
    static constexpr int kMinHeight = 600;
    static QString ProductName();
    // The file-type filter of Add File (also used by the per-file settings).
    static QString AddFileFilter();

    CCorvaneStudioDlg(AppSettings &settings, const QStringList &commandLineFiles, QWidget *parent = nullptr);
    ~CCorvaneStudioDlg() override;

    // CommandTarget
    void OnCommand(int id) override;
    State QueryCommand(int id) const override;

    // Re-applies every text of the window from the current language.
    void ApplyLanguage();
    // Places every control for a client area of cx by cy pixels.
    void LayoutControls(int cx, int cy);
    // Places the task list and the preview group (also after View Preview).
    void LayoutListAndPreview(int cx, int cy);
    void UpdateStatusCounts();

    // The shutdown path; false when the user chose to keep the window open.
    bool OnClose();

    StatusBar *GetStatusBar() const { return m_statusBar; }
    QMenuBar *GetMenuBar() const { return m_menuBar; }
    CListCtrlEx *GetTaskList() const { return m_taskList; }
    TaskStore &GetTasks() { return m_tasks; }
    CurrentProfile &GetCurrentProfile() { return m_profile; }
    PropertyGrid *GetParamGrid() const { return m_paramGrid; }
    // The destination folder new tasks take (the last one accepted in the field).
    QString GetGlobalDestination() const { return m_globalDest; }

    // --- Task list ---------------------------------------------------------
    void OnAddFile();
    // Files dropped on the window, in the order the drop delivers them.
    void OnDropFiles(const QStringList &paths);
    // One path from the command line, another program or a converted file.
    void AddFileByPath(const QString &path);
    // A path handed over by another program (empty text: nothing).
    void OnCopyData(const QString &path);
    // A path handed over by code of this process: cut to 254 characters first.
    void OnAddPathMessage(const QString &path);
    void ShowTaskRow(int id, bool update);
    void OnDelete();
    void OnSelectAll();
    void OnMoveUp();
    void OnMoveDown();
    void OnListClick();
    // The list's context menu with the current language's texts; shown only at a
    // point inside the list. BuildListContextMenu is what it shows.
    void ShowListContextMenu(const QPoint &globalPos);
    std::unique_ptr<QMenu> BuildListContextMenu();
    // The task id in a row's hidden column; 0 when the text is not a number.
    int TaskIdOfRow(int row) const;
    TaskPtr TaskOfRow(int row) const;
    int RowOfTask(int id) const;
    // The task shown by the last list click that found media information.
    int CurrentTaskId() const { return m_currentTaskId; }
    // Starts a media-probe thread over the queued task ids.
    void StartProbeThread();
    // Waits, processing events, until no probe thread runs.
    void WaitForProbeThreads();
    int RunningProbeThreads() const;

    // --- Preview and trim range ----------------------------------------------
    PreviewPlayer &GetPreview() { return *m_preview; }
    void OnSetStart();
    void OnSetStop();
    // Checks StartTime and StopTime against the current task and stores the range.
    int ApplyTrimRange();
    DurationEdit *GetStartTime() const { return m_startTime; }
    DurationEdit *GetStopTime() const { return m_stopTime; }

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
    static void SetPreviewWaitScale(double scale);

    // --- Conversion ------------------------------------------------------------
    void OnConvertAll();
    void OnConvertSelected();
    void OnStopConvert();
    bool IsConverting() const { return m_flags.converting; }
    bool HasWorker() const { return m_workerThread != 0; }
    // Waits, processing events, until every conversion worker has ended.
    void WaitForWorkers();
    ConversionFlags &GetConversionFlags() { return m_flags; }

signals:
    // What a conversion run shows, for observers such as the headless mode.
    void statusLineChanged(const QString &text);
    void rowStatusChanged(int row, const QString &status);
    void overallProgressChanged(int percent);
    void runEnded();

public:
    // --- Destination ---------------------------------------------------------
    void OnDestinationKillFocus();
    void OnExploreDestination();

    // --- Dialogs --------------------------------------------------------------------
    // "Personal Set" for each selected task in turn, from the top.
    void OnTaskInfo();
    // File Property for each selected row, from the lowest up.
    void OnProperty();
    // The Options page.
    void OnOptions();

    // --- Launches, looks, task file ----------------------------------------------
    void OnHelpContents();
    void OnFeedback();
    void OnOpenConvertedFolder();
    void OnAddConvertedAsTasks();
    void OnSaveTask();
    void OnAbout();
    void OnLook(int id);
    // The rule of the commands on converted files: the lowest selected row reads "Completed".
    bool LowestSelectedRowCompleted() const;

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void reject() override;

private:
    void OnInitDialog();
    void CreateControls();
    void CreateMenuBar();
    ImageButton *MakeLargeButton(int id, const QString &text, const QString &iconName);
    QToolButton *MakeSmallButton(int id, const QString &text, const QString &iconName);
    void OnSetLanguage(int commandId);
    quint16 AddTask(const QString &path, bool queueForProbe, bool updateCounts = true);
    void AddTasks(const QStringList &paths, bool queueForProbe);
    void FillRowFromTask(int row, const TaskRecord &task, int id);
    void MoveRow(int from, int to);
    QIcon FileTypeIcon(const QString &extension);
    void ProbeThreadRun();
    std::optional<QString> SourcePathForProbe(int id);
    void StoreProbeResult(int id, std::unique_ptr<MediaInfo> info);
    void ShowTaskSettings(const TaskRecord &task);
    void OnGridPropertyChanged(PropertyGridItem *property);
    void OnProfileChanged();
    void StopPreviewIfActive();
    void ShowTrimRangeOf(const TaskRecord &task);
    void FreeAllTasks();
    void StartWorker();
    void CreateShortcuts();
    friend class WindowBatchHost;

    AppSettings &m_settings;
    QStringList m_commandLineFiles;

    QMenuBar *m_menuBar = nullptr;
    StatusBar *m_statusBar = nullptr;
    QWidget *m_topStrip = nullptr;
    QWidget *m_bottomStrip = nullptr;
    CListCtrlEx *m_taskList = nullptr;
    QComboBox *m_profileCombo = nullptr;
    QLineEdit *m_destination = nullptr;
    QWidget *m_destinationField = nullptr;
    QProgressBar *m_progress = nullptr;
    PropertyGrid *m_paramGrid = nullptr;
    PreviewArea *m_previewArea = nullptr;
    CSliderCtrlEx *m_slider = nullptr;
    QLabel *m_timeLabel = nullptr;
    DurationEdit *m_startTime = nullptr;
    DurationEdit *m_stopTime = nullptr;
    std::unique_ptr<PreviewPlayer> m_preview;
    QTimer *m_positionTimer = nullptr;

    TaskStore m_tasks;
    CurrentProfile m_profile;
    QString m_globalDest;
    int m_shownTaskId = 0;   // task the last list click showed
    int m_currentTaskId = 0; // task whose settings and trim range the window shows
    QHash<QString, QIcon> m_iconCache;
    ThreadGroup *m_probeThreads = nullptr;
    std::atomic<bool> m_closing{false};
    PathReceiver *m_pathReceiver = nullptr;
    int m_look = 0;
    bool m_batchAdding = false; // AddTasks selects its rows itself

    ConversionFlags m_flags;
    unsigned m_workerThread = 0;          // the running worker, as the commands see it; 0: none
    ThreadGroup *m_workerThreads = nullptr; // every worker not yet ended
    std::unique_ptr<BatchHost> m_batchHost;
};
