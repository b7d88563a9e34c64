#include "base/IniFile.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>
#include <memory>
#include <vector>

#include "base/Numbers.h"

namespace {

enum class Encoding { Utf8, Utf16Le, Utf16Be };

// A file as lines: each line keeps its own bytes and line end, so that an edit
// rewrites only the line it changes, whatever the rest holds (bad UTF-8, mixed ends).
struct Document
{
    Encoding encoding = Encoding::Utf8;
    QByteArray bom;
    bool crlf = false;      // the line end given to new lines
    QList<QByteArray> raw;  // each line's bytes with its line end (the last may have none)
    QStringList lines;      // each line's text without its line end
    QByteArray trailing;    // an odd last byte of a UTF-16 file: part of no line
};

struct Parsed
{
    struct Key
    {
        QString name;
        QString value;
        int line;
    };
    struct Section
    {
        QString name;
        int headerLine;
        int lastLine; // last line that belongs to the section
        std::vector<Key> keys;
    };
    std::vector<Section> sections;

    const Section *findSection(const QString &name) const
    {
        for (const Section &s : sections)
            if (s.name.compare(name, Qt::CaseInsensitive) == 0)
                return &s;
        return nullptr;
    }
};

// One line's text; a byte-order mark inside the file is a character like any other.
QString decodeBytes(Encoding encoding, QByteArrayView bytes)
{
    const auto kind = encoding == Encoding::Utf16Le   ? QStringDecoder::Utf16LE
                      : encoding == Encoding::Utf16Be ? QStringDecoder::Utf16BE
                                                      : QStringDecoder::Utf8;
    return QStringDecoder(kind, QStringDecoder::Flag::ConvertInitialBom)(bytes);
}

QByteArray encodeText(Encoding encoding, const QString &text)
{
    switch (encoding) {
    case Encoding::Utf8:
        return text.toUtf8();
    case Encoding::Utf16Le:
        return QStringEncoder(QStringEncoder::Utf16LE)(text);
    case Encoding::Utf16Be:
        return QStringEncoder(QStringEncoder::Utf16BE)(text);
    }
    return {};
}

Document decode(const QByteArray &bytes)
{
    Document doc;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        doc.bom = bytes.left(3);
    else if (bytes.startsWith("\xFF\xFE"))
        doc.encoding = Encoding::Utf16Le, doc.bom = bytes.left(2);
    else if (bytes.startsWith("\xFE\xFF"))
        doc.encoding = Encoding::Utf16Be, doc.bom = bytes.left(2);
    const QByteArray lf = encodeText(doc.encoding, QStringLiteral("\n"));
    const QByteArray cr = encodeText(doc.encoding, QStringLiteral("\r"));
    const qsizetype unit = lf.size();
    qsizetype begin = doc.bom.size();
    const QByteArray body = (bytes.size() - begin) % unit ? bytes.chopped(1) : bytes;
    doc.trailing = bytes.mid(body.size());
    while (begin < body.size()) {
        qsizetype end = body.indexOf(lf, begin);
        while (end >= 0 && (end - begin) % unit != 0) // a line end on a character boundary only
            end = body.indexOf(lf, end + 1);
        const bool terminated = end >= 0;
        qsizetype textEnd = terminated ? end : body.size();
        if (terminated && textEnd - begin >= unit && QByteArrayView(body).sliced(textEnd - unit, unit) == cr) {
            textEnd -= unit;
            doc.crlf = true;
        }
        const qsizetype next = terminated ? end + unit : body.size();
        doc.raw << body.mid(begin, next - begin);
        doc.lines << decodeBytes(doc.encoding, QByteArrayView(body).sliced(begin, textEnd - begin));
        begin = next;
    }
    return doc;
}

QByteArray encode(const Document &doc)
{
    QByteArray out = doc.bom;
    for (const QByteArray &line : doc.raw)
        out += line;
    return out + doc.trailing;
}

QByteArray newLine(const Document &doc)
{
    return encodeText(doc.encoding, doc.crlf ? QStringLiteral("\r\n") : QStringLiteral("\n"));
}

QByteArray lineEnding(const Document &doc, int i)
{
    const QByteArray crlf = encodeText(doc.encoding, QStringLiteral("\r\n"));
    const QByteArray lf = encodeText(doc.encoding, QStringLiteral("\n"));
    const QByteArray &line = doc.raw.at(i);
    return line.endsWith(crlf) ? crlf : line.endsWith(lf) ? lf : QByteArray();
}

// Gives line i a line end so that a line can follow it.
void terminate(Document &doc, int i)
{
    if (i < 0 || i >= doc.raw.size() || !lineEnding(doc, i).isEmpty())
        return;
    // A CR that ends the text stays text: it takes a CR LF after it, not an LF.
    const QByteArray crlf = encodeText(doc.encoding, QStringLiteral("\r\n"));
    doc.raw[i] += doc.raw[i].endsWith(crlf.first(crlf.size() / 2)) ? crlf : newLine(doc);
}

void insertLine(Document &doc, int at, const QString &text)
{
    terminate(doc, at - 1);
    doc.raw.insert(at, encodeText(doc.encoding, text) + newLine(doc));
    doc.lines.insert(at, text);
}

Parsed parse(const Document &doc)
{
    Parsed p;
    for (int i = 0; i < doc.lines.size(); ++i) {
        const QString line = doc.lines.at(i).trimmed();
        if (line.isEmpty())
            continue;
        if (line.startsWith(u'[')) {
            qsizetype close = line.indexOf(u']');
            const QString name = (close < 0 ? line.mid(1) : line.mid(1, close - 1)).trimmed();
            p.sections.push_back({name, i, i, {}});
            continue;
        }
        if (p.sections.empty() || line.startsWith(u';'))
            continue;
        Parsed::Section &section = p.sections.back();
        section.lastLine = i;
        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0)
            continue;
        section.keys.push_back({line.left(eq).trimmed(), line.mid(eq + 1).trimmed(), i});
    }
    return p;
}

