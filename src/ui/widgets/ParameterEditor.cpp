#include "ui/widgets/ParameterEditor.h"

#include <QApplication>
#include <QMutexLocker>
#include <QStringList>
#include <QThread>
#include <QTreeWidget>
#include <QtDebug>
#include <cmath>
#include <limits>

#include "base/Numbers.h"
#include "base/SplitString.h"
#include "core/profiles/CMpegStructs.h"
#include "core/profiles/CurrentProfile.h"
#include "core/profiles/ParamCell.h"
#include "core/profiles/ParamDisplayNames.h"
#include "core/profiles/ParamOptions.h"
#include "core/profiles/TargetCells.h"
#include "core/settings/Language.h"
#include "ui/widgets/Prompter.h"

namespace {

bool isNamed(const ParamCell &cell, const char *name)
{
    return cell.strCelltName.str().compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
}

int truncatedInt(float value)
{
    if (std::isnan(value))
        return 0;
    const double t = std::trunc(double(value));
    if (t >= double(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (t <= double(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return int(t);
}

QString clockText(int seconds)
{
    return QString::asprintf("%02d:%02d:%02d", seconds / 3600, (seconds / 60) % 60, seconds % 60);
}

// The entry a chosen option text stands for when that entry gives the engine nothing
// ("|same to source", "|Auto"); -1 when there is none.
int engineDefaultEntry(const ParamCell &cell, const QString &shown)
{
    for (int k = 0; k < cell.EntryCount(); ++k) {
        const QString entry = cell.Entry(k);
        if (entry.contains(u'|') && EntryEngineValue(entry).isEmpty() &&
            ParamDisplayNames::ChoiceText(cell.strCelltName.str(), entry) == shown)
            return k;
    }
    return -1;
}

void applyListChange(ParamCell &cell, QString value, ParamCell *tree, PropertyGrid *grid,
                     PropertyChangeResult &result)
{
    if (isNamed(cell, "aspect")) {
        for (int k = 0; k < cell.EntryCount(); ++k) {
            const QString entry = cell.Entry(k);
            if (entry.contains(value)) {
                result.aspectMode = AspectModeOfEntry(entry);
                cell.AlowEdit = true;
                break;
            }
        }
    } else if (isNamed(cell, "s")) {
        // The picture keeps the source's own size, so there is no frame to fit it into.
        ParamCell *aspect = FindCellByShowName(tree, QStringLiteral("aspect"));
        PropertyGridItem *video = grid ? grid->GetProperty(0) : nullptr;
        PropertyGridItem *aspectProperty = video ? video->GetSubItem(4) : nullptr;
        if (aspect && aspectProperty) {
            const bool sameToSource = value == QLatin1String("same to source");
            if (sameToSource)
                aspect->nUserMode |= ParamCell::kDisabled;
            else
                aspect->nUserMode &= ~ParamCell::kDisabled;
            aspectProperty->Enable(!sameToSource);
        }
    }

    // An option that leaves the setting to the engine selects its entry: stored as user
    // text it would reach the engine as a value ("-s same to source", "-r 0").
    if (!isNamed(cell, "aspect")) {
        const int entry = engineDefaultEntry(cell, value);
        if (entry >= 0) {
            cell.sDefault = entry;
            if (cell.UsedType == ParamCell::kUserValue)
                cell.UsedType = 0;
            cell.SValue = value;
            return;
        }
    }

    // A target's value is the engine's text ("25M", "0.97"): a chosen entry is selected, a typed one kept as typed.
    if (TargetCells::IsTarget(cell.strCelltName.str())) {
        for (int k = 0; k < cell.EntryCount(); ++k) {
            if (ParamDisplayNames::ChoiceText(cell.strCelltName.str(), cell.Entry(k)) == value) {
                cell.sDefault = k;
                if (cell.UsedType == ParamCell::kUserValue)
                    cell.UsedType = 0;
                cell.SValue = value;
                return;
            }
        }
        value = value.trimmed();
    } else if (!isNamed(cell, "aspect") && !isNamed(cell, "s")) {
        qint64 n = LeadingInt(value);
        if (HasKiloUnit(cell))
            n *= 1000; // 128 Kb/s is stored as 128000
        value = QString::number(n);
    }
    if (cell.UsedType != ParamCell::kNeverEmitted)
        cell.UsedType = ParamCell::kUserValue;
    cell.SValue = value;
}

PropertyGridColors colorsFromBgr(quint32 background, quint32 text, quint32 groupBackground, quint32 groupText,
                                 quint32 descriptionBackground, quint32 descriptionText, quint32 lines)
{
    return {ColorFromBgr(background),      ColorFromBgr(text),            ColorFromBgr(groupBackground),
            ColorFromBgr(groupText),       ColorFromBgr(descriptionBackground), ColorFromBgr(descriptionText),
            ColorFromBgr(lines)};
}

} // namespace

void ShowParamFromTree(PropertyGrid *grid, const ParamCell *root)
{
    if (!grid || !root)
        return;
    grid->RemoveAll();
    PropertyGridItem *groups[3];
    for (int g = 0; g < 3; ++g)
        groups[g] = grid->AddGroup(ParamDisplayNames::GroupLabel(g + 1), false);

    for (const auto &child : root->pChildren) {
        if (!child)
            continue;
        const ParamCell &cell = *child;
        if (isNamed(cell, "ss") || !(cell.nUserMode & ParamCell::kShown) || !cell.Enable)
            continue;
        QStringList pieces;
        SplitString(cell.strLocal.str(), pieces, QStringLiteral(","), false);
        const int group = LeadingInt(pieces.value(0).trimmed());
        if (group >= 1 && group <= 3)
            AddCellProperty(cell, groups[group - 1], grid);
    }
    grid->ExpandAll();
    grid->AdjustLayout();
}

PropertyGridItem *AddCellProperty(const ParamCell &cell, PropertyGridItem *group, PropertyGrid *grid)
{
    if (!group || !grid)
        return nullptr;
    const QString name = cell.strCelltName.str();
    auto property = std::make_unique<PropertyGridItem>(ParamDisplayNames::Label(name), QString(),
                                                       ParamDisplayNames::Help(name, cell.Help.str()));
    property->SetKey(cell.strShowName.str());

    switch (cell.nValueType) {
    case ParamCell::kList: {
        QString defaultText;
        for (int k = 0; k < cell.EntryCount(); ++k) {
            const QString option = ParamDisplayNames::ChoiceText(name, cell.Entry(k));
            property->AddOption(option);
            if (k == cell.sDefault)
                defaultText = option;
        }
        property->SetValue(cell.UsedType == ParamCell::kUserValue ? UserValueText(cell) : defaultText);
        property->AllowEdit(cell.AlowEdit && cell.nStrArraySize != 1);
        break;
    }
    case ParamCell::kNumber:
        if (!cell.Enable) {
            property->AllowEdit(false);
        } else {
            const int n = truncatedInt(cell.fValue);
            if (n != 0)
                property->SetValue(isNamed(cell, "ss") || isNamed(cell, "t") ? clockText(n) : QString::number(n));
        }
        break;
    case ParamCell::kText:
        if (!cell.Enable)
            property->AllowEdit(false);
        else
            property->SetValue(cell.SValue.str());
        break;
    default:
        break;
    }
    property->Enable(!(cell.nUserMode & ParamCell::kDisabled));
    return grid->AddProperty(group, std::move(property));
}

PropertyChangeResult ApplyPropertyChange(PropertyGridItem *property, ParamCell *tree, PropertyGrid *grid)
{
    PropertyChangeResult result;
    if (!property || !tree)
        return result;
    // Cells are found by the key the property keeps, not by its translated label.
    const QString key = property->GetKey().isEmpty() ? property->GetName() : property->GetKey();
    const QString value = property->GetValue();

    QMutexLocker lock(&ParamTreeMutex());
    ParamCell *cell = FindCellByShowName(tree, key);
    if (!cell)
        return result;
    result.applied = true;
    switch (cell->nValueType) {
    case ParamCell::kList:
        applyListChange(*cell, value, tree, grid, result);
        break;
    case ParamCell::kNumber:
    case ParamCell::kText:
        if (value.isEmpty() || isNamed(*cell, "ss") || isNamed(*cell, "t"))
            break; // the trim range belongs to the task, not to the profile
        cell->SValue = value;
        if (cell->nValueType == ParamCell::kNumber)
            cell->fValue = float(LeadingDouble(value)); // the option builder reads numbers from here
        break;
    default:
        break;
    }
    return result;
}

ParamCell *TreeForEdit(ParamCell *currentTree, bool hasTask, int useGlobalOutput, ParamCell *privateTree)
{
    if (hasTask && useGlobalOutput != 1 && privateTree)
        return privateTree;
    return currentTree;
}

bool ApplyCurrentProfileChange(CurrentProfile &profile, PropertyGridItem *property, PropertyGrid *grid)
{
    const PropertyChangeResult result = ApplyPropertyChange(property, profile.Tree(), grid);
    if (result.aspectMode)
        profile.SetAspectMode(*result.aspectMode);
    return result.applied;
}

PropertyGridColors ActiveGridColors()
{
    return colorsFromBgr(0xFFFFFF, 0xA5462E, 0xEDEDED, 0x000000, 0xEDEDED, 0x000080, 0xFF9F9F);
}

PropertyGridColors InactiveGridColors()
{
    return colorsFromBgr(0xD8E9EC, 0x99A8AC, 0xD8E9EC, 0x99A8AC, 0xD8E9EC, 0x99A8AC, 0xFF9F9F);
}

PropertyGridColors MainGridColors()
{
    return colorsFromBgr(0xFEF3E4, 0xA5462E, 0xD1ECC8, 0x316621, 0xD8E5FF, 0x000080, 0xFF9F9F);
}

void SetGridLook(PropertyGrid *grid, int inactive)
{
    if (!grid)
        return;
    grid->SetCustomColors(inactive == 1 ? InactiveGridColors() : ActiveGridColors());
    grid->update();
    grid->EnableGrid(inactive != 1);
}

PropertyGrid *CreateParamGrid(QWidget *parent)
{
    auto *grid = new PropertyGrid(parent);
    grid->EnableHeaderCtrl(true);
    grid->EnableDescriptionArea(true);
    grid->SetFlatLook(true);
    grid->MarkModifiedProperties(true);
    grid->setAccessibleName(GetLangString(QStringLiteral("@252")));
    grid->tree()->setAccessibleName(grid->accessibleName());
    return grid;
}

PropertyGrid *CreateMainParamGrid(QWidget *parent)
{
    PropertyGrid *grid = CreateParamGrid(parent);
    grid->SetCustomColors(MainGridColors());
    return grid;
}

