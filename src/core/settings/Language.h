#pragma once
#include <QMutex>
#include <QString>

#include "core/settings/AppFolders.h"

// The current language file and the lookup of texts by id ("@21").
// Lives inside AppSettings, which makes it the program's current one; GetLangString()
// below reaches that one.
class Language
{
public:
    static constexpr int kLanguageCount = 7;

    // settingsPath is the settings file holding the language keys.
    void Init(const AppFolders &folders, const QString &settingsPath);

    // Text of an id: "@..." ids come from section [LANG], other keys from [menu].
    // Blanks at both ends removed; empty when the id, the file or the name is missing.
    QString GetLangString(const QString &key) const;
    // Makes "Lang/" + fileName of the data folders the current language file (the user's
    // own copy when there is one).
    void SetLanguageFile(const QString &fileName);
    // Makes language index (0 English .. 6 Spanish) current and stores the choice as DefauitLan.
    void SetLanguage(int index);
    // Index whose language key names the file in DefauitLan (last match in the fixed order wins).
    int GetLanguageIndex() const;

    QString CurrentFile() const;
    // The settings key naming the file of a language index ("LANGENG" for 0).
    static QString KeyOfIndex(int index);

    // The running program's language; null before the settings are loaded.
    static Language *Current();
    static void SetCurrent(Language *language);

private:
    mutable QMutex m_mutex; // the worker thread looks texts up while the UI may switch language
    AppFolders m_folders;
    QString m_settingsPath;
    QString m_filePath;
};

// Text of an id in the running program's current language.
QString GetLangString(const QString &key);
