#include "core/settings/AppSettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "base/IniFile.h"
#include "base/SplitString.h"
#include "core/conversion/JobCount.h"

namespace {
const QString kSystem = QStringLiteral("SYSTEM");
const QString kSettingsFile = QStringLiteral("MirraSoft.ini");
AppSettings *g_instance = nullptr;
} // namespace

AppSettings::AppSettings()
{
    g_instance = this;
    Language::SetCurrent(&m_language);
}

AppSettings::~AppSettings()
{
    if (g_instance == this)
        g_instance = nullptr;
    if (Language::Current() == &m_language)
        Language::SetCurrent(nullptr);
}

AppSettings &AppSettings::Instance()
{
    Q_ASSERT(g_instance);
    return *g_instance;
}

bool AppSettings::HasInstance()
{
    return g_instance != nullptr;
}

void AppSettings::Load(const QString &programPath)
{
    g_instance = this;
    Language::SetCurrent(&m_language);
    m_folders = AppFolders::ForProgram(programPath);
    AppFolders::SetCurrent(m_folders);
    m_programName = QFileInfo(programPath).completeBaseName();

    const QString config = m_folders.ConfigFolder();
    m_settingsPath = config + kSettingsFile;
    if (m_folders.UsesUserFolders() && !QFileInfo::exists(m_settingsPath)) {
        QDir().mkpath(config);
        const QString shipped = m_folders.DataFolder() + kSettingsFile;
        if (QFile::copy(shipped, m_settingsPath)) // a shipped file is read-only; the copy must not be
            QFile::setPermissions(m_settingsPath, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }

    m_savedPath = IniFile::ReadString(m_settingsPath, kSystem, QStringLiteral("SavedPath"));
    m_defaultLanguage = TrimLeft(IniFile::ReadString(m_settingsPath, kSystem, QStringLiteral("DefauitLan")));
    m_runMode = IniFile::ReadString(m_settingsPath, kSystem, QStringLiteral("RUNMODE")).trimmed();
    m_priorityLevel = IniFile::ReadInt(m_settingsPath, kSystem, QStringLiteral("PROCSEE_LEVEL"), 0);
    // A number the window cannot offer is the automatic choice.
    m_jobs = IniFile::ReadInt(m_settingsPath, kSystem, QStringLiteral("JOBS"), 0);
    if (m_jobs < 0 || m_jobs > JobCount::kMaxJobs)
        m_jobs = 0;
    m_languageKept = IniFile::ReadInt(m_settingsPath, kSystem, QStringLiteral("INIMODE"), 0) >= 1;
    m_previewHidden = IniFile::ReadInt(m_settingsPath, kSystem, QStringLiteral("HIDEPREW"), 0) >= 1;
    m_dateKept = IniFile::ReadInt(m_settingsPath, kSystem, QStringLiteral("KEEPDATE"), 0) >= 1;

    m_language.Init(m_folders, m_settingsPath);
    m_language.SetLanguageFile(m_defaultLanguage);
}

void AppSettings::write(const QString &key, const QString &value)
{
    IniFile::WriteString(m_settingsPath, kSystem, key, value); // a failed write is not reported
}

void AppSettings::SetSavedPath(const QString &path)
{
    m_savedPath = path;
    write(QStringLiteral("SavedPath"), path);
}

bool AppSettings::SetPriorityLevel(int level)
{
    if (level < 0 || level > 4)
        return false;
    m_priorityLevel = level;
    write(QStringLiteral("PROCSEE_LEVEL"), QString::number(level));
    return true;
}

bool AppSettings::SetJobs(int jobs)
{
    if (jobs < 0 || jobs > JobCount::kMaxJobs)
        return false;
    m_jobs = jobs;
    write(QStringLiteral("JOBS"), QString::number(jobs));
    return true;
}

void AppSettings::SetLanguageKept(bool kept)
{
    m_languageKept = kept;
    write(QStringLiteral("INIMODE"), kept ? QStringLiteral("1") : QStringLiteral("0"));
}

void AppSettings::SetPreviewHidden(bool hidden)
{
    m_previewHidden = hidden;
    write(QStringLiteral("HIDEPREW"), hidden ? QStringLiteral("1") : QStringLiteral("0"));
}

void AppSettings::SetDateKept(bool kept)
{
    m_dateKept = kept;
    write(QStringLiteral("KEEPDATE"), kept ? QStringLiteral("1") : QStringLiteral("0"));
}

QString AppSettings::GetAssociationRecord()
{
    m_associationRecord = IniFile::ReadString(m_settingsPath, kSystem, QStringLiteral("OLDASSOCIATIONREG")).trimmed();
    return m_associationRecord;
}

void AppSettings::SetLanguage(int index)
{
    m_language.SetLanguage(index);
    m_defaultLanguage = TrimLeft(IniFile::ReadString(m_settingsPath, kSystem, QStringLiteral("DefauitLan")));
}
