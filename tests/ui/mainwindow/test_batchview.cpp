#include <QComboBox>
#include <QProgressBar>
#include <QTimer>
#include <QtTest>
#include <sched.h>

#include "ui/mainwindow/BatchView.h"
#include "ui/mainwindow/CCorvaneStudioDlg.h"
#include "ui/mainwindow/ControlIds.h"
#include "ui/dialogs/ConvertInfoDialog.h"
#include "ui/mainwindow/TaskTableModel.h"
#include "ui/widgets/CListCtrlEx.h"
#include "base/IniFile.h"
#include "core/settings/Language.h"
#include "support/MainWindowFixture.h"
#include "support/RecordingLauncher.h"
#include "ui/widgets/ColorRef.h"
#include "ui/widgets/ControlId.h"
#include "ui/widgets/ImageButton.h"
#include "ui/widgets/StatusBar.h"

using namespace TestSupport;

namespace {
const QRgb kGrey = 0x00808080;
const QRgb kBlue = 0x00FF0000;
// Two progress lines, enough to tell its pace, then it hangs; it notes its scheduling policy.
const QByteArray kHangingEngine = "echo \"Input #0, mov, from 'x':\"\n"
                                  "for t in 0.10 0.20 0.30; do\n"
                                  "  echo \"frame= 1 fps= 1 q=1.0 size= 1kB time=$t bitrate= 1.0kbits/s\"; sleep 0.2\n"
                                  "done\n# The window may set the class a moment after the start: read it again and again.\n"
                                  "for i in $(seq 3000); do cut -d' ' -f41 /proc/$$/stat > \"$0.policy\"; sleep 0.2; done\n";
} // namespace

// The window's side of a conversion run: cells, colours, status line, bar, dialogs,
// and the questions about closing while a run goes on.
class TestBatchView : public WindowTest
{
    Q_OBJECT

    void addClips(const QStringList &names) { m_fx->Drop(MakeClips(m_media, names, {1, "160x120"})); }
    void hangingEngine() { QVERIFY(WriteStandInEngine(m_fx->Folder().file("mirracore"), kHangingEngine)); }
    BatchView &batch() const { return m_dlg->Batch(); }
    void waitForRunEnd()
    {
        QTRY_VERIFY_WITH_TIMEOUT(!batch().IsConverting() && !batch().HasWorker(), 120000);
        batch().WaitForWorkers();
    }
    void waitForEngine() { QTRY_VERIFY_WITH_TIMEOUT(batch().Flags().engine.IsSet(), 20000); }
    QProgressBar *bar() const { return FindControl<QProgressBar>(m_dlg, Ids::ProgressBar); }

private slots:
    void aRunShownInTheWindow()
    {
        start();
        addClips({"good.mp4", "more.mp4"});
        QVERIFY(WriteFile(m_media + "junk.avi", QByteArray(5000, 'x')));
        m_fx->Drop({m_media + "junk.avi"});
        QString report;
        prompter().dialogHandlers.push_back([&](QDialog *d) {
            report = qobject_cast<ConvertInfoDialog *>(d)->Text();
            return int(QDialog::Rejected);
        });
        QSignalSpy overall(&batch(), &BatchView::overallProgressChanged);
        // The user looks at another window meanwhile, so the end is told by the desktop.
        TestSupport::RecordingLauncherGuard desktop;
        QWidget elsewhere;
        elsewhere.show();
        QApplication::setActiveWindow(&elsewhere);
        QTRY_VERIFY(!m_dlg->isActiveWindow());
        m_dlg->OnCommand(Ids::ConvertAll);
        waitForRunEnd();
        QCOMPARE(desktop->notifications, QStringList{"Conversion finished: 2 converted, 1 not converted"});
        // The taskbar entry shows the run's progress, rising, and none once it ended.
        QVERIFY(desktop->progress.size() >= 3);
        QCOMPARE(desktop->progress.first(), 0);
        QCOMPARE(desktop->progress.last(), -1);
        QVERIFY(std::is_sorted(desktop->progress.begin(), desktop->progress.end() - 1));
        QCOMPARE(m_fx->Column(3), (QStringList{"Completed", "Completed", "Failed"}));
        QCOMPARE(m_list->TextColor(0), ColorFromBgr(kGrey));
        QCOMPARE(m_list->TextColor(2), ColorFromBgr(kBlue));
        QCOMPARE(prompter().dialogTitles, QStringList{GetLangString("@96")});
        QVERIFY2(report.contains("junk.avi"), qPrintable(report));
        QVERIFY(m_dlg->Controls().statusBar->PaneText(1).startsWith("Converting \"" + m_media + "junk.avi\" Failed!"));
        QVERIFY(std::any_of(overall.begin(), overall.end(), [](const QList<QVariant> &a) { return a[0].toInt() > 0; }));
        QCOMPARE(bar()->value(), 0);
        QVERIFY(m_list->RowProgressBar()->isHidden());
        QVERIFY(FindControl<QWidget>(m_dlg, Ids::ConvertAll)->isEnabled());
        QVERIFY(FindControl<QWidget>(m_dlg, Ids::ConvertSelected)->isEnabled());
        // How long each row took; no time left once the run ended.
        for (const QString &took : m_fx->Column(TaskTableModel::Elapsed))
            QVERIFY2(QRegularExpression("^0:00:\\d\\d$").match(took).hasMatch(), qPrintable(took));
        QCOMPARE(m_dlg->Controls().statusBar->PaneText(0), QString());
        QVERIFY(m_dlg->QueryCommand(Ids::RemoveCompleted).enabled);
        m_dlg->OnCommand(Ids::RemoveCompleted);
        QCOMPARE(m_fx->Column(3), QStringList{"Failed"});
        QVERIFY(!m_dlg->QueryCommand(Ids::RemoveCompleted).enabled);
    }

