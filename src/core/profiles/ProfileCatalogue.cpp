#include "core/profiles/ProfileCatalogue.h"

#include <algorithm>

#include "base/IniFile.h"

ProfileMap &ProfileMap::Instance()
{
    static ProfileMap map;
    return map;
}

void ProfileMap::Set(const QString &name, const QString &path)
{
    QMutexLocker lock(&m_mutex);
    m_paths.insert(name, path);
}

QString ProfileMap::Lookup(const QString &name)
{
    QMutexLocker lock(&m_mutex);
    auto it = m_paths.find(name);
    if (it == m_paths.end())
        it = m_paths.insert(name, QString());
    return it.value();
}

bool ProfileMap::Contains(const QString &name) const
{
    QMutexLocker lock(&m_mutex);
    return m_paths.contains(name);
}

void ProfileMap::Clear()
{
    QMutexLocker lock(&m_mutex);
    m_paths.clear();
}

QStringList ReadProfileCatalogue(const QString &cataloguePath)
{
    const int count = std::min(
        IniFile::ReadInt(cataloguePath, QStringLiteral("AllCount"), QStringLiteral("AllSetNumbers"), 10),
        kMaxProfiles);
    QStringList names;
    for (int i = 1; i <= count; ++i) {
        const QString section = QStringLiteral("profile%1").arg(i);
        const QString name = IniFile::ReadString(cataloguePath, section, QStringLiteral("SetName"));
        const QString path = IniFile::ReadString(cataloguePath, section, QStringLiteral("Path"));
        ProfileMap::Instance().Set(name, path);
        names << name;
    }
    return names;
}

int DefaultProfileIndex(const QString &cataloguePath)
{
    return IniFile::ReadInt(cataloguePath, QStringLiteral("AllSetProfile"), QStringLiteral("Default"), 0);
}

QString ProfileFile(const QString &profileName, const AppFolders &folders)
{
    return folders.DataFile(ProfileMap::Instance().Lookup(profileName));
}

QString GetSoftwareTwin(const QString &profileName, const AppFolders &folders)
{
    const QString path = ProfileFile(profileName, folders);
    return IniFile::ReadString(path, QStringLiteral("allset"), QStringLiteral("SoftwareTwin")).trimmed();
}

QString GetTargetType(const QString &profileName, const AppFolders &folders)
{
    const QString path = ProfileFile(profileName, folders);
    return IniFile::ReadString(path, QStringLiteral("allset"), QStringLiteral("TargetType")).trimmed();
}
