#include "base/Numbers.h"

#include <cmath>
#include <cstdlib>
#include <limits>

int LeadingInt(const QString &text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text.at(i).isSpace())
        ++i;
    bool negative = false;
    if (i < n && (text.at(i) == u'+' || text.at(i) == u'-')) {
        negative = text.at(i) == u'-';
        ++i;
    }
    long long value = 0;
    while (i < n && text.at(i) >= u'0' && text.at(i) <= u'9') {
        if (value <= std::numeric_limits<int>::max())
            value = value * 10 + (text.at(i).unicode() - u'0');
        ++i;
    }
    if (negative)
        value = -value;
    if (value > std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    if (value < std::numeric_limits<int>::min())
        return std::numeric_limits<int>::min();
    return int(value);
}

double LeadingDouble(const QString &text)
{
    // strtod on the Latin-1 form; the "C" locale is what every caller wants.
    const QByteArray bytes = text.toLatin1();
    const char *begin = bytes.constData();
    char *end = nullptr;
    const double v = std::strtod(begin, &end);
    if (end == begin)
        return 0.0;
    return v;
}
