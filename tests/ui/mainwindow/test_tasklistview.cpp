#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QUrl>
#include <QtTest>

#include "ui/mainwindow/CCorvaneStudioDlg.h"
#include "ui/mainwindow/TaskListView.h"
#include "ui/mainwindow/TaskTableModel.h"
#include "ui/mainwindow/ControlIds.h"
#include "ui/mainwindow/PathReceiver.h"
#include "ui/widgets/CListCtrlEx.h"
#include "base/IniFile.h"
#include "core/settings/Language.h"
#include "ui/widgets/DurationEdit.h"
#include "core/conversion/PosterFrames.h"
#include "ui/mainwindow/PreviewArea.h"
#include "support/MainWindowFixture.h"
#include "ui/mainwindow/PreviewWindowHost.h"
#include "ui/widgets/ControlId.h"
#include "ui/widgets/StatusBar.h"

using namespace TestSupport;

class TestTaskListView : public WindowTest
{
    Q_OBJECT

    QString media(const QString &name) { return Touch(m_media + name, 16); }
    QStringList column(int c) const { return m_fx->Column(c); }

private slots:
    void rowsAddedAndDrawnFromTheList()
    {
        start();
        m_fx->Drop({media("a.avi"), media("b.avi"), media("c.avi")});
        CurrentProfile &profile = m_dlg->GetCurrentProfile();
        QCOMPARE(column(0), (QStringList{"a.avi", "b.avi", "c.avi"}));
        QCOMPARE(column(5), QStringList(3, profile.Name()));
        QCOMPARE(column(6), QStringList(3, profile.Summary()));
        QCOMPARE(column(2), QStringList(3, m_media));
        // New rows are selected, earlier ones stay selected; the list knows it.
        QCOMPARE(m_fx->Tasks().SelectedCount(), 3);
        QCOMPARE(m_dlg->Controls().statusBar->PaneText(3), QStringLiteral("3"));
        // A moved row keeps its selection in the view.
        selectOnly({2});
        m_dlg->OnCommand(Ids::UpButton);
        QCOMPARE(column(0), (QStringList{"a.avi", "c.avi", "b.avi"}));
        QVERIFY(m_list->IsRowSelected(1) && !m_list->IsRowSelected(2));
        // Select All and Delete through the view; scattered rows go in one step.
        m_dlg->OnCommand(Ids::SelectAll);
        QCOMPARE(m_fx->Tasks().SelectedCount(), 3);
        selectOnly({0, 2});
        m_dlg->OnCommand(Ids::Delete);
        QCOMPARE(column(0), QStringList{"c.avi"});
        QCOMPARE(m_dlg->Controls().statusBar->PaneText(2), QStringLiteral("1"));
        // Add File: the files picked become rows; cancelled, nothing changes and nothing is said.
        ScriptedPrompter &prompter = this->prompter();
        prompter.openFilesAnswers.push_back({media("d.avi"), media("e.mp4")});
        m_dlg->OnCommand(Ids::AddFile);
        const auto &request = prompter.fileRequests.value(0);
        QVERIFY(request.title == GetLangString("@110") && request.multiple && request.mustExist);
        QCOMPARE(column(0), (QStringList{"c.avi", "d.avi", "e.mp4"}));
        FindControl<QWidget>(m_dlg, Ids::ConvertAll)->setEnabled(false);
        m_dlg->OnCommand(Ids::AddFile);
        QCOMPARE(m_list->rowCount(), 3);
        QVERIFY(!FindControl<QWidget>(m_dlg, Ids::ConvertAll)->isEnabled());
        QVERIFY(prompter.messages.isEmpty());
    }

