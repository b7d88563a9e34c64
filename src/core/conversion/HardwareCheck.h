#pragma once
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include "core/profiles/EngineOptions.h"

class QProcess;

// Which hardware profiles work on this machine: each is tried once, in the background,
// by converting a fifth of a second of a test picture with the profile's own options.
class HardwareCheck : public QObject
{
    Q_OBJECT
public:
    struct Candidate
    {
        QString profile;
        EngineOptions options; // the engine options of the profile
        QString targetType; // the output's extension
    };
    // The profiles among these names that have a software twin, with their options.
    static QList<Candidate> HardwareProfiles(const QStringList &profileNames);

    explicit HardwareCheck(QObject *parent = nullptr);
    ~HardwareCheck() override;

    // Tries the candidates one after another.
    void Start(const QList<Candidate> &candidates);
    bool IsRunning() const { return m_engine != nullptr; }

signals:
    // problem is empty when the profile works, else the engine's own reason.
    void checked(const QString &profile, const QString &problem);
    void finished();

private:
    void Next();

    QList<Candidate> m_pending;
    Candidate m_current;
    QProcess *m_engine = nullptr;
    QTemporaryDir m_folder;
};
