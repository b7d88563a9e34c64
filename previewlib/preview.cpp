// The preview player: a thin layer over libmpv that plays one file at a time into
// a window of the program, or with null outputs when there is nothing to draw on.
#include "preview.h"

#include <mpv/client.h>

#include <clocale>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

namespace {

bool HaveDisplay()
{
    const char *platform = std::getenv("QT_QPA_PLATFORM");
    if (platform && (std::strcmp(platform, "offscreen") == 0 || std::strcmp(platform, "minimal") == 0))
        return false;
    const char *x11 = std::getenv("DISPLAY");
    const char *wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 && *x11) || (wayland && *wayland);
}

int WholeSeconds(double seconds)
{
    if (!std::isfinite(seconds))
        return -1;
    if (seconds < 0)
        return 0; // a stream may start a hair before zero
    if (seconds >= INT_MAX)
        return INT_MAX;
    return static_cast<int>(std::floor(seconds));
}

// One mpv core at a time. Every call takes the mutex: a stop may come from the
// conversion thread while the window polls the position.
class Player
{
public:
    ~Player()
    {
        std::lock_guard lock(m_mutex);
        Destroy();
    }

    void Init(preview_window window)
    {
        std::lock_guard lock(m_mutex);
        DrainEvents();
        if (m_mpv && window == m_window)
            return;
        Destroy();
        Create(window);
    }

    void Start(const char *path)
    {
        std::lock_guard lock(m_mutex);
        DrainEvents();
        if (!m_mpv && !Create(m_window))
            return;
        if (!path || !*path) {
            StopLocked();
            return;
        }
        int playing = 0;
        mpv_set_property(m_mpv, "pause", MPV_FORMAT_FLAG, &playing);
        const char *command[] = {"loadfile", path, "replace", nullptr};
        mpv_node result;
        m_ready = false;
        m_entry = 0;
        m_loaded = mpv_command_ret(m_mpv, command, &result) >= 0;
        if (!m_loaded)
            return;
        if (result.format == MPV_FORMAT_NODE_MAP) {
            const mpv_node_list *map = result.u.list;
            for (int i = 0; i < map->num; ++i)
                if (std::strcmp(map->keys[i], "playlist_entry_id") == 0 && map->values[i].format == MPV_FORMAT_INT64)
                    m_entry = map->values[i].u.int64;
        }
        mpv_free_node_contents(&result);
        // "replace" leaves the new file alone in the playlist.
        if (m_entry == 0)
            mpv_get_property(m_mpv, "playlist/0/id", MPV_FORMAT_INT64, &m_entry);
    }

    void Pause()
    {
        std::lock_guard lock(m_mutex);
        DrainEvents();
        if (!m_mpv || !m_loaded)
            return;
        int paused = 0;
        if (mpv_get_property(m_mpv, "pause", MPV_FORMAT_FLAG, &paused) < 0)
            return;
        paused = !paused;
        mpv_set_property(m_mpv, "pause", MPV_FORMAT_FLAG, &paused);
    }

    void Seek(int percent)
    {
        std::lock_guard lock(m_mutex);
        DrainEvents();
        if (!m_mpv || !m_loaded)
            return;
        if (percent < 0)
            percent = 0;
        if (percent > 100)
            percent = 100;
        const std::string target = std::to_string(percent);
        const char *command[] = {"seek", target.c_str(), "absolute-percent", nullptr};
        mpv_command(m_mpv, command);
    }

    void Stop()
    {
        std::lock_guard lock(m_mutex);
        DrainEvents();
        StopLocked();
    }

    void Resize(preview_window window)
    {
        std::lock_guard lock(m_mutex);
        DrainEvents();
        // Nothing to do for the attached window: mpv's embedded window watches its
        // parent's configure events and refits the picture (paused too) by itself.
        // Another window would need a new core, which would end playback; the next
        // init does that.
        (void)window;
    }

