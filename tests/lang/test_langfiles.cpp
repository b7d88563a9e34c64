#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>
#include <QtTest>

#include "core/IniFile.h"
#include "support/TestSupport.h"

// The shipped language files and settings file, checked in the source tree so that
// a missing or broken text is caught before it reaches a user.
namespace {

const QStringList kLanguageFiles = {
    QStringLiteral("English.ini"),  QStringLiteral("ChineseSimplified.ini"), QStringLiteral("ChineseTraditional.ini"),
    QStringLiteral("Japanese.ini"), QStringLiteral("French.ini"),            QStringLiteral("German.ini"),
    QStringLiteral("Spanish.ini"),
};

const QStringList kLanguageKeys = {
    QStringLiteral("LANGENG"),   QStringLiteral("LANGCHI"),   QStringLiteral("LANJAPAN"),   QStringLiteral("LANBIG5"),
    QStringLiteral("LANFRENCH"), QStringLiteral("LANGERMAN"), QStringLiteral("LANSPANISH"),
};

constexpr int kMaxValue = IniFile::kValueBuffer - 1;

// Every text id the windows, menus, dialogs and messages ask for.
QList<int> RequiredIds()
{
    QList<int> ids = {7,   9,   10,  12,  13,  14,  29,  30,  32,  34,  35,  44,  53,  54,  58,  59,  61,  62,
                      95,  96,  99,  100, 106, 107, 108, 109, 110, 140, 141, 146, 153, 154, 166, 167};
    const auto addRange = [&ids](int first, int last) {
        for (int id = first; id <= last; ++id)
            ids.append(id);
    };
    addRange(16, 20);
    addRange(21, 27);
    addRange(48, 51);
    addRange(63, 80);
    addRange(88, 94);
    addRange(117, 137);
    addRange(148, 150);
    addRange(156, 158);
    addRange(159, 162);
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    return ids;
}

QString Key(int id)
{
    return QStringLiteral("@%1").arg(id);
}

struct RawEntry
{
    QString key;
    QString value;
    int line;
};

// The [LANG] lines as written, before the reader trims, unquotes and cuts them.
QList<RawEntry> RawLangEntries(const QString &text)
{
    QList<RawEntry> entries;
    bool inLang = false;
    const QStringList lines = text.split(u'\n');
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = lines.at(i).trimmed();
        if (line.startsWith(u'[')) {
            inLang = line.startsWith(QStringLiteral("[LANG]"), Qt::CaseInsensitive);
            continue;
        }
        if (!inLang || line.isEmpty() || line.startsWith(u';'))
            continue;
        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0)
            continue;
        entries.append({line.left(eq).trimmed(), line.mid(eq + 1).trimmed(), i + 1});
    }
    return entries;
}

// printf conversions in a text, "%%" excluded.
QStringList Conversions(const QString &text)
{
    static const QRegularExpression re(
        QStringLiteral(R"(%(%|[-+ #0]*(\d+|\*)?(\.(\d+|\*))?(hh|h|ll|l|L|z|j|t|I64|I32)?[diouxXeEfFgGaAcCsSpn]?))"));
    QStringList found;
    for (auto it = re.globalMatch(text); it.hasNext();) {
        const QString m = it.next().captured(0);
        if (m != QStringLiteral("%%"))
            found.append(m);
    }
    return found;
}

// Keyboard accelerator markers ("&x"); "&&" is a literal ampersand.
int AcceleratorCount(const QString &text)
{
    int count = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) != u'&')
            continue;
        if (i + 1 < text.size() && text.at(i + 1) == u'&') {
            ++i;
            continue;
        }
        if (i + 1 < text.size() && !text.at(i + 1).isSpace())
            ++count;
    }
    return count;
}

} // namespace

class TestLangFiles : public QObject
{
    Q_OBJECT

    QString m_dataDir;
    QString m_langDir;
    QSet<int> m_sourceIds;
    int m_sourceFiles = 0;

    QString langPath(const QString &file) const { return m_langDir + file; }

