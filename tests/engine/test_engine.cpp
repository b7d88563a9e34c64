// End-to-end tests of the engine: media made with its own lavfi inputs, converted with every
// shipped profile and to every container, and checked both through the engine's own
// description and through libavformat.

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>
#include <numeric>
#include <sys/resource.h>

#include "core/profiles/CMpegStructs.h"
#include "core/profiles/ParamOptions.h"
#include "core/profiles/ProfileCatalogue.h"
#include "support/MediaMeasure.h"
#include "support/MediaReader.h"
#include "support/TestSupport.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

using namespace TestSupport;

namespace {

const QStringList kQualityTail{"-qmin", "1", "-qmax", "51", "-level", "13"};

struct EngineRun { QString output; int exitCode = -1; };

EngineRun Engine(const QStringList &args)
{
    EngineRun run;
    run.output = RunProgram(EnginePath(), args, &run.exitCode, 60000);
    return run;
}

// A conversion as the program starts it: "-y -i IN OPTIONS tail OUT".
EngineRun Convert(const QString &in, const QStringList &options, const QString &out)
{
    return Engine(QStringList{"-y", "-i", in} + options + kQualityTail + QStringList{out});
}

QStringList Lines(const QString &output)
{
    return output.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
}

// Lines that are neither description, progress, summary nor note: the error lines.
QStringList OtherLines(const QString &output)
{
    static const QRegularExpression known(
        QStringLiteral("^(Input #\\d+, |  Duration: |    Stream #\\d+\\.\\d+: |Output #0, |  Metadata:|    \\S.*: |"
                       "frame=|video:\\d+kB audio:|Note: )"));
    QStringList other;
    for (const QString &line : Lines(output))
        if (!known.match(line).hasMatch())
            other << line;
    return other;
}

// The display ratio a file's video stream asks for, as "4:3".
QString Dar(const Media &m)
{
    const int64_t w = int64_t(m.width) * (m.sarNum ? m.sarNum : 1), h = int64_t(m.height) * (m.sarNum ? m.sarDen : 1);
    const int64_t g = std::max<int64_t>(1, std::gcd(w, h)); // 1 without a picture
    return QStringLiteral("%1:%2").arg(w / g).arg(h / g);
}

// One conversion of the containers table.
struct Conversion
{
    QString source, file;
    QStringList options;
    QString video, audio, size; // codec names, empty when the stream is not expected; the frame size
    QString softwareTwin;       // of a graphics card's profile
};

// The engine's "Note: " line starting with what, without the prefix.
QString NoteOf(const QString &output, const QString &what)
{
    for (const QString &line : Lines(output))
        if (line.startsWith("Note: " + what))
            return line.mid(6);
    return {};
}

// A source and the options it is converted with; a part of the engine's note ("" for none), and
// what idet sees in the output: "progressive", "interlaced", or "" for not checked.
struct Interlace { QString source, options, note, after; };

// How the pictures of a file look to idet (its multi-frame verdicts), and whether their
// times rise in the order they are shown.
struct Fields
{
    int interlaced = 0, progressive = 0, frames = 0;
    bool ordered = true;
};

Fields ReadFields(const QString &path)
{
    // As the engine judges: fast motion in the test pictures fools idet's default threshold.
    const auto frames = GraphFrames(QStringLiteral("movie='%1',idet=intl_thres=1.2").arg(path), false);
    Fields f;
    f.frames = int(frames.size());
    for (qsizetype i = 1; i < frames.size(); ++i)
        f.ordered = f.ordered && frames[i].value("pts") > frames[i - 1].value("pts");
    if (!frames.isEmpty()) { // idet's counts run from the first picture
        f.interlaced = int(frames.last().value("lavfi.idet.multiple.tff") + frames.last().value("lavfi.idet.multiple.bff"));
        f.progressive = int(frames.last().value("lavfi.idet.multiple.progressive"));
    }
    return f;
}

} // namespace

