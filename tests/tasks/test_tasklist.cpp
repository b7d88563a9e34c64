#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QUrl>
#include <QtTest>

#include "app/CCorvaneStudioApp.h"
#include "app/CCorvaneStudioDlg.h"
#include "app/ControlIds.h"
#include "app/MenuResources.h"
#include "app/PathReceiver.h"
#include "controls/CListCtrlEx.h"
#include "core/IniFile.h"
#include "lang/Language.h"
#include "profiles/ProfileCatalogue.h"
#include "toolkit/DurationEdit.h"
#include "support/MainWindowFixture.h"
#include "toolkit/ControlId.h"
#include "toolkit/StatusBar.h"

using namespace TestSupport;

namespace {
void touch(const QString &path, qint64 size = 16)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    if (size > 0)
        QVERIFY(f.resize(size)); // sparse: no real disk space is used
}
} // namespace

class TestTaskList : public QObject
{
    Q_OBJECT

    std::unique_ptr<MainWindowFixture> m_fx;
    ProgramFolder *m_folder = nullptr;
    CCorvaneStudioDlg *m_dlg = nullptr;
    CListCtrlEx *m_list = nullptr;
    QString m_media; // folder for the test's input files
    QString m_out;   // destination folder

    void start(const QStringList &args = {})
    {
        m_fx = std::make_unique<MainWindowFixture>(MainWindowFixture::Settings{}, args);
        m_folder = &m_fx->Folder();
        m_dlg = m_fx->Window();
        m_list = m_fx->List();
        m_media = m_folder->file("media/");
        m_out = m_folder->file("out/");
        QDir().mkpath(m_media);
        m_fx->SetDestination(m_out);
    }
    QString media(const QString &name, qint64 size = 16)
    {
        const QString path = m_media + name;
        touch(path, size);
        return path;
    }
    QStringList column(int c) const { return m_fx->Column(c); }
    void selectOnly(const QList<int> &rows) { m_fx->SelectOnly(rows); }

private slots:
    void cleanup() { m_fx.reset(); }

    void addFileDialog()
    {
        start();
        ScriptedPrompter &prompter = m_fx->Prompts();
        const QString a = media("a.avi"), b = media("b.mp4");
        prompter.openFilesAnswers.push_back({a, b});
        m_dlg->OnCommand(Ids::AddFile);
        QCOMPARE(prompter.fileRequests.size(), 1);
        const auto &request = prompter.fileRequests.first();
        QCOMPARE(request.title, GetLangString("@110"));
        QVERIFY(request.multiple);
        QVERIFY(request.mustExist);
        QVERIFY(request.filter.startsWith("Supported Files (*.avi *.3gp *.gif"));
        QVERIFY(request.filter.endsWith("All files(*.*) (*)"));
        QCOMPARE(request.filter.count(";;"), 16); // seventeen entries
        QCOMPARE(column(0), (QStringList{"a.avi", "b.mp4"}));
        // The same files again: refused, no message.
        prompter.openFilesAnswers.push_back({a});
        m_dlg->OnCommand(Ids::AddFileButton);
        QCOMPARE(m_list->rowCount(), 2);
        // Cancelled: nothing added, buttons untouched.
        FindControl<QWidget>(m_dlg, Ids::ConvertAll)->setEnabled(false);
        m_dlg->OnCommand(Ids::AddFile);
        QCOMPARE(m_list->rowCount(), 2);
        QVERIFY(!FindControl<QWidget>(m_dlg, Ids::ConvertAll)->isEnabled());
        QVERIFY(prompter.messages.isEmpty());
    }

