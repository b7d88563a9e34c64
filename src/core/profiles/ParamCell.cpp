#include "core/profiles/ParamCell.h"

#include "core/profiles/TargetCells.h"

#include <QStringList>
#include <algorithm>

#include "base/Numbers.h"
#include "base/SplitString.h"

bool ParamCell::AddChild(std::unique_ptr<ParamCell> child)
{
    if (!child || int(pChildren.size()) >= kMaxChildren)
        return false;
    pChildren.push_back(std::move(child));
    return true;
}

QString ParamCell::Entry(int index) const
{
    if (index < 0 || index >= kMaxListEntries)
        return QString();
    return sValues[std::size_t(index)].str();
}

int ParamCell::EntryCount() const
{
    return std::clamp<int>(nStrArraySize, 0, kMaxListEntries);
}

QString ParamCell::CurrentListValue() const
{
    return UsedType == kUserValue ? SValue.str() : Entry(sDefault);
}

namespace {

// A copy with text of its own: a cloned tree goes to another thread, and shared text would
// tie its lifetime to the original's.
QString ownCopy(const QString &text)
{
    return QString(text.constData(), text.size());
}

} // namespace

std::unique_ptr<ParamCell> ParamCell::Clone() const
{
    auto copy = std::make_unique<ParamCell>();
    copy->strCelltName = ownCopy(strCelltName);
    copy->strShowName = ownCopy(strShowName);
    copy->strFatherName = ownCopy(strFatherName);
    copy->strLocal = ownCopy(strLocal);
    copy->AlowEdit = AlowEdit;
    copy->nUserMode = nUserMode;
    copy->strOption = ownCopy(strOption);
    copy->nValueType = nValueType;
    copy->nLevel = nLevel;
    copy->Enable = Enable;
    copy->UsedType = UsedType;
    copy->Help = ownCopy(Help);
    copy->fValue = fValue;
    copy->fMAx = fMAx;
    copy->fMin = fMin;
    copy->fStep = fStep;
    copy->strUnit = ownCopy(strUnit);
    copy->nStrArraySize = nStrArraySize;
    copy->sDefault = sDefault;
    for (std::size_t i = 0; i < sValues.size(); ++i)
        copy->sValues[i] = ownCopy(sValues[i]);
    copy->SValue = ownCopy(SValue);
    copy->pChildren.reserve(pChildren.size());
    for (const auto &child : pChildren)
        copy->pChildren.push_back(child ? child->Clone() : nullptr);
    return copy;
}

std::unique_ptr<ParamCell> ParamCell::MakeRoot()
{
    auto root = std::make_unique<ParamCell>();
    root->strCelltName = QStringLiteral("TOP");
    root->Enable = true;
    root->nValueType = kRoot;
    return root;
}

QString EntryEngineValue(const QString &entry)
{
    QStringList pieces;
    SplitString(entry, pieces, QStringLiteral("|"), true);
    return pieces.value(0);
}

QString EntryShownText(const QString &entry)
{
    QStringList pieces;
    SplitString(entry, pieces, QStringLiteral("|"), true);
    // An entry without "|" has nothing but its value; show that rather than a blank line.
    if (pieces.size() < 2)
        return TrimLeft(pieces.value(0));
    return TrimLeft(pieces.at(1));
}

bool HasKiloUnit(const ParamCell &cell)
{
    return cell.strUnit.str().startsWith(u'k', Qt::CaseInsensitive);
}

QString UserValueText(const ParamCell &cell)
{
    const QString name = cell.strCelltName.str();
    if (name.compare(QLatin1String("s"), Qt::CaseInsensitive) == 0 ||
        name.compare(QLatin1String("aspect"), Qt::CaseInsensitive) == 0 || TargetCells::IsTarget(name))
        return cell.SValue.str();
    int n = LeadingInt(cell.SValue.str());
    if (HasKiloUnit(cell))
        n /= 1000;
    return QStringLiteral("%1 %2").arg(n).arg(cell.strUnit.str());
}
