#include <QAbstractButton>
#include <QAction>
#include <QLabel>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QtTest>

#include "ui/mainwindow/CCorvaneStudioDlg.h"
#include "ui/mainwindow/ControlIds.h"
#include "ui/mainwindow/MenuResources.h"
#include "ui/widgets/CListCtrlEx.h"
#include "core/settings/CommandLineHelp.h"
#include "support/MainWindowFixture.h"
#include "support/RecordingLauncher.h"
#include "support/TestSupport.h"
#include "ui/widgets/ControlId.h"
#include "ui/widgets/Launcher.h"
#include "ui/widgets/Looks.h"
#include "ui/widgets/FocusRing.h"
#include "ui/mainwindow/PreviewWindowHost.h"
#include "core/preview/PreviewPlayer.h"

using namespace TestSupport;

// The main window's commands as a user reaches them: enabling rules, the questions
// on leaving, the looks, the task file and what is handed to the desktop.
class TestCommands : public WindowTest
{
    Q_OBJECT

    QStringList addFiles(const QStringList &names) { return m_fx->DropEmptyFiles(names); }
    QAction *menuAction(int id) { return FindCommandAction(m_dlg->Controls().menuBar->actions(), id); }

private slots:
    void init()
    {
        // Each test starts without a stored look.
        QSettings(QStringLiteral("Mirra Video Applications1"), QStringLiteral("corvane-studio")).clear();
    }

    void menuRules()
    {
        start();
        QMenu *edit = m_dlg->Controls().menuBar->actions().at(1)->menu();
        QMenu *file = m_dlg->Controls().menuBar->actions().at(0)->menu();
        emit edit->aboutToShow();
        emit file->aboutToShow();
        QVERIFY(!menuAction(Ids::SelectAll)->isEnabled());
        QVERIFY(!menuAction(Ids::SaveTask)->isEnabled());
        addFiles({"a.avi"});
        emit edit->aboutToShow();
        emit file->aboutToShow();
        QVERIFY(!menuAction(Ids::SelectAll)->isEnabled()); // one row: greyed
        QVERIFY(menuAction(Ids::SaveTask)->isEnabled() && m_dlg->QueryCommand(Ids::Delete).enabled);
        addFiles({"b.avi"});
        emit edit->aboutToShow();
        QVERIFY(menuAction(Ids::SelectAll)->isEnabled());
        // Without a selection Delete and Property are greyed in the menus; the Delete button
        // stays usable and deletes nothing.
        m_list->clearSelection();
        QVERIFY(!m_dlg->QueryCommand(Ids::Delete).enabled && !m_dlg->QueryCommand(Ids::Property).enabled);
        FindControl<QAbstractButton>(m_dlg, Ids::Delete)->click();
        QCOMPARE(m_list->rowCount(), 2);
        QVERIFY(FindControl<QWidget>(m_dlg, Ids::Delete)->isEnabled());
        selectOnly({0, 1});
        // The rule is applied to the context menu's items when it drops down: the lowest
        // selected row decides.
        std::unique_ptr<QMenu> menu = m_dlg->TaskView().BuildListContextMenu();
        for (auto [lowest, upper, enabled] : {std::tuple{Verdict::Completed, Verdict::None, true},
                                              {Verdict::Failed, Verdict::Completed, false},
                                              {Verdict::None, Verdict::Completed, false},
                                              {Verdict::Stopped, Verdict::Completed, false}}) {
            m_fx->Tasks().SetVerdict(m_fx->Tasks().IdAt(0), upper);
            m_fx->Tasks().SetVerdict(m_fx->Tasks().IdAt(1), lowest);
            emit menu->aboutToShow();
            for (int id : {Ids::PlayConverted, Ids::OpenConvertedFolder, Ids::AddConvertedAsTasks})
                QCOMPARE(FindCommandAction(menu->actions(), id)->isEnabled(), enabled);
        }
        for (const QAction *a : menu->actions()) // every item has its text from the language
            QVERIFY(a->isSeparator() || !a->text().isEmpty());
        QCOMPARE(FindCommandAction(menu->actions(), Ids::Delete)->isEnabled(), true);
        m_list->clearSelection();
        emit menu->aboutToShow();
        QVERIFY(!FindCommandAction(menu->actions(), Ids::PlayConverted)->isEnabled());
        QVERIFY(!FindCommandAction(menu->actions(), Ids::Delete)->isEnabled());
    }

    void looks()
    {
        start();
        QCOMPARE(Looks::CurrentLook(), 32838); // nothing stored: Blue Style
        m_dlg->OnCommand(Ids::LookAqua);
        QMenu *view = m_dlg->Controls().menuBar->actions().at(2)->menu();
        emit view->actions().at(3)->menu()->aboutToShow();
        for (int id : {Ids::LookOffice2000, Ids::LookOfficeXP, Ids::LookOffice2003, Ids::LookBlue, Ids::LookBlack,
                       Ids::LookSilver, Ids::LookAqua})
            QCOMPARE(menuAction(id)->isChecked(), id == Ids::LookAqua);
        // The next start wears the stored look.
        Looks::ApplyLook(32833);
        m_fx->Restart();
        QCOMPARE(Looks::CurrentLook(), 32841);
    }

