#include "ui/mainwindow/BatchView.h"

#include <QProgressBar>
#include <algorithm>
#include <utility>
#include <QWidget>

#include "core/settings/AppSettings.h"
#include "ui/dialogs/ConvertInfoDialog.h"
#include "ui/widgets/CListCtrlEx.h"
#include "core/conversion/EngineOutputParser.h"
#include "core/conversion/JobCount.h"
#include "core/profiles/ParamOptions.h"
#include "base/OwnerThread.h"
#include "base/ThreadGroup.h"
#include "core/settings/Language.h"
#include "ui/widgets/ImageButton.h"
#include "ui/widgets/Launcher.h"
#include "ui/widgets/Prompter.h"
#include "ui/widgets/StatusBar.h"
#include "ui/widgets/SystemSound.h"

namespace {
// Text colours of a row, as 0x00BBGGRR.
constexpr QRgb kRunningColor = 0x0093B129;
constexpr QRgb kSucceededColor = 0x00808080;
constexpr QRgb kFailedColor = 0x00FF0000;
} // namespace

// One worker's run as the window shows it: every call is carried out on the window's
// thread and returns when it is done there.
class BatchView::Host : public BatchHost
{
public:
    Host(BatchView &view, ThreadGroup::Id worker, int jobs) : m_view(view), m_worker(worker), m_jobs(jobs) {}

    void RunStarting() override
    {
        ui([this] {
            // The reference follows the worker that really runs.
            m_view.m_workerThread = m_worker;
            m_view.m_jobs = m_jobs;
            m_view.m_window.stopPreview();
            emit m_view.runStarting();
        });
    }
    void RunStarted(double) override
    {
        ui([this] {
            m_view.SetOverall(0);
            Launcher::Current().ShowProgress(m_shownOverall = 0);
        });
    }
    void TaskStarted(const TaskStartedEvent &event) override
    {
        ui([&] {
            m_view.SetStatusLine(event.StatusLine());
            const int row = m_view.m_tasks.RowOf(event.id);
            CListCtrlEx *list = m_view.m_parts.list;
            list->SetItemColor(row, kRunningColor, CListCtrlEx::kUnchanged);
            // The lowest bar not in use.
            int slot = 0;
            while (std::find(m_view.m_rowSlots.cbegin(), m_view.m_rowSlots.cend(), slot) != m_view.m_rowSlots.cend())
                ++slot;
            m_view.m_rowSlots.insert(event.id, slot);
            SetRowProgress(event.id, 0);
            m_view.m_parts.stopConvert->setEnabled(true);
        });
    }
    void Progress(const ProgressEvent &event) override
    {
        ui([&] {
            if (event.seeking) {
                m_view.SetStatusLine(EngineOutputParser::kSeeking);
                return;
            }
            if (!event.statusLine.isEmpty()) {
                m_view.SetStatusLine(event.statusLine);
                SetRowProgress(event.id, event.rowPercent.value_or(0));
            }
            if (event.overall) {
                m_view.SetOverall(*event.overall);
                if (*event.overall != m_shownOverall)
                    Launcher::Current().ShowProgress(m_shownOverall = *event.overall);
            }
            if (event.remaining && !m_view.IsPaused())
                m_view.SetTimeLeft(GetLangString(QStringLiteral("@178")).replace(QStringLiteral("%s"),
                                                                                 RunClock::Format(*event.remaining)));
        });
    }
    void TaskFinished(const TaskFinishedEvent &event) override
    {
        ui([&] {
            const int row = m_view.m_tasks.RowOf(event.id);
            if (m_view.m_rowSlots.contains(event.id)) // a task whose folder failed never started
                m_view.m_parts.list->HideRowProgress(m_view.m_rowSlots.take(event.id));
            CListCtrlEx *list = m_view.m_parts.list;
            ++(event.verdict == Verdict::Completed ? m_converted : m_notConverted);
            switch (event.verdict) {
            case Verdict::Completed:
                list->SetItemColor(row, kSucceededColor, CListCtrlEx::kUnchanged);
                SystemSound::Play(SystemSound::Kind::Information);
                break;
            case Verdict::Failed: {
                list->SetItemColor(row, kFailedColor, CListCtrlEx::kUnchanged);
                SystemSound::Play(SystemSound::Kind::Error);
                // With several at once, a report waits for the run's end: a dialog now
                // would hold this job's place while the others go on.
                if (event.showReport && m_jobs > 1)
                    m_reports << event.Report();
                else if (event.showReport)
                    ShowReport(event.Report());
                break;
            }
            default:
                list->SetItemColor(row, kFailedColor, CListCtrlEx::kUnchanged);
                SystemSound::Play(SystemSound::Kind::Warning);
                break;
            }
            // A task converted another way than asked (a card encoder's fallback) says so.
            const bool note = event.verdict == Verdict::Completed && !event.cause.isEmpty();
            m_view.SetStatusLine(note ? event.StatusLine().trimmed() + u' ' + event.cause : event.StatusLine());
        });
    }
    void RunEnded() override
    {
        ui([this] {
            m_view.SetOverall(0);
            Launcher::Current().ShowProgress(-1);
            m_view.SetTimeLeft(QString());
            m_view.ShowPauseState();
            if (m_view.m_workerThread == m_worker)
                m_view.m_workerThread = 0;
            m_view.m_parts.convertAll->setEnabled(true);
            m_view.m_parts.convertSelected->setEnabled(true);
            for (const QString &report : std::exchange(m_reports, {}))
                ShowReport(report);
            // A user who looked elsewhere during a long run hears of its end.
            if (m_converted + m_notConverted > 0 && !m_view.m_parts.window->isActiveWindow())
                Launcher::Current().Notify(GetLangString(QStringLiteral("@182")),
                                           GetLangString(QStringLiteral("@183"))
                                               .replace(QStringLiteral("%1"), QString::number(m_converted))
                                               .replace(QStringLiteral("%2"), QString::number(m_notConverted)));
            emit m_view.runEnded();
        });
    }
    bool AskOkCancel(const QString &text) override
    {
        return ui([&] { return ::AskOkCancel(m_view.m_parts.window, text); });
    }
    void ShowMessage(const QString &text) override
    {
        ui([&] { ::ShowMessage(m_view.m_parts.window, text, Prompter::Icon::Error); });
    }
    GlobalSelection Global() override
    {
        return ui([this] { return m_view.m_window.global(); });
    }
    int PriorityLevel() override
    {
        return ui([this] { return m_view.m_settings.GetPriorityLevel(); });
    }

private:
    template <typename F>
    auto ui(F &&f) -> std::invoke_result_t<F>
    {
        return OnOwnerThread(&m_view, std::forward<F>(f));
    }
    // Points a task's row progress bar at its row and sets its value; a screen reader
    // hears the file and the percent.
    void SetRowProgress(int id, int percent)
    {
        const TaskPtr task = m_view.m_tasks.Find(id);
        const QString file = task ? task->baseName.str() + u'.' + task->sourceExt.str() : QString();
        m_view.m_parts.list->SetRowProgress(m_view.m_rowSlots.value(id), m_view.m_tasks.RowOf(id), percent,
                                            QStringLiteral("%1: %2%").arg(file).arg(std::clamp(percent, 0, 100)));
    }
    void ShowReport(const QString &report)
    {
        ConvertInfoDialog dialog(report, m_view.m_parts.window);
        Prompter::Current().Exec(&dialog);
    }

