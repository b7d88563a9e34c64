#pragma once
#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

class AppFolders;
class TaskList;

// The queue kept between sessions: every row with its profile, output, own settings, trims
// and last verdict, in a JSON file of the program's own in the state folder. It is what a
// crash or a close leaves behind and what the next start offers to bring back.

// The state file of the running program.
QString QueueStatePath(const AppFolders &folders);
// The state file of a watched folder: one per folder, apart from the window's list.
QString WatchStatePath(const AppFolders &folders, const QString &folder);

// The file's text for the list as it stands.
QByteArray QueueStateText(const TaskList &tasks);

// Replaces the file as a whole (never half written); an empty list removes it. False, with
// the reason in *error, when it cannot be written.
bool WriteQueueState(const QString &path, const TaskList &tasks, QString *error = nullptr);

// How many rows a state file holds; 0 when there is none or it cannot be read. *unfinished
// receives how many of them are not Completed: the work that remains.
int SavedQueueSize(const QString &path, int *unfinished = nullptr);

// Lists the rows of a state file at the end of the list, each as it was kept. Rows whose
// source is gone or already listed are left out, and so are Completed rows when asked;
// returns a message for each row left out other than those.
QStringList RestoreQueueState(TaskList &tasks, const QString &path, bool skipCompleted);

// Keeps a task list's state file up to date while the list changes: at most once a
// second, and less often when writing takes long, so a huge list never spends more
// than a tenth of its time on it. Flush writes what is pending at once.
class QueueKeeper : public QObject
{
    Q_OBJECT
public:
    QueueKeeper(TaskList &tasks, QString path, QObject *parent = nullptr);
    ~QueueKeeper() override;

    void Flush();
    QString Path() const { return m_path; }

private:
    void changed();
    void write();

    TaskList &m_tasks;
    const QString m_path;
    QTimer m_timer;
    bool m_pending = false;
    bool m_complained = false;
};
