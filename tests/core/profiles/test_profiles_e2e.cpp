// Every shipped profile converts a generated clip with the real engine, and the result
// has the profile's container, codecs and frame size.
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "core/profiles/CMpegStructs.h"
#include "core/profiles/ParamOptions.h"
#include "core/profiles/ProfileCatalogue.h"
#include "support/TestSupport.h"

namespace {

// The first capture of pattern in the engine's description of a file; "" when it is not there.
QString described(const QString &description, const char *pattern)
{
    return QRegularExpression(QString::fromLatin1(pattern)).match(description).captured(1);
}

// The names a stream coded by this encoder may be described with.
QStringList codecNames(const QString &encoder)
{
    const AVCodec *codec = avcodec_find_encoder_by_name(qPrintable(encoder));
    return {encoder, codec ? QString::fromLatin1(avcodec_get_name(codec->id)) : encoder};
}

QString optionValue(const QStringList &tokens, const char *option)
{
    const qsizetype i = tokens.lastIndexOf(QString::fromLatin1(option));
    return i >= 0 ? tokens.value(i + 1) : QString();
}

const QHash<QString, QString> kContainerOfExtension{
    {"mp4", "mp4"}, {"avi", "avi"},       {"flv", "flv"},   {"3gp", "3gp"}, {"wmv", "asf"},
    {"mpg", "mpeg"}, {"mkv", "matroska"}, {"webm", "webm"}, {"mov", "mov"}, {"mp3", "mp3"},
    {"wav", "wav"}, {"ogg", "ogg"},       {"gif", "gif"},   {"m4a", "m4a"}, {"opus", "ogg"},
    {"flac", "flac"},
};

} // namespace

class TestProfilesE2E : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_source;
    const QString m_program = TestSupport::BinDir() + u'/';
    const AppFolders m_folders = AppFolders::ForProgram(m_program + QStringLiteral("corvane-studio"));

private slots:
    void initTestCase()
    {
        QVERIFY2(QFileInfo(TestSupport::EnginePath()).isExecutable(), "the engine is not built");
        // A folder name with blanks, quotes and a dollar: each path is one argument.
        const QString folder = m_dir.filePath(QStringLiteral("in 'put' $dir"));
        QVERIFY(QDir().mkpath(folder));
        m_source = folder + QStringLiteral("/clip source.avi");
        TestSupport::ClipSpec recipe;
        recipe.seconds = 2;
        recipe.size = QStringLiteral("320x240");
        // Codecs an MP4 can hold too, for the profiles that copy them.
        recipe.outputOptions = QStringList{"-vcodec", "mpeg4", "-acodec", "libmp3lame"};
        const QString made = TestSupport::MakeClip(m_source, recipe);
        QVERIFY2(QFileInfo(m_source).size() > 0, qPrintable(made));
    }

    void convert_data()
    {
        QTest::addColumn<QString>("name");
        const QStringList names = ReadProfileCatalogue(m_program + QStringLiteral("profile.ini"));
        QVERIFY(names.size() >= 15);
        for (const QString &name : names)
            QTest::newRow(name.toUtf8().constData()) << name;
    }
    void convert()
    {
        QFETCH(QString, name);
        ReadProfileCatalogue(m_program + QStringLiteral("profile.ini"));
        const QString target = GetTargetType(name, m_folders);
        QVERIFY(kContainerOfExtension.contains(target));
        CMpegStructs tree;
        tree.LoadFromFile(ProfileFile(name, m_folders));
        const EngineOptions options = GetParamFromTree(tree.GetRoot());
        const QStringList tokens = options.Arguments();
        // "MP4 (H.264/AAC)" names no folder.
        const QString output = m_dir.filePath(QStringLiteral("out %1.%2").arg(QString(name).replace(u'/', u'-'), target));
        // The fixed tail every conversion carries.
        const QStringList tail{"-qmin", "1", "-qmax", "51", "-level", "13", output};
        int exitCode = -1;
        const QString log =
            TestSupport::RunProgram(TestSupport::EnginePath(), QStringList{"-y", "-i", m_source} + tokens + tail, &exitCode);
        // A graphics card's encoder works only where the card is; elsewhere it fails in one clear line.
        if (exitCode != 0 && !GetSoftwareTwin(name, m_folders).isEmpty())
            QSKIP(qPrintable(QStringLiteral("no working graphics card encoder here: ") + log.trimmed().section(u'\n', -1)));
        QVERIFY2(exitCode == 0 && log.contains(QStringLiteral("global headers:")) && QFileInfo(output).size() > 0,
                 qPrintable(options.Text() + u'\n' + log.right(1500)));

        const QString info = TestSupport::RunProgram(TestSupport::EnginePath(), {QStringLiteral("-i"), output});
        const QByteArray context = (options.Text() + u'\n' + info).toUtf8();
        QVERIFY2(described(info, "Input #0, (.*), from '").contains(kContainerOfExtension.value(target)), context);
        QVERIFY2(info.contains(QRegularExpression(QStringLiteral("Duration: 00:00:0(1\\.[4-9]|2\\.[0-7])"))), context);
        // A copied stream keeps the source's codec.
        auto codecOf = [&](const char *option, const char *source) {
            const QString value = optionValue(tokens, option);
            return value == QStringLiteral("copy") ? QString::fromLatin1(source) : value;
        };
        const QString vcodec = codecOf("-vcodec", "mpeg4");
        const QString acodec = codecOf("-acodec", "libmp3lame");
        QVERIFY2(vcodec.isEmpty() ? !info.contains(QStringLiteral("Video: "))
                                  : codecNames(vcodec).contains(described(info, "Video: (\\w+)")),
                 context);
        QVERIFY2(acodec.isEmpty() ? !info.contains(QStringLiteral("Audio: "))
                                  : codecNames(acodec).contains(described(info, "Audio: (\\w+)")),
                 context);
        if (!vcodec.isEmpty()) {
            const QString size = optionValue(tokens, "-s");
            QCOMPARE(described(info, "Video: [^\\r\\n]*?, (\\d+x\\d+)"), size.isEmpty() ? QStringLiteral("320x240") : size);
        }
    }
};

QTEST_GUILESS_MAIN(TestProfilesE2E)
#include "test_profiles_e2e.moc"
