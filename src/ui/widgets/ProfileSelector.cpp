#include "ui/widgets/ProfileSelector.h"

#include <QComboBox>
#include <QSignalBlocker>
#include <QStandardItemModel>
#include <exception>

#include "core/profiles/CurrentProfile.h"
#include "ui/widgets/ParameterEditor.h"
#include "core/profiles/ProfileCatalogue.h"
#include "ui/widgets/Prompter.h"

void ReadProfileCatalogue(const QString &cataloguePath, QComboBox *combo)
{
    const QStringList names = ReadProfileCatalogue(cataloguePath);
    if (!combo)
        return;
    const QSignalBlocker blocker(combo);
    for (int i = 0; i < names.size(); ++i)
        combo->insertItem(i, names.at(i));
}

bool LoadProfiles(const QString &cataloguePath, QComboBox *combo, PropertyGrid *grid, CurrentProfile &profile)
{
    try {
        ReadProfileCatalogue(cataloguePath, combo);
        const int index = DefaultProfileIndex(cataloguePath);
        QString name;
        if (combo) {
            const QSignalBlocker blocker(combo);
            // An index outside the list leaves no entry selected (and an empty name).
            combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
            name = combo->currentIndex() >= 0 ? combo->currentText() : QString();
        }
        profile.Select(name);
        ShowParamFromTree(grid, profile.Tree());
        return true;
    } catch (...) {
        ShowMessage(combo ? combo->window() : nullptr, QStringLiteral("Error CCorvaneStudioDlg::LoadProfiles()!"),
                    Prompter::Icon::Warning);
        return false;
    }
}

void MarkProfileUnavailable(QComboBox *combo, const QString &name, const QString &reason)
{
    const int index = combo ? combo->findText(name) : -1;
    auto *model = combo ? qobject_cast<QStandardItemModel *>(combo->model()) : nullptr;
    if (index < 0 || !model)
        return;
    model->item(index)->setEnabled(false);
    combo->setItemData(index, QStringLiteral("Not available on this computer: %1").arg(reason), Qt::ToolTipRole);
}

void OnProfileSelectionChange(QComboBox *combo, PropertyGrid *grid, CurrentProfile &profile)
{
    const QString name = combo && combo->currentIndex() >= 0 ? combo->currentText() : QString();
    profile.Select(name);
    ShowParamFromTree(grid, profile.Tree());
}
