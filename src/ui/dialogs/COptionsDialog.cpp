#include "ui/dialogs/COptionsDialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <functional>

#include "core/settings/AppSettings.h"
#include "core/conversion/JobCount.h"
#include "core/conversion/OutputNaming.h"
#include "ui/dialogs/DialogTexts.h"
#include "core/settings/Language.h"
#include "core/settings/OptionsRules.h"
#include "ui/widgets/ControlId.h"
#include "ui/widgets/Prompter.h"

namespace {

// The save-path box: tells its owner when the focus has left it, after the box has
// finished its own handling (which would otherwise undo a selection made by the owner).
class SavePathEdit : public QLineEdit
{
public:
    using QLineEdit::QLineEdit;
    std::function<void()> onLeft;

protected:
    void focusOutEvent(QFocusEvent *event) override
    {
        QLineEdit::focusOutEvent(event);
        // A popup or another window taking the focus is not leaving the box.
        const Qt::FocusReason reason = event->reason();
        if (onLeft && reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason)
            onLeft();
    }
};

} // namespace

COptionsDialog::COptionsDialog(AppSettings &settings, QWidget *parent) : ThemedDialog(parent), m_settings(settings)
{
    EnableVisualManagerStyle(true);
    setWindowTitle(QStringLiteral("Option Page"));
    auto *layout = new QVBoxLayout(this);

    layout->addWidget(WithControlId(new QLabel(QStringLiteral("Saved Path:"), this), kSavePathLabelId));
    auto *pathRow = new QHBoxLayout;
    auto *savePathEdit = WithControlId(new SavePathEdit(this), kSavePathId);
    savePathEdit->onLeft = [this] { OnSavePathKillFocus(); };
    m_savePathEdit = savePathEdit;
    pathRow->addWidget(m_savePathEdit, 1);
    auto *select = WithControlId(new QPushButton(QStringLiteral("Select"), this), kSelectId);
    select->setAutoDefault(false);
    pathRow->addWidget(select);
    layout->addLayout(pathRow);

    auto *priorityGroup = WithControlId(new QGroupBox(QStringLiteral("System Priority"), this), kPriorityGroupId);
    auto *priorityRow = new QHBoxLayout(priorityGroup);
    m_priorityButtons = new QButtonGroup(this);
    const struct
    {
        int id;
        const char *text;
    } radios[] = {{kRealTimeId, "Real Time"}, {kHighId, "High"}, {kNormalId, "NORMAL"}, {kIdleId, "IDLE"}};
    for (const auto &r : radios) {
        auto *radio = WithControlId(new QRadioButton(QString::fromLatin1(r.text), priorityGroup), r.id);
        m_priorityButtons->addButton(radio, r.id);
        priorityRow->addWidget(radio);
    }
    layout->addWidget(priorityGroup);

    m_keepDate = WithControlId(new QCheckBox(QStringLiteral("Keep the original's date"), this), kKeepDateId);
    layout->addWidget(m_keepDate);

    // Conversions at once: Automatic, then 1 to 8; the item's data is the stored number.
    auto *jobsRow = new QHBoxLayout;
    auto *jobsLabel = WithControlId(new QLabel(QStringLiteral("Conversions at once:"), this), kJobsLabelId);
    m_jobs = WithControlId(new QComboBox(this), kJobsId);
    m_jobs->addItem(QStringLiteral("Automatic"), 0);
    for (int n = 1; n <= JobCount::kMaxJobs; ++n)
        m_jobs->addItem(QString::number(n), n);
    jobsLabel->setBuddy(m_jobs);
    jobsRow->addWidget(jobsLabel);
    jobsRow->addWidget(m_jobs);
    jobsRow->addStretch(1);
    layout->addLayout(jobsRow);

    auto *associationGroup = WithControlId(new QGroupBox(QStringLiteral("File Association"), this), kAssociationGroupId);
    auto *associationGrid = new QGridLayout(associationGroup);
    m_associations = WithControlId(new QListWidget(associationGroup), kAssociationListId);
    // One column, 15 average characters wide, whole rows selected, selection kept visible.
    m_associations->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_associations->setSelectionMode(QAbstractItemView::SingleSelection);
    const int column = 15 * fontMetrics().averageCharWidth();
    m_associations->setFixedWidth(column + m_associations->frameWidth() * 2 +
                                  style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 24);
    associationGrid->addWidget(m_associations, 0, 0, 3, 1);
    auto *selectAll = WithControlId(new QPushButton(QStringLiteral("Select All"), associationGroup), kSelectAllId);
    auto *clearAll = WithControlId(new QPushButton(QStringLiteral("Clear All"), associationGroup), kClearAllId);
    selectAll->setAutoDefault(false);
    clearAll->setAutoDefault(false);
    associationGrid->addWidget(selectAll, 0, 1);
    associationGrid->addWidget(clearAll, 1, 1);
    associationGrid->setRowStretch(2, 1);
    layout->addWidget(associationGroup, 1);

    const OkCancel buttons = AddOkCancelRow(layout, kOkId, kCancelId);

    connect(select, &QPushButton::clicked, this, &COptionsDialog::OnSelect);
    connect(selectAll, &QPushButton::clicked, this, &COptionsDialog::OnSelectAll);
    connect(clearAll, &QPushButton::clicked, this, &COptionsDialog::OnClearAll);
    connect(buttons.ok, &QPushButton::clicked, this, &COptionsDialog::OnOk);
    connect(buttons.cancel, &QPushButton::clicked, this, &QDialog::reject);
    // A click only chooses the level; it is stored on OK.
    connect(m_priorityButtons, &QButtonGroup::idClicked, this, [this](int id) {
        int count = 0;
        const PriorityButton *all = PriorityButtons(&count);
        for (int i = 0; i < count; ++i)
            if (all[i].controlId == id)
                m_priority = all[i].level;
    });

    // The stored values; the current level's button is marked.
    m_savePath = m_settings.GetSavedPath();
    m_priority = m_settings.GetPriorityLevel();
    m_savePathEdit->setText(m_savePath);
    m_priorityButtons->button(ButtonOfLevel(m_priority))->setChecked(true);
    m_keepDate->setChecked(m_settings.IsDateKept());
    m_jobs->setCurrentIndex(std::max(0, m_jobs->findData(m_settings.GetJobs())));

    SetTexts();

    const QString stored = m_settings.GetAssociationRecord();
    for (const QString &pattern : AssociationPatterns()) {
        auto *item = new QListWidgetItem(pattern, m_associations);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(IsAssociated(pattern, stored) ? Qt::Checked : Qt::Unchecked);
    }
}

