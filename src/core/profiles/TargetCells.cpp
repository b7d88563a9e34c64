#include "core/profiles/TargetCells.h"

#include <QRegularExpression>
#include <cmath>

#include "core/profiles/CMpegStructs.h"
#include "core/profiles/ParamCell.h"

namespace TargetCells {

namespace {

bool number(const QString &text, double *value)
{
    bool ok = false;
    *value = text.trimmed().toDouble(&ok);
    return ok && std::isfinite(*value);
}

} // namespace

bool IsTarget(const QString &cellName)
{
    return cellName == kLoudness || cellName == kSize || cellName == kQuality;
}

qint64 SizeBytes(const QString &text)
{
    static const QRegularExpression form(QStringLiteral("^\\s*(\\d+(?:\\.\\d*)?|\\.\\d+)\\s*(B|k|K|kB|KB|M|MB|G|GB|KiB|MiB|GiB)?\\s*$"));
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch())
        return 0;
    const QString unit = m.captured(2);
    double factor = 1;
    if (unit.startsWith(u'k') || unit.startsWith(u'K'))
        factor = unit.contains(u'i') ? 1024.0 : 1e3;
    else if (unit.startsWith(u'M'))
        factor = unit.contains(u'i') ? 1048576.0 : 1e6;
    else if (unit.startsWith(u'G'))
        factor = unit.contains(u'i') ? 1073741824.0 : 1e9;
    const double bytes = m.captured(1).toDouble() * factor;
    return bytes >= 1 && bytes <= 1e15 ? qint64(std::llround(bytes)) : 0;
}

QString Problem(const QString &cellName, const QString &value)
{
    if (value.trimmed().isEmpty())
        return {};
    double v = 0;
    if (cellName == kLoudness && !(number(value, &v) && v >= -70 && v <= -5))
        return QStringLiteral("the loudness must lie between -70 and -5 LUFS, such as -16");
    if (cellName == kQuality && !(number(value, &v) && v > 0 && v < 1))
        return QStringLiteral("the SSIM must lie between 0 and 1 (both left out), such as 0.97");
    if (cellName == kSize && SizeBytes(value) <= 0)
        return QStringLiteral("a size such as 25M, 700k or 1.5GiB is needed (k, M, G count thousands; KiB, MiB, GiB 1024s)");
    return {};
}

void Set(ParamCell &root, const QString &cellName, const QString &value)
{
    ParamCell *cell = FindCell(&root, cellName);
    if (!cell) {
        // A profile without the cell still carries the target: as an option the grid does not show.
        auto added = std::make_unique<ParamCell>();
        added->strCelltName = cellName;
        added->strShowName = cellName;
        added->strFatherName = QStringLiteral("TOP");
        added->strLocal = QStringLiteral("0,0");
        added->strOption = u'-' + cellName;
        added->nValueType = ParamCell::kText;
        cell = added.get();
        if (!root.AddChild(std::move(added)))
            return;
    }
    cell->Enable = true;
    const QString text = value.trimmed();
    if (cell->nValueType == ParamCell::kList) {
        // "Off" is the entry that gives the engine nothing; any other value is the user's own.
        if (text.isEmpty()) {
            for (int k = 0; k < cell->EntryCount(); ++k)
                if (EntryEngineValue(cell->Entry(k)).isEmpty())
                    cell->sDefault = k;
            if (cell->UsedType == ParamCell::kUserValue)
                cell->UsedType = 0;
            return;
        }
        cell->UsedType = ParamCell::kUserValue;
    }
    cell->SValue = text;
}

QString Value(const ParamCell *root, const QString &cellName)
{
    const ParamCell *cell = root ? FindCell(root, cellName) : nullptr;
    if (!cell || !cell->Enable)
        return {};
    if (cell->nValueType == ParamCell::kList)
        return cell->UsedType == ParamCell::kNeverEmitted ? QString() : EntryEngineValue(cell->CurrentListValue()).trimmed();
    return cell->nValueType == ParamCell::kText ? cell->SValue.str().trimmed() : QString();
}

} // namespace TargetCells
