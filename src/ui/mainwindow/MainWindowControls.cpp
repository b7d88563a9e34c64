#include "ui/mainwindow/MainWindowControls.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QTextEdit>
#include <QToolButton>

#include "ui/mainwindow/ControlIds.h"
#include "ui/widgets/CListCtrlEx.h"
#include "ui/widgets/CSliderCtrlEx.h"
#include "ui/mainwindow/PreviewArea.h"
#include "ui/widgets/ParameterEditor.h"
#include "ui/widgets/BrowseEdit.h"
#include "ui/widgets/ControlId.h"
#include "ui/widgets/DurationEdit.h"
#include "ui/widgets/ImageButton.h"
#include "ui/widgets/PropertyGrid.h"
#include "ui/widgets/StatusBar.h"

namespace {

void makeLargeButton(QWidget *window, const std::function<void(int)> &command, int id, const QString &text,
                     const QString &iconName)
{
    auto *b = new ImageButton(window);
    SetControlId(b, id);
    b->SetCaption(text);
    b->setIcon(QIcon(QStringLiteral(":/icons/%1.png").arg(iconName)));
    b->setIconSize(QSize(40, 40));
    b->setAutoRaise(false);
    QObject::connect(b, &QToolButton::clicked, window, [command, id] { command(id); });
}

void makeSmallButton(QWidget *window, const std::function<void(int)> &command, int id, const QString &text,
                     const QString &iconName)
{
    auto *b = new QToolButton(window);
    SetControlId(b, id);
    b->setText(text);
    b->setToolTip(text);
    b->setIcon(QIcon(QStringLiteral(":/icons/%1.png").arg(iconName)));
    b->setIconSize(QSize(16, 16));
    b->setToolButtonStyle(Qt::ToolButtonIconOnly);
    QObject::connect(b, &QToolButton::clicked, window, [command, id] { command(id); });
}

template <typename T>
T *child(QWidget *window, int id, T *widget)
{
    SetControlId(widget, id);
    Q_UNUSED(window);
    return widget;
}

} // namespace

