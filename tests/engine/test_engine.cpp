// End-to-end tests of the engine: media made with its own lavfi inputs,
// converted to every container the profiles use, and checked both through the
// engine's own description and through libavformat/libavcodec directly.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include "support/TestSupport.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

using namespace TestSupport;

namespace {

const QStringList kQualityTail{"-qmin", "1", "-qmax", "51", "-level", "13"};

struct EngineRun
{
    QString output;
    int exitCode = -1;
};

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
    QStringList lines = output.split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
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

struct Probe
{
    QString text;
    int exitCode = -1;
    double duration = -1;
    QStringList video; // fields of the first Video: line
    QStringList audio;
};

Probe ProbeFile(const QString &path)
{
    Probe p;
    p.text = RunProgram(EnginePath(), {"-i", path}, &p.exitCode, 60000);
    static const QRegularExpression duration(QStringLiteral("Duration: (\\d\\d):(\\d\\d):(\\d\\d\\.\\d\\d),"));
    const auto m = duration.match(p.text);
    if (m.hasMatch())
        p.duration = m.captured(1).toInt() * 3600 + m.captured(2).toInt() * 60 + m.captured(3).toDouble();
    for (const QString &line : Lines(p.text)) {
        const qsizetype v = line.indexOf(QStringLiteral("Video: "));
        if (v >= 0 && p.video.isEmpty())
            p.video = line.mid(v + 7).split(QStringLiteral(", "));
        const qsizetype a = line.indexOf(QStringLiteral("Audio: "));
        if (a >= 0 && p.audio.isEmpty())
            p.audio = line.mid(a + 7).split(QStringLiteral(", "));
    }
    return p;
}

QString FieldWith(const QStringList &fields, const QString &part)
{
    for (const QString &f : fields)
        if (f.contains(part))
            return f;
    return {};
}

// What libavformat finds in a file, independent of the engine's own description.
struct Media
{
    bool opened = false;
    AVCodecID videoCodec = AV_CODEC_ID_NONE;
    AVCodecID audioCodec = AV_CODEC_ID_NONE;
    int width = 0, height = 0, level = 0;
    AVRational sar{0, 1};
    int videoPackets = 0, audioPackets = 0;
    QMap<QString, QString> tags;
};

Media ReadMedia(const QString &path)
{
    Media m;
    AVFormatContext *ic = nullptr;
    if (avformat_open_input(&ic, QFile::encodeName(path).constData(), nullptr, nullptr) < 0)
        return m;
    if (avformat_find_stream_info(ic, nullptr) >= 0) {
        m.opened = true;
        int v = -1, a = -1;
        for (unsigned i = 0; i < ic->nb_streams; ++i) {
            const AVCodecParameters *par = ic->streams[i]->codecpar;
            if (par->codec_type == AVMEDIA_TYPE_VIDEO && v < 0) {
                v = int(i);
                m.videoCodec = par->codec_id;
                m.width = par->width;
                m.height = par->height;
                m.level = par->level;
                m.sar = par->sample_aspect_ratio;
            } else if (par->codec_type == AVMEDIA_TYPE_AUDIO && a < 0) {
                a = int(i);
                m.audioCodec = par->codec_id;
            }
        }
        const AVDictionaryEntry *tag = nullptr;
        while ((tag = av_dict_get(ic->metadata, "", tag, AV_DICT_IGNORE_SUFFIX)))
            m.tags.insert(QString::fromUtf8(tag->key).toLower(), QString::fromUtf8(tag->value));
        AVPacket *pkt = av_packet_alloc();
        while (av_read_frame(ic, pkt) >= 0) {
            if (pkt->stream_index == v)
                ++m.videoPackets;
            else if (pkt->stream_index == a)
                ++m.audioPackets;
            av_packet_unref(pkt);
        }
        av_packet_free(&pkt);
    }
    avformat_close_input(&ic);
    return m;
}

// The luma plane of the first decoded picture.
struct Picture
{
    int width = 0, height = 0;
    std::vector<uint8_t> luma;
    double Row(int y) const
    {
        double sum = 0;
        for (int x = 0; x < width; ++x)
            sum += luma[size_t(y) * width + x];
        return sum / width;
    }
    double Column(int x) const
    {
        double sum = 0;
        for (int y = 0; y < height; ++y)
            sum += luma[size_t(y) * width + x];
        return sum / height;
    }
    double Mean() const
    {
        double sum = 0;
        for (uint8_t v : luma)
            sum += v;
        return luma.empty() ? -1 : sum / double(luma.size());
    }
};

Picture FirstPicture(const QString &path)
{
    Picture picture;
    AVFormatContext *ic = nullptr;
    if (avformat_open_input(&ic, QFile::encodeName(path).constData(), nullptr, nullptr) < 0)
        return picture;
    avformat_find_stream_info(ic, nullptr);
    const AVCodec *codec = nullptr;
    const int v = av_find_best_stream(ic, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    AVCodecContext *dec = v >= 0 && codec ? avcodec_alloc_context3(codec) : nullptr;
    if (dec && avcodec_parameters_to_context(dec, ic->streams[v]->codecpar) >= 0 && avcodec_open2(dec, codec, nullptr) >= 0) {
        AVPacket *pkt = av_packet_alloc();
        AVFrame *frame = av_frame_alloc();
        bool done = false;
        auto take = [&]() {
            if (avcodec_receive_frame(dec, frame) < 0)
                return;
            const AVPixelFormat f = AVPixelFormat(frame->format);
            if (f == AV_PIX_FMT_YUV420P || f == AV_PIX_FMT_YUVJ420P || f == AV_PIX_FMT_YUV422P ||
                f == AV_PIX_FMT_YUV444P) {
                picture.width = frame->width;
                picture.height = frame->height;
                picture.luma.resize(size_t(frame->width) * frame->height);
                for (int y = 0; y < frame->height; ++y)
                    memcpy(&picture.luma[size_t(y) * frame->width], frame->data[0] + y * frame->linesize[0],
                           size_t(frame->width));
            }
            done = true;
        };
        while (!done && av_read_frame(ic, pkt) >= 0) {
            if (pkt->stream_index == v && avcodec_send_packet(dec, pkt) >= 0)
                take();
            av_packet_unref(pkt);
        }
        if (!done) {
            avcodec_send_packet(dec, nullptr);
            take();
        }
        av_frame_free(&frame);
        av_packet_free(&pkt);
    }
    avcodec_free_context(&dec);
    avformat_close_input(&ic);
    return picture;
}

} // namespace

class TestEngine : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_clip;      // 2 s, 320x240, 25 fps, stereo 44.1 kHz
    QString m_white;     // 720x480 white
    QString m_barred;    // 720x480 white with black bars of 40 columns left and right
    QString m_pattern;   // 3 s whose frame N has luma 4*N; key frames 2 s apart
    QString m_videoOnly;
    QString m_audioOnly;

