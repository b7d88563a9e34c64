// Conversion commands of the main window and the window's side of a run: every
// call the worker makes is carried out on the user-interface thread.
#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QEventLoop>
#include <QLineEdit>
#include <QProgressBar>
#include <QThread>

#include "app/AppSettings.h"
#include "app/CCorvaneStudioDlg.h"
#include "app/ControlIds.h"
#include "app/ConvertInfoDialog.h"
#include "controls/CListCtrlEx.h"
#include "preview/PreviewPlayer.h"
#include "toolkit/ControlId.h"
#include "toolkit/Prompter.h"
#include "toolkit/StatusBar.h"
#include "toolkit/SystemSound.h"
#include "toolkit/ThreadGroup.h"
#include "toolkit/UiThread.h"

class WindowBatchHost : public BatchHost
{
public:
    explicit WindowBatchHost(CCorvaneStudioDlg &dlg) : m_dlg(dlg) {}

    template <typename F>
    auto ui(F &&f)
    {
        return OnUiThread(&m_dlg, std::forward<F>(f));
    }

    int RowCount() override
    {
        return ui([this] { return m_dlg.m_taskList->rowCount(); });
    }
    bool IsRowSelected(int row) override
    {
        return ui([&] { return m_dlg.m_taskList->IsRowSelected(row); });
    }
    QString RowText(int row, int column) override
    {
        return ui([&] { return m_dlg.m_taskList->GetItemText(row, column); });
    }
    void SetRowText(int row, int column, const QString &text) override
    {
        ui([&] {
            m_dlg.m_taskList->SetItemText(row, column, text);
            if (column == kStatusColumn)
                emit m_dlg.rowStatusChanged(row, text);
        });
    }
    void SetRowColor(int row, quint32 bgr) override
    {
        ui([&] { m_dlg.m_taskList->SetItemColor(row, bgr, CListCtrlEx::kUnchanged); });
    }
    void SetRowProgress(int row, int percent, bool show) override
    {
        ui([&] {
            CListCtrlEx *list = m_dlg.m_taskList;
            list->m_progressRow = row;
            list->m_percent = unsigned(std::max(0, percent));
            list->m_showProgress = show;
            if (show)
                list->UpdateRowProgress();
            else
                list->HideRowProgress();
        });
    }
    std::optional<BatchTask> Task(int id) override
    {
        return ui([&]() -> std::optional<BatchTask> {
            const TaskPtr task = m_dlg.m_tasks.Find(id);
            if (!task)
                return std::nullopt;
            BatchTask copy;
            copy.id = id;
            copy.sourcePath = task->sourcePath;
            copy.outputPath = task->outputPath;
            copy.useGlobalOutput = task->useGlobalOutput;
            copy.aspectMode = task->aspectMode;
            copy.trimStart = task->trimStart;
            copy.trimStop = task->trimStop;
            copy.trimLength = task->trimLength;
            copy.hasMediaInfo = task->mediaInfo != nullptr;
            if (task->mediaInfo) {
                copy.durationSecText = task->mediaInfo->durationSecText;
                copy.videoSize = task->mediaInfo->videoSize;
            }
            if (task->paramTree)
                copy.tree = SnapshotTree(task->paramTree.get());
            return copy;
        });
    }
    void StoreMediaInfo(int id, const MediaInfo &info) override
    {
        ui([&] { m_dlg.StoreProbeResult(id, std::make_unique<MediaInfo>(info)); });
    }
    void StoreOutputPath(int id, const QString &path) override
    {
        ui([&] {
            if (const TaskPtr task = m_dlg.m_tasks.Find(id))
                task->outputPath = path;
        });
    }
    GlobalSelection Global() override
    {
        return ui([this] {
            GlobalSelection g;
            g.profileName = m_dlg.m_profileCombo->currentText();
            g.destination = m_dlg.m_destination->text();
            g.globalDestination = m_dlg.m_globalDest;
            const ProfileSnapshot snapshot = m_dlg.m_profile.Snapshot();
            g.aspectMode = snapshot.aspectMode;
            g.tree = snapshot.tree;
            return g;
        });
    }
    int PriorityLevel() override
    {
        return ui([this] { return m_dlg.m_settings.GetPriorityLevel(); });
    }
    void SetStatusLine(const QString &text) override
    {
        ui([&] {
            m_dlg.m_statusBar->SetPaneText(1, text);
            emit m_dlg.statusLineChanged(text);
        });
    }
    void SetOverallProgress(int percent) override
    {
        ui([&] {
            m_dlg.m_progress->setValue(std::clamp(percent, 0, 100));
            emit m_dlg.overallProgressChanged(percent);
        });
    }
    void EnableStopButton() override
    {
        ui([this] { FindControl<QWidget>(&m_dlg, Ids::StopConvert)->setEnabled(true); });
    }
    void EnableConvertButtons() override
    {
        ui([this] {
            FindControl<QWidget>(&m_dlg, Ids::ConvertAll)->setEnabled(true);
            FindControl<QWidget>(&m_dlg, Ids::ConvertSelected)->setEnabled(true);
            emit m_dlg.runEnded();
        });
    }
    void ClearWorkerReference() override
    {
        ui([this] { m_dlg.m_workerThread = 0; });
    }
    void PlaySound(Sound sound) override
    {
        ui([&] {
            SystemSound::Play(sound == Sound::Information ? SystemSound::Kind::Information
                              : sound == Sound::Error     ? SystemSound::Kind::Error
                                                          : SystemSound::Kind::Warning);
        });
    }
    bool AskOkCancel(const QString &text) override
    {
        return ui([&] { return ::AskOkCancel(&m_dlg, text); });
    }
    void ShowMessage(const QString &text) override
    {
        ui([&] { ::ShowMessage(&m_dlg, text, Prompter::Icon::Error); });
    }
    void ShowConvertInfo(const QString &headerText) override
    {
        ui([&] {
            ConvertInfoDialog dialog(headerText, &m_dlg);
            Prompter::Current().Exec(&dialog);
        });
    }
    void StopPreview() override
    {
        ui([this] { m_dlg.StopPreviewIfActive(); });
    }

private:
    CCorvaneStudioDlg &m_dlg;
};

