#include "core/conversion/EngineCommand.h"

#include <cmath>
#include <optional>

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

// The quality bounds and level every command ends with, before the output file.
const QStringList kQualityTail = {QStringLiteral("-qmin"), QStringLiteral("1"),  QStringLiteral("-qmax"),
                                  QStringLiteral("51"),    QStringLiteral("-level"), QStringLiteral("13")};

struct Size
{
    double width = 0;
    double height = 0;
};

// "720x576 [PAR 16:15 DAR 4:3]" or "320x240": the two numbers around the first "x".
std::optional<Size> ReadFrameSize(const QString &text, bool wholeNumbers)
{
    const qsizetype x = text.indexOf(u'x');
    if (x < 0 || (!wholeNumbers && x == 0))
        return std::nullopt;
    if (wholeNumbers)
        return Size{double(LeadingInt(TrimLeft(text.left(x)))), double(LeadingInt(TrimLeft(text.mid(x + 1))))};
    const qsizetype bracket = text.indexOf(u'[');
    const QString height = bracket > 0 ? text.mid(x + 1, bracket - x - 1) : text.mid(x + 1);
    return Size{LeadingDouble(TrimLeft(text.left(x))), LeadingDouble(height)};
}

// How a source of proportions src fills a target frame under a mode: the arguments that
// replace the target size, and the crop that goes before "-s".
struct Fitting
{
    QStringList size;
    QStringList crop;
};

QStringList SizeAndAspect(int w, int h, double t)
{
    return {QStringLiteral("%1x%2").arg(w).arg(h), QStringLiteral("-aspect"), QString::asprintf("%0.3f", t)};
}

QStringList Option(const char *name, int value)
{
    return {QString::fromLatin1(name), QString::number(value)};
}

Fitting FitFrame(Size src, int tW, int tH, AspectMode mode)
{
    const double A = src.width / src.height;
    const double T = double(tW) / double(tH);
    const int h = evenUp(truncToInt(tW / src.width * src.height));
    const int w = evenUp(truncToInt(tH / src.height * src.width));
    if (A == T || mode == AspectMode::Stretch)
        return {SizeAndAspect(tW, tH, T), {}};
    if (mode == AspectMode::Crop) {
        if (A > T) {
            const auto [l, r] = evenSides(truncToInt((src.width - T * src.height) * 0.5));
            return {SizeAndAspect(tW, tH, T), Option("-cropleft", l) + Option("-cropright", r)};
        }
        const auto [t, b] = evenSides(truncToInt((src.height - src.width / T) * 0.5));
        return {SizeAndAspect(tW, tH, T), Option("-croptop", t) + Option("-cropbottom", b)};
    }
    if (A > T) { // bars above and below
        switch (mode) {
        case AspectMode::PadBottom:
            return {SizeAndAspect(tW, h, T) + Option("-padbottom", evenUp(tH - h)), {}};
        case AspectMode::PadTop:
            return {SizeAndAspect(tW, h, T) + Option("-padtop", tH - h), {}};
        default: { // centred, also for the modes that place bars left or right
            const auto [a, b] = halves(tH - h);
            return {SizeAndAspect(tW, h, T) + Option("-padtop", a) + Option("-padbottom", b), {}};
        }
        }
    }
    switch (mode) { // bars left and right
    case AspectMode::PadRight:
        return {SizeAndAspect(w, tH, T) + Option("-padright", evenUp(tW - w)), {}};
    case AspectMode::PadLeft:
        return {SizeAndAspect(w, tH, T) + Option("-padleft", evenUp(tW - w)), {}};
    default: { // centred, also for the modes that place bars above or below
        const auto [a, b] = halves(tW - w);
        return {SizeAndAspect(w, tH, T) + Option("-padleft", a) + Option("-padright", b), {}};
    }
    }
}

} // namespace

QString EngineFileName()
{
    return QStringLiteral("mirracore");
}

EngineOptions AppendTrimOptions(const EngineOptions &options, int trimStart, int trimStop)
{
    EngineOptions result = options;
    if (trimStart > 0)
        result.Add(QStringLiteral("-ss"), QString::number(trimStart));
    if (trimStop > 0)
        result.Add(QStringLiteral("-t"), QString::number(trimStop - trimStart));
    return result;
}

AspectMode AspectModeFromValue(int value)
{
    return value >= 1 && value <= 7 ? AspectMode(value) : AspectMode::Unchanged;
}

EngineOptions ApplyAspectMode(const EngineOptions &options, const QString &sourceSize, AspectMode mode)
{
    if (mode == AspectMode::Unchanged)
        return options;
    const std::optional<Size> source = ReadFrameSize(sourceSize, false);
    if (!source)
        return options;
    const double ratio = source->width / source->height;
    if (std::isnan(ratio) || ratio > 100 || ratio < 0.01)
        return options;

    // The last "-s" counts; a size option that is an option's value does not.
    const QStringList &args = options.Arguments();
    qsizetype sizeIndex = -1;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i].compare(QStringLiteral("-s"), Qt::CaseInsensitive) != 0)
            continue;
        if (i + 1 >= args.size())
            return options; // "-s" without a size
        sizeIndex = ++i;
    }
    if (sizeIndex < 0)
        return options;
    const std::optional<Size> target = ReadFrameSize(args[sizeIndex], true);
    // A target the rules cannot divide by is left to the engine as it stands.
    if (!target || target->width <= 0 || target->height <= 0)
        return options;

    const Fitting fitting = FitFrame(*source, int(target->width), int(target->height), mode);
    QStringList result = args.mid(0, sizeIndex - 1);
    result << fitting.crop << args[sizeIndex - 1] << fitting.size << args.mid(sizeIndex + 1);
    return EngineOptions(result);
}

EngineCommand::EngineCommand(QString program, QString sourcePath, EngineOptions options, QString outputPath)
    : m_program(std::move(program)), m_sourcePath(std::move(sourcePath)), m_options(std::move(options)),
      m_outputPath(std::move(outputPath))
{
}

QStringList EngineCommand::Arguments() const
{
    QStringList args{QStringLiteral("-y"), QStringLiteral("-i"), m_sourcePath};
    args << m_options.Arguments() << kQualityTail << m_outputPath;
    return args;
}

QString EngineCommand::Text() const
{
    // Plain concatenation: paths and options may hold "%" signs of their own.
    return m_program + QStringLiteral(" -y -i \"") + m_sourcePath + QStringLiteral("\" ") + m_options.Text() + u' ' +
           kQualityTail.join(u' ') + QStringLiteral(" \"") + m_outputPath + u'"';
}

EngineCommand BuildEngineCommand(const QString &engineProgram, const QString &sourcePath, const EngineOptions &options,
                                 const QString &outputPath)
{
    return EngineCommand(engineProgram, sourcePath, options, outputPath);
}
