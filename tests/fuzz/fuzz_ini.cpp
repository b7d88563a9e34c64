// Writing a value and reading it back gives it back, and the write touches no other line.
#include "FuzzSupport.h"
#include "base/IniFile.h"

#include <QStringList>
#include <cstdlib>
#include <fuzzer/FuzzedDataProvider.h>

namespace {

QString Text(FuzzedDataProvider &in, size_t max)
{
    QString text = QString::fromUtf8(in.ConsumeRandomLengthString(max));
    text.remove(u'\r').remove(u'\n');
    return text;
}

// Lines by their bytes, without line ends.
QList<QByteArray> Lines(const QByteArray &file)
{
    if (file.isEmpty())
        return {};
    QList<QByteArray> lines = file.split('\n');
    if (file.endsWith('\n'))
        lines.removeLast();
    for (qsizetype i = 0; i < lines.size(); ++i) // CR belongs to the line end only before LF
        if (lines[i].endsWith('\r') && (i + 1 < lines.size() || file.endsWith('\n')))
            lines[i].chop(1);
    return lines;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    // A section and key as a program would name them, a value as the property allows.
    QString section = Text(in, 20).remove(u']').trimmed();
    QString key = Text(in, 20).remove(u'=').trimmed();
    while (key.startsWith(u'[') || key.startsWith(u';'))
        key = key.mid(1).trimmed();
    QString value = Text(in, 300).left(249).trimmed();
    while (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front())
        value = value.chopped(1).trimmed();
    const std::vector<char> rest = in.ConsumeRemainingBytes<char>();
    const QByteArray before(rest.data(), qsizetype(rest.size()));

    const QByteArray after = IniFile::WithValue(before, section, key, value);
    if (IniFile::ValueInText(after, section, key, QStringLiteral("\x01missing")) != value)
        std::abort();
    if (IniFile::WithValue(after, section, key, value) != after) // writing it again changes nothing
        std::abort();
    if (before.startsWith("\xFF\xFE") || before.startsWith("\xFE\xFF"))
        return 0; // lines of UTF-16 are not split at a byte

    // A UTF-8 byte-order mark stays where it was and belongs to no line.
    const QByteArray mark("\xEF\xBB\xBF");
    if (before.startsWith(mark) != after.startsWith(mark))
        std::abort();
    const qsizetype skip = before.startsWith(mark) ? mark.size() : 0;
    // The write replaced one line, added one, or added a section and its line.
    const QList<QByteArray> a = Lines(before.mid(skip)), b = Lines(after.mid(skip));
    qsizetype head = 0, tail = 0;
    while (head < a.size() && head < b.size() && a[head] == b[head])
        ++head;
    while (tail < a.size() - head && tail < b.size() - head && a[a.size() - 1 - tail] == b[b.size() - 1 - tail])
        ++tail;
    const qsizetype removed = a.size() - head - tail, added = b.size() - head - tail;
    if (!((removed == 0 && (added == 0 || added == 1 || added == 2)) || (removed == 1 && added == 1)))
        std::abort();
    return 0;
}
