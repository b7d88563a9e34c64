#pragma once
#include <QList>
#include <QStringList>
#include <QUrl>
#include <deque>
#include <memory>

#include "ui/widgets/Launcher.h"

namespace TestSupport {

// Records what the program hands to the desktop instead of opening anything.
class RecordingLauncher : public Launcher
{
public:
    std::deque<bool> openAnswers; // results of OpenUrl in turn; true when empty
    bool showAnswer = true;

    QList<QUrl> openedUrls;
    QStringList shownFiles;

    bool OpenUrl(const QUrl &url) override
    {
        openedUrls << url;
        if (openAnswers.empty())
            return true;
        const bool answer = openAnswers.front();
        openAnswers.pop_front();
        return answer;
    }

    bool ShowInFileManager(const QString &path) override
    {
        shownFiles << path;
        return showAnswer;
    }

    QStringList notifications; // "summary: body"
    void Notify(const QString &summary, const QString &body) override { notifications << summary + ": " + body; }
    QList<int> progress;
    void ShowProgress(int percent) override { progress << percent; }
};

// Installs a RecordingLauncher for the lifetime of the guard.
class RecordingLauncherGuard
{
public:
    RecordingLauncherGuard()
    {
        auto launcher = std::make_unique<RecordingLauncher>();
        m_launcher = launcher.get();
        m_previous = Launcher::Install(std::move(launcher));
    }
    ~RecordingLauncherGuard() { Launcher::Install(std::move(m_previous)); }
    RecordingLauncherGuard(const RecordingLauncherGuard &) = delete;
    RecordingLauncherGuard &operator=(const RecordingLauncherGuard &) = delete;

    RecordingLauncher *operator->() { return m_launcher; }
    RecordingLauncher &operator*() { return *m_launcher; }

private:
    RecordingLauncher *m_launcher;
    std::unique_ptr<Launcher> m_previous;
};

} // namespace TestSupport
