#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>
#include <QtTest>

#include "base/IniFile.h"
#include "support/TestSupport.h"

// The shipped language files and settings file, checked in the source tree so that
// a missing or broken text is caught before it reaches a user.
namespace {

const QStringList kLanguageFiles = {"English.ini", "ChineseSimplified.ini", "ChineseTraditional.ini", "Japanese.ini",
                                    "French.ini",  "German.ini",            "Spanish.ini"};

QString Text(const QString &path, int id)
{
    return IniFile::ReadString(path, QStringLiteral("LANG"), QStringLiteral("@%1").arg(id));
}

// printf conversions in a text, "%%" excluded.
QStringList Conversions(const QString &text)
{
    static const QRegularExpression re(QStringLiteral(R"(%(%|[-+ #0]*(\d+|\*)?(\.(\d+|\*))?(hh|h|ll|l|L|z|j|t)?[diouxXeEfFgGaAcCsSpn]?))"));
    QStringList found;
    for (auto it = re.globalMatch(text); it.hasNext();)
        if (const QString m = it.next().captured(0); m != QStringLiteral("%%"))
            found.append(m);
    return found;
}

} // namespace

class TestLangFiles : public QObject
{
    Q_OBJECT

    QString m_dataDir;
    QSet<int> m_sourceIds;

private slots:
    void initTestCase()
    {
        m_dataDir = TestSupport::SourceDir() + QStringLiteral("/data/");
        // Every text id the windows, menus, dialogs and messages ask for: the "@123" literals in the sources.
        static const QRegularExpression literal(QStringLiteral(R"re("@(\d+)")re"));
        QDirIterator it(TestSupport::SourceDir() + QStringLiteral("/src"), {"*.cpp", "*.h"}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile f(it.next());
            QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(f.fileName()));
            for (auto m = literal.globalMatch(QString::fromUtf8(f.readAll())); m.hasNext();)
                m_sourceIds.insert(m.next().captured(1).toInt());
        }
        QVERIFY2(m_sourceIds.size() > 20, "no sources found to scan");
    }

    void languageFile_data()
    {
        QTest::addColumn<QString>("file");
        for (const QString &f : kLanguageFiles)
            QTest::newRow(qPrintable(f)) << f;
    }
    void languageFile()
    {
        QFETCH(QString, file);
        const QString path = m_dataDir + "Lang/" + file, english = m_dataDir + "Lang/English.ini";
        QFile f(path);
        QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(path));
        const QByteArray bytes = f.readAll();
        QVERIFY2(!bytes.startsWith("\xEF\xBB\xBF"), "starts with a UTF-8 byte-order mark");
        QStringDecoder decoder(QStringDecoder::Utf8);
        const QStringList lines = QString(decoder(bytes)).split(u'\n');
        QVERIFY2(!decoder.hasError(), "not valid UTF-8");

        // The lines as written, before the reader trims and cuts them.
        QSet<QString> keys;
        for (int i = 0; i < lines.size(); ++i) {
            const QString line = lines[i].trimmed();
            if (!line.startsWith(u'@'))
                continue;
            const QString key = line.section(u'=', 0, 0).trimmed(), value = line.section(u'=', 1).trimmed();
            const QString where = QStringLiteral("line %1 (%2)").arg(i + 1).arg(key);
            // The reader takes the first of two equal keys, so a second one is a silent mistake.
            QVERIFY2(!keys.contains(key.toUpper()), qPrintable(where + " repeats a key"));
            keys.insert(key.toUpper());
            QVERIFY2(value.size() <= IniFile::kValueBuffer - 1, qPrintable(where + QStringLiteral(": %1 characters").arg(value.size())));
            const bool quoted = value.size() >= 2 && value.front() == value.back() && (value.front() == u'"' || value.front() == u'\'');
            QVERIFY2(!quoted, qPrintable(where + ": the reader would strip the quotes"));
            QVERIFY2(Conversions(value) == Conversions(Text(english, key.mid(1).toInt())),
                     qPrintable(where + ": other printf conversions than English"));
        }
        QStringList missing;
        for (int id : std::as_const(m_sourceIds))
            if (Text(path, id).isEmpty())
                missing.append(QStringLiteral("@%1").arg(id));
        QVERIFY2(missing.isEmpty(), qPrintable("missing or empty: " + missing.join(u' ')));
        // The worker formats @9 with the source path as its only argument.
        QCOMPARE(Conversions(Text(path, 9)), QStringList{QStringLiteral("%s")});
    }

    void settingsNameEachLanguageFile()
    {
        const QString settings = m_dataDir + QStringLiteral("MirraSoft.ini");
        QSet<QString> named;
        for (const char *key : {"LANGENG", "LANGCHI", "LANJAPAN", "LANBIG5", "LANFRENCH", "LANGERMAN", "LANSPANISH"}) {
            const QString name = IniFile::ReadString(settings, QStringLiteral("SYSTEM"), QString::fromLatin1(key)).trimmed();
            QVERIFY2(QFileInfo(m_dataDir + "Lang/" + name).isFile(), qPrintable(QStringLiteral("%1 names \"%2\"").arg(key, name)));
            named.insert(name);
        }
        QCOMPARE(named, QSet<QString>(kLanguageFiles.cbegin(), kLanguageFiles.cend())); // seven distinct files
        // A first start switches to LANGENG's file; the shipped default should already be it.
        QCOMPARE(IniFile::ReadString(settings, "SYSTEM", "DefauitLan"), IniFile::ReadString(settings, "SYSTEM", "LANGENG"));

        // Seven translations: no file is a copy of another with a few texts changed.
        const QList<int> ids = m_sourceIds.values();
        for (int a = 0; a < kLanguageFiles.size(); ++a)
            for (int b = a + 1; b < kLanguageFiles.size(); ++b) {
                int same = 0;
                for (int id : ids)
                    same += Text(m_dataDir + "Lang/" + kLanguageFiles[a], id) == Text(m_dataDir + "Lang/" + kLanguageFiles[b], id);
                QVERIFY2(same * 2 < ids.size(), qPrintable(kLanguageFiles[a] + " and " + kLanguageFiles[b] + " share most texts"));
            }
    }
};

QTEST_GUILESS_MAIN(TestLangFiles)
#include "test_langfiles.moc"
