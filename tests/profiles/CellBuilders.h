#pragma once
// Cells built in code for the profile tests.
#include <QStringList>
#include <memory>

#include "profiles/ParamCell.h"

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

} // namespace CellBuilders