struct CacheEntry
{
    QDateTime modified;
    qint64 size = -1;
    std::shared_ptr<const Parsed> parsed;
};

QMutex cacheMutex;
QHash<QString, CacheEntry> cache;

std::shared_ptr<const Parsed> load(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isFile())
        return nullptr;
    const QDateTime modified = info.lastModified();
    const qint64 size = info.size();
    {
        QMutexLocker lock(&cacheMutex);
        auto it = cache.constFind(path);
        if (it != cache.constEnd() && it->modified == modified && it->size == size)
            return it->parsed;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return nullptr;
    auto parsed = std::make_shared<const Parsed>(parse(decode(file.readAll())));
    QMutexLocker lock(&cacheMutex);
    cache.insert(path, {modified, size, parsed});
    return parsed;
}

const Parsed::Key *findKey(const Parsed &parsed, const QString &section, const QString &key)
{
    if (const Parsed::Section *s = parsed.findSection(section))
        for (const Parsed::Key &k : s->keys)
            if (k.name.compare(key, Qt::CaseInsensitive) == 0)
                return &k;
    return nullptr;
}

QString stripQuotes(const QString &value)
{
    if (value.size() >= 2) {
        const QChar first = value.front();
        if ((first == u'"' || first == u'\'') && value.back() == first)
            return value.mid(1, value.size() - 2);
    }
    return value;
}

QString cutToBuffer(const QString &value)
{
    return value.left(IniFile::kValueBuffer - 1);
}

} // namespace

namespace IniFile {

QString ReadString(const QString &path, const QString &section, const QString &key, const QString &defaultValue)
{
    const auto parsed = load(path);
    if (const Parsed::Key *k = parsed ? findKey(*parsed, section, key) : nullptr)
        return cutToBuffer(stripQuotes(k->value));
    return cutToBuffer(defaultValue);
}

int ReadInt(const QString &path, const QString &section, const QString &key, int defaultValue)
{
    const auto parsed = load(path);
    if (const Parsed::Key *k = parsed ? findKey(*parsed, section, key) : nullptr)
        return LeadingInt(cutToBuffer(stripQuotes(k->value))); // "+7", " 12abc" read as 7 and 12
    return defaultValue;
}

QString ValueInText(const QByteArray &contents, const QString &section, const QString &key, const QString &defaultValue)
{
    const Parsed parsed = parse(decode(contents));
    if (const Parsed::Key *k = findKey(parsed, section, key))
        return cutToBuffer(stripQuotes(k->value));
    return cutToBuffer(defaultValue);
}

QByteArray WithValue(const QByteArray &contents, const QString &section, const QString &key, const QString &value)
{
    QString clean = value;
    clean.replace(u'\r', u' ').replace(u'\n', u' ');

    Document doc = decode(contents);
    const Parsed parsed = parse(doc);
    const Parsed::Section *s = parsed.findSection(section);
    if (!s) {
        insertLine(doc, doc.raw.size(), QStringLiteral("[%1]").arg(section));
        insertLine(doc, doc.raw.size(), key + u'=' + clean);
    } else if (const Parsed::Key *found = findKey(parsed, section, key)) {
        doc.raw[found->line] = encodeText(doc.encoding, found->name + u'=' + clean) + lineEnding(doc, found->line);
    } else {
        insertLine(doc, s->lastLine + 1, key + u'=' + clean);
    }
    return encode(doc);
}

bool WriteString(const QString &path, const QString &section, const QString &key, const QString &value)
{
    QByteArray contents;
    {
        QFile file(path);
        if (file.exists()) {
            if (!file.open(QIODevice::ReadOnly))
                return false;
            contents = file.readAll();
        }
    }
    QSaveFile out(path);
    out.setDirectWriteFallback(true);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    out.write(WithValue(contents, section, key, value));
    if (!out.commit())
        return false;
    Forget(path);
    return true;
}

void Forget(const QString &path)
{
    QMutexLocker lock(&cacheMutex);
    cache.remove(path);
}

} // namespace IniFile
