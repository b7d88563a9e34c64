#include <QtTest>

#include "core/conversion/EngineCommand.h"
#include "core/conversion/JobCount.h"

namespace {
// Options written as the log shows them; the values the tests use hold no blanks.
EngineOptions options(const QString &text)
{
    return EngineOptions(text.split(u' ', Qt::SkipEmptyParts));
}
QString aspect(const QString &text, const QString &source, AspectMode mode)
{
    return ApplyAspectMode(options(text), source, mode).Text();
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

    void workedExample()
    {
        const EngineOptions trimmed = AppendTrimOptions(options(" -vcodec mpeg4 -s 320x240 -vb 768"), 10, 70);
        QCOMPARE(trimmed.Text(), QStringLiteral(" -vcodec mpeg4 -s 320x240 -vb 768 -ss 10 -t 60"));
        const EngineOptions mode3 = ApplyAspectMode(trimmed, "720x480", AspectMode::PadCentre);
        QCOMPARE(mode3.Text(),
                 QStringLiteral(" -vcodec mpeg4 -s 320x214 -aspect 1.333 -padtop 14 -padbottom 12 -vb 768 -ss 10 -t 60"));
        QCOMPARE(BuildEngineCommand("/opt/app/mirracore", "/in/my clip.avi", mode3, "/out/my clip.mp4").Text(),
                 QStringLiteral("/opt/app/mirracore -y -i \"/in/my clip.avi\"  -vcodec mpeg4 -s 320x214 -aspect 1.333 "
                                "-padtop 14 -padbottom 12 -vb 768 -ss 10 -t 60 -qmin 1 -qmax 51 -level 13 "
                                "\"/out/my clip.mp4\""));
        QCOMPARE(ApplyAspectMode(trimmed, "720x480", AspectMode::Crop).Text(),
                 QStringLiteral(" -vcodec mpeg4 -cropleft 40 -cropright 40 -s 320x240 -aspect 1.333 -vb 768 -ss 10 -t 60"));
    }

    void aspectModes_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("target");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("expected"); // what replaces "-s TARGET"
        // Source wider than the target.
        QTest::newRow("wide 1") << "720x480" << "320x240" << 1 << "-s 320x240 -aspect 1.333";
        QTest::newRow("wide 2") << "720x480" << "320x240" << 2 << "-cropleft 40 -cropright 40 -s 320x240 -aspect 1.333";
        QTest::newRow("wide 2 odd crop") << "722x480" << "320x240" << 2
                                         << "-cropleft 42 -cropright 40 -s 320x240 -aspect 1.333";
        QTest::newRow("wide 3") << "720x480" << "320x240" << 3 << "-s 320x214 -aspect 1.333 -padtop 14 -padbottom 12";
        QTest::newRow("wide 4") << "720x480" << "320x240" << 4 << "-s 320x214 -aspect 1.333 -padtop 14 -padbottom 12";
        QTest::newRow("wide 5") << "720x480" << "320x240" << 5 << "-s 320x214 -aspect 1.333 -padtop 14 -padbottom 12";
        QTest::newRow("wide 6") << "720x480" << "320x240" << 6 << "-s 320x214 -aspect 1.333 -padbottom 26";
        QTest::newRow("wide 7") << "720x480" << "320x240" << 7 << "-s 320x214 -aspect 1.333 -padtop 26";
        QTest::newRow("wide 3 odd total, even half") << "640x360" << "320x241" << 3
                                                     << "-s 320x180 -aspect 1.328 -padtop 30 -padbottom 30";
        QTest::newRow("wide 6 odd pad made even") << "640x360" << "320x241" << 6
                                                  << "-s 320x180 -aspect 1.328 -padbottom 62";
        QTest::newRow("wide 7 odd pad kept") << "640x360" << "320x241" << 7 << "-s 320x180 -aspect 1.328 -padtop 61";
        // Source narrower than the target.
        QTest::newRow("narrow 1") << "480x640" << "320x240" << 1 << "-s 320x240 -aspect 1.333";
        QTest::newRow("narrow 2") << "480x640" << "320x240" << 2 << "-croptop 140 -cropbottom 140 -s 320x240 -aspect 1.333";
        QTest::newRow("narrow 3") << "506x640" << "320x240" << 3 << "-s 190x240 -aspect 1.333 -padleft 66 -padright 64";
        QTest::newRow("narrow 4") << "506x640" << "320x240" << 4 << "-s 190x240 -aspect 1.333 -padright 130";
        QTest::newRow("narrow 5") << "506x640" << "320x240" << 5 << "-s 190x240 -aspect 1.333 -padleft 130";
        QTest::newRow("narrow 6") << "506x640" << "320x240" << 6 << "-s 190x240 -aspect 1.333 -padleft 66 -padright 64";
        QTest::newRow("narrow 7") << "480x640" << "320x240" << 7 << "-s 180x240 -aspect 1.333 -padleft 70 -padright 70";
        QTest::newRow("narrow 4 odd width made even") << "500x640" << "321x240" << 4
                                                      << "-s 188x240 -aspect 1.337 -padright 134";
        // Equal proportions: the size stays, no crop.
        QTest::newRow("equal 2") << "640x480" << "320x240" << 2 << "-s 320x240 -aspect 1.333";
        QTest::newRow("equal 3") << "640x480" << "320x240" << 3 << "-s 320x240 -aspect 1.333";
        // The probe's size field with its ratio part.
        QTest::newRow("PAR DAR suffix") << "720x480 [PAR 8:9 DAR 4:3]" << "320x240" << 3
                                        << "-s 320x214 -aspect 1.333 -padtop 14 -padbottom 12";
    }
    void aspectModes()
    {
        QFETCH(QString, source);
        QFETCH(QString, target);
        QFETCH(int, mode);
        QFETCH(QString, expected);
        QCOMPARE(aspect(" -vcodec mpeg4 -s " + target + " -ab 128", source, AspectModeFromValue(mode)),
                 " -vcodec mpeg4 " + expected + " -ab 128");
    }