    BatchView &m_view;
    const ThreadGroup::Id m_worker;
    const int m_jobs;
    int m_converted = 0;    // tasks of this run, counted on the window's thread
    int m_notConverted = 0;
    int m_shownOverall = -1; // on the taskbar entry
    QStringList m_reports;   // of failed tasks, shown when the run ends
};

BatchView::BatchView(TaskList &tasks, AppSettings &settings, Parts parts, Window window, QObject *parent)
    : QObject(parent), m_tasks(tasks), m_settings(settings), m_parts(parts), m_window(std::move(window))
{
    m_workerThreads = new ThreadGroup(this);
    connect(m_workerThreads, &ThreadGroup::finished, this, [this](ThreadGroup::Id id) {
        if (m_workerThread == id)
            m_workerThread = 0;
    });
}

BatchView::~BatchView()
{
    StopAndWait();
}

void BatchView::SetStatusLine(const QString &text)
{
    m_parts.statusBar->SetPaneText(1, text);
    emit statusLineChanged(text);
}

void BatchView::SetOverall(int percent)
{
    m_parts.progress->setValue(std::clamp(percent, 0, 100));
    emit overallProgressChanged(percent);
}

void BatchView::SetTimeLeft(const QString &text)
{
    m_parts.statusBar->SetPaneText(0, text);
    emit timeLeftChanged(text);
}

void BatchView::ShowPauseState()
{
    const bool paused = m_flags.IsPaused();
    if (m_parts.pauseConvert)
        m_parts.pauseConvert->SetCaption(GetLangString(paused ? QStringLiteral("@176") : QStringLiteral("@175")));
    if (paused)
        SetTimeLeft(GetLangString(QStringLiteral("@179")));
}

void BatchView::OnPauseConvert()
{
    if (!m_flags.converting)
        return;
    m_flags.SetPaused(!m_flags.IsPaused());
    ShowPauseState();
    if (!m_flags.IsPaused())
        SetTimeLeft(QString()); // until the next progress line brings a new time
}

void BatchView::StartWorker()
{
    // The number is chosen when the run starts, from the profile the window shows then.
    const int jobs = JobCount::Resolve(m_settings.GetJobs(), GetParamFromTree(m_window.global().tree.get()));
    const BatchConverter::Environment env{m_settings.GetRunMode(), jobs, {}, m_settings.IsDateKept()};
    const ThreadGroup::Id id = m_workerThreads->StartWithId([this, env](ThreadGroup::Id self) {
        Host host(*this, self, env.jobs);
        BatchConverter converter(m_tasks, host, m_flags, env);
        converter.Run();
    });
    // A second command during a run starts a worker that ends at once: the window's
    // reference stays with the worker that runs.
    if (m_workerThread == 0)
        m_workerThread = id;
}

void BatchView::OnConvertAll()
{
    m_flags.selectedOnly = false;
    if (m_tasks.Count() == 0)
        return;
    StartWorker();
    m_parts.convertAll->setEnabled(true);
}

void BatchView::OnConvertSelected()
{
    m_flags.selectedOnly = true;
    if (m_tasks.Count() == 0)
        return;
    if (m_tasks.SelectedCount() == 0)
        m_parts.list->SetRowSelected(0, true);
    StartWorker();
    m_parts.convertAll->setEnabled(true);
}

void BatchView::OnStopConvert()
{
    if (!m_flags.converting)
        return;
    // The flag first: the run reads it once the engine's output has ended.
    m_flags.stopRequested = true;
    m_flags.engine.Kill();
    m_workerThread = 0;
}

void BatchView::StopAndWait()
{
    if (m_flags.converting) {
        m_flags.stopRequested = true;
        m_flags.engine.Kill();
        m_workerThread = 0;
    }
    WaitForWorkers();
}

int BatchView::RunningWorkers() const
{
    return m_workerThreads->Running();
}

void BatchView::WaitForWorkers()
{
    // Workers call into this thread synchronously, so it keeps serving them while it
    // waits; each worker leaves the group when its end is handled here.
    m_workerThreads->WaitAll();
}
