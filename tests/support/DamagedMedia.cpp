#include "support/DamagedMedia.h"

#include "support/TestSupport.h"

#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>

namespace DamagedMedia {

namespace {

struct Container
{
    QString name; // of the clip: "clip.mp4"
    QStringList options; // engine output options
};

const QList<Container> &Containers()
{
    // The containers' own codecs, and sources whose swapped chunks send decoding times
    // backwards or that store no presentation times at all.
    static const QList<Container> list = [] {
        QList<Container> l;
        for (const char *ext : {"mp4", "avi", "mkv", "webm", "mov", "flv", "ts", "wmv"})
            l.append({QStringLiteral("clip.") + QLatin1String(ext), {}});
        return l + QList<Container>{{"clip.3gp", {"-ar", "8000", "-ac", "1"}},
                                    {"h264.ts", {"-vcodec", "libx264", "-acodec", "aac"}},
                                    {"mpeg2.mpg", {"-vcodec", "mpeg2video", "-acodec", "mp2"}},
                                    {"b-frames.avi", {"-vcodec", "mpeg4", "-bf", "2"}}};
    }();
    return list;
}

} // namespace

QStringList MakeClips(const QString &enginePath, const QString &folder, double seconds)
{
    QList<TestSupport::Launch> jobs;
    QStringList paths;
    for (const Container &c : Containers()) {
        const QString path = folder + u'/' + c.name;
        const QString length = QString::number(seconds);
        jobs.append({enginePath, QStringList{"-y", "-f", "lavfi", "-i", "testsrc=size=128x96:rate=10:duration=" + length,
                                             "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=22050:duration=" + length}
                                     << c.options << "-s" << "128x96" << path});
        paths << path;
    }
    TestSupport::RunAll(jobs, 2);
    QStringList made;
    for (const QString &p : paths)
        if (QFileInfo(p).size() > 0)
            made << p;
    return made;
}

QList<File> MakeCorpus(const QStringList &clips, const QString &folder)
{
    QList<File> corpus;
    quint32 seed = 1;
    for (const QString &clip : clips) {
        const QByteArray original = TestSupport::ReadFile(clip);
        const QString base = folder + u'/' + QFileInfo(clip).completeBaseName() + u'-';
        const QString ext = u'.' + QFileInfo(clip).suffix();
        const qsizetype n = original.size();
        auto add = [&](const QString &kind, const QByteArray &bytes) {
            QString name = kind;
            name.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9]+")), QStringLiteral("_"));
            const QString path = base + name + ext;
            TestSupport::WriteFile(path, bytes);
            corpus.append({path, clip, kind});
        };
        QRandomGenerator random(seed++);
        auto offset = [&](qsizetype limit) { return qsizetype(random.bounded(quint32(qMax<qsizetype>(1, limit)))); };

        for (int percent : {5, 25, 50, 75, 95})
            add(QStringLiteral("truncated %1%").arg(percent), original.left(n * percent / 100));
        add(QStringLiteral("header only"), original.left(qMin<qsizetype>(n, 1024)));
        add(QStringLiteral("empty"), QByteArray());
        for (int bits : {1, 4, 16, 64})
            for (int variant = 1; variant <= 3; ++variant) {
                QByteArray bytes = original;
                for (int i = 0; i < bits; ++i) {
                    const qsizetype at = offset(n);
                    bytes[at] = char(uchar(bytes[at]) ^ (1u << random.bounded(8)));
                }
                add(QStringLiteral("flipped %1 bits #%2").arg(bits).arg(variant), bytes);
            }
        for (int block : {64, 512, 4096, 16384})
            for (int variant = 1; variant <= 2; ++variant) {
                QByteArray bytes = original;
                const qsizetype at = offset(n);
                bytes.replace(at, qMin<qsizetype>(block, n - at), QByteArray(qMin<qsizetype>(block, n - at), '\0'));
                add(QStringLiteral("zeroed %1 bytes #%2").arg(block).arg(variant), bytes);
            }
        for (int chunk : {188, 1024, 4096, 8192})
            for (int variant = 1; variant <= 2; ++variant) {
                QByteArray bytes = original;
                if (n > 2 * chunk) {
                    const qsizetype a = offset(n / 2 - chunk), b = n / 2 + offset(n / 2 - chunk);
                    const QByteArray first = bytes.mid(a, chunk);
                    bytes.replace(a, chunk, bytes.mid(b, chunk));
                    bytes.replace(b, chunk, first);
                }
                add(QStringLiteral("swapped %1 bytes #%2").arg(chunk).arg(variant), bytes);
            }
    }
    return corpus;
}

double DurationIn(const QString &description)
{
    static const QRegularExpression pattern(QStringLiteral("Duration: (\\d+):(\\d\\d):(\\d\\d(?:\\.\\d+)?)"));
    const QRegularExpressionMatch m = pattern.match(description);
    if (!m.hasMatch())
        return -1;
    return m.captured(1).toDouble() * 3600 + m.captured(2).toDouble() * 60 + m.captured(3).toDouble();
}

} // namespace DamagedMedia
