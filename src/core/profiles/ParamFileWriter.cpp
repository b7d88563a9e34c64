#include "core/profiles/ParamFileWriter.h"

#include <QSaveFile>
#include <algorithm>
#include <QStringList>

#include "base/IniFile.h"
#include "core/profiles/ParamCell.h"

namespace {

// A value as the reader gives it back: blanks at its edges, or a pair of quotes round it,
// survive only inside quotes of their own; a line break would end the line.
QString valueText(QString value)
{
    value.replace(u'\r', u' ').replace(u'\n', u' ');
    const bool edges = value != value.trimmed();
    const bool quoted = value.size() >= 2 && value.startsWith(u'"') && value.endsWith(u'"');
    return edges || quoted ? u'"' + value + u'"' : value;
}

QString number(float value)
{
    return QString::number(double(value), 'g', 9);
}

// The entry a typed list value becomes, and its index: an entry that already hands the
// engine that value, else a new last one (the last slot when the list is full).
int entryForUserValue(const ParamCell &cell, QString *added)
{
    const QString value = cell.SValue.str();
    for (int k = 0; k < cell.EntryCount(); ++k)
        if (EntryEngineValue(cell.Entry(k)) == value)
            return k;
    *added = value + u'|' + UserValueText(cell);
    return std::min(cell.EntryCount(), ParamCell::kMaxListEntries - 1);
}

void writeCell(QStringList &lines, const ParamCell &cell, int index)
{
    int entries = cell.EntryCount();
    int chosen = cell.sDefault;
    int usedType = cell.UsedType;
    QString added;
    if (cell.nValueType == ParamCell::kList && usedType == ParamCell::kUserValue) {
        chosen = entryForUserValue(cell, &added);
        usedType = 0;
        if (!added.isEmpty())
            entries = std::max(entries, chosen + 1);
    }

    auto put = [&lines](const QString &key, const QString &value) { lines << key + u'=' + valueText(value); };
    lines << QString() << QStringLiteral("[node%1]").arg(index);
    put(QStringLiteral("strCelltName"), cell.strCelltName.str());
    put(QStringLiteral("strShowName"), cell.strShowName.str());
    put(QStringLiteral("strFatherName"), cell.strFatherName.str());
    put(QStringLiteral("strLocal"), cell.strLocal.str());
    put(QStringLiteral("AlowEdit"), cell.AlowEdit ? QStringLiteral("1") : QStringLiteral("0"));
    put(QStringLiteral("nUserMode"), QString::number(cell.nUserMode));
    put(QStringLiteral("UsedType"), QString::number(usedType));
    put(QStringLiteral("Enable"), cell.Enable ? QStringLiteral("TRUE") : QStringLiteral("FALSE"));
    put(QStringLiteral("nValueType"), QString::number(cell.nValueType));
    put(QStringLiteral("nLevel"), QString::number(cell.nLevel));
    if (cell.nValueType == ParamCell::kList) {
        put(QStringLiteral("nStrArraySize"), QString::number(entries));
        for (int k = 0; k < entries; ++k)
            put(QStringLiteral("sValues[%1]").arg(k), !added.isEmpty() && k == chosen ? added : cell.Entry(k));
    } else if (cell.nValueType == ParamCell::kText) {
        put(QStringLiteral("SValue"), cell.SValue.str());
    }
    put(QStringLiteral("fValue"), number(cell.fValue));
    put(QStringLiteral("fMAx"), number(cell.fMAx));
    put(QStringLiteral("fMin"), number(cell.fMin));
    put(QStringLiteral("fStep"), number(cell.fStep));
    put(QStringLiteral("Help"), cell.Help.str());
    put(QStringLiteral("sDefault"), QString::number(chosen));
}

void writeBelow(QStringList &lines, const ParamCell &father, int &index)
{
    for (const auto &child : father.pChildren) {
        writeCell(lines, *child, index++);
        writeBelow(lines, *child, index);
    }
}

} // namespace

QString ParamFileText(const ParamFileContent &content)
{
    QStringList cells;
    int count = 0;
    if (content.root)
        writeBelow(cells, *content.root, count);
    QStringList lines;
    lines << QStringLiteral("; CorvaneStudio parameter file: ") + QString(content.title).replace(u'\n', u' ')
          << QStringLiteral("[allset]") << QStringLiteral("numbersofnodes=%1").arg(count)
          << QStringLiteral("values=") + valueText(content.values)
          << QStringLiteral("TargetType=") + valueText(content.targetType);
    return (lines + cells).join(u'\n') + u'\n';
}

bool WriteParamFile(const QString &path, const ParamFileContent &content, QString *error)
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(ParamFileText(content).toUtf8());
        if (file.commit()) {
            IniFile::Forget(path);
            return true;
        }
    }
    if (error)
        *error = file.errorString();
    return false;
}