class TestEngine : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QMap<QString, QString> m_sources; // by file base name, blanks as "-"; "clip": 2 s, 320x240, 25 fps, stereo 44.1 kHz
    QString path(const QString &name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase()
    {
        av_log_set_level(AV_LOG_QUIET); // the checks here read files; their remarks are noise
        // The sources, by name: file, lavfi inputs ("A;B" for two), engine options.
        const QString testsrc = "testsrc=size=320x240:rate=25:duration=2", sine = "sine=frequency=440:sample_rate=44100:duration=2";
        const QString white = "color=c=white:size=720x480:rate=25:duration=1", x264 = "-vcodec libx264 -vb 3000";
        const QString flac = "-vcodec libx264 -acodec flac", lossless = "-vcodec libx264 -crf 0 -preset ultrafast";
        const QString woven = "testsrc2=size=320x240:rate=50:duration=2,tinterlace=mode=interleave_", interlaced = "-deinterlace 0 -vcodec mpeg4 -qscale 2";
        const QList<std::array<QString, 3>> sources{
            {"clip.mp4", testsrc + ';' + sine, "-ac 2 -vb 1500"},
            {"video only.mp4", testsrc, ""},
            {"audio only.mp3", sine, ""},
            {"10-bit.mkv", testsrc + ';' + sine, "-vcodec libx265 -pix_fmt yuv420p10le"},
            // Cinepak's encoder is slow: a small picture, a second long. MPEG-4 with B-frames in AVI has no presentation times.
            {"cinepak.avi", "testsrc=size=96x64:rate=10:duration=1;sine=duration=1", "-vcodec cinepak -acodec pcm_s16le"},
            {"b-frames.avi", "testsrc=size=160x120:rate=25:duration=2;" + sine, "-vcodec mpeg4 -bf 2 -acodec libmp3lame"},
            {"white.mp4", white, x264},
            // White with black bars of 40 columns left and right.
            {"barred.mp4", white + ",drawbox=x=0:y=0:w=40:h=480:c=black:t=fill,drawbox=x=680:y=0:w=40:h=480:c=black:t=fill", x264},
            // 3 s whose frame N has luma 4*N; key frames 2 s apart.
            {"pattern.mp4", "color=c=black:size=64x64:rate=25:duration=3,geq=lum=N*4:cb=128:cr=128;sine=frequency=300:sample_rate=44100:duration=3",
             "-vcodec libx264 -g 50 -vb 2000"},
            {"noisy.mkv", "testsrc2=size=320x240:rate=25:duration=3,noise=alls=20:allf=t+u", "-vcodec libx264 -crf 10 -preset ultrafast"},
            {"tone.wav", "sine=frequency=440:sample_rate=44100:duration=6", ""},
            {"woven.avi", woven + "top", interlaced},
            {"woven bottom.avi", woven + "bottom", interlaced},
            {"telecined.avi", "testsrc2=size=320x240:rate=24000/1001:duration=3,telecine", interlaced},
            {"progressive.avi", "testsrc2=size=320x240:rate=25:duration=2", interlaced},
            // Loudness: quiet; a full-scale tone; quiet noise with full-scale clicks.
            {"quiet.mkv", "testsrc=size=160x120:rate=25:duration=4;aevalsrc='0.025*sin(2*PI*440*t)':s=48000:d=4", flac},
            {"loud.mkv", "testsrc=size=160x120:rate=25:duration=4;aevalsrc='sin(2*PI*997*t)':s=48000:d=4", flac},
            {"clicks.mkv", "testsrc=size=160x120:rate=25:duration=4;aevalsrc='0.01*(2*random(0)-1)+if(lt(mod(t,0.25),0.0005),0.99,0)':s=48000:d=4", flac},
            // Quality: a still test card, moving graphics.
            {"test card.mkv", "smptehdbars=size=320x240:rate=25:duration=3", lossless},
            {"moving graphics.mkv", "testsrc2=size=320x240:rate=25:duration=3", lossless},
            // A film and a commentary to be joined into one with chapters.
            {"film.mp4", "testsrc=size=320x240:rate=25:duration=3;sine=duration=3", "-vcodec libx264 -preset ultrafast -acodec aac"},
            {"commentary.m4a", "sine=frequency=880:duration=3", "-acodec aac"},
            // Black with a white square in the top left corner.
            {"corner.mp4", "color=c=black:size=320x240:rate=25:duration=1,drawbox=x=0:y=0:w=60:h=60:c=white:t=fill", "-vcodec libx264 -crf 18"}};
        QList<Launch> jobs;
        for (const auto &[file, inputs, options] : sources) {
            QStringList args{"-y"};
            for (const QString &input : inputs.split(u';'))
                args << "-f" << "lavfi" << "-i" << input;
            args << options.split(u' ', Qt::SkipEmptyParts) << (m_sources[QFileInfo(file).completeBaseName().replace(u' ', u'-')] = path(file));
            jobs.append({EnginePath(), args, 60000});
        }
        RunAll(jobs, 2);
        // Two audio tracks; pictures at half the rate after the first second; woven pictures said to be top field first.
        Engine({"-y", "-i", m_sources["clip"], "-i", m_sources["audio-only"], "-map", "0:v:0", "-map", "0:a", "-map", "1:a",
                "-vcodec", "copy", "-acodec", "copy", m_sources["tracks"] = path("tracks.mkv")});
        QVERIFY(Remux(m_sources["video-only"], m_sources["variable"] = path("variable.mp4"), {}, 1.0));
        QVERIFY(Remux(m_sources["woven"], m_sources["top-first"] = path("top first.mkv"), [](AVFormatContext *oc) {
            oc->streams[0]->codecpar->field_order = AV_FIELD_TT;
            return true;
        }));
        // The pattern as a broadcast recording joined late: cut in the middle, between key frames.
        Engine({"-y", "-i", m_sources["pattern"], "-an", "-vcodec", "copy", path("pattern.ts")});
        const QByteArray ts = ReadFile(path("pattern.ts"));
        QVERIFY(WriteFile(m_sources["joined-late"] = path("joined late.ts"), ts.mid(ts.size() / 188 / 2 * 188)));
        QVERIFY(!ReadMedia(m_sources["joined-late"]).startsOnKey); // else the copy shows nothing
        for (const int turn : {-90, 90, 180}) // shown turned counter-clockwise, as a phone stores an upright clip
            QVERIFY(Remux(m_sources["corner"], m_sources["turned" + QString::number(turn)] = path(QStringLiteral("turned %1.mp4").arg(turn)), Turned(turn)));
        QVERIFY(WriteFile(m_sources["subs.srt"] = path("subs.srt"), "1\n00:00:00,500 --> 00:00:01,500\nHello there\n\n"
                                                                   "2\n00:00:01,600 --> 00:00:01,900\nSecond line\n"));
        for (const QString &f : m_sources)
            QVERIFY2(QFile::exists(f), qPrintable(f));

        QVERIFY(WriteFile(path("text.avi"), "This is a letter, not a film.\n"));
        // Cut in half: the index of an mp4 is at its end.
        const QByteArray whole = ReadFile(m_sources["clip"]);
        QVERIFY(WriteFile(path("truncated.mp4"), whole.left(whole.size() / 2)));
    }

    // ------------------------------------------------------------ containers

    // Every shipped profile, and what no profile covers: the engine's own defaults, sources
    // without a picture or without sound, a path with everything awkward in it.
    void containers_data()
    {
        QTest::addColumn<Conversion>("c");
        auto row = [](const char *name, const char *file, const char *options, const char *video, const char *audio,
                      const char *size = "320x240", const char *source = "clip") {
            QTest::newRow(name) << Conversion{source, file, QString::fromLatin1(options).split(u' ', Qt::SkipEmptyParts), video, audio, size};
        };
        const QString data = TestSupport::SourceDir() + "/data/";
        const QStringList profiles = ReadProfileCatalogue(data + "profile.ini");
        QVERIFY(profiles.size() >= 15);
        const AppFolders folders = AppFolders::ForProgram(data + "corvane-studio");
        for (int i = 0; i < profiles.size(); ++i) {
            CMpegStructs tree;
            tree.LoadFromFile(ProfileFile(profiles[i], folders));
            const QStringList options = GetParamFromTree(tree.GetRoot()).Arguments();
            // A copied stream keeps the source's codec; a profile without a codec for a stream drops it.
            auto codec = [&](const char *option, const char *copied) {
                const QString value = options.value(options.lastIndexOf(QString::fromLatin1(option)) + 1);
                return !options.contains(QString::fromLatin1(option)) ? QString()
                       : value == "copy"                               ? QString::fromLatin1(copied)
                                                                        : TestSupport::CodecNames(value).value(1, value);
            };
            const QString size = options.contains("-s") ? options.value(options.indexOf("-s") + 1) : "320x240";
            QTest::newRow(qPrintable(profiles[i]))
                << Conversion{"clip", QStringLiteral("profile %1.%2").arg(i).arg(GetTargetType(profiles[i], folders)), options,
                              codec("-vcodec", "h264"), codec("-acodec", "aac"), size, GetSoftwareTwin(profiles[i], folders)};
        }
        row("mp4 defaults", "b.mp4", "", "h264", "aac");
        row("3gp defaults fit the size", "g.3gp", "", "h263", "aac", "352x288");
        row("mkv defaults", "m.mkv", "", "h264", "vorbis");
        row("mpeg2 ps mp2", "k.mpg", "-f vob -vcodec mpeg2video -acodec mp2", "mpeg2video", "mp2");
        row("gif with rgb8", "t.gif", "-pix_fmt rgb8 -r 10", "gif", "");
        row("awkward path", "a b $HOME 'q' \"d\" ü名/out put $x \"1\" ü.mkv", "-vcodec mpeg4", "mpeg4", "vorbis");
        row("video only to mp4", "vo.mp4", "", "h264", "", "320x240", "video-only");
        row("video only to avi", "vo.avi", "", "mpeg4", "", "320x240", "video-only");
        row("audio only to mp4", "ao.mp4", "", "", "aac", "", "audio-only");
        row("audio only to wmv", "ao.wmv", "", "", "wmav2", "", "audio-only");
        row("10-bit source to 8-bit", "8bit.mp4", "-vcodec libx264 -crf 23 -pix_fmt yuv420p", "h264", "aac", "320x240", "10-bit");
    }
    void containers()
    {
        QFETCH(Conversion, c);
        const QString out = path("containers/" + c.file);
        QDir().mkpath(QFileInfo(out).path());
        const EngineRun run = Convert(m_sources[c.source], c.options, out);
        // A graphics card's encoder works only where the card is; elsewhere it fails in one clear line.
        if (run.exitCode != 0 && !c.softwareTwin.isEmpty())
            QSKIP(qPrintable("no working graphics card encoder here: " + Lines(run.output).value(Lines(run.output).size() - 1)));
        QVERIFY2(run.exitCode == 0, qPrintable(run.output));
        QCOMPARE(run.output.count("global headers:"), 1);
        QVERIFY2(OtherLines(run.output).isEmpty(), qPrintable(OtherLines(run.output).join('\n')));

        const Media m = ReadMedia(out);
        QCOMPARE(m.videoCodec + u'|' + m.audioCodec, c.video + u'|' + c.audio);
        const double rate = c.options.contains("-r") ? c.options.value(c.options.indexOf("-r") + 1).toDouble() : 25;
        if (!c.video.isEmpty()) {
            QCOMPARE(QStringLiteral("%1x%2").arg(m.width).arg(m.height), c.size);
            const QStringList wh = c.size.split(u'x');
            if (wh.value(0).toInt() * 3 == wh.value(1).toInt() * 4 || c.video == "h263") // the source's 4:3 kept
                QCOMPARE(Dar(m), QStringLiteral("4:3"));
            // The pictures of two seconds: none lost, none doubled.
            QVERIFY2(qAbs(m.videoPackets - 2 * rate) <= 1, qPrintable(QString::number(m.videoPackets)));
        }
        QVERIFY(c.audio.isEmpty() || m.audioPackets > 0);
        if (c.options.contains("-pix_fmt") && c.options.contains("yuv420p"))
            QVERIFY2(!m.luma.empty(), "the first picture is 8-bit 4:2:0");
        if (c.options.join(' ').contains("faststart")) { // the index before the pictures
            const QByteArray bytes = ReadFile(out);
            QVERIFY(bytes.indexOf("moov") >= 0 && bytes.indexOf("moov") < bytes.indexOf("mdat"));
        }
        // The container's duration may round up to the end of the last audio codec frame.
        const QMap<QString, int> frameSamples{{"aac", 1024}, {"mp3", 1152}, {"mp2", 1152}, {"ac3", 1536}, {"vorbis", 2048},
                                              {"wmav2", 2048}, {"opus", 960}, {"flac", 4608}};
        const int sampleRate = c.options.contains("-ar") ? c.options.value(c.options.indexOf("-ar") + 1).toInt() : 44100;
        const double frame = 1 / rate, audioFrame = frameSamples.value(c.audio) / double(sampleRate);
        QVERIFY2(m.seconds >= 2.0 - frame - 0.011 && m.seconds <= 2.0 + frame + audioFrame + 0.011, qPrintable(QString::number(m.seconds)));
    }

    // ------------------------------------------------------------ geometry

    // ------------------------------------------------------------ trims and output lines

    void descriptionProgressAndSummaryLines()
    {
        const EngineRun run = Convert(m_sources["clip"], {"-vcodec", "libx264", "-vb", "500"}, path("lines.mp4"));
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.output.endsWith("\r\n") && run.output.count("\n") == run.output.count("\r\n"), "every line ends in CR LF");
        const QStringList lines = Lines(run.output);
        QVERIFY(lines.indexOf(QRegularExpression("^Output #0, mp4, to '.*lines\\.mp4':$")) > 0);
        static const QRegularExpression progress(
            "^frame= *\\d+ fps= *\\d+ q=-?\\d+\\.\\d size= *\\d+kB time=\\d+\\.\\d\\d bitrate= *\\d+\\.\\dkbits/s$");
        static const QRegularExpression summary("^video:\\d+kB audio:\\d+kB global headers:\\d+kB muxing overhead -?\\d+\\.\\d%$");
        QVERIFY2(summary.match(lines.last()).hasMatch(), qPrintable(lines.last()));
        const QString final = lines.at(lines.size() - 2);
        QVERIFY2(progress.match(final).hasMatch() && final.startsWith("frame=   50 "), qPrintable(final));
        // Time is what was written: two seconds, and at most the rest of the last audio frame.
        const double time = final.section("time=", 1).section(' ', 0, 0).toDouble();
        QVERIFY2(time >= 2.0 && time <= 2.0 + 1024 / 44100.0 + 0.005, qPrintable(final));
    }

    void metadata_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("mp4") << "tags.mp4";
        QTest::newRow("mkv") << "tags.mkv";
    }
    void metadata()
    {
        QFETCH(QString, file);
        const EngineRun run = Convert(m_sources["clip"],
                                      {"-title", "Tïtle, with a comma", "-author", "Ann Author", "-copyright", "(c) 2024 Ann", "-comment",
                                       "a comment", "-album", "The Album", "-metadata", "genre=Test Genre", "-timestamp", "2024-05-01 12:30:00"},
                                      path(file));
        QVERIFY2(run.exitCode == 0, qPrintable(run.output));
        QMap<QString, QString> tags = ReadMedia(path(file)).tags;
        tags["creation_time"].truncate(19); // its fraction of a second and zone differ by container
        QCOMPARE(QStringList({tags["title"], tags["artist"], tags["copyright"], tags["comment"], tags["album"], tags["genre"], tags["creation_time"]}),
                 QStringList({"Tïtle, with a comma", "Ann Author", "(c) 2024 Ann", "a comment", "The Album", "Test Genre", "2024-05-01T12:30:00"}));
        // The description shows the tags after the streams, commas made harmless.
        const QString text = RunProgram(EnginePath(), {"-i", path(file)});
        QVERIFY2(QRegularExpression("\r\n    title +: Tïtle; with a comma\r\n").match(text).hasMatch(), qPrintable(text));
        QVERIFY(text.indexOf("title") > text.indexOf("Audio:"));
    }

    // ------------------------------------------------------------ bad input

    void badInput_data()
    {
        QTest::addColumn<QStringList>("args"); // "%dir" and "%clip" are replaced
        QTest::addColumn<QString>("message");  // a part of the one error line
        QTest::newRow("unknown option") << QStringList{"-y", "-i", "%clip", "-vcodex", "mpeg4", "%dir/o1.mp4"} << "Unrecognized option '-vcodex'";
        QTest::newRow("option without value") << QStringList{"-y", "-i", "%clip", "-vcodec"} << "Missing argument for option '-vcodec'";
        QTest::newRow("bad bit rate") << QStringList{"-y", "-i", "%clip", "-vb", "fast", "%dir/o2.mp4"} << "-vb";
        QTest::newRow("missing file") << QStringList{"-y", "-i", "%dir/no such file.avi", "%dir/o3.mp4"} << "No such file or directory";
        QTest::newRow("not media") << QStringList{"-y", "-i", "%dir/text.avi", "%dir/o4.mp4"} << "Cannot open input file";
        QTest::newRow("unknown encoder") << QStringList{"-y", "-i", "%clip", "-vcodec", "nosuchcodec", "%dir/o5.mp4"} << "Unknown encoder 'nosuchcodec'";
        QTest::newRow("audio encoder as video") << QStringList{"-y", "-i", "%clip", "-vcodec", "libmp3lame", "%dir/o6.mp4"} << "not a video encoder";
        QTest::newRow("unwritable folder") << QStringList{"-y", "-i", "%clip", "%dir/no folder/o7.mp4"} << "Cannot open output file";
        QTest::newRow("folder is a file") << QStringList{"-y", "-i", "%clip", "%dir/text.avi/o8.mp4"} << "Cannot open output file";
        QTest::newRow("unknown format") << QStringList{"-y", "-i", "%clip", "%dir/o9.xyz"} << "output format";
        QTest::newRow("size 0x0") << QStringList{"-y", "-i", "%clip", "-s", "0x0", "%dir/o10.mp4"} << "Invalid frame size '0x0'";
        QTest::newRow("negative pad") << QStringList{"-y", "-i", "%clip", "-padtop", "-4", "%dir/o11.mp4"} << "-padtop";
        QTest::newRow("crop eats picture") << QStringList{"-y", "-i", "%clip", "-cropleft", "200", "-cropright", "200", "%dir/o12.mp4"} << "Cropping";
        QTest::newRow("start beyond end") << QStringList{"-y", "-i", "%clip", "-ss", "30", "%dir/o13.mp4"} << "beyond the end";
        QTest::newRow("existing output without -y") << QStringList{"-i", "%clip", "%dir/text.avi"} << "already exists";
        QTest::newRow("output is input") << QStringList{"-y", "-i", "%clip", "%clip"} << "is the input file";
        QTest::newRow("truncated mp4") << QStringList{"-y", "-i", "%dir/truncated.mp4", "%dir/o14.avi"} << "Cannot open input file";
        QTest::newRow("nothing the container holds") << QStringList{"-y", "-i", "%dir/audio only.mp3", "%dir/o18.gif"} << "gif files cannot hold audio";
        QTest::newRow("no input") << QStringList{"-y", "%dir/o15.mp4"} << "No input file";
        QTest::newRow("qmin above qmax") << QStringList{"-y", "-i", "%clip", "-vcodec", "libx264", "-qscale", "20", "-qmin", "40", "-qmax", "10", "%dir/o19.mp4"} << "-qmin 40 is above -qmax 10";
        QTest::newRow("option the encoder lacks") << QStringList{"-y", "-i", "%clip", "-vcodec", "libsvtav1", "-tune", "0", "%dir/o20.mp4"} << "libsvtav1 has no option -tune";
        QTest::newRow("value the encoder refuses") << QStringList{"-y", "-i", "%clip", "-vcodec", "libsvtav1", "-crf", "99", "%dir/o21.mp4"} << "refuses -crf 99";
        QTest::newRow("option the container lacks") << QStringList{"-y", "-i", "%clip", "-movflags", "+faststart", "%dir/o22.avi"} << "avi files have no option -movflags";
        QTest::newRow("map of no stream") << QStringList{"-y", "-i", "%dir/audio only.mp3", "-map", "0:v", "%dir/o23.mp4"} << "-map 0:v matches no stream";
        QTest::newRow("map of a missing input") << QStringList{"-y", "-i", "%clip", "-map", "1:a", "%dir/o24.mp4"} << "names input 1, but there are 1";
        QTest::newRow("copy the container cannot hold, no fallback") << QStringList{"-y", "-i", "%clip", "-vcodec", "copy", "-fallback_vcodec", "none", "%dir/o25.webm"} << "webm files cannot hold h264 video";
        QTest::newRow("chapters of a missing input") << QStringList{"-y", "-i", "%clip", "-map_chapters", "2", "%dir/o26.mp4"} << "-map_chapters 2 names input 2, but there are 1";
        QTest::newRow("deinterlace neither on nor off") << QStringList{"-y", "-i", "%clip", "-deinterlace", "maybe", "%dir/o27.mp4"} << "auto, 1 or 0 is needed";
        QTest::newRow("two outputs") << QStringList{"-y", "-i", "%clip", "%dir/o16.mp4", "%dir/o17.mp4"} << "Only one output file";
        QTest::newRow("loudness below the range") << QStringList{"-y", "-i", "%clip", "-loudness", "-80", "%dir/o25.mp4"} << "between -70 and -5 LUFS";
        QTest::newRow("loudness above the range") << QStringList{"-y", "-i", "%clip", "-loudness", "-4", "%dir/o33.mp4"} << "between -70 and -5 LUFS";
        QTest::newRow("SSIM out of range") << QStringList{"-y", "-i", "%clip", "-target-ssim", "1.2", "%dir/o26.mp4"} << "between 0 and 1";
        QTest::newRow("size unreadable") << QStringList{"-y", "-i", "%clip", "-target-size", "25Q", "%dir/o27.mp4"} << "a size such as 25M";
        QTest::newRow("size and quality") << QStringList{"-y", "-i", "%clip", "-target-size", "1M", "-target-ssim", "0.9", "%dir/o28.mp4"} << "cannot be used together";
        QTest::newRow("size below the sound") << QStringList{"-y", "-i", "%clip", "-target-size", "20k", "%dir/o29.mp4"} << "the smallest size that could work is";
        QTest::newRow("size of copied video") << QStringList{"-y", "-i", "%clip", "-vcodec", "copy", "-target-size", "1M", "%dir/o30.mp4"} << "cannot be used with -vcodec copy";
        QTest::newRow("quality without pictures") << QStringList{"-y", "-i", "%dir/audio only.mp3", "-target-ssim", "0.97", "%dir/o31.mp4"} << "has no video";
        QTest::newRow("quality of an encoder without it") << QStringList{"-y", "-i", "%clip", "-vcodec", "libvpx", "-target-ssim", "0.97", "%dir/o32.mp4"} << "constant quality to search";
    }
    void badInput()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        QString output;
        for (QString &a : args) {
            a.replace("%clip", m_sources["clip"]).replace("%dir", m_dir.path());
            if ((a.endsWith(".mp4") || a.endsWith(".gif")) && a.contains("/o"))
                output = a;
        }
        const qint64 clipSize = QFileInfo(m_sources["clip"]).size();
        const EngineRun run = Engine(args);
        QVERIFY2(run.exitCode != 0, qPrintable(run.output));
        QVERIFY(!run.output.contains("global headers:"));
        const QStringList errors = OtherLines(run.output);
        QVERIFY2(errors.size() == 1 && errors.first().contains(message), qPrintable(run.output));
        QVERIFY2(run.output.endsWith(errors.first() + "\r\n"), "the error line comes last");
        QVERIFY2(output.isEmpty() || !QFile::exists(output), "no partial output is left behind");
        QCOMPARE(QFileInfo(m_sources["clip"]).size(), clipSize); // the input is never touched
        QVERIFY(QFile::exists(path("text.avi")));                 // nor a file it refused to overwrite
    }

    // ------------------------------------------------------------ targets

    // Every source comes out at the loudness asked for with its peaks under -1 dBTP, whether
    // linear gain reaches it or a limiter must; copied video stays as it was.
    void loudness_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("options");
        QTest::newRow("quiet") << "quiet" << "quiet.m4a" << QStringList{"-acodec", "aac"};
        QTest::newRow("full-scale tone") << "loud" << "loud.mp3" << QStringList{"-acodec", "libmp3lame"};
        QTest::newRow("quiet noise with full-scale clicks, video copied") << "clicks" << "spiky.mkv" << QStringList{"-vcodec", "copy", "-acodec", "copy"};
    }
    void loudness()
    {
        QFETCH(QString, source);
        QFETCH(QString, file);
        QFETCH(QStringList, options);
        const EngineRun run = Convert(m_sources[source], options + QStringList{"-loudness", "-16"}, path(file));
        QVERIFY2(run.exitCode == 0 && run.output.contains("global headers:"), qPrintable(run.output));
        const MeasuredLoudness reached = MeasureLoudness(path(file));
        QVERIFY2(std::abs(reached.integrated + 16) <= 1 && reached.truePeak <= -1, qPrintable(QStringLiteral("%1 LUFS, %2 dBTP").arg(reached.integrated).arg(reached.truePeak)));
        // The note tells what the file holds.
        const QString note = NoteOf(run.output, "loudness ");
        QVERIFY2(std::abs(note.section(u' ', 1, 1).toDouble() - reached.integrated) < 0.3, qPrintable(note));
        if (options.contains("copy"))
            QCOMPARE(ReadMedia(path(file)).videoCodec, QString("h264"));
    }

    void silenceIsLeftAsItIs()
    {
        const EngineRun run = Engine({"-y", "-f", "lavfi", "-i", "anullsrc=r=48000:cl=mono:d=2", "-loudness", "-16", path("silence.m4a")});
        QVERIFY2(run.exitCode == 0 && NoteOf(run.output, "loudness").contains("not normalised: the sound is silent"), qPrintable(run.output));
    }

    // The file comes out between 90 % of the size asked for and the size itself.
    void targetSize_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("size");
        QTest::addColumn<qint64>("bytes");
        QTest::newRow("noisy picture, small") << "noisy" << "150k" << qint64(150000);
        QTest::newRow("noisy picture, larger, in KiB") << "noisy" << "400KiB" << qint64(409600);
        QTest::newRow("sound alone") << "tone" << "80k" << qint64(80000);
    }
    void targetSize()
    {
        QFETCH(QString, source);
        QFETCH(QString, size);
        QFETCH(qint64, bytes);
        const bool sound = source == "tone";
        const QString out = path(QStringLiteral("sized %1.%2").arg(size, sound ? "mp3" : "mp4"));
        const QStringList options = sound ? QStringList{"-acodec", "libmp3lame"} : QStringList{"-vcodec", "libx264", "-preset", "veryfast"};
        const EngineRun run = Convert(m_sources[source], options + QStringList{"-target-size", size}, out);
        QVERIFY2(run.exitCode == 0, qPrintable(run.output));
        const qint64 written = QFileInfo(out).size();
        QVERIFY2(written <= bytes && written >= bytes * 9 / 10, qPrintable(QStringLiteral("%1 of %2 bytes").arg(written).arg(bytes)));
        QVERIFY2(NoteOf(run.output, "size ").contains("(target "), qPrintable(run.output));
    }

    // The highest CRF whose pictures reach the SSIM asked for: the file reaches it, one step
    // more would not. The passes show as one progress that never goes back.
    void targetQuality_data()
    {
        QTest::addColumn<QString>("source");
        QTest::newRow("test card") << m_sources["test-card"];
        QTest::newRow("moving graphics") << m_sources["moving-graphics"];
    }
    void targetQuality()
    {
        QFETCH(QString, source);
        const QStringList x264{"-vcodec", "libx264", "-preset", "veryfast", "-pix_fmt", "yuv420p"};
        const QString out = path(QString(QTest::currentDataTag()) + ".mp4");
        const EngineRun run = Convert(source, x264 + QStringList{"-target-ssim", "0.97"}, out);
        QVERIFY2(run.exitCode == 0, qPrintable(run.output));
        const double reached = MeasureSsim(out, source);
        QVERIFY2(reached >= 0.967, qPrintable(QString::number(reached)));
        const QRegularExpressionMatch crf = QRegularExpression("^SSIM [0-9.]+ at CRF (\\d+) ").match(NoteOf(run.output, "SSIM"));
        QVERIFY2(crf.hasMatch(), qPrintable(run.output));
        if (const int next = crf.captured(1).toInt() + 1; next <= 51) {
            QCOMPARE(Convert(source, x264 + QStringList{"-crf", QString::number(next)}, path("next.mp4")).exitCode, 0);
            QVERIFY2(MeasureSsim(path("next.mp4"), source) < 0.971, qPrintable(QStringLiteral("CRF %1 would do too").arg(next)));
        }
        double last = 0;
        for (const QString &line : Lines(run.output))
            if (const qsizetype at = line.indexOf("time="); at >= 0) {
                const double time = line.mid(at + 5).section(u' ', 0, 0).toDouble();
                QVERIFY2(time >= last && time <= 3.05, qPrintable(line));
                last = time;
            }
    }

    // What a conversion writes: the facts a row names, as "name=value" words. In the arguments
    // "%name" is the source of that name, or else a file made here before; the last is the output.
    void written_data()
    {
        QTest::addColumn<QString>("args");
        QTest::addColumn<QString>("facts");
        // The level the profiles ask for is raised to what size and bit rate need.
        const QString card = "-f lavfi -i testsrc=rate=25:duration=0.2:size=";
        QTest::newRow("level 1.3 fits") << card + "320x240 level.mp4" << "level=13";
        QTest::newRow("SD needs level 3.0") << card + "720x480 level.mp4" << "level=30";
        QTest::newRow("720p needs level 3.1") << card + "1280x720 level.mp4" << "level=31";
        QTest::newRow("bit rate above level 1.3") << card + "320x240 -vb 2000 level.mp4" << "level=20";
        QTest::newRow("the profile's own level before the tail's") << card + "320x240 -level 22 level.mp4" << "level=22";
        // Geometry: "black" and "white" name rows ("r") and columns ("c") of the picture.
        const QString mpeg4 = " -vcodec mpeg4 -qscale 2 ", x264 = " -vcodec libx264 ", frame = "size=320x240 decoded=320x240 ";
        // The worked example: 720x480 fitted into 320x240 with bands of 14 and 12 rows.
        QTest::newRow("scale and pad") << "-i %white" + mpeg4 + "-s 320x214 -aspect 1.333 -padtop 14 -padbottom 12 padded.avi"
                                       << frame + "dar=4:3 black=r0,r6,r13,r228,r233,r239 white=r14,r120,r227,c0,c319";
        // The worked example: the middle 640 columns scaled to 320x240; no bar survives.
        QTest::newRow("crop and scale") << "-i %barred" + mpeg4 + "-cropleft 40 -cropright 40 -s 320x240 -aspect 1.333 cropped.avi"
                                        << frame + "dar=4:3 white=r0,r239,c0,c1,c160,c318,c319";
        QTest::newRow("scale without crop") << "-i %barred" + mpeg4 + "-s 320x240 scaled.avi" << frame + "dar=3:2 black=c0,c10 white=c160";
        QTest::newRow("side bars") << "-i %white" + x264 + "-s 240x240 -padleft 40 -padright 40 -aspect 4:3 bars.avi"
                                   << frame + "dar=4:3 black=c0,c39,c280,c319 white=c41,c160,c278";
        QTest::newRow("wide display ratio") << "-i %white" + x264 + "-s 320x240 -aspect 1.778 wide.avi" << frame + "dar=16:9 white=r0,r239,c0,c319";
        // An odd frame height cannot be 4:2:0; the odd row comes off the pad, not the picture.
        QTest::newRow("odd bar at the top") << "-i %white" + mpeg4 + "-s 320x212 -aspect 1.333 -padtop 29 odd.avi"
                                            << frame + "dar=4:3 black=r0,r25 white=r30,r239";
        // Trims of the pattern: the first picture is exactly the one asked for (its luma 4 times its
        // number); the progress counts output time from zero, ending at the length written.
        const QString trim = "-i %pattern -vcodec mpeg4 -qscale 1 -acodec libmp3lame ";
        QTest::newRow("start and length") << trim + "-ss 1 -t 1 trim.avi" << "audio=mp3 packets=25 seconds=1 time=1 luma=100";
        QTest::newRow("start between key frames") << trim + "-ss 0.6 -t 0.8 trim.avi" << "audio=mp3 packets=20 seconds=0.8 time=0.8 luma=60";
        QTest::newRow("start after second key frame") << trim + "-ss 2 trim.avi" << "audio=mp3 packets=25 seconds=1 time=1 luma=200";
        QTest::newRow("length only") << trim + "-t 2 trim.avi" << "audio=mp3 packets=50 seconds=2 time=2 luma=0";
        QTest::newRow("start only") << trim + "-ss 1 trim.avi" << "audio=mp3 packets=50 seconds=2 time=2 luma=100";
        // Which streams: the best video and audio, or what -map names.
        QTest::newRow("two inputs into three streams")
            << "-i %clip -i %audio-only -map 0:v:0 -map 0:a -map 1:a -vcodec copy -acodec copy mapped.mkv" << "videos=1 audios=2";
        QTest::newRow("without -map the best of each") << "-i %tracks -vcodec copy -acodec copy mapped.mkv" << "videos=1 audios=1";
        QTest::newRow("every audio track") << "-i %tracks -map 0:v:0? -map 0:a? -vcodec libx264 -crf 30 -acodec aac mapped.mkv" << "videos=1 audios=2";
        QTest::newRow("the second track only") << "-i %tracks -map 0:a:1 -acodec aac mapped.mkv" << "videos=0 audios=1";
        QTest::newRow("optional video of a sound file") << "-i %audio-only -map 0:v:0? -map 0:a? mapped.mkv" << "videos=0 audios=1";
        QTest::newRow("a stream named twice is written once") << "-i %tracks -map 0:a:0 -map 0:a -acodec copy -vn mapped.mkv" << "videos=0 audios=2";
        // Text subtitles travel in each container's own text format; a container without one
        // is written without them, and says so.
        QTest::newRow("srt into mp4") << "-i %clip -i %subs.srt -map 0:v:0 -map 1:s? -vcodec mpeg4 subs.mp4" << "subtitle=mov_text text=1 dropped=0";
        QTest::newRow("mp4 into mkv") << "-i %subs.mp4 -map 0:v:0 -map 0:s? -vcodec mpeg4 subs.mkv" << "subtitle=subrip text=1 dropped=0";
        QTest::newRow("mkv into webm") << "-i %subs.mkv -map 0:v:0 -map 0:s? -vcodec libvpx subs.webm" << "subtitle=webvtt text=1 dropped=0";
        QTest::newRow("mp4 into avi") << "-i %subs.mp4 -map 0:v:0 -map 0:s? -vcodec mpeg4 subs.avi" << "subtitle= text=0 dropped=1";
        // Copied where the container holds the codec, as libavformat says; else encoded with the
        // fallback, which the engine names. AVI stores no presentation times: they are made.
        const QString copy = " -vcodec copy -acodec copy -map 0:v:0? -map 0:a? -map 0:s? ";
        QTest::newRow("cinepak copied into mkv") << "-i %cinepak" + copy + "cinepak.mkv"
                                                 << "video=cinepak audio=pcm_s16le fallbacks= frames=10 ordered=1 seconds=1";
        QTest::newRow("cinepak into mp4 encoded") << "-i %cinepak" + copy + "cinepak.mp4"
                                                  << "video=h264 audio=aac fallbacks=libx264,aac frames=10 ordered=1 seconds=1";
        QTest::newRow("fallback the profile names") << "-i %cinepak" + copy + "-fallback_vcodec mpeg4 -fallback_acodec libmp3lame named.mp4"
                                                    << "video=mpeg4 audio=mp3 fallbacks=mpeg4,libmp3lame frames=10 ordered=1 seconds=1";
        QTest::newRow("b-frames copied into mkv") << "-i %b-frames" + copy + "b-frames.mkv"
                                                  << "video=mpeg4 audio=mp3 fallbacks= frames=50 ordered=1 seconds=2";
        QTest::newRow("b-frames copied into mp4") << "-i %b-frames" + copy + "b-frames.mp4"
                                                  << "video=mpeg4 audio=mp3 fallbacks= frames=50 ordered=1 seconds=2";
        QTest::newRow("b-frames encoded") << "-i %b-frames -vcodec libx264 -acodec aac encoded.mkv"
                                          << "video=h264 audio=aac fallbacks= frames=50 ordered=1 seconds=2";
        // A copy cannot begin between key frames: a cut begins at the key frame before its start (0 s),
        // a recording joined late (a broadcast stream cut in the middle) at its first key frame (2 s).
        QTest::newRow("copied cut") << "-i %pattern -vcodec copy -ss 1 -t 1 -acodec copy copied.mkv" << "key=1 picture=1 packets=50";
        QTest::newRow("copy joined late") << "-i %joined-late -vcodec copy copied.mkv" << "key=1 picture=1 packets=25";
        // 50 pictures, one second at 25 a second, then two at 12.5: their times are kept where the
        // container can hold them; elsewhere they become a constant rate over the same length.
        QTest::newRow("mkv keeps every picture's time") << "-i %variable -vcodec libx264 vfr.mkv" << "packets=50 seconds=3";
        QTest::newRow("mp4 keeps every picture's time") << "-i %variable -vcodec libx264 vfr.mp4" << "packets=50 seconds=3";
        QTest::newRow("avi repeats pictures") << "-i %variable -vcodec mpeg4 vfr.avi" << "packets=74 seconds=3"; // up to the last picture's start
        // A phone's clip stored sideways with its turn beside it (its bright corner top left):
        // converted, the picture is upright and carries no turn; copied, it keeps the turn and
        // every packet. The MP4 writer stores the turn with the opposite sign of the one it is given.
        for (const auto &[turn, stored, upright] : {std::tuple{"-90", "90", "size=240x320 turn=nan bright=bottom-left"},
                                                    std::tuple{"90", "-90", "size=240x320 turn=nan bright=top-right"},
                                                    std::tuple{"180", "-180", "size=320x240 turn=nan bright=bottom-right"}}) {
            QTest::addRow("turned %s", turn) << QStringLiteral("-i %turned%1 -vcodec libx264 -crf 18 upright.mp4").arg(turn) << upright;
            QTest::addRow("turned %s copied", turn) << QStringLiteral("-i %turned%1 -vcodec copy copied.mp4").arg(turn)
                                                   << QStringLiteral("turn=%1 packets=25").arg(stored);
        }
    }
    void written()
    {
        QFETCH(QString, args);
        QFETCH(QString, facts);
        QStringList options = args.split(u' ', Qt::SkipEmptyParts);
        for (QString &a : options)
            if (a.startsWith(u'%'))
                a = m_sources.value(a.mid(1), path(a.mid(1)));
        const QString out = path(options.takeLast());
        const EngineRun run = Engine(QStringList{"-y"} + options + kQualityTail + QStringList{out});
        QVERIFY2(run.exitCode == 0, qPrintable(run.output));
        const Media m = ReadMedia(out);
        const Fields f = facts.contains("frames=") ? ReadFields(out) : Fields{};
        QStringList fallbacks, bright;
        for (const QString &line : Lines(run.output).filter(QRegularExpression("^Note: .* it is encoded with (\\S+) instead of copied$")))
            fallbacks << line.section(u' ', -4, -4);
        const int w = m.pictureWidth, h = m.pictureHeight;
        const QMap<QString, double> corners{{"top-left", m.Mean(5, 5, 40, 40)}, {"top-right", m.Mean(w - 45, 5, 40, 40)},
                                            {"bottom-left", m.Mean(5, h - 45, 40, 40)}, {"bottom-right", m.Mean(w - 45, h - 45, 40, 40)}};
        for (auto it = corners.begin(); it != corners.end(); ++it)
            if (it.value() > 128)
                bright << it.key();
        auto n = [](auto value) { return QString::number(value); };
        // Of the rows and columns named, those dark (or bright) from edge to edge.
        auto lines = [&](const QString &named, bool dark) {
            QStringList found;
            for (const QString &line : named.split(u',')) {
                const int at = line.mid(1).toInt();
                const double luma = line.startsWith(u'r') ? m.Mean(0, at, w, 1) : m.Mean(at, 0, 1, h);
                if (dark ? luma < 40 : luma > 200)
                    found << line;
            }
            return found.join(u',');
        };
        const QMap<QString, QString> all{
            {"video", m.videoCodec}, {"audio", m.audioCodec}, {"size", QStringLiteral("%1x%2").arg(m.width).arg(m.height)},
            {"decoded", QStringLiteral("%1x%2").arg(w).arg(h)}, {"dar", Dar(m)},
            {"level", n(m.level)}, {"videos", n(m.videoStreams)}, {"audios", n(m.audioStreams)}, {"subtitle", m.subtitleCodec},
            {"text", n(ReadFile(out).contains("Hello there"))}, {"dropped", n(run.output.contains("cannot go into a " + QFileInfo(out).suffix() + " file"))},
            {"key", n(m.startsOnKey)}, {"picture", n(!m.luma.empty())}, {"packets", n(m.videoPackets)}, {"seconds", n(m.seconds)},
            {"turn", n(m.turn)}, {"bright", bright.join(u',')}, {"fallbacks", fallbacks.join(u',')}, {"frames", n(f.frames)}, {"ordered", n(f.ordered)},
            {"luma", n(m.Mean(0, 0, w, h))}, {"time", run.output.section("time=", -1).section(u' ', 0, 0)}};
        QStringList seen;
        for (const QString &fact : facts.split(u' ')) {
            const QString key = fact.section(u'=', 0, 0), want = fact.section(u'=', 1);
            // Lengths within a tenth of a second of each other count as one, and so do lumas 1.5 apart.
            const double slack = key == "seconds" || key == "time" ? 0.1 : key == "luma" ? 1.5 : 0;
            const bool near = slack > 0 && std::abs(all.value(key).toDouble() - want.toDouble()) < slack;
            seen << key + u'=' + (near ? want : key == "black" || key == "white" ? lines(want, key == "black") : all.value(key));
        }
        QCOMPARE(seen.join(u' '), facts);
    }

    // ------------------------------------------------------------ what a file keeps

    // A film of 3 s with a title, two chapters ("Arrival", "Beach" from 1.5 s), an English and a
    // French commentary track, forced English subtitles and a cover picture.
    QString chaptered()
    {
        const QString film = path("chaptered.mkv");
        if (QFile::exists(film))
            return film;
        const QString tagged = path("tagged.mkv");
        const QString chapters = path("chapters.txt"), subs = path("forced.srt");
        if (!WriteFile(chapters, ";FFMETADATA1\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=1500\ntitle=Arrival\n"
                                 "[CHAPTER]\nTIMEBASE=1/1000\nSTART=1500\nEND=3000\ntitle=Beach\n") ||
            !WriteFile(subs, "1\n00:00:00,500 --> 00:00:01,500\nSign\n"))
            return {};
        const QString joined = path("joined.mkv");
        Engine({"-y", "-i", m_sources["film"], "-i", m_sources["commentary"], "-i", subs, "-map", "0:v", "-map", "0:a", "-map", "1:a",
                "-map", "2:s", "-vcodec", "copy", "-acodec", "copy", joined});
        QByteArray png;
        QBuffer buffer(&png);
        QImage cover(64, 64, QImage::Format_RGB32);
        cover.fill(Qt::red);
        cover.save(&buffer, "PNG");
        const bool shaped = Remux(joined, tagged, [&](AVFormatContext *oc) {
            av_dict_set(&oc->metadata, "title", "Holiday", 0);
            const char *languages[] = {"und", "eng", "fre", "eng"};
            for (unsigned i = 0; i < 4; ++i)
                av_dict_set(&oc->streams[i]->metadata, "language", languages[i], 0);
            av_dict_set(&oc->streams[2]->metadata, "title", "Commentary", 0);
            oc->streams[1]->disposition = AV_DISPOSITION_DEFAULT;
            oc->streams[2]->disposition = 0;
            oc->streams[3]->disposition = AV_DISPOSITION_FORCED;
            AVStream *st = avformat_new_stream(oc, nullptr);
            st->codecpar->codec_type = AVMEDIA_TYPE_ATTACHMENT;
            st->codecpar->codec_id = AV_CODEC_ID_PNG;
            st->codecpar->extradata = static_cast<uint8_t *>(av_mallocz(png.size() + AV_INPUT_BUFFER_PADDING_SIZE));
            std::copy(png.begin(), png.end(), st->codecpar->extradata);
            st->codecpar->extradata_size = int(png.size());
            av_dict_set(&st->metadata, "filename", "cover.png", 0);
            av_dict_set(&st->metadata, "mimetype", "image/png", 0);
            return true;
        });
        // The chapters come from a metadata file, through the engine's own -map_chapters.
        if (shaped)
            Engine({"-y", "-i", tagged, "-i", chapters, "-map", "0:v", "-map", "0:a", "-map", "0:s", "-map_chapters", "1",
                    "-vcodec", "copy", "-acodec", "copy", film});
        return film;
    }

    // Chapters (moved and cut by the trim), the title, each track's language, name and
    // disposition, and the cover, in every container that holds them.
    void keepsWhatTheFileSays_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("options");
        QTest::addColumn<QStringList>("kept"); // title, chapters, tracks, covers
        auto row = [](const char *name, const char *file, const QString &options, const char *title, const char *chapters,
                      const char *tracks, int covers) {
            QTest::newRow(name) << file << options << QStringList{title, chapters, tracks, QString::number(covers)};
        };
        const QString all = " -map 0:v:0? -map 0:a? -map 0:s?";
        const char *both = "Arrival 0.0-1.5|Beach 1.5-3.0", *three = "a eng default|a fre Commentary|s eng forced";
        row("mkv copy", "kept.mkv", "-vcodec copy -acodec copy" + all, "Holiday", both, three, 1);
        row("mp4 h264", "kept.mp4", "-vcodec libx264 -preset ultrafast -acodec aac" + all, "Holiday", both,
            "a eng default|a fre Commentary|s eng default forced", 1);
        row("mp4 copy", "copied.mp4", "-vcodec copy -acodec copy" + all, "Holiday", both, "a eng default|a fre Commentary|s eng default forced", 1);
        row("webm vp9 opus", "kept.webm", "-vcodec libvpx-vp9 -deadline realtime -cpu-used 8 -acodec libopus" + all, "Holiday", both, three, 0);
        // Ogg keeps the file's tags with its first stream.
        row("ogg vorbis", "kept.ogg", "-acodec libvorbis -map 0:a?", "", both, "a eng Holiday|a fre Commentary", 0);
        row("m4a, cover kept with -vn", "kept.m4a", "-f ipod -vn -acodec aac", "Holiday", both, "a eng default", 1);
        row("mp3", "kept.mp3", "-vn -acodec libmp3lame", "Holiday", both, "a", 1);
        row("trimmed", "trimmed.mkv", "-ss 1 -t 1.5 -vcodec libx264 -preset ultrafast" + all, "Holiday", "Arrival 0.0-0.5|Beach 0.5-1.5", three, 1);
        row("trimmed ogg", "trimmed.ogg", "-ss 1.2 -acodec libvorbis", "", "Arrival 0.0-0.3|Beach 0.3-1.8", "a eng Holiday", 0);
        row("all turned off", "bare.mkv", "-vcodec copy -acodec copy -map_metadata -1 -map_chapters -1 -cover_art 0", "", "", "a default", 0);
    }
    void keepsWhatTheFileSays()
    {
        QFETCH(QString, file);
        QFETCH(QString, options);
        QFETCH(QStringList, kept);
        const EngineRun run = Convert(chaptered(), options.split(u' '), path(file));
        QVERIFY2(run.exitCode == 0, qPrintable(run.output));
        const Media m = ReadMedia(path(file));
        QStringList out{m.tags.value("title"), m.chapters, m.tracks, QString::number(m.covers)};
        // Ogg keeps where chapters start; the last one ends where the file does.
        if (file.endsWith(".ogg"))
            out[1] = out[1].section(u'-', 0, -2), kept[1] = kept[1].section(u'-', 0, -2);
        QCOMPARE(out, kept);
    }

    // ------------------------------------------------------------ interlaced sources

    // Interlaced pictures are made progressive where the stream says so or idet sees combing,
    // and only there; film with repeated fields and "keep interlaced" are left as they are.
    void interlaced_data()
    {
        QTest::addColumn<Interlace>("row");
        QTest::newRow("field order says so") << Interlace{"top-first", "", "interlaced (top field first)", "progressive"};
        QTest::newRow("combing found") << Interlace{"woven", "", "interlaced (combing in", "progressive"};
        QTest::newRow("bottom field first found") << Interlace{"woven-bottom", "", "interlaced (combing in", "progressive"};
        QTest::newRow("kept interlaced") << Interlace{"woven", "-deinterlace 0", "", "interlaced"};
        QTest::newRow("telecined film left alone") << Interlace{"telecined", "", "telecine", ""};
        QTest::newRow("progressive untouched") << Interlace{"progressive", "", "", "progressive"};
    }
    void interlaced()
    {
        QFETCH(Interlace, row);
        const auto &[source, options, note, after] = row;
        const Fields before = ReadFields(m_sources["woven"]);
        QVERIFY2(before.interlaced > 4 * before.progressive, qPrintable(QString::number(before.interlaced)));

        const QString out = path(QStringLiteral("from %1.mp4").arg(QTest::currentDataTag()));
        const EngineRun run = Convert(m_sources[source], QStringList{"-vcodec", "libx264", "-crf", "18"} + options.split(u' ', Qt::SkipEmptyParts), out);
        QVERIFY2(run.exitCode == 0, qPrintable(run.output));
        const QStringList notes = Lines(run.output).filter(QRegularExpression("^Note: .*(interlaced|telecine)"));
        QVERIFY2(note.isEmpty() ? notes.isEmpty() : notes.size() == 1 && notes.first().contains(note), qPrintable(notes.join(u'\n')));
        const Fields f = ReadFields(out);
        const int seen = after == "interlaced" ? f.interlaced : f.progressive, other = f.interlaced + f.progressive - seen;
        QVERIFY2(after.isEmpty() || seen > 4 * other, qPrintable(QStringLiteral("%1 progressive, %2 interlaced").arg(f.progressive).arg(f.interlaced)));
        QCOMPARE(f.frames, ReadFields(m_sources[source]).frames); // a picture for each picture
    }

    // A write that fails half-way ends with its cause in plain words, not with a signal.
    void writeFailures_data()
    {
        QTest::addColumn<bool>("fullDisk"); // else a file size limit of 64 KB
        QTest::addColumn<QString>("message");
        QTest::newRow("file size limit") << false << "the file reached the largest size this process may write";
        QTest::newRow("full disk") << true << "No space left on device";
    }
    void writeFailures()
    {
        QFETCH(bool, fullDisk);
        QFETCH(QString, message);
        const QString out = path(fullDisk ? "full.avi" : "limited.avi");
        Launch engine{EnginePath(), {"-y", "-i", m_sources["clip"], "-vb", "3000", out}, 60000};
        if (fullDisk)
            QVERIFY(QFile::link("/dev/full", out)); // every write to it fails with ENOSPC
        else
            engine.inChild = [] {
                const rlimit limit{64 * 1024, 64 * 1024};
                setrlimit(RLIMIT_FSIZE, &limit);
            };
        const ProgramRun run = Run(engine);
        QVERIFY2(run.exitCode == 1 && !run.output.contains("global headers:"), qPrintable(run.output));
        const QStringList errors = OtherLines(run.output);
        QVERIFY2(errors.size() == 1 && errors.first().contains(message), qPrintable(run.output));
        QVERIFY2(!QFileInfo(out).isFile(), "the partial output is removed");
    }
};

QTEST_GUILESS_MAIN(TestEngine)
#include "test_engine.moc"
