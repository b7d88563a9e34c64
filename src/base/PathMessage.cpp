#include "base/PathMessage.h"

#include <QStringDecoder>
#include <QtEndian>

namespace {

QByteArray frame(const QByteArray &body)
{
    QByteArray out(4, '\0');
    qToBigEndian(quint32(body.size()), out.data());
    return out + body;
}

} // namespace

QByteArray PathMessage::Encode(const QStringList &paths)
{
    QByteArray out;
    QByteArray body;
    for (const QString &path : paths) {
        const QByteArray bytes = path.toUtf8() + '\0';
        if (bytes.indexOf('\0') != bytes.size() - 1 || bytes.size() > kMaxBytes)
            continue;
        if (body.size() + bytes.size() > kMaxBytes) {
            out += frame(body);
            body.clear();
        }
        body += bytes;
    }
    if (!body.isEmpty() || out.isEmpty())
        out += frame(body);
    return out;
}

QStringList PathMessageReader::Feed(QByteArrayView bytes)
{
    QStringList paths;
    if (m_refused)
        return paths;
    m_pending.append(bytes);
    qsizetype at = 0;
    while (m_pending.size() - at >= 4) {
        const quint32 length = qFromBigEndian<quint32>(m_pending.constData() + at);
        if (length > quint32(PathMessage::kMaxBytes)) {
            m_refused = true;
            m_pending.clear();
            return paths;
        }
        if (m_pending.size() - at - 4 < qsizetype(length))
            break;
        const QByteArrayView body = QByteArrayView(m_pending).sliced(at + 4, length);
        qsizetype from = 0;
        for (qsizetype nul; (nul = body.indexOf('\0', from)) >= 0; from = nul + 1) {
            QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
            const QString path = decoder(body.sliced(from, nul - from));
            if (!path.isEmpty() && !decoder.hasError())
                paths << path;
        }
        at += 4 + qsizetype(length);
    }
    m_pending.remove(0, at);
    return paths;
}