    void severalAtOnceFromTheKeyboard()
    {
        // F5 with two conversions at once: two rows convert side by side (each file once:
        // test_batch), and the report of a file that failed waits for the run's end.
        start({{"JOBS", "2"}});
        QComboBox *profiles = m_dlg->Controls().profileCombo;
        profiles->setCurrentIndex(profiles->findText("AVI (MPEG-4/MP3)"));
        QVERIFY(WriteFile(m_media + "junk.avi", QByteArray(5000, 'x')));
        m_fx->Drop({m_media + "junk.avi"});
        addClips({"a.mp4", "b.mp4", "c.mp4", "d.mp4"});
        QObject watching; // the connection ends with the test, whatever way it ends
        int together = 0;
        connect(&batch(), &BatchView::statusLineChanged, &watching,
                [&] { together = std::max(together, batch().ConvertingRows()); });
        auto atReport = std::make_shared<QStringList>();
        prompter().dialogHandlers.push_back([atReport, this](QDialog *) {
            for (int row = 0; row < m_fx->Tasks().Count(); ++row)
                *atReport << VerdictText(m_fx->Tasks().State(m_fx->Tasks().IdAt(row)).verdict);
            return int(QDialog::Rejected);
        });
        QApplication::setActiveWindow(m_dlg);
        QTRY_VERIFY(m_dlg->isActiveWindow());
        QTest::keyClick(m_dlg, Qt::Key_F5);
        QVERIFY(batch().HasWorker()); // the key started the run
        waitForRunEnd();
        QCOMPARE(batch().Jobs(), 2);
        QCOMPARE(together, 2);
        QCOMPARE(QDir(m_fx->Folder().file("out/")).entryList({"*.avi"}, QDir::Files),
                 (QStringList{"a.avi", "b.avi", "c.avi", "d.avi"}));
        QCOMPARE(*atReport, (QStringList{"Failed", "Completed", "Completed", "Completed", "Completed"}));
        QCOMPARE(m_list->ShownRowProgressCount(), 0);
    }

    void convertSelectedWithoutSelection()
    {
        start();
        addClips({"a.mp4", "b.mp4"});
        m_list->clearSelection();
        m_dlg->OnCommand(Ids::ConvertSelected);
        waitForRunEnd();
        QCOMPARE(m_fx->Column(3), (QStringList{"Completed", ""}));
        QVERIFY(m_list->IsRowSelected(0));
    }

