#include "core/profiles/ParamDisplayNames.h"

#include "core/profiles/ParamCell.h"

#include <QHash>
#include <array>
#include <utility>

namespace {

// cell name -> language id of its label
const std::array<std::pair<const char *, const char *>, 27> kCellLabels{{
    {"acodec", "@71"},
    {"ab", "@72"},
    {"ar", "@73"},
    {"ac", "@74"},
    {"vb", "@78"},
    {"s", "@79"},
    {"vcodec", "@76"},
    {"r", "@77"},
    {"aspect", "@80"},
    {"title", "@64"},
    {"author", "@66"},
    {"copyright", "@65"},
    {"comment", "@68"},
    {"album", "@67"},
    {"timestamp", "@69"},
    {"ss", "@76"},
    {"t", "@76"},
    {"crf", "@184"},
    {"preset", "@185"},
    {"deadline", "@185"},
    {"qp", "@184"},
    {"cq", "@184"},
    {"quality", "@185"},
    {"deinterlace", "@191"},
    {"loudness", "@300"},
    {"target-size", "@301"},
    {"target-ssim", "@302"},
}};
// cell name -> language id of the help shown under the grid, where the language file has one
const std::array<std::pair<const char *, const char *>, 3> kCellHelp{{
    {"loudness", "@303"},
    {"target-size", "@304"},
    {"target-ssim", "@305"},
}};
// (cell name, engine value of a list entry) -> language id of the text the entry shows
struct Choice
{
    const char *cell;
    const char *value;
    const char *id;
};
const std::array<Choice, 11> kChoices{{
    {"loudness", "", "@306"},
    {"loudness", "-23", "@307"},
    {"loudness", "-16", "@308"},
    {"loudness", "-14", "@309"},
    {"target-size", "", "@306"},
    {"target-ssim", "", "@306"},
    {"target-ssim", "0.99", "@310"},
    {"target-ssim", "0.98", "@311"},
    {"target-ssim", "0.97", "@312"},
    {"target-ssim", "0.95", "@313"},
    {"target-ssim", "0.90", "@314"},
}};
const std::array<const char *, 3> kGroupLabels{{"@75", "@70", "@63"}};

QHash<QString, QString> labels;
QHash<QString, QString> helps;
QHash<QString, QString> choices; // "cell|value" -> text
std::array<QString, 3> groupLabels;

} // namespace

namespace ParamDisplayNames {

void Rebuild(const TextLookup &lookup)
{
    labels.clear();
    for (const auto &[name, id] : kCellLabels)
        labels.insert(QString::fromLatin1(name), lookup(QString::fromLatin1(id)));
    helps.clear();
    for (const auto &[name, id] : kCellHelp)
        helps.insert(QString::fromLatin1(name), lookup(QString::fromLatin1(id)));
    choices.clear();
    for (const Choice &choice : kChoices)
        choices.insert(QString::fromLatin1(choice.cell) + u'|' + QString::fromLatin1(choice.value),
                       lookup(QString::fromLatin1(choice.id)));
    for (std::size_t i = 0; i < kGroupLabels.size(); ++i)
        groupLabels[i] = lookup(QString::fromLatin1(kGroupLabels[i]));
}

QString Label(const QString &cellName)
{
    return labels.value(cellName);
}

QString Help(const QString &cellName, const QString &own)
{
    const QString help = helps.value(cellName);
    return help.isEmpty() ? own : help;
}

QString ChoiceText(const QString &cellName, const QString &entry)
{
    const QString text = choices.value(cellName + u'|' + EntryEngineValue(entry).trimmed());
    return text.isEmpty() ? EntryShownText(entry) : text;
}

QString GroupLabel(int group)
{
    if (group < 1 || group > int(groupLabels.size()))
        return {};
    return groupLabels[std::size_t(group - 1)];
}

} // namespace ParamDisplayNames
