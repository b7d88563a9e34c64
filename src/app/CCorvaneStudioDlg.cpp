#include "app/CCorvaneStudioDlg.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QStyle>
#include <QTableWidget>
#include <QTextEdit>
#include <QToolButton>

#include "app/AppSettings.h"
#include "app/ControlIds.h"
#include "app/MenuResources.h"
#include "app/PathReceiver.h"
#include "controls/CListCtrlEx.h"
#include "controls/CSliderCtrlEx.h"
#include "preview/PreviewArea.h"
#include "preview/PreviewPlayer.h"
#include "toolkit/Looks.h"
#include "toolkit/ThreadGroup.h"
#include "toolkit/DurationEdit.h"
#include "profiles/CDetailDialog.h"
#include "profiles/ParamDisplayNames.h"
#include "profiles/ParameterEditor.h"
#include "profiles/ProfileSelector.h"
#include "toolkit/PropertyGrid.h"
#include "toolkit/Prompter.h"
#include "lang/DialogTexts.h"
#include "lang/Language.h"
#include "lang/MenuTexts.h"
#include "toolkit/BrowseEdit.h"
#include "toolkit/ImageButton.h"
#include "toolkit/ControlId.h"
#include "toolkit/StatusBar.h"

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
};

constexpr const char *kColumnHeaders[] = {"@13", "@14", "@16", "@17", "@18", "@19", "@20"};
constexpr int kColumnFactors[] = {14, 10, 20, 10, 18, 15, 100, 0};

} // namespace

QString CCorvaneStudioDlg::ProductName()
{
    return QStringLiteral("CorvaneStudio");
}

