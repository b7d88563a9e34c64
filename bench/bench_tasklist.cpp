// Drops thousands of files on the task list of the real main window (offscreen) and
// prints the cost per file at each size next to the cost at the smallest size: a
// list that stays fast as it grows keeps the ratio near 1.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

#include "app/CCorvaneStudioApp.h"
#include "app/CCorvaneStudioDlg.h"
#include "app/TaskListView.h"
#include "controls/CListCtrlEx.h"
#include "toolkit/Prompter.h"

namespace {
// Start-up messages (no preview library, no profiles here) must not wait for a click.
class SilentPrompter : public Prompter
{
public:
    int Message(QWidget *, const QString &, Buttons, Icon) override { return Ok; }
    QStringList OpenFiles(QWidget *, const FileRequest &) override { return {}; }
    QString SaveFile(QWidget *, const FileRequest &) override { return {}; }
    QString Folder(QWidget *, const QString &, const QString &) override { return {}; }
    int Exec(QDialog *) override { return 0; }
};
} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qapp(argc, argv);
    Prompter::Install(std::make_unique<SilentPrompter>());
    QTemporaryDir program;
    QTemporaryDir media;
    // An empty program folder: no profiles, no engine, no preview; only the list is measured.
    const QString exe = program.path() + "/corvane-studio";

    const int sizes[] = {500, 2000, 5000};
    double basePerFile = 0;
    std::printf("%8s %12s %14s %8s\n", "files", "total ms", "us per file", "ratio");
    for (int n : sizes) {
        QStringList paths;
        for (int i = 0; i < n; ++i) {
            const QString path = media.path() + QStringLiteral("/%1/clip %2.avi").arg(n).arg(i);
            if (i == 0)
                QDir().mkpath(media.path() + QStringLiteral("/%1").arg(n));
            QFile f(path);
            f.open(QIODevice::WriteOnly);
            paths << path;
        }
        CCorvaneStudioApp app;
        app.InitInstance(exe, {});
        CCorvaneStudioDlg *dlg = app.MainWindow();
        QElapsedTimer timer;
        timer.start();
        dlg->TaskView().OnDropFiles(paths); // as a drop of the whole selection from a file manager
        QCoreApplication::processEvents();
        const double ms = timer.nsecsElapsed() / 1e6;
        const double perFile = ms * 1000.0 / n;
        if (basePerFile == 0)
            basePerFile = perFile;
        std::fflush(stdout);
        std::printf("%8d %12.1f %14.1f %8.2f\n", dlg->Tasks().Count(), ms, perFile, perFile / basePerFile);
    }
    return 0;
}