    QString path(const QString &name) const { return m_dir.filePath(name); }

    QString makeSource(const QString &name, const QStringList &args)
    {
        const QString out = path(name);
        const EngineRun run = Engine(QStringList{"-y"} + args + QStringList{out});
        if (run.exitCode != 0)
            qWarning().noquote() << run.output;
        return out;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY2(QFileInfo(EnginePath()).isExecutable(), qPrintable(EnginePath()));
        av_log_set_level(AV_LOG_QUIET); // the checks here read files; their remarks are noise
        ClipSpec wanted;
        wanted.outputOptions = {"-ac", "2", "-vb", "1500"};
        m_clip = path("clip.mp4");
        MakeClip(m_clip, wanted);
        QVERIFY(QFile::exists(m_clip));

        m_white = makeSource("white.mp4", {"-f", "lavfi", "-i", "color=c=white:size=720x480:rate=25:duration=1",
                                           "-vcodec", "libx264", "-vb", "3000"});
        m_barred = makeSource("barred.mp4",
                              {"-f", "lavfi", "-i",
                               "color=c=white:size=720x480:rate=25:duration=1,"
                               "drawbox=x=0:y=0:w=40:h=480:c=black:t=fill,drawbox=x=680:y=0:w=40:h=480:c=black:t=fill",
                               "-vcodec", "libx264", "-vb", "3000"});
        m_pattern = makeSource("pattern.mp4",
                               {"-f", "lavfi", "-i", "color=c=black:size=64x64:rate=25:duration=3,geq=lum=N*4:cb=128:cr=128",
                                "-f", "lavfi", "-i", "sine=frequency=300:sample_rate=44100:duration=3", "-vcodec",
                                "libx264", "-g", "50", "-vb", "2000"});
        ClipSpec videoOnly;
        videoOnly.audio = false;
        m_videoOnly = path("video only.mp4");
        MakeClip(m_videoOnly, videoOnly);
        ClipSpec audioOnly;
        audioOnly.video = false;
        m_audioOnly = path("audio only.mp3");
        MakeClip(m_audioOnly, audioOnly);
        for (const QString &f : {m_white, m_barred, m_pattern, m_videoOnly, m_audioOnly})
            QVERIFY2(QFile::exists(f), qPrintable(f));
    }

    // ------------------------------------------------------------ probe output

