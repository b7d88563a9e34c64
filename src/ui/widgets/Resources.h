#pragma once
#include <QIcon>

// Registers the program's compiled-in resources (icons under ":/icons/", look sheets
// under ":/looks/"). They are linked from a static library, where nothing pulls them
// in unless somebody asks once. Call it before the first icon is loaded; further calls
// do nothing.
void InitProgramResources();

// The program's icon at every size it is drawn in (16 to 256 pixels), for the windows and
// the desktop's window switcher.
QIcon ProgramIcon();

// Who the windows belong to: the desktop id (which names the .desktop file, so a Wayland
// compositor finds the icon and the name) and the icon set for every window.
void SetDesktopIdentity();
