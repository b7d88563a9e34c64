#pragma once
#include <QList>

class QAction;

// Replaces the texts of a menu's items in place by the current language's texts:
// each sub-menu takes the text of the running popup counter, each known command
// its own text; separators and unknown ids keep theirs. Depth first.
void ApplyMenuTexts(const QList<QAction *> &items, int &popupCounter);
