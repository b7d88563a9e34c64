#include "core/conversion/JobCount.h"

#include <QStringList>
#include <QThread>
#include <algorithm>

namespace JobCount {

QString VideoEncoder(const EngineOptions &options)
{
    const QStringList &words = options.Arguments();
    QString encoder;
    // The last one counts, as the engine reads it.
    for (int i = 0; i + 1 < words.size(); ++i)
        if (words[i] == QStringLiteral("-vcodec") || words[i] == QStringLiteral("-c:v"))
            encoder = words[i + 1];
    if (words.contains(QStringLiteral("-vn")))
        return QString();
    return encoder;
}

bool FillsEveryCore(const QString &videoEncoder)
{
    // Frame or row threads that scale with the cores; and encoders on a graphics card.
    static const QStringList kWide = {QStringLiteral("libx264"),   QStringLiteral("libx265"),
                                      QStringLiteral("libsvtav1"), QStringLiteral("libaom-av1"),
                                      QStringLiteral("librav1e"),  QStringLiteral("libvpx-vp9")};
    const QString name = videoEncoder.toLower();
    return kWide.contains(name) || name.endsWith(QStringLiteral("_vaapi")) || name.endsWith(QStringLiteral("_nvenc")) ||
           name.endsWith(QStringLiteral("_qsv"));
}

int Automatic(const EngineOptions &profileOptions, int cores)
{
    if (FillsEveryCore(VideoEncoder(profileOptions)))
        return 1;
    return std::clamp(cores, 1, kMaxJobs);
}

int Resolve(int setting, const EngineOptions &profileOptions, int cores)
{
    if (setting > 0)
        return setting;
    return Automatic(profileOptions, cores > 0 ? cores : QThread::idealThreadCount());
}

int ThreadsPerJob(int jobs, int cores)
{
    if (jobs <= 1)
        return 0;
    return std::max(1, (cores > 0 ? cores : QThread::idealThreadCount()) / jobs);
}

} // namespace JobCount
