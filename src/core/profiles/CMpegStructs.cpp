#include "core/profiles/CMpegStructs.h"

#include <QStringList>
#include <algorithm>

#include "base/IniFile.h"
#include "base/Numbers.h"
#include "base/SplitString.h"

namespace {

const QString kAllSet = QStringLiteral("allset");

float readFloat(const QString &path, const QString &section, const QString &key)
{
    return float(LeadingDouble(IniFile::ReadString(path, section, key)));
}

std::unique_ptr<ParamCell> readCell(const QString &path, const QString &section,
                                    const std::map<QString, QString> &unitMap)
{
    auto cell = std::make_unique<ParamCell>();
    auto text = [&](const char *key) { return IniFile::ReadString(path, section, QString::fromLatin1(key)); };
    auto integer = [&](const char *key, int def) {
        return IniFile::ReadInt(path, section, QString::fromLatin1(key), def);
    };

    cell->strCelltName = text("strCelltName");
    cell->strShowName = text("strShowName");
    cell->strFatherName = text("strFatherName");
    cell->strLocal = text("strLocal");
    cell->AlowEdit = integer("AlowEdit", 0) != 0;
    cell->nUserMode = integer("nUserMode", 0);
    cell->UsedType = integer("UsedType", 0);
    // Only the exact upper-case word enables a cell; "true" or "1" do not.
    cell->Enable = text("Enable") == QLatin1String("TRUE");
    cell->nValueType = integer("nValueType", -1);

    if (cell->nValueType == ParamCell::kList) {
        const int size = integer("nStrArraySize", -1);
        cell->nStrArraySize = std::min(size, ParamCell::kMaxListEntries);
        for (int k = 0; k < cell->nStrArraySize; ++k)
            cell->sValues[std::size_t(k)] = IniFile::ReadString(path, section, QStringLiteral("sValues[%1]").arg(k));
    } else if (cell->nValueType == ParamCell::kText) {
        cell->nStrArraySize = 0;
        cell->SValue = text("SValue");
    }

    cell->fValue = readFloat(path, section, QStringLiteral("fValue"));
    cell->fMAx = readFloat(path, section, QStringLiteral("fMAx"));
    cell->fMin = readFloat(path, section, QStringLiteral("fMin"));
    cell->fStep = readFloat(path, section, QStringLiteral("fStep"));
    cell->Help = text("Help");
    cell->nLevel = integer("nLevel", -1);
    cell->sDefault = integer("sDefault", -1);

    cell->strOption = QStringLiteral("-") + TrimLeft(cell->strCelltName);
    const auto unit = unitMap.find(cell->strCelltName.str());
    cell->strUnit = unit != unitMap.end() ? unit->second : QString();
    return cell;
}

template <typename Cell>
Cell *findCell(Cell *start, const QString &name)
{
    if (!start)
        return nullptr;
    if (start->strCelltName.str() == name)
        return start;
    for (const auto &child : start->pChildren)
        if (Cell *found = findCell<Cell>(child.get(), name))
            return found;
    return nullptr;
}

} // namespace

bool CMpegStructs::LoadFromFile(const QString &path)
{
    m_unitMap[QStringLiteral("ab")] = QStringLiteral("Kb/s");
    m_unitMap[QStringLiteral("ar")] = QStringLiteral("Hz");
    m_unitMap[QStringLiteral("vb")] = QStringLiteral("Kb/s");
    m_unitMap[QStringLiteral("r")] = QStringLiteral("fps");

    FreeCells(m_pRoot);
    m_pRoot = ParamCell::MakeRoot();

    const int count = std::min(IniFile::ReadInt(path, kAllSet, QStringLiteral("numbersofnodes"), 0), kMaxNodes);
    m_strValues = IniFile::ReadString(path, kAllSet, QStringLiteral("values"));
    m_strTargetType = IniFile::ReadString(path, kAllSet, QStringLiteral("TargetType"));
    for (int i = 0; i < count; ++i)
        AddCell(m_pRoot.get(), readCell(path, QStringLiteral("node%1").arg(i), m_unitMap));
    return true;
}

ParamCell *CMpegStructs::FindCellByShowName(ParamCell *root, const QString &text) const
{
    return ::FindCellByShowName(root ? root : m_pRoot.get(), text);
}

ParamCell *FindCell(ParamCell *start, const QString &name)
{
    return findCell<ParamCell>(start, name);
}

const ParamCell *FindCell(const ParamCell *start, const QString &name)
{
    return findCell<const ParamCell>(start, name);
}

ParamCell *FindCellByShowName(ParamCell *root, const QString &text)
{
    if (!root)
        return nullptr;
    for (const auto &child : root->pChildren)
        if (child && !child->strShowName.isEmpty() && child->strShowName.str() == text)
            return child.get();
    return nullptr;
}

bool AddCell(ParamCell *root, std::unique_ptr<ParamCell> cell)
{
    if (!cell)
        return false;
    ParamCell *father = FindCell(root, cell->strFatherName.str());
    return father && father->AddChild(std::move(cell));
}

void FreeCells(std::unique_ptr<ParamCell> &cell)
{
    cell.reset(); // children go first: they are the last member of the cell
}

std::unique_ptr<ParamCell> CloneCells(const ParamCell *root)
{
    return root ? root->Clone() : nullptr;
}

int GetAspectMode(const ParamCell *root)
{
    const ParamCell *aspect = FindCell(root, QStringLiteral("aspect"));
    if (!aspect)
        return -1;
    return AspectModeOfEntry(aspect->Entry(aspect->sDefault));
}

int AspectModeOfEntry(const QString &entry)
{
    QStringList pieces;
    SplitString(entry, pieces, QStringLiteral("|"), true);
    return LeadingInt(pieces.value(0));
}
