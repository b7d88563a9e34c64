// The language-file flavour of the rebuild, apart so that code passing its own lookup
// does not need the language module.
#include "core/settings/Language.h"
#include "core/profiles/ParamDisplayNames.h"

void ParamDisplayNames::Rebuild()
{
    Rebuild([](const QString &id) { return GetLangString(id); });
}