    void commandLineAndMessages()
    {
        ProgramFolder scratch;
        const QString dir = scratch.file("");
        Touch(dir + "first clip.avi", 16);
        Touch(dir + "second.mkv", 16);
        start({}, {dir + "first clip.avi", "  " + dir + "second.mkv  ", dir + "missing.avi", dir + "noext"});
        QCOMPARE(column(0), (QStringList{"first clip.avi", "second.mkv"}));
        // Paths handed over in process are cut to 254 characters.
        const QString longName = Touch(m_media + QString(254 - m_media.size() - 4, u'x') + ".avi", 16);
        m_fx->View().OnAddPathMessage(longName + "ignored-tail");
        QCOMPARE(m_list->rowCount(), 3);
        m_dlg->OnCopyData(QString());
        QCOMPARE(m_list->rowCount(), 3);
        // A second start hands its paths over through the socket.
        QVERIFY(PathReceiver::SendPaths(PathReceiver::ServerNameFor(m_fx->Folder().path()), {media("sent by another start.avi"), QString()}));
        QTRY_COMPARE_WITH_TIMEOUT(m_list->rowCount(), 4, 30000);
        QCOMPARE(m_list->GetItemText(3, 0), QStringLiteral("sent by another start.avi"));
        // Tasks from the command line are probed too.
        QTRY_COMPARE_WITH_TIMEOUT(m_fx->View().RunningProbeThreads(), 0, 30000);
        QVERIFY(m_fx->View().TaskOfRow(0)->mediaInfo);
    }

