#include "toolkit/Resources.h"

#include <QtCore/qglobal.h>
#include <QtCore/qresource.h>

// Outside any namespace: the macro declares the initialiser at the scope it is used in.
static void registerResources()
{
    Q_INIT_RESOURCE(resources);
}

void InitProgramResources()
{
    static const bool registered = (registerResources(), true);
    Q_UNUSED(registered);
}