    void addRules_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("exact duplicate") << QStringList{"clip.avi", "clip.avi"} << QStringList{"clip.avi"};
        QTest::newRow("other case is another file") << QStringList{"clip.avi", "Clip.avi"}
                                                    << QStringList{"clip.avi", "Clip.avi"};
        QTest::newRow("no dot ignored") << QStringList{"noextension", "x.mkv"} << QStringList{"x.mkv"};
        QTest::newRow("extension lower-cased") << QStringList{"clip.AVI"} << QStringList{"clip.avi"};
        QTest::newRow("blanks quotes dollar non-latin") << QStringList{"my \"best\" $clip ä中.mov"}
                                                        << QStringList{"my \"best\" $clip ä中.mov"};
    }
    void addRules()
    {
        QFETCH(QStringList, names);
        QFETCH(QStringList, shown);
        start();
        QStringList paths;
        for (const QString &n : names)
            paths << media(n);
        m_dlg->OnDropFiles(paths);
        QCOMPARE(column(0), shown);
        for (int r = 0; r < m_list->rowCount(); ++r) {
            const TaskPtr task = m_dlg->TaskOfRow(r);
            QVERIFY(task);
            QCOMPARE(task->sourceExt.str(), task->sourceExt.str().toLower());
            QCOMPARE(task->useGlobalOutput, 1);
            QCOMPARE(m_list->GetItemText(r, 7), QString::number(m_dlg->TaskIdOfRow(r)));
        }
    }

    void rowColumns()
    {
        start();
        const QString big = media("big.avi", Q_INT64_C(3000000000));
        const QString huge = media("huge.mpg", Q_INT64_C(5000000000));
        touch(m_out + "huge.mp4"); // the output name is taken: with an mp4 profile the task gets huge_0.mp4
        m_dlg->OnDropFiles({big, huge});
        QCOMPARE(column(1), (QStringList{"2929687KB", "4882812KB"}));
        QCOMPARE(column(2), (QStringList{m_media, m_media}));
        CurrentProfile &profile = m_dlg->GetCurrentProfile();
        QVERIFY(!profile.Name().isEmpty());
        const QString ext = GetTargetType(profile.Name());
        QVERIFY(!ext.isEmpty());
        QCOMPARE(column(4), (QStringList{m_out + "big." + ext, m_out + "huge" + (ext == "mp4" ? "_0." : ".") + ext}));
        QCOMPARE(column(5), (QStringList{profile.Name(), profile.Name()}));
        QCOMPARE(column(6), (QStringList{profile.Summary(), profile.Summary()}));
        QVERIFY(profile.Summary().startsWith("Video:"));
        QCOMPARE(column(3), (QStringList{"", ""}));
        // New rows are selected, earlier ones stay selected.
        QCOMPARE(m_list->SelectedCount(), 2);
        QCOMPARE(m_dlg->GetStatusBar()->PaneText(2), QStringLiteral("2"));
        QCOMPARE(m_dlg->GetStatusBar()->PaneText(3), QStringLiteral("2"));
        QCOMPARE(m_list->TextColor(0), QColor(Qt::black));
    }

    void moves_data()
    {
        QTest::addColumn<QList<int>>("selected");
        QTest::addColumn<bool>("up");
        QTest::addColumn<QStringList>("order");
        QTest::addColumn<QList<int>>("selectedAfter");
        QTest::addColumn<QString>("rebuilt"); // rows taken out and put back, whose status is emptied
        QTest::newRow("one up") << QList<int>{2} << true << QStringList{"a", "c", "b", "d"} << QList<int>{1} << "c";
        QTest::newRow("adjacent up swap") << QList<int>{1, 2} << true << QStringList{"a", "c", "b", "d"}
                                          << QList<int>{1, 2} << "c";
        QTest::newRow("top cannot go up") << QList<int>{0} << true << QStringList{"a", "b", "c", "d"} << QList<int>{0}
                                          << "";
        QTest::newRow("one down") << QList<int>{1} << false << QStringList{"a", "c", "b", "d"} << QList<int>{2} << "b";
        QTest::newRow("block down") << QList<int>{0, 1} << false << QStringList{"c", "a", "b", "d"}
                                    << QList<int>{1, 2} << "ab";
        QTest::newRow("block at the bottom stays") << QList<int>{2, 3} << false << QStringList{"a", "b", "c", "d"}
                                                   << QList<int>{2, 3} << "";
        QTest::newRow("two apart down") << QList<int>{0, 2} << false << QStringList{"b", "a", "d", "c"}
                                        << QList<int>{1, 3} << "ac";
    }
    void moves()
    {
        QFETCH(QList<int>, selected);
        QFETCH(bool, up);
        QFETCH(QStringList, order);
        QFETCH(QList<int>, selectedAfter);
        QFETCH(QString, rebuilt);
        start();
        m_dlg->OnDropFiles({media("a.avi"), media("b.avi"), media("c.avi"), media("d.avi")});
        for (int r = 0; r < 4; ++r)
            m_list->SetItemText(r, 3, "Completed");
        selectOnly(selected);
        m_dlg->OnCommand(up ? Ids::UpButton : Ids::DownButton);
        QStringList names;
        for (const QString &n : column(0))
            names << n.left(1);
        QCOMPARE(names, order);
        QList<int> nowSelected;
        for (int r = 0; r < 4; ++r) {
            if (m_list->IsRowSelected(r))
                nowSelected << r;
            // Records follow their rows; moved rows lose their status text.
            QCOMPARE(m_dlg->TaskOfRow(r)->baseName.str(), names[r]);
        }
        QCOMPARE(nowSelected, selectedAfter);
        for (int r = 0; r < 4; ++r)
            QCOMPARE(m_list->GetItemText(r, 3), rebuilt.contains(names[r]) ? QString() : QStringLiteral("Completed"));
    }

    void deleteAndSelectAll()
    {
        start();
        m_dlg->OnDropFiles({media("a.avi"), media("b.avi"), media("c.avi")});
        selectOnly({1});
        m_dlg->OnCommand(Ids::SelectAll);
        QCOMPARE(m_list->SelectedCount(), 3);
        QCOMPARE(m_dlg->GetStatusBar()->PaneText(3), QStringLiteral("3"));
        selectOnly({0, 2});
        const int idB = m_dlg->TaskIdOfRow(1);
        const int idA = m_dlg->TaskIdOfRow(0);
        m_dlg->OnCommand(Ids::Delete);
        QCOMPARE(column(0), QStringList{"b.avi"});
        QVERIFY(m_dlg->GetTasks().Find(idB));
        QVERIFY(!m_dlg->GetTasks().Find(idA));
        QCOMPARE(m_dlg->GetStatusBar()->PaneText(2), QStringLiteral("1"));
        // Delete with nothing selected deletes nothing; a new file gets a new id.
        m_list->clearSelection();
        m_dlg->OnCommand(Ids::Delete);
        QCOMPARE(m_list->rowCount(), 1);
        m_dlg->OnDropFiles({media("a.avi")});
        QCOMPARE(m_dlg->TaskIdOfRow(1), 4);
    }

    void enableRules()
    {
        start();
        m_dlg->OnDropFiles({media("a.avi")});
        QVERIFY(!m_dlg->QueryCommand(Ids::SelectAll).enabled);
        QVERIFY(m_dlg->QueryCommand(Ids::Delete).enabled);
        m_dlg->OnDropFiles({media("b.avi")});
        QVERIFY(m_dlg->QueryCommand(Ids::SelectAll).enabled);
        m_list->clearSelection();
        QVERIFY(!m_dlg->QueryCommand(Ids::Delete).enabled);
        QVERIFY(!m_dlg->QueryCommand(Ids::Property).enabled);
    }

    void contextMenu()
    {
        start();
        std::unique_ptr<QMenu> menu = m_dlg->BuildListContextMenu();
        QStringList texts;
        for (QAction *a : menu->actions())
            if (!a->isSeparator())
                texts << a->text();
        QCOMPARE(texts, (QStringList{GetLangString("@120"), GetLangString("@126"), GetLangString("@128"),
                                     GetLangString("@127"), GetLangString("@153"), GetLangString("@162"),
                                     GetLangString("@154"), GetLangString("@131")}));
        QVERIFY(!texts.contains(QString()));
    }

    void commandLineAndMessages()
    {
        ProgramFolder scratch;
        const QString dir = scratch.file("");
        touch(dir + "first clip.avi");
        touch(dir + "second.mkv");
        start({dir + "first clip.avi", "  " + dir + "second.mkv  ", dir + "missing.avi", dir + "noext"});
        QCOMPARE(column(0), (QStringList{"first clip.avi", "second.mkv"}));
        // Paths handed over in process are cut to 254 characters.
        const QString longName = m_media + QString(254 - m_media.size() - 4, u'x') + ".avi";
        touch(longName);
        m_dlg->OnAddPathMessage(longName + "ignored-tail");
        QCOMPARE(m_list->rowCount(), 3);
        m_dlg->OnCopyData(QString());
        QCOMPARE(m_list->rowCount(), 3);
        // Tasks from the command line are probed too.
        QTRY_COMPARE_WITH_TIMEOUT(m_dlg->RunningProbeThreads(), 0, 30000);
        QVERIFY(m_dlg->TaskOfRow(0)->mediaInfo);
    }

    void pathFromSecondStart()
    {
        start();
        const QString clip = media("sent by another start.avi");
        const QString name = PathReceiver::ServerNameFor(m_folder->path());
        QVERIFY(PathReceiver::SendPaths(name, {clip, QString()}));
        QTRY_COMPARE(m_list->rowCount(), 1);
        QCOMPARE(m_list->GetItemText(0, 0), QStringLiteral("sent by another start.avi"));
    }

    void dropProbeAndClick()
    {
        start();
        QStringList clips;
        for (int seconds : {2, 3, 4}) {
            const QString path = m_media + QStringLiteral("clip%1.mp4").arg(seconds);
            ClipSpec recipe;
            recipe.seconds = seconds;
            MakeClip(path, recipe);
            QVERIFY(QFile::exists(path));
            clips << path;
        }
        QMimeData mime;
        QList<QUrl> urls;
        for (const QString &c : clips)
            urls << QUrl::fromLocalFile(c);
        mime.setUrls(urls);
        QDragEnterEvent enter(QPoint(20, 150), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(m_dlg, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(20, 150), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(m_dlg, &drop);
        QCOMPARE(column(0), (QStringList{"clip2.mp4", "clip3.mp4", "clip4.mp4"}));
        for (int r = 0; r < 3; ++r)
            QTRY_VERIFY_WITH_TIMEOUT(m_dlg->TaskOfRow(r)->mediaInfo != nullptr, 30000);
        QTRY_COMPARE(m_dlg->RunningProbeThreads(), 0);
        QCOMPARE(m_dlg->TaskOfRow(0)->durationSec, 2);
        QCOMPARE(m_dlg->TaskOfRow(2)->durationSec, 4);
        QCOMPARE(m_dlg->TaskOfRow(1)->mediaInfo->videoSize.str().left(7), QStringLiteral("320x240"));

        // A click shows the lowest selected task's settings.
        selectOnly({1});
        m_dlg->OnListClick();
        QCOMPARE(m_dlg->CurrentTaskId(), m_dlg->TaskIdOfRow(1));
        QCOMPARE(m_dlg->GetStopTime()->Seconds(), 3);
        QCOMPARE(m_dlg->GetStartTime()->Seconds(), 0);
        QCOMPARE(FindControl<QLineEdit>(m_dlg, Ids::DestinationEdit)->text(), m_dlg->GetGlobalDestination());
    }

    void clickOnUnprobedTaskKeepsPrevious()
    {
        start();
        m_dlg->OnDropFiles({media("a.avi")});
        // Not a real video: the probe fills a block without a duration.
        QTRY_VERIFY_WITH_TIMEOUT(m_dlg->TaskOfRow(0)->mediaInfo != nullptr, 30000);
        selectOnly({0});
        m_dlg->OnListClick();
        const int shown = m_dlg->CurrentTaskId();
        QCOMPARE(shown, m_dlg->TaskIdOfRow(0));
        m_dlg->OnDropFiles({media("b.avi")});
        QTRY_COMPARE_WITH_TIMEOUT(m_dlg->RunningProbeThreads(), 0, 30000);
        m_dlg->TaskOfRow(1)->mediaInfo.reset(); // as if its probe had not come back yet
        selectOnly({1});
        m_dlg->OnListClick();
        QCOMPARE(m_dlg->CurrentTaskId(), shown);
    }

    void addAndDeleteWhileProbing()
    {
        start();
        QStringList paths;
        for (int i = 0; i < 12; ++i)
            paths << media(QStringLiteral("f%1.avi").arg(i));
        for (int round = 0; round < 4; ++round) {
            m_dlg->OnDropFiles(paths.mid(round * 3, 3));
            selectOnly({0});
            m_dlg->OnCommand(Ids::DownButton);
            selectOnly({m_list->rowCount() - 1});
            m_dlg->OnCommand(Ids::Delete);
            QCoreApplication::processEvents();
        }
        QTRY_COMPARE_WITH_TIMEOUT(m_dlg->RunningProbeThreads(), 0, 60000);
        QCOMPARE(m_list->rowCount(), 8);
        for (int r = 0; r < m_list->rowCount(); ++r)
            QVERIFY(m_dlg->TaskOfRow(r)->mediaInfo);
    }

    void destinationField()
    {
        start();
        ScriptedPrompter &prompter = m_fx->Prompts();
        auto *dest = FindControl<QLineEdit>(m_dlg, Ids::DestinationEdit);
        const QString wanted = m_folder->file("new//dest $ä");
        dest->setText(wanted);
        m_dlg->OnDestinationKillFocus();
        QVERIFY(QFileInfo(m_folder->file("new/dest $ä")).isDir());
        QCOMPARE(IniFile::ReadString(m_folder->settingsPath(), "SYSTEM", "SavedPath"), m_folder->file("new/dest $ä"));
        QCOMPARE(m_dlg->GetGlobalDestination(), m_folder->file("new/dest $ä"));
        QCOMPARE(dest->text(), wanted); // the field keeps what was typed
        // A folder that cannot be made: message, nothing stored.
        dest->setText("/proc/nope/out");
        m_dlg->OnDestinationKillFocus();
        QCOMPARE(prompter.messageTexts(), QStringList{"Create  outPut file path /proc/nope/out Failed!"});
        QCOMPARE(m_dlg->GetGlobalDestination(), m_folder->file("new/dest $ä"));
        // Browsing picks a folder and handles it as leaving the field.
        prompter.folderAnswers.push_back(m_folder->file("picked"));
        m_dlg->OnExploreDestination();
        QCOMPARE(prompter.folderPrompts, QStringList{GetLangString("@108")});
        QCOMPARE(m_dlg->GetGlobalDestination(), m_folder->file("picked"));
        QVERIFY(QFileInfo(m_folder->file("picked")).isDir());
    }

    void rowProgressAndColours()
    {
        start();
        m_dlg->OnDropFiles({media("a.avi"), media("b.avi"), media("c.avi")});
        m_list->SetItemColor(1, 0x00FF0000, CListCtrlEx::kUnchanged); // blue, as 0x00BBGGRR
        QCOMPARE(m_list->TextColor(1), QColor(0, 0, 255));
        m_list->SetItemColor(1, CListCtrlEx::kUnchanged, CListCtrlEx::kUnchanged);
        QCOMPARE(m_list->TextColor(1), QColor(0, 0, 255));
        QVERIFY(!m_list->BackgroundColor(1).isValid());
        // The colour stays with the row index when the row's task moves.
        selectOnly({1});
        m_dlg->OnCommand(Ids::UpButton);
        QCOMPARE(m_list->TextColor(1), QColor(0, 0, 255));

        m_list->m_progressRow = 2;
        m_list->m_showProgress = true;
        m_list->m_percent = 0;
        m_list->UpdateRowProgress();
        QVERIFY(m_list->RowProgressBar()->isHidden());
        m_list->m_percent = 50;
        m_list->UpdateRowProgress();
        QVERIFY(m_list->RowProgressBar()->isVisible());
        QCOMPARE(m_list->RowProgressBar()->value(), 50);
        const QRect cell = m_list->visualRect(m_list->model()->index(2, 3));
        QVERIFY(cell.contains(m_list->RowProgressBar()->geometry()));
        m_list->m_percent = 100; // left unchanged
        m_list->UpdateRowProgress();
        QCOMPARE(m_list->RowProgressBar()->value(), 50);
        m_list->HideRowProgress();
        QVERIFY(m_list->RowProgressBar()->isHidden());
    }
};

QTEST_MAIN(TestTaskList)
#include "test_tasklist.moc"
