#pragma once
#include <QString>
#include <QStringList>

// What the Options page shows and stores, without a window.

// The media file patterns of the association list, one row each ("*.avi" ... "*.mkv").
QStringList AssociationPatterns();
// A pattern's extension: from its first "." to the end ("*.avi" gives ".avi").
QString AssociationExtension(const QString &pattern);
// Whether a row carries its check mark: its extension occurs anywhere in the stored
// association text (blanks at both ends removed); a plain substring test, so ".mp"
// would also match a stored ".mp4".
bool IsAssociated(const QString &pattern, const QString &storedAssociations);

// Priority levels of the settings and the radio buttons that choose them.
struct PriorityButton
{
    int controlId;
    int level;
};
// Real Time 1029 = 2, High 1030 = 1, NORMAL 1031 = 0, IDLE 1032 = 3.
const PriorityButton *PriorityButtons(int *count);
// The button that shows a stored level; any level other than the four is used as normal.
int ButtonOfLevel(int level);
