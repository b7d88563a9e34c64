// The profile operations that take the running program's folder. Kept apart so that
// code (and tests) which pass the folder themselves do not need the settings object.
#include "app/AppSettings.h"
#include "profiles/ProfileCatalogue.h"

QString GetTargetType(const QString &profileName)
{
    return GetTargetType(profileName, AppSettings::Instance().GetProgramFolder());
}
