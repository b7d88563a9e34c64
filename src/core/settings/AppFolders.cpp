#include "core/settings/AppFolders.h"

#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QTemporaryFile>
#include <sys/stat.h>
#include <unistd.h>

#include "BuildInfo.h"

namespace {

const QString kSubfolder = QStringLiteral("/corvane-studio/");

QMutex g_mutex;
AppFolders g_current;

// True when a new file can really be created in folder (permission bits lie for root and
// on read-only mounts).
bool acceptsFiles(const QString &folder)
{
    QTemporaryFile probe(folder + QStringLiteral(".write-test-XXXXXX"));
    return probe.open();
}

QString withSlash(const QString &path)
{
    return path.endsWith(u'/') ? path : path + u'/';
}

// folder + relative, both as the installed layout names them, tidied.
QString below(const QString &folder, const char *relative)
{
    return withSlash(QDir::cleanPath(folder + QString::fromUtf8(relative)));
}

} // namespace

AppFolders AppFolders::ForProgram(const QString &programPath)
{
    AppFolders f;
    f.m_program = withSlash(QFileInfo(programPath).absolutePath());
    const QString installedData = below(f.m_program, CORVANE_DATA_FROM_BIN);
    // A build folder has its data beside the executable; an installed tree one level over.
    const bool installed = !QFileInfo::exists(f.m_program + QStringLiteral("profile.ini")) &&
                           QFileInfo(installedData).isDir();
    if (installed) {
        f.m_layout = Layout::Installed;
        f.m_library = below(f.m_program, CORVANE_LIBRARY_FROM_BIN);
        f.m_data = installedData;
        f.m_userFolders = true;
    } else {
        f.m_library = f.m_data = f.m_program;
        f.m_userFolders = !acceptsFiles(f.m_program);
    }

    if (f.m_userFolders) {
        f.m_config = XdgBaseFolder("XDG_CONFIG_HOME", QStringLiteral("/.config")) + kSubfolder;
        f.m_userData = XdgBaseFolder("XDG_DATA_HOME", QStringLiteral("/.local/share")) + kSubfolder;
        f.m_state = XdgBaseFolder("XDG_STATE_HOME", QStringLiteral("/.local/state")) + kSubfolder;
        f.m_cache = XdgBaseFolder("XDG_CACHE_HOME", QStringLiteral("/.cache")) + kSubfolder;
    } else {
        f.m_config = f.m_program;
        f.m_userData = f.m_state = f.m_program + QStringLiteral("user/");
        f.m_cache = f.m_program + QStringLiteral("cache/");
    }
    return f;
}

QString AppFolders::DataFile(const QString &relative) const
{
    const QString own = ownCopy(relative);
    return !own.isEmpty() && QFileInfo(own).isFile() ? own : m_data + relative;
}

QString AppFolders::UserDataFile(const QString &relative) const
{
    const QString path = ownCopy(relative);
    if (!path.isEmpty())
        QDir().mkpath(QFileInfo(path).absolutePath());
    return path;
}

QString AppFolders::ownCopy(const QString &relative) const
{
    const QString clean = QDir::cleanPath(relative);
    if (m_userData.isEmpty() || clean.isEmpty() || QDir::isAbsolutePath(clean) || clean == QLatin1String("..") ||
        clean.startsWith(QLatin1String("../")))
        return {};
    return m_userData + clean;
}

AppFolders AppFolders::Current()
{
    QMutexLocker lock(&g_mutex);
    return g_current;
}

void AppFolders::SetCurrent(const AppFolders &folders)
{
    QMutexLocker lock(&g_mutex);
    g_current = folders;
}

QString XdgBaseFolder(const char *variable, const QString &fallbackUnderHome)
{
    const QString value = qEnvironmentVariable(variable);
    if (QDir::isAbsolutePath(value))
        return QDir::cleanPath(value);
    return QDir::cleanPath(QDir::homePath() + fallbackUnderHome);
}

void EnsureRuntimeFolder()
{
    if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        return;
    const QByteArray folder = QFile::encodeName(QDir::tempPath() + QStringLiteral("/runtime-%1").arg(geteuid()));
    ::mkdir(folder.constData(), 0700); // an existing one is checked below
    struct stat st;
    if (::lstat(folder.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != geteuid() ||
        (st.st_mode & 0777) != 0700)
        return;
    qputenv("XDG_RUNTIME_DIR", folder);
}
