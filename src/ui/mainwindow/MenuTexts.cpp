#include "ui/mainwindow/MenuTexts.h"

#include <QAction>
#include <QHash>
#include <QMenu>

#include "core/settings/Language.h"

namespace {
const char *const kPopupIds[] = {"@119", "@124", "@130", "@132", "@166", "@136"};

const QHash<int, QString> &commandTextIds()
{
    static const QHash<int, QString> ids = {
        {32771, "@120"}, {32772, "@167"}, {32773, "@122"}, {32777, "@127"}, {32778, "@126"},
        {32781, "@129"}, {32791, "@131"}, {32794, "@141"}, {32797, "@140"}, {32799, "@128"},
        {32800, "@137"}, {32809, "@153"}, {32811, "@154"}, {32812, "@162"}, {32861, "@133"},
        {32862, "@134"}, {32864, "@135"}, {57601, "@180"}, {57642, "@125"}, {57665, "@123"},
        {32900, "@173"}, {32901, "@174"}, {1045, "@242"},  {1186, "@243"},  {1204, "@244"},
    };
    return ids;
}
} // namespace

void ApplyMenuTexts(const QList<QAction *> &items, int &popupCounter)
{
    for (QAction *action : items) {
        if (action->isSeparator())
            continue;
        if (QMenu *sub = action->menu()) {
            if (popupCounter >= 0 && popupCounter < int(std::size(kPopupIds)))
                action->setText(GetLangString(QString::fromLatin1(kPopupIds[popupCounter])));
            ++popupCounter;
            ApplyMenuTexts(sub->actions(), popupCounter);
            continue;
        }
        const auto it = commandTextIds().constFind(action->data().toInt());
        if (it != commandTextIds().constEnd())
            action->setText(GetLangString(*it));
    }
}
