#include "support/ScriptedPrompter.h"

namespace TestSupport {

int ScriptedPrompter::Message(QWidget *, const QString &text, Buttons buttons, Icon icon)
{
    messages.append({text, buttons, icon});
    if (messageAnswers.empty())
        return Ok;
    const int answer = messageAnswers.front();
    messageAnswers.pop_front();
    return answer;
}

QStringList ScriptedPrompter::OpenFiles(QWidget *, const FileRequest &request)
{
    fileRequests.append(request);
    if (openFilesAnswers.empty())
        return {};
    QStringList answer = openFilesAnswers.front();
    openFilesAnswers.pop_front();
    return answer;
}

QString ScriptedPrompter::SaveFile(QWidget *, const FileRequest &request)
{
    fileRequests.append(request);
    if (saveFileAnswers.empty())
        return {};
    QString answer = saveFileAnswers.front();
    saveFileAnswers.pop_front();
    return answer;
}

QString ScriptedPrompter::Folder(QWidget *, const QString &prompt, const QString &)
{
    folderPrompts.append(prompt);
    if (folderAnswers.empty())
        return {};
    QString answer = folderAnswers.front();
    folderAnswers.pop_front();
    return answer;
}

int ScriptedPrompter::Exec(QDialog *dialog)
{
    dialogTitles.append(dialog->windowTitle());
    if (dialogHandlers.empty())
        return QDialog::Rejected;
    auto handler = std::move(dialogHandlers.front());
    dialogHandlers.pop_front();
    return handler(dialog);
}

QStringList ScriptedPrompter::messageTexts() const
{
    QStringList texts;
    for (const Asked &a : messages)
        texts << a.text;
    return texts;
}

ScriptedPrompterGuard::ScriptedPrompterGuard()
{
    auto prompter = std::make_unique<ScriptedPrompter>();
    m_prompter = prompter.get();
    m_previous = Prompter::Install(std::move(prompter));
}

ScriptedPrompterGuard::~ScriptedPrompterGuard()
{
    Prompter::Install(std::move(m_previous));
}

} // namespace TestSupport
