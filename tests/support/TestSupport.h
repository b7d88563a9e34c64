#pragma once
#include <QDialog>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <deque>
#include <functional>

#include "toolkit/Prompter.h"

namespace TestSupport {

// build/bin: the built program folder with the engine, the preview library and the data.
QString BinDir();
QString SourceDir();
QString EnginePath();

// A writable copy of the program folder in a temporary directory: the data files are
// copied (so tests may change them), the engine and the preview library are linked.
class ProgramFolder
{
public:
    ProgramFolder();
    bool isValid() const { return m_dir.isValid(); }
    QString path() const;                          // ends in "/"
    QString file(const QString &relative) const;   // path() + relative
    QString exePath() const;                       // as if the program ran from here
    QString settingsPath() const { return file(QStringLiteral("MirraSoft.ini")); }

private:
    QTemporaryDir m_dir;
};

// Runs the engine on a lavfi test source and writes a clip. Returns the engine's
// whole output; the clip exists afterwards when the engine succeeded.
struct ClipSpec
{
    int seconds = 2;
    QString size = QStringLiteral("320x240");
    int rate = 25;
    bool video = true;
    bool audio = true;
    QStringList outputOptions; // engine options before the output path
};
QString MakeClip(const QString &outputPath, const ClipSpec &recipe = ClipSpec());

// Runs a program with arguments, returns stdout+stderr; exitCode receives the exit code.
QString RunProgram(const QString &program, const QStringList &args, int *exitCode = nullptr,
                   int timeoutMs = 120000);

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
