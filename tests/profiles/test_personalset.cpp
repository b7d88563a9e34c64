#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include "app/AppSettings.h"
#include "app/CCorvaneStudioApp.h"
#include "app/CCorvaneStudioDlg.h"
#include "app/ControlIds.h"
#include "controls/CListCtrlEx.h"
#include "core/IniFile.h"
#include "lang/Language.h"
#include "profiles/CMpegStructs.h"
#include "profiles/CPersonalSetDialog.h"
#include "profiles/ParamOptions.h"
#include "profiles/ParameterEditor.h"
#include "profiles/PersonalSettings.h"
#include "profiles/ProfileCatalogue.h"
#include "support/TestSupport.h"
#include "toolkit/ControlId.h"
#include "toolkit/PropertyGrid.h"

using namespace TestSupport;

namespace {

const QString kAviProfile = QStringLiteral("AVI (MPEG-4/MP3)");

void touch(const QString &path)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write("x");
}

QString listValue(const ParamCell *root, const char *name)
{
    const ParamCell *cell = FindCell(root, QString::fromLatin1(name));
    return cell ? cell->CurrentListValue() : QStringLiteral("<none>");
}

} // namespace

class TestPersonalSet : public QObject
{
    Q_OBJECT

    std::unique_ptr<ProgramFolder> m_folder;
    std::unique_ptr<CCorvaneStudioApp> m_app;
    CCorvaneStudioDlg *m_dlg = nullptr;
    CListCtrlEx *m_list = nullptr;
    QString m_media;
    QString m_out;

    void start()
    {
        m_folder = std::make_unique<ProgramFolder>();
        m_media = m_folder->file("media dir/");
        m_out = m_folder->file("out/");
        QDir().mkpath(m_media);
        QDir().mkpath(m_out);
        IniFile::WriteString(m_folder->settingsPath(), "SYSTEM", "SavedPath", m_out);
        m_app = std::make_unique<CCorvaneStudioApp>();
        m_app->InitInstance(m_folder->exePath(), {});
        m_dlg = m_app->MainWindow();
        m_list = m_dlg->GetTaskList();
        m_dlg->show();
    }
    // A task added as from the command line (not probed): its id.
    int addTask(const QString &name)
    {
        const QString path = m_media + name;
        touch(path);
        const int rows = m_list->rowCount();
        m_dlg->AddFileByPath(path);
        if (m_list->rowCount() != rows + 1)
            return 0;
        return m_dlg->TaskIdOfRow(rows);
    }
    std::unique_ptr<CPersonalSetDialog> open(int id)
    {
        return std::make_unique<CPersonalSetDialog>(m_dlg->GetCurrentProfile().Tree(), id, *m_dlg, m_dlg);
    }
    static QCheckBox *box(QDialog *d) { return FindControl<QCheckBox>(d, CPersonalSetDialog::kUseGlobalId); }
    static QLineEdit *saveAs(QDialog *d) { return FindControl<QLineEdit>(d, CPersonalSetDialog::kOutputEditId); }
    static QLineEdit *source(QDialog *d) { return FindControl<QLineEdit>(d, CPersonalSetDialog::kSourceEditId); }
    static QComboBox *combo(QDialog *d) { return FindControl<QComboBox>(d, CPersonalSetDialog::kProfileComboId); }
    static void choose(QDialog *d, const QString &profile)
    {
        QComboBox *c = combo(d);
        const int i = c->findText(profile);
        QVERIFY(i >= 0);
        c->setCurrentIndex(i);
        emit c->activated(i); // as the user's choice in the list
    }
    static void clickOk(QDialog *d) { FindControl<QPushButton>(d, CPersonalSetDialog::kOkId)->click(); }
    QString currentTarget() { return GetTargetType(m_dlg->GetCurrentProfile().Name()); }

private slots:
    void cleanup()
    {
        m_app.reset();
        m_folder.reset();
    }

    // --- Rules without a window ---------------------------------------------------

    void findProfileEntry_data()
    {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<int>("index");
        const QStringList names{"MP4 (H.264/AAC)", "AVI (MPEG-4/MP3)", "AVI (Xvid/MP3)", "mp3 audio"};
        QTest::newRow("exact name") << names << "AVI (Xvid/MP3)" << 2;
        QTest::newRow("prefix, first after entry 0") << names << "AVI" << 1;
        QTest::newRow("case ignored") << names << "avi (xvid" << 2;
        QTest::newRow("entry 0 is searched last") << names << "mp" << 3;
        QTest::newRow("only entry 0 matches") << names << "MP4" << 0;
        QTest::newRow("no match") << names << "WebM" << -1;
        QTest::newRow("empty list") << QStringList{} << "MP4" << -1;
        QTest::newRow("one entry") << QStringList{"MP4"} << "mp4" << 0;
    }
    void findProfileEntry()
    {
        QFETCH(QStringList, entries);
        QFETCH(QString, prefix);
        QFETCH(int, index);
        QCOMPARE(FindProfileEntry(entries, prefix), index);
    }

