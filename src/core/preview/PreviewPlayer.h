#pragma once
#include <QByteArray>
#include <QString>

#include <atomic>
#include <optional>

#include "core/preview/PreviewHost.h"
#include "core/preview/PreviewLibrary.h"
#include "core/preview/PreviewState.h"

// The program's side of the preview library: the player state and the call
// sequences behind Play, Pause, Stop, the position timer, the slider and resizing.
// Every sequence of library calls runs under a guard: a failure shows the fixed
// message of that command (or nothing) and leaves the state as it was.
class PreviewPlayer
{
public:
    static constexpr int PathBufferSize = 2048;
    static constexpr int TimerIntervalMs = 500;
    static constexpr int StartWaitMs = 600;
    static constexpr int SeekWaitMs = 400;

    static constexpr const char *InitFailedText = "Error! init player_init!";
    static constexpr const char *StartFailedText = "Error preview,player_start!";
    static constexpr const char *PauseFailedText = "Error preview,player_pause!";

    explicit PreviewPlayer(PreviewHost &host);
    PreviewPlayer(const PreviewPlayer &) = delete;
    PreviewPlayer &operator=(const PreviewPlayer &) = delete;

    // Start-up: loads programFolder + "libpreview.so" and attaches the player to the
    // preview area. On failure shows "Error! init player_init!" and returns false.
    bool LoadAndInitialise(const QString &programFolder);
    // Remembers where the library is, for EnsureLoaded: loading it costs more than the
    // window itself, so a window loads it once it is on screen, or at the first Play.
    void LoadLater(const QString &programFolder);
    // Loads the library LoadLater named, once; true when it is loaded.
    bool EnsureLoaded();

    void Play();
    void Pause();
    // Also called when the current task changes and, from the conversion thread,
    // when a batch starts.
    void Stop();
    void OnPositionTick();
    void OnSliderReleased();
    // After the window's re-layout on resize.
    void Resize();
    // Plays the converted file of each selected row; the last one started plays.
    void PlayConvertedFiles();

    // The playback position for Set Start and Set Stop: the player's position while
    // playing, the slider's while paused, none otherwise.
    std::optional<int> TakeMark();

    PreviewState State() const { return m_state.load(); }
    bool IsLoaded() const { return m_library.IsLoaded(); }

    // "HH:MM:SS" with hours not wrapped at 24.
    static QString FormatTime(int seconds);
    // "HH:MM:SS / HH:MM:SS".
    static QString FormatTimeLabel(int position, int length);
    // The path as the library gets it: local 8-bit (UTF-8), or empty when it does
    // not fit the 2048-byte buffer with its terminator.
    static QByteArray NarrowPath(const QString &path);
    // The percentage a slider position stands for; 0 while the slider has no range.
    static int SeekPercent(int position, int maximum);

private:
    void ShowPosition(int position, int length);

    PreviewHost &m_host;
    PreviewLibrary m_library;
    QString m_pendingFolder; // set by LoadLater until the load is tried
    std::atomic<PreviewState> m_state{PreviewState::Uninitialised};
};
