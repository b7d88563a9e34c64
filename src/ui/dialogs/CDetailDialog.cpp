#include "ui/dialogs/CDetailDialog.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/dialogs/DialogTexts.h"
#include "core/settings/Language.h"
#include "core/profiles/CurrentProfile.h"
#include "ui/widgets/ParameterEditor.h"
#include "ui/widgets/ControlId.h"
#include "ui/widgets/Prompter.h"

CDetailDialog::CDetailDialog(CurrentProfile &profile, const QString &title, QWidget *parent)
    : ThemedDialog(parent), m_profile(profile)
{
    SetControlId(this, kTemplateId);
    EnableVisualManagerStyle(true);
    resize(420, 480);

    auto *layout = new QVBoxLayout(this);
    m_grid = CreateParamGrid(this);
    SetControlId(m_grid, kGridId);
    m_grid->SetFlatLook(false); // a bordered child window over the placeholder
    m_grid->setFocusPolicy(Qt::StrongFocus);
    layout->addWidget(m_grid, 1);

    m_save = WithControlId(new QPushButton(QStringLiteral("Save Profile"), this), kSaveId);
    const OkCancel buttons = AddOkCancelRow(layout, kOkId, kCancelId, QStringLiteral("OK"), m_save);
    connect(buttons.ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(buttons.cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_save, &QPushButton::clicked, this, &CDetailDialog::OnSave);
    ApplyDialogTexts(this, {{kSaveId, "@170"}});

    SetGridLook(m_grid, 0);
    ShowParamFromTree(m_grid, m_profile.Tree());
    setWindowTitle(title);
    connect(m_grid, &PropertyGrid::PropertyChanged, this, &CDetailDialog::OnPropertyChanged);
}

void CDetailDialog::OnPropertyChanged(PropertyGridItem *property)
{
    ApplyCurrentProfileChange(m_profile, property, m_grid);
    m_save->setEnabled(true);
}

void CDetailDialog::OnSave()
{
    QString error;
    if (m_profile.SaveUserCopy(&error)) {
        m_save->setEnabled(false); // saved; the next edit enables it again
        return;
    }
    ShowMessage(this, GetLangString(QStringLiteral("@171")) + QStringLiteral("\n\n") + error, Prompter::Icon::Warning);
}

int RunDetailDialog(QWidget *parent, CurrentProfile &profile, const QString &title)
{
    CDetailDialog dialog(profile, title, parent);
    const int result = Prompter::Current().Exec(&dialog);
    if (result == QDialog::Accepted)
        profile.RefreshSummary();
    return result;
}
