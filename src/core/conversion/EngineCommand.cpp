#include "core/conversion/EngineCommand.h"

#include <cmath>

#include "base/Numbers.h"
#include "base/SplitString.h"

namespace {

int evenUp(int n)
{
    return (n > 0 && n % 2 != 0) ? n + 1 : n;
}

// Two sides of an amount n each side would get: an odd n gives the first side one more
// and the second one less, so both stay even.
std::pair<int, int> evenSides(int n)
{
    if (n > 0 && n % 2 != 0)
        return {n + 1, n - 1};
    return {n, n};
}

// Splits a bar of d pixels between two sides.
std::pair<int, int> halves(int d)
{
    return evenSides(d / 2);
}

int truncToInt(double v)
{
    return int(std::trunc(v));
}

QString sizeAndAspect(int w, int h, double t)
{
    return QString::asprintf("%dx%d -aspect %0.3f", w, h, t);
}

} // namespace

QString EngineFileName()
{
    return QStringLiteral("mirracore");
}

QString AppendTrimOptions(const QString &options, int trimStart, int trimStop)
{
    QString result = options;
    // Plain concatenation: the options may hold "%" signs of their own.
    if (trimStart > 0)
        result += QStringLiteral(" -ss ") + QString::number(trimStart);
    if (trimStop > 0)
        result += QStringLiteral(" -t ") + QString::number(trimStop - trimStart);
    return result;
}

AspectMode AspectModeFromValue(int value)
{
    return value >= 1 && value <= 7 ? AspectMode(value) : AspectMode::Unchanged;
}

QString ApplyAspectMode(const QString &options, const QString &sourceSize, AspectMode aspect)
{
    const int mode = int(aspect);
    const qsizetype x = sourceSize.indexOf(u'x');
    if (x <= 0)
        return options;
    const double srcW = LeadingDouble(TrimLeft(sourceSize.left(x)));
    const qsizetype bracket = sourceSize.indexOf(u'[');
    const QString heightText = bracket > 0 ? sourceSize.mid(x + 1, bracket - x - 1) : sourceSize.mid(x + 1);
    const double srcH = LeadingDouble(heightText);

    QStringList tokens;
    for (const QString &piece : options.split(u' ', Qt::SkipEmptyParts)) {
        const QString token = TrimRight(piece);
        if (!token.isEmpty())
            tokens << token;
    }
    int sizeIndex = -1;
    for (int i = 0; i < tokens.size();) {
        if (tokens[i].compare(QStringLiteral("-s"), Qt::CaseInsensitive) == 0) {
            if (i + 1 >= tokens.size())
                return options; // "-s" without a size
            sizeIndex = i + 1;
            i += 2;
        } else {
            ++i;
        }
    }
    if (sizeIndex < 0)
        return options;

    const QString target = tokens[sizeIndex];
    const qsizetype tx = target.indexOf(u'x');
    const int tW = tx < 0 ? 0 : LeadingInt(TrimLeft(target.left(tx)));
    const int tH = tx < 0 ? 0 : LeadingInt(TrimLeft(target.mid(tx + 1)));
    // A target the rules cannot divide by is left to the engine as it stands.
    if (tW <= 0 || tH <= 0)
        return options;

    const double A = srcW / srcH;
    const double T = double(tW) / double(tH);
    if (std::isnan(A) || A > 100 || A < 0.01)
        return options;
    if (mode < 1 || mode > 7)
        return options;

    const int h = evenUp(truncToInt(tW / srcW * srcH));
    const int w = evenUp(truncToInt(tH / srcH * srcW));
    QString S;
    QString K;
    if (A == T) {
        S = sizeAndAspect(tW, tH, T);
    } else if (A > T) {
        switch (mode) {
        case 1:
            S = sizeAndAspect(tW, tH, T);
            break;
        case 2: {
            S = sizeAndAspect(tW, tH, T);
            const auto [l, r] = evenSides(truncToInt((srcW - T * srcH) * 0.5));
            K = QStringLiteral("-cropleft %1 -cropright %2").arg(l).arg(r);
            break;
        }
        case 6:
            S = sizeAndAspect(tW, h, T) + QStringLiteral(" -padbottom %1").arg(evenUp(tH - h));
            break;
        case 7:
            S = sizeAndAspect(tW, h, T) + QStringLiteral(" -padtop %1").arg(tH - h);
            break;
        default: { // 3, 4, 5: centred bars above and below
            const auto [a, b] = halves(tH - h);
            S = sizeAndAspect(tW, h, T) + QStringLiteral(" -padtop %1 -padbottom %2").arg(a).arg(b);
            break;
        }
        }
    } else {
        switch (mode) {
        case 1:
            S = sizeAndAspect(tW, tH, T);
            break;
        case 2: {
            S = sizeAndAspect(tW, tH, T);
            const auto [t, b] = evenSides(truncToInt((srcH - srcW / T) * 0.5));
            K = QStringLiteral("-croptop %1 -cropbottom %2").arg(t).arg(b);
            break;
        }
        case 4:
            S = sizeAndAspect(w, tH, T) + QStringLiteral(" -padright %1").arg(evenUp(tW - w));
            break;
        case 5:
            S = sizeAndAspect(w, tH, T) + QStringLiteral(" -padleft %1").arg(evenUp(tW - w));
            break;
        default: { // 3, 6, 7: centred bars left and right
            const auto [a, b] = halves(tW - w);
            S = sizeAndAspect(w, tH, T) + QStringLiteral(" -padleft %1 -padright %2").arg(a).arg(b);
            break;
        }
        }
    }

    tokens[sizeIndex] = S;
    if (mode == 2 && !K.isEmpty())
        tokens.insert(sizeIndex - 1, K);
    QString result;
    for (const QString &token : std::as_const(tokens))
        result += u' ' + token;
    return result;
}