    void outputForProfile()
    {
        QTemporaryDir dir;
        const QString folder = dir.path() + "/with blank $ ä/";
        QDir().mkpath(folder);
        QCOMPARE(OutputForProfile(folder + "my.clip.mp4", "/in/x.avi", "avi"), folder + "my.clip.avi");
        touch(folder + "my.clip.avi");
        touch(folder + "my.clip_0.avi");
        QCOMPARE(OutputForProfile(folder + "my.clip.mp4", "/in/x.avi", "avi"), folder + "my.clip_1.avi");
        // Without an output yet, the source's folder and name.
        QCOMPARE(OutputForProfile(QString(), folder + "src.mov", "mkv"), folder + "src.mkv");
    }

    void firstOutputFolder_data()
    {
        QTest::addColumn<QString>("dialogDestination");
        QTest::addColumn<QString>("savedPath");
        QTest::addColumn<QString>("folder");
        QTest::newRow("dialog destination first") << "/d/one" << "/saved/" << "/d/one/";
        QTest::newRow("saved path next") << "" << "/saved" << "/saved/";
        QTest::newRow("source folder last") << "" << "" << "/media/in/";
    }
    void firstOutputFolder()
    {
        QFETCH(QString, dialogDestination);
        QFETCH(QString, savedPath);
        QFETCH(QString, folder);
        QCOMPARE(FirstOutputFolder(dialogDestination, savedPath, "/media/in/clip.avi"), folder);
    }

    // --- The dialog on the real main window ---------------------------------------------

    void openingForTaskFollowingMainWindow()
    {
        start();
        const int id = addTask("clip one.avi");
        QVERIFY(id > 0);
        const TaskPtr task = m_dlg->GetTasks().Find(id);
        auto d = open(id);
        QVERIFY(box(d.get())->isChecked());
        QVERIFY(!saveAs(d.get())->isEnabled());
        QVERIFY(!combo(d.get())->isEnabled());
        PropertyGrid *grid = d->Grid();
        QVERIFY(!grid->isEnabled());
        QCOMPARE(grid->GetCustomColors().background, InactiveGridColors().background);
        QCOMPARE(grid->GetCustomColors().text, InactiveGridColors().text);
        // The grid shows the current tree, value for value.
        PropertyGrid reference;
        ShowParamFromTree(&reference, m_dlg->GetCurrentProfile().Tree());
        for (const char *key : {"vcodec", "s", "vb", "r", "aspect", "acodec", "ab", "ar", "ac"}) {
            QVERIFY2(reference.FindByKey(key), key);
            QVERIFY2(grid->FindByKey(key), key);
            QCOMPARE(grid->FindByKey(key)->GetValue(), reference.FindByKey(key)->GetValue());
        }
        QCOMPARE(combo(d.get())->currentText(), m_dlg->GetCurrentProfile().Name());
        QCOMPARE(combo(d.get())->count(), 15);
        QCOMPARE(source(d.get())->text(), m_media + "clip one.avi");
        QCOMPARE(saveAs(d.get())->text(), m_out + "clip one." + currentTarget());
        QCOMPARE(task->outputPath.str(), saveAs(d.get())->text());
        QCOMPARE(task->useGlobalOutput, 1);
        QVERIFY(!task->paramTree);
        // Texts of the current language.
        QCOMPARE(d->windowTitle(), GetLangString("@95"));
        QCOMPARE(box(d.get())->text(), GetLangString("@51"));
        QCOMPARE(FindControl<QGroupBox>(d.get(), CPersonalSetDialog::kSourceGroupId)->title(), GetLangString("@48"));
        QCOMPARE(FindControl<QLabel>(d.get(), CPersonalSetDialog::kSourceLabelId)->text(), GetLangString("@49"));
        QCOMPARE(FindControl<QGroupBox>(d.get(), CPersonalSetDialog::kTargetGroupId)->title(), GetLangString("@50"));
        QCOMPARE(FindControl<QLabel>(d.get(), CPersonalSetDialog::kOutputLabelId)->text(), GetLangString("@58"));
        QCOMPARE(FindControl<QPushButton>(d.get(), CPersonalSetDialog::kOpenId)->text(), GetLangString("@59"));
        QCOMPARE(FindControl<QLabel>(d.get(), CPersonalSetDialog::kProfileLabelId)->text(), GetLangString("@29"));
        QCOMPARE(FindControl<QPushButton>(d.get(), CPersonalSetDialog::kOkId)->text(), GetLangString("@61"));
        QCOMPARE(FindControl<QPushButton>(d.get(), CPersonalSetDialog::kCancelId)->text(), GetLangString("@62"));
        QVERIFY(!GetLangString("@95").isEmpty());
    }

