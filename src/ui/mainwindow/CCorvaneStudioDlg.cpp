#include "ui/mainwindow/CCorvaneStudioDlg.h"
#include "core/conversion/HardwareCheck.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QScreen>
#include <QShortcut>
#include <QTreeWidget>
#include <QTimer>
#include <QUrl>
#include <utility>

#include "core/settings/AppSettings.h"
#include "ui/mainwindow/BatchView.h"
#include "ui/mainwindow/ControlIds.h"
#include "ui/mainwindow/MenuResources.h"
#include "ui/mainwindow/PathReceiver.h"
#include "ui/mainwindow/PreviewWindowHost.h"
#include "core/tasks/QueueState.h"
#include "ui/mainwindow/TaskListView.h"
#include "ui/mainwindow/TaskTableModel.h"
#include "ui/widgets/CListCtrlEx.h"
#include "ui/widgets/CSliderCtrlEx.h"
#include "core/conversion/OutputNaming.h"
#include "ui/dialogs/DialogTexts.h"
#include "core/settings/Language.h"
#include "ui/mainwindow/MenuTexts.h"
#include "core/preview/PreviewPlayer.h"
#include "ui/dialogs/CDetailDialog.h"
#include "core/profiles/ParamDisplayNames.h"
#include "ui/widgets/ParameterEditor.h"
#include "core/profiles/ProfileCatalogue.h"
#include "ui/widgets/ProfileSelector.h"
#include "ui/widgets/BrowseEdit.h"
#include "ui/widgets/DurationEdit.h"
#include "ui/widgets/ControlId.h"
#include "ui/widgets/FocusRing.h"
#include "ui/mainwindow/PreviewArea.h"
#include "core/preview/PreviewState.h"
#include "ui/widgets/ImageButton.h"
#include "ui/widgets/Launcher.h"
#include "ui/widgets/Looks.h"
#include "ui/widgets/PropertyGrid.h"
#include "ui/widgets/Prompter.h"
#include "ui/widgets/StatusBar.h"

namespace {

// Language items of the View menu, by language index.
constexpr int kLanguageCommands[Language::kLanguageCount] = {
    Ids::LangEnglish, Ids::LangChineseSimplified, Ids::LangJapan, Ids::LangChineseTraditional,
    Ids::LangFrench,  Ids::LangGerman,            Ids::LangSpanish};

int languageIndexOfCommand(int id)
{
    for (int i = 0; i < Language::kLanguageCount; ++i)
        if (kLanguageCommands[i] == id)
            return i;
    return -1;
}

// Captions set from the language on every switch.
constexpr DialogText kCaptions[] = {
    {Ids::AddFileButton, "@21"}, {Ids::Delete, "@22"},         {Ids::SaveTask, "@23"},
    {Ids::Property, "@24"},      {Ids::TaskInfoButton, "@25"}, {Ids::Options, "@26"},
    {Ids::Exit, "@27"},          {Ids::ProfileLabel, "@29"},   {Ids::DestinationLabel, "@30"},
    {Ids::DetailButton, "@32"},  {Ids::ConvertAll, "@34"},     {Ids::StopConvert, "@35"},
    {Ids::InputLabel, "@146"},   {Ids::UpButton, "@148"},      {Ids::DownButton, "@149"},
    {Ids::ConvertSelected, "@150"}, {Ids::PreviewPlay, "@159"}, {Ids::PreviewPause, "@160"},
    {Ids::PreviewStop, "@161"},  {Ids::SetStart, "@53"},       {Ids::SetStop, "@54"},
    {Ids::RemoveCompleted, "@177"},
};

constexpr const char *kColumnHeaders[] = {"@13", "@14", "@16", "@17", "@18", "@19", "@20"};
constexpr int kColumnFactors[] = {14, 10, 20, 10, 18, 15, 100, 0, 9};

} // namespace

QString CCorvaneStudioDlg::ProductName()
{
    return QStringLiteral("CorvaneStudio");
}

