#pragma once
#include <QString>

#include "lang/Language.h"

// The program's one settings object: where the program lives, the settings file
// MirraSoft.ini (section SYSTEM) and the current language. Each setting is written
// to the file at the moment it changes.
class AppSettings
{
public:
    AppSettings();
    ~AppSettings();
    AppSettings(const AppSettings &) = delete;
    AppSettings &operator=(const AppSettings &) = delete;

    // The settings object of the running program (the last one loaded).
    static AppSettings &Instance();
    static bool HasInstance();

    // Finds the program folder from the running program's path, reads every SYSTEM
    // key and loads the language named by DefauitLan. When the program folder is
    // not writable, the settings file and the run log live in the per-user folder
    // $XDG_CONFIG_HOME/corvane-studio/, seeded from the shipped settings file.
    void Load(const QString &programPath);

    QString GetProgramFolder() const { return m_programFolder; } // ends in "/"
    QString GetProgramName() const { return m_programName; }
    QString GetSettingsPath() const { return m_settingsPath; }
    // Folder for the files the program writes (settings, run log); ends in "/".
    QString GetWritableFolder() const { return m_writableFolder; }

    QString GetSavedPath() const { return m_savedPath; }
    void SetSavedPath(const QString &path);
    QString GetDefaultLanguage() const { return m_defaultLanguage; }
    QString GetRunMode() const { return m_runMode; }
    int GetPriorityLevel() const { return m_priorityLevel; }
    bool SetPriorityLevel(int level); // refuses values outside 0..4
    bool IsLanguageKept() const { return m_languageKept; }
    void SetLanguageKept(bool kept);
    bool IsPreviewHidden() const { return m_previewHidden; }
    void SetPreviewHidden(bool hidden);
    QString GetAssociationRecord(); // read from the file on demand

    Language &GetLanguage() { return m_language; }
    const Language &GetLanguage() const { return m_language; }
    // Language switch by index; keeps defaultLanguage in step with the file.
    void SetLanguage(int index);

private:
    void write(const QString &key, const QString &value);

    QString m_programFolder;
    QString m_programName;
    QString m_settingsPath;
    QString m_writableFolder;
    QString m_savedPath;
    QString m_defaultLanguage;
    QString m_runMode;
    int m_priorityLevel = 0;
    bool m_languageKept = false;
    bool m_previewHidden = false;
    QString m_associationRecord;
    Language m_language;
};