    void clearingTheBoxGivesACopyThatEditsAlone()
    {
        start();
        const int id = addTask("clip.avi");
        const TaskPtr task = m_dlg->GetTasks().Find(id);
        ParamCell *current = m_dlg->GetCurrentProfile().Tree();
        const QString currentOptions = GetParamFromTree(current);
        auto d = open(id);
        box(d.get())->click();
        QVERIFY(!box(d.get())->isChecked());
        QCOMPARE(task->useGlobalOutput, 0);
        QVERIFY(task->paramTree);
        QVERIFY(task->paramTree.get() != current);
        QCOMPARE(GetParamFromTree(task->paramTree.get()), currentOptions);
        QVERIFY(d->Grid()->isEnabled());
        QCOMPARE(d->Grid()->GetCustomColors().background, ActiveGridColors().background);
        QVERIFY(saveAs(d.get())->isEnabled());
        QVERIFY(combo(d.get())->isEnabled());

        // An edit in the grid changes the copy only.
        PropertyGridItem *size = d->Grid()->FindByKey("s");
        QVERIFY(size);
        QVERIFY(d->Grid()->CommitValue(size, "640x360"));
        QCOMPARE(FindCell(task->paramTree.get(), "s")->SValue.str(), QStringLiteral("640x360"));
        QVERIFY(GetParamFromTree(task->paramTree.get()).contains("-s 640x360"));
        QCOMPARE(GetParamFromTree(current), currentOptions);
        // The same edit in the main window's grid would have gone to the current tree.
        QVERIFY(!GetParamFromTree(current).contains("640x360"));
    }

    void anotherProfileKeepsFolderAndName()
    {
        start();
        const int id = addTask("clip.avi");
        const TaskPtr task = m_dlg->GetTasks().Find(id);
        const QString oldProfile = task->profileName;
        auto d = open(id);
        box(d.get())->click();
        // An output of the user's own, in another folder with an unusual name.
        const QString own = m_folder->file("own place/") + "my $best ä clip.mp4";
        QDir().mkpath(m_folder->file("own place/"));
        saveAs(d.get())->setText(own);
        clickOk(d.get());
        QCOMPARE(task->outputPath.str(), own);
        QCOMPARE(task->destFolder.str(), m_folder->file("own place/"));

        touch(m_folder->file("own place/my $best ä clip.avi")); // taken: the new name is numbered
        d = open(id);
        QCOMPARE(saveAs(d.get())->text(), own);
        choose(d.get(), kAviProfile);
        const QString expected = m_folder->file("own place/my $best ä clip_0.avi");
        QCOMPARE(task->outputPath.str(), expected);
        QCOMPARE(saveAs(d.get())->text(), expected);
        QCOMPARE(d->TargetType(), QStringLiteral("avi"));
        // The task now has the AVI profile's parameters, shown in the grid; the name waits for Ok.
        QCOMPARE(listValue(task->paramTree.get(), "vcodec"), QStringLiteral("mpeg4|MPEG-4 Part 2"));
        QCOMPARE(d->Grid()->FindByKey("vcodec")->GetValue(), QStringLiteral("MPEG-4 Part 2"));
        QCOMPARE(task->profileName.str(), oldProfile);
        clickOk(d.get());
        QCOMPARE(task->profileName.str(), kAviProfile);
        QCOMPARE(task->profileFile.str(), m_folder->file("profiles/avi_mpeg4_mp3.ini"));
        const int row = m_dlg->RowOfTask(id);
        QCOMPARE(m_list->GetItemText(row, 4), expected);
        QCOMPARE(m_list->GetItemText(row, 5), kAviProfile);
        QCOMPARE(task->profileSummary.str(), BuildProfileSummary(task->paramTree.get()));
        QVERIFY(m_list->GetItemText(row, 6).startsWith("Video:MPEG-4 Part 2,"));
        QCOMPARE(m_list->TextColor(row), QColor(128, 0, 0));
        // Opening again finds the task's own profile in the list.
        d = open(id);
        QCOMPARE(combo(d.get())->currentText(), kAviProfile);
        QVERIFY(!box(d.get())->isChecked());
        QCOMPARE(d->Grid()->FindByKey("vcodec")->GetValue(), QStringLiteral("MPEG-4 Part 2"));
    }

