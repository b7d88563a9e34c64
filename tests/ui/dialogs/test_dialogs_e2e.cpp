// Conversions through the real main window that depend on what the dialogs set: a task
// with its own profile and parameters, and the engine's priority from the settings.
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QPushButton>
#include <QtTest>

#include <sched.h>
#include <unistd.h>

#include "ui/mainwindow/CCorvaneStudioDlg.h"
#include "ui/mainwindow/ControlIds.h"
#include "ui/widgets/CListCtrlEx.h"
#include "ui/dialogs/CPersonalSetDialog.h"
#include "core/profiles/CMpegStructs.h"
#include "core/profiles/ParamOptions.h"
#include "support/MainWindowFixture.h"
#include "ui/widgets/ControlId.h"
#include "ui/widgets/PropertyGrid.h"

using namespace TestSupport;

namespace {

// The scheduling policy of the running engine this process started to write into the
// folder (a probe names only its input), or -1 while there is none.
int convertingEnginePolicy(const QString &outputFolder)
{
    for (const QString &pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile stat("/proc/" + pid + "/stat"), cmdline("/proc/" + pid + "/cmdline");
        if (!stat.open(QIODevice::ReadOnly) || !cmdline.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = stat.readAll();
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' '); // state, parent, ...
        if (text.contains("(mirracore)") && fields.value(1).toInt() == getpid() &&
            cmdline.readAll().contains(outputFolder.toLocal8Bit()))
            return sched_getscheduler(pid.toInt());
    }
    return -1;
}

} // namespace

class TestDialogsEndToEnd : public QObject
{
    Q_OBJECT

    QTemporaryDir m_clips;
    QString m_longClip;
    std::unique_ptr<MainWindowFixture> m_fx;
    CCorvaneStudioDlg *m_dlg = nullptr;
    QString m_out;

    void start(int priorityLevel = 0)
    {
        m_out = m_clips.filePath(QStringLiteral("out put ä %1 %2/").arg(QTest::currentTestFunction(), QTest::currentDataTag()));
        QDir().mkpath(m_out);
        m_fx = std::make_unique<MainWindowFixture>(
            MainWindowFixture::Settings{{"SavedPath", m_out}, {"PROCSEE_LEVEL", QString::number(priorityLevel)}});
        m_dlg = m_fx->Window();
    }

private slots:
    void initTestCase()
    {
        // Long enough that a conversion of it is still running when the test looks.
        m_longClip = m_clips.filePath("long clip.avi");
        ClipSpec longSpec;
        longSpec.seconds = 40;
        longSpec.size = "640x480";
        MakeClip(m_longClip, longSpec);
        QVERIFY(QFile::exists(m_longClip));
    }

    void cleanup()
    {
        if (m_dlg) {
            m_dlg->Batch().OnStopConvert();
            m_dlg->Batch().WaitForWorkers();
        }
        m_dlg = nullptr;
        m_fx.reset();
    }

    void taskWithItsOwnProfileAndParameters()
    {
        start();
        const QString clip = m_clips.filePath("in put $ ä.avi");
        MakeClip(clip); // 2 s, 320x240, MPEG-4 video, MP3 at 44100 Hz
        QVERIFY(QFile::exists(clip));
        m_dlg->TaskView().AddFileByPath(clip);
        QCOMPARE(m_dlg->Controls().taskList->rowCount(), 1);
        const QString mainProfile = m_dlg->GetCurrentProfile().Name();
        const EngineOptions mainOptions = GetParamFromTree(m_dlg->GetCurrentProfile().Tree());
        QVERIFY(mainProfile != "MKV (H.264/AAC)");

        bool edited = false;
        m_fx->Prompts().dialogHandlers.push_back([&edited](QDialog *dialog) {
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
        QVERIFY(m_fx->Prompts().dialogHandlers.empty() && edited);
        const TaskPtr task = m_dlg->TaskView().TaskOfRow(0);
        QCOMPARE(task->useGlobalOutput, 0);
        QCOMPARE(task->profileName.str(), QStringLiteral("MKV (H.264/AAC)"));
        const QString output = m_out + "in put $ ä.mkv";
        QCOMPARE(task->outputPath.str(), output);
        // The main window's profile is untouched.
        QCOMPARE(m_dlg->GetCurrentProfile().Name(), mainProfile);
        QCOMPARE(GetParamFromTree(m_dlg->GetCurrentProfile().Tree()), mainOptions);

        m_dlg->OnCommand(Ids::ConvertAll);
        QTRY_COMPARE_WITH_TIMEOUT(m_dlg->Controls().taskList->GetItemText(0, 3), QStringLiteral("Completed"), 180000);
        m_dlg->Batch().WaitForWorkers();
        QVERIFY(m_fx->Prompts().messages.isEmpty());

        const QString probe = RunProgram(EnginePath(), {"-i", output});
        for (const char *part : {"Input #0, matroska", "Video: h264, ", ", 176x144 ", "Audio: aac, 22050 Hz"})
            QVERIFY2(probe.contains(part), qPrintable(probe));
        // Nothing was written with the main window's settings.
        QCOMPARE(QDir(m_out).entryList(QDir::Files), QStringList{"in put $ ä.mkv"});
    }

    void enginePriorityFromTheSettings_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<int>("policy");
        QTest::newRow("normal") << 0 << int(SCHED_OTHER);
        QTest::newRow("idle") << 3 << int(SCHED_IDLE);
    }
    void enginePriorityFromTheSettings()
    {
        QFETCH(int, level);
        QFETCH(int, policy);
        start(level);
        m_dlg->TaskView().AddFileByPath(m_longClip);
        m_dlg->OnCommand(Ids::ConvertAll);
        int found = -1;
        QTRY_VERIFY_WITH_TIMEOUT((found = convertingEnginePolicy(m_out)) >= 0, 120000);
        m_dlg->Batch().OnStopConvert();
        m_dlg->Batch().WaitForWorkers();
        QCOMPARE(m_dlg->Controls().taskList->GetItemText(0, 3), QStringLiteral("Stoped"));
        QCOMPARE(found, policy);
    }
};

QTEST_MAIN(TestDialogsEndToEnd)
#include "test_dialogs_e2e.moc"
