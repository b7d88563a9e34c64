#include "core/preview/PreviewPlayer.h"

#include <QFile>

#include <array>
#include <cmath>
#include <cstring>
#include <utility>

PreviewPlayer::PreviewPlayer(PreviewHost &host)
    : m_host(host)
{
}

bool PreviewPlayer::LoadAndInitialise(const QString &programFolder)
{
    if (m_library.Load(programFolder)) {
        try {
            m_library.Init(m_host.PreviewWindow());
            m_state = PreviewState::Ready;
            return true;
        } catch (...) {
        }
    }
    m_host.ShowMessage(QString::fromLatin1(InitFailedText));
    return false;
}

void PreviewPlayer::LoadLater(const QString &programFolder)
{
    m_pendingFolder = programFolder;
}

bool PreviewPlayer::EnsureLoaded()
{
    if (!m_pendingFolder.isEmpty() && !IsLoaded())
        LoadAndInitialise(std::exchange(m_pendingFolder, QString()));
    return IsLoaded();
}

void PreviewPlayer::Play()
{
    const QList<int> selected = m_host.SelectedRows();
    int row = 0;
    if (selected.isEmpty())
        m_host.SelectRow(0);
    else
        row = selected.constFirst();
    const std::optional<PreviewTask> task = m_host.TaskAt(row);
    if (!task)
        return;

    m_host.SetSliderRange(task->durationSec);
    m_host.SetSliderPos(0);
    if (!EnsureLoaded())
        return;

    try {
        m_library.Init(m_host.PreviewWindow());
        if (m_state == PreviewState::Paused) {
            m_library.Pause();
        } else {
            m_library.Stop();
            // The library reads a fixed buffer; a path too long for it goes as "".
            std::array<char, PathBufferSize> buffer{};
            const QByteArray narrow = NarrowPath(task->sourcePath);
            std::memcpy(buffer.data(), narrow.constData(), size_t(narrow.size()));
            m_library.Start(buffer.data());
            m_host.StartPositionTimer();
            m_host.Wait(StartWaitMs);
        }
        try {
            m_library.Resize(m_host.PreviewWindow());
        } catch (...) {
            // A picture that does not fit is no reason to refuse playing.
        }
        m_state = PreviewState::Playing;
    } catch (...) {
        m_host.ShowMessage(QString::fromLatin1(StartFailedText));
    }
}

void PreviewPlayer::Pause()
{
    if (m_host.SelectedRows().isEmpty() || !IsLoaded())
        return;
    try {
        // Pause never resumes; Play does.
        if (m_state == PreviewState::Playing)
            m_library.Pause();
        if (m_state != PreviewState::Uninitialised)
            m_state = PreviewState::Paused;
    } catch (...) {
        m_host.ShowMessage(QString::fromLatin1(PauseFailedText));
    }
}

void PreviewPlayer::Stop()
{
    const PreviewState state = m_state;
    if (!((IsLoaded() && state == PreviewState::Playing) || state == PreviewState::Paused))
        return;
    int position = -1;
    int length = -1;
    try {
        m_library.GetPos(position, length);
        m_library.Seek(0);
        m_library.Stop();
        m_state = PreviewState::Stopped;
    } catch (...) {
        m_host.ShowMessage(QString::fromLatin1(PauseFailedText));
        return;
    }
    if (position >= 0 && length >= 0) {
        m_host.SetTimeLabel(FormatTimeLabel(0, length));
        m_host.SetSliderPos(0);
        m_host.InvalidatePreviewArea();
    }
}

void PreviewPlayer::OnPositionTick()
{
    if (m_state != PreviewState::Playing)
        return;
    int position = -1;
    int length = -1;
    try {
        m_library.GetPos(position, length);
    } catch (...) {
        return;
    }
    if (position < 0 || length < 0)
        return;
    m_host.SetTimeLabel(FormatTimeLabel(position, length));
    if (position == length) {
        // At the end: back to the beginning.
        try {
            m_library.Seek(0);
        } catch (...) {
            return;
        }
    }
    // A task whose length the probe could not read still gets a slider that follows.
    if (m_host.SliderMax() == 0 && length > 0)
        m_host.SetSliderRange(length);
    if (m_host.SliderFollows())
        m_host.SetSliderPos(position);
}

void PreviewPlayer::OnSliderReleased()
{
    const PreviewState state = m_state;
    if (state != PreviewState::Playing && state != PreviewState::Paused)
        return;
    int position = -1;
    int length = -1;
    try {
        m_library.GetPos(position, length);
    } catch (...) {
        return;
    }
    // Keep the timer off the thumb until the player has got there.
    m_host.SetSliderFollows(false);
    const int target = m_host.SliderPos();
    const int maximum = m_host.SliderMax();
    try {
        m_library.Seek(SeekPercent(target, maximum));
    } catch (...) {
        return;
    }
    m_host.Wait(SeekWaitMs);
    if (target >= 0 && length >= 0) {
        m_host.SetTimeLabel(FormatTimeLabel(target, length));
        m_host.SetSliderFollows(true);
    }
}

void PreviewPlayer::Resize()
{
    const PreviewState state = m_state;
    if (state != PreviewState::Playing && state != PreviewState::Paused)
        return;
    try {
        m_library.Resize(m_host.PreviewWindow());
    } catch (...) {
    }
}

void PreviewPlayer::PlayConvertedFiles()
{
    const QList<int> selected = m_host.SelectedRows();
    for (int row : selected) {
        const std::optional<PreviewTask> task = m_host.TaskAt(row);
        if (!task)
            continue;
        m_host.SetSliderPos(0);
        if (!EnsureLoaded())
            continue;
        try {
            m_library.Stop();
            std::array<char, PathBufferSize> buffer{};
            const QByteArray narrow = NarrowPath(task->outputPath);
            std::memcpy(buffer.data(), narrow.constData(), size_t(narrow.size()));
            m_library.Start(buffer.data());
            m_state = PreviewState::Playing;
            m_host.Wait(StartWaitMs);
            int position = -1;
            int length = -1;
            m_library.GetPos(position, length);
            if (length > 0)
                m_host.SetSliderRange(length);
            m_host.StartPositionTimer();
        } catch (...) {
            m_host.ShowMessage(QString::fromLatin1(StartFailedText));
        }
    }
}

std::optional<int> PreviewPlayer::TakeMark()
{
    switch (m_state.load()) {
    case PreviewState::Playing: {
        int position = -1;
        int length = -1;
        try {
            m_library.GetPos(position, length);
        } catch (...) {
            return std::nullopt;
        }
        if (position < 0)
            return std::nullopt;
        return position;
    }
    case PreviewState::Paused:
        return m_host.SliderPos();
    default:
        return std::nullopt;
    }
}

QString PreviewPlayer::FormatTime(int seconds)
{
    return QString::asprintf("%02d:%02d:%02d", seconds / 3600, seconds % 3600 / 60, seconds % 60);
}

QString PreviewPlayer::FormatTimeLabel(int position, int length)
{
    return FormatTime(position) + QLatin1String(" / ") + FormatTime(length);
}

QByteArray PreviewPlayer::NarrowPath(const QString &path)
{
    QByteArray narrow = QFile::encodeName(path);
    if (narrow.size() + 1 > PathBufferSize)
        return {};
    return narrow;
}

int PreviewPlayer::SeekPercent(int position, int maximum)
{
    if (maximum <= 0)
        return 0;
    return static_cast<int>(std::trunc(double(position) / double(maximum) * 100.0));
}