    void settingTheBoxAgainReturnsToTheMainWindow()
    {
        start();
        const int id = addTask("back.avi");
        const TaskPtr task = m_dlg->GetTasks().Find(id);
        auto d = open(id);
        box(d.get())->click();
        saveAs(d.get())->setText(m_folder->file("elsewhere/back.mp4"));
        clickOk(d.get());
        d = open(id);
        choose(d.get(), kAviProfile);
        QVERIFY(task->paramTree);
        box(d.get())->click();
        QVERIFY(box(d.get())->isChecked());
        QCOMPARE(task->useGlobalOutput, 1);
        QVERIFY(!task->paramTree);
        QCOMPARE(task->profileName.str(), m_dlg->GetCurrentProfile().Name());
        QCOMPARE(task->profileSummary.str(), m_dlg->GetCurrentProfile().Summary());
        QCOMPARE(task->outputPath.str(), m_out + "back." + currentTarget());
        QCOMPARE(saveAs(d.get())->text(), task->outputPath.str());
        QCOMPARE(combo(d.get())->currentText(), m_dlg->GetCurrentProfile().Name());
        QVERIFY(!d->Grid()->isEnabled());
        QVERIFY(!saveAs(d.get())->isEnabled());
        // Cancel keeps the change; the row turns black again and shows the global output.
        ScriptedPrompterGuard prompter;
        prompter->dialogHandlers.push_back([](QDialog *) { return int(QDialog::Rejected); });
        m_list->clearSelection();
        m_list->SetRowSelected(m_dlg->RowOfTask(id), true);
        m_dlg->OnCommand(Ids::TaskInfo);
        const int row = m_dlg->RowOfTask(id);
        QCOMPARE(m_list->GetItemText(row, 4), m_out + "back." + currentTarget());
        QCOMPARE(m_list->TextColor(row), QColor(Qt::black));
    }

    void cancelKeepsEarlierChanges()
    {
        start();
        const int id = addTask("keep.avi");
        const TaskPtr task = m_dlg->GetTasks().Find(id);
        ScriptedPrompterGuard prompter;
        prompter->dialogHandlers.push_back([](QDialog *dialog) {
            box(dialog)->click();
            choose(dialog, kAviProfile);
            return int(QDialog::Rejected);
        });
        m_dlg->OnCommand(Ids::TaskInfoButton);
        QCOMPARE(prompter->dialogTitles, QStringList{GetLangString("@95")});
        QCOMPARE(task->useGlobalOutput, 0);
        QVERIFY(task->paramTree);
        QCOMPARE(listValue(task->paramTree.get(), "vcodec"), QStringLiteral("mpeg4|MPEG-4 Part 2"));
        QCOMPARE(task->outputPath.str(), m_out + "keep.avi");
        QCOMPARE(m_list->TextColor(m_dlg->RowOfTask(id)), QColor(128, 0, 0));
    }

    void twoSelectedTasksOpenTwoDialogsInTurn()
    {
        start();
        const int a = addTask("a.avi");
        addTask("b.avi");
        const int c = addTask("c.avi");
        m_list->clearSelection();
        m_list->SetRowSelected(m_dlg->RowOfTask(c), true);
        m_list->SetRowSelected(m_dlg->RowOfTask(a), true);
        ScriptedPrompterGuard prompter;
        QList<int> seen;
        QList<int> openAtOnce;
        for (int i = 0; i < 3; ++i)
            prompter->dialogHandlers.push_back([&](QDialog *dialog) {
                auto *personal = qobject_cast<CPersonalSetDialog *>(dialog);
                seen << (personal && personal->Task() ? personal->Task()->baseName.str().at(0).unicode() : 0);
                openAtOnce << int(m_dlg->findChildren<CPersonalSetDialog *>().size());
                return int(QDialog::Accepted);
            });
        m_dlg->OnCommand(Ids::TaskInfo);
        QCOMPARE(seen, (QList<int>{'a', 'c'}));
        QCOMPARE(openAtOnce, (QList<int>{1, 1})); // the second after the first has gone
        QCOMPARE(prompter->dialogHandlers.size(), size_t(1));
    }

