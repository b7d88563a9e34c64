#pragma once
// Cells built in code for the profile tests.
#include <QStringList>
#include <memory>

#include "core/profiles/ParamCell.h"

namespace CellBuilders {

inline std::unique_ptr<ParamCell> makeCell(const QString &name, int type, bool enable = true)
{
    auto cell = std::make_unique<ParamCell>();
    cell->strCelltName = name;
    cell->strShowName = name;
    cell->strFatherName = QStringLiteral("TOP");
    cell->strOption = QStringLiteral("-") + name;
    cell->strLocal = QStringLiteral("1,1");
    cell->nUserMode = ParamCell::kShown;
    cell->nValueType = type;
    cell->Enable = enable;
    cell->sDefault = -1;
    return cell;
}

inline std::unique_ptr<ParamCell> makeText(const QString &name, const QString &value, bool enable = true)
{
    auto cell = makeCell(name, ParamCell::kText, enable);
    cell->SValue = value;
    return cell;
}

inline std::unique_ptr<ParamCell> makeNumber(const QString &name, float value, bool enable = true)
{
    auto cell = makeCell(name, ParamCell::kNumber, enable);
    cell->fValue = value;
    return cell;
}

inline std::unique_ptr<ParamCell> makeList(const QString &name, const QStringList &entries, int current,
                                           const QString &unit = QString())
{
    auto cell = makeCell(name, ParamCell::kList);
    cell->nStrArraySize = int(entries.size());
    for (int i = 0; i < entries.size() && i < ParamCell::kMaxListEntries; ++i)
        cell->sValues[std::size_t(i)] = entries.at(i);
    cell->sDefault = current;
    cell->strUnit = unit;
    return cell;
}

// A list cell holding a value the user typed or chose.
inline std::unique_ptr<ParamCell> withUserValue(std::unique_ptr<ParamCell> cell, const QString &value)
{
    cell->UsedType = ParamCell::kUserValue;
    cell->SValue = value;
    return cell;
}

// Where the grid shows a cell ("group,order") and whether it takes typed values.
inline std::unique_ptr<ParamCell> placed(std::unique_ptr<ParamCell> cell, const QString &local, bool alowEdit = false)
{
    cell->strLocal = local;
    cell->AlowEdit = alowEdit;
    return cell;
}

template <typename... Cells>
std::unique_ptr<ParamCell> makeTree(Cells &&...cells)
{
    auto root = ParamCell::MakeRoot();
    (root->AddChild(std::move(cells)), ...);
    return root;
}

} // namespace CellBuilders
