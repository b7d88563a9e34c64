#include "core/settings/Language.h"

#include <atomic>

#include "base/IniFile.h"
#include "base/SplitString.h"

namespace {
const QString kSystem = QStringLiteral("SYSTEM");
const QString kDefaultLanguageKey = QStringLiteral("DefauitLan");
const char *const kIndexKeys[Language::kLanguageCount] = {
    "LANGENG", "LANGCHI", "LANJAPAN", "LANBIG5", "LANFRENCH", "LANGERMAN", "LANSPANISH"};
} // namespace

void Language::Init(const AppFolders &folders, const QString &settingsPath)
{
    QMutexLocker lock(&m_mutex);
    m_folders = folders;
    m_settingsPath = settingsPath;
}

QString Language::KeyOfIndex(int index)
{
    if (index < 0 || index >= kLanguageCount)
        return {};
    return QString::fromLatin1(kIndexKeys[index]);
}

QString Language::GetLangString(const QString &key) const
{
    const QString section = key.startsWith(u'@') ? QStringLiteral("LANG") : QStringLiteral("menu");
    const QString path = CurrentFile();
    if (path.isEmpty())
        return {};
    return IniFile::ReadString(path, section, key).trimmed();
}

void Language::SetLanguageFile(const QString &fileName)
{
    QMutexLocker lock(&m_mutex);
    m_filePath = m_folders.DataFile(QStringLiteral("Lang/") + fileName);
}

QString Language::CurrentFile() const
{
    QMutexLocker lock(&m_mutex);
    return m_filePath;
}

void Language::SetLanguage(int index)
{
    const QString key = KeyOfIndex(index);
    if (key.isEmpty())
        return;
    const QString fileName = TrimLeft(IniFile::ReadString(m_settingsPath, kSystem, key));
    // Written only when it changes: every headless start sets the language again.
    if (IniFile::ReadString(m_settingsPath, kSystem, kDefaultLanguageKey) != fileName)
        IniFile::WriteString(m_settingsPath, kSystem, kDefaultLanguageKey, fileName);
    SetLanguageFile(fileName);
}

int Language::GetLanguageIndex() const
{
    const QString current = TrimLeft(IniFile::ReadString(m_settingsPath, kSystem, kDefaultLanguageKey));
    // Chinese (Simplified) is asked before English, so when both keys name the
    // same file the English item wins.
    static const int order[kLanguageCount] = {1, 0, 2, 3, 4, 5, 6};
    int index = 0;
    for (int i : order)
        if (TrimLeft(IniFile::ReadString(m_settingsPath, kSystem, KeyOfIndex(i))) == current)
            index = i;
    return index;
}

namespace {
std::atomic<Language *> g_current{nullptr};
}

Language *Language::Current()
{
    return g_current.load();
}

void Language::SetCurrent(Language *language)
{
    g_current = language;
}

QString GetLangString(const QString &key)
{
    const Language *language = Language::Current();
    return language ? language->GetLangString(key) : QString();
}
