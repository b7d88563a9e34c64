#pragma once
#include <QString>
#include <QStringList>

// Engine options as the arguments the engine receives: an option and its value stay one
// argument each whatever characters they hold, so nothing is split or quoted again on the
// way from a profile to the engine. Text() is the form logs and reports show.
class EngineOptions
{
public:
    EngineOptions() = default;
    explicit EngineOptions(QStringList arguments) : m_arguments(std::move(arguments)) {}

    void Add(const QString &option, const QString &value) { m_arguments << option << value; }
    void Append(const EngineOptions &more) { m_arguments << more.m_arguments; }

    const QStringList &Arguments() const { return m_arguments; }
    QStringList &Arguments() { return m_arguments; }
    bool IsEmpty() const { return m_arguments.isEmpty(); }

    // Each argument preceded by one blank: "" or " -vcodec mpeg4 -ab 128".
    QString Text() const
    {
        QString text;
        for (const QString &argument : m_arguments)
            text += u' ' + argument;
        return text;
    }

    bool operator==(const EngineOptions &other) const = default;

private:
    QStringList m_arguments;
};
