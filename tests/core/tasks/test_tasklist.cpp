#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "core/tasks/MediaFileTypes.h"
#include "core/tasks/QueueState.h"
#include "core/tasks/TaskList.h"
#include "core/profiles/CMpegStructs.h"
#include "core/profiles/ParamFileWriter.h"
#include "support/TestSupport.h"

namespace {
// The rows selected and the way; the order after, the rows selected after, and the rows taken
// out and put back, whose status is emptied.
struct Move { QList<int> selected; bool up; QString order; QList<int> selectedAfter; QString moved; };
} // namespace

// The task list without a window: adding, order, selection, row commands, run state, and
// the state file that keeps it between sessions.
class TestTaskList : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString file(const QString &name, qint64 size = 16) { return TestSupport::Touch(m_dir.filePath(name), size); }
    NewTaskSettings settings(const QString &dest = QString()) const
    {
        NewTaskSettings s;
        s.profileName = QStringLiteral("MP4 (H.264/AAC)");
        s.profileFile = QStringLiteral("/p/mp4.ini");
        s.profileSummary = QStringLiteral("Video:h264");
        s.targetType = QStringLiteral("mp4");
        s.destination = dest;
        s.aspectMode = 3;
        return s;
    }
    // Four tasks a..d, each with a status, and the given rows selected.
    void fourTasks(TaskList &list, const QList<int> &selected)
    {
        list.Add({file("a.avi"), file("b.avi"), file("c.avi"), file("d.avi")}, settings(), false);
        for (quint16 id : list.Ids())
            list.SetVerdict(id, Verdict::Completed);
        for (int row : selected)
            list.SetSelected(row, row, true);
    }
    static QString order(const TaskList &list)
    {
        QString names;
        for (quint16 id : list.Ids())
            names += list.Find(id)->baseName.str();
        return names;
    }