    void openThenCancelLeavesTheSource()
    {
        start();
        const int id = addTask("first.avi");
        const TaskPtr task = m_dlg->GetTasks().Find(id);
        const QString other = m_media + "other clip.mkv";
        touch(other);
        ScriptedPrompterGuard prompter;
        prompter->openFilesAnswers.push_back({other});
        auto d = open(id);
        FindControl<QPushButton>(d.get(), CPersonalSetDialog::kOpenId)->click();
        QCOMPARE(prompter->fileRequests.size(), 1);
        QCOMPARE(prompter->fileRequests.first().title, QStringLiteral("Select Input File"));
        QCOMPARE(prompter->fileRequests.first().filter, CCorvaneStudioDlg::AddFileFilter());
        QVERIFY(!prompter->fileRequests.first().multiple);
        QVERIFY(prompter->fileRequests.first().mustExist);
        QCOMPARE(source(d.get())->text(), other);
        d->reject();
        QCOMPARE(task->sourcePath.str(), m_media + "first.avi");
        QCOMPARE(task->baseName.str(), QStringLiteral("first"));
        // A cancelled chooser changes nothing either.
        d = open(id);
        FindControl<QPushButton>(d.get(), CPersonalSetDialog::kOpenId)->click();
        QCOMPARE(source(d.get())->text(), m_media + "first.avi");
    }

    void okWithANewSourceProbesIt()
    {
        start();
        const int id = addTask("old.avi");
        const TaskPtr task = m_dlg->GetTasks().Find(id);
        const QString folder = m_folder->file("new $ source ä/");
        QDir().mkpath(folder);
        const QString clip = folder + "fresh clip.mkv";
        ClipSpec spec;
        spec.seconds = 1;
        spec.size = "160x120";
        MakeClip(clip, spec);
        QVERIFY(QFile::exists(clip));
        ScriptedPrompterGuard prompter;
        prompter->openFilesAnswers.push_back({clip});
        auto d = open(id);
        d->OnOpen();
        clickOk(d.get());
        QCOMPARE(d->result(), int(QDialog::Accepted));
        QCOMPARE(task->sourcePath.str(), clip);
        QCOMPARE(task->baseName.str(), QStringLiteral("fresh clip"));
        QCOMPARE(task->sourceFolder.str(), folder);
        QVERIFY(task->mediaInfo);
        QVERIFY(task->mediaInfo->videoSize.str().startsWith("160x120"));
        QCOMPARE(task->durationSec, 1);
        const int row = m_dlg->RowOfTask(id);
        QCOMPARE(m_list->GetItemText(row, 0), QStringLiteral("fresh clip.mkv"));
        QCOMPARE(m_list->GetItemText(row, 2), folder);
    }

    void outputFolderThatCannotBeMade()
    {
        start();
        const int id = addTask("nowhere.avi");
        const TaskPtr task = m_dlg->GetTasks().Find(id);
        auto d = open(id);
        box(d.get())->click();
        saveAs(d.get())->clear();
        clickOk(d.get());
        QVERIFY(task->outputPath.isEmpty());
        // The saved folder lies below a file: it cannot be created.
        const QString blocker = m_folder->file("a file");
        touch(blocker);
        AppSettings::Instance().SetSavedPath(blocker + "/sub");
        ScriptedPrompterGuard prompter;
        d = open(id);
        QCOMPARE(prompter->messageTexts(),
                 QStringList{QStringLiteral("Create  outPut file path %1/sub/ Failed!").arg(blocker)});
        QVERIFY(task->outputPath.isEmpty());
        // With a folder that can be made, the output goes there.
        AppSettings::Instance().SetSavedPath(m_folder->file("made/here"));
        d = open(id);
        QCOMPARE(task->outputPath.str(), m_folder->file("made/here/nowhere.") + currentTarget());
        QVERIFY(QFileInfo(m_folder->file("made/here")).isDir());
    }

    void noTaskForTheId()
    {
        start();
        auto d = open(4242);
        QVERIFY(!d->Task());
        QCOMPARE(d->Grid()->GetPropertyCount(), 0);
        QVERIFY(source(d.get())->text().isEmpty());
        box(d.get())->click(); // nothing to switch, nothing breaks
        clickOk(d.get());
        QCOMPARE(m_list->rowCount(), 0);
    }
};

QTEST_MAIN(TestPersonalSet)
#include "test_personalset.moc"
