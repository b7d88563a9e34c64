#include "core/profiles/ParamOptions.h"

#include <QMutex>
#include <QStringList>
#include <QtDebug>
#include <stdexcept>

#include "base/SplitString.h"
#include "base/UserMessage.h"
#include "core/profiles/CMpegStructs.h"
#include "core/profiles/ParamCell.h"
#include "core/profiles/ProfileCatalogue.h"
#include "core/profiles/TargetCells.h"

namespace {

// A cell's value may hold further arguments ("0:v:0? -map 0:a?", "mp3 -vn"): it is split at
// blanks, a double-quoted stretch staying one argument. A metadata text is free text and
// stays one argument whatever it holds.
void addValue(EngineOptions &options, const QString &option, const QString &value)
{
    static const QStringList freeText = {QStringLiteral("-title"), QStringLiteral("-author"),
                                         QStringLiteral("-copyright"), QStringLiteral("-comment"),
                                         QStringLiteral("-album"), QStringLiteral("-metadata")};
    if (freeText.contains(option)) {
        options.Add(option, value);
        return;
    }
    QStringList words{option};
    QString current;
    bool quoted = false;
    bool inWord = false;
    for (const QChar c : value) {
        if (c == u'"') {
            quoted = !quoted;
            inWord = true;
        } else if (c.isSpace() && !quoted) {
            if (inWord)
                words << current;
            current.clear();
            inWord = false;
        } else {
            current += c;
            inWord = true;
        }
    }
    if (inWord)
        words << current;
    options.Append(EngineOptions(words));
}

// The option of a direct child of the root, added to options when the cell gives one.
void addOptionOf(const ParamCell &cell, EngineOptions &options)
{
    if (!cell.Enable)
        return;
    switch (cell.nValueType) {
    case ParamCell::kList: {
        if (cell.strCelltName.str().compare(QLatin1String("aspect"), Qt::CaseInsensitive) == 0)
            return; // the aspect cell only selects how the size is fitted
        if (cell.UsedType == ParamCell::kNeverEmitted)
            return;
        // "|Auto": nothing before the bar leaves the option to the engine.
        const QString engineValue = EntryEngineValue(cell.CurrentListValue());
        if (!engineValue.isEmpty())
            addValue(options, cell.strOption.str(), engineValue);
        return;
    }
    case ParamCell::kNumber:
        if (cell.fValue > 0) // also skips NaN
            options.Add(cell.strOption.str(), QString::asprintf("%0.0f", double(cell.fValue)));
        return;
    case ParamCell::kText:
        if (!cell.SValue.isEmpty())
            addValue(options, cell.strOption.str(), cell.SValue.str());
        return;
    default:
        return;
    }
}

} // namespace

EngineOptions GetParamFromTree(const ParamCell *root)
{
    if (!root)
        return {};
    try {
        EngineOptions options;
        for (const auto &child : root->pChildren) {
            if (!child)
                throw std::runtime_error("broken parameter tree");
            addOptionOf(*child, options);
        }
        return options;
    } catch (...) {
        ShowUserMessage(QStringLiteral("Function:GetParamFromTree(CMpegStructs m_SetParamCells) ERROR!"));
        return {};
    }
}

EngineOptions ProfileOptions(const QString &profileName)
{
    CMpegStructs tree;
    tree.LoadFromFile(ProfileFile(profileName));
    return GetParamFromTree(tree.GetRoot());
}

QString BuildProfileSummary(const ParamCell *root)
{
    if (!root)
        return {};
    QString accumulator;
    QString summary;
    try {
        const QStringList names = QStringLiteral("vcodec|s|vb|r|aspect|acodec|ab|ar|ac").split(u'|');
        for (const QString &name : names) {
            QString value;
            const ParamCell *cell = FindCell(root, name);
            // A constant-quality profile shows its quality where others show a bit rate.
            QString quality;
            for (const char *mode : {"crf", "qp", "cq"})
                if (!cell && name == QLatin1String("vb") && (cell = FindCell(root, QString::fromLatin1(mode))))
                    quality = QString::fromLatin1(mode).toUpper() + u' ';
            if (cell && cell->nValueType == ParamCell::kList) {
                if (cell->UsedType == ParamCell::kUserValue) {
                    value = QStringLiteral("%1 %2").arg(cell->SValue.str(), cell->strUnit.str());
                } else {
                    QStringList pieces;
                    SplitString(cell->Entry(cell->sDefault), pieces, QStringLiteral("|"), true);
                    value = pieces.value(1);
                }
            }
            if (value.isEmpty())
                value = QStringLiteral("Auto");
            else
                value = quality + value;
            accumulator += u'|' + value;
        }
        QStringList fields;
        SplitString(accumulator, fields, QStringLiteral("|"), false);
        // fields: vcodec s vb r aspect acodec ab ar ac; the aspect is not shown
        summary = QStringLiteral("Video:%1,size:%2,BitRate:%3,FrameRate:%4,Audio:%5,BitRate:%6,Sample Rate:%7,Channels:%8")
                      .arg(fields.value(0), fields.value(1), fields.value(2), fields.value(3), fields.value(5),
                           fields.value(6), fields.value(7), fields.value(8));
        // What the conversion aims at, where the profile sets it.
        if (const QString lufs = TargetCells::Value(root, TargetCells::kLoudness); !lufs.isEmpty())
            summary += QStringLiteral(",Loudness:%1 LUFS").arg(lufs);
        if (const QString size = TargetCells::Value(root, TargetCells::kSize); !size.isEmpty())
            summary += QStringLiteral(",Fit into:%1").arg(size);
        if (const QString ssim = TargetCells::Value(root, TargetCells::kQuality); !ssim.isEmpty())
            summary += QStringLiteral(",Target SSIM:%1").arg(ssim);
    } catch (...) {
        ShowUserMessage(QStringLiteral("GetShowParamFromTree Error!"));
    }
    return summary;
}
