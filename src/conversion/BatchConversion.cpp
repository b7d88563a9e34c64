#include "conversion/BatchConversion.h"

#include <QFile>
#include <QFileInfo>
#include <QTime>
#include <exception>

#include "app/RunLog.h"
#include "conversion/EngineCommand.h"
#include "conversion/EngineLocation.h"
#include "conversion/EngineOutputParser.h"
#include "conversion/EngineProcess.h"
#include "conversion/MediaProbe.h"
#include "conversion/OutputNaming.h"
#include "core/Numbers.h"
#include "core/SplitString.h"
#include "lang/Language.h"
#include "profiles/ParamOptions.h"
#include "profiles/ProfileCatalogue.h"

namespace {
const QString kCompleted = QStringLiteral("Completed");
const QString kNoRun = QStringLiteral("PRINT_CMD_NO_RUN");
constexpr int kChunkSize = 2048;

// The language text with the one "%s" it holds filled in.
QString fillPlaceholder(const QString &format, const QString &value)
{
    QString text = format;
    const qsizetype at = text.indexOf(QStringLiteral("%s"));
    if (at >= 0)
        text.replace(at, 2, value);
    return text;
}
} // namespace

double BatchTask::Duration() const
{
    if (trimLength > 0)
        return trimLength;
    return LeadingDouble(durationSecText);
}

void EngineSlot::Set(EngineProcess *process)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_process = process;
}

void EngineSlot::Clear()
{
    Set(nullptr);
}

bool EngineSlot::Kill()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_process)
        return false;
    m_process->Kill();
    m_process = nullptr;
    return true;
}

bool EngineSlot::IsSet() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_process != nullptr;
}

BatchConverter::BatchConverter(BatchHost &host, ConversionFlags &flags, Environment environment)
    : m_host(host), m_flags(flags), m_env(std::move(environment))
{
}

void BatchConverter::Run()
{
    // Of two workers started in quick succession only one runs.
    if (m_flags.converting.exchange(true))
        return;
    m_flags.stopRequested = false;
    try {
        m_host.StopPreview();
        if (TotalsPass()) {
            m_host.SetOverallProgress(0);
            m_doneSeconds = 0;
            bool convertAgain = false;
            for (int row = 0; row < m_host.RowCount(); ++row) {
                if (m_flags.selectedOnly && !m_host.IsRowSelected(row))
                    continue;
                if (m_flags.stopRequested)
                    break;
                if (ConvertRow(row, convertAgain) == RowOutcome::EndRun)
                    break;
            }
        }
        EndOfRun();
    } catch (const std::exception &) {
        m_host.ShowMessage(GetLangString(QStringLiteral("@10")));
        m_flags.converting = false;
        m_host.EnableConvertButtons();
    }
}

bool BatchConverter::TotalsPass()
{
    m_totalSeconds = 0;
    for (int row = 0; row < m_host.RowCount(); ++row) {
        if (m_flags.selectedOnly && !m_host.IsRowSelected(row))
            continue;
        const int id = m_host.RowText(row, BatchHost::kIdColumn).toInt();
        std::optional<BatchTask> task = m_host.Task(id);
        if (!task)
            continue;
        if (!task->hasMediaInfo || task->durationSecText.isEmpty()) {
            const QString text = RunProbe(task->sourcePath, QStringLiteral("-i"));
            if (text.isEmpty()) {
                m_host.ShowMessage(QStringLiteral("Error Reading File info,Converting Stoped!"));
                return false;
            }
            MediaInfo info;
            ParseProbeOutput(task->sourcePath, text, info);
            m_host.StoreMediaInfo(id, info);
            task->durationSecText = info.durationSecText;
        }
        m_totalSeconds += task->Duration();
    }
    return true;
}

BatchConverter::RowOutcome BatchConverter::ConvertRow(int row, bool &convertAgain)
{
    const int id = m_host.RowText(row, BatchHost::kIdColumn).toInt();
    const std::optional<BatchTask> task = m_host.Task(id);
    if (!task)
        return RowOutcome::Next;
    const double d = task->Duration();

    if (m_host.RowText(row, BatchHost::kStatusColumn).compare(kCompleted, Qt::CaseInsensitive) == 0 && !convertAgain) {
        if (!m_host.AskOkCancel(fillPlaceholder(GetLangString(QStringLiteral("@9")), task->sourcePath))) {
            m_totalSeconds -= d;
            return RowOutcome::Next;
        }
        convertAgain = true;
    }

    const GlobalSelection global = m_host.Global();
    QString outputPath;
    QString options;
    std::shared_ptr<const ParamCell> tree;
    if (!task->outputPath.isEmpty() && task->useGlobalOutput == 0) {
        if (!QFileInfo::exists(global.globalDestination))
            EnsureFolderPath(global.globalDestination); // its outcome does not stop the task
        // A folder typed into the task's own output name is made as the destination would be.
        const QString ownFolder = SplitPath(task->outputPath).folder;
        if (!ownFolder.isEmpty() && !QFileInfo::exists(ownFolder) && EnsureFolderPath(ownFolder).isEmpty())
            return RowOutcome::Next;
        outputPath = MakeUniqueOutputPath(task->outputPath);
        m_host.StoreOutputPath(id, outputPath);
        options = GetParamFromTree(task->tree.get());
    } else if (!PrepareGlobalTask(global, task->sourcePath, row, &outputPath, &options)) {
        return RowOutcome::Next;
    }
    const int aspectMode = task->useGlobalOutput == 1 ? global.aspectMode : task->aspectMode;

    options = AppendTrimOptions(options, task->trimStart, task->trimStop);
    options = ApplyAspectMode(options, task->videoSize, aspectMode);
    const QString source = TrimLeft(task->sourcePath);
    const QString output = TrimLeft(outputPath);
    const QString command = BuildEngineCommand(EngineFolder(), source, options, output);
    WriteLog(command);
    if (m_env.runMode == kNoRun)
        return RowOutcome::Next;

    const Verdict verdict =
        RunEngineTask(command, BuildEngineArguments(source, options, output), source, output, row, d);
    return verdict == Verdict::RunAborted ? RowOutcome::EndRun : RowOutcome::Next;
}

