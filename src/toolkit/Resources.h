#pragma once

// Registers the program's compiled-in resources (icons under ":/icons/", look sheets
// under ":/looks/"). They are linked from a static library, where nothing pulls them
// in unless somebody asks once. Call it before the first icon is loaded; further calls
// do nothing.
void InitProgramResources();