    void addFileRows()
    {
        QTest::addColumn<QString>("file");
        for (const QString &f : kLanguageFiles)
            QTest::newRow(qPrintable(f)) << f;
    }

private slots:
    void initTestCase()
    {
        const QString source = TestSupport::SourceDir();
        QVERIFY2(!source.isEmpty(), "CORVANE_SOURCE_DIR is not set");
        m_dataDir = source + QStringLiteral("/data/");
        m_langDir = m_dataDir + QStringLiteral("Lang/");
        QVERIFY2(QFileInfo(m_langDir).isDir(), qPrintable(m_langDir));

        // Ids the program itself asks for, as "@123" literals in its sources.
        const QString srcDir = source + QStringLiteral("/src");
        QVERIFY2(QFileInfo(srcDir).isDir(), qPrintable(srcDir));
        static const QRegularExpression literal(QStringLiteral(R"re("@(\d+)")re"));
        QDirIterator it(srcDir, {QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile f(it.next());
            QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(f.fileName()));
            ++m_sourceFiles;
            const QString text = QString::fromUtf8(f.readAll());
            for (auto m = literal.globalMatch(text); m.hasNext();)
                m_sourceIds.insert(m.next().captured(1).toInt());
        }
        QVERIFY2(m_sourceFiles > 0, "no sources found to scan");
    }

    void cleanEncodingAndLayout_data() { addFileRows(); }
    void cleanEncodingAndLayout()
    {
        QFETCH(QString, file);
        QFile f(langPath(file));
        QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(f.fileName()));
        const QByteArray bytes = f.readAll();
        QVERIFY2(!bytes.startsWith("\xEF\xBB\xBF"), "file starts with a UTF-8 byte-order mark");
        QStringDecoder decoder(QStringDecoder::Utf8);
        const QString text = decoder(bytes);
        QVERIFY2(!decoder.hasError(), "file is not valid UTF-8");

