#include <QTemporaryDir>
#include <QtTest>

#include "core/tasks/TaskFile.h"
#include "support/TestSupport.h"

using namespace TestSupport;

class TestTaskFile : public QObject
{
    Q_OBJECT

private slots:
    void lineFormat_data()
    {
        QTest::addColumn<TaskFileRow>("row");
        QTest::addColumn<QString>("line");
        QTest::newRow("plain") << TaskFileRow{"/v/a.avi", "/o/a.mp4", "MP4 (H.264/AAC)", "avi", "ignored"}
                               << QStringLiteral("/v/a.avi$  /o/a.mp4$ MP4 (H.264/AAC)$  avi$ $\n");
        QTest::newRow("empty profile takes the column") << TaskFileRow{"/v/b.mkv", "/o/b.avi", "", "mkv", "AVI (Xvid/MP3)"}
                                                        << QStringLiteral("/v/b.mkv$  /o/b.avi$ AVI (Xvid/MP3)$  mkv$ $\n");
        QTest::newRow("both empty") << TaskFileRow{"/v/c.flv", "/o/c.flv", "", "flv", ""}
                                    << QStringLiteral("/v/c.flv$  /o/c.flv$ $  flv$ $\n");
        QTest::newRow("dollar, quotes, non-Latin as they are")
            << TaskFileRow{QStringLiteral("/v/$5 \"cut\" 視頻 é.mov"), QStringLiteral("/o/$5 é.mp4"), "MP4", "mov", ""}
            << QStringLiteral("/v/$5 \"cut\" 視頻 é.mov$  /o/$5 é.mp4$ MP4$  mov$ $\n");
    }
    void lineFormat()
    {
        QFETCH(TaskFileRow, row);
        QFETCH(QString, line);
        QCOMPARE(TaskFileLine(row), line);
        // Read back from the right: paths keep every "$" they had.
        const std::optional<TaskFileRow> back = ParseTaskFileLine(line.chopped(1));
        QVERIFY(back);
        QCOMPARE(back->sourcePath, row.sourcePath);
        QCOMPARE(back->outputPath, row.outputPath);
        QCOMPARE(back->profileName, row.profileName.isEmpty() ? row.profileColumnText : row.profileName);
        QCOMPARE(back->sourceExt, row.sourceExt);
    }

    void linesThatAreNoTask_data()
    {
        QTest::addColumn<QString>("line");
        QTest::newRow("no end mark") << "/v/a.avi$  /o/a.mp4$ MP4$  avi";
        QTest::newRow("no extension field") << "/v/a.avi$ MP4$ $";
        QTest::newRow("source without its extension") << "/v/a.mkv$  /o/a.mp4$ MP4$  avi$ $";
        QTest::newRow("free text") << "hello";
    }
    void linesThatAreNoTask()
    {
        QFETCH(QString, line);
        QVERIFY(!ParseTaskFileLine(line));
    }

    void readFileNamesBadLines()
    {
        QTemporaryDir dir;
        const QList<TaskFileRow> rows{{"/in/a$  b.avi", "/out/a$  b.mp4", "MP4", "avi", ""}, {"/in/c.mkv", "/out/c.avi", "AVI", "mkv", ""}};
        QVERIFY(WriteTaskFile(dir.filePath("t.tsk"), rows));
        QVERIFY(WriteFile(dir.filePath("t.tsk"), ReadFile(dir.filePath("t.tsk")) + Utf16("x\n").mid(2)));
        const TaskFileContents read = ReadTaskFile(dir.filePath("t.tsk"));
        QVERIFY(read.opened);
        QCOMPARE(read.rows.size(), 2);
        QCOMPARE(read.rows[0].outputPath, QStringLiteral("/out/a$  b.mp4"));
        QCOMPARE(read.lineNumbers, (QList<int>{1, 2}));
        QCOMPARE(read.problems.size(), 1);
        QVERIFY2(read.problems[0].startsWith("Line 3 of"), qPrintable(read.problems[0]));
        QVERIFY(!ReadTaskFile(dir.filePath("none.tsk")).opened);
    }

    void writeFile_data()
    {
        QTest::addColumn<QList<TaskFileRow>>("rows");
        QTest::newRow("empty list: only the mark") << QList<TaskFileRow>{};
        // A character outside the basic plane takes two UTF-16 units.
        QTest::newRow("two rows") << QList<TaskFileRow>{{QStringLiteral("/in/$one 🎬.avi"), "/out/one.mp4", "MP4", "avi", ""},
                                                        {"/in/two.mkv", "/out/two.webm", "", "mkv", "WebM (VP8/Vorbis)"}};
    }
    void writeFile()
    {
        QFETCH(QList<TaskFileRow>, rows);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("list.tsk"));
        QVERIFY(WriteFile(path, QByteArray(5000, 'x'))); // an existing, longer file is truncated
        QVERIFY(WriteTaskFile(path, rows));
        QString lines;
        for (const TaskFileRow &r : rows)
            lines += TaskFileLine(r);
        const QByteArray bytes = ReadFile(path);
        QCOMPARE(bytes.size(), 2 + 2 * lines.size());
        QVERIFY(bytes.startsWith("\xFF\xFE"));
        const QString body = FromUtf16(bytes);
        QCOMPARE(body, lines); // LF alone, as each line is made
    }

    void unopenablePathWritesNothing()
    {
        QTemporaryDir dir;
        for (const QString &path : {dir.filePath("no/such/folder/list.tsk"), dir.path()}) {
            QVERIFY(!WriteTaskFile(path, {{"/a.avi", "/b.mp4", "MP4", "avi", ""}}));
            QVERIFY(!QFileInfo(path).isFile());
        }
    }
};

QTEST_GUILESS_MAIN(TestTaskFile)
#include "test_taskfile.moc"