    void probeDescribesFile()
    {
        const Probe p = ProbeFile(m_clip);
        QCOMPARE(p.exitCode, 1);
        const QStringList lines = Lines(p.text);
        QVERIFY(!lines.isEmpty());
        QCOMPARE(lines.last(), QStringLiteral("Must supply at least one output file"));
        QVERIFY2(p.text.endsWith("\r\n") && p.text.count("\n") == p.text.count("\r\n"), "every line ends in CR LF");
        QCOMPARE(lines.first(), QStringLiteral("Input #0, mp4, from '%1':").arg(m_clip));
        QVERIFY(QRegularExpression("^  Duration: 00:00:02\\.00, start: 0\\.000000, bitrate: \\d+ kb/s$").match(lines.at(1)).hasMatch());

        // Video: codec first; exactly one field with "x", one with "tb", one with "kb/s".
        QCOMPARE(p.video.value(0), QStringLiteral("h264"));
        QCOMPARE(p.video.filter("x").size(), 1);
        QCOMPARE(p.video.filter("tb").size(), 1);
        QCOMPARE(p.video.filter("kb/s").size(), 1);
        QCOMPARE(FieldWith(p.video, "x"), QStringLiteral("320x240 [PAR 1:1 DAR 4:3]"));
        QCOMPARE(FieldWith(p.video, "tb"), QStringLiteral("25.00 tb(r)"));
        QVERIFY(QRegularExpression("^[1-9]\\d* kb/s$").match(FieldWith(p.video, "kb/s")).hasMatch());
        // Audio: codec, rate, channels, bit rate, in that order.
        QCOMPARE(p.audio.size(), 4);
        QCOMPARE(p.audio.at(0), QStringLiteral("aac"));
        QCOMPARE(p.audio.at(1), QStringLiteral("44100 Hz"));
        QCOMPARE(p.audio.at(2), QStringLiteral("stereo"));
        QVERIFY(QRegularExpression("^[1-9]\\d* kb/s$").match(p.audio.at(3)).hasMatch());
    }

    void probeOfLavfiInputs()
    {
        // Two synthetic inputs, each described with its own streams.
        const EngineRun run = Engine({"-f", "lavfi", "-i", "testsrc=size=160x120:rate=10:duration=1", "-f", "lavfi",
                                      "-i", "sine=frequency=1000:sample_rate=22050:duration=1"});
        QCOMPARE(run.exitCode, 1);
        QVERIFY(run.output.contains("Input #0, lavfi, from 'testsrc=size=160x120:rate=10:duration=1':\r\n"));
        QVERIFY(run.output.contains("Input #1, lavfi, from 'sine="));
        QVERIFY(QRegularExpression("Stream #0\\.0: Video: rawvideo, \\w+, 160x120 \\[PAR 1:1 DAR 4:3\\](, \\d+ kb/s)?, 10\\.00 tb\\(r\\)\r\n").match(run.output).hasMatch());
        QVERIFY(run.output.contains("Stream #1.0: Audio: pcm_s16le, 22050 Hz, mono, 352 kb/s\r\n"));
        QVERIFY(run.output.endsWith("Must supply at least one output file\r\n"));
    }

    // ------------------------------------------------------------ containers

    void containers_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("videoCodec"); // AV_CODEC_ID_NONE: no video expected
        QTest::addColumn<int>("audioCodec");
        QTest::addColumn<QString>("size");
        QTest::addColumn<double>("audioFrame"); // seconds one audio codec frame lasts