    void dropProbeAndClick()
    {
        start();
        QStringList clips;
        QList<QUrl> urls;
        for (int seconds : {2, 3, 4}) {
            clips << m_media + QStringLiteral("clip%1.mp4").arg(seconds);
            MakeClip(clips.last(), {.seconds = seconds});
            urls << QUrl::fromLocalFile(clips.last());
        }
        QMimeData mime;
        mime.setUrls(urls);
        QDragEnterEvent enter(QPoint(20, 150), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(m_dlg, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(20, 150), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(m_dlg, &drop);
        QCOMPARE(column(0), (QStringList{"clip2.mp4", "clip3.mp4", "clip4.mp4"}));
        for (int r = 0; r < 3; ++r)
            QTRY_VERIFY_WITH_TIMEOUT(m_fx->View().TaskOfRow(r)->mediaInfo != nullptr, 30000);
        QTRY_COMPARE_WITH_TIMEOUT(m_fx->View().RunningProbeThreads(), 0, 30000);
        QCOMPARE(m_fx->View().TaskOfRow(0)->durationSec, 2);
        QCOMPARE(m_fx->View().TaskOfRow(2)->durationSec, 4);

        // A click shows the lowest selected task's settings.
        selectOnly({1});
        m_fx->View().OnListClick();
        QCOMPARE(m_fx->View().CurrentTaskId(), m_fx->View().TaskIdOfRow(1));
        QCOMPARE(m_dlg->Controls().stopTime->Seconds(), 3);
        QCOMPARE(m_dlg->Controls().startTime->Seconds(), 0);
        QCOMPARE(FindControl<QLineEdit>(m_dlg, Ids::DestinationEdit)->text(), m_dlg->GlobalDestination());

        // Posters: one engine run per row on screen, each kept in the cache; the selected
        // row's shows in the preview area, a file without video shows the idle picture.
        PosterFrames &posters = m_dlg->Preview().Posters();
        PreviewArea *area = m_dlg->findChild<PreviewArea *>();
        QTRY_COMPARE_WITH_TIMEOUT(QDir(m_fx->Folder().file("cache/posters")).entryList({"*.png"}, QDir::Files).size(), 3, 30000);
        QVERIFY(area->ShowsPoster());
        const QImage poster(posters.CachedFile(clips[1]));
        QCOMPARE(poster.size(), QSize(320, 240));
        MakeClip(m_media + "sound.m4a", {.video = false});
        m_fx->Drop({m_media + "sound.m4a"});
        selectOnly({3});
        QVERIFY(!area->ShowsPoster());
        selectOnly({0});
        QVERIFY(area->ShowsPoster()); // from the cache, at once
        // A file written again is a new file: its old poster is not used.
        const int runs = posters.EngineRuns();
        QVERIFY(QFile::remove(clips[0]));
        const ClipSpec longer{.seconds = 5};
        MakeClip(clips[0], longer);
        QVERIFY(posters.CachedFile(clips[0]).isEmpty());
        m_fx->View().RefreshTask(m_fx->View().TaskIdOfRow(0));
        QTRY_VERIFY_WITH_TIMEOUT(!posters.CachedFile(clips[0]).isEmpty(), 30000);
        QCOMPARE(posters.EngineRuns(), runs + 1);

        // While held (a conversion runs) only the selected row's poster is made.
        m_dlg->Preview().HoldPosters(true);
        for (int r : {0, 2}) {
            QVERIFY(QFile::remove(clips[r]));
            MakeClip(clips[r], longer);
        }
        selectOnly({2});
        m_fx->View().RefreshTask(m_fx->View().TaskIdOfRow(0));
        m_fx->View().RefreshTask(m_fx->View().TaskIdOfRow(2));
        QTRY_VERIFY_WITH_TIMEOUT(!posters.CachedFile(clips[2]).isEmpty(), 30000);
        QCOMPARE(posters.EngineRuns(), runs + 2);
        m_dlg->Preview().HoldPosters(false);
        QTRY_VERIFY_WITH_TIMEOUT(!posters.CachedFile(clips[0]).isEmpty(), 30000);

        // A click on a row whose probe has not come back yet keeps the task shown before.
        QTRY_COMPARE_WITH_TIMEOUT(m_fx->View().RunningProbeThreads(), 0, 30000);
        const int shown = m_fx->View().CurrentTaskId();
        m_fx->View().TaskOfRow(3)->mediaInfo.reset();
        selectOnly({3});
        m_fx->View().OnListClick();
        QCOMPARE(m_fx->View().CurrentTaskId(), shown);
    }

    void addAndDeleteWhileProbing()
    {
        start();
        QStringList paths;
        for (int i = 0; i < 12; ++i)
            paths << media(QStringLiteral("f%1.avi").arg(i));
        for (int round = 0; round < 4; ++round) {
            m_fx->View().OnDropFiles(paths.mid(round * 3, 3));
            selectOnly({0});
            m_dlg->OnCommand(Ids::DownButton);
            selectOnly({m_list->rowCount() - 1});
            m_dlg->OnCommand(Ids::Delete);
            QCoreApplication::processEvents();
        }
        QTRY_COMPARE_WITH_TIMEOUT(m_fx->View().RunningProbeThreads(), 0, 60000);
        QCOMPARE(m_list->rowCount(), 8);
        for (int r = 0; r < m_list->rowCount(); ++r)
            QVERIFY(m_fx->View().TaskOfRow(r)->mediaInfo);
    }

    void destinationField()
    {
        start();
        ScriptedPrompter &prompter = this->prompter();
        auto *dest = FindControl<QLineEdit>(m_dlg, Ids::DestinationEdit);
        const QString wanted = m_fx->Folder().file("new//dest $ä");
        dest->setText(wanted);
        m_dlg->OnDestinationKillFocus();
        QVERIFY(QFileInfo(m_fx->Folder().file("new/dest $ä")).isDir());
        QCOMPARE(IniFile::ReadString(m_fx->Folder().settingsPath(), "SYSTEM", "SavedPath"), m_fx->Folder().file("new/dest $ä"));
        QCOMPARE(m_dlg->GlobalDestination(), m_fx->Folder().file("new/dest $ä"));
        QCOMPARE(dest->text(), wanted); // the field keeps what was typed
        // A folder that cannot be made: message, nothing stored.
        dest->setText("/proc/nope/out");
        m_dlg->OnDestinationKillFocus();
        QCOMPARE(prompter.messageTexts(), QStringList{"Create  outPut file path /proc/nope/out Failed!"});
        QCOMPARE(m_dlg->GlobalDestination(), m_fx->Folder().file("new/dest $ä"));
        // Browsing picks a folder and handles it as leaving the field.
        prompter.folderAnswers.push_back(m_fx->Folder().file("picked"));
        m_dlg->OnExploreDestination();
        QCOMPARE(prompter.folderPrompts, QStringList{GetLangString("@108")});
        QCOMPARE(m_dlg->GlobalDestination(), m_fx->Folder().file("picked"));
        QVERIFY(QFileInfo(m_fx->Folder().file("picked")).isDir());
    }

    void rowProgressAndColours()
    {
        start();
        m_fx->Drop({media("a.avi"), media("b.avi"), media("c.avi")});
        // A row's colour stays with the row, not with the task moved into it.
        m_list->SetItemColor(1, 0x00FF0000, CListCtrlEx::kUnchanged); // blue, as 0x00BBGGRR
        selectOnly({1});
        m_dlg->OnCommand(Ids::UpButton);
        QCOMPARE(m_list->TextColor(1), QColor(0, 0, 255));
        // The running row's bar: hidden at 0 %, inside the status cell after, kept at 100 %.
        m_list->m_progressRow = 2;
        m_list->m_showProgress = true;
        for (auto [percent, shown] : {std::pair{0, -1}, {50, 50}, {100, 50}}) {
            m_list->m_percent = percent;
            m_list->UpdateRowProgress();
            QCOMPARE(m_list->RowProgressBar()->isVisible() ? m_list->RowProgressBar()->value() : -1, shown);
        }
        QVERIFY(m_list->visualRect(m_list->model()->index(2, 3)).contains(m_list->RowProgressBar()->geometry()));
        m_list->HideRowProgress();
        QVERIFY(m_list->RowProgressBar()->isHidden());

        // Rows converted at the same time: a bar of their own each, named for a screen reader.
        m_list->SetRowProgress(0, 2, 40, "c.avi: 40%");
        m_list->SetRowProgress(1, 0, 70, "a.avi: 70%");
        QCOMPARE(m_list->ShownRowProgressCount(), 2);
        QVERIFY(m_list->visualRect(m_list->model()->index(0, 3)).contains(m_list->RowProgressBar(1)->geometry()));
        QCOMPARE(m_list->RowProgressBar(1)->value(), 70);
        QCOMPARE(m_list->RowProgressBar(1)->accessibleName(), QStringLiteral("a.avi: 70%"));
        m_list->HideRowProgress(1);
        QCOMPARE(m_list->ShownRowProgressCount(), 1);
    }

    void columnsFit()
    {
        // At the size the window opens at on a common screen, the columns read during a run
        // show their whole text and the last of them is on screen; a width the user dragged stays.
        start();
        m_dlg->resize(CCorvaneStudioDlg::DefaultSize(QSize(1920, 1080)));
        m_fx->Drop({media("holiday clip.avi"), media("b.avi")});
        m_fx->Tasks().SetVerdict(m_fx->Tasks().IdAt(0), Verdict::Completed, QString(), 83);
        TaskListView &view = m_dlg->TaskView();
        view.FitColumns();
        QHeaderView *header = m_list->horizontalHeader();
        auto *table = static_cast<QAbstractItemView *>(m_list);
        for (int c : {TaskTableModel::Name, TaskTableModel::Status, TaskTableModel::Output, TaskTableModel::Elapsed}) {
            QVERIFY2(m_list->columnWidth(c) >= table->sizeHintForColumn(c),
                     qPrintable(QStringLiteral("column %1: %2 < %3").arg(c).arg(m_list->columnWidth(c)).arg(table->sizeHintForColumn(c))));
            QVERIFY(header->sectionViewportPosition(c) + m_list->columnWidth(c) <= m_list->viewport()->width());
        }
        header->resizeSection(TaskTableModel::Output, 50);
        view.FitColumns();
        QCOMPARE(m_list->columnWidth(TaskTableModel::Output), 50);
    }
};

QTEST_MAIN(TestTaskListView)
#include "test_tasklistview.moc"
