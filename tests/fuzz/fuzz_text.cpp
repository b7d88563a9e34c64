// SplitString and the number readers on any text.
#include "FuzzSupport.h"
#include "base/Numbers.h"
#include "base/SplitString.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <fuzzer/FuzzedDataProvider.h>

namespace {

qsizetype Occurrences(const QString &text, const QString &delim)
{
    qsizetype n = 0;
    for (qsizetype at = text.indexOf(delim); at >= 0; at = text.indexOf(delim, at + delim.size()))
        ++n;
    return n;
}

// The C library's reading of an integer, held to int.
int ReferenceInt(const QByteArray &ascii)
{
    const long long v = std::strtoll(ascii.constData(), nullptr, 10);
    return int(std::clamp<long long>(v, INT_MIN, INT_MAX));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const QString delim = QString::fromUtf8(in.ConsumeRandomLengthString(4));
    const bool keepEmpty = in.ConsumeBool();
    const std::string rest = in.ConsumeRemainingBytesAsString();
    const QString text = QString::fromUtf8(rest);

    QStringList pieces{QStringLiteral("left over from before")};
    const int n = SplitString(text, pieces, delim, keepEmpty);
    if (n != pieces.size() || n < 1)
        std::abort();
    if (!delim.isEmpty() && keepEmpty && pieces.size() != Occurrences(text, delim) + 1)
        std::abort();
    for (const QString &piece : pieces)
        if (!piece.isEmpty() && piece.back().isSpace())
            std::abort();

    LeadingDouble(text);
    const QByteArray bytes(rest.c_str()); // up to the first NUL, as the C library sees it
    bool ascii = true;
    for (char c : bytes)
        ascii = ascii && uchar(c) < 0x80;
    if (ascii && LeadingInt(QString::fromLatin1(bytes)) != ReferenceInt(bytes))
        std::abort();
    return 0;
}
