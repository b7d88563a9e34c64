#include <QAbstractButton>
#include <QFile>
#include <QLineEdit>
#include <QProgressBar>
#include <QTimer>
#include <QtTest>

#include "app/CCorvaneStudioApp.h"
#include "app/CCorvaneStudioDlg.h"
#include "app/ControlIds.h"
#include "app/ConvertInfoDialog.h"
#include "controls/CListCtrlEx.h"
#include "conversion/MediaProbe.h"
#include "core/IniFile.h"
#include "profiles/CMpegStructs.h"
#include "lang/Language.h"
#include "support/MainWindowFixture.h"
#include "toolkit/ControlId.h"
#include "toolkit/StatusBar.h"

using namespace TestSupport;

namespace {
const QRgb kGrey = 0x00808080;
const QRgb kBlue = 0x00FF0000;

QByteArray readUtf16File(const QString &path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

void writeScript(const QString &path, const QByteArray &body)
{
    QFile::remove(path);
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("#!/bin/sh\n" + body);
    f.close();
    QVERIFY(f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
}
} // namespace

class TestBatch : public QObject
{
    Q_OBJECT

    std::unique_ptr<MainWindowFixture> m_fx;
    ProgramFolder *m_folder = nullptr;
    CCorvaneStudioDlg *m_dlg = nullptr;
    CListCtrlEx *m_list = nullptr;
    QString m_in;
    QString m_out;

    void start(const QString &runMode = QString())
    {
        m_fx = std::make_unique<MainWindowFixture>(MainWindowFixture::Settings{{"RUNMODE", runMode}});
        m_folder = &m_fx->Folder();
        m_dlg = m_fx->Window();
        m_list = m_fx->List();
        m_in = m_folder->file("in put/");
        m_out = m_folder->file("out/");
        QDir().mkpath(m_in);
        m_fx->SetDestination(m_out);
    }
    // Makes clips, lists them and waits for the probe.
    void addClips(const QStringList &names, int seconds = 2, const QString &size = "160x120")
    {
        QStringList paths;
        for (const QString &name : names) {
            ClipSpec recipe;
            recipe.seconds = seconds;
            recipe.size = size;
            const QString path = m_in + name;
            MakeClip(path, recipe);
            QVERIFY2(QFile::exists(path), qPrintable(path));
            paths << path;
        }
        m_dlg->OnDropFiles(paths);
        QTRY_COMPARE_WITH_TIMEOUT(m_dlg->RunningProbeThreads(), 0, 30000);
    }
    void waitForRunEnd()
    {
        QTRY_VERIFY_WITH_TIMEOUT(!m_dlg->IsConverting() && !m_dlg->HasWorker(), 120000);
        m_dlg->WaitForWorkers();
    }
    QStringList statuses() const { return m_fx->Column(3); }
    ScriptedPrompter &prompter() { return m_fx->Prompts(); }
    QString output(int row) const { return m_dlg->TaskOfRow(row) ? m_list->GetItemText(row, 4) : QString(); }

private slots:
    void cleanup() { m_fx.reset(); }

    void convertAllThreeRows()
    {
        start();
        addClips({"one.mp4", "two \"quoted\" $x ключ.avi", "three.mkv"});
        QSignalSpy overall(m_dlg, &CCorvaneStudioDlg::overallProgressChanged);
        m_dlg->OnCommand(Ids::ConvertAll);
        waitForRunEnd();
        QCOMPARE(statuses(), (QStringList{"Completed", "Completed", "Completed"}));
        QCOMPARE(prompter().messages.size(), 0);
        for (int r = 0; r < 3; ++r) {
            QCOMPARE(m_list->TextColor(r), CListCtrlEx::FromColorRef(kGrey));
            const QString out = output(r);
            QVERIFY2(out.startsWith(m_out) && out.endsWith(".mp4"), qPrintable(out));
            MediaInfo info;
            QVERIFY(ParseProbeOutput(out, RunProbe(out, "-i"), info));
            QCOMPARE(info.videoCodec.str(), QStringLiteral("h264"));
            QCOMPARE(info.audioCodec.str(), QStringLiteral("aac"));
            QVERIFY(qAbs(info.durationSecText.str().toDouble() - 2.0) < 0.2);
        }
        QCOMPARE(m_list->GetItemText(1, 4), m_out + "two \"quoted\" $x ключ.mp4");
        // The bar ran up during the run and went back to 0 at its end.
        bool sawFull = false;
        for (const auto &args : overall)
            sawFull |= args.at(0).toInt() == 100;
        QVERIFY(sawFull);
        QCOMPARE(FindControl<QProgressBar>(m_dlg, Ids::ProgressBar)->value(), 0);
        QVERIFY(m_dlg->GetStatusBar()->PaneText(1).startsWith("Converted  to \""));
    }

    void stopDuringSecondRow()
    {
        start();
        addClips({"a.mp4"});
        addClips({"b.mp4"}, 40, "320x240");
        addClips({"c.mp4"});
        // Stop as soon as the second row shows progress.
        connect(m_dlg, &CCorvaneStudioDlg::overallProgressChanged, m_dlg, [this](int percent) {
            if (percent > 0 && m_list->GetItemText(0, 3) == "Completed" && m_list->GetItemText(1, 3).isEmpty())
                m_dlg->OnCommand(Ids::StopConvert);
        });
        const QString untouched = m_list->GetItemText(2, 4);
        m_dlg->OnCommand(Ids::ConvertAll);
        waitForRunEnd();
        QCOMPARE(statuses(), (QStringList{"Completed", "Stoped", ""}));
        QCOMPARE(m_list->TextColor(1), CListCtrlEx::FromColorRef(kBlue));
        QVERIFY(!QFile::exists(output(1))); // the partial file is gone
        QCOMPARE(m_list->GetItemText(2, 4), untouched);
        QCOMPARE(m_list->TextColor(2), QColor(Qt::black));
        QVERIFY(FindControl<QWidget>(m_dlg, Ids::ConvertAll)->isEnabled());
        QVERIFY(FindControl<QWidget>(m_dlg, Ids::ConvertSelected)->isEnabled());
        QCOMPARE(FindControl<QProgressBar>(m_dlg, Ids::ProgressBar)->value(), 0);
        QVERIFY(m_dlg->GetStatusBar()->PaneText(1).contains(" Stop Converting \""));
        // Stop while nothing runs does nothing.
        m_dlg->GetConversionFlags().stopRequested = false;
        m_dlg->OnCommand(Ids::StopConvert);
        QVERIFY(!m_dlg->GetConversionFlags().stopRequested);
        QCOMPARE(statuses(), (QStringList{"Completed", "Stoped", ""}));
    }

    void notMediaFails()
    {
        start();
        addClips({"good.mp4"});
        QFile junk(m_in + "junk.avi");
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write(QByteArray(5000, 'x'));
        junk.close();
        m_dlg->OnDropFiles({junk.fileName()});
        QTRY_COMPARE_WITH_TIMEOUT(m_dlg->RunningProbeThreads(), 0, 30000);
        QString report;
        prompter().dialogHandlers.push_back([&](QDialog *d) {
            report = qobject_cast<ConvertInfoDialog *>(d)->Text();
            return int(QDialog::Rejected);
        });
        m_dlg->OnCommand(Ids::ConvertAll);
        waitForRunEnd();
        QCOMPARE(statuses(), (QStringList{"Completed", "Failed"}));
        QCOMPARE(prompter().dialogTitles, QStringList{GetLangString("@96")});
        QVERIFY2(report.contains("junk.avi"), qPrintable(report));
        QVERIFY(!QFile::exists(output(1)));
        QCOMPARE(m_list->TextColor(1), CListCtrlEx::FromColorRef(kBlue));
        QVERIFY(m_dlg->GetStatusBar()->PaneText(1).startsWith("Converting \"" + m_in + "junk.avi\" Failed!"));
    }

    void ownOutputInANewFolder()
    {
        start();
        addClips({"a.mp4"});
        const TaskPtr task = m_dlg->TaskOfRow(0);
        task->useGlobalOutput = 0;
        task->paramTree = CloneCells(m_dlg->GetCurrentProfile().Tree());
        task->outputPath = m_folder->file("typed/by hand/a.mp4");
        m_dlg->OnCommand(Ids::ConvertAll);
        waitForRunEnd();
        QCOMPARE(statuses(), QStringList{"Completed"});
        QVERIFY(QFile::exists(m_folder->file("typed/by hand/a.mp4")));
    }

    void convertSelectedWithoutSelection()
    {
        start();
        addClips({"a.mp4", "b.mp4"});
        m_list->clearSelection();
        m_dlg->OnCommand(Ids::ConvertSelected);
        waitForRunEnd();
        QCOMPARE(statuses(), (QStringList{"Completed", ""}));
        QVERIFY(m_list->IsRowSelected(0));
    }

    void completedQuestion()
    {
        start();
        addClips({"a.mp4", "b.mp4", "c.mp4"});
        m_dlg->OnCommand(Ids::ConvertAll);
        waitForRunEnd();
        const QStringList firstOutputs{output(0), output(1), output(2)};

        // Cancel for every row: nothing converted, the bar stays at 0.
        prompter().messageAnswers = {Prompter::Cancel, Prompter::Cancel, Prompter::Cancel};
        QSignalSpy overall(m_dlg, &CCorvaneStudioDlg::overallProgressChanged);
        m_dlg->OnCommand(Ids::ConvertAll);
        waitForRunEnd();
        QCOMPARE(prompter().messages.size(), 3);
        QString expected = GetLangString("@9");
        expected.replace("%s", m_in + "a.mp4");
        QCOMPARE(prompter().messages.at(0).text, expected);
        for (const auto &args : overall)
            QCOMPARE(args.at(0).toInt(), 0);
        QCOMPARE(QStringList({output(0), output(1), output(2)}), firstOutputs);

        // Cancel for the first, OK for the second: the third is converted without asking.
        prompter().messages.clear();
        prompter().messageAnswers = {Prompter::Cancel, Prompter::Ok};
        m_dlg->OnCommand(Ids::ConvertAll);
        waitForRunEnd();
        QCOMPARE(prompter().messages.size(), 2);
        QCOMPARE(output(0), firstOutputs[0]);
        QCOMPARE(output(1), m_out + "b_0.mp4");
        QCOMPARE(output(2), m_out + "c_0.mp4");
        QVERIFY(QFile::exists(output(1)) && QFile::exists(output(2)));
    }

    void diagnosticSwitch_data()
    {
        QTest::addColumn<QString>("runMode");
        QTest::addColumn<int>("logged");
        QTest::addColumn<bool>("converted");
        QTest::newRow("print, no run") << "PRINT_CMD_NO_RUN" << 3 << false;
        QTest::newRow("debug") << "DEBUG_PRINT_CMD" << 3 << true;
        QTest::newRow("lower case is no switch") << "print_cmd_no_run" << 0 << true;
    }
    void diagnosticSwitch()
    {
        QFETCH(QString, runMode);
        QFETCH(int, logged);
        QFETCH(bool, converted);
        start(runMode);
        addClips({"a.mp4", "b b.mp4", "c.mp4"});
        m_dlg->OnCommand(Ids::ConvertAll);
        waitForRunEnd();
        const QString log = m_folder->file("run.log");
        const QByteArray bytes = readUtf16File(log);
        const QString text = QString::fromUtf16(reinterpret_cast<const char16_t *>(bytes.constData() + 2),
                                                qMax<qsizetype>(0, bytes.size() / 2 - 1));
        QCOMPARE(text.count(" -qmin 1 -qmax 51 -level 13 \""), logged);
        if (logged)
            QVERIFY(text.contains(m_folder->path() + "mirracore -y -i \"" + m_in + "b b.mp4\"  -vcodec"));
        const QStringList expected = converted ? QStringList{"Completed", "Completed", "Completed"} : QStringList{"", "", ""};
        QCOMPARE(statuses(), expected);
        for (int r = 0; r < 3; ++r) {
            QCOMPARE(QFile::exists(output(r)), converted);
            if (!converted)
                QCOMPARE(m_list->TextColor(r), QColor(Qt::black));
        }
    }

    void hangingEngineIsStopped()
    {
        start();
        addClips({"a.mp4", "b.mp4"});
        writeScript(m_folder->file("mirracore"),
                    "echo \"Input #0, mov, from 'x':\"\n"
                    "echo \"frame=   10 fps= 10 q=2.0 size=      10kB time=0.40 bitrate= 200.0kbits/s\"\n"
                    "exec sleep 600\n");
        m_dlg->OnCommand(Ids::ConvertAll);
        QTRY_VERIFY_WITH_TIMEOUT(m_dlg->GetConversionFlags().engine.IsSet(), 20000);
        // The window keeps serving events while the engine hangs.
        bool served = false;
        QTimer::singleShot(0, m_dlg, [&] { served = true; });
        QTRY_VERIFY(served);
        QVERIFY(m_dlg->IsConverting());
        m_dlg->OnCommand(Ids::StopConvert);
        waitForRunEnd();
        QCOMPARE(statuses(), (QStringList{"Stoped", ""}));
    }

    void crashingEngineFails()
    {
        start();
        addClips({"a.mp4"});
        writeScript(m_folder->file("mirracore"),
                    "echo \"Input #0, mov, from 'x':\"\n"
                    "echo \"frame=   10 fps= 10 q=2.0 size=      10kB time=0.40 bitrate= 200.0kbits/s\"\n"
                    "kill -SEGV $$\n");
        QString report;
        prompter().dialogHandlers.push_back([&](QDialog *d) {
            report = qobject_cast<ConvertInfoDialog *>(d)->Text();
            return int(QDialog::Rejected);
        });
        m_dlg->OnCommand(Ids::ConvertAll);
        waitForRunEnd();
        QCOMPARE(statuses(), QStringList{"Failed"});
        QVERIFY2(report.contains("Input #0, mov") && report.contains("time=0.40"), qPrintable(report));
    }

    void closingDuringARun()
    {
        start();
        addClips({"a.mp4"});
        writeScript(m_folder->file("mirracore"), "echo \"Input #0, mov, from 'x':\"\nexec sleep 600\n");
        m_dlg->OnCommand(Ids::ConvertAll);
        QTRY_VERIFY_WITH_TIMEOUT(m_dlg->GetConversionFlags().engine.IsSet(), 20000);
        // Cancel: the window stays, the run goes on.
        prompter().messageAnswers = {Prompter::Cancel};
        QVERIFY(!m_dlg->close());
        QCOMPARE(prompter().messageTexts(), QStringList{GetLangString("@7")});
        QVERIFY(m_dlg->isVisible() && m_dlg->IsConverting());
        QCOMPARE(m_list->rowCount(), 1);
        // OK: the engine ends at once, the worker finishes, then the window closes.
        prompter().messageAnswers = {Prompter::Ok};
        QVERIFY(m_dlg->close());
        QVERIFY(!m_dlg->isVisible());
        QVERIFY(!m_dlg->IsConverting());
        QCOMPARE(m_dlg->GetTasks().Count(), 0);
        QCOMPARE(IniFile::ReadString(m_folder->settingsPath(), "SYSTEM", "INIMODE"), QStringLiteral("1"));
    }

    void exitWhileConverting()
    {
        start();
        addClips({"a.mp4"});
        writeScript(m_folder->file("mirracore"), "echo \"Input #0, mov, from 'x':\"\nexec sleep 600\n");
        m_dlg->OnCommand(Ids::ConvertAll);
        QTRY_VERIFY_WITH_TIMEOUT(m_dlg->GetConversionFlags().engine.IsSet(), 20000);
        // The fixed exit question first, then the question about the running conversion.
        prompter().messageAnswers = {Prompter::Ok, Prompter::Cancel};
        m_dlg->OnCommand(Ids::Exit);
        QCOMPARE(prompter().messageTexts(), (QStringList{QString::fromUtf8("确认退出？"), GetLangString("@7")}));
        QVERIFY(m_dlg->isVisible() && m_dlg->IsConverting());
        prompter().messageAnswers = {Prompter::Ok, Prompter::Ok};
        m_dlg->OnCommand(Ids::Exit);
        QVERIFY(!m_dlg->isVisible());
        QVERIFY(!m_dlg->IsConverting());
        QCOMPARE(statuses().size(), 1);
    }

    void exitAsksFirst()
    {
        start();
        prompter().messageAnswers = {Prompter::Cancel};
        m_dlg->OnCommand(Ids::Exit);
        QVERIFY(m_dlg->isVisible());
        QCOMPARE(prompter().messageTexts(), QStringList{QString::fromUtf8("确认退出？")});
        prompter().messageAnswers = {Prompter::Ok};
        m_dlg->OnCommand(Ids::Exit);
        QVERIFY(!m_dlg->isVisible());
    }
};

QTEST_MAIN(TestBatch)
#include "test_batch.moc"