    void GetPos(int *pos, int *len)
    {
        int position = -1;
        int length = -1;
        {
            std::lock_guard lock(m_mutex);
            DrainEvents();
            // Until the file asked for is open, mpv still answers for the one before it
            // (a stop or a replace takes effect a moment later), or for nothing.
            if (m_mpv && m_loaded && m_ready) {
                double seconds = 0;
                if (mpv_get_property(m_mpv, "duration", MPV_FORMAT_DOUBLE, &seconds) >= 0)
                    length = WholeSeconds(seconds);
                if (mpv_get_property(m_mpv, "time-pos", MPV_FORMAT_DOUBLE, &seconds) >= 0)
                    position = WholeSeconds(seconds);
                // The last frame starts before the end: at the end the position is the length,
                // which is how the caller knows to go back to the beginning.
                int atEnd = 0;
                if (position >= 0 && length >= 0
                    && mpv_get_property(m_mpv, "eof-reached", MPV_FORMAT_FLAG, &atEnd) >= 0 && atEnd)
                    position = length;
            }
        }
        if (pos)
            *pos = position;
        if (len)
            *len = length;
    }

private:
    bool Create(preview_window window)
    {
        m_window = window;
        m_loaded = false;
        // libmpv refuses to start under a locale that writes decimal commas.
        std::setlocale(LC_NUMERIC, "C");
        m_mpv = mpv_create();
        if (!m_mpv)
            return false;
        if (window != 0 && HaveDisplay()) {
            int64_t wid = static_cast<int64_t>(window);
            mpv_set_option(m_mpv, "wid", MPV_FORMAT_INT64, &wid);
            // Only outputs that draw inside the given window: mpv's own fallbacks
            // (SDL, the terminal ones) would open a window of their own or draw on
            // the terminal. x11 needs no GPU and covers machines without one.
            mpv_set_option_string(m_mpv, "vo", "gpu,xv,x11");
        } else {
            mpv_set_option_string(m_mpv, "vo", "null");
            mpv_set_option_string(m_mpv, "ao", "null");
        }
        // Stay alive between files, keep the last frame at the end and play on when
        // sent back, leave keys and mouse to the program, read nothing of the user's
        // own mpv set-up.
        static const char *const options[][2] = {
            {"idle", "yes"},
            {"keep-open", "yes"},
            {"keep-open-pause", "no"},
            {"force-window", "no"},
            {"input-default-bindings", "no"},
            {"input-vo-keyboard", "no"},
            {"input-cursor", "no"},
            {"osc", "no"},
            {"config", "no"},
            {"load-scripts", "no"},
            {"ytdl", "no"},
            {"audio-display", "no"},
            {"hr-seek", "yes"},
            {"terminal", "no"},
        };
        for (const auto &option : options)
            mpv_set_option_string(m_mpv, option[0], option[1]);
        // For diagnosing playback problems on a user's machine.
        if (const char *log = std::getenv("CORVANE_PREVIEW_LOG"); log && *log)
            mpv_set_option_string(m_mpv, "log-file", log);
        if (mpv_initialize(m_mpv) < 0) {
            mpv_terminate_destroy(m_mpv);
            m_mpv = nullptr;
            return false;
        }
        return true;
    }

    void Destroy()
    {
        if (m_mpv)
            mpv_terminate_destroy(m_mpv);
        m_mpv = nullptr;
        m_loaded = false;
        m_ready = false;
        m_entry = m_starting = 0;
    }

    void StopLocked()
    {
        if (!m_mpv)
            return;
        const char *command[] = {"stop", nullptr};
        mpv_command(m_mpv, command);
        m_loaded = false;
        m_ready = false;
        m_entry = 0;
    }

    // Nobody waits on mpv's events; they are emptied on every call so the queue
    // never overflows. A core that shut down is rebuilt by the next init or start.
    void DrainEvents()
    {
        if (!m_mpv)
            return;
        for (;;) {
            const mpv_event *event = mpv_wait_event(m_mpv, 0);
            if (event->event_id == MPV_EVENT_NONE)
                break;
            if (event->event_id == MPV_EVENT_START_FILE) {
                m_starting = static_cast<const mpv_event_start_file *>(event->data)->playlist_entry_id;
            } else if (event->event_id == MPV_EVENT_FILE_LOADED) {
                m_ready = m_ready || (m_entry != 0 && m_starting == m_entry);
            } else if (event->event_id == MPV_EVENT_END_FILE) {
                if (static_cast<const mpv_event_end_file *>(event->data)->playlist_entry_id == m_entry)
                    m_ready = false;
            } else if (event->event_id == MPV_EVENT_SHUTDOWN) {
                const preview_window window = m_window;
                Destroy();
                m_window = window;
                break;
            }
        }
    }

    std::mutex m_mutex;
    mpv_handle *m_mpv = nullptr;
    preview_window m_window = 0;
    bool m_loaded = false;   // a file was handed to mpv and not stopped since
    int64_t m_entry = 0;     // mpv's playlist id of that file
    int64_t m_starting = 0;  // the entry mpv last began to open
    bool m_ready = false;    // that file is open and has not ended
};

Player &ThePlayer()
{
    static Player player;
    return player;
}

// Nothing thrown inside may reach the caller, which is C.
template <class Call>
void Guarded(Call call) noexcept
{
    try {
        call(ThePlayer());
    } catch (...) {
    }
}

} // namespace

extern "C" {

void player_init(preview_window window)
{
    Guarded([&](Player &p) { p.Init(window); });
}

void player_start(const char *path)
{
    Guarded([&](Player &p) { p.Start(path); });
}

void player_pause(void)
{
    Guarded([](Player &p) { p.Pause(); });
}

void player_seek(int percent)
{
    Guarded([&](Player &p) { p.Seek(percent); });
}

void player_stop(void)
{
    Guarded([](Player &p) { p.Stop(); });
}

void player_resize(preview_window window)
{
    Guarded([&](Player &p) { p.Resize(window); });
}

void player_getpos(int *pos, int *len)
{
    if (pos)
        *pos = -1;
    if (len)
        *len = -1;
    Guarded([&](Player &p) { p.GetPos(pos, len); });
}

} // extern "C"