bool BatchConverter::PrepareGlobalTask(const GlobalSelection &global, const QString &sourcePath, int row,
                                       QString *outputPath, QString *options)
{
    const QString baseName = SplitPath(sourcePath).name;
    m_host.SetRowText(row, BatchHost::kProfileColumn, global.profileName);
    const QString targetType = GetTargetType(global.profileName);
    const QString folder = EnsureFolderPath(OutputFolderFor(global.destination, sourcePath));
    if (folder.isEmpty())
        return false;
    const QString path = MakeUniqueOutputPath(folder + (folder.endsWith(u'/') ? QString() : QStringLiteral("/")) +
                                              baseName + u'.' + targetType);
    m_host.SetRowText(row, BatchHost::kOutputColumn, path);
    *outputPath = path;
    *options = GetParamFromTree(global.tree.get());
    return true;
}

Verdict BatchConverter::RunEngineTask(const QString &commandLine, const QStringList &arguments,
                                      const QString &sourcePath, const QString &outputPath, int row, double duration)
{
    Q_UNUSED(commandLine);
    m_host.SetStatusLine(QStringLiteral("Converting \"%1\" to \"%2\"... \r\n").arg(sourcePath, outputPath));
    m_host.SetRowColor(row, kRunningColor);
    m_host.SetRowProgress(row, 0, true);
    m_host.EnableStopButton();
    m_host.SetRowText(row, BatchHost::kStatusColumn, QString());
    const int priority = m_host.PriorityLevel();

    EngineProcess engine;
    switch (engine.Start(EngineProgramPath(), arguments, priority)) {
    case EngineProcess::StartResult::Started:
        break;
    case EngineProcess::StartResult::OutputPipeFailed:
        m_host.ShowMessage(QStringLiteral("Create   STDOUT   pipe   failed"));
        return Verdict::RunAborted;
    case EngineProcess::StartResult::InputPipeFailed:
        m_host.ShowMessage(QStringLiteral("Create   STDIN   pipe   failed"));
        return Verdict::RunAborted;
    case EngineProcess::StartResult::ProcessFailed:
        return Verdict::RunAborted;
    }
    m_flags.engine.Set(&engine);
    // Stop Convert may have come between the start and the slot being set.
    if (m_flags.stopRequested)
        m_flags.engine.Kill();

    EngineOutputParser parser(duration, m_totalSeconds, m_doneSeconds);
    char buffer[kChunkSize];
    qint64 n;
    while ((n = engine.Read(buffer, kChunkSize)) > 0) {
        const EngineOutputParser::Display show = parser.Feed(QByteArray(buffer, int(n)));
        if (show.seeking) {
            m_host.SetStatusLine(EngineOutputParser::kSeeking);
            m_host.SetRowText(row, BatchHost::kStatusColumn, EngineOutputParser::kSeeking);
            continue;
        }
        if (show.statusLine) {
            m_host.SetStatusLine(*show.statusLine);
            m_host.SetRowProgress(row, show.rowPercent.value_or(0), true);
        }
        if (show.overall)
            m_host.SetOverallProgress(*show.overall);
    }

    m_doneSeconds += duration;
    m_host.SetRowProgress(row, 0, false);
    m_flags.engine.Kill();
    engine.Kill();
    engine.Wait();

    Verdict verdict = Verdict::Failed;
    if (parser.SawGlobalHeaders())
        verdict = Verdict::Succeeded;
    else if (m_flags.stopRequested)
        verdict = Verdict::Stopped;

    QString message;
    switch (verdict) {
    case Verdict::Succeeded:
        m_host.SetRowColor(row, kSucceededColor);
        m_host.PlaySound(BatchHost::Sound::Information);
        m_host.SetRowText(row, BatchHost::kStatusColumn, kCompleted);
        message = QStringLiteral("Converted  to \"%1\" ok!\r\n").arg(outputPath);
        break;
    case Verdict::Failed:
        m_host.SetRowColor(row, kFailedColor);
        if (QFileInfo::exists(outputPath))
            QFile::remove(outputPath);
        m_host.PlaySound(BatchHost::Sound::Error);
        m_host.ShowConvertInfo(parser.HeaderText());
        m_host.SetRowText(row, BatchHost::kStatusColumn, QStringLiteral("Failed"));
        message = QStringLiteral("Converting \"%1\" Failed!\r\n").arg(sourcePath);
        break;
    default:
        m_host.SetRowColor(row, kFailedColor);
        if (QFileInfo::exists(outputPath))
            QFile::remove(outputPath);
        m_host.PlaySound(BatchHost::Sound::Warning);
        m_host.SetRowText(row, BatchHost::kStatusColumn, QStringLiteral("Stoped"));
        message = QStringLiteral("%1 Stop Converting \"%2\" !\r\n")
                      .arg(QTime::currentTime().toString(QStringLiteral("HH:mm:ss")), sourcePath);
        break;
    }
    m_host.SetStatusLine(message);
    return verdict;
}

void BatchConverter::EndOfRun()
{
    m_host.SetOverallProgress(0);
    m_host.ClearWorkerReference();
    m_flags.converting = false;
    m_host.EnableConvertButtons();
}
