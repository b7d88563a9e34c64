#pragma once
#include <QString>
#include <optional>

#include "ui/widgets/PropertyGrid.h"

struct ParamCell;
class CurrentProfile;
class QWidget;

// Shows a parameter tree in a PropertyGrid and writes the user's edits back into it.

// Replaces the grid's contents with the root's direct children, in three groups
// (video, audio, metadata). A null root leaves the grid as it is.
void ShowParamFromTree(PropertyGrid *grid, const ParamCell *root);

// Creates the property of one cell in a group. Its key is the cell's show name.
PropertyGridItem *AddCellProperty(const ParamCell &cell, PropertyGridItem *group, PropertyGrid *grid);

struct PropertyChangeResult
{
    bool applied = false;           // a cell was found for the property
    std::optional<int> aspectMode;  // set when the edit chose a new aspect mode
};

// Writes a property's new value into its cell of tree (found by the property's key, the
// cell's show name). Edits happen under ParamTreeMutex. When the aspect cell was changed
// the new aspect mode is returned; the caller stores it where it belongs.
PropertyChangeResult ApplyPropertyChange(PropertyGridItem *property, ParamCell *tree, PropertyGrid *grid);

// The tree an edit goes to: a task's private tree when the task has one and does not use
// the global output settings (useGlobalOutput != 1), else the current tree.
ParamCell *TreeForEdit(ParamCell *currentTree, bool hasTask, int useGlobalOutput, ParamCell *privateTree);

// The main window's and the Detail dialog's edit of the current tree: applies the change
// and takes over a new aspect mode. True when a cell was changed.
bool ApplyCurrentProfileChange(CurrentProfile &profile, PropertyGridItem *property, PropertyGrid *grid);

// inactive = 1: greyed colours and the grid disabled; 0: the active colours, grid enabled.
void SetGridLook(PropertyGrid *grid, int inactive);
PropertyGridColors ActiveGridColors();
PropertyGridColors InactiveGridColors();
// The colours of the grid in the main window.
PropertyGridColors MainGridColors();

// A grid set up as every parameter window wants it: header, description area, flat
// look, modified values in bold.
PropertyGrid *CreateParamGrid(QWidget *parent);
// The main window's grid: as above, in the main window's colours.
PropertyGrid *CreateMainParamGrid(QWidget *parent);


