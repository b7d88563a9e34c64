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
#include "lang/Language.h"
#include "lang/MenuTexts.h"
#include "toolkit/BrowseEdit.h"
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

struct CaptionId
{
    int control;
    const char *textId;
};
// Captions set from the language on every switch.
constexpr CaptionId kCaptions[] = {
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
    : ThemedDialog(parent), m_settings(settings), m_commandLineFiles(commandLineFiles)
{
    setWindowTitle(ProductName());
    setWindowFlags(Qt::Window | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    setMinimumSize(kMinWidth, kMinHeight);
    resize(980, 680);
    OnInitDialog();
}

CCorvaneStudioDlg::~CCorvaneStudioDlg() = default;

void CCorvaneStudioDlg::OnInitDialog()
{
    EnableVisualManagerStyle(true);
    setWindowIcon(QIcon(QStringLiteral(":/icons/app.png")));
    CreateControls();
    CreateMenuBar();
    LayoutControls(width(), height());

    // Task list columns; widths follow the dialog font.
    const int charWidth = fontMetrics().averageCharWidth();
    m_taskList->setColumnCount(8);
    for (int c = 0; c < 8; ++c)
        m_taskList->setColumnWidth(c, charWidth * kColumnFactors[c]);
    m_taskList->setColumnHidden(7, true);

    m_profileCombo->view()->setMinimumWidth(100);
    m_destination->setText(m_settings.GetSavedPath());

    ApplyLanguage();

    m_taskList->setFocus();
}

QToolButton *CCorvaneStudioDlg::MakeLargeButton(int id, const QString &text, const QString &iconName)
{
    auto *b = new QToolButton(this);
    SetControlId(b, id);
    b->setText(text);
    b->setIcon(QIcon(QStringLiteral(":/icons/%1.png").arg(iconName)));
    b->setIconSize(QSize(40, 40));
    b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
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

    m_progress = new QProgressBar(this);
    SetControlId(m_progress, Ids::ProgressBar);
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    m_progress->setTextVisible(false);

    MakeLargeButton(Ids::ConvertSelected, QStringLiteral("Convert Selected"), QStringLiteral("convert-selected"));
    MakeLargeButton(Ids::ConvertAll, QStringLiteral("Convert All"), QStringLiteral("convert-all"));
    MakeLargeButton(Ids::StopConvert, QStringLiteral("Stop Convert"), QStringLiteral("stop-convert"));

    m_paramGrid = new QWidget(this);
    SetControlId(m_paramGrid, Ids::ParamGrid);
    m_paramGrid->hide();

    m_taskList = new QTableWidget(this);
    SetControlId(m_taskList, Ids::TaskList);
    m_taskList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_taskList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_taskList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_taskList->setShowGrid(true);
    m_taskList->verticalHeader()->hide();
    m_taskList->horizontalHeader()->setSectionsClickable(false);
    m_taskList->horizontalHeader()->setHighlightSections(false);

    m_previewArea = new QFrame(this);
    SetControlId(m_previewArea, Ids::PreviewArea);
    m_previewArea->setFrameShape(QFrame::Panel);
    m_previewArea->setFrameShadow(QFrame::Sunken);
    auto *frame = new QFrame(this);
    SetControlId(frame, Ids::PreviewFrame);
    frame->hide();

    MakeSmallButton(Ids::PreviewPlay, QStringLiteral("Play"), QStringLiteral("play"));
    MakeSmallButton(Ids::PreviewPause, QStringLiteral("Pause"), QStringLiteral("pause"));
    MakeSmallButton(Ids::PreviewStop, QStringLiteral("Stop"), QStringLiteral("stop"));
    MakeSmallButton(Ids::SetStart, QStringLiteral("Set Start "), QStringLiteral("set-start"));
    MakeSmallButton(Ids::SetStop, QStringLiteral("Set Stop"), QStringLiteral("set-stop"));

    m_startTime = new QWidget(this);
    SetControlId(m_startTime, Ids::StartTime);
    m_stopTime = new QWidget(this);
    SetControlId(m_stopTime, Ids::StopTime);

    m_timeLabel = new QLabel(QStringLiteral("00:00:00 / 00:00:00"), this);
    SetControlId(m_timeLabel, Ids::TimeLabel);
    m_timeLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    m_slider = new QSlider(Qt::Horizontal, this);
    SetControlId(m_slider, Ids::PositionSlider);
    m_slider->setRange(0, 0);
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

void CCorvaneStudioDlg::SetControlText(int id, const QString &text)
{
    QWidget *w = FindControl<QWidget>(this, id);
    if (auto *button = qobject_cast<QAbstractButton *>(w)) {
        button->setText(text);
        if (auto *tool = qobject_cast<QToolButton *>(button); tool && tool->toolButtonStyle() == Qt::ToolButtonIconOnly)
            tool->setToolTip(text);
    } else if (auto *label = qobject_cast<QLabel *>(w)) {
        label->setText(text);
    }
}

void CCorvaneStudioDlg::ApplyLanguage()
{
    for (const CaptionId &c : kCaptions)
        SetControlText(c.control, GetLangString(QString::fromLatin1(c.textId)));

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
    int selected = 0;
    for (int r = 0; r < count; ++r)
        if (m_taskList->selectionModel()->isRowSelected(r, QModelIndex()))
            ++selected;
    m_statusBar->SetPaneText(2, QString::number(count));
    m_statusBar->SetPaneText(3, QString::number(selected));
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
    const int index = languageIndexOfCommand(id);
    if (index >= 0) {
        s.checkable = true;
        s.checked = m_settings.GetLanguage().GetLanguageIndex() == index;
        return s;
    }
    switch (id) {
    case Ids::ViewPreview:
        s.checkable = true;
        s.checked = !m_settings.IsPreviewHidden();
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
    switch (id) {
    case Ids::Exit:
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
    m_settings.SetLanguageKept(true);
    return true;
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
