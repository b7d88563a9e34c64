#pragma once
#include <QString>
#include <QtGlobal>

#include <stdexcept>

#include "preview.h"

// A call into the preview library failed: the export is missing, the library is
// not loaded, or the call threw.
class PreviewError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// The preview library libpreview.so, loaded by name from the program folder with
// its seven calls resolved by name. Once loaded it stays loaded for the rest of the
// run: the player keeps threads of its own alive inside it.
class PreviewLibrary
{
public:
    // The native window the player draws into, as the library declares it.
    using WindowHandle = preview_window;

    static constexpr const char *FileName = "libpreview.so";

    PreviewLibrary() = default;
    PreviewLibrary(const PreviewLibrary &) = delete;
    PreviewLibrary &operator=(const PreviewLibrary &) = delete;

    // Loads programFolder + "libpreview.so" (programFolder ends in "/"). True when the
    // module was loaded; a missing export is not an error here but at its first call.
    bool Load(const QString &programFolder);
    bool IsLoaded() const { return m_module != nullptr; }
    QString LoadError() const { return m_loadError; }

    // Each call throws PreviewError when it cannot be made or fails inside.
    void Init(WindowHandle window);
    void Start(const char *path);
    void Pause();
    void Seek(int percent);
    void Stop();
    void Resize(WindowHandle window);
    void GetPos(int &position, int &length);

private:
    // The library's own declarations: a change there that the program does not follow
    // stops the build instead of a call with the wrong arguments.
    void *m_module = nullptr;
    QString m_loadError;
    decltype(&player_init) m_init = nullptr;
    decltype(&player_start) m_start = nullptr;
    decltype(&player_pause) m_pause = nullptr;
    decltype(&player_seek) m_seek = nullptr;
    decltype(&player_stop) m_stop = nullptr;
    decltype(&player_resize) m_resize = nullptr;
    decltype(&player_getpos) m_getpos = nullptr;
};