        const QList<RawEntry> entries = RawLangEntries(text);
        QVERIFY2(!entries.isEmpty(), "no [LANG] entries");
        QHash<QString, int> firstLine;
        for (const RawEntry &e : entries) {
            const QString where = QStringLiteral("%1 line %2").arg(e.key).arg(e.line);
            // The reader takes the first of two equal keys, so a second one is a silent mistake.
            QVERIFY2(!firstLine.contains(e.key.toUpper()),
                     qPrintable(where + QStringLiteral(" repeats line %1").arg(firstLine.value(e.key.toUpper()))));
            firstLine.insert(e.key.toUpper(), e.line);
            QVERIFY2(e.key.startsWith(u'@'), qPrintable(where + QStringLiteral(": key without '@'")));
            QVERIFY2(e.value.size() <= kMaxValue,
                     qPrintable(where + QStringLiteral(": %1 characters, the reader keeps %2")
                                            .arg(e.value.size())
                                            .arg(kMaxValue)));
            // The reader would strip a pair of surrounding quotes and show something else.
            const bool quoted = e.value.size() >= 2 && (e.value.front() == u'"' || e.value.front() == u'\'')
                                && e.value.back() == e.value.front();
            QVERIFY2(!quoted, qPrintable(where + QStringLiteral(": value wrapped in quotes")));
        }
    }

    void requiredIdsPresent_data() { addFileRows(); }
    void requiredIdsPresent()
    {
        QFETCH(QString, file);
        QStringList missing;
        for (int id : RequiredIds())
            if (IniFile::ReadString(langPath(file), QStringLiteral("LANG"), Key(id)).isEmpty())
                missing.append(Key(id));
        QVERIFY2(missing.isEmpty(), qPrintable(QStringLiteral("missing or empty: ") + missing.join(u' ')));
    }

    void idsUsedInSourcesPresent_data() { addFileRows(); }
    void idsUsedInSourcesPresent()
    {
        QFETCH(QString, file);
        QList<int> ids(m_sourceIds.cbegin(), m_sourceIds.cend());
        std::sort(ids.begin(), ids.end());
        QStringList missing;
        for (int id : ids)
            if (IniFile::ReadString(langPath(file), QStringLiteral("LANG"), Key(id)).isEmpty())
                missing.append(Key(id));
        QVERIFY2(missing.isEmpty(),
                 qPrintable(QStringLiteral("asked for by the program but missing or empty: ") + missing.join(u' ')));
    }

    void formatsMatchEnglish_data() { addFileRows(); }
    void formatsMatchEnglish()
    {
        QFETCH(QString, file);
        const QString path = langPath(file);
        const QString english = langPath(QStringLiteral("English.ini"));

        // The worker formats @9 with the source path as its only argument.
        const QString completed = IniFile::ReadString(path, QStringLiteral("LANG"), QStringLiteral("@9"));
        QCOMPARE(Conversions(completed), QStringList{QStringLiteral("%s")});

        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        for (const RawEntry &e : RawLangEntries(QString::fromUtf8(f.readAll()))) {
            const QString mine = IniFile::ReadString(path, QStringLiteral("LANG"), e.key);
            const QString theirs = IniFile::ReadString(english, QStringLiteral("LANG"), e.key);
            QVERIFY2(Conversions(mine) == Conversions(theirs),
                     qPrintable(QStringLiteral("%1: \"%2\" has other conversions than English \"%3\"")
                                    .arg(e.key, mine, theirs)));
        }
    }

    void acceleratorsMatchEnglish_data() { addFileRows(); }
    void acceleratorsMatchEnglish()
    {
        QFETCH(QString, file);
        const QString english = langPath(QStringLiteral("English.ini"));
        for (int id : RequiredIds()) {
            const QString mine = IniFile::ReadString(langPath(file), QStringLiteral("LANG"), Key(id));
            const int expected = AcceleratorCount(IniFile::ReadString(english, QStringLiteral("LANG"), Key(id)));
            QVERIFY2(expected <= 1, qPrintable(Key(id) + QStringLiteral(": English has several accelerators")));
            QVERIFY2(AcceleratorCount(mine) == expected,
                     qPrintable(QStringLiteral("%1: \"%2\" should have %3 accelerator(s)").arg(Key(id), mine).arg(expected)));
        }
    }

    void settingsNameEachLanguageFile()
    {
        const QString settings = m_dataDir + QStringLiteral("MirraSoft.ini");
        QVERIFY2(QFileInfo(settings).isFile(), qPrintable(settings));
        QSet<QString> named;
        for (const QString &key : kLanguageKeys) {
            const QString name = IniFile::ReadString(settings, QStringLiteral("SYSTEM"), key).trimmed();
            QVERIFY2(!name.isEmpty(), qPrintable(key + QStringLiteral(" is empty")));
            QVERIFY2(QFileInfo(langPath(name)).isFile(), qPrintable(key + QStringLiteral(" names a missing file: ") + name));
            QVERIFY2(!named.contains(name), qPrintable(key + QStringLiteral(" names a file another key names: ") + name));
            named.insert(name);
        }
        QCOMPARE(named, QSet<QString>(kLanguageFiles.cbegin(), kLanguageFiles.cend()));
        // A first start switches to LANGENG's file; the shipped default should already be it.
        QCOMPARE(IniFile::ReadString(settings, QStringLiteral("SYSTEM"), QStringLiteral("DefauitLan")),
                 IniFile::ReadString(settings, QStringLiteral("SYSTEM"), QStringLiteral("LANGENG")));

        // Seven distinct translations: no file is a copy of another with a few texts changed.
        for (int a = 0; a < kLanguageFiles.size(); ++a) {
            for (int b = a + 1; b < kLanguageFiles.size(); ++b) {
                int same = 0;
                const QList<int> ids = RequiredIds();
                for (int id : ids)
                    if (IniFile::ReadString(langPath(kLanguageFiles[a]), QStringLiteral("LANG"), Key(id))
                        == IniFile::ReadString(langPath(kLanguageFiles[b]), QStringLiteral("LANG"), Key(id)))
                        ++same;
                QVERIFY2(same * 2 < ids.size(), qPrintable(QStringLiteral("%1 and %2 share %3 of %4 texts")
                                                               .arg(kLanguageFiles[a], kLanguageFiles[b])
                                                               .arg(same)
                                                               .arg(ids.size())));
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestLangFiles)
#include "test_langfiles.moc"
