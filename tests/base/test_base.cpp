#include <QTemporaryDir>
#include <QtTest>

#include "base/FixedText.h"
#include "base/IniFile.h"
#include "base/Numbers.h"
#include "base/SplitString.h"
#include "support/TestSupport.h"

using TestSupport::Utf16;

namespace {
struct Split { QString text, delim; bool keepEmpty; QStringList pieces; };
struct IniRead { QByteArray content; QString section, key, expected; }; // expected: "dflt" for the default
} // namespace

class TestCore : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString writeFile(const QString &name, const QByteArray &bytes)
    {
        TestSupport::WriteFile(m_dir.filePath(name), bytes);
        return m_dir.filePath(name);
    }

private slots:
    void splitString_data()
    {
        QTest::addColumn<Split>("split");
        QTest::newRow("plain") << Split{"a|b|c", "|", false, {"a", "b", "c"}};
        QTest::newRow("empty dropped") << Split{"a||b", "|", false, {"a", "b"}};
        QTest::newRow("empty kept") << Split{"a||b", "|", true, {"a", "", "b"}};
        QTest::newRow("trailing kept even empty") << Split{"a|", "|", false, {"a", ""}};
        QTest::newRow("right trim only") << Split{" a  | b ", "|", false, {" a", " b"}};
        QTest::newRow("no delimiter") << Split{"abc", "|", false, {"abc"}};
        QTest::newRow("empty text") << Split{"", "|", false, {""}};
        QTest::newRow("quoted command line") << Split{"\"/a b/c.avi\" \"/d.mp4\"", "\"", false, {"/a b/c.avi", "/d.mp4", ""}};
        QTest::newRow("blank-only piece dropped") << Split{"x|   |y", "|", false, {"x", "y"}};
        QTest::newRow("multi-char delimiter") << Split{"1, 2,,3", ",", true, {"1", " 2", "", "3"}};
    }
    void splitString()
    {
        QFETCH(Split, split);
        const auto &[text, delim, keepEmpty, pieces] = split;
        QStringList out{"stale"};
        QCOMPARE(SplitString(text, out, delim, keepEmpty), int(pieces.size()));
        QCOMPARE(out, pieces);
    }

    void leadingNumbers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("asInt");
        QTest::addColumn<double>("asDouble");
        QTest::newRow("digits") << "42" << 42 << 42.0;
        QTest::newRow("leading blanks") << "   7x" << 7 << 7.0;
        QTest::newRow("sign") << "-15abc" << -15 << -15.0;
        QTest::newRow("plus") << "+3" << 3 << 3.0;
        QTest::newRow("none") << "abc" << 0 << 0.0;
        QTest::newRow("decimal") << "23.45" << 23 << 23.45;
        QTest::newRow("empty") << "" << 0 << 0.0;
        QTest::newRow("huge saturates") << "99999999999999" << 2147483647 << 99999999999999.0;
    }
    void leadingNumbers()
    {
        QFETCH(QString, text);
        QFETCH(int, asInt);
        QFETCH(double, asDouble);
        QCOMPARE(LeadingInt(text), asInt);
        QCOMPARE(LeadingDouble(text), asDouble);
    }

    void fixedTextCuts()
    {
        FixedText<11> ext;
        ext = QStringLiteral("abcdefghijklmnop");
        QCOMPARE(ext.str(), QStringLiteral("abcdefghij"));
        ext = QStringLiteral("mp4");
        QCOMPARE(ext.str(), QStringLiteral("mp4"));
    }

    void iniRead_data()
    {
        QTest::addColumn<IniRead>("read");
        const QByteArray basic = "[SYSTEM]\r\nSavedPath = /home/u/out \r\nquoted=\"  spaced  \"\r\n"
                                 "single='x'\r\nhalf=\"open\r\n[Other]\r\nSavedPath=other\r\n";
        QTest::newRow("exact") << IniRead{basic, "SYSTEM", "SavedPath", "/home/u/out"};
        QTest::newRow("section case") << IniRead{basic, "system", "SavedPath", "/home/u/out"};
        QTest::newRow("key case") << IniRead{basic, "SYSTEM", "SAVEDPATH", "/home/u/out"};
        QTest::newRow("quotes removed, inside kept") << IniRead{basic, "SYSTEM", "quoted", "  spaced  "};
        QTest::newRow("single quotes") << IniRead{basic, "SYSTEM", "single", "x"};
        QTest::newRow("unbalanced quote kept") << IniRead{basic, "SYSTEM", "half", "\"open"};
        QTest::newRow("other section") << IniRead{basic, "Other", "savedpath", "other"};
        QTest::newRow("missing key gives default") << IniRead{basic, "SYSTEM", "nothing", "dflt"};
        QTest::newRow("missing section gives default") << IniRead{basic, "NONE", "SavedPath", "dflt"};
        QTest::newRow("first key wins") << IniRead{"[a]\nk=1\nk=2\n", "a", "k", "1"};
        QTest::newRow("first section wins") << IniRead{"[a]\nk=1\n[A]\nk=2\nj=3\n", "a", "k", "1"};
        QTest::newRow("utf8 bom and non-latin") << IniRead{"\xEF\xBB\xBF[LANG]\n@21=\xE6\xB7\xBB\xE5\x8A\xA0\n", "LANG", "@21",
                                                           QString::fromUtf8("\xE6\xB7\xBB\xE5\x8A\xA0")};
        QTest::newRow("value with equals") << IniRead{"[s]\nk=a=b\n", "s", "k", "a=b"};
        QTest::newRow("byte-order mark inside is text") << IniRead{"[s]\n\xef\xbb\xbf[x]\nk=v\n", "s", "k", "v"};
        QTest::newRow("comment ignored") << IniRead{"[s]\n;k=c\nk=v\n", "s", "k", "v"};
        const QByteArray longValue(300, 'p');
        QTest::newRow("cut at 249") << IniRead{"[s]\nk=" + longValue + "\n", "s", "k", QString(249, u'p')};
        QTest::newRow("quotes removed before the cut") << IniRead{"[s]\nk=\"" + longValue + "\"\n", "s", "k", QString(249, u'p')};
    }
    void iniRead()
    {
        QFETCH(IniRead, read);
        const auto &[content, section, key, expected] = read;
        const QString path = writeFile(QStringLiteral("read.ini"), content);
        IniFile::Forget(path);
        QCOMPARE(IniFile::ReadString(path, section, key, QStringLiteral("dflt")), expected);
    }

    // Writing one value rewrites only its own line, whatever the others hold.
    void iniWriteTouchesOnlyItsLine_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("key of another case, comment kept") << QByteArray("; mine\r\n[S]\r\nK=old\r\n[x]\r\nk=1\r\n")
                                                           << QByteArray("; mine\r\n[S]\r\nK=new value\r\n[x]\r\nk=1\r\n");
        QTest::newRow("new key after its section's last key") << QByteArray("[s]\r\na=1\r\n  b = 2  \r\n\r\n[x]\r\nk=1\r\n")
                                                               << QByteArray("[s]\r\na=1\r\n  b = 2  \r\nk=new value\r\n\r\n[x]\r\nk=1\r\n");
        QTest::newRow("new section appended") << QByteArray("[x]\r\nk=1\r\n") << QByteArray("[x]\r\nk=1\r\n[s]\r\nk=new value\r\n");
        QTest::newRow("invalid UTF-8 elsewhere") << QByteArray("[s]\nname=\xff\xfe caf\xe9\nk=old\n")
                                                 << QByteArray("[s]\nname=\xff\xfe caf\xe9\nk=new value\n");
        QTest::newRow("mixed line ends") << QByteArray("[s]\r\na=1\nk=old\r\nb=2\n")
                                         << QByteArray("[s]\r\na=1\nk=new value\r\nb=2\n");
        QTest::newRow("a line end unlike the file's") << QByteArray("[s]\r\na=1\r\nk=old\nb=2\r\n")
                                                      << QByteArray("[s]\r\na=1\r\nk=new value\nb=2\r\n");
        QTest::newRow("added after a last line without end") << QByteArray("[s]\na=1")
                                                              << QByteArray("[s]\na=1\nk=new value\n");
        QTest::newRow("UTF-16 with an odd last byte") << Utf16("[s]\r\n") + '\x01' << Utf16("[s]\r\nk=new value\r\n") + '\x01';
        QTest::newRow("new section after a file without end") << QByteArray("[t]\r\na=1")
                                                              << QByteArray("[t]\r\na=1\r\n[s]\r\nk=new value\r\n");
    }
    void iniWriteTouchesOnlyItsLine()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        QCOMPARE(IniFile::WithValue(before, "s", "k", "new value"), after);
        QCOMPARE(IniFile::ValueInText(after, "S", "K"), QStringLiteral("new value"));
    }

    // One value written into a file and both read back: UTF-16, and files of megabytes or with
    // a line of one, read and written at once.
    void iniFileWritten_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QByteArray many("[LANG]\r\n");
        for (int i = 0; i < 150000; ++i)
            many += "@" + QByteArray::number(i) + "=text " + QByteArray::number(i) + "\r\n";
        QTest::newRow("UTF-16") << Utf16(QStringLiteral("[lang]\r\n@1=Nom\r\n")) << "Nom" << "";
        QTest::newRow("150000 lines") << many << "text 1" << "text 2";
        QTest::newRow("a line of 1 MB") << "[LANG]\n@1=" + QByteArray(1 << 20, 'x') + "\n@2=last\n"
                                        << QString(249, u'x') << "last";
        QTest::newRow("1 MB without a line end") << QByteArray(1 << 20, '[') + "\n[LANG]\n@2=last" << "" << "last";
    }
    void iniFileWritten()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, first);
        QFETCH(QString, second);
        const QString path = writeFile(QStringLiteral("written.ini"), content);
        IniFile::Forget(path);
        QCOMPARE(IniFile::ReadString(path, "LANG", "@1"), first);
        QCOMPARE(IniFile::ReadString(path, "LANG", "@2"), second);
        QVERIFY(IniFile::WriteString(path, "LANG", "@2", "changed"));
        QCOMPARE(IniFile::ReadString(path, "LANG", "@2"), QStringLiteral("changed"));
        QCOMPARE(IniFile::ReadString(path, "LANG", "@1"), first);
    }

    void iniWriteCreatesFile()
    {
        const QString path = m_dir.filePath(QStringLiteral("created.ini"));
        QCOMPARE(IniFile::ReadInt(path, "SYSTEM", "HIDEPREW", 10), 10);
        QVERIFY(IniFile::WriteString(path, "SYSTEM", "HIDEPREW", "\"5\""));
        QCOMPARE(IniFile::ReadInt(path, "SYSTEM", "HIDEPREW", 0), 5); // the quotes go before the number is read
        QCOMPARE(IniFile::ReadInt(path, "SYSTEM", "missing", 99), 99);
        QVERIFY(!IniFile::WriteString(m_dir.filePath("no/such/folder/x.ini"), "s", "k", "v"));
    }

    void iniSeesChangesMadeByOthers()
    {
        const QString path = writeFile(QStringLiteral("changing.ini"), "[s]\nk=one\n");
        QCOMPARE(IniFile::ReadString(path, "s", "k"), QStringLiteral("one"));
        writeFile(QStringLiteral("changing.ini"), "[s]\nk=second\n");
        QCOMPARE(IniFile::ReadString(path, "s", "k"), QStringLiteral("second"));
    }
};

QTEST_GUILESS_MAIN(TestCore)
#include "test_base.moc"
