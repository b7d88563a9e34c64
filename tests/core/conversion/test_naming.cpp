#include <QDir>
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
        QTest::addColumn<QString>("path");     // below a folder that holds a file "file", unless absolute
        QTest::addColumn<QString>("expected"); // empty: the folder cannot be made, and the user is told
        QTest::newRow("nested new folders") << "a/b/c" << "a/b/c";
        QTest::newRow("doubled separators") << "a//b" << "a/b";
        QTest::newRow("trailing separator kept") << "x/y/" << "x/y/";
        QTest::newRow("trailing blanks of a part dropped") << "p  /q" << "p/q";
        QTest::newRow("non-Latin and $") << "вывод/$dir" << "вывод/$dir";
        QTest::newRow("nothing can be made below /proc, not even by root") << "/proc/no-such-dir/out" << "";
        QTest::newRow("a file where a folder should be") << "file/sub" << "";
    }
    void ensureFolderPath()
    {
        QFETCH(QString, path);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        TestSupport::Touch(dir.filePath("file"));
        const QString full = path.startsWith(u'/') ? path : dir.path() + "/" + path;
        const QString result = EnsureFolderPath(full);
        QCOMPARE(result, expected.isEmpty() ? QString() : dir.path() + "/" + expected);
        QCOMPARE(QFileInfo(result).isDir(), !expected.isEmpty());
        QCOMPARE(m_messages, expected.isEmpty() ? QStringList{"Create  outPut file path " + full + " Failed!"} : QStringList());
    }
};

QTEST_GUILESS_MAIN(TestNaming)
#include "test_naming.moc"
