#include "app/AppSettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

#include "core/IniFile.h"
#include "core/SplitString.h"

namespace {
const QString kSystem = QStringLiteral("SYSTEM");
const QString kSettingsFile = QStringLiteral("MirraSoft.ini");
AppSettings *g_instance = nullptr;

// True when a new file can really be created in folder (permission bits lie for root and on read-only mounts).
bool folderAcceptsFiles(const QString &folder)
{
    QTemporaryFile probe(folder + QStringLiteral(".write-test-XXXXXX"));
    return probe.open();
}

QString perUserFolder()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/corvane-studio/");
}
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
    const QFileInfo program(programPath);
    m_programFolder = program.absolutePath() + u'/';
    m_programName = program.completeBaseName();

    const QString shipped = m_programFolder + kSettingsFile;
    if (folderAcceptsFiles(m_programFolder)) {
        m_writableFolder = m_programFolder;
    } else {
        m_writableFolder = perUserFolder();
        QDir().mkpath(m_writableFolder);
        if (!QFileInfo::exists(m_writableFolder + kSettingsFile) && QFileInfo::exists(shipped)) {
            QFile::copy(shipped, m_writableFolder + kSettingsFile);
            QFile::setPermissions(m_writableFolder + kSettingsFile,
                                  QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        }
    }
    m_settingsPath = m_writableFolder + kSettingsFile;

    m_savedPath = IniFile::ReadString(m_settingsPath, kSystem, QStringLiteral("SavedPath"));
    m_defaultLanguage = TrimLeft(IniFile::ReadString(m_settingsPath, kSystem, QStringLiteral("DefauitLan")));
    m_runMode = IniFile::ReadString(m_settingsPath, kSystem, QStringLiteral("RUNMODE")).trimmed();
    m_priorityLevel = IniFile::ReadInt(m_settingsPath, kSystem, QStringLiteral("PROCSEE_LEVEL"), 0);
    m_languageKept = IniFile::ReadInt(m_settingsPath, kSystem, QStringLiteral("INIMODE"), 0) >= 1;
    m_previewHidden = IniFile::ReadInt(m_settingsPath, kSystem, QStringLiteral("HIDEPREW"), 0) >= 1;

    m_language.Init(m_programFolder, m_settingsPath);
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