QStringList SplitOptions(const QString &options)
{
    QStringList args;
    QString current;
    bool quoted = false;
    bool inToken = false;
    for (const QChar c : options) {
        if (c == u'"') {
            quoted = !quoted;
            inToken = true;
        } else if (c.isSpace() && !quoted) {
            if (inToken)
                args << current;
            current.clear();
            inToken = false;
        } else {
            current += c;
            inToken = true;
        }
    }
    if (inToken)
        args << current;

    // A metadata text is free text: the words after its option, up to the next
    // option, are one argument ("-title My Movie").
    static const QStringList freeText = {QStringLiteral("-title"), QStringLiteral("-author"),
                                         QStringLiteral("-copyright"), QStringLiteral("-comment"),
                                         QStringLiteral("-album")};
    QStringList joined;
    for (int i = 0; i < args.size(); ++i) {
        joined << args[i];
        if (!freeText.contains(args[i]) || i + 1 >= args.size())
            continue;
        QString text = args[++i];
        while (i + 1 < args.size() && !args[i + 1].startsWith(u'-'))
            text += u' ' + args[++i];
        joined << text;
    }
    return joined;
}

EngineCommand::EngineCommand(QString program, QString sourcePath, QString options, QString outputPath)
    : m_program(std::move(program)), m_sourcePath(std::move(sourcePath)), m_options(std::move(options)),
      m_outputPath(std::move(outputPath))
{
}

QStringList EngineCommand::Arguments() const
{
    QStringList args{QStringLiteral("-y"), QStringLiteral("-i"), m_sourcePath};
    args << SplitOptions(m_options);
    args << QStringLiteral("-qmin") << QStringLiteral("1") << QStringLiteral("-qmax") << QStringLiteral("51")
         << QStringLiteral("-level") << QStringLiteral("13") << m_outputPath;
    return args;
}

QString EngineCommand::Text() const
{
    return QStringLiteral("%1 -y -i \"%2\" %3 -qmin 1 -qmax 51 -level 13 \"%4\"")
        .arg(m_program, m_sourcePath, m_options, m_outputPath);
}

EngineCommand BuildEngineCommand(const QString &engineProgram, const QString &sourcePath, const QString &options,
                                 const QString &outputPath)
{
    return EngineCommand(engineProgram, sourcePath, options, outputPath);
}
