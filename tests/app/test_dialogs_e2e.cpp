// Conversions through the real main window that depend on what the dialogs set: a task
// with its own profile and parameters, and the engine's priority from the settings.
#include <QCheckBox>
#include <QComboBox>
#include <QDirIterator>
#include <QFile>
#include <QPushButton>
#include <QtTest>

#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include "app/CCorvaneStudioApp.h"
#include "app/CCorvaneStudioDlg.h"
#include "app/ControlIds.h"
#include "controls/CListCtrlEx.h"
#include "core/IniFile.h"
#include "profiles/CPersonalSetDialog.h"
#include "profiles/CMpegStructs.h"
#include "profiles/ParamOptions.h"
#include "support/TestSupport.h"
#include "toolkit/ControlId.h"
#include "toolkit/PropertyGrid.h"

using namespace TestSupport;

namespace {

struct EngineChild
{
    pid_t pid = 0;
    int policy = -1;
    int nice = 0;
};

// A running engine started by this process whose command line names the output folder
// (so the probe, which names only its input, is not taken for it).
EngineChild findConvertingEngine(const QString &outputFolder)
{
    QDirIterator it("/proc", QDir::Dirs | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        const QString dir = it.next();
        bool isPid = false;
        const pid_t pid = pid_t(QFileInfo(dir).fileName().toInt(&isPid));
        if (!isPid)
            continue;
        QFile stat(dir + "/stat");
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = stat.readAll();
        const qsizetype open = text.indexOf('('), close = text.lastIndexOf(')');
        if (open < 0 || close < 0 || text.mid(open + 1, close - open - 1) != "mirracore")
            continue;
        const QList<QByteArray> fields = text.mid(close + 2).split(' '); // state, ppid, ...
        if (fields.size() < 2 || fields.at(1).toInt() != getpid())
            continue;
        QFile cmdline(dir + "/cmdline");
        if (!cmdline.open(QIODevice::ReadOnly) || !cmdline.readAll().contains(outputFolder.toLocal8Bit()))
            continue;
        EngineChild child;
        child.pid = pid;
        child.policy = sched_getscheduler(pid);
        errno = 0;
        child.nice = getpriority(PRIO_PROCESS, id_t(pid));
        return child;
    }
    return {};
}

} // namespace

class TestDialogsEndToEnd : public QObject
{
    Q_OBJECT

    QTemporaryDir m_clips;
    QString m_longClip;
    std::unique_ptr<ProgramFolder> m_folder;
    std::unique_ptr<CCorvaneStudioApp> m_app;
    CCorvaneStudioDlg *m_dlg = nullptr;
    CListCtrlEx *m_list = nullptr;
    QString m_out;

