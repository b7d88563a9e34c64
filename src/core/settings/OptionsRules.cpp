#include "core/settings/OptionsRules.h"

#include <iterator>

#include "base/SplitString.h"

namespace {
const PriorityButton kButtons[] = {{1029, 2}, {1030, 1}, {1031, 0}, {1032, 3}};
constexpr int kNormalButton = 1031;
} // namespace

QStringList AssociationPatterns()
{
    QStringList patterns;
    SplitString(QStringLiteral("*.avi;*.3gp;*.gif;*.dv;*.dif;*.qt;*.swf;*.mjpg;*.mjpeg;*.nut;*.h264;*.h261;*.m4v;"
                               "*.yuv;*.rm;*.ra;*.ram;*.rmvb;*.3g2;*.mp4;*.asf;*.vob;*.mov;*.mpg;*.mpeg;*.mpa;*.dat;"
                               "*.wmv;*.flv;*.mkv"),
                patterns, QStringLiteral(";"), false);
    patterns.removeAll(QString());
    return patterns;
}

QString AssociationExtension(const QString &pattern)
{
    const qsizetype dot = pattern.indexOf(u'.');
    return dot < 0 ? QString() : pattern.mid(dot);
}

bool IsAssociated(const QString &pattern, const QString &storedAssociations)
{
    const QString extension = AssociationExtension(pattern);
    return !extension.isEmpty() && storedAssociations.trimmed().contains(extension);
}

const PriorityButton *PriorityButtons(int *count)
{
    if (count)
        *count = int(std::size(kButtons));
    return kButtons;
}

int ButtonOfLevel(int level)
{
    for (const PriorityButton &b : kButtons)
        if (b.level == level)
            return b.controlId;
    return kNormalButton;
}
