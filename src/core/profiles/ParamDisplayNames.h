#pragma once
#include <QString>
#include <functional>

// The labels the parameter grid shows for cells and for its three groups, taken from
// the language file. Rebuilt whenever the language texts are applied (start-up and
// every language switch). User-interface thread only.
namespace ParamDisplayNames {

using TextLookup = std::function<QString(const QString &id)>;

void Rebuild(const TextLookup &lookup);
// Rebuilds from the running program's current language.
void Rebuild();

// The label of a cell name (exact match); empty for a name without one.
QString Label(const QString &cellName);
// The help a cell shows under the grid: the language file's where it has one, else its own.
QString Help(const QString &cellName, const QString &own);
// The text a list entry shows: the language file's where it has one for the entry's engine
// value, else the entry's own text after the "|".
QString ChoiceText(const QString &cellName, const QString &entry);
// The label of grid group 1 (video), 2 (audio) or 3 (metadata); empty otherwise.
QString GroupLabel(int group);

} // namespace ParamDisplayNames
