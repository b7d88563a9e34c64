#pragma once
#include <QString>

class CurrentProfile;
class PropertyGrid;
class QComboBox;

// The profile selector's side of the catalogue: a combo box filled from profile.ini and
// kept in step with the current profile and the parameter grid.

// Reads the catalogue into ProfileMap and inserts its names into the combo at positions
// 0, 1, ... in file order (not sorted). Emits no selection signal.
void ReadProfileCatalogue(const QString &cataloguePath, QComboBox *combo);

// Start-up: fills the combo, selects the default entry without emitting a selection
// signal, makes that profile current and shows it in the grid. On an unexpected failure
// shows "Error CCorvaneStudioDlg::LoadProfiles()!" and returns false (what was done stays).
// The caller copies the saved destination folder itself.
bool LoadProfiles(const QString &cataloguePath, QComboBox *combo, PropertyGrid *grid, CurrentProfile &profile);

// The combo's selection change: makes the selected profile current and shows it.
void OnProfileSelectionChange(QComboBox *combo, PropertyGrid *grid, CurrentProfile &profile);
// Greys out a profile the machine cannot convert with; its tooltip says why.
void MarkProfileUnavailable(QComboBox *combo, const QString &name, const QString &reason);
