#include "ui/dialogs/CPersonalSetDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "core/settings/AppSettings.h"
#include "core/tasks/MediaFileTypes.h"
#include "core/tasks/TaskList.h"
#include "ui/dialogs/PersonalSetHost.h"
#include "core/conversion/OutputNaming.h"
#include "core/conversion/TaskProbe.h"
#include "base/SplitString.h"
#include "ui/dialogs/DialogTexts.h"
#include "core/settings/Language.h"
#include "core/profiles/CMpegStructs.h"
#include "core/profiles/CurrentProfile.h"
#include "core/profiles/ParamOptions.h"
#include "ui/widgets/ParameterEditor.h"
#include "core/profiles/PersonalSettings.h"
#include "core/profiles/ProfileCatalogue.h"
#include "ui/widgets/ProfileSelector.h"
#include "ui/widgets/ControlId.h"
#include "ui/widgets/Prompter.h"

CPersonalSetDialog::CPersonalSetDialog(ParamCell *currentTree, int taskId, PersonalSetHost &host,
                                       QWidget *parent)
    : ThemedDialog(parent), m_currentTree(currentTree), m_taskId(taskId), m_host(host)
{
    EnableVisualManagerStyle(true);
    resize(470, 560);
    auto *layout = new QVBoxLayout(this);

    auto *sourceGroup = WithControlId(new QGroupBox(QStringLiteral("Source"), this), kSourceGroupId);
    auto *sourceRow = new QHBoxLayout(sourceGroup);
    sourceRow->addWidget(WithControlId(new QLabel(QStringLiteral("Open file:"), sourceGroup), kSourceLabelId));
    m_source = WithControlId(new QLineEdit(sourceGroup), kSourceEditId);
    sourceRow->addWidget(m_source, 1);
    m_open = WithControlId(new QPushButton(QStringLiteral("Open"), sourceGroup), kOpenId);
    m_open->setAutoDefault(false);
    sourceRow->addWidget(m_open);
    layout->addWidget(sourceGroup);

    auto *targetGroup = WithControlId(new QGroupBox(QStringLiteral("Target"), this), kTargetGroupId);
    auto *target = new QGridLayout(targetGroup);
    m_useGlobal = WithControlId(new QCheckBox(QStringLiteral("Use Global Output Seting"), targetGroup), kUseGlobalId);
    target->addWidget(m_useGlobal, 0, 0, 1, 2);
    target->addWidget(WithControlId(new QLabel(QStringLiteral("Save as:"), targetGroup), kOutputLabelId), 1, 0);
    m_output = WithControlId(new QLineEdit(targetGroup), kOutputEditId);
    target->addWidget(m_output, 1, 1);
    target->addWidget(WithControlId(new QLabel(QStringLiteral("Profile:"), targetGroup), kProfileLabelId), 2, 0);
    m_profile = WithControlId(new QComboBox(targetGroup), kProfileComboId);
    m_profile->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    target->addWidget(m_profile, 2, 1);
    target->setColumnStretch(1, 1);
    layout->addWidget(targetGroup);

    // 1. The grid over the placeholder area: bordered, reached with Tab.
    m_grid = WithControlId(CreateParamGrid(this), kGridId);
    m_grid->SetFlatLook(false);
    m_grid->setFocusPolicy(Qt::StrongFocus);
    layout->addWidget(m_grid, 1);

    const OkCancel buttons = AddOkCancelRow(layout, kOkId, kCancelId, QStringLiteral("Ok"));
    m_ok = buttons.ok;
    m_cancel = buttons.cancel;

    connect(m_open, &QPushButton::clicked, this, &CPersonalSetDialog::OnOpen);
    connect(m_useGlobal, &QCheckBox::clicked, this, &CPersonalSetDialog::OnUseGlobalClicked);
    // Only the user's choice counts: the dialog's own selections emit no "activated".
    connect(m_profile, &QComboBox::activated, this, &CPersonalSetDialog::OnProfileSelChange);
    connect(m_ok, &QPushButton::clicked, this, &CPersonalSetDialog::OnOk);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_grid, &PropertyGrid::PropertyChanged, this, &CPersonalSetDialog::OnPropertyChanged);

    // 2. Without a record there is nothing to show or refresh.
    m_task = m_host.Tasks().Find(m_taskId);
    if (m_task) {
        // 3., 4. A task that follows the main window shows the current tree, greyed.
        const bool personal = m_task->useGlobalOutput == 0;
        SetPersonalControls(personal);
        ShowParamFromTree(m_grid, personal ? m_task->paramTree.get() : m_currentTree);
        SetGridLook(m_grid, m_task->useGlobalOutput);
        // 5.
        Refresh();
    }
    // A screen reader names each field by its label.
    for (auto [label, control] : {std::pair{kSourceLabelId, static_cast<QWidget *>(m_source)},
                                  {kOutputLabelId, m_output}, {kProfileLabelId, m_profile}})
        FindControl<QLabel>(this, label)->setBuddy(control);
    SetTexts();
}

