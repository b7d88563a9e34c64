#pragma once
#include <QByteArray>
#include <QByteArrayView>
#include <QStringList>

// The messages a second start sends to the running program: a 32-bit big-endian
// byte count, then the paths in UTF-8, each ended by a NUL (which no path holds).
namespace PathMessage {

constexpr qsizetype kMaxBytes = 1024 * 1024; // far above any list of paths a command line holds

// One or more messages holding paths; a path with a NUL in it cannot be sent and is left out.
QByteArray Encode(const QStringList &paths);

} // namespace PathMessage

// Reads messages from a stream that delivers them in pieces of any size.
class PathMessageReader
{
public:
    // The paths of every message the bytes complete, in order. Empty paths, paths
    // that are not UTF-8 and an unterminated last piece are dropped.
    QStringList Feed(QByteArrayView bytes);
    // A message announced more than kMaxBytes: the sender is not one of ours and
    // nothing more is read from it.
    bool Refused() const { return m_refused; }

private:
    QByteArray m_pending;
    bool m_refused = false;
};
