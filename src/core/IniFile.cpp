#include "core/IniFile.h"

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

#include "core/Numbers.h"

namespace {

enum class Encoding { Utf8, Utf8Bom, Utf16Le, Utf16Be };

struct Document
{
    Encoding encoding = Encoding::Utf8;
    QString newline = QStringLiteral("\n");
    bool endsWithNewline = true;
    QStringList lines;
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

Document decode(const QByteArray &bytes)
{
    Document doc;
    QString text;
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        doc.encoding = Encoding::Utf8Bom;
        text = QString::fromUtf8(bytes.mid(3));
    } else if (bytes.startsWith("\xFF\xFE")) {
        doc.encoding = Encoding::Utf16Le;
        QStringDecoder dec(QStringDecoder::Utf16LE);
        text = dec(bytes.mid(2));
    } else if (bytes.startsWith("\xFE\xFF")) {
        doc.encoding = Encoding::Utf16Be;
        QStringDecoder dec(QStringDecoder::Utf16BE);
        text = dec(bytes.mid(2));
    } else {
        text = QString::fromUtf8(bytes);
    }
    if (text.contains(u"\r\n"))
        doc.newline = QStringLiteral("\r\n");
    doc.endsWithNewline = text.isEmpty() || text.endsWith(u'\n');
    doc.lines = text.split(u'\n');
    if (doc.endsWithNewline && !doc.lines.isEmpty())
        doc.lines.removeLast();
    for (QString &line : doc.lines)
        if (line.endsWith(u'\r'))
            line.chop(1);
    return doc;
}

QByteArray encode(const Document &doc)
{
    QString text = doc.lines.join(doc.newline);
    if (doc.endsWithNewline && !doc.lines.isEmpty())
        text += doc.newline;
    switch (doc.encoding) {
    case Encoding::Utf8:
        return text.toUtf8();
    case Encoding::Utf8Bom:
        return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
    case Encoding::Utf16Le: {
        QStringEncoder enc(QStringEncoder::Utf16LE);
        return QByteArray("\xFF\xFE") + QByteArray(enc(text));
    }
    case Encoding::Utf16Be: {
        QStringEncoder enc(QStringEncoder::Utf16BE);
        return QByteArray("\xFE\xFF") + QByteArray(enc(text));
    }
    }
    return {};
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
    if (parsed) {
        if (const Parsed::Section *s = parsed->findSection(section)) {
            for (const Parsed::Key &k : s->keys)
                if (k.name.compare(key, Qt::CaseInsensitive) == 0)
                    return cutToBuffer(stripQuotes(k.value));
        }
    }
    return cutToBuffer(defaultValue);
}

int ReadInt(const QString &path, const QString &section, const QString &key, int defaultValue)
{
    const auto parsed = load(path);
    if (parsed) {
        if (const Parsed::Section *s = parsed->findSection(section)) {
            for (const Parsed::Key &k : s->keys) {
                if (k.name.compare(key, Qt::CaseInsensitive) != 0)
                    continue;
                const QString value = cutToBuffer(stripQuotes(k.value));
                // Only a sign and digits count; "+7", " 12abc" read as 7 and 12.
                return LeadingInt(value);
            }
        }
    }
    return defaultValue;
}

bool WriteString(const QString &path, const QString &section, const QString &key, const QString &value)
{
    QString clean = value;
    clean.replace(u'\r', u' ').replace(u'\n', u' ');

    Document doc;
    {
        QFile file(path);
        if (file.exists()) {
            if (!file.open(QIODevice::ReadOnly))
                return false;
            doc = decode(file.readAll());
        }
    }
    const Parsed parsed = parse(doc);
    const Parsed::Section *s = parsed.findSection(section);
    if (!s) {
        doc.lines << QStringLiteral("[%1]").arg(section) << key + u'=' + clean;
        doc.endsWithNewline = true;
    } else {
        const Parsed::Key *found = nullptr;
        for (const Parsed::Key &k : s->keys)
            if (k.name.compare(key, Qt::CaseInsensitive) == 0) {
                found = &k;
                break;
            }
        if (found)
            doc.lines[found->line] = found->name + u'=' + clean;
        else
            doc.lines.insert(s->lastLine + 1, key + u'=' + clean);
    }

    QSaveFile out(path);
    out.setDirectWriteFallback(true);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    out.write(encode(doc));
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
