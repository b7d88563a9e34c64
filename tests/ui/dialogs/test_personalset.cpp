#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include "ui/mainwindow/CCorvaneStudioDlg.h"
#include "ui/mainwindow/TaskListView.h"
#include "ui/mainwindow/ControlIds.h"
#include "ui/widgets/CListCtrlEx.h"
#include "core/settings/Language.h"
#include "core/profiles/CMpegStructs.h"
#include "ui/dialogs/CPersonalSetDialog.h"
#include "core/profiles/ParamOptions.h"
#include "ui/widgets/ParameterEditor.h"
#include "core/profiles/PersonalSettings.h"
#include "core/profiles/ProfileCatalogue.h"
#include "support/MainWindowFixture.h"
#include "ui/widgets/ControlId.h"
#include "ui/widgets/PropertyGrid.h"

using namespace TestSupport;

namespace {

const QString kAviProfile = QStringLiteral("AVI (MPEG-4/MP3)");

QCheckBox *box(QDialog *d) { return FindControl<QCheckBox>(d, CPersonalSetDialog::kUseGlobalId); }
QLineEdit *saveAs(QDialog *d) { return FindControl<QLineEdit>(d, CPersonalSetDialog::kOutputEditId); }
QLineEdit *source(QDialog *d) { return FindControl<QLineEdit>(d, CPersonalSetDialog::kSourceEditId); }
QComboBox *combo(QDialog *d) { return FindControl<QComboBox>(d, CPersonalSetDialog::kProfileComboId); }
void click(QDialog *d, int id) { FindControl<QPushButton>(d, id)->click(); }
void choose(QDialog *d, const QString &profile)
{
    const int i = combo(d)->findText(profile);
    combo(d)->setCurrentIndex(i);
    emit combo(d)->activated(i); // as the user's choice in the list
}

} // namespace

class TestPersonalSet : public WindowTest
{
    Q_OBJECT

    TaskPtr m_task; // the last task added

    // The real main window in a program folder of its own, with a first task.
    int start(const QString &name)
    {
        WindowTest::start();
        return addTask(name);
    }
    // A task added as from the command line (not probed): its id.
    int addTask(const QString &name)
    {
        m_dlg->TaskView().AddFileByPath(Touch(m_media + name, 1));
        const int id = m_dlg->TaskView().TaskIdOfRow(m_list->rowCount() - 1);
        m_task = m_dlg->Tasks().Find(id);
        return id;
    }
    std::unique_ptr<CPersonalSetDialog> open(int id)
    {
        return std::make_unique<CPersonalSetDialog>(m_dlg->GetCurrentProfile().Tree(), id, *m_dlg, m_dlg);
    }
    QString currentTarget() { return GetTargetType(m_dlg->GetCurrentProfile().Name()); }

private slots:

    void findProfileEntry()
    {
        const QStringList names{"MP4 (H.264/AAC)", "AVI (MPEG-4/MP3)", "AVI (Xvid/MP3)", "mp3 audio"};
        QCOMPARE(FindProfileEntry(names, "AVI"), 1); // a prefix; entry 0 is searched last
        QCOMPARE(FindProfileEntry(names, "avi (xvid"), 2);
        QCOMPARE(FindProfileEntry(names, "mp"), 3);
        QCOMPARE(FindProfileEntry(names, "MP4"), 0);
        QCOMPARE(FindProfileEntry(names, "WebM"), -1);
    }

    void openingForTaskFollowingMainWindowAndCancel()
    {
        auto d = open(start("clip one.avi"));
        QVERIFY(box(d.get())->isChecked());
        QVERIFY(!saveAs(d.get())->isEnabled() && !combo(d.get())->isEnabled() && !d->Grid()->isEnabled());
        QCOMPARE(d->Grid()->GetCustomColors().background, InactiveGridColors().background);
        PropertyGrid reference; // the current tree, value for value
        ShowParamFromTree(&reference, m_dlg->GetCurrentProfile().Tree());
        for (const char *key : {"vcodec", "s", "crf", "preset", "r", "aspect", "acodec", "ab", "ar", "ac"}) {
            QVERIFY2(d->Grid()->FindByKey(key) && reference.FindByKey(key), key);
            QCOMPARE(d->Grid()->FindByKey(key)->GetValue(), reference.FindByKey(key)->GetValue());
        }
        QCOMPARE(combo(d.get())->currentText(), m_dlg->GetCurrentProfile().Name());
        QCOMPARE(source(d.get())->text(), m_media + "clip one.avi");
        QCOMPARE(saveAs(d.get())->text(), m_out + "clip one." + currentTarget());
        QCOMPARE(m_task->outputPath.str(), saveAs(d.get())->text());
        QVERIFY(m_task->useGlobalOutput == 1 && !m_task->paramTree);
        QCOMPARE(d->windowTitle(), GetLangString("@95"));
        // Open picks another source into the box; Cancel leaves the task's own.
        const QString other = Touch(m_media + "other clip.mkv", 1);
        m_fx->Prompts().openFilesAnswers.push_back({other});
        click(d.get(), CPersonalSetDialog::kOpenId);
        QCOMPARE(m_fx->Prompts().fileRequests.value(0).title, QStringLiteral("Select Input File"));
        QCOMPARE(source(d.get())->text(), other);
        d->reject();
        QCOMPARE(m_task->sourcePath.str(), m_media + "clip one.avi");
        QCOMPARE(m_task->baseName.str(), QStringLiteral("clip one"));
    }