    void saveAndOpenTask()
    {
        start();
        QTemporaryDir outside; // the inputs and the list outlive the window that saved them
        QStringList inputs;
        for (const char *name : {"one $  file.avi", "two.mkv"})
            inputs << Touch(outside.filePath(QString::fromUtf8(name)));
        m_fx->Drop(inputs);
        const QString tsk = outside.filePath("list.tsk");
        QVERIFY(WriteFile(tsk, "old contents that must go"));
        prompter().saveFileAnswers.push_back(tsk);
        m_dlg->OnCommand(Ids::SaveTask);
        QCOMPARE(prompter().fileRequests.size(), 1);
        QCOMPARE(prompter().fileRequests.first().title, QStringLiteral("Select Task File To Save"));
        QVERIFY(!prompter().fileRequests.first().mustExist); // a new name is accepted
        const QByteArray bytes = ReadFile(tsk); // its layout is test_taskfile's
        // A fresh start reads it back beside a row it already has: the same rows, outputs and
        // profiles; a line it cannot read is named and skipped.
        const QStringList outputs = m_fx->Column(4), profiles = m_fx->Column(5);
        QVERIFY(WriteFile(tsk, bytes + Utf16("broken\n").mid(2)));
        start();
        addFiles({"already.avi"});
        prompter().openFilesAnswers.push_back({tsk});
        m_dlg->OnCommand(Ids::FileOpen);
        QCOMPARE(m_fx->Column(0), (QStringList{"already.avi", "one $  file.avi", "two.mkv"}));
        QCOMPARE(m_fx->Column(4).mid(1), outputs);
        QCOMPARE(m_fx->Column(5).mid(1), profiles);
        QVERIFY2(prompter().messageTexts().last().contains("Line 3 of"), qPrintable(prompter().messageTexts().last()));
        // Cancelled: nothing is written.
        QFile::remove(tsk);
        m_dlg->OnCommand(Ids::SaveTask);
        QVERIFY(!QFile::exists(tsk));
    }

    void launches()
    {
        start();
        RecordingLauncherGuard launcher;
        addFiles({"a.avi", "b.avi", "c.avi"});
        for (int r = 0; r < 3; ++r)
            m_fx->Tasks().SetVerdict(m_fx->Tasks().IdAt(r), Verdict::Completed);
        selectOnly({0, 2});
        m_dlg->OnCommand(Ids::OpenConvertedFolder);
        QCOMPARE(launcher->shownFiles, (QStringList{m_list->GetItemText(0, 4), m_list->GetItemText(2, 4)}));

        // Help (menu and F1) opens the shipped page; Feedback writes a mail.
        for (int id : {Ids::Contents, Ids::HelpKey, Ids::Feedback})
            m_dlg->OnCommand(id);
        const QUrl help = QUrl::fromLocalFile(m_fx->Folder().file("help/corvane-studio/02-geting-help.html"));
        QVERIFY(QFile::exists(help.toLocalFile()));
        QCOMPARE(launcher->openedUrls, (QList<QUrl>{help, help, QUrl(FeedbackLink())}));

        // Converted files can be converted again: their outputs become new tasks.
        const QString out = Touch(m_list->GetItemText(0, 4));
        m_dlg->OnCommand(Ids::AddConvertedAsTasks);
        m_dlg->TaskView().WaitForProbeThreads();
        QCOMPARE(m_list->rowCount(), 4); // the missing output of row 2 is refused quietly
        QCOMPARE(m_dlg->TaskView().TaskOfRow(3)->sourcePath.str(), out);

        // About shows the version the command line prints.
        QString version;
        prompter().dialogHandlers.push_back([&](QDialog *d) {
            for (QLabel *label : d->findChildren<QLabel *>())
                if (label->text().contains("Version"))
                    version = label->text();
            return int(QDialog::Accepted);
        });
        m_dlg->OnCommand(Ids::About);
        QCOMPARE(version, "CorvaneStudio Version " + CommandLineHelp::VersionText().section(u' ', 1).trimmed());
    }

    void keyboard()
    {
        // Tab walks every control in reading order with the focus ringed; Space on the preview
        // plays, then pauses. (test_batchview presses the conversion keys.)
        start();
        QApplication::setActiveWindow(m_dlg);
        QTRY_VERIFY(m_dlg->isActiveWindow());
        const QStringList order = {"1068", "32778", "32791", "32779", "57665", "32901", "32900", "1047",
                                   "1177", "1185", "1194", "1195", "1192", "1183", "1014", "1184",
                                   "1001", "1038", "1039", "1040", "browse", "1186", "1045", "1204"};
        auto *ring = m_dlg->findChild<FocusRing *>();
        QVERIFY(ring);
        FindControl<QWidget>(m_dlg, Ids::AddFileButton)->setFocus(Qt::TabFocusReason);
        QStringList reached;
        for (int i = 0; i <= order.size(); ++i) {
            QWidget *focused = QApplication::focusWidget();
            QVERIFY(focused);
            reached << focused->objectName();
            QVERIFY2(ring->Target() == focused && ring->isVisible(), qPrintable(focused->objectName()));
            QVERIFY(ring->geometry().contains(QRect(focused->mapTo(m_dlg, QPoint()), focused->size())));
            QTest::keyClick(focused, Qt::Key_Tab);
        }
        QCOMPARE(reached, order + QStringList{order.first()});

        MakeClip(m_fx->Folder().file("clip.mp4"), {.seconds = 3});
        m_fx->Drop({m_fx->Folder().file("clip.mp4")});
        selectOnly({0});
        m_dlg->TaskView().OnListClick();
        QWidget *preview = FindControl<QWidget>(m_dlg, Ids::PreviewArea);
        preview->setFocus(Qt::TabFocusReason);
        QTest::keyClick(preview, Qt::Key_Space);
        QTRY_COMPARE(m_dlg->Preview().Player().State(), PreviewState::Playing);
        QTest::keyClick(preview, Qt::Key_Space);
        QCOMPARE(m_dlg->Preview().Player().State(), PreviewState::Paused);
    }
};

QTEST_MAIN(TestCommands)
#include "test_commands.moc"
