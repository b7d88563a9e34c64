#pragma once
#include <QList>
#include <QObject>
#include <QPair>
#include <QStringList>
#include <memory>

#include "ui/mainwindow/CCorvaneStudioDlg.h"
#include "ui/mainwindow/TaskListView.h"
#include "support/ScriptedPrompter.h"
#include "support/TestSupport.h"

class CCorvaneStudioApp;
class CCorvaneStudioDlg;
class CListCtrlEx;
class TaskList;
class TaskListView;

namespace TestSupport {

// The real main window, offscreen, started over a fresh program folder with every
// prompt answered by a script.
class MainWindowFixture
{
public:
    using Settings = QList<QPair<QString, QString>>; // SYSTEM keys written before start-up

    explicit MainWindowFixture(const Settings &settings = {}, const QStringList &arguments = {});
    ~MainWindowFixture();
    // The window closed and started again over the same folder, as at the next start.
    void Restart(const QStringList &arguments = {});

    ProgramFolder &Folder() { return *m_folder; }
    ScriptedPrompter &Prompts() { return **m_prompter; }
    CCorvaneStudioApp &App() { return *m_app; }
    CCorvaneStudioDlg *Window() const { return m_dlg; }
    CListCtrlEx *List() const { return m_list; }
    TaskListView &View() const;
    TaskList &Tasks() const;

    QStringList Column(int column) const;
    void SelectOnly(const QList<int> &rows);
    // As if the user typed folder into the destination field and left it.
    void SetDestination(const QString &folder);
    // Empty files (enough for the list) dropped on the window; waits for their probe.
    QStringList DropEmptyFiles(const QStringList &names);
    // Files dropped on the window; waits for their probe.
    void Drop(const QStringList &paths);

private:
    std::unique_ptr<ProgramFolder> m_folder;
    std::unique_ptr<ScriptedPrompterGuard> m_prompter;
    std::unique_ptr<CCorvaneStudioApp> m_app;
    CCorvaneStudioDlg *m_dlg = nullptr;
    CListCtrlEx *m_list = nullptr;
};

// What the window test programs share: the window over a fresh folder, with a folder for the
// test's input files (blanks, "$" and a non-Latin letter in its name) and a destination.
class WindowTest : public QObject
{
    Q_OBJECT

protected slots:
    void cleanup() { m_fx.reset(); }

protected:
    // The old window and its prompter go before the new ones come.
    void start(const MainWindowFixture::Settings &settings = {}, const QStringList &arguments = {});
    ScriptedPrompter &prompter() { return m_fx->Prompts(); }
    void selectOnly(const QList<int> &rows) { m_fx->SelectOnly(rows); }

    std::unique_ptr<MainWindowFixture> m_fx;
    CCorvaneStudioDlg *m_dlg = nullptr;
    CListCtrlEx *m_list = nullptr;
    QString m_media, m_out;
};

} // namespace TestSupport
