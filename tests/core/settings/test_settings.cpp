#include <QAction>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include "core/settings/AppSettings.h"
#include "ui/mainwindow/CommandTarget.h"
#include "ui/mainwindow/MenuResources.h"
#include "core/settings/RunLog.h"
#include "ui/mainwindow/MenuTexts.h"
#include "support/TestSupport.h"

using namespace TestSupport;

namespace {
const QByteArray kLanguageKeys = "LANGENG=en.ini\nLANGCHI=zh.ini\nLANJAPAN=ja.ini\nLANBIG5=tw.ini\n"
                                 "LANFRENCH=fr.ini\nLANGERMAN=de.ini\nLANSPANISH=es.ini\n";
} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

    // A fresh program folder per test, with a settings file of the test's own.
    std::unique_ptr<QTemporaryDir> m_dir;
    QString folder() const { return m_dir->path() + u'/'; }
    QString settingsPath() const { return folder() + QStringLiteral("MirraSoft.ini"); }
    QString exe() const { return folder() + QStringLiteral("corvane-studio"); }

    // Every setting a start reads, on one line.
    static QString describe(AppSettings &s)
    {
        const QString flags = QString::number(s.IsLanguageKept()) + QString::number(s.IsPreviewHidden()) +
                              QString::number(s.IsDateKept());
        return QStringList{s.GetSavedPath(), s.GetDefaultLanguage(), s.GetRunMode(), QString::number(s.GetPriorityLevel()),
                           flags, s.GetAssociationRecord(), s.GetLanguage().GetLangString("@106"),
                           QString::number(s.GetLanguage().GetLanguageIndex())}.join(u'|');
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QDir().mkpath(folder() + QStringLiteral("Lang"));
        for (const char *lang : {"en", "zh", "ja", "tw", "fr", "de", "es"})
            WriteFile(folder() + QStringLiteral("Lang/%1.ini").arg(QString::fromLatin1(lang)),
                      QByteArray("[LANG]\n@106=ready-") + lang + "\n@21=  padded  \n[menu]\nFile=file-" + lang + "\n");
    }

    void readsEveryKey_data()
    {
        QTest::addColumn<QByteArray>("file"); // null: none
        QTest::addColumn<QString>("read");
        const auto language = [](const QByteArray &file, const QByteArray &keys) { return "[SYSTEM]\nDefauitLan=" + file + "\n" + keys; };
        // The menu item checked is the last language whose key names the file: an empty name
        // matches every missing key.
        QTest::newRow("no settings file") << QByteArray() << "|||0|000|||6";
        QTest::newRow("big5") << language("tw.ini", kLanguageKeys) << "|tw.ini||0|000||ready-tw|3";
        QTest::newRow("no match is english") << language("xx.ini", kLanguageKeys) << "|xx.ini||0|000|||0";
        QTest::newRow("chinese and german share a file: german")
            << language("same.ini", "LANGCHI=same.ini\nLANGERMAN=same.ini\nLANGENG=en.ini\n") << "|same.ini||0|000|||5";
        QTest::newRow("english and chinese share a file: english")
            << language("same.ini", "LANGCHI=same.ini\nLANGENG=same.ini\n") << "|same.ini||0|000|||0";
        // The priority is read as it stands; the runner treats 7 as normal.
        QTest::newRow("every key, any case, padded")
            << "[system]\nsavedpath=/srv/out put/$x\nDefauitLan=   de.ini\nRUNMODE=  DEBUG_PRINT_CMD \nPROCSEE_LEVEL=7\n"
               "INIMODE=2\nHIDEPREW=1\nKEEPDATE=1\nOLDASSOCIATIONREG= .avi.mkv \n" + kLanguageKeys
            << "/srv/out put/$x|de.ini|DEBUG_PRINT_CMD|7|111|.avi.mkv|ready-de|5";
    }
    void readsEveryKey()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, read);
        if (!file.isNull())
            WriteFile(settingsPath(), file);
        AppSettings settings;
        settings.Load(exe());
        QCOMPARE(describe(settings), read);
        // Choosing English reads LANGENG's file; without one the texts are empty.
        settings.SetLanguage(0);
        QCOMPARE(settings.GetLanguage().GetLangString("@106"), file.contains("LANGENG=en.ini") ? "ready-en" : QString());
    }

    // Each setter writes at once, its own line only: the next start reads what was set.
    void settersWriteAtOnce()
    {
        WriteFile(settingsPath(), "; mine\n[SYSTEM]\nSavedPath=/old\n" + kLanguageKeys);
        AppSettings settings;
        settings.Load(exe());
        settings.SetSavedPath(QStringLiteral("/new \"quoted\" €"));
        QVERIFY(settings.SetPriorityLevel(4));
        QVERIFY(!settings.SetPriorityLevel(7));
        QVERIFY(!settings.SetPriorityLevel(-1));
        settings.SetPreviewHidden(true);
        settings.SetLanguageKept(true);
        settings.SetDateKept(true);
        settings.SetLanguage(2);
        // The texts change at once; menu texts come from their own section.
        QCOMPARE(GetLangString("@21"), QStringLiteral("padded"));
        QCOMPARE(GetLangString("File"), QStringLiteral("file-ja"));
        QCOMPARE(GetLangString("@999"), QString());
        AppSettings next;
        next.Load(exe());
        QCOMPARE(describe(next), QStringLiteral("/new \"quoted\" €|ja.ini||4|111||ready-ja|2"));
        QVERIFY(ReadFile(settingsPath()).startsWith("; mine\n[SYSTEM]\n"));
    }

    void menuTexts()
    {
        WriteFile(folder() + "Lang/en.ini",
                  "[LANG]\n@119=F\n@124=E\n@130=V\n@132=L\n@166=A\n@136=H\n@120=add\n@123=quit\n@133=eng\n@125=all\n");
        WriteFile(settingsPath(), "[SYSTEM]\nDefauitLan=en.ini\n" + kLanguageKeys);
        AppSettings settings;
        settings.Load(exe());
        QMenuBar bar;
        struct NoTarget : CommandTarget
        {
            void OnCommand(int) override {}
            State QueryCommand(int) const override { return {}; }
        } target;
        auto resource = MainMenuResource();
        // A seventh sub-menu keeps its own text.
        resource.append(MenuItemDef{0, QStringLiteral("Extra"), {MenuItemDef{32863, QStringLiteral("&Trad")}}, false});
        BuildMenuBar(&bar, resource, &target);
        int counter = 0;
        ApplyMenuTexts(bar.actions(), counter);
        QCOMPARE(counter, 7);
        QStringList tops;
        for (QAction *a : bar.actions())
            tops << a->text();
        QCOMPARE(tops, (QStringList{"F", "E", "V", "H", "Extra"}));
        // Ids without a text of their own keep the resource text; known ids missing from the file
        // become empty: there is no fallback.
        for (auto [id, text] : {std::pair{32771, "add"}, {57665, "quit"}, {32861, "eng"}, {32863, "Chinese(&Traditional)"},
                                {32841, "&Aqua Style"}, {32800, ""}})
            QCOMPARE(FindCommandAction(bar.actions(), id)->text(), QString::fromUtf8(text));
        QMenu *view = bar.actions().at(2)->menu();
        QCOMPARE(view->actions().at(2)->text(), QStringLiteral("L")); // Set Language
        QCOMPARE(view->actions().at(3)->text(), QStringLiteral("A")); // Application Look
    }

    void runLog_data()
    {
        QTest::addColumn<QString>("runMode");
        QTest::addColumn<bool>("forced");
        QTest::addColumn<bool>("written");
        QTest::newRow("print cmd no run") << "PRINT_CMD_NO_RUN" << false << true;
        QTest::newRow("debug print cmd") << "DEBUG_PRINT_CMD" << false << true;
        QTest::newRow("lower case is not diagnostic") << "debug_print_cmd" << false << false;
        QTest::newRow("empty") << "" << false << false;
        QTest::newRow("forced") << "" << true << true;
    }
    void runLog()
    {
        QFETCH(QString, runMode);
        QFETCH(bool, forced);
        QFETCH(bool, written);
        const QString log = folder() + QStringLiteral("run.log");
        for (const QString &entry : {QStringLiteral("mirracore -y -i \"/a b/ç.avi\""), QStringLiteral("second")})
            RunLog::Write(log, runMode, entry, forced);
        QCOMPARE(QFile::exists(log), written);
        if (written) {
            const QByteArray bytes = ReadFile(log);
            QVERIFY(bytes.startsWith("\xFF\xFE") && bytes.count("\xFF\xFE") == 1);
            const QString text = FromUtf16(bytes);
            QVERIFY2(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d mirracore -y -i \"/a b/ç.avi\"\r\n"
                                                       "\\d\\d:\\d\\d:\\d\\d second\r\n$")).match(text).hasMatch(),
                     qPrintable(text));
        }
        // A log that cannot be opened loses its entry: no folder is made for it.
        RunLog::Write(folder() + "no/such/dir/run.log", runMode, "lost", forced);
        QVERIFY(!QFileInfo::exists(folder() + "no"));
    }
};
QTEST_MAIN(TestSettings)
#include "test_settings.moc"
