#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>

#include "core/settings/AppFolders.h"
#include "core/settings/AppSettings.h"
#include "base/IniFile.h"
#include "core/settings/Language.h"
#include "core/profiles/CurrentProfile.h"
#include "core/profiles/ParamOptions.h"
#include "core/profiles/ProfileCatalogue.h"
#include "support/TestSupport.h"

// Where the program reads and writes in a build folder and in an installed tree, and the
// user's own copies of profiles.
using TestSupport::WriteFile;

namespace {
// Where the program is ("@": the test's folder), where an installed tree is put if anywhere, a
// catalogue beside the program as in a build folder, the XDG variables' value (empty: the test's
// folders); then the library and data folder found, and where it writes: beside, xdg or home.
struct Layout { QString program, prefix; bool dataBeside; QByteArray xdgValue; QString shipped, writes; };
} // namespace

class TestFolders : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QString base() const { return m_dir->path(); }
    QString xdg(const char *kind) const { return base() + QStringLiteral("/xdg-") + QLatin1String(kind); }

    // An installed tree under prefix: the data folder with a settings file, a language and
    // one profile, shipped read-only.
    QString install(const QString &prefix)
    {
        const QString data = prefix + QStringLiteral("/share/corvane-studio/");
        WriteFile(data + "MirraSoft.ini", "[SYSTEM]\nINIMODE=1\nDefauitLan=en.ini\nLANGENG=en.ini\n");
        WriteFile(data + "Lang/en.ini", "[LANG]\n@106=shipped\n");
        WriteFile(data + "profile.ini", "[AllCount]\nAllSetNumbers=1\n[profile1]\nSetName=Clip\nPath=profiles/clip.ini\n");
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
        qputenv("HOME", (base() + "/home").toUtf8());
        for (const char *kind : {"CONFIG", "DATA", "STATE", "CACHE"})
            qputenv(QByteArray("XDG_") + kind + "_HOME", xdg(kind).toUtf8());
    }

    void layout_data()
    {
        QTest::addColumn<Layout>("layout");
        QTest::newRow("writable build folder keeps everything beside the program")
            << Layout{"@/b/corvane-studio", "", true, {}, "@/b/", "beside"};
        QTest::newRow("unwritable build folder writes to the XDG folders") // nobody creates files in /proc
            << Layout{"/proc/corvane-studio", "", false, {}, "/proc/", "xdg"};
        QTest::newRow("installed tree is never written, even when it could be")
            << Layout{"@/usr/bin/corvane-studio", "@/usr", false, {}, "@/usr/*/corvane-studio/", "xdg"};
        QTest::newRow("installed under a prefix with blanks, $ and non-Latin letters")
            << Layout{"@/o p $ü/bin/corvane-studio", "@/o p $ü", false, {}, "@/o p $ü/*/corvane-studio/", "xdg"};
        QTest::newRow("relative XDG paths are ignored: the home folder's")
            << Layout{"@/usr/bin/corvane-studio", "@/usr", false, "relative/path", "@/usr/*/corvane-studio/", "home"};
        QTest::newRow("data beside the program wins over a share folder next door")
            << Layout{"@/usr/bin/corvane-studio", "@/usr", true, {}, "@/usr/bin/", "beside"};
    }
    void layout()
    {
        QFETCH(Layout, layout);
        auto &[program, prefix, dataBeside, xdgValue, shipped, writes] = layout;
        for (QString *text : {&program, &prefix, &shipped})
            text->replace("@", base());
        if (!prefix.isEmpty())
            install(prefix);
        if (dataBeside)
            WriteFile(QFileInfo(program).path() + "/profile.ini", "");
        if (!xdgValue.isEmpty())
            for (const char *kind : {"CONFIG", "DATA", "STATE", "CACHE"})
                qputenv(QByteArray("XDG_") + kind + "_HOME", xdgValue);

        const AppFolders f = AppFolders::ForProgram(program);
        QCOMPARE(f.GetLayout() == AppFolders::Layout::Installed, shipped.contains("*"));
        QCOMPARE(f.LibraryFolder(), QString(shipped).replace("*", "lib"));
        QCOMPARE(f.DataFolder(), QString(shipped).replace("*", "share"));
        QCOMPARE(f.UsesUserFolders(), writes != "beside");
        QStringList expected = {shipped, shipped + "user/", shipped + "user/", shipped + "cache/"};
        if (writes == "xdg")
            expected = QStringList{xdg("CONFIG"), xdg("DATA"), xdg("STATE"), xdg("CACHE")};
        if (writes == "home")
            expected = QStringList{"/.config", "/.local/share", "/.local/state", "/.cache"}.replaceInStrings(
                QRegularExpression("^"), base() + "/home");
        if (writes != "beside")
            expected.replaceInStrings(QRegularExpression("$"), "/corvane-studio/");
        QCOMPARE(QStringList({f.ConfigFolder(), f.UserDataFolder(), f.StateFolder(), f.CacheFolder()}), expected);
    }

    void dataFile_data()
    {
        QTest::addColumn<QString>("relative");
        QTest::addColumn<bool>("ownCopy");
        QTest::addColumn<QString>("read");  // "user" or "shipped"
        QTest::addColumn<bool>("writable"); // UserDataFile gives a path
        QTest::newRow("no own copy: shipped") << "profiles/clip.ini" << false << "shipped" << true;
        QTest::newRow("own copy wins") << "profiles/clip.ini" << true << "user" << true;
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
            WriteFile(f.UserDataFolder() + relative, "own");
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
        const QByteArray before = TestSupport::ReadFile(shipped);
        AppSettings settings;
        settings.Load(program);
        const QString config = xdg("CONFIG") + "/corvane-studio/MirraSoft.ini";
        QCOMPARE(settings.GetSettingsPath(), config);
        QVERIFY(settings.IsLanguageKept());
        QCOMPARE(settings.GetLanguage().GetLangString("@106"), QStringLiteral("shipped"));
        settings.SetSavedPath("/srv/out $1");
        QCOMPARE(IniFile::ReadString(config, "SYSTEM", "SavedPath"), QStringLiteral("/srv/out $1"));
        QCOMPARE(TestSupport::ReadFile(shipped), before);
        QCOMPARE(AppFolders::Current().ConfigFolder(), settings.Folders().ConfigFolder());

        // A user's own language file is read instead of the shipped one.
        WriteFile(xdg("DATA") + "/corvane-studio/Lang/en.ini", "[LANG]\n@106=mine\n");
        AppSettings again;
        again.Load(program);
        QCOMPARE(again.GetLanguage().GetLangString("@106"), QStringLiteral("mine"));
    }

    // Edits saved as the user's copy come back on the next selection exactly as they were
    // made; the shipped file is not touched.
    void savedProfile_data()
    {
        QTest::addColumn<QString>("cell");
        QTest::addColumn<QString>("value"); // typed; for "aspect" the mode chosen
        QTest::newRow("typed value an entry gives the engine") << "ab" << "96";
        QTest::newRow("typed value as the grid stores it") << "ab" << "192000";
        QTest::newRow("typed list value that no entry has") << "vb" << "1234000";
        QTest::newRow("typed frame size") << "s" << "800x600";
        QTest::newRow("text with quotes, blanks and letters") << "title" << " \"Ünïcode\" $x ";
        QTest::newRow("aspect mode") << "aspect" << "4";
    }
    void savedProfile()
    {
        QFETCH(QString, cell);
        QFETCH(QString, value);
        const AppFolders folders = AppFolders::ForProgram(install(base() + "/usr"));
        ReadProfileCatalogue(folders.DataFile("profile.ini"));
        const QString shipped = folders.DataFolder() + "profiles/clip.ini";
        const QByteArray before = TestSupport::ReadFile(shipped);

        CurrentProfile edited(folders);
        edited.Select("Clip");
        ParamCell *target = FindCell(edited.Tree(), cell);
        QVERIFY(target);
        if (cell == "aspect")
            edited.SetAspectMode(value.toInt());
        else // a typed value, as the grid keeps it
            target->SValue = value, target->UsedType = target->nValueType == ParamCell::kText ? 0 : ParamCell::kUserValue;
        QString error;
        QVERIFY2(edited.SaveUserCopy(&error), qPrintable(error));
        QCOMPARE(edited.File(), folders.UserDataFolder() + "profiles/clip.ini");

        CurrentProfile reread(folders);
        reread.Select("Clip");
        QCOMPARE(reread.File(), edited.File());
        QCOMPARE(GetParamFromTree(reread.Tree()), GetParamFromTree(edited.Tree()));
        QCOMPARE(reread.AspectMode(), edited.AspectMode());
        QCOMPARE(GetTargetType("Clip", folders), QStringLiteral("mp4"));
        QCOMPARE(TestSupport::ReadFile(shipped), before);
    }

    void unwritableUserFolderIsReported()
    {
        const QString program = install(base() + "/usr");
        qputenv("XDG_DATA_HOME", "/proc/nowhere");
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
        const QByteArray tmp = qgetenv("TMPDIR");
        qputenv("TMPDIR", base().toUtf8());
        qunsetenv("XDG_RUNTIME_DIR");
        const QString folder = base() + QStringLiteral("/runtime-%1").arg(geteuid());
        if (existingMode >= 0) {
            QDir().mkpath(folder);
            ::chmod(QFile::encodeName(folder).constData(), mode_t(existingMode));
        }
        EnsureRuntimeFolder();
        tmp.isNull() ? qunsetenv("TMPDIR") : qputenv("TMPDIR", tmp);
        QCOMPARE(qEnvironmentVariable("XDG_RUNTIME_DIR"), used ? folder : QString());
        struct stat st;
        QCOMPARE(::stat(QFile::encodeName(folder).constData(), &st), 0);
        QCOMPARE(int(st.st_mode & 0777), used ? 0700 : existingMode);
    }
};

QTEST_GUILESS_MAIN(TestFolders)
#include "test_folders.moc"
