#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "core/conversion/OutputNaming.h"
#include "base/UserMessage.h"
#include "support/TestSupport.h"

class TestNaming : public QObject
{
    Q_OBJECT

    QStringList m_messages;


private slots:
    void init()
    {
        m_messages.clear();
        SetUserMessageHandler([this](const QString &text) { m_messages << text; });
    }
    void cleanup() { SetUserMessageHandler(nullptr); }

    void composeWithAndWithoutTrailingSlash()
    {
        QTemporaryDir dir;
        const QString out = dir.path() + "/out";
        QCOMPARE(ComposeOutputPath(out, "clip", "mp4"), out + "/clip.mp4");
        QCOMPARE(ComposeOutputPath(out + "/", "clip", "mp4"), out + "/clip.mp4");
    }

    void uniqueNames_data()
    {
        QTest::addColumn<QStringList>("existing"); // a folder ends in "/"
        QTest::addColumn<QString>("wanted");
        QTest::addColumn<QString>("expected");
        QTest::newRow("free") << QStringList{} << "clip.mp4" << "clip.mp4";
        QTest::newRow("taken") << QStringList{"clip.mp4"} << "clip.mp4" << "clip_0.mp4";
        QTest::newRow("two taken") << QStringList{"clip.mp4", "clip_0.mp4"} << "clip.mp4" << "clip_1.mp4";
        QTest::newRow("a folder counts as taken") << QStringList{"clip.mp4/"} << "clip.mp4" << "clip_0.mp4";
        QTest::newRow("counter on the name as it was") << QStringList{"clip_0.mp4", "clip_0_0.mp4"} << "clip_0.mp4" << "clip_0_1.mp4";
        QTest::newRow("only the last dot is the extension") << QStringList{"my.clip.v2.mkv"} << "my.clip.v2.mkv" << "my.clip.v2_0.mkv";
        QTest::newRow("no extension") << QStringList{"README"} << "README" << "README_0";
        QTest::newRow("blanks, quotes, $ and non-Latin") << QStringList{"a \"b\" $c ключ.mp4"} << "a \"b\" $c ключ.mp4"
                                                         << "a \"b\" $c ключ_0.mp4";
    }
    void uniqueNames()
    {
        QFETCH(QStringList, existing);
        QFETCH(QString, wanted);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        for (const QString &f : existing)
            f.endsWith(u'/') ? void(QDir(dir.path()).mkdir(f)) : void(TestSupport::Touch(dir.filePath(f)));
        QCOMPARE(MakeUniqueOutputPath(dir.filePath(wanted)), dir.filePath(expected));
    }

    void ensureFolderPath_data()
    {
        QTest::addColumn<QString>("relative");
        QTest::addColumn<QString>("expected");
        QTest::newRow("nested new folders") << "a/b/c" << "a/b/c";
        QTest::newRow("doubled separators") << "a//b" << "a/b";
        QTest::newRow("trailing separator kept") << "x/y/" << "x/y/";
        QTest::newRow("trailing blanks of a part dropped") << "p  /q" << "p/q";
        QTest::newRow("non-Latin and $") << "вывод/$dir" << "вывод/$dir";
    }
    void ensureFolderPath()
    {
        QFETCH(QString, relative);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        const QString result = EnsureFolderPath(dir.path() + "/" + relative);
        QCOMPARE(result, dir.path() + "/" + expected);
        QVERIFY(QFileInfo(result).isDir());
        QVERIFY(m_messages.isEmpty());
    }

    void ensureFolderPathFailure()
    {
        // Nothing can be created below /proc, not even by root.
        QCOMPARE(EnsureFolderPath("/proc/no-such-dir/out"), QString());
        QCOMPARE(m_messages, QStringList{"Create  outPut file path /proc/no-such-dir/out Failed!"});
        // A file standing where a folder should be is a failure too.
        QTemporaryDir dir;
        TestSupport::Touch(dir.filePath("file"));
        m_messages.clear();
        QCOMPARE(EnsureFolderPath(dir.filePath("file") + "/sub"), QString());
        QCOMPARE(m_messages.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestNaming)
#include "test_naming.moc"
