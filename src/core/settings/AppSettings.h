#pragma once
#include <QString>

#include "core/settings/AppFolders.h"
#include "core/settings/Language.h"

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

    // Finds the program's folders from the running program's path (and makes them the
    // current ones), reads every SYSTEM key and loads the language named by DefauitLan.
    // The settings file lives in the configuration folder; a per-user one is first
    // seeded from the shipped settings file.
    void Load(const QString &programPath);

    QString GetProgramFolder() const { return m_folders.ProgramFolder(); } // ends in "/"
    QString GetProgramName() const { return m_programName; }
    QString GetSettingsPath() const { return m_settingsPath; }
    // Where everything is read from and written to.
    const AppFolders &Folders() const { return m_folders; }

    QString GetSavedPath() const { return m_savedPath; }
    void SetSavedPath(const QString &path);
    QString GetDefaultLanguage() const { return m_defaultLanguage; }
    QString GetRunMode() const { return m_runMode; }
    int GetPriorityLevel() const { return m_priorityLevel; }
    bool SetPriorityLevel(int level); // refuses values outside 0..4
    // Conversions at once: 0 for the automatic choice, else 1 to 8.
    int GetJobs() const { return m_jobs; }
    bool SetJobs(int jobs); // refuses values outside 0..8
    bool IsLanguageKept() const { return m_languageKept; }
    void SetLanguageKept(bool kept);
    bool IsPreviewHidden() const { return m_previewHidden; }
    void SetPreviewHidden(bool hidden);
    // KEEPDATE: each converted file gets the modification time of its source.
    bool IsDateKept() const { return m_dateKept; }
    void SetDateKept(bool kept);
    QString GetAssociationRecord(); // read from the file on demand

    Language &GetLanguage() { return m_language; }
    const Language &GetLanguage() const { return m_language; }
    // Language switch by index; keeps defaultLanguage in step with the file.
    void SetLanguage(int index);

private:
    void write(const QString &key, const QString &value);

    AppFolders m_folders;
    QString m_programName;
    QString m_settingsPath;
    QString m_savedPath;
    QString m_defaultLanguage;
    QString m_runMode;
    int m_priorityLevel = 0;
    int m_jobs = 0;
    bool m_languageKept = false;
    bool m_previewHidden = false;
    bool m_dateKept = false;
    QString m_associationRecord;
    Language m_language;
};