    void stopWhileTheEngineHangs()
    {
        start({{"PROCSEE_LEVEL", "3"}});
        addClips({"a.mp4", "b.mp4"});
        hangingEngine();
        TestSupport::RecordingLauncherGuard desktop;
        QApplication::setActiveWindow(m_dlg);
        QTRY_VERIFY(m_dlg->isActiveWindow());
        QTest::keyClick(m_dlg, Qt::Key_F5, Qt::ControlModifier); // Convert Selected: the new rows are selected
        waitForEngine();
        // The engine runs at the priority the options name: idle, so a busy machine
        // may hold it back for seconds.
        QTRY_COMPARE_WITH_TIMEOUT(ReadFile(m_fx->Folder().file("mirracore.policy")).trimmed(), QByteArray::number(SCHED_IDLE), 60000);
        // The window keeps serving events while the engine hangs.
        bool served = false;
        QTimer::singleShot(0, m_dlg, [&] { served = true; });
        QTRY_VERIFY(served);
        QTRY_VERIFY2(m_dlg->Controls().statusBar->PaneText(0).startsWith("Time left: 0:0"), qPrintable(m_dlg->Controls().statusBar->PaneText(0)));
        // Pause and resume toggle the button, the menu's check and the time pane; Stop ends
        // a paused run as any other, and nothing stays paused after it.
        auto *pause = FindControl<ImageButton>(m_dlg, Ids::PauseConvert);
        QVERIFY(!m_dlg->QueryCommand(Ids::RemoveCompleted).enabled);
        for (bool paused : {true, false, true}) {
            QTest::keyClick(m_dlg, Qt::Key_F6);
            QCOMPARE(batch().IsPaused(), paused);
            QCOMPARE(m_dlg->QueryCommand(Ids::PauseConvert).checked, paused);
            QCOMPARE(pause->Caption(), paused ? QString("Resume") : QString("Pause"));
            QCOMPARE(m_dlg->Controls().statusBar->PaneText(0), paused ? QString("Paused") : QString());
        }
        QTest::keyClick(m_dlg, Qt::Key_F5, Qt::ShiftModifier);
        waitForRunEnd();
        QCOMPARE(m_fx->Column(3), (QStringList{"Stoped", ""}));
        QCOMPARE(desktop->notifications, QStringList{}); // the user watched it end
        QCOMPARE(m_list->TextColor(0), ColorFromBgr(kBlue));
        QVERIFY(m_dlg->Controls().statusBar->PaneText(1).contains(" Stop Converting \""));
        QVERIFY(!batch().IsPaused());
        QCOMPARE(pause->Caption(), QString("Pause"));
        QVERIFY(!m_dlg->QueryCommand(Ids::PauseConvert).enabled);
        // Stop while nothing runs does nothing.
        batch().Flags().stopRequested = false;
        m_dlg->OnCommand(Ids::StopConvert);
        QVERIFY(!batch().Flags().stopRequested);
    }

    void leavingAsksWhileARunGoesOn_data()
    {
        QTest::addColumn<int>("presses"); // Convert All pressed this often (a double click: 2)
        QTest::newRow("one press") << 1;
        QTest::newRow("double click") << 2;
    }
    void leavingAsksWhileARunGoesOn()
    {
        QFETCH(int, presses);
        start();
        addClips({"a.mp4"});
        hangingEngine();
        for (int i = 0; i < presses; ++i)
            m_dlg->OnCommand(Ids::ConvertAll);
        waitForEngine();
        // A second worker ends at once; the window's reference stays with the running one.
        QTRY_COMPARE(batch().RunningWorkers(), 1);
        QVERIFY(batch().HasWorker());
        // Cancel: the window stays, the run goes on. Exit asks its fixed question first.
        prompter().messageAnswers = {Prompter::Cancel, Prompter::Ok, Prompter::Cancel};
        QVERIFY(!m_dlg->close());
        m_dlg->OnCommand(Ids::Exit);
        QCOMPARE(prompter().messageTexts(), (QStringList{GetLangString("@7"), QString::fromUtf8("确认退出？"), GetLangString("@7")}));
        QVERIFY(m_dlg->isVisible() && batch().IsConverting());
        // OK: the engine ends at once, the worker finishes, then the window closes.
        prompter().messageAnswers = {Prompter::Ok};
        QVERIFY(m_dlg->close());
        QVERIFY(!batch().IsConverting());
        QCOMPARE(m_fx->Tasks().Count(), 0);
        QCOMPARE(IniFile::ReadString(m_fx->Folder().settingsPath(), "SYSTEM", "INIMODE"), QStringLiteral("1"));
        // Without a run, Cancel on the exit question keeps the window.
        start();
        prompter().messageAnswers = {Prompter::Cancel};
        m_dlg->OnCommand(Ids::Exit);
        QVERIFY(m_dlg->isVisible());
    }
};

QTEST_MAIN(TestBatchView)
#include "test_batchview.moc"