        const QString s320 = "320x240";
        QTest::newRow("mp4 h264 aac") << "a.mp4" << QStringList{"-vcodec", "libx264", "-acodec", "aac", "-vb", "800", "-ab", "128"}
                                      << int(AV_CODEC_ID_H264) << int(AV_CODEC_ID_AAC) << s320 << 1024 / 44100.0;
        QTest::newRow("mp4 defaults") << "b.mp4" << QStringList{} << int(AV_CODEC_ID_H264) << int(AV_CODEC_ID_AAC) << s320
                                      << 1024 / 44100.0;
        QTest::newRow("avi mpeg4 mp3") << "c.avi" << QStringList{"-vcodec", "mpeg4", "-acodec", "libmp3lame", "-vb", "800"}
                                       << int(AV_CODEC_ID_MPEG4) << int(AV_CODEC_ID_MP3) << s320 << 1152 / 44100.0;
        QTest::newRow("avi xvid mp3") << "d.avi" << QStringList{"-vcodec", "libxvid", "-acodec", "libmp3lame", "-ab", "96"}
                                      << int(AV_CODEC_ID_MPEG4) << int(AV_CODEC_ID_MP3) << s320 << 1152 / 44100.0;
        QTest::newRow("flv sorenson mp3") << "e.flv" << QStringList{"-vcodec", "flv", "-acodec", "libmp3lame", "-ar", "22050"}
                                          << int(AV_CODEC_ID_FLV1) << int(AV_CODEC_ID_MP3) << s320 << 1152 / 22050.0;
        QTest::newRow("3gp h263 aac") << "f.3gp" << QStringList{"-vcodec", "h263", "-acodec", "aac", "-s", "176x144", "-ar", "8000", "-ac", "1"}
                                      << int(AV_CODEC_ID_H263) << int(AV_CODEC_ID_AAC) << "176x144" << 1024 / 8000.0;
        QTest::newRow("3gp defaults fit the size") << "g.3gp" << QStringList{} << int(AV_CODEC_ID_H263) << int(AV_CODEC_ID_AAC)
                                                   << "352x288" << 1024 / 44100.0;
        QTest::newRow("wmv wmv2 wma2") << "h.wmv" << QStringList{"-vcodec", "wmv2", "-acodec", "wmav2"} << int(AV_CODEC_ID_WMV2)
                                       << int(AV_CODEC_ID_WMAV2) << s320 << 2048 / 44100.0;
        QTest::newRow("mpeg1 ps mp2") << "i.mpg" << QStringList{"-vcodec", "mpeg1video", "-acodec", "mp2", "-vb", "1150"}
                                      << int(AV_CODEC_ID_MPEG1VIDEO) << int(AV_CODEC_ID_MP2) << s320 << 1152 / 44100.0;
        QTest::newRow("mpeg2 ps ac3") << "j.vob" << QStringList{"-f", "dvd", "-vcodec", "mpeg2video", "-acodec", "ac3", "-ar", "48000"}
                                      << int(AV_CODEC_ID_MPEG2VIDEO) << int(AV_CODEC_ID_AC3) << s320 << 1536 / 48000.0;
        QTest::newRow("mpeg2 ps mp2") << "k.mpg" << QStringList{"-f", "vob", "-vcodec", "mpeg2video", "-acodec", "mp2"}
                                      << int(AV_CODEC_ID_MPEG2VIDEO) << int(AV_CODEC_ID_MP2) << s320 << 1152 / 44100.0;
        QTest::newRow("mkv h264 aac") << "l.mkv" << QStringList{"-vcodec", "libx264", "-acodec", "aac"} << int(AV_CODEC_ID_H264)
                                      << int(AV_CODEC_ID_AAC) << s320 << 1024 / 44100.0;
        QTest::newRow("mkv defaults") << "m.mkv" << QStringList{} << int(AV_CODEC_ID_H264) << int(AV_CODEC_ID_VORBIS) << s320
                                      << 2048 / 44100.0;
        QTest::newRow("webm vp8 vorbis") << "n.webm" << QStringList{"-vcodec", "libvpx", "-acodec", "libvorbis"}
                                         << int(AV_CODEC_ID_VP8) << int(AV_CODEC_ID_VORBIS) << s320 << 2048 / 44100.0;
        QTest::newRow("mov h264 aac") << "o.mov" << QStringList{"-vcodec", "libx264", "-acodec", "aac"} << int(AV_CODEC_ID_H264)
                                      << int(AV_CODEC_ID_AAC) << s320 << 1024 / 44100.0;
        QTest::newRow("mp3 drops the picture") << "p.mp3" << QStringList{"-acodec", "libmp3lame", "-ab", "128"} << int(AV_CODEC_ID_NONE)
                                               << int(AV_CODEC_ID_MP3) << "" << 1152 / 44100.0;
        QTest::newRow("wav") << "q.wav" << QStringList{} << int(AV_CODEC_ID_NONE) << int(AV_CODEC_ID_PCM_S16LE) << "" << 0.0;
        QTest::newRow("ogg vorbis") << "r.ogg" << QStringList{"-acodec", "libvorbis"} << int(AV_CODEC_ID_NONE)
                                    << int(AV_CODEC_ID_VORBIS) << "" << 2048 / 44100.0;
        QTest::newRow("gif drops the sound") << "s.gif" << QStringList{"-s", "160x120"} << int(AV_CODEC_ID_GIF)
                                             << int(AV_CODEC_ID_NONE) << "160x120" << 0.0;
        QTest::newRow("gif with rgb8") << "t.gif" << QStringList{"-pix_fmt", "rgb8", "-r", "10"} << int(AV_CODEC_ID_GIF)
                                       << int(AV_CODEC_ID_NONE) << s320 << 0.0;
    }
    void containers()
    {
        QFETCH(QString, file);
        QFETCH(QStringList, options);
        QFETCH(int, videoCodec);
        QFETCH(int, audioCodec);
        QFETCH(QString, size);
        QFETCH(double, audioFrame);

        const QString out = path("containers/" + file);
        QDir().mkpath(path("containers"));
        const EngineRun run = Convert(m_clip, options, out);
        QVERIFY2(run.exitCode == 0, qPrintable(run.output));
        QCOMPARE(run.output.count("global headers:"), 1);
        QVERIFY2(OtherLines(run.output).isEmpty(), qPrintable(OtherLines(run.output).join('\n')));

        const Probe p = ProbeFile(out);
        QVERIFY2(p.text.endsWith("Must supply at least one output file\r\n"), qPrintable(p.text));
        const Media m = ReadMedia(out);
        QVERIFY(m.opened);
        QCOMPARE(int(m.videoCodec), videoCodec);
        QCOMPARE(int(m.audioCodec), audioCodec);
        const bool rateChanged = options.contains("-r");
        const double frame = rateChanged ? 0.1 : 0.04;

        if (videoCodec != AV_CODEC_ID_NONE) {
            QCOMPARE(p.video.value(0), QString::fromLatin1(avcodec_get_name(AVCodecID(videoCodec))));
            QCOMPARE(FieldWith(p.video, "x").section(' ', 0, 0), size);
            QVERIFY2(FieldWith(p.video, "x").contains("DAR 4:3]"), qPrintable(p.video.join('|')));
            QCOMPARE(FieldWith(p.video, "tb"), rateChanged ? QStringLiteral("10.00 tb(r)") : QStringLiteral("25.00 tb(r)"));
            // Exactly the pictures of two seconds: none lost, none doubled.
            QCOMPARE(m.videoPackets, rateChanged ? 20 : 50);
        } else {
            QVERIFY(p.video.isEmpty());
        }
        if (audioCodec != AV_CODEC_ID_NONE) {
            QCOMPARE(p.audio.size(), 4);
            QCOMPARE(p.audio.value(0), QString::fromLatin1(avcodec_get_name(AVCodecID(audioCodec))));
            QVERIFY(m.audioPackets > 0);
        } else {
            QVERIFY(p.audio.isEmpty());
        }
        // The container's duration may round up to the end of the last audio codec frame.
        QVERIFY2(p.duration >= 2.0 - frame - 0.011 && p.duration <= 2.0 + frame + audioFrame + 0.011,
                 qPrintable(QString::number(p.duration)));
    }

    void inputWithoutAudioOrVideo_data()
    {
        QTest::addColumn<bool>("fromVideoOnly");
        QTest::addColumn<QString>("file");
        QTest::newRow("video only to mp4") << true << "vo.mp4";
        QTest::newRow("video only to avi") << true << "vo.avi";
        QTest::newRow("audio only to mp4") << false << "ao.mp4";
        QTest::newRow("audio only to wmv") << false << "ao.wmv";
    }
    void inputWithoutAudioOrVideo()
    {
        QFETCH(bool, fromVideoOnly);
        QFETCH(QString, file);
        const QString out = path(file);
        const EngineRun run = Convert(fromVideoOnly ? m_videoOnly : m_audioOnly, {}, out);
        QVERIFY2(run.exitCode == 0 && run.output.contains("global headers:"), qPrintable(run.output));
        const Media m = ReadMedia(out);
        QCOMPARE(m.videoPackets > 0, fromVideoOnly);
        QCOMPARE(m.audioPackets > 0, !fromVideoOnly);
        QCOMPARE(m.videoCodec == AV_CODEC_ID_NONE, !fromVideoOnly);
        QCOMPARE(m.audioCodec == AV_CODEC_ID_NONE, fromVideoOnly);
    }

    void streamCopy()
    {
        const QString out = path("copy.mkv");
        const EngineRun run = Convert(m_clip, {"-vcodec", "copy", "-acodec", "copy"}, out);
        QVERIFY2(run.exitCode == 0 && run.output.contains("global headers:"), qPrintable(run.output));
        const Media in = ReadMedia(m_clip), m = ReadMedia(out);
        QCOMPARE(m.videoCodec, AV_CODEC_ID_H264);
        QCOMPARE(m.audioCodec, AV_CODEC_ID_AAC);
        QCOMPARE(m.videoPackets, in.videoPackets);
        QCOMPARE(m.audioPackets, in.audioPackets);
    }

    // ------------------------------------------------------------ geometry

    void geometry_data()
    {
        QTest::addColumn<bool>("barredSource");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("size");
        QTest::addColumn<QString>("dar");
        QTest::addColumn<QList<int>>("blackRows");
        QTest::addColumn<QList<int>>("whiteRows");
        QTest::addColumn<QList<int>>("blackColumns");
        QTest::addColumn<QList<int>>("whiteColumns");

        // The worked example: 720x480 fitted into 320x240 with bands of 14 and 12 rows.
        QTest::newRow("scale and pad") << false
                                       << QStringList{"-vcodec", "mpeg4", "-s", "320x214", "-aspect", "1.333", "-padtop", "14",
                                                      "-padbottom", "12", "-qscale", "2"}
                                       << "320x240" << "4:3" << QList<int>{0, 6, 13, 228, 233, 239} << QList<int>{14, 120, 227}
                                       << QList<int>{} << QList<int>{0, 319};
        // The worked example: the middle 640 columns scaled to 320x240; no bar survives.
        QTest::newRow("crop and scale") << true
                                        << QStringList{"-vcodec", "mpeg4", "-cropleft", "40", "-cropright", "40", "-s", "320x240",
                                                       "-aspect", "1.333", "-qscale", "2"}
                                        << "320x240" << "4:3" << QList<int>{} << QList<int>{0, 239} << QList<int>{}
                                        << QList<int>{0, 1, 160, 318, 319};
        // Control for the one above: without the crop the bars are there.
        QTest::newRow("scale without crop") << true << QStringList{"-vcodec", "mpeg4", "-s", "320x240", "-qscale", "2"} << "320x240"
                                            << "3:2" << QList<int>{} << QList<int>{} << QList<int>{0, 10}
                                            << QList<int>{160};
        QTest::newRow("side bars") << false
                                   << QStringList{"-vcodec", "libx264", "-s", "240x240", "-padleft", "40", "-padright", "40",
                                                  "-aspect", "4:3"}
                                   << "320x240" << "4:3" << QList<int>{} << QList<int>{} << QList<int>{0, 39, 280, 319}
                                   << QList<int>{41, 160, 278};
        QTest::newRow("wide display ratio") << false << QStringList{"-vcodec", "libx264", "-s", "320x240", "-aspect", "1.778"}
                                            << "320x240" << "16:9" << QList<int>{} << QList<int>{0, 239} << QList<int>{}
                                            << QList<int>{0, 319};
        // An odd frame height cannot be 4:2:0; the odd row comes off the pad, not the picture.
        QTest::newRow("odd bar at the top") << false
                                                  << QStringList{"-vcodec", "mpeg4", "-s", "320x212", "-aspect", "1.333",
                                                                 "-padtop", "29", "-qscale", "2"}
                                                  << "320x240" << "4:3" << QList<int>{0, 25} << QList<int>{30, 239}
                                                  << QList<int>{} << QList<int>{};
    }
    void geometry()
    {
        QFETCH(bool, barredSource);
        QFETCH(QStringList, options);
        QFETCH(QString, size);
        QFETCH(QString, dar);
        QFETCH(QList<int>, blackRows);
        QFETCH(QList<int>, whiteRows);
        QFETCH(QList<int>, blackColumns);
        QFETCH(QList<int>, whiteColumns);

        const QString out = path(QStringLiteral("geometry %1.avi").arg(QTest::currentDataTag()));
        const EngineRun run = Convert(barredSource ? m_barred : m_white, options, out);
        QVERIFY2(run.exitCode == 0, qPrintable(run.output));
        const Probe p = ProbeFile(out);
        const QString sizeField = FieldWith(p.video, "x");
        QVERIFY2(sizeField.startsWith(size + " [PAR ") && sizeField.endsWith(" DAR " + dar + "]"), qPrintable(sizeField));
        const Media m = ReadMedia(out);
        AVRational darQ;
        av_reduce(&darQ.num, &darQ.den, int64_t(m.width) * (m.sar.num ? m.sar.num : 1), int64_t(m.height) * (m.sar.num ? m.sar.den : 1), 1 << 20);
        QCOMPARE(QStringLiteral("%1:%2").arg(darQ.num).arg(darQ.den), dar);

        const Picture pic = FirstPicture(out);
        QCOMPARE(QStringLiteral("%1x%2").arg(pic.width).arg(pic.height), size);
        for (int row : blackRows)
            QVERIFY2(pic.Row(row) < 40, qPrintable(QStringLiteral("row %1: %2").arg(row).arg(pic.Row(row))));
        for (int row : whiteRows)
            QVERIFY2(pic.Row(row) > 200, qPrintable(QStringLiteral("row %1: %2").arg(row).arg(pic.Row(row))));
        for (int col : blackColumns)
            QVERIFY2(pic.Column(col) < 40, qPrintable(QStringLiteral("column %1: %2").arg(col).arg(pic.Column(col))));
        for (int col : whiteColumns)
            QVERIFY2(pic.Column(col) > 200, qPrintable(QStringLiteral("column %1: %2").arg(col).arg(pic.Column(col))));
    }

    void h264Level_data()
    {
        QTest::addColumn<QString>("size");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("level");
        QTest::newRow("fits 1.3") << "320x240" << QStringList{} << 13;
        QTest::newRow("SD needs 3.0") << "720x480" << QStringList{} << 30;
        QTest::newRow("720p needs 3.1") << "1280x720" << QStringList{} << 31;
        QTest::newRow("bit rate above 1.3") << "320x240" << QStringList{"-vb", "2000"} << 20;
    }
    void h264Level()
    {
        QFETCH(QString, size);
        QFETCH(QStringList, options);
        QFETCH(int, level);
        const QString out = path("level.mp4");
        const EngineRun run = Engine(QStringList{"-y", "-f", "lavfi", "-i", "testsrc=size=" + size + ":rate=25:duration=0.2"} +
                                     options + kQualityTail + QStringList{out});
        QVERIFY2(run.exitCode == 0, qPrintable(run.output));
        QCOMPARE(ReadMedia(out).level, level);
    }

    // ------------------------------------------------------------ trims

    void trims_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("frames");
        QTest::addColumn<int>("firstFrame"); // the source frame number the output starts with
        QTest::newRow("start and length") << QStringList{"-ss", "1", "-t", "1"} << 25 << 25;
        QTest::newRow("start between key frames") << QStringList{"-ss", "0.6", "-t", "0.8"} << 20 << 15;
        QTest::newRow("start after second key frame") << QStringList{"-ss", "2"} << 25 << 50;
        QTest::newRow("length only") << QStringList{"-t", "2"} << 50 << 0;
        QTest::newRow("start only") << QStringList{"-ss", "1"} << 50 << 25;
    }
    void trims()
    {
        QFETCH(QStringList, options);
        QFETCH(int, frames);
        QFETCH(int, firstFrame);
        const QString out = path("trim.avi");
        const EngineRun run = Convert(m_pattern, QStringList{"-vcodec", "mpeg4", "-qscale", "1", "-acodec", "libmp3lame"} + options, out);
        QVERIFY2(run.exitCode == 0, qPrintable(run.output));
        const Media m = ReadMedia(out);
        QCOMPARE(m.videoPackets, frames);
        QVERIFY(m.audioPackets > 0);
        const Probe p = ProbeFile(out);
        const double seconds = frames / 25.0;
        QVERIFY2(qAbs(p.duration - seconds) <= 0.04 + 1152 / 44100.0 + 0.011, qPrintable(QString::number(p.duration)));
        // The first picture is exactly the requested one (each frame is 4 luma steps from the next).
        const double luma = FirstPicture(out).Mean();
        QVERIFY2(qAbs(luma - 4 * firstFrame) <= 1.5, qPrintable(QStringLiteral("luma %1").arg(luma)));
        // The progress reports output time from zero, ending at the length written.
        static const QRegularExpression progress("time=(\\d+\\.\\d\\d) bitrate=");
        double last = -1;
        for (auto it = progress.globalMatch(run.output); it.hasNext();)
            last = it.next().captured(1).toDouble();
        QVERIFY2(qAbs(last - seconds) < 0.1, qPrintable(run.output));
    }

    // ------------------------------------------------------------ output lines

    void progressAndSummaryLines()
    {
        const QString out = path("lines.mp4");
        const EngineRun run = Convert(m_clip, {"-vcodec", "libx264", "-vb", "500"}, out);
        QCOMPARE(run.exitCode, 0);
        QVERIFY(run.output.count("\n") == run.output.count("\r\n"));
        const QStringList lines = Lines(run.output);
        static const QRegularExpression progress(
            "^frame= *\\d+ fps= *\\d+ q=-?\\d+\\.\\d size= *\\d+kB time=\\d+\\.\\d\\d bitrate= *\\d+\\.\\dkbits/s$");
        static const QRegularExpression summary("^video:\\d+kB audio:\\d+kB global headers:\\d+kB muxing overhead -?\\d+\\.\\d%$");
        QVERIFY2(summary.match(lines.last()).hasMatch(), qPrintable(lines.last()));
        const QString final = lines.at(lines.size() - 2);
        QVERIFY2(progress.match(final).hasMatch(), qPrintable(final));
        // Time is what was written: two seconds, and at most the rest of the last audio frame.
        QVERIFY2(final.startsWith("frame=   50 "), qPrintable(final));
        const double time = final.section("time=", 1).section(' ', 0, 0).toDouble();
        QVERIFY2(time >= 2.0 && time <= 2.0 + 1024 / 44100.0 + 0.005, qPrintable(final));
        QVERIFY(lines.indexOf(QRegularExpression("^Output #0, mp4, to '.*lines\\.mp4':$")) > 0);
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
        const QString out = path(file);
        const EngineRun run = Convert(m_clip,
                                      {"-title", "Tïtle, with a comma", "-author", "Ann Author", "-copyright", "(c) 2024 Ann",
                                       "-comment", "a comment", "-album", "The Album", "-metadata", "genre=Test Genre",
                                       "-timestamp", "2024-05-01 12:30:00"},
                                      out);
        QVERIFY2(run.exitCode == 0, qPrintable(run.output));
        const Media m = ReadMedia(out);
        QCOMPARE(m.tags.value("title"), QStringLiteral("Tïtle, with a comma"));
        QCOMPARE(m.tags.value("artist"), QStringLiteral("Ann Author"));
        QCOMPARE(m.tags.value("copyright"), QStringLiteral("(c) 2024 Ann"));
        QCOMPARE(m.tags.value("comment"), QStringLiteral("a comment"));
        QCOMPARE(m.tags.value("album"), QStringLiteral("The Album"));
        QCOMPARE(m.tags.value("genre"), QStringLiteral("Test Genre"));
        QVERIFY2(m.tags.value("creation_time").startsWith("2024-05-01T12:30:00"), qPrintable(m.tags.value("creation_time")));
        // The description shows the tags after the streams, commas made harmless.
        const Probe p = ProbeFile(out);
        QVERIFY2(QRegularExpression("\r\n    title +: Tïtle; with a comma\r\n").match(p.text).hasMatch(), qPrintable(p.text));
        QVERIFY(p.text.indexOf("title") > p.text.indexOf("Audio:"));
    }

    // ------------------------------------------------------------ bad input

    void badInput_data()
    {
        QTest::addColumn<QStringList>("args"); // "%in", "%dir" and "%clip" are replaced
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
        QTest::newRow("two outputs") << QStringList{"-y", "-i", "%clip", "%dir/o16.mp4", "%dir/o17.mp4"} << "Only one output file";
    }
    void badInput()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        writeBrokenFiles();
        QString output;
        for (QString &a : args) {
            a.replace("%clip", m_clip).replace("%dir", m_dir.path());
            if ((a.endsWith(".mp4") || a.endsWith(".gif")) && a.contains("/o"))
                output = a;
        }
        const qint64 clipSize = QFileInfo(m_clip).size();
        const EngineRun run = Engine(args);
        QVERIFY2(run.exitCode != 0, qPrintable(run.output));
        QVERIFY(!run.output.contains("global headers:"));
        const QStringList errors = OtherLines(run.output);
        QVERIFY2(errors.size() == 1, qPrintable(run.output));
        QVERIFY2(errors.first().contains(message), qPrintable(errors.first()));
        QVERIFY2(run.output.endsWith(errors.first() + "\r\n"), "the error line comes last");
        if (!output.isEmpty())
            QVERIFY2(!QFile::exists(output), "no partial output is left behind");
        QCOMPARE(QFileInfo(m_clip).size(), clipSize); // the input is never touched
        QVERIFY(QFile::exists(path("text.avi")));     // nor a file it refused to overwrite
    }

    void truncatedFileConvertsWhatItCan()
    {
        // A file cut in the middle of its data: what is readable converts, or it fails clearly.
        writeBrokenFiles();
        const QString out = path("from truncated.mp4");
        const EngineRun run = Convert(path("truncated.avi"), {"-vcodec", "libx264"}, out);
        if (run.exitCode == 0) {
            QVERIFY(run.output.contains("global headers:"));
            const Media m = ReadMedia(out);
            QVERIFY(m.videoPackets > 5 && m.videoPackets < 50);
        } else {
            QVERIFY(!run.output.contains("global headers:"));
            QCOMPARE(OtherLines(run.output).size(), 1);
        }
    }

    void pathsWithAwkwardCharacters()
    {
        const QString folder = path("a b $HOME 'q' \"d\" ü名");
        QVERIFY(QDir().mkpath(folder));
        const QString out = folder + "/out put $x \"1\" ü.mkv";
        const EngineRun run = Convert(m_clip, {"-vcodec", "mpeg4"}, out);
        QVERIFY2(run.exitCode == 0, qPrintable(run.output));
        const Probe p = ProbeFile(out);
        QVERIFY2(p.text.startsWith(QStringLiteral("Input #0, matroska, from '%1':\r\n").arg(out)), qPrintable(p.text));
    }

private:
    void writeBrokenFiles()
    {
        if (QFile::exists(path("text.avi")))
            return;
        QFile text(path("text.avi"));
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("This is a letter, not a film.\n");
        text.close();
        QFile clip(m_clip);
        QVERIFY(clip.open(QIODevice::ReadOnly));
        const QByteArray all = clip.readAll();
        QFile cut(path("truncated.mp4"));
        QVERIFY(cut.open(QIODevice::WriteOnly));
        cut.write(all.left(all.size() / 2)); // the index of an mp4 is at its end
        cut.close();
        const QString avi = path("whole.avi");
        Convert(m_clip, {"-vcodec", "mpeg4", "-acodec", "libmp3lame"}, avi);
        QFile whole(avi);
        QVERIFY(whole.open(QIODevice::ReadOnly));
        const QByteArray aviBytes = whole.readAll();
        QFile cutAvi(path("truncated.avi"));
        QVERIFY(cutAvi.open(QIODevice::WriteOnly));
        cutAvi.write(aviBytes.left(aviBytes.size() / 2));
    }
};

QTEST_GUILESS_MAIN(TestEngine)
#include "test_engine.moc"
