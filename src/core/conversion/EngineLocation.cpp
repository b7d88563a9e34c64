#include "core/conversion/EngineLocation.h"

#include <QCoreApplication>
#include <QMutex>
#include <QMutexLocker>

namespace {

QMutex g_mutex;
QString g_folder; // empty: the program folder

} // namespace

QString EngineFolder()
{
    QString folder;
    {
        QMutexLocker lock(&g_mutex);
        folder = g_folder;
    }
    if (folder.isEmpty() && QCoreApplication::instance())
        folder = QCoreApplication::applicationDirPath() + u'/';
    return folder;
}

QString EngineProgramPath()
{
    return EngineFolder() + QStringLiteral("mirracore");
}

void SetEngineProgramFolder(const QString &folderEndingInSlash)
{
    QMutexLocker lock(&g_mutex);
    g_folder = folderEndingInSlash;
}