COptionsDialog::~COptionsDialog()
{
    // The box may lose the focus while the dialog is taken apart: no check then.
    static_cast<SavePathEdit *>(m_savePathEdit)->onLeft = nullptr;
}

void COptionsDialog::SetTexts()
{
    ApplyDialogTexts(this, {{kSavePathLabelId, "@88"},
                            {kSelectId, "@89"},
                            {kPriorityGroupId, "@90"},
                            {kRealTimeId, "@91"},
                            {kHighId, "@92"},
                            {kNormalId, "@93"},
                            {kIdleId, "@94"},
                            {kOkId, "@44"},
                            {kCancelId, "@62"},
                            {kAssociationGroupId, "@156"},
                            {kSelectAllId, "@157"},
                            {kClearAllId, "@158"},
                            {kKeepDateId, "@190"},
                            {kJobsLabelId, "@240"}});
    m_jobs->setItemText(0, GetLangString(QStringLiteral("@241")));
    SetAccessibleName(m_jobs, "@240");
    SetAccessibleName(m_savePathEdit, "@88");
    SetAccessibleName(m_associations, "@156");
    setWindowTitle(GetLangString(QStringLiteral("@99")));
}

bool COptionsDialog::OnSavePathKillFocus()
{
    const QString typed = m_savePathEdit->text();
    if (typed.trimmed().isEmpty())
        return true; // no default folder: outputs go beside their inputs
    const QString folder = EnsureFolderPath(typed);
    if (folder.isEmpty()) {
        m_refusedPath = typed;
        m_hasRefusal = true;
        ShowMessage(this, GetLangString(QStringLiteral("@12")), Prompter::Icon::Warning);
        m_savePathEdit->selectAll();
        m_savePathEdit->setFocus(Qt::OtherFocusReason);
        return false;
    }
    m_hasRefusal = false;
    m_savePath = folder;
    if (m_savePathEdit->text() != folder)
        m_savePathEdit->setText(folder);
    // Kept at once, whether or not the dialog is confirmed; an unchanged path is not rewritten.
    if (folder != m_settings.GetSavedPath())
        m_settings.SetSavedPath(folder);
    return true;
}

void COptionsDialog::OnSelect()
{
    const QString folder =
        Prompter::Current().Folder(this, GetLangString(QStringLiteral("@109")), m_savePathEdit->text());
    if (folder.isEmpty())
        return;
    m_savePath = folder;
    m_savePathEdit->setText(folder);
}

int COptionsDialog::Jobs() const
{
    return m_jobs->currentData().toInt();
}

void COptionsDialog::SetAllChecks(bool checked)
{
    for (int i = 0; i < m_associations->count(); ++i)
        m_associations->item(i)->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

void COptionsDialog::OnSelectAll()
{
    SetAllChecks(true);
}

void COptionsDialog::OnClearAll()
{
    SetAllChecks(false);
}

void COptionsDialog::OnOk()
{
    const QString typed = m_savePathEdit->text();
    // A folder the check refused is not stored; one never checked (typed, then OK by
    // keyboard) is checked now.
    if (m_hasRefusal && typed == m_refusedPath) {
        m_savePathEdit->selectAll();
        m_savePathEdit->setFocus(Qt::OtherFocusReason);
        return;
    }
    if (typed != m_settings.GetSavedPath() && !typed.trimmed().isEmpty() && !OnSavePathKillFocus())
        return;
    m_savePath = m_savePathEdit->text();
    if (m_savePath != m_settings.GetSavedPath())
        m_settings.SetSavedPath(m_savePath);
    if (m_priority != m_settings.GetPriorityLevel())
        m_settings.SetPriorityLevel(m_priority);
    if (m_keepDate->isChecked() != m_settings.IsDateKept())
        m_settings.SetDateKept(m_keepDate->isChecked());
    if (Jobs() != m_settings.GetJobs())
        m_settings.SetJobs(Jobs());
    accept();
}
