#pragma once
#include <QKeySequence>
#include <QSize>
#include <QStringList>

#include "ui/mainwindow/CommandTarget.h"
#include "ui/mainwindow/MainWindowControls.h"
#include "core/tasks/TaskList.h"
#include "core/profiles/CurrentProfile.h"
#include "ui/dialogs/PersonalSetHost.h"
#include "ui/widgets/ThemedDialog.h"

class AppSettings;
class BatchView;
class HardwareCheck;
class PathReceiver;
class QueueKeeper;
class PreviewWindowHost;
class PropertyGridItem;
class TaskListView;
struct GlobalSelection;

// The main window: it owns the controls and the task list, routes the commands of its
// menus, buttons and keys to the parts that carry them out (the task-list view, the
// conversion runs, the preview group) and handles what belongs to the window itself:
// language and looks, the profile and destination, dialogs and launches, closing.
class CCorvaneStudioDlg : public ThemedDialog, public CommandTarget, public PersonalSetHost
{
    Q_OBJECT
public:
    static constexpr int kMinWidth = 740;
    static constexpr int kMinHeight = 600;
    static QString ProductName();
    // The size the window opens at on a screen whose free area has this size.
    static QSize DefaultSize(const QSize &screen);

    CCorvaneStudioDlg(AppSettings &settings, const QStringList &commandLineFiles, QWidget *parent = nullptr);
    ~CCorvaneStudioDlg() override;

    // CommandTarget
    void OnCommand(int id) override;
    State QueryCommand(int id) const override;

    // PersonalSetHost
    TaskList &Tasks() override { return m_tasks; }
    CurrentProfile &Profile() override { return m_profile; }
    QString GlobalDestination() const override { return m_globalDest; }
    // Draws a changed task's row again; a task with its own settings shows them in the grid.
    void ShowTaskRow(int id) override;
    QWidget *DialogParent() override { return this; }

    // The parts.
    const MainWindowControls &Controls() const { return m_controls; }
    TaskListView &TaskView() const { return *m_taskView; }
    BatchView &Batch() const { return *m_batch; }
    PreviewWindowHost &Preview() const { return *m_preview; }
    HardwareCheck &Hardware() const { return *m_hardwareCheck; }
    CurrentProfile &GetCurrentProfile() { return m_profile; }

    // Re-applies every text of the window from the current language.
    void ApplyLanguage();
    // Places every control for a client area of cx by cy pixels.
    void LayoutControls(int cx, int cy);
    // The shutdown path; false when the user chose to keep the window open.
    bool OnClose();
    // Offers the list the last session kept in the state file at path, then keeps the
    // list there while it changes.
    void KeepQueue(const QString &path);

    // The destination field: a typed folder is made and becomes the destination.
    void OnDestinationKillFocus();
    void OnExploreDestination();
    // A path handed over by another program (empty text: nothing).
    void OnCopyData(const QString &path);
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
    bool event(QEvent *event) override;

private:
    void OnInitDialog();
    // What can wait until the window is on screen: the preview library and the
    // hardware encoders' trial runs.
    void AfterFirstPaint();
    void CreateShortcuts();
    void SetTabOrder();
    void ShowKeyInMenu(int command, const QKeySequence &key);
    void OnSetLanguage(int commandId);
    void OnProfileChanged();
    void OnGridPropertyChanged(PropertyGridItem *property);
    void ShowTaskSettings(int id);
    NewTaskSettings CurrentTaskSettings() const;
    GlobalSelection CurrentSelection() const;

    // Commands that open dialogs or hand work to the desktop.
    void OnTaskInfo();
    void OnProperty();
    void OnOptions();
    void OnHelpContents();
    void OnOpenConvertedFolder();
    void OnAddConvertedAsTasks();
    void OnSaveTask();
    void OnOpenTask();
    // After rows came from a file: counts, the convert buttons, and what was left out.
    void RowsListed(const QStringList &problems);
    void OnAbout();
    void OnLook(int id);

    AppSettings &m_settings;
    QStringList m_commandLineFiles;
    MainWindowControls m_controls;
    TaskList m_tasks;
    CurrentProfile m_profile;
    QString m_globalDest;
    TaskListView *m_taskView = nullptr;
    BatchView *m_batch = nullptr;
    PreviewWindowHost *m_preview = nullptr;
    PathReceiver *m_pathReceiver = nullptr;
    HardwareCheck *m_hardwareCheck = nullptr;
    bool m_painted = false;
    QueueKeeper *m_keeper = nullptr;
};
