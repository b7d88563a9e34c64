#include "core/profiles/ParamDisplayNames.h"

#include <QHash>
#include <array>
#include <utility>

namespace {

// cell name -> language id of its label
const std::array<std::pair<const char *, const char *>, 24> kCellLabels{{
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
}};
const std::array<const char *, 3> kGroupLabels{{"@75", "@70", "@63"}};

QHash<QString, QString> labels;
std::array<QString, 3> groupLabels;

} // namespace

namespace ParamDisplayNames {

void Rebuild(const TextLookup &lookup)
{
    labels.clear();
    for (const auto &[name, id] : kCellLabels)
        labels.insert(QString::fromLatin1(name), lookup(QString::fromLatin1(id)));
    for (std::size_t i = 0; i < kGroupLabels.size(); ++i)
        groupLabels[i] = lookup(QString::fromLatin1(kGroupLabels[i]));
}

QString Label(const QString &cellName)
{
    return labels.value(cellName);
}

QString GroupLabel(int group)
{
    if (group < 1 || group > int(groupLabels.size()))
        return {};
    return groupLabels[std::size_t(group - 1)];
}

} // namespace ParamDisplayNames
