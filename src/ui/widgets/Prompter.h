#pragma once
#include <QString>
#include <QStringList>
#include <memory>

#include "base/FileRequest.h"

class QDialog;
class QWidget;

// Every question, message, file or folder chooser and modal dialog of the program
// goes through the one installed Prompter: real dialogs in the program, scripted
// answers in tests, plain text on the terminal in headless mode.
// Only ever called on the user-interface thread.
class Prompter
{
public:
    enum class Buttons { Ok, OkCancel };
    enum class Icon { None, Information, Warning, Error, Question };
    enum Answer { Ok = 1, Cancel = 2 };

    using FileRequest = ::FileRequest;

    virtual ~Prompter() = default;

    virtual int Message(QWidget *parent, const QString &text, Buttons buttons, Icon icon) = 0;
    // Empty list when cancelled.
    virtual QStringList OpenFiles(QWidget *parent, const FileRequest &request) = 0;
    // Empty text when cancelled.
    virtual QString SaveFile(QWidget *parent, const FileRequest &request) = 0;
    // Empty text when cancelled.
    virtual QString Folder(QWidget *parent, const QString &prompt, const QString &startFolder) = 0;
    // Runs a modal dialog and returns its result code.
    virtual int Exec(QDialog *dialog) = 0;

    static Prompter &Current();
    // Installs a prompter and returns the one it replaces.
    static std::unique_ptr<Prompter> Install(std::unique_ptr<Prompter> prompter);
};

// The prompter of the desktop program: Qt's message boxes and file dialogs.
class DialogPrompter : public Prompter
{
public:
    int Message(QWidget *parent, const QString &text, Buttons buttons, Icon icon) override;
    QStringList OpenFiles(QWidget *parent, const FileRequest &request) override;
    QString SaveFile(QWidget *parent, const FileRequest &request) override;
    QString Folder(QWidget *parent, const QString &prompt, const QString &startFolder) override;
    int Exec(QDialog *dialog) override;
};

// Lets ShowUserMessage of the logic without windows reach the user through the current
// prompter, also from other threads (the message is then shown on the interface thread,
// and the calling thread waits for it).
void InstallUserMessageHandler();

// Shorthands for the common message boxes.
int ShowMessage(QWidget *parent, const QString &text, Prompter::Icon icon = Prompter::Icon::Information);
bool AskOkCancel(QWidget *parent, const QString &text, Prompter::Icon icon = Prompter::Icon::Question);
