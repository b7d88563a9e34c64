// What the targets reach, measured with the libraries' own filters on media made here:
// loudness of a quiet, a loud and a spiky source; size against the size asked for; SSIM
// and size against the best single CRF of an exhaustive search and against the one CRF a
// user would need for the whole set. Prints figures and ratios; not a test.
//
//   bench_targets [--engine PATH] [--seconds N] [--only loudness|size|quality]

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

#include "support/MediaMeasure.h"

extern "C" {
#include <libavutil/log.h>
}

using TestSupport::MeasureLoudness;
using TestSupport::MeasureSsim;

namespace {

QString g_engine = QStringLiteral(CORVANE_PROGRAM_DIR "/mirracore");
const QStringList kTail{"-qmin", "1", "-qmax", "51", "-level", "13"};

QString Engine(const QStringList &args, int *exitCode = nullptr)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.setStandardInputFile(QProcess::nullDevice());
    p.start(g_engine, args);
    p.waitForFinished(-1);
    if (exitCode)
        *exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return QString::fromUtf8(p.readAll());
}

// A conversion as the program starts it, with the fixed tail.
QString Convert(const QString &in, const QStringList &options, const QString &out, int *exitCode = nullptr)
{
    return Engine(QStringList{"-y", "-i", in} + options + kTail + QStringList{out}, exitCode);
}

QString Note(const QString &output, const QString &what)
{
    for (const QString &line : output.split(QStringLiteral("\r\n")))
        if (line.startsWith("Note: " + what))
            return line.mid(6);
    return QStringLiteral("(no note)");
}

void Loudness(const QTemporaryDir &dir, int seconds)
{
    std::printf("Loudness, target -16 LUFS, true peak at most -1 dBTP (measured with ebur128)\n");
    std::printf("%-44s %9s %9s %9s %9s %12s\n", "source", "in LUFS", "in dBTP", "out LUFS", "out dBTP", "linear only");
    const std::pair<const char *, const char *> sources[] = {
        {"quiet tone", "0.025*sin(2*PI*440*t)"},
        {"loud full-scale tone", "sin(2*PI*997*t)"},
        {"spiky: quiet noise, full-scale clicks", "0.01*(2*random(0)-1)+if(lt(mod(t,0.25),0.0005),0.99,0)"},
    };
    int i = 0;
    for (const auto &[name, expression] : sources) {
        const QString source = dir.filePath(QStringLiteral("loud%1.wav").arg(i));
        const QString out = dir.filePath(QStringLiteral("loud%1.m4a").arg(i++));
        Engine({"-y", "-f", "lavfi", "-i", QStringLiteral("aevalsrc='%1':s=48000:d=%2").arg(expression).arg(seconds), source});
        Convert(source, {"-acodec", "aac", "-ab", "160", "-loudness", "-16"}, out);
        const auto before = MeasureLoudness(source), after = MeasureLoudness(out);
        // What gain alone could reach without letting a peak over -1 dBTP.
        const double linear = before.integrated + std::min(-16 - before.integrated, -1 - before.truePeak);
        std::printf("%-44s %9.1f %9.1f %9.1f %9.1f %12.1f\n", name, before.integrated, before.truePeak, after.integrated,
                    after.truePeak, linear);
    }
}

void Size(const QTemporaryDir &dir, int seconds)
{
    std::printf("\nTarget size: output / target (must lie within 0.90 to 1.00)\n");
    const QString noisy = dir.filePath("noisy.mkv"), sound = dir.filePath("sound.wav");
    Engine({"-y", "-f", "lavfi", "-i",
            QStringLiteral("testsrc2=size=1280x720:rate=30:duration=%1,noise=alls=12:allf=t+u").arg(seconds), "-f", "lavfi",
            "-i", QStringLiteral("sine=frequency=440:duration=%1").arg(seconds), "-vcodec", "libx264", "-crf", "14", "-preset",
            "ultrafast", "-acodec", "flac", noisy});
    Engine({"-y", "-f", "lavfi", "-i", QStringLiteral("sine=frequency=440:duration=%1").arg(seconds * 3), sound});
    struct Case
    {
        const char *name;
        QString source;
        const char *size;
        double bytes;
        QStringList options;
        const char *file;
    };
    const QStringList h264{"-vcodec", "libx264", "-preset", "veryfast", "-acodec", "aac", "-ab", "128"};
    const Case cases[] = {
        {"noisy 1280x720 H.264/AAC", noisy, "2M", 2e6, h264, "size2M.mp4"},
        {"noisy 1280x720 H.264/AAC", noisy, "5M", 5e6, h264, "size5M.mp4"},
        {"noisy 1280x720 VP9/Opus", noisy, "2M", 2e6, {"-vcodec", "libvpx-vp9", "-row-mt", "1", "-acodec", "libopus"}, "size2M.webm"},
        {"sound alone, MP3", sound, "500k", 5e5, {"-acodec", "libmp3lame"}, "size500k.mp3"},
    };
    std::printf("%-30s %8s %12s %7s  %s\n", "source", "target", "bytes", "ratio", "engine's note");
    for (const Case &c : cases) {
        const QString out = dir.filePath(c.file);
        const QString output = Convert(c.source, c.options + QStringList{"-target-size", c.size}, out);
        const qint64 bytes = QFileInfo(out).size();
        std::printf("%-30s %8s %12lld %7.3f  %s\n", c.name, c.size, static_cast<long long>(bytes), double(bytes) / c.bytes,
                    qPrintable(Note(output, "size")));
    }
}

