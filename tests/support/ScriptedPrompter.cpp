#include "support/ScriptedPrompter.h"

namespace TestSupport {

namespace {
// The next scripted answer, or the fallback once the script has run out.
template <typename T>
T next(std::deque<T> &answers, T fallback)
{
    if (answers.empty())
        return fallback;
    T answer = std::move(answers.front());
    answers.pop_front();
    return answer;
}
} // namespace

int ScriptedPrompter::Message(QWidget *, const QString &text, Buttons buttons, Icon icon)
{
    messages.append({text, buttons, icon});
    return next(messageAnswers, int(Ok));
}

QStringList ScriptedPrompter::OpenFiles(QWidget *, const FileRequest &request)
{
    fileRequests.append(request);
    return next(openFilesAnswers, QStringList());
}

QString ScriptedPrompter::SaveFile(QWidget *, const FileRequest &request)
{
    fileRequests.append(request);
    return next(saveFileAnswers, QString());
}

QString ScriptedPrompter::Folder(QWidget *, const QString &prompt, const QString &)
{
    folderPrompts.append(prompt);
    return next(folderAnswers, QString());
}

int ScriptedPrompter::Exec(QDialog *dialog)
{
    dialogTitles.append(dialog->windowTitle());
    const auto handler = next(dialogHandlers, std::function<int(QDialog *)>());
    return handler ? handler(dialog) : int(QDialog::Rejected);
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
