#include "ui/widgets/Launcher.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGuiApplication>
#include <algorithm>

namespace {
const QString kProductId = QStringLiteral("corvane-studio");
const QString kHelpTopic = QStringLiteral("02-geting-help.html");

std::unique_ptr<Launcher> &slot()
{
    static std::unique_ptr<Launcher> current = std::make_unique<DesktopLauncher>();
    return current;
}

void openFolderOf(const QString &path)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
}
} // namespace

HelpPaths HelpPathsFor(const QString &dataFolder)
{
    HelpPaths paths;
    paths.topicPath = dataFolder + kProductId + QStringLiteral(".chm::/") + kProductId + u'/' + kHelpTopic;
    paths.pagePath = dataFolder + QStringLiteral("help/") + kProductId + u'/' + kHelpTopic;
    return paths;
}

QString FeedbackLink()
{
    return QStringLiteral("mailto:feedback@corvane.example");
}

QStringList FileManagerItemUris(const QStringList &paths)
{
    QStringList uris;
    for (const QString &path : paths)
        uris << QString::fromLatin1(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toEncoded());
    return uris;
}

bool Launcher::OpenHelp(const QString &dataFolder)
{
    return OpenUrl(QUrl::fromLocalFile(HelpPathsFor(dataFolder).pagePath));
}

bool Launcher::SendFeedback()
{
    return OpenUrl(QUrl(FeedbackLink()));
}

Launcher &Launcher::Current()
{
    return *slot();
}

std::unique_ptr<Launcher> Launcher::Install(std::unique_ptr<Launcher> launcher)
{
    std::unique_ptr<Launcher> old = std::move(slot());
    slot() = launcher ? std::move(launcher) : std::make_unique<DesktopLauncher>();
    return old;
}

bool DesktopLauncher::OpenUrl(const QUrl &url)
{
    return QDesktopServices::openUrl(url);
}

bool DesktopLauncher::ShowInFileManager(const QString &path)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        openFolderOf(path);
        return true;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << FileManagerItemUris({path}) << QString(); // no startup notification id
    // Asynchronous: starting a file manager may take a while and the window must not
    // freeze meanwhile. Without one on the bus, the folder opens instead.
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 10000), QCoreApplication::instance());
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher, [path](QDBusPendingCallWatcher *w) {
        if (w->isError())
            openFolderOf(path);
        w->deleteLater();
    });
    return true;
}

void DesktopLauncher::Notify(const QString &summary, const QString &body)
{
    SendDesktopNotification(QDBusConnection::sessionBus(), summary, body, QGuiApplication::desktopFileName());
}

bool SendDesktopNotification(const QDBusConnection &bus, const QString &summary, const QString &body,
                             const QString &desktopId)
{
    if (!bus.isConnected())
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    const QVariantMap hints{{QStringLiteral("desktop-entry"), desktopId}};
    call << QCoreApplication::applicationName() << 0u << desktopId << summary << body << QStringList() << hints
         << qint32(-1);
    // Nobody waits for the answer: a missing service only means no notification.
    return bus.send(call);
}

void DesktopLauncher::ShowProgress(int percent)
{
    SendLauncherProgress(QDBusConnection::sessionBus(), QGuiApplication::desktopFileName(), percent);
}

bool SendLauncherProgress(const QDBusConnection &bus, const QString &desktopId, int percent)
{
    if (!bus.isConnected())
        return false;
    QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/org/corvanestudio/CorvaneStudio/launcher"),
                                                     QStringLiteral("com.canonical.Unity.LauncherEntry"),
                                                     QStringLiteral("Update"));
    const QVariantMap properties{{QStringLiteral("progress"), std::clamp(percent, 0, 100) / 100.0},
                                 {QStringLiteral("progress-visible"), percent >= 0}};
    signal << QStringLiteral("application://%1.desktop").arg(desktopId) << properties;
    return bus.send(signal);
}