MainWindowControls MainWindowControls::Create(QWidget *w, const std::function<void(int)> &command)
{
    MainWindowControls c;
    c.topStrip = child(w, Ids::TopStrip, new QWidget(w));
    c.bottomStrip = child(w, Ids::BottomStrip, new QWidget(w));

    makeLargeButton(w, command, Ids::AddFileButton, QStringLiteral("Add File"), QStringLiteral("add"));
    makeLargeButton(w, command, Ids::Delete, QStringLiteral("Delete"), QStringLiteral("delete"));
    makeLargeButton(w, command, Ids::Property, QStringLiteral("Property"), QStringLiteral("property"));
    makeLargeButton(w, command, Ids::TaskInfoButton, QStringLiteral("Task Info"), QStringLiteral("taskinfo"));
    makeLargeButton(w, command, Ids::Exit, QStringLiteral("Exit"), QStringLiteral("exit"));
    makeLargeButton(w, command, Ids::RemoveCompleted, QStringLiteral("Remove Completed"),
                    QStringLiteral("remove-completed"));
    makeLargeButton(w, command, Ids::PauseConvert, QStringLiteral("Pause"), QStringLiteral("pause-convert"));

    // Buttons the window keeps without showing them; their commands still run.
    for (auto [id, text] : {std::pair{Ids::SaveTask, "Save Task"}, std::pair{Ids::Options, "Options"},
                            std::pair{Ids::UpButton, "up"}, std::pair{Ids::DownButton, "Down"}}) {
        auto *b = child(w, id, new QPushButton(QString::fromLatin1(text), w));
        b->hide();
        const int commandId = id;
        QObject::connect(b, &QPushButton::clicked, w, [command, commandId] { command(commandId); });
    }
    child(w, Ids::InputLabel, new QLabel(w))->hide();
    auto *info = child(w, Ids::InfoEdit, new QTextEdit(w));
    info->setReadOnly(true);
    info->setStyleSheet(QStringLiteral("QTextEdit { padding-left: 3px; padding-right: 3px; }"));
    info->hide();
    for (int id : {Ids::HiddenEdit1078, Ids::HiddenEdit1007})
        child(w, id, new QLineEdit(w))->hide();
    for (int id : {Ids::Separator1, Ids::Separator2}) {
        auto *line = child(w, id, new QFrame(w));
        line->setFrameShape(QFrame::HLine);
        line->setFrameShadow(QFrame::Sunken);
    }

    auto *profileLabel = child(w, Ids::ProfileLabel, new QLabel(QStringLiteral("Profile:"), w));
    c.profileCombo = child(w, Ids::ProfileCombo, new QComboBox(w));
    profileLabel->setBuddy(c.profileCombo); // a screen reader names the list by its label
    c.profileCombo->setMaxVisibleItems(30);
    auto *detail = child(w, Ids::DetailButton, new QPushButton(QStringLiteral("Detail"), w));
    QObject::connect(detail, &QPushButton::clicked, w, [command] { command(Ids::DetailButton); });

    auto *destinationLabel = child(w, Ids::DestinationLabel, new QLabel(QStringLiteral("Destination:"), w));
    c.destination = child(w, Ids::DestinationEdit, new BrowseEdit(BrowseEdit::Mode::Folder, w));
    destinationLabel->setBuddy(c.destination);

    c.progress = child(w, Ids::ProgressBar, new QProgressBar(w));
    c.progress->setRange(0, 100);
    c.progress->setValue(0);
    c.progress->setTextVisible(false);

    makeLargeButton(w, command, Ids::ConvertSelected, QStringLiteral("Convert Selected"),
                    QStringLiteral("convert-selected"));
    makeLargeButton(w, command, Ids::ConvertAll, QStringLiteral("Convert All"), QStringLiteral("convert-all"));
    makeLargeButton(w, command, Ids::StopConvert, QStringLiteral("Stop Convert"), QStringLiteral("stop-convert"));

    c.paramGrid = child(w, Ids::ParamGrid, CreateMainParamGrid(w));
    c.paramGrid->hide();
    c.taskList = child(w, Ids::TaskList, new CListCtrlEx(w));

    c.previewArea = child(w, Ids::PreviewArea, new PreviewArea(w));
    child(w, Ids::PreviewFrame, new QFrame(w))->hide();
    makeSmallButton(w, command, Ids::PreviewPlay, QStringLiteral("Play"), QStringLiteral("play"));
    makeSmallButton(w, command, Ids::PreviewPause, QStringLiteral("Pause"), QStringLiteral("pause"));
    makeSmallButton(w, command, Ids::PreviewStop, QStringLiteral("Stop"), QStringLiteral("stop"));
    makeSmallButton(w, command, Ids::SetStart, QStringLiteral("Set Start "), QStringLiteral("set-start"));
    makeSmallButton(w, command, Ids::SetStop, QStringLiteral("Set Stop"), QStringLiteral("set-stop"));

    c.startTime = child(w, Ids::StartTime, new DurationEdit(w));
    c.stopTime = child(w, Ids::StopTime, new DurationEdit(w));
    // "00:00:00" and the spin buttons share 68 pixels: a slightly smaller font fits them.
    for (DurationEdit *edit : {c.startTime, c.stopTime}) {
        QFont small = edit->font();
        small.setPointSizeF(small.pointSizeF() * 0.85);
        edit->setFont(small);
    }
    c.timeLabel = child(w, Ids::TimeLabel, new QLabel(QStringLiteral("00:00:00 / 00:00:00"), w));
    c.timeLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    c.slider = child(w, Ids::PositionSlider, new CSliderCtrlEx(w));
    c.slider->setRange(0, 0);

    c.menuBar = child(w, Ids::MenuBar, new QMenuBar(w));
    c.menuBar->setNativeMenuBar(false);
    c.statusBar = child(w, Ids::StatusBar, new StatusBar(4, w));
    return c;
}