void CPersonalSetDialog::SetTexts()
{
    ApplyDialogTexts(this, {{kSourceGroupId, "@48"},
                            {kSourceLabelId, "@49"},
                            {kTargetGroupId, "@50"},
                            {kUseGlobalId, "@51"},
                            {kOutputLabelId, "@58"},
                            {kOpenId, "@59"},
                            {kProfileLabelId, "@29"},
                            {kOkId, "@61"},
                            {kCancelId, "@62"}});
    setWindowTitle(GetLangString(QStringLiteral("@95")));
    SetAccessibleName(m_source, "@49");
    SetAccessibleName(m_output, "@58");
    SetAccessibleName(m_profile, "@29");
}

void CPersonalSetDialog::SetPersonalControls(bool personal)
{
    m_useGlobal->setChecked(!personal);
    m_output->setEnabled(personal);
    m_profile->setEnabled(personal);
}

QStringList CPersonalSetDialog::ComboEntries() const
{
    QStringList entries;
    for (int i = 0; i < m_profile->count(); ++i)
        entries << m_profile->itemText(i);
    return entries;
}

void CPersonalSetDialog::SelectProfileEntry(int index)
{
    const QSignalBlocker blocker(m_profile);
    m_profile->setCurrentIndex(index >= 0 && index < m_profile->count() ? index : -1);
}

void CPersonalSetDialog::Refresh()
{
    if (!m_task)
        return;
    TaskRecord &task = *m_task;
    const QString catalogue = AppFolders::Current().DataFile(QStringLiteral("profile.ini"));

    // 1. The catalogue, with the default entry or the task's own profile selected.
    {
        const QSignalBlocker blocker(m_profile);
        m_profile->clear();
    }
    ReadProfileCatalogue(catalogue, m_profile);
    if (task.useGlobalOutput == 1)
        SelectProfileEntry(DefaultProfileIndex(catalogue));
    else
        SelectProfileEntry(FindProfileEntry(ComboEntries(), task.profileName));

    // 2. A task that follows the main window takes its profile and destination now.
    if (task.useGlobalOutput == 1) {
        const CurrentProfile &current = m_host.Profile();
        task.profileName = current.Name();
        task.profileFile = current.File();
        task.profileSummary = current.Summary();
        m_targetType = GetTargetType(task.profileName);
        m_destFolder = m_host.GlobalDestination();
        task.outputPath = GlobalOutputFor(m_destFolder, task.sourcePath, m_targetType);
        ReplaceTaskTree(task, nullptr);
    } else {
        m_source->setText(task.sourcePath);
        m_output->setText(task.outputPath);
    }

    // 3.
    if (task.profileName.isEmpty()) {
        SelectProfileEntry(DefaultProfileIndex(catalogue));
        m_targetType = GetTargetType(m_profile->currentIndex() >= 0 ? m_profile->currentText() : QString());
    } else {
        if (m_targetType.isEmpty())
            m_targetType = GetTargetType(task.profileName);
        SelectProfileEntry(FindProfileEntry(ComboEntries(), task.profileName));
    }

    // 4. An output of its own: made in the destination when there is none yet, else kept
    // but made unique again.
    if (task.outputPath.isEmpty()) {
        const QString folder = EnsureFolderPath(
            FirstOutputFolder(m_destFolder, AppSettings::Instance().GetSavedPath(), task.sourcePath));
        if (folder.isEmpty())
            return;
        task.outputPath = ComposeOutputPath(folder, SplitPath(task.sourcePath).name, m_targetType);
    } else {
        task.outputPath = TrimLeft(MakeUniqueOutputPath(task.outputPath));
    }
    m_output->setText(task.outputPath);

    // 5.
    if (!task.sourcePath.isEmpty())
        m_source->setText(task.sourcePath);
}

