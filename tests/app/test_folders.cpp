#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>

#include "app/AppFolders.h"
#include "app/AppSettings.h"
#include "app/CommandLineHelp.h"
#include "core/IniFile.h"
#include "lang/Language.h"
#include "profiles/CurrentProfile.h"
#include "profiles/ParamOptions.h"
#include "profiles/ProfileCatalogue.h"
#include "support/TestSupport.h"

// Where the program reads and writes in a build folder and in an installed tree, the
// user's own copies of profiles, and the command line's --help and --version.
namespace {

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    f.write(bytes);
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// XDG variables of a test, put back as they were afterwards.
class Environment
{
public:
    void set(const QByteArray &name, const QByteArray &value)
    {
        if (!m_saved.contains(name))
            m_saved.insert(name, qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt);
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
    ~Environment()
    {
        for (auto it = m_saved.cbegin(); it != m_saved.cend(); ++it)
            it.value() ? qputenv(it.key(), *it.value()) : qunsetenv(it.key());
    }

private:
    QMap<QByteArray, std::optional<QByteArray>> m_saved;
};

} // namespace

class TestFolders : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Environment> m_env;
    QString base() const { return m_dir->path(); }
    QString xdg(const char *kind) const { return base() + QStringLiteral("/xdg-") + QLatin1String(kind); }

