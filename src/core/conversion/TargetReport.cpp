#include "core/conversion/TargetReport.h"

#include <QRegularExpression>
#include <QStringList>

#include "core/settings/Language.h"

namespace {

QString filled(const QString &id, const QStringList &values)
{
    QString text = GetLangString(id);
    for (int i = 0; i < values.size(); ++i)
        text.replace(QStringLiteral("%%1").arg(i + 1), values[i]);
    return text;
}

} // namespace

QString TargetReport(const QString &engineLines)
{
    static const QRegularExpression loudness(QStringLiteral(
        R"(^Note: loudness (?:of audio \d+ )?(-?[\d.]+) LUFS, true peak (-?[\d.]+|-inf) dBTP \(target (-?[\d.]+) LUFS)"));
    static const QRegularExpression unlevelled(
        QStringLiteral(R"(^Note: loudness (?:of audio \d+ )?not normalised: the (output has no sound|sound is silent))"));
    static const QRegularExpression size(
        QStringLiteral(R"(^Note: size ([\d.]+ \S+) \(target ([\d.]+ \S+), [\d.]+ %(?:; encoded \d+ times)?(; the content needs no more)?\))"));
    static const QRegularExpression quality(
        QStringLiteral(R"(^Note: SSIM ([\d.]+) at (CRF|quantiser) (\d+) \(target ([\d.]+)(; the best this encoder reaches|; short of it)?\))"));
    QStringList said;
    for (const QString &line : engineLines.split(QRegularExpression(QStringLiteral("[\r\n]+")), Qt::SkipEmptyParts)) {
        QRegularExpressionMatch m;
        if ((m = loudness.match(line)).hasMatch()) {
            said << filled(QStringLiteral("@315"), {m.captured(1), m.captured(2), m.captured(3)});
        } else if ((m = unlevelled.match(line)).hasMatch()) {
            said << GetLangString(m.captured(1).startsWith(u'o') ? QStringLiteral("@316") : QStringLiteral("@317"));
        } else if ((m = size.match(line)).hasMatch()) {
            said << filled(m.captured(3).isEmpty() ? QStringLiteral("@318") : QStringLiteral("@319"),
                           {m.captured(1), m.captured(2)});
        } else if ((m = quality.match(line)).hasMatch()) {
            const QString setting = m.captured(2) == QLatin1String("CRF")
                                        ? QStringLiteral("CRF ") + m.captured(3)
                                        : filled(QStringLiteral("@322"), {m.captured(3)});
            const QString shortfall = m.captured(5);
            const QString id = shortfall.isEmpty()                  ? QStringLiteral("@320")
                               : shortfall.contains(QLatin1String("best")) ? QStringLiteral("@321")
                                                                   : QStringLiteral("@323");
            said << filled(id, {m.captured(1), setting, m.captured(4)});
        }
    }
    return said.join(QStringLiteral("; "));
}