    void start(const QHash<QString, QString> &system = {})
    {
        m_folder = std::make_unique<ProgramFolder>();
        m_out = m_folder->file("out put ä/");
        QDir().mkpath(m_out);
        IniFile::WriteString(m_folder->settingsPath(), "SYSTEM", "SavedPath", m_out);
        for (auto it = system.begin(); it != system.end(); ++it)
            IniFile::WriteString(m_folder->settingsPath(), "SYSTEM", it.key(), it.value());
        m_app = std::make_unique<CCorvaneStudioApp>();
        m_app->InitInstance(m_folder->exePath(), {});
        m_dlg = m_app->MainWindow();
        m_list = m_dlg->GetTaskList();
        m_dlg->show();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_clips.isValid());
        // Long enough that a conversion of it is still running when the test looks.
        m_longClip = m_clips.filePath("long clip.avi");
        ClipSpec spec;
        spec.seconds = 40;
        spec.size = "640x480";
        MakeClip(m_longClip, spec);
        QVERIFY(QFile::exists(m_longClip));
    }

    void cleanup()
    {
        if (m_dlg) {
            m_dlg->OnStopConvert();
            m_dlg->WaitForWorkers();
        }
        m_dlg = nullptr;
        m_app.reset();
        m_folder.reset();
    }

    void taskWithItsOwnProfileAndParameters()
    {
        start();
        ScriptedPrompterGuard prompter;
        const QString clip = m_folder->file("in put $ ä.avi");
        ClipSpec spec;
        spec.seconds = 2;
        MakeClip(clip, spec); // 320x240, MPEG-4 video, MP3 at 44100 Hz
        QVERIFY(QFile::exists(clip));
        m_dlg->AddFileByPath(clip);
        QCOMPARE(m_list->rowCount(), 1);
        const QString mainProfile = m_dlg->GetCurrentProfile().Name();
        const QString mainOptions = GetParamFromTree(m_dlg->GetCurrentProfile().Tree());
        QVERIFY(mainProfile != "MKV (H.264/AAC)");

        bool edited = false;
        prompter->dialogHandlers.push_back([&edited](QDialog *dialog) {
            FindControl<QCheckBox>(dialog, CPersonalSetDialog::kUseGlobalId)->click();
            QComboBox *combo = FindControl<QComboBox>(dialog, CPersonalSetDialog::kProfileComboId);
            const int mkv = combo->findText("MKV (H.264/AAC)");
            combo->setCurrentIndex(mkv);
            emit combo->activated(mkv);
            PropertyGrid *grid = static_cast<CPersonalSetDialog *>(dialog)->Grid();
            edited = mkv >= 0 && grid->CommitValue(grid->FindByKey("s"), "176x144") &&
                     grid->CommitValue(grid->FindByKey("ar"), "22050 Hz");
            FindControl<QPushButton>(dialog, CPersonalSetDialog::kOkId)->click();
            return dialog->result();
        });
        m_dlg->OnCommand(Ids::TaskInfo);
        QVERIFY(prompter->dialogHandlers.empty());
        QVERIFY(edited);
        const TaskPtr task = m_dlg->TaskOfRow(0);
        QCOMPARE(task->useGlobalOutput, 0);
        QCOMPARE(task->profileName.str(), QStringLiteral("MKV (H.264/AAC)"));
        const QString output = m_out + "in put $ ä.mkv";
        QCOMPARE(task->outputPath.str(), output);
        // The main window's profile is untouched.
        QCOMPARE(m_dlg->GetCurrentProfile().Name(), mainProfile);
        QCOMPARE(GetParamFromTree(m_dlg->GetCurrentProfile().Tree()), mainOptions);

        m_dlg->OnCommand(Ids::ConvertAll);
        QTRY_COMPARE_WITH_TIMEOUT(m_list->GetItemText(0, 3), QStringLiteral("Completed"), 180000);
        m_dlg->WaitForWorkers();
        QVERIFY(prompter->messages.isEmpty());

        const QString probe = RunProgram(EnginePath(), {"-i", output});
        QVERIFY2(probe.contains("Input #0, matroska"), qPrintable(probe));
        QVERIFY2(probe.contains("Video: h264, "), qPrintable(probe));
        QVERIFY2(probe.contains(", 176x144 "), qPrintable(probe));
        QVERIFY2(probe.contains("Audio: aac, 22050 Hz"), qPrintable(probe));
        // Nothing was written with the main window's settings.
        QCOMPARE(QDir(m_out).entryList(QDir::Files), QStringList{"in put $ ä.mkv"});
    }

    void enginePriorityFromTheSettings_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<int>("policy");
        QTest::addColumn<int>("nice"); // as root; without the privilege raising stays at our own
        QTest::newRow("normal") << 0 << int(SCHED_OTHER) << 0;
        QTest::newRow("high") << 1 << int(SCHED_OTHER) << -5;
        QTest::newRow("real time") << 2 << int(SCHED_OTHER) << -10;
        QTest::newRow("idle") << 3 << int(SCHED_IDLE) << 0;
    }
    void enginePriorityFromTheSettings()
    {
        QFETCH(int, level);
        QFETCH(int, policy);
        QFETCH(int, nice);
        start({{"PROCSEE_LEVEL", QString::number(level)}});
        ScriptedPrompterGuard prompter;
        m_dlg->AddFileByPath(m_longClip);
        QCOMPARE(m_list->rowCount(), 1);
        m_dlg->OnCommand(Ids::ConvertAll);
        EngineChild engine;
        QTRY_VERIFY_WITH_TIMEOUT((engine = findConvertingEngine(m_out)).pid > 0, 120000);
        m_dlg->OnStopConvert();
        m_dlg->WaitForWorkers();
        QCOMPARE(m_list->GetItemText(0, 3), QStringLiteral("Stoped"));

        QCOMPARE(engine.policy, policy);
        errno = 0;
        const int own = getpriority(PRIO_PROCESS, 0);
        if (policy == SCHED_OTHER) {
            const bool privileged = geteuid() == 0;
            QCOMPARE(engine.nice, privileged ? nice : std::max(own, nice));
        }
    }
};

QTEST_MAIN(TestDialogsEndToEnd)
#include "test_dialogs_e2e.moc"
