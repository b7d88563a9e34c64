#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "app/TaskFile.h"
#include "app/TaskRecord.h"

Q_DECLARE_METATYPE(TaskFileRow)

namespace {
QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The file's text after the byte-order mark, decoded from UTF-16LE by hand.
QString decodeBody(const QByteArray &bytes)
{
    QString text;
    for (qsizetype i = 2; i + 1 < bytes.size(); i += 2)
        text += QChar(char16_t(quint8(bytes[i]) | (quint8(bytes[i + 1]) << 8)));
    return text;
}

TaskFileRow row(const QString &source, const QString &output, const QString &profile, const QString &ext,
                const QString &column = QString())
{
    return {source, output, profile, ext, column};
}
} // namespace

class TestTaskFile : public QObject
{
    Q_OBJECT

private slots:
    void lineFormat_data()
    {
        QTest::addColumn<TaskFileRow>("row");
        QTest::addColumn<QString>("line");

        QTest::newRow("plain") << row("/v/a.avi", "/o/a.mp4", "MP4 (H.264/AAC)", "avi", "ignored")
                               << QStringLiteral("/v/a.avi$  /o/a.mp4$ MP4 (H.264/AAC)$  avi$ $\n");
        QTest::newRow("empty profile name takes the column")
            << row("/v/b.mkv", "/o/b.avi", "", "mkv", "AVI (Xvid/MP3)")
            << QStringLiteral("/v/b.mkv$  /o/b.avi$ AVI (Xvid/MP3)$  mkv$ $\n");
        QTest::newRow("both empty") << row("/v/c.flv", "/o/c.flv", "", "flv", "")
                                    << QStringLiteral("/v/c.flv$  /o/c.flv$ $  flv$ $\n");
        QTest::newRow("dollar, blanks, quotes, non-Latin kept as they are")
            << row(QStringLiteral("/v/$5 \"cut\" 視頻 é.mov"), QStringLiteral("/o/$5 \"cut\" 視頻 é.mp4"), "MP4", "mov")
            << QStringLiteral("/v/$5 \"cut\" 視頻 é.mov$  /o/$5 \"cut\" 視頻 é.mp4$ MP4$  mov$ $\n");
        QTest::newRow("empty output") << row("/v/d.wmv", "", "WMV", "wmv")
                                      << QStringLiteral("/v/d.wmv$  $ WMV$  wmv$ $\n");
    }

    void lineFormat()
    {
        QFETCH(TaskFileRow, row);
        QFETCH(QString, line);
        QCOMPARE(TaskFileLine(row), line);
    }

    void twoRowsGiveMarkAndTwoLines()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("list.tsk"));
        // One path holds a character outside the basic plane: two UTF-16 units.
        const QList<TaskFileRow> rows{row(QStringLiteral("/in/$one 🎬.avi"), "/out/one.mp4", "MP4", "avi"),
                                      row("/in/two.mkv", "/out/two.webm", "", "mkv", "WebM (VP8/Vorbis)")};
        QVERIFY(WriteTaskFile(path, rows));

        const QString line1 = TaskFileLine(rows[0]);
        const QString line2 = TaskFileLine(rows[1]);
        const QByteArray bytes = readAll(path);
        QCOMPARE(bytes.size(), 2 + 2 * (line1.size() + line2.size()));
        QCOMPARE(quint8(bytes[0]), quint8(0xFF));
        QCOMPARE(quint8(bytes[1]), quint8(0xFE));

        const QString body = decodeBody(bytes);
        QCOMPARE(body, line1 + line2);
        QCOMPARE(body.count(u'\n'), 2);
        QVERIFY(!body.contains(u'\r'));
        QVERIFY(body.endsWith(QStringLiteral("$ $\n")));
        QVERIFY(body.contains(QStringLiteral("$ WebM (VP8/Vorbis)$")));
    }

    void emptyListWritesOnlyTheMark()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("empty.tsk"));
        QVERIFY(WriteTaskFile(path, {}));
        QCOMPARE(readAll(path), QByteArray("\xFF\xFE", 2));
    }

    void existingFileIsTruncated()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("old.tsk"));
        {
            QFile old(path);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write(QByteArray(5000, 'x'));
        }
        const TaskFileRow r = row("/a.avi", "/b.mp4", "MP4", "avi");
        QVERIFY(WriteTaskFile(path, {r}));
        QCOMPARE(readAll(path).size(), 2 + 2 * TaskFileLine(r).size());
    }

    void unopenablePathWritesNothing_data()
    {
        QTest::addColumn<QString>("relative");
        QTest::newRow("missing folder") << QStringLiteral("no/such/folder/list.tsk");
        QTest::newRow("a folder") << QStringLiteral(".");
    }

    void unopenablePathWritesNothing()
    {
        QFETCH(QString, relative);
        QTemporaryDir dir;
        const QString path = dir.filePath(relative);
        QVERIFY(!WriteTaskFile(path, {row("/a.avi", "/b.mp4", "MP4", "avi")}));
        QVERIFY(!QFileInfo(path).isFile());
    }

    void rowFromRecord()
    {
        TaskRecord record;
        record.sourcePath = QStringLiteral("/media/clip one.avi");
        record.outputPath = QStringLiteral("/out/clip one.mp4");
        record.profileName = QString();
        record.sourceExt = QStringLiteral("avi");
        const TaskFileRow r = TaskFileRow::FromRecord(record, QStringLiteral("MP4 (H.264/AAC)"));
        QCOMPARE(TaskFileLine(r), QStringLiteral("/media/clip one.avi$  /out/clip one.mp4$ MP4 (H.264/AAC)$  avi$ $\n"));
    }

    void saveDialogRequest()
    {
        const Prompter::FileRequest request = SaveTaskFileRequest(QStringLiteral("/home/u"));
        QCOMPARE(request.title, QStringLiteral("Select Task File To Save"));
        QCOMPARE(request.filter, QStringLiteral("Task files(*.tsk) (*.tsk)"));
        QCOMPARE(request.defaultSuffix, QStringLiteral("tsk"));
        QCOMPARE(request.startPath, QStringLiteral("/home/u"));
        QVERIFY(!request.multiple);
        QVERIFY(request.mustExist);
        QVERIFY(request.confirmOverwrite);
    }
};

QTEST_GUILESS_MAIN(TestTaskFile)
#include "test_taskfile.moc"