void Quality(const QTemporaryDir &dir, int seconds, double target)
{
    std::printf("\nTarget quality SSIM %.3f, libx264 veryfast: ours against the best single CRF (exhaustive, whole clip)\n",
                target);
    const std::pair<const char *, const char *> clips[] = {
        {"still test card", "smptehdbars=size=640x360:rate=25:duration=%1"},
        {"moving graphics", "testsrc2=size=640x360:rate=25:duration=%1"},
        {"smooth moving gradients", "gradients=size=640x360:rate=25:speed=0.02:duration=%1"},
        {"turning picture", "smptehdbars=size=640x360:rate=25:duration=%1,rotate=a=0.4*t"},
    };
    const QStringList x264{"-vcodec", "libx264", "-preset", "veryfast", "-pix_fmt", "yuv420p", "-an"};
    std::printf("%-26s %4s %7s %9s | %4s %7s %9s | %6s\n", "clip", "CRF", "SSIM", "bytes", "best", "SSIM", "bytes", "ratio");
    double oursTotal = 0;
    std::vector<std::map<int, std::pair<double, qint64>>> scans;
    int fixed = 51;
    int index = 0;
    for (const auto &[name, graph] : clips) {
        const QString source = dir.filePath(QStringLiteral("clip%1.mkv").arg(index));
        Engine({"-y", "-f", "lavfi", "-i", QString::fromLatin1(graph).arg(seconds), "-vcodec", "libx264",
                "-crf", "0", "-preset", "ultrafast", source});
        const QString ours = dir.filePath(QStringLiteral("ours%1.mp4").arg(index));
        const QString output = Convert(source, x264 + QStringList{"-target-ssim", QString::number(target)}, ours);
        const QRegularExpressionMatch m = QRegularExpression("CRF (\\d+)").match(Note(output, "SSIM"));
        const double oursSsim = MeasureSsim(ours, source);
        const qint64 oursBytes = QFileInfo(ours).size();
        oursTotal += double(oursBytes);
        // Every CRF, whole clip: the highest whose SSIM reaches the target is the best single one.
        std::map<int, std::pair<double, qint64>> scan;
        int best = -1;
        for (int crf = 0; crf <= 51; ++crf) {
            const QString out = dir.filePath("scan.mp4");
            Convert(source, x264 + QStringList{"-crf", QString::number(crf)}, out);
            scan[crf] = {MeasureSsim(out, source), QFileInfo(out).size()};
            if (scan[crf].first >= target)
                best = crf;
        }
        scans.push_back(scan);
        fixed = std::min(fixed, best);
        const auto &b = scan[std::max(best, 0)];
        std::printf("%-26s %4s %7.4f %9lld | %4d %7.4f %9lld | %6.3f\n", name, qPrintable(m.captured(1)), oursSsim,
                    static_cast<long long>(oursBytes), best, b.first, static_cast<long long>(b.second),
                    double(oursBytes) / double(b.second));
        ++index;
    }
    double fixedTotal = 0;
    for (const auto &scan : scans)
        fixedTotal += double(scan.at(std::max(fixed, 0)).second);
    std::printf("set: ours %.0f bytes, one fixed CRF %d for every clip %.0f bytes, ratio %.3f\n", oursTotal, fixed, fixedTotal,
                oursTotal / fixedTotal);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    av_log_set_level(AV_LOG_ERROR); // the meters' own summaries are not the figures
    QStringList args = app.arguments().mid(1);
    int seconds = 20;
    QString only;
    for (int i = 0; i + 1 < args.size(); i += 2) {
        if (args[i] == "--engine")
            g_engine = args[i + 1];
        else if (args[i] == "--seconds")
            seconds = std::max(2, args[i + 1].toInt());
        else if (args[i] == "--only")
            only = args[i + 1];
    }
    QTemporaryDir dir;
    // The quality search's scores stay with this run.
    qputenv("XDG_CACHE_HOME", QFile::encodeName(dir.filePath("cache")));
    if (only.isEmpty() || only == "loudness")
        Loudness(dir, seconds);
    if (only.isEmpty() || only == "size")
        Size(dir, seconds);
    if (only.isEmpty() || only == "quality")
        Quality(dir, std::min(seconds, 8), 0.97);
    return 0;
}
