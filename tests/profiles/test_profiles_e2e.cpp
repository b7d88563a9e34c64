// Every shipped profile converts a generated clip with the real engine, and the result
// has the profile's container, codecs and frame size.
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "profiles/CMpegStructs.h"
#include "profiles/ParamOptions.h"
#include "profiles/ProfileCatalogue.h"
#include "support/TestSupport.h"

namespace {

// What the engine's description of a file says.
struct Probe
{
    QString container;
    QString videoCodec; // empty: no video stream
    QString videoSize;
    QString audioCodec; // empty: no audio stream
    double seconds = -1;
};

Probe probe(const QString &path, QString *rawOutput)
{
    const QString out = TestSupport::RunProgram(TestSupport::EnginePath(), {QStringLiteral("-i"), path});
    *rawOutput = out;
    Probe p;
    static const QRegularExpression input(QStringLiteral("Input #0, (.*), from '"));
    static const QRegularExpression duration(QStringLiteral("Duration: (\\d+):(\\d+):(\\d+(?:\\.\\d+)?)"));
    static const QRegularExpression video(QStringLiteral("Video: ([^,\\r\\n]+)([^\\r\\n]*)"));
    static const QRegularExpression audio(QStringLiteral("Audio: ([^,\\r\\n]+)"));
    static const QRegularExpression size(QStringLiteral("(?:^|, )(\\d+x\\d+)"));
    if (auto m = input.match(out); m.hasMatch())
        p.container = m.captured(1);
    if (auto m = duration.match(out); m.hasMatch())
        p.seconds = m.captured(1).toInt() * 3600 + m.captured(2).toInt() * 60 + m.captured(3).toDouble();
    if (auto m = video.match(out); m.hasMatch()) {
        p.videoCodec = m.captured(1).section(u' ', 0, 0);
        if (auto s = size.match(m.captured(2)); s.hasMatch())
            p.videoSize = s.captured(1);
    }
    if (auto m = audio.match(out); m.hasMatch())
        p.audioCodec = m.captured(1).section(u' ', 0, 0);
    return p;
}

// The names a stream coded by this encoder may be described with.
QStringList codecNames(const QString &encoder)
{
    QStringList names{encoder};
    if (const AVCodec *codec = avcodec_find_encoder_by_name(qPrintable(encoder)))
        names << QString::fromLatin1(avcodec_get_name(codec->id));
    return names;
}

QString optionValue(const QStringList &tokens, const QString &option)
{
    const qsizetype i = tokens.lastIndexOf(option);
    return i >= 0 && i + 1 < tokens.size() ? tokens.at(i + 1) : QString();
}

const QHash<QString, QString> kContainerOfExtension{
    {"mp4", "mp4"}, {"avi", "avi"},       {"flv", "flv"},   {"3gp", "3gp"}, {"wmv", "asf"},
    {"mpg", "mpeg"}, {"mkv", "matroska"}, {"webm", "webm"}, {"mov", "mov"}, {"mp3", "mp3"},
    {"wav", "wav"}, {"ogg", "ogg"},       {"gif", "gif"},
};

} // namespace

class TestProfilesE2E : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_source;
    QString m_program;

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY2(QFileInfo(TestSupport::EnginePath()).isExecutable(), "the engine is not built");
        m_program = TestSupport::BinDir() + u'/';
        // A folder name with blanks, quotes and a dollar: each path is one argument.
        const QString folder = m_dir.filePath(QStringLiteral("in 'put' $dir"));
        QVERIFY(QDir().mkpath(folder));
        m_source = folder + QStringLiteral("/clip source.avi");
        TestSupport::ClipSpec spec;
        spec.seconds = 2;
        spec.size = QStringLiteral("320x240");
        spec.outputOptions = {QStringLiteral("-vcodec"), QStringLiteral("mpeg4"), QStringLiteral("-acodec"),
                              QStringLiteral("pcm_s16le")};
        const QString made = TestSupport::MakeClip(m_source, spec);
        QVERIFY2(QFileInfo(m_source).size() > 0, qPrintable(made));
    }

    void convert_data()
    {
        QTest::addColumn<QString>("name");
        const QStringList names = ReadProfileCatalogue(TestSupport::BinDir() + QStringLiteral("/profile.ini"));
        QVERIFY(names.size() >= 15);
        for (const QString &name : names)
            QTest::newRow(name.toUtf8().constData()) << name;
    }
    void convert()
    {
        QFETCH(QString, name);
        ReadProfileCatalogue(m_program + QStringLiteral("profile.ini"));
        const QString target = GetTargetType(name, m_program);
        QVERIFY(kContainerOfExtension.contains(target));
        CMpegStructs tree;
        tree.LoadFromFile(m_program + ProfileMap::Instance().Lookup(name));
        const QString options = GetParamFromTree(tree.GetRoot());
        const QStringList tokens = options.split(u' ', Qt::SkipEmptyParts);

        QString base = name;
        base.replace(u'/', u'-'); // "MP4 (H.264/AAC)" names no folder
        const QString outputPath = m_dir.filePath(QStringLiteral("out %1.%2").arg(base, target));
        QStringList args{QStringLiteral("-y"), QStringLiteral("-i"), m_source};
        args << tokens;
        // The fixed tail every conversion carries.
        args << QStringLiteral("-qmin") << QStringLiteral("1") << QStringLiteral("-qmax") << QStringLiteral("51")
             << QStringLiteral("-level") << QStringLiteral("13") << outputPath;
        int exitCode = -1;
        const QString log = TestSupport::RunProgram(TestSupport::EnginePath(), args, &exitCode);
        const QByteArray context = (QStringLiteral("options:") + options + u'\n' + log.right(1500)).toUtf8();
        QVERIFY2(exitCode == 0, context.constData());
        QVERIFY2(log.contains(QStringLiteral("global headers:")), context.constData());
        QVERIFY2(QFileInfo(outputPath).size() > 0, context.constData());

        QString description;
        const Probe result = probe(outputPath, &description);
        const QByteArray probeContext = (options + u'\n' + description).toUtf8();
        QVERIFY2(result.container.contains(kContainerOfExtension.value(target)), probeContext.constData());
        QVERIFY2(result.seconds > 1.4 && result.seconds < 2.8, probeContext.constData());

        const QString vcodec = optionValue(tokens, QStringLiteral("-vcodec"));
        if (vcodec.isEmpty()) {
            QVERIFY2(result.videoCodec.isEmpty(), probeContext.constData());
        } else {
            QVERIFY2(codecNames(vcodec).contains(result.videoCodec), probeContext.constData());
            const QString size = optionValue(tokens, QStringLiteral("-s"));
            QCOMPARE(result.videoSize, size.isEmpty() ? QStringLiteral("320x240") : size);
        }
        const QString acodec = optionValue(tokens, QStringLiteral("-acodec"));
        if (acodec.isEmpty())
            QVERIFY2(result.audioCodec.isEmpty(), probeContext.constData());
        else
            QVERIFY2(codecNames(acodec).contains(result.audioCodec), probeContext.constData());
    }
};

QTEST_GUILESS_MAIN(TestProfilesE2E)
#include "test_profiles_e2e.moc"