    void unchanged_data()
    {
        QTest::addColumn<QString>("options");
        QTest::addColumn<QString>("source");
        QTest::addColumn<int>("mode");
        QTest::newRow("mode 0") << " -vcodec mpeg4 -s 320x240" << "720x480" << 0;
        QTest::newRow("mode 8") << " -s 320x240" << "720x480" << 8;
        QTest::newRow("mode -1") << " -s 320x240" << "720x480" << -1;
        QTest::newRow("x first") << " -s 320x240" << "x480" << 3;
        QTest::newRow("no x") << " -s 320x240" << "720 by 480" << 3;
        QTest::newRow("height 0: ratio infinite") << " -s 320x240" << "1280x0" << 3;
        QTest::newRow("width 0: ratio 0") << " -s 320x240" << "0x480" << 3;
        QTest::newRow("ratio above 100") << " -s 320x240" << "10100x100" << 3;
        QTest::newRow("no -s") << " -vcodec mpeg4 -vb 700" << "720x480" << 3;
        QTest::newRow("-s last") << " -vcodec mpeg4 -s" << "720x480" << 3;
        QTest::newRow("target without x") << " -s 320" << "720x480" << 3;
        QTest::newRow("target height 0") << " -s 320x0" << "720x480" << 3;
        QTest::newRow("empty source size") << " -s 320x240" << "" << 3;
    }
    void unchanged()
    {
        QFETCH(QString, options);
        QFETCH(QString, source);
        QFETCH(int, mode);
        QCOMPARE(aspect(options, source, AspectModeFromValue(mode)), options);
    }

    void rejoinedAndLastSizeWins()
    {
        // Only the last -s is rewritten; "-S" counts too.
        QCOMPARE(aspect(" -s 320x240 -s 640x480 -r 25", "640x480", AspectMode::Stretch),
                 QStringLiteral(" -s 320x240 -s 640x480 -aspect 1.333 -r 25"));
        QCOMPARE(aspect(" -S 320x240", "720x480", AspectMode::Stretch), QStringLiteral(" -S 320x240 -aspect 1.333"));
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

    void emptyOptionsCommandLine()
    {
        QCOMPARE(BuildEngineCommand("/p/mirracore", "/a.avi", {}, "/b.mp4").Text(),
                 QStringLiteral("/p/mirracore -y -i \"/a.avi\"  -qmin 1 -qmax 51 -level 13 \"/b.mp4\""));
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
