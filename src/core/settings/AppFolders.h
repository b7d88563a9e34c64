#pragma once
#include <QString>

// Where the program finds its files and where it writes them.
//
// A build folder holds everything beside the executable. An installed tree follows the
// file-system hierarchy: the executable in bin/, the engine and the preview library in
// lib/corvane-studio/, read-only data in share/corvane-studio/, all found relative to
// the executable so that any prefix works. An installed tree is never written to, and
// neither is a build folder the user cannot write to: then settings and the run log go
// to $XDG_CONFIG_HOME/corvane-studio/, the user's own profiles to $XDG_DATA_HOME/..., the
// saved queue to $XDG_STATE_HOME/..., thumbnails to $XDG_CACHE_HOME/... A writable build
// folder keeps its writes beside the executable, the user's own files in "user/".
//
// Every folder ends in "/".
class AppFolders
{
public:
    enum class Layout { BuildFolder, Installed };

    AppFolders() = default;
    // The folders of the program whose executable is programPath. Looks at the disk: the
    // layout is found from what lies beside the executable, and a build folder is asked
    // whether it accepts new files.
    static AppFolders ForProgram(const QString &programPath);

    Layout GetLayout() const { return m_layout; }
    // True when writes go to the user's XDG folders rather than beside the program.
    bool UsesUserFolders() const { return m_userFolders; }

    QString ProgramFolder() const { return m_program; }   // the executable's folder
    QString LibraryFolder() const { return m_library; }   // mirracore, libpreview.so
    QString DataFolder() const { return m_data; }         // shipped data: profiles, Lang/, help/
    QString ConfigFolder() const { return m_config; }     // MirraSoft.ini, run.log
    QString UserDataFolder() const { return m_userData; } // the user's own profiles and per-file settings
    QString StateFolder() const { return m_state; }       // the saved queue
    QString CacheFolder() const { return m_cache; }       // thumbnails

    // A data file by its path below the data folder: the user's own copy when there is
    // one, else the shipped file.
    QString DataFile(const QString &relative) const;
    // Where the user's own copy of a data file is written, its folder created. Empty for
    // a path that would leave the user's folder (absolute, or climbing out with "..").
    QString UserDataFile(const QString &relative) const;

    // The folders of the running program; empty until AppSettings has loaded. Safe from
    // any thread.
    static AppFolders Current();
    static void SetCurrent(const AppFolders &folders);

private:
    QString ownCopy(const QString &relative) const; // empty when relative leaves the folder

    Layout m_layout = Layout::BuildFolder;
    bool m_userFolders = false;
    QString m_program, m_library, m_data, m_config, m_userData, m_state, m_cache;
};

// An XDG base folder: the variable's value when it is an absolute path (relative ones are
// invalid by the XDG rules and ignored), else the home folder + fallback. No "/" at the end.
QString XdgBaseFolder(const char *variable, const QString &fallbackUnderHome);

// Qt warns on every start without XDG_RUNTIME_DIR and then makes a folder of its own in the
// temporary folder; this makes that private folder quietly and points the variable at it.
// Leaves the variable unset when the folder exists but is not the user's alone.
void EnsureRuntimeFolder();