void CPersonalSetDialog::OnUseGlobalClicked()
{
    if (!m_task) {
        m_useGlobal->setChecked(!m_useGlobal->isChecked()); // nothing to switch
        return;
    }
    if (m_task->useGlobalOutput == 1) {
        SetPersonalControls(true);
        CurrentProfile &current = m_host.Profile();
        MakeTaskPersonal(*m_task, m_currentTree, current.AspectMode());
    } else {
        SetPersonalControls(false);
        m_task->useGlobalOutput = 1;
    }
    // The grid keeps its properties; from now on they edit the task's own tree.
    SetGridLook(m_grid, m_task->useGlobalOutput);
    Refresh();
}

void CPersonalSetDialog::OnProfileSelChange()
{
    if (!m_task)
        return;
    const QString name = m_profile->currentIndex() >= 0 ? m_profile->currentText() : QString();
    CMpegStructs chosen;
    chosen.LoadFromFile(ProfileFile(name));
    ShowParamFromTree(m_grid, chosen.GetRoot());

    m_targetType = GetTargetType(name);
    m_task->outputPath = OutputForProfile(m_task->outputPath, m_task->sourcePath, m_targetType);
    m_output->setText(m_task->outputPath);

    // The task takes the chosen profile's parameters now (its name only on Ok), and
    // converts with that profile's own aspect mode.
    m_task->useGlobalOutput = 0;
    m_task->aspectMode = GetAspectMode(chosen.GetRoot());
    ReplaceTaskTree(*m_task, CloneCells(chosen.GetRoot()));
}

void CPersonalSetDialog::OnOpen()
{
    Prompter::FileRequest request;
    request.title = QStringLiteral("Select Input File");
    request.filter = AddFileFilter();
    request.mustExist = true;
    request.multiple = false;
    request.startPath = m_source->text();
    const QStringList chosen = Prompter::Current().OpenFiles(this, request);
    if (chosen.isEmpty() || chosen.first().isEmpty())
        return;
    m_ok->setEnabled(true);
    m_source->setText(chosen.first());
}

void CPersonalSetDialog::OnOk()
{
    if (m_task) {
        TaskRecord &task = *m_task;
        const QString source = m_source->text();
        const bool sourceChanged = source != task.sourcePath.str();
        if (sourceChanged) {
            SetTaskSource(task, source);
            ProbeTaskSource(task);
        }
        if (task.useGlobalOutput == 0) {
            task.outputPath = m_output->text();
            task.destFolder = SplitPath(task.outputPath).folder; // the window shows it for this task
            task.profileName = m_profile->currentIndex() >= 0 ? m_profile->currentText() : QString();
            task.profileFile = ProfileFile(task.profileName);
            // The row's summary describes what this task will really convert with.
            if (task.paramTree)
                task.profileSummary = BuildProfileSummary(task.paramTree.get());
            m_host.ShowTaskRow(m_taskId);
        } else if (sourceChanged) {
            m_host.ShowTaskRow(m_taskId);
        }
    }
    accept();
}

void CPersonalSetDialog::OnPropertyChanged(PropertyGridItem *property)
{
    if (!m_task)
        return;
    ParamCell *tree = TreeForEdit(m_currentTree, true, m_task->useGlobalOutput, m_task->paramTree.get());
    const PropertyChangeResult result = ApplyPropertyChange(property, tree, m_grid);
    if (!result.aspectMode)
        return;
    if (tree == m_task->paramTree.get())
        m_task->aspectMode = *result.aspectMode;
    else
        m_host.Profile().SetAspectMode(*result.aspectMode);
}

void RunPersonalSetDialogs(PersonalSetHost &host)
{
    TaskList &tasks = host.Tasks();
    for (int row = 0; row < tasks.Count(); ++row) {
        if (!tasks.IsSelected(row))
            continue;
        const int id = tasks.IdAt(row);
        CPersonalSetDialog dialog(host.Profile().Tree(), id, host, host.DialogParent());
        Prompter::Current().Exec(&dialog);
        // The row shows the record as the dialog left it, also after Cancel (the check
        // box and a profile choice take effect at once).
        if (tasks.Find(id))
            host.ShowTaskRow(id);
    }
}
