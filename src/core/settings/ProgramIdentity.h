#pragma once
#include <QString>

#include "BuildInfo.h"

// Names under which the program is known to the desktop and on the command line.
namespace ProgramIdentity {

// The executable, the data and settings folders, the manual page.
inline QString CommandName() { return QStringLiteral("corvane-studio"); }
// The .desktop file name (without ".desktop"), the AppStream id and the Wayland app id.
inline QString DesktopId() { return QStringLiteral(CORVANE_DESKTOP_ID); }
// From the CMake project version.
inline QString Version() { return QStringLiteral(CORVANE_VERSION); }

} // namespace ProgramIdentity