CCorvaneStudioDlg::CCorvaneStudioDlg(AppSettings &settings, const QStringList &commandLineFiles, QWidget *parent)
    : ThemedDialog(parent), m_settings(settings), m_commandLineFiles(commandLineFiles)
{
    setWindowTitle(ProductName());
    setWindowFlags(Qt::Window | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    setMinimumSize(kMinWidth, kMinHeight);
    resize(DefaultSize(screen() ? screen()->availableGeometry().size() : QSize()));
    OnInitDialog();
}

QSize CCorvaneStudioDlg::DefaultSize(const QSize &screen)
{
    // Larger where the screen has room, so that the list shows its columns; never
    // smaller than the size the window has always opened at, nor than the screen less a margin.
    const QSize smallest(980, 680);
    const QSize largest(1600, 900);
    if (!screen.isValid())
        return smallest;
    const QSize room = screen * 9 / 10;
    return smallest.expandedTo(largest.boundedTo(room));
}

bool CCorvaneStudioDlg::event(QEvent *event)
{
    const bool handled = ThemedDialog::event(event);
    if (event->type() == QEvent::Paint && !std::exchange(m_painted, true))
        QTimer::singleShot(0, this, &CCorvaneStudioDlg::AfterFirstPaint);
    return handled;
}

void CCorvaneStudioDlg::AfterFirstPaint()
{
    m_preview->Player().EnsureLoaded();
    QStringList profiles;
    for (int i = 0; i < m_controls.profileCombo->count(); ++i)
        profiles << m_controls.profileCombo->itemText(i);
    m_hardwareCheck->Start(HardwareCheck::HardwareProfiles(profiles));
}

CCorvaneStudioDlg::~CCorvaneStudioDlg()
{
    // The parts use the task list: they go first, after every thread has ended.
    m_batch->StopAndWait();
    delete m_keeper; // writes what is pending: it reads the task list
    m_taskView->Close();
    delete m_preview;
    delete m_batch;
    delete m_taskView;
}

void CCorvaneStudioDlg::OnInitDialog()
{
    EnableVisualManagerStyle(true);
    m_controls = MainWindowControls::Create(this, [this](int id) { OnCommand(id); });
    BuildMenuBar(m_controls.menuBar, MainMenuResource(), this);

    m_taskView = new TaskListView(m_tasks, m_controls.taskList, m_controls.statusBar, *this,
                                  [this] { return CurrentTaskSettings(); });
    m_batch = new BatchView(m_tasks, m_settings,
                            {this, m_controls.taskList, m_controls.statusBar, m_controls.progress,
                             FindControl<QWidget>(this, Ids::ConvertAll),
                             FindControl<QWidget>(this, Ids::ConvertSelected),
                             FindControl<QWidget>(this, Ids::StopConvert),
                             FindControl<ImageButton>(this, Ids::PauseConvert)},
                            {[this] { return CurrentSelection(); }, [this] { m_preview->StopIfActive(); }});
    m_preview = new PreviewWindowHost({this, m_controls.previewArea, m_controls.slider, m_controls.timeLabel,
                                       m_controls.startTime, m_controls.stopTime},
                                      *m_taskView);
    connect(m_batch, &BatchView::runStarting, this, [this] { m_preview->HoldPosters(true); });
    connect(m_batch, &BatchView::runEnded, this, [this] { m_preview->HoldPosters(false); });
    connect(m_taskView, &TaskListView::shownTaskChanging, this, [this] { m_preview->StopIfActive(); });
    connect(m_taskView, &TaskListView::nothingSelected, this, [this] { m_preview->StopIfActive(); });
    connect(m_taskView, &TaskListView::taskShown, this, &CCorvaneStudioDlg::ShowTaskSettings);
    connect(m_controls.paramGrid, &PropertyGrid::PropertyChanged, this, &CCorvaneStudioDlg::OnGridPropertyChanged);
    connect(m_controls.profileCombo, &QComboBox::currentIndexChanged, this, &CCorvaneStudioDlg::OnProfileChanged);
    connect(m_controls.destination, &BrowseEdit::focusLeft, this, &CCorvaneStudioDlg::OnDestinationKillFocus);
    connect(m_controls.destination, &BrowseEdit::browseRequested, this, &CCorvaneStudioDlg::OnExploreDestination);
    setAcceptDrops(true);
    LayoutControls(width(), height());

    // Task list columns; widths follow the dialog font.
    const int charWidth = fontMetrics().averageCharWidth();
    QList<int> widths;
    for (int factor : kColumnFactors)
        widths << charWidth * factor;
    m_taskView->SetColumnWidths(widths, m_settings.Folders().ConfigFolder() + QStringLiteral("columns.ini"));
    m_controls.taskList->setColumnHidden(TaskTableModel::Id, true);
    m_controls.taskList->CreateRowProgress(TaskTableModel::Status);

    ParamDisplayNames::Rebuild();
    m_controls.profileCombo->view()->setMinimumWidth(100);
    m_profile.SetFolders(m_settings.Folders());
    LoadProfiles(m_settings.Folders().DataFile(QStringLiteral("profile.ini")), m_controls.profileCombo,
                 m_controls.paramGrid, m_profile);
    m_globalDest = m_settings.GetSavedPath();
    m_controls.destination->setText(m_settings.GetSavedPath());
    // Hardware profiles are tried in the background; those the machine cannot use are greyed out.
    m_hardwareCheck = new HardwareCheck(this);
    connect(m_hardwareCheck, &HardwareCheck::checked, this, [this](const QString &profile, const QString &problem) {
        if (!problem.isEmpty())
            MarkProfileUnavailable(m_controls.profileCombo, profile, problem);
    });

    ApplyLanguage();
    m_preview->Player().LoadLater(m_settings.Folders().LibraryFolder());

    // Paths from a second start of the program arrive here.
    m_pathReceiver = new PathReceiver(this);
    m_pathReceiver->Listen(PathReceiver::ServerNameFor(m_settings.GetProgramFolder()));
    connect(m_pathReceiver, &PathReceiver::pathReceived, this, &CCorvaneStudioDlg::OnCopyData);

    for (const QString &path : std::as_const(m_commandLineFiles))
        m_taskView->AddFileByPath(path);
    m_commandLineFiles.clear();

    Looks::ApplyLook(Looks::LoadStoredLook());
    CreateShortcuts();
    SetTabOrder();
    new FocusRing(this);
    connect(m_controls.previewArea, &PreviewArea::playPauseRequested, this, [this] {
        OnCommand(m_preview->Player().State() == PreviewState::Playing ? Ids::PreviewPause : Ids::PreviewPlay);
    });
    m_controls.taskList->setFocus();
}

void CCorvaneStudioDlg::SetTabOrder()
{
    // Reading order: the buttons along the top, the list, the preview and its controls,
    // then the profile, the destination and the conversion buttons.
    const int order[] = {Ids::AddFileButton, Ids::Delete,       Ids::Property,    Ids::TaskInfoButton,
                         Ids::Exit,          Ids::RemoveCompleted, Ids::PauseConvert, Ids::TaskList,
                         Ids::PreviewArea,   Ids::PositionSlider, Ids::PreviewPlay, Ids::PreviewPause,
                         Ids::PreviewStop,   Ids::SetStart,     Ids::StartTime,   Ids::SetStop,
                         Ids::StopTime,      Ids::ProfileCombo, Ids::DetailButton, Ids::DestinationEdit};
    QWidget *previous = nullptr;
    for (int id : order) {
        QWidget *control = FindControl<QWidget>(this, id);
        if (previous)
            QWidget::setTabOrder(previous, control);
        previous = control;
    }
    if (QWidget *browse = m_controls.destination->BrowseButton()) {
        QWidget::setTabOrder(previous, browse);
        previous = browse;
    }
    for (int id : {Ids::ConvertSelected, Ids::ConvertAll, Ids::StopConvert}) {
        QWidget *control = FindControl<QWidget>(this, id);
        QWidget::setTabOrder(previous, control);
        previous = control;
    }
}

NewTaskSettings CCorvaneStudioDlg::CurrentTaskSettings() const
{
    return NewTaskSettings::For(m_profile, m_globalDest, m_settings.Folders());
}

GlobalSelection CCorvaneStudioDlg::CurrentSelection() const
{
    GlobalSelection g;
    g.profileName = m_controls.profileCombo->currentText();
    g.destination = m_controls.destination->text();
    g.globalDestination = m_globalDest;
    const ProfileSnapshot snapshot = m_profile.Snapshot();
    g.aspectMode = snapshot.aspectMode;
    g.tree = snapshot.tree;
    return g;
}

void CCorvaneStudioDlg::ApplyLanguage()
{
    ParamDisplayNames::Rebuild();
    // Grids show their labels from the table: the main grid is filled again.
    const TaskPtr task = m_tasks.Find(m_taskView->CurrentTaskId());
    if (task && task->useGlobalOutput == 0 && task->paramTree)
        ShowParamFromTree(m_controls.paramGrid, task->paramTree.get());
    else
        ShowParamFromTree(m_controls.paramGrid, m_profile.Tree());

    ApplyDialogTexts(this, kCaptions);
    m_controls.statusBar->SetPaneText(1, GetLangString(QStringLiteral("@106")));
    // Names a screen reader gives the controls that show no text of their own.
    SetAccessibleName(m_controls.taskList, "@245");
    SetAccessibleName(m_controls.profileCombo, "@29");
    SetAccessibleName(m_controls.destination, "@30");
    m_controls.destination->SetBrowseText(AccessibleText(GetLangString(QStringLiteral("@249"))));
    SetAccessibleName(m_controls.startTime, "@246");
    SetAccessibleName(m_controls.stopTime, "@247");
    SetAccessibleName(m_controls.slider, "@248");
    SetAccessibleName(m_controls.progress, "@250");
    SetAccessibleName(m_controls.previewArea, "@251");
    SetAccessibleName(m_controls.paramGrid, "@252");
    SetAccessibleName(m_controls.paramGrid->tree(), "@252");

    QStringList headers;
    for (const char *id : kColumnHeaders)
        headers << GetLangString(QString::fromLatin1(id));
    headers << QString() << GetLangString(QStringLiteral("@172"));
    m_taskView->Model()->SetHeaders(headers);
    m_batch->ShowPauseState();
    m_taskView->UpdateStatusCounts();

    int popupCounter = 0;
    ApplyMenuTexts(m_controls.menuBar->actions(), popupCounter);
    m_controls.menuBar->setGeometry(m_controls.topStrip->geometry());
    setWindowTitle(ProductName());
}

void CCorvaneStudioDlg::resizeEvent(QResizeEvent *event)
{
    ThemedDialog::resizeEvent(event);
    LayoutControls(width(), height());
}

void CCorvaneStudioDlg::LayoutControls(int cx, int cy)
{
    if (!m_taskView)
        return;
    m_controls.Layout(this, cx, cy, m_settings.IsPreviewHidden());
    m_taskView->FitColumns();
    m_preview->Player().Resize(); // acts only while a file plays or pauses
    m_taskView->UpdateStatusCounts();
}

CommandTarget::State CCorvaneStudioDlg::QueryCommand(int id) const
{
    State s;
    if (id >= Ids::LookFirst && id <= Ids::LookLast) {
        s.checkable = true;
        s.checked = Looks::CurrentLook() == id;
        return s;
    }
    const int index = languageIndexOfCommand(id);
    if (index >= 0) {
        s.checkable = true;
        s.checked = m_settings.GetLanguage().GetLanguageIndex() == index;
        return s;
    }
    const int rows = m_tasks.Count();
    const bool anySelected = m_tasks.SelectedCount() > 0;
    switch (id) {
    case Ids::ViewPreview:
        s.checkable = true;
        s.checked = !m_settings.IsPreviewHidden();
        break;
    case Ids::SelectAll:
        s.enabled = rows >= 2;
        break;
    case Ids::Delete:
    case Ids::Play:
    case Ids::TaskInfo:
    case Ids::TaskInfoButton:
    case Ids::Property:
        s.enabled = anySelected;
        break;
    case Ids::SaveTask:
        s.enabled = rows >= 1;
        break;
    case Ids::ConvertAll:
    case Ids::ConvertSelected:
        s.enabled = rows >= 1;
        break;
    case Ids::StopConvert:
        s.enabled = m_batch->IsConverting();
        break;
    case Ids::PauseConvert:
        s.enabled = m_batch->IsConverting();
        s.checkable = true;
        s.checked = m_batch->IsPaused();
        break;
    case Ids::RemoveCompleted:
        // Rows going away under a run would shift the rows it has still to visit.
        s.enabled = !m_batch->IsConverting() && !m_tasks.CompletedIds().isEmpty();
        break;
    case Ids::PlayConverted:
    case Ids::AddConvertedAsTasks:
    case Ids::OpenConvertedFolder:
        s.enabled = LowestSelectedRowCompleted();
        break;
    default:
        break;
    }
    return s;
}

void CCorvaneStudioDlg::OnCommand(int id)
{
    if (languageIndexOfCommand(id) >= 0) {
        OnSetLanguage(id);
        return;
    }
    if (id >= Ids::LookFirst && id <= Ids::LookLast) {
        OnLook(id);
        return;
    }
    switch (id) {
    case Ids::AddFile:
    case Ids::AddFileButton:
        if (m_taskView->OnAddFile()) {
            FindControl<QWidget>(this, Ids::ConvertAll)->setEnabled(true);
            FindControl<QWidget>(this, Ids::ConvertSelected)->setEnabled(true);
        }
        break;
    case Ids::Delete:
        m_taskView->OnDelete();
        break;
    case Ids::SelectAll:
        m_taskView->OnSelectAll();
        break;
    case Ids::UpButton:
        m_taskView->OnMoveUp();
        break;
    case Ids::DownButton:
        m_taskView->OnMoveDown();
        break;
    case Ids::PreviewPlay:
    case Ids::Play:
        m_preview->Player().Play();
        break;
    case Ids::PreviewPause:
        m_preview->Player().Pause();
        break;
    case Ids::PreviewStop:
        m_preview->Player().Stop();
        break;
    case Ids::SetStart:
        m_preview->OnSetStart();
        break;
    case Ids::SetStop:
        m_preview->OnSetStop();
        break;
    case Ids::DetailButton:
        RunDetailDialog(this, m_profile, m_controls.profileCombo->currentText());
        break;
    case Ids::ConvertAll:
        m_batch->OnConvertAll();
        break;
    case Ids::ConvertSelected:
        m_batch->OnConvertSelected();
        break;
    case Ids::StopConvert:
        m_batch->OnStopConvert();
        break;
    case Ids::PauseConvert:
        m_batch->OnPauseConvert();
        break;
    case Ids::RemoveCompleted:
        if (QueryCommand(id).enabled) {
            m_tasks.RemoveCompleted();
            m_taskView->UpdateStatusCounts();
        }
        break;
    case Ids::SaveTask:
        OnSaveTask();
        break;
    case Ids::FileOpen:
        OnOpenTask();
        break;
    case Ids::TaskInfo:
    case Ids::TaskInfoButton:
        OnTaskInfo();
        break;
    case Ids::Property:
        OnProperty();
        break;
    case Ids::Options:
        OnOptions();
        break;
    case Ids::About:
    case Ids::SysAbout:
        OnAbout();
        break;
    case Ids::Contents:
    case Ids::HelpKey:
        OnHelpContents();
        break;
    case Ids::Feedback:
        Launcher::Current().SendFeedback();
        break;
    case Ids::Explore:
        OnExploreDestination();
        break;
    case Ids::OpenConvertedFolder:
        OnOpenConvertedFolder();
        break;
    case Ids::PlayConverted:
        m_preview->Player().PlayConvertedFiles();
        break;
    case Ids::AddConvertedAsTasks:
        OnAddConvertedAsTasks();
        break;
    case Ids::Exit:
        // The one question that is not translated.
        if (AskOkCancel(this, QStringLiteral("确认退出？")))
            close();
        break;
    case Ids::ViewPreview:
        m_settings.SetPreviewHidden(!m_settings.IsPreviewHidden());
        m_controls.LayoutListAndPreview(this, width(), height(), m_settings.IsPreviewHidden());
        m_taskView->FitColumns();
        break;
    default:
        break;
    }
}

void CCorvaneStudioDlg::OnSetLanguage(int commandId)
{
    m_settings.SetLanguage(languageIndexOfCommand(commandId));
    ApplyLanguage();
    update();
}

bool CCorvaneStudioDlg::OnClose()
{
    if (m_batch->HasWorker() && !AskOkCancel(this, GetLangString(QStringLiteral("@7"))))
        return false;
    m_settings.SetLanguageKept(true);
    // Stopped as by Stop Convert; the worker finishes its run by itself and is waited
    // for before the records it may still read are freed.
    m_batch->StopAndWait();
    m_taskView->Close();
    // The list as it was at the close stays kept for the next start.
    delete m_keeper;
    m_keeper = nullptr;
    m_tasks.Clear();
    return true;
}

void CCorvaneStudioDlg::RowsListed(const QStringList &problems)
{
    m_taskView->UpdateStatusCounts();
    if (m_tasks.Count() > 0) {
        FindControl<QWidget>(this, Ids::ConvertAll)->setEnabled(true);
        FindControl<QWidget>(this, Ids::ConvertSelected)->setEnabled(true);
    }
    if (!problems.isEmpty())
        ShowMessage(this, problems.join(u'\n'), Prompter::Icon::Warning);
}

void CCorvaneStudioDlg::KeepQueue(const QString &path)
{
    // A list whose every row converted holds nothing to come back for: it goes without a question.
    int unfinished = 0;
    const int saved = SavedQueueSize(path, &unfinished);
    if (unfinished > 0
        && AskOkCancel(this, GetLangString(QStringLiteral("@181")).replace(QStringLiteral("%d"), QString::number(saved)))) {
        RowsListed(RestoreQueueState(m_tasks, path, false));
    }
    // A declined list is gone: from now on the file holds this session's.
    QString error;
    if (!WriteQueueState(path, m_tasks, &error))
        ShowMessage(this, error, Prompter::Icon::Warning);
    delete m_keeper;
    m_keeper = new QueueKeeper(m_tasks, path, this);
}

void CCorvaneStudioDlg::closeEvent(QCloseEvent *event)
{
    if (!OnClose()) {
        event->ignore();
        return;
    }
    event->accept();
    done(QDialog::Accepted);
}

void CCorvaneStudioDlg::keyPressEvent(QKeyEvent *event)
{
    // Escape and Return must not end the main window the way they end a dialog.
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    ThemedDialog::keyPressEvent(event);
}

void CCorvaneStudioDlg::reject()
{
    // Only the close path (closeEvent) ends the window.
}

void CCorvaneStudioDlg::contextMenuEvent(QContextMenuEvent *event)
{
    m_taskView->ShowListContextMenu(event->globalPos());
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
    m_taskView->OnDropFiles(paths);
}

void CCorvaneStudioDlg::OnCopyData(const QString &path)
{
    if (!path.isEmpty())
        m_taskView->AddFileByPath(path);
}

// --- Profile, destination and the shown task -------------------------------------------

void CCorvaneStudioDlg::OnProfileChanged()
{
    OnProfileSelectionChange(m_controls.profileCombo, m_controls.paramGrid, m_profile);
}

void CCorvaneStudioDlg::OnGridPropertyChanged(PropertyGridItem *property)
{
    // The first selected task's own tree, when it has one; otherwise the current tree.
    const QList<int> selected = m_tasks.SelectedRows();
    const TaskPtr task = selected.isEmpty() ? nullptr : m_tasks.Find(m_tasks.IdAt(selected.first()));
    if (task && task->useGlobalOutput != 1 && task->paramTree) {
        const PropertyChangeResult r = ApplyPropertyChange(property, task->paramTree.get(), m_controls.paramGrid);
        if (r.aspectMode)
            task->aspectMode = *r.aspectMode;
        return;
    }
    ApplyCurrentProfileChange(m_profile, property, m_controls.paramGrid);
}

void CCorvaneStudioDlg::OnDestinationKillFocus()
{
    const QString typed = m_controls.destination->text();
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
    const QString folder =
        Prompter::Current().Folder(this, GetLangString(QStringLiteral("@108")), m_controls.destination->text());
    if (folder.isEmpty())
        return;
    m_controls.destination->setText(folder);
    OnDestinationKillFocus();
}

void CCorvaneStudioDlg::ShowTaskSettings(int id)
{
    const TaskPtr task = m_tasks.Find(id);
    if (!task)
        return;
    QComboBox *combo = m_controls.profileCombo;
    const QSignalBlocker blocker(combo);
    if (task->useGlobalOutput == 1) {
        ShowParamFromTree(m_controls.paramGrid, m_profile.Tree());
        combo->setCurrentIndex(combo->findText(m_profile.Name(), Qt::MatchExactly));
        m_controls.destination->setText(m_globalDest);
    } else {
        m_controls.destination->setText(task->destFolder);
        m_controls.slider->setRange(0, task->durationSec);
        ShowParamFromTree(m_controls.paramGrid, task->paramTree ? task->paramTree.get() : m_profile.Tree());
        combo->setCurrentIndex(combo->findText(task->profileName, Qt::MatchExactly));
    }
    m_preview->ShowTrimRangeOf(*task);
}

void CCorvaneStudioDlg::ShowTaskRow(int id)
{
    const TaskPtr task = m_tasks.Find(id);
    if (!task)
        return;
    m_taskView->RefreshTask(id);
    if (task->useGlobalOutput == 0)
        ShowParamFromTree(m_controls.paramGrid, task->paramTree ? task->paramTree.get() : m_profile.Tree());
}