void MainWindowControls::Layout(QWidget *w, int cx, int cy, bool previewHidden) const
{
    w->update();
    topStrip->setGeometry(0, 0, cx, 25);
    menuBar->setGeometry(topStrip->geometry());
    menuBar->raise();

    LayoutListAndPreview(w, cx, cy, previewHidden);

    const int lefts[] = {15, 108, 201, 294, 387, 480, 573};
    const int large[] = {Ids::AddFileButton, Ids::Delete,          Ids::Property,    Ids::TaskInfoButton,
                         Ids::Exit,          Ids::RemoveCompleted, Ids::PauseConvert};
    for (int i = 0; i < 7; ++i)
        FindControl<QWidget>(w, large[i])->setGeometry(lefts[i], 26, 90, 74);

    FindControl<QWidget>(w, Ids::Separator1)->setGeometry(0, 103, cx, 2);
    FindControl<QWidget>(w, Ids::Separator2)->setGeometry(0, cy - 110, cx, 2);
    const int b = cy - 110;
    FindControl<QWidget>(w, Ids::ProfileLabel)->setGeometry(10, b + 13, 80, 22);
    profileCombo->setGeometry(90, b + 11, cx - 494, profileCombo->sizeHint().height());
    FindControl<QWidget>(w, Ids::DetailButton)->setGeometry(cx - 400, b + 11, 60, 20);
    FindControl<QWidget>(w, Ids::DestinationLabel)->setGeometry(10, b + 42, 80, 22);
    destination->setGeometry(90, b + 39, cx - 430, 22);
    progress->setGeometry(7, b + 69, cx - 344, 15);
    FindControl<QWidget>(w, Ids::ConvertSelected)->setGeometry(cx - 286, b + 11, 90, 76);
    FindControl<QWidget>(w, Ids::ConvertAll)->setGeometry(cx - 191, b + 11, 90, 76);
    FindControl<QWidget>(w, Ids::StopConvert)->setGeometry(cx - 96, b + 11, 90, 76);

    paramGrid->hide();
    bottomStrip->setGeometry(0, cy - 20, cx, 20);
    statusBar->setGeometry(bottomStrip->geometry());
    statusBar->raise();
}

void MainWindowControls::LayoutListAndPreview(QWidget *w, int cx, int cy, bool previewHidden) const
{
    static constexpr int previewControls[] = {Ids::PreviewArea, Ids::PreviewPlay, Ids::PreviewPause,
                                              Ids::PreviewStop, Ids::SetStart, Ids::StartTime,
                                              Ids::SetStop, Ids::StopTime, Ids::TimeLabel,
                                              Ids::PositionSlider};
    if (previewHidden) {
        taskList->setGeometry(4, 108, cx - 8, cy - 230);
        for (int id : previewControls)
            FindControl<QWidget>(w, id)->hide();
        return;
    }
    const int h = cx / 2;
    taskList->setGeometry(4, 108, h - 6, cy - 230);
    previewArea->setGeometry(h + 2, 108, h - 6, cy - 300);
    FindControl<QWidget>(w, Ids::PreviewFrame)->setGeometry(h + 2, 108, h - 6, cy - 286);
    FindControl<QWidget>(w, Ids::PreviewPlay)->setGeometry(h + 5, cy - 145, 25, 22);
    FindControl<QWidget>(w, Ids::PreviewPause)->setGeometry(h + 33, cy - 145, 25, 22);
    FindControl<QWidget>(w, Ids::PreviewStop)->setGeometry(h + 61, cy - 145, 25, 22);
    FindControl<QWidget>(w, Ids::SetStart)->setGeometry(cx - 230, cy - 145, 25, 22);
    startTime->setGeometry(cx - 200, cy - 145, 68, 22);
    FindControl<QWidget>(w, Ids::SetStop)->setGeometry(cx - 113, cy - 145, 25, 22);
    stopTime->setGeometry(cx - 83, cy - 145, 68, 22);
    timeLabel->setGeometry(cx - 130, cy - 185, 120, 15);
    slider->setGeometry(h + 5, cy - 174, h - 8, 25);
    for (int id : previewControls)
        FindControl<QWidget>(w, id)->show();
}