    // An installed tree under prefix: the data folder with a settings file, a language and
    // one profile, shipped read-only.
    QString install(const QString &prefix)
    {
        const QString data = prefix + QStringLiteral("/share/corvane-studio/");
        writeFile(data + "MirraSoft.ini", "[SYSTEM]\nINIMODE=1\nDefauitLan=en.ini\nLANGENG=en.ini\n");
        writeFile(data + "Lang/en.ini", "[LANG]\n@106=shipped\n");
        writeFile(data + "profile.ini", "[AllCount]\nAllSetNumbers=1\n[profile1]\nSetName=Clip\nPath=profiles/clip.ini\n");
        QDir().mkpath(data + "profiles");
        QFile::copy(TestSupport::SourceDir() + "/data/profiles/mp4_h264_aac.ini", data + "profiles/clip.ini");
        for (const char *f : {"MirraSoft.ini", "Lang/en.ini", "profile.ini", "profiles/clip.ini"})
            QFile::setPermissions(data + f, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
        return prefix + QStringLiteral("/bin/corvane-studio");
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_env = std::make_unique<Environment>();
        m_env->set("HOME", (base() + "/home").toUtf8());
        for (const char *kind : {"CONFIG", "DATA", "STATE", "CACHE"})
            m_env->set(QByteArray("XDG_") + kind + "_HOME", xdg(kind).toUtf8());
    }
    void cleanup()
    {
        m_env.reset();
        m_dir.reset();
    }

    void layout_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<bool>("installed");
        QTest::addColumn<QStringList>("folders"); // library, data, config, user data, state, cache; "@" = base
        const QStringList user{"@/xdg-CONFIG/corvane-studio/", "@/xdg-DATA/corvane-studio/",
                               "@/xdg-STATE/corvane-studio/", "@/xdg-CACHE/corvane-studio/"};
        QTest::newRow("writable build folder keeps everything beside the program")
            << "build" << false
            << QStringList{"@/b/", "@/b/", "@/b/", "@/b/user/", "@/b/user/", "@/b/cache/"};
        QTest::newRow("unwritable build folder writes to the XDG folders")
            << "proc" << false << QStringList{"/proc/", "/proc/"} + user;
        QTest::newRow("installed tree is never written, even when it could be")
            << "usr" << true << QStringList{"@/usr/lib/corvane-studio/", "@/usr/share/corvane-studio/"} + user;
        QTest::newRow("installed under a prefix with blanks and non-Latin letters")
            << "opt" << true
            << QStringList{"@/o p $ü/lib/corvane-studio/", "@/o p $ü/share/corvane-studio/"} + user;
        QTest::newRow("relative XDG paths are ignored: home fallbacks")
            << "relative" << true
            << QStringList{"@/usr/lib/corvane-studio/", "@/usr/share/corvane-studio/",
                           "@/home/.config/corvane-studio/", "@/home/.local/share/corvane-studio/",
                           "@/home/.local/state/corvane-studio/", "@/home/.cache/corvane-studio/"};
        QTest::newRow("data beside the program wins over a share folder next door")
            << "both" << false
            << QStringList{"@/both/bin/", "@/both/bin/", "@/both/bin/", "@/both/bin/user/", "@/both/bin/user/",
                           "@/both/bin/cache/"};
    }
    void layout()
    {
        QFETCH(QString, setup);
        QFETCH(bool, installed);
        QFETCH(QStringList, folders);
        QString program;
        if (setup == "build") {
            program = base() + "/b/corvane-studio";
            writeFile(base() + "/b/profile.ini", "");
        } else if (setup == "proc") {
            program = "/proc/corvane-studio"; // nobody, root included, creates files there
        } else if (setup == "opt") {
            program = install(base() + "/o p $ü");
        } else if (setup == "both") {
            install(base() + "/both");
            writeFile(base() + "/both/bin/profile.ini", "");
            program = base() + "/both/bin/corvane-studio";
        } else {
            program = install(base() + "/usr");
            if (setup == "relative")
                for (const char *v : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME", "XDG_CACHE_HOME"})
                    m_env->set(v, "relative/path");
        }
        folders.replaceInStrings("@", base());
        const AppFolders f = AppFolders::ForProgram(program);
        QCOMPARE(f.GetLayout() == AppFolders::Layout::Installed, installed);
        QCOMPARE(QStringList({f.LibraryFolder(), f.DataFolder(), f.ConfigFolder(), f.UserDataFolder(),
                              f.StateFolder(), f.CacheFolder()}),
                 folders);
        QCOMPARE(f.UsesUserFolders(), folders.at(2).contains("xdg-") || folders.at(2).contains("/home/"));
    }

    void dataFile_data()
    {
        QTest::addColumn<QString>("relative");
        QTest::addColumn<bool>("ownCopy");
        QTest::addColumn<QString>("read");  // "user" or "shipped"
        QTest::addColumn<bool>("writable"); // UserDataFile gives a path
        QTest::newRow("no own copy: shipped") << "profiles/clip.ini" << false << "shipped" << true;
        QTest::newRow("own copy wins") << "profiles/clip.ini" << true << "user" << true;
        QTest::newRow("own language file wins") << "Lang/en.ini" << true << "user" << true;
        QTest::newRow("climbing out is never the user's") << "../escape.ini" << true << "shipped" << false;
        QTest::newRow("an absolute path neither") << "/etc/passwd" << false << "shipped" << false;
    }
    void dataFile()
    {
        QFETCH(QString, relative);
        QFETCH(bool, ownCopy);
        QFETCH(QString, read);
        QFETCH(bool, writable);
        const AppFolders f = AppFolders::ForProgram(install(base() + "/usr"));
        QDir().mkpath(f.UserDataFolder());
        if (ownCopy)
            writeFile(f.UserDataFolder() + relative, "own");
        QCOMPARE(f.DataFile(relative), (read == "user" ? f.UserDataFolder() : f.DataFolder()) + relative);
        const QString target = f.UserDataFile(relative);
        QCOMPARE(!target.isEmpty(), writable);
        if (writable)
            QVERIFY(target.startsWith(f.UserDataFolder()) && QFileInfo(QFileInfo(target).path()).isDir());
    }

    // The first start of an installed copy: settings seeded from the shipped file, every
    // write in the user's folders, the shipped files unchanged.
    void installedSettingsAreTheUsers()
    {
        const QString program = install(base() + "/usr");
        const QString shipped = base() + "/usr/share/corvane-studio/MirraSoft.ini";
        const QByteArray before = readFile(shipped);
        AppSettings settings;
        settings.Load(program);
        const QString config = xdg("CONFIG") + "/corvane-studio/MirraSoft.ini";
        QCOMPARE(settings.GetSettingsPath(), config);
        QVERIFY(settings.IsLanguageKept());
        QCOMPARE(settings.GetLanguage().GetLangString("@106"), QStringLiteral("shipped"));
        settings.SetSavedPath("/srv/out $1");
        QCOMPARE(IniFile::ReadString(config, "SYSTEM", "SavedPath"), QStringLiteral("/srv/out $1"));
        QCOMPARE(readFile(shipped), before);
        QCOMPARE(AppFolders::Current().ConfigFolder(), settings.Folders().ConfigFolder());

        // A user's own language file is read instead of the shipped one.
        writeFile(xdg("DATA") + "/corvane-studio/Lang/en.ini", "[LANG]\n@106=mine\n");
        AppSettings again;
        again.Load(program);
        QCOMPARE(again.GetLanguage().GetLangString("@106"), QStringLiteral("mine"));
    }

    // Edits saved as the user's copy come back on the next selection exactly as they were
    // made; the shipped file is not touched.
    void savedProfile_data()
    {
        QTest::addColumn<QString>("cell");
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("usedType");
        QTest::addColumn<int>("aspectMode");
        QTest::newRow("typed value an entry gives the engine") << "ab" << "96" << 102 << -1;
        QTest::newRow("typed value as the grid stores it") << "ab" << "192000" << 102 << -1;
        QTest::newRow("typed list value that no entry has") << "vb" << "1234000" << 102 << -1;
        QTest::newRow("typed frame size") << "s" << "800x600" << 102 << -1;
        QTest::newRow("text with quotes, blanks and letters") << "title" << " \"Ünïcode\" $x " << 0 << -1;
        QTest::newRow("aspect mode") << "aspect" << QString() << 0 << 4;
    }
    void savedProfile()
    {
        QFETCH(QString, cell);
        QFETCH(QString, value);
        QFETCH(int, usedType);
        QFETCH(int, aspectMode);
        const AppFolders folders = AppFolders::ForProgram(install(base() + "/usr"));
        ReadProfileCatalogue(folders.DataFile("profile.ini"));
        const QString shipped = folders.DataFolder() + "profiles/clip.ini";
        const QByteArray before = readFile(shipped);

        CurrentProfile edited(folders);
        edited.Select("Clip");
        ParamCell *target = FindCell(edited.Tree(), cell);
        QVERIFY(target);
        if (!value.isNull()) {
            target->SValue = value;
            target->UsedType = usedType;
        }
        if (aspectMode >= 0)
            edited.SetAspectMode(aspectMode);
        QString error;
        QVERIFY2(edited.SaveUserCopy(&error), qPrintable(error));
        QCOMPARE(edited.File(), folders.UserDataFolder() + "profiles/clip.ini");

        CurrentProfile reread(folders);
        reread.Select("Clip");
        QCOMPARE(reread.File(), edited.File());
        QCOMPARE(GetParamFromTree(reread.Tree()), GetParamFromTree(edited.Tree()));
        QCOMPARE(reread.AspectMode(), edited.AspectMode());
        QCOMPARE(GetTargetType("Clip", folders), QStringLiteral("mp4"));
        QCOMPARE(readFile(shipped), before);
    }

    void unwritableUserFolderIsReported()
    {
        const QString program = install(base() + "/usr");
        m_env->set("XDG_DATA_HOME", "/proc/nowhere");
        const AppFolders folders = AppFolders::ForProgram(program);
        ReadProfileCatalogue(folders.DataFile("profile.ini"));
        CurrentProfile profile(folders);
        profile.Select("Clip");
        QString error;
        QVERIFY(!profile.SaveUserCopy(&error));
        QVERIFY2(error.startsWith("/proc/nowhere/corvane-studio/profiles/clip.ini: "), qPrintable(error));
        QCOMPARE(profile.File(), folders.DataFolder() + "profiles/clip.ini");
    }

    void runtimeFolder_data()
    {
        QTest::addColumn<int>("existingMode"); // -1: none yet
        QTest::addColumn<bool>("used");
        QTest::newRow("made private") << -1 << true;
        QTest::newRow("private one reused") << 0700 << true;
        QTest::newRow("one others may enter is left alone") << 0755 << false;
    }
    void runtimeFolder()
    {
        QFETCH(int, existingMode);
        QFETCH(bool, used);
        m_env->set("TMPDIR", base().toUtf8());
        m_env->set("XDG_RUNTIME_DIR", QByteArray());
        const QString folder = base() + QStringLiteral("/runtime-%1").arg(geteuid());
        if (existingMode >= 0) {
            QDir().mkpath(folder);
            ::chmod(QFile::encodeName(folder).constData(), mode_t(existingMode));
        }
        EnsureRuntimeFolder();
        QCOMPARE(qEnvironmentVariable("XDG_RUNTIME_DIR"), used ? folder : QString());
        struct stat st;
        QCOMPARE(::stat(QFile::encodeName(folder).constData(), &st), 0);
        QCOMPARE(int(st.st_mode & 0777), used ? 0700 : existingMode);
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
        QString manual = QString::fromUtf8(readFile(TestSupport::SourceDir() + "/dist/corvane-studio.1"));
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
        const QString cmake = QString::fromUtf8(readFile(TestSupport::SourceDir() + "/CMakeLists.txt"));
        const auto m = QRegularExpression(R"(project\(CorvaneStudio VERSION ([0-9.]+))").match(cmake);
        QVERIFY(m.hasMatch());
        QCOMPARE(CommandLineHelp::VersionText(), "corvane-studio " + m.captured(1) + "\n");
    }
};

QTEST_GUILESS_MAIN(TestFolders)
#include "test_folders.moc"
