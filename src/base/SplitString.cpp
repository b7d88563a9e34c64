#include "base/SplitString.h"

#include <QRegularExpression>

QString TrimRight(const QString &text)
{
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1).isSpace())
        --end;
    return text.left(end);
}

QString TrimLeft(const QString &text)
{
    qsizetype begin = 0;
    while (begin < text.size() && text.at(begin).isSpace())
        ++begin;
    return text.mid(begin);
}

int SplitString(const QString &text, QStringList &out, const QString &delim, bool keepEmpty)
{
    out.clear();
    if (delim.isEmpty()) {
        out << TrimRight(text);
        return 1;
    }
    int before = 0;
    qsizetype from = 0;
    qsizetype pos;
    while ((pos = text.indexOf(delim, from)) >= 0) {
        const QString piece = TrimRight(text.mid(from, pos - from));
        if (keepEmpty || !piece.isEmpty()) {
            out << piece;
            ++before;
        }
        from = pos + delim.size();
    }
    out << TrimRight(text.mid(from));
    return before + 1;
}

QString LastLine(const QString &text)
{
    const QStringList lines = text.split(QRegularExpression(QStringLiteral("[\r\n]+")), Qt::SkipEmptyParts);
    for (auto it = lines.crbegin(); it != lines.crend(); ++it)
        if (!it->trimmed().isEmpty())
            return it->trimmed();
    return {};
}
