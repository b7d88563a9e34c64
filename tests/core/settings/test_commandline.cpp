#include <QRegularExpression>
#include <QtTest>

#include "core/settings/CommandLine.h"
#include "core/settings/CommandLineHelp.h"
#include "support/TestSupport.h"

// The program's own command line: its switches, --help, --version and the manual page.
class TestCommandLine : public QObject
{
    Q_OBJECT

    static QString describe(const CommandLine &cl)
    {
        QStringList parts{"files=" + cl.files.join(u'|')};
        for (auto [on, name] : {std::pair{cl.convert, "convert"}, {cl.resume, "resume"}})
            if (on)
                parts << QString::fromLatin1(name);
        for (auto [value, name] : {std::pair{cl.profile, "profile"}, {cl.destination, "dest"}, {cl.watch, "watch"},
                                   {cl.exportTo, "export"}, {cl.verdictLog, "verdict"}})
            if (!value.isEmpty())
                parts << QString::fromLatin1(name) + u'=' + value;
        return (parts << QStringLiteral("jobs=%1 errors=%2").arg(cl.jobs).arg(cl.errors.size())).join(u' ');
    }

private slots:
    void parse_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("parsed");
        QTest::newRow("empty") << QStringList{} << "files= jobs=1 errors=0";
        QTest::newRow("paths trimmed, blanks inside kept") << QStringList{"/home/u/my clip.avi", " /tmp/b.mp4 "}
                                                         << "files=/home/u/my clip.avi|/tmp/b.mp4 jobs=1 errors=0";
        QTest::newRow("empty arguments skipped") << QStringList{"", "  ", "/x.avi"} << "files=/x.avi jobs=1 errors=0";
        QTest::newRow("headless") << QStringList{"--convert", "--profile", "MP4 Video", "--dest", "/o $ut", "--jobs", "3", "a.avi"}
                                  << "files=a.avi convert profile=MP4 Video dest=/o $ut jobs=3 errors=0";
        QTest::newRow("watch and resume") << QStringList{"--convert", "--resume", "--watch", "/in"}
                                          << "files= convert resume watch=/in jobs=1 errors=0";
        QTest::newRow("switch without value") << QStringList{"a.avi", "--dest"} << "files=a.avi jobs=1 errors=1";
        QTest::newRow("unknown switch") << QStringList{"--frobnicate"} << "files= jobs=1 errors=1";
        QTest::newRow("jobs not a count") << QStringList{"--jobs", "-1", "--jobs", "x"} << "files= jobs=1 errors=2";
        QTest::newRow("jobs 0: automatic") << QStringList{"--jobs", "0"} << "files= jobs=0 errors=0";
        QTest::newRow("watch without convert") << QStringList{"--watch", "/in"} << "files= watch=/in jobs=1 errors=1";
        QTest::newRow("export while converting") << QStringList{"--convert", "--export-commands", "j.tsv"}
                                                 << "files= convert export=j.tsv jobs=1 errors=1";
        QTest::newRow("exit status without a log") << QStringList{"--exit-status", "1"} << "files= jobs=1 errors=1";
    }
    void parse()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, parsed);
        QCOMPARE(describe(ParseCommandLine(args)), parsed);
    }

    void helpRequest_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("request");
        using R = CommandLineHelp::Request;
        QTest::newRow("files only") << QStringList{"a.avi", "--convert"} << int(R::None);
        QTest::newRow("help") << QStringList{"a.avi", "--help"} << int(R::Help);
        QTest::newRow("short help") << QStringList{"-h"} << int(R::Help);
        QTest::newRow("version after a value") << QStringList{"--profile", "x", "--version"} << int(R::Version);
        QTest::newRow("a value is not a switch") << QStringList{"--dest", "--help", "a.avi"} << int(R::None);
        QTest::newRow("first one wins") << QStringList{"--version", "--help"} << int(R::Version);
    }
    void helpRequest()
    {
        QFETCH(QStringList, args);
        QFETCH(int, request);
        QCOMPARE(int(CommandLineHelp::Find(args)), request);
    }

    // Every option in --help, once, on a line of its own, and in the manual page.
    void everyOptionDocumented()
    {
        const QString help = CommandLineHelp::HelpText();
        QString manual = QString::fromUtf8(TestSupport::ReadFile(TestSupport::SourceDir() + "/dist/corvane-studio.1"));
        manual.replace(QStringLiteral("\\-"), QStringLiteral("-"));
        QVERIFY(!manual.isEmpty());
        for (const CommandLineHelp::Option &o : CommandLineHelp::Options()) {
            const QRegularExpression line(QStringLiteral("^  %1 .*\\S$").arg(QRegularExpression::escape(o.name)),
                                          QRegularExpression::MultilineOption);
            QCOMPARE(help.count(line), 1);
            if (o.name.startsWith("--"))
                QVERIFY2(manual.contains(o.name + (o.argument.isEmpty() ? "" : " " + o.argument)) ||
                             manual.contains(".BI " + o.name + " \" " + o.argument),
                         qPrintable(o.name));
        }
        for (const QString &line : help.split('\n'))
            QVERIFY2(line.size() <= 100, qPrintable(line));
    }

    void versionIsTheProjects()
    {
        const QString cmake = QString::fromUtf8(TestSupport::ReadFile(TestSupport::SourceDir() + "/CMakeLists.txt"));
        const auto m = QRegularExpression(R"(project\(CorvaneStudio VERSION ([0-9.]+))").match(cmake);
        QVERIFY(m.hasMatch());
        QCOMPARE(CommandLineHelp::VersionText(), "corvane-studio " + m.captured(1) + "\n");
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "test_commandline.moc"
