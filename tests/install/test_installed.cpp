#include <QDialog>
#include <QPushButton>
#include <QtTest>

#include "ui/mainwindow/CCorvaneStudioApp.h"
#include "ui/mainwindow/CCorvaneStudioDlg.h"
#include "ui/mainwindow/ControlIds.h"
#include "core/conversion/EngineLocation.h"
#include "core/preview/PreviewPlayer.h"
#include "ui/dialogs/CDetailDialog.h"
#include "core/profiles/CurrentProfile.h"
#include "core/profiles/ParamOptions.h"
#include "core/profiles/ProfileCatalogue.h"
#include "ui/mainwindow/PreviewWindowHost.h"
#include "support/ScriptedPrompter.h"
#include "ui/widgets/ControlId.h"
#include "ui/widgets/PropertyGrid.h"

// The window started from an installed tree (CORVANE_INSTALLED_PROGRAM, run by
// check-installed.sh as a user who cannot write to that tree): everything is found
// relative to the installed program, and a profile edited in the Detail dialog and saved
// lands in the user's data folder.
class TestInstalled : public QObject
{
    Q_OBJECT

    const QString m_program = qEnvironmentVariable("CORVANE_INSTALLED_PROGRAM");

private slots:
    void windowFindsItsFilesAndSavesAnEditedProfile()
    {
        QVERIFY2(QFileInfo(m_program).isExecutable(), qPrintable(m_program));
        const QString prefix = QFileInfo(m_program).absolutePath() + QStringLiteral("/../");
        TestSupport::ScriptedPrompterGuard prompter;
        CCorvaneStudioApp app;
        app.InitInstance(m_program, {});
        CCorvaneStudioDlg *window = app.MainWindow();
        window->show();

        const AppFolders &folders = app.Settings().Folders();
        QVERIFY(folders.GetLayout() == AppFolders::Layout::Installed);
        QCOMPARE(QFileInfo(EngineProgramPath()).canonicalFilePath(),
                 QFileInfo(prefix + "lib/corvane-studio/mirracore").canonicalFilePath());
        QTRY_VERIFY(window->Preview().Player().IsLoaded()); // once the window is on screen
        QCOMPARE(app.Settings().GetSettingsPath(),
                 qEnvironmentVariable("XDG_CONFIG_HOME") + "/corvane-studio/MirraSoft.ini");
        const QString name = window->GetCurrentProfile().Name();
        QVERIFY(!name.isEmpty());
        QCOMPARE(GetTargetType(name), QStringLiteral("mp4"));

        prompter->dialogHandlers.push_back([](QDialog *dialog) {
            auto *grid = FindControl<PropertyGrid>(dialog, CDetailDialog::kGridId);
            if (!grid || !grid->CommitValue(grid->FindByKey(QStringLiteral("ab")), QStringLiteral("192 Kb/s")))
                return -1;
            FindControl<QPushButton>(dialog, CDetailDialog::kSaveId)->click();
            return int(QDialog::Accepted);
        });
        FindControl<QPushButton>(window, Ids::DetailButton)->click();
        QCOMPARE(prompter->dialogTitles.size(), 1);
        QCOMPARE(prompter->messageTexts(), QStringList());

        const QString own = qEnvironmentVariable("XDG_DATA_HOME") + "/corvane-studio/" +
                            ProfileMap::Instance().Lookup(name);
        QVERIFY2(QFileInfo::exists(own), qPrintable(own));
        // The next start reads the user's copy.
        CurrentProfile next(folders);
        next.Select(name);
        QCOMPARE(next.File(), own);
        QVERIFY2(GetParamFromTree(next.Tree()).Text().contains(" -ab 192000"), qPrintable(GetParamFromTree(next.Tree()).Text()));
    }
};

QTEST_MAIN(TestInstalled)
#include "test_installed.moc"
