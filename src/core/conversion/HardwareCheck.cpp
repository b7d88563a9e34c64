#include "core/conversion/HardwareCheck.h"

#include <QProcess>
#include <QTimer>

#include "core/conversion/EngineCommand.h"
#include "core/conversion/EngineLocation.h"
#include "core/conversion/EngineOutputParser.h"
#include "base/SplitString.h"
#include "core/profiles/ParamOptions.h"
#include "core/profiles/ProfileCatalogue.h"

namespace {
// A card that does not answer in this time does not count as working.
constexpr int kTryMs = 15000;
}

QList<HardwareCheck::Candidate> HardwareCheck::HardwareProfiles(const QStringList &profileNames)
{
    QList<Candidate> candidates;
    for (const QString &name : profileNames) {
        if (name.isEmpty() || GetSoftwareTwin(name).isEmpty())
            continue;
        candidates << Candidate{name, ProfileOptions(name), GetTargetType(name)};
    }
    return candidates;
}

HardwareCheck::HardwareCheck(QObject *parent) : QObject(parent) {}

HardwareCheck::~HardwareCheck()
{
    if (m_engine) {
        m_engine->disconnect(this);
        m_engine->kill();
        m_engine->waitForFinished(2000);
    }
}

void HardwareCheck::Start(const QList<Candidate> &candidates)
{
    m_pending += candidates;
    if (!m_engine)
        Next();
}

void HardwareCheck::Next()
{
    if (m_pending.isEmpty()) {
        emit finished();
        return;
    }
    m_current = m_pending.takeFirst();
    const QString output = m_folder.filePath(QStringLiteral("try.") + m_current.targetType);
    m_engine = new QProcess(this);
    m_engine->setProcessChannelMode(QProcess::MergedChannels);
    m_engine->setStandardInputFile(QProcess::nullDevice());
    auto done = [this](const QString &problem) {
        if (!m_engine)
            return;
        m_engine->disconnect(this);
        if (m_engine->state() != QProcess::NotRunning)
            m_engine->kill();
        m_engine->deleteLater();
        m_engine = nullptr;
        emit checked(m_current.profile, problem);
        Next();
    };
    connect(m_engine, &QProcess::finished, this, [this, done](int code, QProcess::ExitStatus status) {
        const QString text = QString::fromLocal8Bit(m_engine->readAll());
        const bool works = status == QProcess::NormalExit && code == 0 && text.contains(EngineOutputParser::kSuccessMarker);
        const QString last = LastLine(text);
        done(works ? QString() : last.isEmpty() ? QStringLiteral("the engine ended without a word") : last);
    });
    connect(m_engine, &QProcess::errorOccurred, this, [done](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            done(QStringLiteral("the engine could not be started"));
    });
    QTimer::singleShot(kTryMs, m_engine, [done] { done(QStringLiteral("the graphics card did not answer")); });
    if (!m_folder.isValid()) {
        done(QStringLiteral("no temporary folder to try it in"));
        return;
    }
    m_engine->start(EngineProgramPath(), QStringList{QStringLiteral("-y"), QStringLiteral("-f"), QStringLiteral("lavfi"),
                                                     QStringLiteral("-i"),
                                                     QStringLiteral("testsrc=size=320x240:rate=25:duration=0.2")} +
                                             m_current.options.Arguments() + QStringList{output});
}