void CCorvaneStudioDlg::StartWorker()
{
    if (!m_batchHost)
        m_batchHost = std::make_unique<WindowBatchHost>(*this);
    const BatchConverter::Environment env{m_settings.GetRunMode()};
    m_workerThread = m_workerThreads->Start([this, env] {
        BatchConverter converter(*m_batchHost, m_flags, env);
        converter.Run();
    });
}

void CCorvaneStudioDlg::OnConvertAll()
{
    m_flags.selectedOnly = false;
    if (m_taskList->rowCount() == 0)
        return;
    StartWorker();
    FindControl<QWidget>(this, Ids::ConvertAll)->setEnabled(true);
}

void CCorvaneStudioDlg::OnConvertSelected()
{
    m_flags.selectedOnly = true;
    if (m_taskList->rowCount() == 0)
        return;
    if (m_taskList->SelectedCount() == 0)
        m_taskList->SetRowSelected(0, true);
    StartWorker();
    FindControl<QWidget>(this, Ids::ConvertAll)->setEnabled(true);
}

void CCorvaneStudioDlg::OnStopConvert()
{
    if (!m_flags.converting)
        return;
    // The flag first: the worker reads it once the engine's output has ended.
    m_flags.stopRequested = true;
    m_flags.engine.Kill();
    m_workerThread = 0;
}

void CCorvaneStudioDlg::WaitForWorkers()
{
    // Workers call into this thread synchronously, so it keeps serving them while it
    // waits; each worker leaves the list when its end is handled here.
    m_workerThreads->WaitAll();
}
