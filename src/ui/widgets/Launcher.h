#pragma once
#include <QString>
#include <QStringList>
#include <QUrl>
#include <memory>

// Where the program's help lives for a program folder: the compiled-help topic path
// the program has always named, and the HTML page a Linux build ships and shows.
struct HelpPaths
{
    QString topicPath; // dataFolder + "corvane-studio.chm::/corvane-studio/02-geting-help.html"
    QString pagePath;  // dataFolder + "help/corvane-studio/02-geting-help.html"
};
// dataFolder ends in "/": the folder holding help/ (AppFolders::DataFolder).
HelpPaths HelpPathsFor(const QString &dataFolder);

// The feedback link: "mailto:" and the support address.
QString FeedbackLink();

// The file:// URIs the file manager is asked to show (one per path, fully encoded, so
// blanks, "$", quotes and non-Latin letters survive the trip over D-Bus).
QStringList FileManagerItemUris(const QStringList &paths);

// Everything the program hands to the desktop: addresses, the file manager, help and
// the mail program. The desktop program installs the real one; tests install a
// recording one. Only ever called on the user-interface thread.
class Launcher
{
public:
    virtual ~Launcher() = default;

    // Opens an address (web page, file, mailto:) with the desktop's default program.
    // True when the desktop accepted it.
    virtual bool OpenUrl(const QUrl &url) = 0;
    // Shows a file in the file manager with the file selected; when no file manager
    // answers for that, opens the file's folder instead.
    virtual bool ShowInFileManager(const QString &path) = 0;
    // A desktop notification (a run that ended while the user looked elsewhere); nothing
    // when the desktop has no notification service.
    virtual void Notify(const QString &summary, const QString &body) = 0;
    // The run's overall progress on the program's taskbar or dock entry, where the desktop
    // shows one; a negative percent takes it away.
    virtual void ShowProgress(int percent) = 0;

    // Shows the help page of the program in the default browser. No message when the
    // page is missing: the browser says so.
    bool OpenHelp(const QString &dataFolder);
    // Starts the mail program with the support address filled in, nothing else.
    bool SendFeedback();

    static Launcher &Current();
    // Installs a launcher and returns the one it replaces; null installs the desktop one.
    static std::unique_ptr<Launcher> Install(std::unique_ptr<Launcher> launcher);
};

// The desktop program's launcher: QDesktopServices and the freedesktop file manager
// interface on the session bus.
class DesktopLauncher : public Launcher
{
public:
    bool OpenUrl(const QUrl &url) override;
    bool ShowInFileManager(const QString &path) override;
    void Notify(const QString &summary, const QString &body) override;
    void ShowProgress(int percent) override;
};

class QDBusConnection;
// Sends a notification to org.freedesktop.Notifications on the given bus, naming the
// program's desktop entry. False when the bus is not connected; the call is not waited for.
bool SendDesktopNotification(const QDBusConnection &bus, const QString &summary, const QString &body,
                             const QString &desktopId);
// Emits com.canonical.Unity.LauncherEntry.Update for "application://desktopId.desktop":
// progress 0..1 shown, or hidden for a negative percent. False when the bus is not connected.
bool SendLauncherProgress(const QDBusConnection &bus, const QString &desktopId, int percent);
