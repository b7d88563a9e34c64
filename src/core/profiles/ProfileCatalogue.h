#pragma once
#include <QHash>
#include <QMutex>
#include <QString>
#include <QStringList>

#include "core/settings/AppFolders.h"

// Profile name -> parameter file relative to the data folder, filled from
// profile.ini. Shared by the main window, the per-file dialog and the worker.
class ProfileMap
{
public:
    static ProfileMap &Instance();

    void Set(const QString &name, const QString &path);
    // The path of a name; a name not yet known is added with an empty path.
    QString Lookup(const QString &name);
    bool Contains(const QString &name) const;
    void Clear();

private:
    mutable QMutex m_mutex;
    QHash<QString, QString> m_paths; // names compare exactly
};

// A broken catalogue cannot fill the selector for ever: sections beyond this many are not read.
constexpr int kMaxProfiles = 1000;

// Reads the catalogue: fills ProfileMap and returns the names in file order, one per
// [profileN] section (a missing section gives an empty name).
QStringList ReadProfileCatalogue(const QString &cataloguePath);
// [AllSetProfile] Default: the default profile's index in catalogue order.
int DefaultProfileIndex(const QString &cataloguePath);

// The parameter file of a profile: the user's own copy when one was saved, else the
// shipped file. A name not in the catalogue gives the bare data folder.
QString ProfileFile(const QString &profileName, const AppFolders &folders = AppFolders::Current());

// The output extension of a profile: [allset] TargetType of its parameter file, trimmed.
QString GetTargetType(const QString &profileName, const AppFolders &folders = AppFolders::Current());

// A hardware profile's software twin: [allset] SoftwareTwin of its parameter file, the
// profile a task is converted with again when the graphics card's encoder fails. Empty
// for a profile without one.
QString GetSoftwareTwin(const QString &profileName, const AppFolders &folders = AppFolders::Current());