    void clearingTheBoxGivesACopyThatEditsAloneUntilSetAgain()
    {
        const int id = start("back.avi");
        ParamCell *current = m_dlg->GetCurrentProfile().Tree();
        const EngineOptions currentOptions = GetParamFromTree(current);
        auto d = open(id);
        box(d.get())->click();
        QCOMPARE(m_task->useGlobalOutput, 0);
        QVERIFY(m_task->paramTree && m_task->paramTree.get() != current);
        QCOMPARE(GetParamFromTree(m_task->paramTree.get()), currentOptions);
        QVERIFY(d->Grid()->isEnabled() && saveAs(d.get())->isEnabled() && combo(d.get())->isEnabled());
        QCOMPARE(d->Grid()->GetCustomColors().background, ActiveGridColors().background);
        QVERIFY(d->Grid()->CommitValue(d->Grid()->FindByKey("s"), "640x360"));
        QVERIFY(GetParamFromTree(m_task->paramTree.get()).Text().contains("-s 640x360"));
        QCOMPARE(GetParamFromTree(current), currentOptions);
        // Set again, the task follows the main window in everything.
        saveAs(d.get())->setText(m_fx->Folder().file("elsewhere/back.mp4"));
        choose(d.get(), kAviProfile);
        box(d.get())->click();
        QVERIFY(m_task->useGlobalOutput == 1 && !m_task->paramTree);
        QCOMPARE(m_task->profileName.str(), m_dlg->GetCurrentProfile().Name());
        QCOMPARE(m_task->profileSummary.str(), m_dlg->GetCurrentProfile().Summary());
        QCOMPARE(m_task->outputPath.str(), m_out + "back." + currentTarget());
        QCOMPARE(saveAs(d.get())->text(), m_task->outputPath.str());
        QCOMPARE(combo(d.get())->currentText(), m_dlg->GetCurrentProfile().Name());
        QVERIFY(!d->Grid()->isEnabled() && !saveAs(d.get())->isEnabled());
        // Cancel keeps the change: the row turns black again and shows the global output.
        d->reject();
        const int row = m_dlg->TaskView().RowOfTask(id);
        QCOMPARE(m_list->GetItemText(row, 4), m_out + "back." + currentTarget());
        QCOMPARE(m_list->TextColor(row), QColor(Qt::black));
    }

    void anotherProfileKeepsFolderAndName()
    {
        const int id = start("clip.avi");
        const QString oldProfile = m_task->profileName;
        auto d = open(id);
        box(d.get())->click();
        const QString own = m_fx->Folder().file("own place/") + "my $best ä clip.mp4";
        QDir().mkpath(m_fx->Folder().file("own place/"));
        saveAs(d.get())->setText(own);
        click(d.get(), CPersonalSetDialog::kOkId);
        QCOMPARE(m_task->outputPath.str(), own);

        Touch(m_fx->Folder().file("own place/my $best ä clip.avi")); // taken: the new name is numbered
        d = open(id);
        choose(d.get(), kAviProfile);
        const QString expected = m_fx->Folder().file("own place/my $best ä clip_0.avi");
        QCOMPARE(m_task->outputPath.str(), expected);
        QCOMPARE(saveAs(d.get())->text(), expected);
        QCOMPARE(FindCell(m_task->paramTree.get(), "vcodec")->CurrentListValue(), QStringLiteral("mpeg4|MPEG-4 Part 2"));
        QCOMPARE(m_task->profileName.str(), oldProfile); // the name waits for Ok
        click(d.get(), CPersonalSetDialog::kOkId);
        QCOMPARE(m_task->profileName.str(), kAviProfile);
        const int row = m_dlg->TaskView().RowOfTask(id);
        QCOMPARE(m_list->GetItemText(row, 4), expected);
        QCOMPARE(m_list->GetItemText(row, 5), kAviProfile);
        QVERIFY(m_list->GetItemText(row, 6).startsWith("Video:MPEG-4 Part 2,"));
        QCOMPARE(m_list->TextColor(row), QColor(128, 0, 0));
        d = open(id); // opening again finds the task's own profile
        QCOMPARE(combo(d.get())->currentText(), kAviProfile);
        QVERIFY(!box(d.get())->isChecked());
    }

    void twoSelectedTasksOpenTwoDialogsInTurn()
    {
        const int a = start("a.avi");
        addTask("b.avi");
        const int c = addTask("c.avi");
        m_list->clearSelection();
        m_list->SetRowSelected(m_dlg->TaskView().RowOfTask(c), true);
        m_list->SetRowSelected(m_dlg->TaskView().RowOfTask(a), true);
        ScriptedPrompter &prompter = m_fx->Prompts();
        QStringList seen; // each dialog's task, and how many such dialogs were open then
        for (int i = 0; i < 3; ++i)
            prompter.dialogHandlers.push_back([&](QDialog *dialog) {
                auto *personal = qobject_cast<CPersonalSetDialog *>(dialog);
                seen << (personal && personal->Task() ? personal->Task()->baseName.str() : QString()) +
                            QString::number(m_dlg->findChildren<CPersonalSetDialog *>().size());
                return int(QDialog::Accepted);
            });
        m_dlg->OnCommand(Ids::TaskInfo);
        QCOMPARE(seen, (QStringList{"a1", "c1"})); // the second opens after the first has gone
    }
};

QTEST_MAIN(TestPersonalSet)
#include "test_personalset.moc"
