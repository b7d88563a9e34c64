#include "ui/widgets/Resources.h"

#include <QGuiApplication>
#include <QtCore/qglobal.h>
#include <QtCore/qresource.h>

#include "core/settings/ProgramIdentity.h"

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

QIcon ProgramIcon()
{
    InitProgramResources();
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/app/app-%1.png").arg(size), QSize(size, size));
    return icon;
}

void SetDesktopIdentity()
{
    QGuiApplication::setDesktopFileName(ProgramIdentity::DesktopId());
    QGuiApplication::setWindowIcon(ProgramIcon());
}
