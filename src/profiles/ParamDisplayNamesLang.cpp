// The language-file flavour of the rebuild, apart so that code passing its own lookup
// does not need the language module.
#include "lang/Language.h"
#include "profiles/ParamDisplayNames.h"

void ParamDisplayNames::Rebuild()
{
    Rebuild([](const QString &id) { return GetLangString(id); });
}