private slots:
    void addRules_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QStringList>("listed");
        QTest::newRow("exact duplicate") << QStringList{"clip.avi", "clip.avi"} << QStringList{"clip.avi"};
        QTest::newRow("other case is another file") << QStringList{"clip.avi", "Clip.avi"}
                                                    << QStringList{"clip.avi", "Clip.avi"};
        QTest::newRow("no dot ignored") << QStringList{"noextension", "x.mkv"} << QStringList{"x.mkv"};
        QTest::newRow("dot in the folder only") << QStringList{"d.ir/noext", "y.mov"} << QStringList{"y.mov"};
        QTest::newRow("extension lower-cased") << QStringList{"clip.AVI"} << QStringList{"clip.avi"};
        QTest::newRow("blanks quotes dollar non-latin") << QStringList{"my \"best\" $clip ä中.mov"}
                                                        << QStringList{"my \"best\" $clip ä中.mov"};
    }
    void addRules()
    {
        QFETCH(QStringList, names);
        QFETCH(QStringList, listed);
        QDir(m_dir.path()).mkpath("d.ir");
        TaskList list;
        QStringList paths;
        for (const QString &n : names)
            paths << file(n);
        // Twice: the second drop of the same files adds nothing.
        list.Add(paths, settings(), true);
        QCOMPARE(list.Add(paths, settings(), true), QList<quint16>{});
        QStringList shown;
        for (quint16 id : list.Ids())
            shown << list.Find(id)->baseName.str() + u'.' + list.Find(id)->sourceExt.str();
        QCOMPARE(shown, listed);
        QCOMPARE(list.TakeProbeQueue().size(), listed.size());
    }

    void recordFields()
    {
        const QString out = m_dir.filePath("out/");
        QDir().mkpath(out);
        QFile(out + "huge.mp4").open(QIODevice::WriteOnly); // the name is taken: huge_0.mp4
        TaskList list;
        const QList<quint16> ids = list.Add({file("big.avi"),
                                             file("huge.mpg", Q_INT64_C(5000000000)), m_dir.filePath("gone.avi")},
                                            settings(out), false);
        QCOMPARE(ids, (QList<quint16>{1, 2, 3}));
        const TaskPtr big = list.Find(1), huge = list.Find(2), gone = list.Find(3);
        QCOMPARE(huge->sizeText.str(), QStringLiteral("4882812KB"));
        QCOMPARE(gone->sizeText.str(), QStringLiteral("0KB"));
        QCOMPARE(big->sourceFolder.str(), m_dir.path() + u'/');
        QCOMPARE(big->outputPath.str(), out + "big.mp4");
        QCOMPARE(huge->outputPath.str(), out + "huge_0.mp4");
        // Without a destination the output goes beside the input.
        list.Add({file("beside.mkv")}, settings(), false);
        QCOMPARE(list.Find(4)->outputPath.str(), m_dir.path() + "/beside.mp4");
    }

    void moves_data()
    {
        QTest::addColumn<Move>("move");
        QTest::newRow("one up") << Move{{2}, true, "acbd", {1}, "c"};
        QTest::newRow("adjacent up swap") << Move{{1, 2}, true, "acbd", {1, 2}, "c"};
        QTest::newRow("top cannot go up") << Move{{0}, true, "abcd", {0}, ""};
        QTest::newRow("one down") << Move{{1}, false, "acbd", {2}, "b"};
        QTest::newRow("block down") << Move{{0, 1}, false, "cabd", {1, 2}, "ab"};
        QTest::newRow("block at the bottom stays") << Move{{2, 3}, false, "abcd", {2, 3}, ""};
        QTest::newRow("two apart down") << Move{{0, 2}, false, "badc", {1, 3}, "ac"};
    }
    void moves()
    {
        QFETCH(Move, move);
        const auto &[selected, up, order, selectedAfter, moved] = move;
        TaskList list;
        fourTasks(list, selected);
        QSignalSpy reordered(&list, &TaskList::reordered);
        up ? list.MoveSelectedUp() : list.MoveSelectedDown();
        QCOMPARE(TestTaskList::order(list), order);
        QCOMPARE(list.SelectedRows(), selectedAfter);
        QCOMPARE(reordered.size(), 1);
        for (int row = 0; row < 4; ++row) {
            const int id = list.IdAt(row);
            QCOMPARE(list.RowOf(id), row);
            const bool wasMoved = moved.contains(list.Find(id)->baseName.str());
            QCOMPARE(list.State(id).status, wasMoved ? QString() : QStringLiteral("Completed"));
        }
    }

    void selectionAndRemoval()
    {
        TaskList list;
        fourTasks(list, {});
        list.SetSelected(-5, 99, true); // held to the rows there are
        list.SetSelected(1, 2, false);
        QCOMPARE(list.SelectedRows(), (QList<int>{0, 3}));
        QVERIFY(list.IsTaskSelected(list.IdAt(3)) && !list.IsSelected(1) && !list.IsSelected(9));
        QSignalSpy removing(&list, &TaskList::rowsAboutToBeRemoved);
        list.RemoveSelected();
        QCOMPARE(order(list), QStringLiteral("bc"));
        QCOMPARE(removing.size(), 1);
        using Ranges = QList<std::pair<int, int>>;
        QCOMPARE(removing.first().first().value<Ranges>(), (Ranges{{0, 0}, {3, 3}}));
        QVERIFY(!list.Find(1) && list.Find(2));
        QCOMPARE(list.SelectedCount(), 0);
        list.RemoveSelected(); // nothing selected: nothing removed
        QCOMPARE(list.Count(), 2);
        // Ids are never reused; a removed file can be added again.
        QCOMPARE(list.Add({m_dir.filePath("a.avi")}, settings(), false), QList<quint16>{5});
        QCOMPARE(list.RowOf(5), 2);
        QCOMPARE(list.RowOf(1), -1);
        QCOMPARE(list.IdAt(7), 0);
    }

    void runStateAndIndex()
    {
        TaskList list;
        list.Add({file("a.avi")}, settings(), false);
        // A verdict ends the row's progress and names itself as the list shows it.
        list.SetRunning(1, "seeking...", 40);
        list.SetVerdict(1, Verdict::Stopped, "why");
        QCOMPARE(std::pair(list.State(1).status, list.State(1).percent), std::pair(QStringLiteral("Stoped"), 0));
        // A record given another source is found under its new path only.
        list.Find(1)->sourcePath = file("other.avi");
        list.NotifyChanged(1);
        QVERIFY(list.HasSourcePath(m_dir.filePath("other.avi")));
        QVERIFY(!list.HasSourcePath(m_dir.filePath("a.avi")));
        QCOMPARE(list.Add({m_dir.filePath("other.avi"), m_dir.filePath("a.avi")}, settings(), false).size(), 1);
    }

    void folderDrops()
    {
        for (const char *name : {"dir/a/clip 10.mp4", "dir/a/clip 2.MP4", "dir/a/clip 02b.mkv", "dir/.hidden/x.mp4",
                                 "dir/readme.txt", "dir/b.mkv", "dir/noext", "dir/c/d/Deep.webm", "single.avi"})
            file(name);
        const QString d = m_dir.filePath("dir/");
        QCOMPARE(ExpandDroppedPaths({m_dir.filePath("dir"), m_dir.filePath("single.avi")}),
                 (QStringList{d + "a/clip 2.MP4", d + "a/clip 02b.mkv", d + "a/clip 10.mp4", d + "b.mkv",
                              d + "c/d/Deep.webm", m_dir.filePath("single.avi")}));
    }

    void atTheIdLimit()
    {
        // A full list of 65,535 tasks: scattered rows removed at once, a block moved, the
        // order and the row index stay right.
        TaskList list;
        for (int i = 0; i < TaskList::kMaxTaskId; ++i)
            QVERIFY(list.Insert(std::make_shared<TaskRecord>(), false) != 0);
        QCOMPARE(list.Insert(std::make_shared<TaskRecord>(), false), quint16(0));
        QCOMPARE(list.Add({file("late.avi")}, settings(), false), QList<quint16>{});
        for (int row = 0; row < 60000; row += 2)
            list.SetSelected(row, row, true);
        QSignalSpy removing(&list, &TaskList::rowsAboutToBeRemoved);
        list.RemoveSelected();
        QCOMPARE(list.Count(), TaskList::kMaxTaskId - 30000);
        using Ranges = QList<std::pair<int, int>>;
        QCOMPARE(removing.first().first().value<Ranges>().size(), 30000);
        QCOMPARE(list.IdAt(0), 2);
        QCOMPARE(list.IdAt(29999), 60000);
        QCOMPARE(list.IdAt(30000), 60001);
        list.SetSelected(100, 199, true);
        list.MoveSelectedDown();
        QCOMPARE(list.IdAt(100), 402); // the row below the block came up
        QCOMPARE(list.IdAt(101), 202);
        QCOMPARE(list.SelectedRows().first(), 101);
        for (int row = 0; row < list.Count(); row += 997)
            QCOMPARE(list.RowOf(list.IdAt(row)), row);
    }

    void keptQueue()
    {
        // Four rows in each state a run leaves, one with its own settings, trims and an
        // output whose name has blanks, quotes, "$" and non-Latin letters.
        TaskList list;
        list.Add({file("a.avi"), file("b.avi"), file("c $1 'q' \u89c6\u9891.avi"), file("d.avi"), file("e.avi")},
                 settings(), false);
        list.SetRunning(1, QString(), 10);
        list.SetVerdict(1, Verdict::Completed, QString(), 3.5);
        list.SetRunning(2, QString(), 10);
        list.SetVerdict(2, Verdict::Failed, "engine said no\nsecond line");
        list.SetRunning(4, "seeking...", 50);
        CMpegStructs profile;
        profile.LoadFromFile(qEnvironmentVariable("CORVANE_SOURCE_DIR") + "/data/profiles/avi_mpeg4_mp3.ini");
        QVERIFY(profile.GetRoot()->nChildCount() > 0);
        const TaskPtr own = list.Find(3);
        own->useGlobalOutput = 0;
        own->paramTree = CloneCells(profile.GetRoot());
        own->outputPath = m_dir.filePath("out/c $1 'q' \u89c6\u9891.mkv");
        own->trimStart = 5;
        own->trimStop = 65;
        own->trimLength = 60;
        own->durationSec = 90;
        list.Find(5)->paramTree = CloneCells(profile.GetRoot()); // follows the window: not kept
        const QString path = m_dir.filePath("state/queue.json");
        QVERIFY(WriteQueueState(path, list));
        int unfinished = -1;
        QCOMPARE(SavedQueueSize(path, &unfinished), 5);
        QCOMPARE(unfinished, 4); // one row was Completed

        QFile::remove(m_dir.filePath("e.avi"));
        TaskList back;
        back.Add({m_dir.filePath("b.avi")}, settings(), false); // already listed: kept once
        QCOMPARE(RestoreQueueState(back, path, false),
                 QStringList{QStringLiteral("\"%1\" is no longer there.").arg(m_dir.filePath("e.avi"))});
        QCOMPARE(order(back), QStringLiteral("bac $1 'q' \u89c6\u9891d"));
        const int a = back.IdAt(1), c = back.IdAt(2), d = back.IdAt(3);
        QCOMPARE(back.State(a).verdict, Verdict::Completed);
        QCOMPARE(back.State(a).elapsed, 3.5);
        QCOMPARE(back.State(a).status, QStringLiteral("Completed"));
        QCOMPARE(back.State(d).verdict, Verdict::None); // running when it ended: still to do
        const TaskPtr c2 = back.Find(c);
        QCOMPARE(c2->outputPath.str(), own->outputPath.str());
        QCOMPARE(c2->useGlobalOutput, 0);
        QCOMPARE(std::tuple(c2->trimStart, c2->trimStop, c2->trimLength, c2->durationSec), std::tuple(5, 65, 60, 90));
        QVERIFY(c2->paramTree);
        QCOMPARE(ParamFileText({c2->paramTree.get(), {}, {}, {}}), ParamFileText({own->paramTree.get(), {}, {}, {}}));
        QCOMPARE(back.Find(back.IdAt(0))->profileName.str(), settings().profileName);
        QCOMPARE(back.ProbeQueueSize(), 3); // restored rows are described again

        // Headless resumes without the converted rows; a failed one comes back with its report.
        TaskList resumed;
        RestoreQueueState(resumed, path, true);
        QCOMPARE(order(resumed), QStringLiteral("bc $1 'q' \u89c6\u9891d"));
        QCOMPARE(resumed.State(resumed.IdAt(0)).report, QStringLiteral("engine said no\nsecond line"));

        // What is not a state file of ours restores nothing.
        for (const QByteArray &junk : {QByteArray("{\"format\":2,\"tasks\":[{\"source\":\"x\"}]}"),
                                       QByteArray("[1,2"), QByteArray(), QByteArray("{\"format\":1,\"tasks\":[7,\"s\",{}]}")}) {
            QVERIFY(TestSupport::WriteFile(m_dir.filePath("junk.json"), junk));
            TaskList none;
            QCOMPARE(RestoreQueueState(none, m_dir.filePath("junk.json"), false), QStringList{});
            QCOMPARE(none.Count(), 0);
        }

        // The keeper follows changes; an emptied list leaves no file to offer.
        {
            QueueKeeper keeper(back, path);
            back.SetVerdict(d, Verdict::Stopped);
            QTRY_COMPARE_WITH_TIMEOUT(TestSupport::ReadFile(path), QueueStateText(back), 5000);
            back.Clear();
        }
        QVERIFY(!QFile::exists(path));
    }
};

QTEST_GUILESS_MAIN(TestTaskList)
#include "test_tasklist.moc"
