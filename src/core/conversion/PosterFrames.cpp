#include "core/conversion/PosterFrames.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>
#include <algorithm>
#include <unistd.h>

#include "core/conversion/EngineLocation.h"

namespace {
constexpr int kPosterWidth = 320;
// A still takes the engine well under a second; one that takes this long is stuck.
constexpr int kEngineDeadlineMs = 20000;

// "-s WxH" for a poster at most kPosterWidth wide with the source's proportions; none
// when the size cannot be read.
QStringList sizeOptions(const QString &videoSize)
{
    static const QRegularExpression size(QStringLiteral("^\\s*(\\d+)x(\\d+)"));
    const QRegularExpressionMatch m = size.match(videoSize);
    const int w = m.hasMatch() ? m.captured(1).toInt() : 0;
    const int h = m.hasMatch() ? m.captured(2).toInt() : 0;
    if (w <= 0 || h <= 0 || w <= kPosterWidth)
        return {};
    const int height = std::max(2, int(double(kPosterWidth) * h / w + 1) & ~1);
    return {QStringLiteral("-s"), QStringLiteral("%1x%2").arg(kPosterWidth).arg(height)};
}
} // namespace

PosterFrames::PosterFrames(const QString &cacheFolder, QObject *parent)
    : QObject(parent), m_folder(cacheFolder + QStringLiteral("posters/"))
{
}

PosterFrames::~PosterFrames()
{
    if (m_engine) {
        m_engine->disconnect(this);
        m_engine->kill();
        m_engine->waitForFinished(2000);
        QFile::remove(m_currentFile + QStringLiteral(".part"));
    }
}

QString PosterFrames::KeyFile(const QString &source) const
{
    const QFileInfo info(source);
    if (!info.isFile())
        return {};
    const QByteArray key = info.absoluteFilePath().toUtf8() + '\n' + QByteArray::number(info.size()) + '\n' +
                           QByteArray::number(info.lastModified().toMSecsSinceEpoch());
    return m_folder + QString::fromLatin1(QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex()) +
           QStringLiteral(".png");
}

QString PosterFrames::CachedFile(const QString &source) const
{
    const QString file = KeyFile(source);
    return !file.isEmpty() && QFileInfo(file).size() > 0 ? file : QString();
}

void PosterFrames::Want(const QList<Request> &requests)
{
    m_pending.clear();
    for (const Request &request : requests) {
        if (request.videoSize.isEmpty() || request.source == m_current.source)
            continue;
        const QString file = KeyFile(request.source);
        if (file.isEmpty() || m_failed.contains(file) || QFileInfo(file).size() > 0)
            continue;
        m_pending << request;
    }
    StartNext();
}

void PosterFrames::SetHeld(bool held)
{
    m_held = held;
    StartNext();
}

void PosterFrames::StartNext()
{
    if (m_engine)
        return;
    const auto next = std::find_if(m_pending.begin(), m_pending.end(),
                                   [this](const Request &request) { return !m_held || request.selected; });
    if (next == m_pending.end())
        return;
    m_current = *next;
    m_pending.erase(next);
    m_currentFile = KeyFile(m_current.source);
    if (m_currentFile.isEmpty() || !QDir().mkpath(m_folder)) {
        Finished(false);
        return;
    }
    const double at = std::max(0.0, m_current.durationSeconds / 10.0);
    // One frame at a rate of one a second: whatever the source's own rate.
    QStringList args{QStringLiteral("-y"), QStringLiteral("-ss"), QString::number(at, 'f', 2), QStringLiteral("-i"),
                     m_current.source, QStringLiteral("-an"), QStringLiteral("-vcodec"), QStringLiteral("png")};
    args << sizeOptions(m_current.videoSize);
    args << QStringLiteral("-r") << QStringLiteral("1") << QStringLiteral("-t") << QStringLiteral("1")
         << QStringLiteral("-f") << QStringLiteral("image2") << m_currentFile + QStringLiteral(".part");
    m_engine = new QProcess(this);
    m_engine->setProcessChannelMode(QProcess::MergedChannels);
    m_engine->setStandardInputFile(QProcess::nullDevice());
    // Posters wait for the conversions and the preview, never the other way round.
    m_engine->setChildProcessModifier([] { [[maybe_unused]] int n = ::nice(10); });
    connect(m_engine, &QProcess::readyRead, m_engine, [this] { m_engine->readAll(); });
    connect(m_engine, &QProcess::finished, this, [this](int code, QProcess::ExitStatus status) {
        Finished(status == QProcess::NormalExit && code == 0);
    });
    connect(m_engine, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            Finished(false);
    });
    if (!m_deadline) {
        m_deadline = new QTimer(this);
        m_deadline->setSingleShot(true);
        connect(m_deadline, &QTimer::timeout, this, [this] {
            if (m_engine)
                m_engine->kill();
        });
    }
    m_deadline->start(kEngineDeadlineMs);
    ++m_runs;
    m_engine->start(EngineProgramPath(), args);
}

void PosterFrames::Finished(bool made)
{
    if (m_deadline)
        m_deadline->stop();
    if (m_engine) {
        m_engine->disconnect(this);
        m_engine->deleteLater();
        m_engine = nullptr;
    }
    const QString part = m_currentFile + QStringLiteral(".part");
    made = made && QFileInfo(part).size() > 0;
    if (made) {
        QFile::remove(m_currentFile);
        made = QFile::rename(part, m_currentFile);
    }
    QFile::remove(part);
    const Request done = std::exchange(m_current, Request());
    if (made)
        emit ready(done.source, m_currentFile);
    else if (!m_currentFile.isEmpty())
        m_failed.insert(m_currentFile);
    StartNext();
}