CCorvaneStudioDlg::CCorvaneStudioDlg(AppSettings &settings, const QStringList &commandLineFiles, QWidget *parent)
    : ThemedDialog(parent), m_settings(settings), m_commandLineFiles(commandLineFiles),
      m_preview(std::make_unique<PreviewPlayer>(*this))
{
    m_probeThreads = new ThreadGroup(this);
    m_workerThreads = new ThreadGroup(this);
    connect(m_workerThreads, &ThreadGroup::finished, this, [this](ThreadGroup::Id id) {
        if (m_workerThread == id)
            m_workerThread = 0;
    });
    setWindowTitle(ProductName());
    setWindowFlags(Qt::Window | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    setMinimumSize(kMinWidth, kMinHeight);
    resize(980, 680);
    OnInitDialog();
}

CCorvaneStudioDlg::~CCorvaneStudioDlg()
{
    m_closing = true;
    m_flags.stopRequested = true;
    m_flags.engine.Kill();
    WaitForWorkers();
    WaitForProbeThreads();
}

void CCorvaneStudioDlg::OnInitDialog()
{
    EnableVisualManagerStyle(true);
    CreateControls();
    CreateMenuBar();
    LayoutControls(width(), height());

    // Task list columns; widths follow the dialog font.
    const int charWidth = fontMetrics().averageCharWidth();
    m_taskList->setColumnCount(8);
    for (int c = 0; c < 8; ++c)
        m_taskList->setColumnWidth(c, charWidth * kColumnFactors[c]);
    m_taskList->setColumnHidden(7, true);

    m_taskList->CreateRowProgress(3);

    ParamDisplayNames::Rebuild();
    m_profileCombo->view()->setMinimumWidth(100);
    m_profile.SetFolders(m_settings.Folders());
    LoadProfiles(m_settings.Folders().DataFile(QStringLiteral("profile.ini")), m_profileCombo, m_paramGrid, m_profile);
    m_globalDest = m_settings.GetSavedPath();
    m_destination->setText(m_settings.GetSavedPath());

    ApplyLanguage();

    // The preview attaches to its area once the window has its first layout.
    m_preview->LoadAndInitialise(m_settings.Folders().LibraryFolder());

    // Paths from a second start of the program arrive here.
    m_pathReceiver = new PathReceiver(this);
    m_pathReceiver->Listen(PathReceiver::ServerNameFor(m_settings.GetProgramFolder()));
    connect(m_pathReceiver, &PathReceiver::pathReceived, this, &CCorvaneStudioDlg::OnCopyData);

    for (const QString &path : std::as_const(m_commandLineFiles))
        AddFileByPath(path);
    m_commandLineFiles.clear();

    m_look = Looks::LoadStoredLook();
    Looks::ApplyLook(m_look);
    CreateShortcuts();

    m_taskList->setFocus();
}

ImageButton *CCorvaneStudioDlg::MakeLargeButton(int id, const QString &text, const QString &iconName)
{
    auto *b = new ImageButton(this);
    SetControlId(b, id);
    b->SetCaption(text);
    b->setIcon(QIcon(QStringLiteral(":/icons/%1.png").arg(iconName)));
    b->setIconSize(QSize(40, 40));
    b->setAutoRaise(false);
    connect(b, &QToolButton::clicked, this, [this, id] { OnCommand(id); });
    return b;
}

QToolButton *CCorvaneStudioDlg::MakeSmallButton(int id, const QString &text, const QString &iconName)
{
    auto *b = new QToolButton(this);
    SetControlId(b, id);
    b->setText(text);
    b->setToolTip(text);
    b->setIcon(QIcon(QStringLiteral(":/icons/%1.png").arg(iconName)));
    b->setIconSize(QSize(16, 16));
    b->setToolButtonStyle(Qt::ToolButtonIconOnly);
    connect(b, &QToolButton::clicked, this, [this, id] { OnCommand(id); });
    return b;
}

void CCorvaneStudioDlg::CreateControls()
{
    m_topStrip = new QWidget(this);
    SetControlId(m_topStrip, Ids::TopStrip);
    m_bottomStrip = new QWidget(this);
    SetControlId(m_bottomStrip, Ids::BottomStrip);

    MakeLargeButton(Ids::AddFileButton, QStringLiteral("Add File"), QStringLiteral("add"));
    MakeLargeButton(Ids::Delete, QStringLiteral("Delete"), QStringLiteral("delete"));
    MakeLargeButton(Ids::Property, QStringLiteral("Property"), QStringLiteral("property"));
    MakeLargeButton(Ids::TaskInfoButton, QStringLiteral("Task Info"), QStringLiteral("taskinfo"));
    MakeLargeButton(Ids::Exit, QStringLiteral("Exit"), QStringLiteral("exit"));

    // Buttons the window keeps without showing them; their commands still run.
    for (auto [id, text] : {std::pair{Ids::SaveTask, "Save Task"}, std::pair{Ids::Options, "Options"},
                            std::pair{Ids::UpButton, "up"}, std::pair{Ids::DownButton, "Down"}}) {
        auto *b = new QPushButton(QString::fromLatin1(text), this);
        SetControlId(b, id);
        b->hide();
        const int command = id;
        connect(b, &QPushButton::clicked, this, [this, command] { OnCommand(command); });
    }
    auto *inputLabel = new QLabel(this);
    SetControlId(inputLabel, Ids::InputLabel);
    inputLabel->hide();
    auto *info = new QTextEdit(this);
    SetControlId(info, Ids::InfoEdit);
    info->setReadOnly(true);
    info->setStyleSheet(QStringLiteral("QTextEdit { padding-left: 3px; padding-right: 3px; }"));
    info->hide();
    for (int id : {Ids::HiddenEdit1078, Ids::HiddenEdit1007}) {
        auto *e = new QLineEdit(this);
        SetControlId(e, id);
        e->hide();
    }

    for (int id : {Ids::Separator1, Ids::Separator2}) {
        auto *line = new QFrame(this);
        SetControlId(line, id);
        line->setFrameShape(QFrame::HLine);
        line->setFrameShadow(QFrame::Sunken);
    }

    auto *profileLabel = new QLabel(QStringLiteral("Profile:"), this);
    SetControlId(profileLabel, Ids::ProfileLabel);
    m_profileCombo = new QComboBox(this);
    SetControlId(m_profileCombo, Ids::ProfileCombo);
    m_profileCombo->setMaxVisibleItems(30);
    auto *detail = new QPushButton(QStringLiteral("Detail"), this);
    SetControlId(detail, Ids::DetailButton);
    connect(detail, &QPushButton::clicked, this, [this] { OnCommand(Ids::DetailButton); });

    auto *destinationLabel = new QLabel(QStringLiteral("Destination:"), this);
    SetControlId(destinationLabel, Ids::DestinationLabel);
    auto *destination = new BrowseEdit(BrowseEdit::Mode::Folder, this);
    SetControlId(destination, Ids::DestinationEdit);
    m_destination = destination;
    m_destinationField = destination;
    connect(destination, &BrowseEdit::focusLeft, this, &CCorvaneStudioDlg::OnDestinationKillFocus);
    connect(destination, &BrowseEdit::browseRequested, this, &CCorvaneStudioDlg::OnExploreDestination);

    m_progress = new QProgressBar(this);
    SetControlId(m_progress, Ids::ProgressBar);
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    m_progress->setTextVisible(false);

    MakeLargeButton(Ids::ConvertSelected, QStringLiteral("Convert Selected"), QStringLiteral("convert-selected"));
    MakeLargeButton(Ids::ConvertAll, QStringLiteral("Convert All"), QStringLiteral("convert-all"));
    MakeLargeButton(Ids::StopConvert, QStringLiteral("Stop Convert"), QStringLiteral("stop-convert"));

    m_paramGrid = CreateMainParamGrid(this);
    SetControlId(m_paramGrid, Ids::ParamGrid);
    m_paramGrid->hide();
    connect(m_paramGrid, &PropertyGrid::PropertyChanged, this, &CCorvaneStudioDlg::OnGridPropertyChanged);
    connect(m_profileCombo, &QComboBox::currentIndexChanged, this, &CCorvaneStudioDlg::OnProfileChanged);

    m_taskList = new CListCtrlEx(this);
    SetControlId(m_taskList, Ids::TaskList);
    connect(m_taskList, &CListCtrlEx::leftClicked, this, &CCorvaneStudioDlg::OnListClick);
    setAcceptDrops(true);

    m_previewArea = new PreviewArea(this);
    SetControlId(m_previewArea, Ids::PreviewArea);
    auto *frame = new QFrame(this);
    SetControlId(frame, Ids::PreviewFrame);
    frame->hide();

    MakeSmallButton(Ids::PreviewPlay, QStringLiteral("Play"), QStringLiteral("play"));
    MakeSmallButton(Ids::PreviewPause, QStringLiteral("Pause"), QStringLiteral("pause"));
    MakeSmallButton(Ids::PreviewStop, QStringLiteral("Stop"), QStringLiteral("stop"));
    MakeSmallButton(Ids::SetStart, QStringLiteral("Set Start "), QStringLiteral("set-start"));
    MakeSmallButton(Ids::SetStop, QStringLiteral("Set Stop"), QStringLiteral("set-stop"));

    m_startTime = new DurationEdit(this);
    SetControlId(m_startTime, Ids::StartTime);
    m_stopTime = new DurationEdit(this);
    SetControlId(m_stopTime, Ids::StopTime);
    // "00:00:00" and the spin buttons share 68 pixels: a slightly smaller font fits them.
    for (DurationEdit *edit : {m_startTime, m_stopTime}) {
        QFont small = edit->font();
        small.setPointSizeF(small.pointSizeF() * 0.85);
        edit->setFont(small);
    }

    m_timeLabel = new QLabel(QStringLiteral("00:00:00 / 00:00:00"), this);
    SetControlId(m_timeLabel, Ids::TimeLabel);
    m_timeLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    m_slider = new CSliderCtrlEx(this);
    SetControlId(m_slider, Ids::PositionSlider);
    m_slider->setRange(0, 0);
    connect(m_slider, &CSliderCtrlEx::released, this, [this] { m_preview->OnSliderReleased(); });
}

void CCorvaneStudioDlg::CreateMenuBar()
{
    m_menuBar = new QMenuBar(this);
    SetControlId(m_menuBar, Ids::MenuBar);
    m_menuBar->setNativeMenuBar(false);
    BuildMenuBar(m_menuBar, MainMenuResource(), this);

    m_statusBar = new StatusBar(4, this);
    SetControlId(m_statusBar, Ids::StatusBar);
}


void CCorvaneStudioDlg::ApplyLanguage()
{
    ParamDisplayNames::Rebuild();
    // Grids show their labels from the table: the main grid is filled again.
    if (TaskPtr task = m_tasks.Find(m_currentTaskId); task && task->useGlobalOutput == 0 && task->paramTree)
        ShowParamFromTree(m_paramGrid, task->paramTree.get());
    else
        ShowParamFromTree(m_paramGrid, m_profile.Tree());

    ApplyDialogTexts(this, kCaptions);

    m_statusBar->SetPaneText(1, GetLangString(QStringLiteral("@106")));

    QStringList headers;
    for (const char *id : kColumnHeaders)
        headers << GetLangString(QString::fromLatin1(id));
    headers << QString();
    m_taskList->setHorizontalHeaderLabels(headers);

    UpdateStatusCounts();

    int popupCounter = 0;
    ApplyMenuTexts(m_menuBar->actions(), popupCounter);
    m_menuBar->setGeometry(m_topStrip->geometry());

    setWindowTitle(ProductName());
}

void CCorvaneStudioDlg::UpdateStatusCounts()
{
    const int count = m_taskList->rowCount();
    if (count == 0) {
        m_statusBar->SetPaneText(2, GetLangString(QStringLiteral("@117")));
        m_statusBar->SetPaneText(3, GetLangString(QStringLiteral("@118")));
        return;
    }
    m_statusBar->SetPaneText(2, QString::number(count));
    m_statusBar->SetPaneText(3, QString::number(m_taskList->SelectedCount()));
}

void CCorvaneStudioDlg::resizeEvent(QResizeEvent *event)
{
    ThemedDialog::resizeEvent(event);
    LayoutControls(width(), height());
}

void CCorvaneStudioDlg::LayoutControls(int cx, int cy)
{
    if (!m_taskList)
        return;
    update();
    m_topStrip->setGeometry(0, 0, cx, 25);
    m_menuBar->setGeometry(m_topStrip->geometry());
    m_menuBar->raise();

    LayoutListAndPreview(cx, cy);
    m_preview->Resize(); // acts only while a file plays or pauses

    const int lefts[] = {15, 108, 201, 294, 387};
    const int large[] = {Ids::AddFileButton, Ids::Delete, Ids::Property, Ids::TaskInfoButton, Ids::Exit};
    for (int i = 0; i < 5; ++i)
        FindControl<QWidget>(this, large[i])->setGeometry(lefts[i], 26, 90, 74);

    FindControl<QWidget>(this, Ids::Separator1)->setGeometry(0, 103, cx, 2);
    FindControl<QWidget>(this, Ids::Separator2)->setGeometry(0, cy - 110, cx, 2);
    const int b = cy - 110;
    FindControl<QWidget>(this, Ids::ProfileLabel)->setGeometry(10, b + 13, 80, 22);
    m_profileCombo->setGeometry(90, b + 11, cx - 494, m_profileCombo->sizeHint().height());
    FindControl<QWidget>(this, Ids::DetailButton)->setGeometry(cx - 400, b + 11, 60, 20);
    FindControl<QWidget>(this, Ids::DestinationLabel)->setGeometry(10, b + 42, 80, 22);
    m_destinationField->setGeometry(90, b + 39, cx - 430, 22);
    m_progress->setGeometry(7, b + 69, cx - 344, 15);
    FindControl<QWidget>(this, Ids::ConvertSelected)->setGeometry(cx - 286, b + 11, 90, 76);
    FindControl<QWidget>(this, Ids::ConvertAll)->setGeometry(cx - 191, b + 11, 90, 76);
    FindControl<QWidget>(this, Ids::StopConvert)->setGeometry(cx - 96, b + 11, 90, 76);

    m_paramGrid->hide();
    m_bottomStrip->setGeometry(0, cy - 20, cx, 20);
    m_statusBar->setGeometry(m_bottomStrip->geometry());
    m_statusBar->raise();

    UpdateStatusCounts();
}

void CCorvaneStudioDlg::LayoutListAndPreview(int cx, int cy)
{
    static constexpr int previewControls[] = {Ids::PreviewArea, Ids::PreviewPlay, Ids::PreviewPause,
                                              Ids::PreviewStop, Ids::SetStart, Ids::StartTime,
                                              Ids::SetStop, Ids::StopTime, Ids::TimeLabel,
                                              Ids::PositionSlider};
    if (m_settings.IsPreviewHidden()) {
        m_taskList->setGeometry(4, 108, cx - 8, cy - 230);
        for (int id : previewControls)
            FindControl<QWidget>(this, id)->hide();
        return;
    }
    const int h = cx / 2;
    m_taskList->setGeometry(4, 108, h - 6, cy - 230);
    m_previewArea->setGeometry(h + 2, 108, h - 6, cy - 300);
    FindControl<QWidget>(this, Ids::PreviewFrame)->setGeometry(h + 2, 108, h - 6, cy - 286);
    FindControl<QWidget>(this, Ids::PreviewPlay)->setGeometry(h + 5, cy - 145, 25, 22);
    FindControl<QWidget>(this, Ids::PreviewPause)->setGeometry(h + 33, cy - 145, 25, 22);
    FindControl<QWidget>(this, Ids::PreviewStop)->setGeometry(h + 61, cy - 145, 25, 22);
    FindControl<QWidget>(this, Ids::SetStart)->setGeometry(cx - 230, cy - 145, 25, 22);
    m_startTime->setGeometry(cx - 200, cy - 145, 68, 22);
    FindControl<QWidget>(this, Ids::SetStop)->setGeometry(cx - 113, cy - 145, 25, 22);
    m_stopTime->setGeometry(cx - 83, cy - 145, 68, 22);
    m_timeLabel->setGeometry(cx - 130, cy - 185, 120, 15);
    m_slider->setGeometry(h + 5, cy - 174, h - 8, 25);
    for (int id : previewControls)
        FindControl<QWidget>(this, id)->show();
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
    const int rows = m_taskList->rowCount();
    const bool anySelected = m_taskList->SelectedCount() > 0;
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
        OnAddFile();
        break;
    case Ids::Delete:
        OnDelete();
        break;
    case Ids::SelectAll:
        OnSelectAll();
        break;
    case Ids::UpButton:
        OnMoveUp();
        break;
    case Ids::DownButton:
        OnMoveDown();
        break;
    case Ids::PreviewPlay:
    case Ids::Play:
        m_preview->Play();
        break;
    case Ids::PreviewPause:
        m_preview->Pause();
        break;
    case Ids::PreviewStop:
        m_preview->Stop();
        break;
    case Ids::SetStart:
        OnSetStart();
        break;
    case Ids::SetStop:
        OnSetStop();
        break;
    case Ids::DetailButton:
        RunDetailDialog(this, m_profile, m_profileCombo->currentText());
        break;
    case Ids::ConvertAll:
        OnConvertAll();
        break;
    case Ids::ConvertSelected:
        OnConvertSelected();
        break;
    case Ids::StopConvert:
        OnStopConvert();
        break;
    case Ids::SaveTask:
        OnSaveTask();
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
        OnFeedback();
        break;
    case Ids::Explore:
        OnExploreDestination();
        break;
    case Ids::OpenConvertedFolder:
        OnOpenConvertedFolder();
        break;
    case Ids::PlayConverted:
        m_preview->PlayConvertedFiles();
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
        LayoutListAndPreview(width(), height());
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
    if (m_workerThread != 0 && !AskOkCancel(this, GetLangString(QStringLiteral("@7"))))
        return false;
    m_settings.SetLanguageKept(true);
    if (m_flags.converting) {
        // Stopped as by Stop Convert; the worker finishes its run by itself and is
        // waited for before the records it may still read are freed.
        m_flags.stopRequested = true;
        m_flags.engine.Kill();
        m_workerThread = 0;
    }
    m_closing = true;
    WaitForWorkers();
    WaitForProbeThreads();
    FreeAllTasks();
    return true;
}

void CCorvaneStudioDlg::FreeAllTasks()
{
    m_tasks.Clear();
}

void CCorvaneStudioDlg::OnProfileChanged()
{
    OnProfileSelectionChange(m_profileCombo, m_paramGrid, m_profile);
}

void CCorvaneStudioDlg::OnGridPropertyChanged(PropertyGridItem *property)
{
    // The first selected task's own tree, when it has one; otherwise the current tree.
    TaskPtr task;
    for (int row = 0; row < m_taskList->rowCount() && !task; ++row)
        if (m_taskList->IsRowSelected(row))
            task = TaskOfRow(row);
    if (task && task->useGlobalOutput != 1 && task->paramTree) {
        const PropertyChangeResult r = ApplyPropertyChange(property, task->paramTree.get(), m_paramGrid);
        if (r.aspectMode)
            task->aspectMode = *r.aspectMode;
        return;
    }
    ApplyCurrentProfileChange(m_profile, property, m_paramGrid);
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
