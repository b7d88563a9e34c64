#pragma once
#include <QDialog>
#include <QStringList>
#include <deque>
#include <functional>

#include "ui/widgets/Prompter.h"

namespace TestSupport {

// Answers every prompt from queues and records what was asked.
class ScriptedPrompter : public Prompter
{
public:
    struct Asked
    {
        QString text;
        Buttons buttons;
        Icon icon;
    };

    std::deque<int> messageAnswers;           // default Ok
    std::deque<QStringList> openFilesAnswers; // default cancelled
    std::deque<QString> saveFileAnswers;      // default cancelled
    std::deque<QString> folderAnswers;        // default cancelled
    // Called with each modal dialog instead of running it; default: Rejected.
    std::deque<std::function<int(QDialog *)>> dialogHandlers;

    QList<Asked> messages;
    QList<FileRequest> fileRequests;
    QStringList folderPrompts;
    QStringList dialogTitles;

    int Message(QWidget *parent, const QString &text, Buttons buttons, Icon icon) override;
    QStringList OpenFiles(QWidget *parent, const FileRequest &request) override;
    QString SaveFile(QWidget *parent, const FileRequest &request) override;
    QString Folder(QWidget *parent, const QString &prompt, const QString &startFolder) override;
    int Exec(QDialog *dialog) override;

    QStringList messageTexts() const;
};

// Installs a ScriptedPrompter for the lifetime of the guard and gives access to it.
class ScriptedPrompterGuard
{
public:
    ScriptedPrompterGuard();
    ~ScriptedPrompterGuard();
    ScriptedPrompter *operator->() { return m_prompter; }
    ScriptedPrompter &operator*() { return *m_prompter; }

private:
    ScriptedPrompter *m_prompter;
    std::unique_ptr<Prompter> m_previous;
};

} // namespace TestSupport
