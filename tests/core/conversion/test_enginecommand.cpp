#include <QtTest>

#include "core/conversion/EngineCommand.h"
#include "core/conversion/JobCount.h"

namespace {
// Options written as the log shows them; the values the tests use hold no blanks.
EngineOptions options(const QString &text)
{
    return EngineOptions(text.split(u' ', Qt::SkipEmptyParts));
}
} // namespace

class TestEngineCommand : public QObject
{
    Q_OBJECT

private slots:
    void automaticJobs_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("cores");
        QTest::addColumn<int>("jobs");
        // An encoder that fills every core (or a card's) gets one job; others one per core, up to 8.
        QTest::newRow("x264") << " -vcodec libx264 -crf 23" << 16 << 1;
        QTest::newRow("card encoder") << " -vcodec h264_vaapi" << 8 << 1;
        QTest::newRow("mpeg4") << " -vcodec mpeg4 -vb 800" << 2 << 2;
        QTest::newRow("mpeg4, many cores") << " -vcodec mpeg4" << 32 << 8;
        QTest::newRow("last codec counts") << " -vcodec libx264 -vcodec mpeg4" << 4 << 4;
        QTest::newRow("audio only") << " -vcodec libx264 -vn -acodec libmp3lame" << 4 << 4;
        QTest::newRow("x265 as -c:v") << " -c:v libx265" << 4 << 1;
    }
    void automaticJobs()
    {
        QFETCH(QString, text);
        QFETCH(int, cores);
        QFETCH(int, jobs);
        const EngineOptions profile = options(text);
        QCOMPARE(JobCount::Automatic(profile, cores), jobs);
        QCOMPARE(JobCount::Resolve(0, profile, cores), jobs);
        QCOMPARE(JobCount::Resolve(3, profile, cores), 3); // a number chosen wins
    }

    void threadsShareTheCores()
    {
        QCOMPARE(JobCount::ThreadsPerJob(1, 8), 0); // one engine chooses for itself
        QCOMPARE(JobCount::ThreadsPerJob(2, 8), 4);
        QCOMPARE(JobCount::ThreadsPerJob(3, 2), 1);
    }

    // Each row rewrites " -vcodec mpeg4 -s TARGET -ab 128" for a source; "=" leaves the options
    // as they are, and a row starting with a blank gives its options whole.
    void aspectModes_data()
    {
        QTest::addColumn<QString>("options");
        QTest::addColumn<QString>("source");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("expected");
        auto row = [](const char *name, const char *source, const QString &target, int mode, const QString &expected) {
            const QString options = target.startsWith(u' ') ? target : " -vcodec mpeg4 -s " + target + " -ab 128";
            QTest::newRow(name) << options << source << mode
                                << (expected == "=" ? options : target.startsWith(u' ') ? expected : " -vcodec mpeg4 " + expected + " -ab 128");
        };
        // Source wider than the target.
        row("wide 1", "720x480", "320x240", 1, "-s 320x240 -aspect 1.333");
        row("wide 2", "720x480", "320x240", 2, "-cropleft 40 -cropright 40 -s 320x240 -aspect 1.333");
        row("wide 2 odd crop", "722x480", "320x240", 2, "-cropleft 42 -cropright 40 -s 320x240 -aspect 1.333");
        row("wide 3", "720x480", "320x240", 3, "-s 320x214 -aspect 1.333 -padtop 14 -padbottom 12");
        row("wide 4", "720x480", "320x240", 4, "-s 320x214 -aspect 1.333 -padtop 14 -padbottom 12");
        row("wide 5", "720x480", "320x240", 5, "-s 320x214 -aspect 1.333 -padtop 14 -padbottom 12");
        row("wide 6", "720x480", "320x240", 6, "-s 320x214 -aspect 1.333 -padbottom 26");
        row("wide 7", "720x480", "320x240", 7, "-s 320x214 -aspect 1.333 -padtop 26");
        row("wide 3 odd total, even half", "640x360", "320x241", 3, "-s 320x180 -aspect 1.328 -padtop 30 -padbottom 30");
        row("wide 6 odd pad made even", "640x360", "320x241", 6, "-s 320x180 -aspect 1.328 -padbottom 62");
        row("wide 7 odd pad kept", "640x360", "320x241", 7, "-s 320x180 -aspect 1.328 -padtop 61");
        // Source narrower than the target.
        row("narrow 1", "480x640", "320x240", 1, "-s 320x240 -aspect 1.333");
        row("narrow 2", "480x640", "320x240", 2, "-croptop 140 -cropbottom 140 -s 320x240 -aspect 1.333");
        row("narrow 3", "506x640", "320x240", 3, "-s 190x240 -aspect 1.333 -padleft 66 -padright 64");
        row("narrow 4", "506x640", "320x240", 4, "-s 190x240 -aspect 1.333 -padright 130");
        row("narrow 5", "506x640", "320x240", 5, "-s 190x240 -aspect 1.333 -padleft 130");
        row("narrow 6", "506x640", "320x240", 6, "-s 190x240 -aspect 1.333 -padleft 66 -padright 64");
        row("narrow 7", "480x640", "320x240", 7, "-s 180x240 -aspect 1.333 -padleft 70 -padright 70");
        row("narrow 4 odd width made even", "500x640", "321x240", 4, "-s 188x240 -aspect 1.337 -padright 134");
        // Equal proportions: the size stays, no crop.
        row("equal 2", "640x480", "320x240", 2, "-s 320x240 -aspect 1.333");
        row("equal 3", "640x480", "320x240", 3, "-s 320x240 -aspect 1.333");
        // The probe's size field with its ratio part.
        row("PAR DAR suffix", "720x480 [PAR 8:9 DAR 4:3]", "320x240", 3, "-s 320x214 -aspect 1.333 -padtop 14 -padbottom 12");
        // Only the last -s is rewritten; "-S" counts too.
        row("last size wins", "640x480", " -s 320x240 -s 640x480 -r 25", 1, " -s 320x240 -s 640x480 -aspect 1.333 -r 25");
        row("-S", "720x480", " -S 320x240", 1, " -S 320x240 -aspect 1.333");
        // Left alone: no mode, a source or target size that cannot be read, no -s.
        row("mode 0", "720x480", "320x240", 0, "=");
        row("mode 8", "720x480", "320x240", 8, "=");
        row("mode -1", "720x480", "320x240", -1, "=");
        row("x first", "x480", "320x240", 3, "=");
        row("no x", "720 by 480", "320x240", 3, "=");
        row("height 0: ratio infinite", "1280x0", "320x240", 3, "=");
        row("width 0: ratio 0", "0x480", "320x240", 3, "=");
        row("ratio above 100", "10100x100", "320x240", 3, "=");
        row("empty source size", "", "320x240", 3, "=");
        row("no -s", "720x480", " -vcodec mpeg4 -vb 700", 3, "=");
        row("-s last", "720x480", " -vcodec mpeg4 -s", 3, "=");
        row("target without x", "720x480", "320", 3, "=");
        row("target height 0", "720x480", "320x0", 3, "=");
    }
    void aspectModes()
    {
        QFETCH(QString, options);
        QFETCH(QString, source);
        QFETCH(int, mode);
        QFETCH(QString, expected);
        QCOMPARE(ApplyAspectMode(::options(options), source, AspectModeFromValue(mode)).Text(), expected);
    }

    void trims_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("stop");
        QTest::addColumn<QString>("expected");
        QTest::newRow("none") << 0 << 0 << " -vb 700";
        QTest::newRow("stop only") << 0 << 90 << " -vb 700 -t 90";
        QTest::newRow("start only") << 30 << 0 << " -vb 700 -ss 30";
        QTest::newRow("both") << 10 << 70 << " -vb 700 -ss 10 -t 60";
        QTest::newRow("negative start ignored") << -5 << 20 << " -vb 700 -t 25";
    }
    void trims()
    {
        QFETCH(int, start);
        QFETCH(int, stop);
        QFETCH(QString, expected);
        QCOMPARE(AppendTrimOptions(options(" -vb 700"), start, stop).Text(), expected);
    }

    void argumentVector()
    {
        const QString source = "/in/a \"b\" $c ключ.avi";
        const QString output = "/out/a \"b\" $c ключ.mp4";
        const EngineCommand command = BuildEngineCommand(
            "/p/mirracore", source, EngineOptions({"-vcodec", "libx264", "-title", "My  Movie", "-s", "320x240"}), output);
        QCOMPARE(command.Program(), QStringLiteral("/p/mirracore"));
        QCOMPARE(command.Arguments(), (QStringList{"-y", "-i", source, "-vcodec", "libx264", "-title", "My  Movie", "-s", "320x240",
                                    "-qmin", "1", "-qmax", "51", "-level", "13", output}));
        QCOMPARE(command.Text(), "/p/mirracore -y -i \"" + source + "\"  -vcodec libx264 -title My  Movie -s 320x240 "
                                 "-qmin 1 -qmax 51 -level 13 \"" + output + "\"");
    }
};

QTEST_GUILESS_MAIN(TestEngineCommand)
#include "test_enginecommand.moc"
