// A stand-in for libpreview.so: records every call in a log the test reads, and
// throws from a call the test names. Built a second time without player_seek.
#include <cstdint>
#include <mutex>
#include <stdexcept>
#include <string>

namespace {
std::mutex g_mutex;
std::string g_log;
std::string g_throwOn;
std::string g_logCopy;
int g_position = -1;
int g_length = -1;

void Record(const std::string &name, const std::string &argument = std::string(), bool withArgument = false)
{
    std::lock_guard lock(g_mutex);
    g_log += withArgument ? name + ' ' + argument : name;
    g_log += '\n';
    if (g_throwOn == name)
        throw std::runtime_error("stand-in told to fail in " + name);
}
} // namespace

#define STANDIN_EXPORT extern "C" __attribute__((visibility("default")))

STANDIN_EXPORT void player_init(uintptr_t window)
{
    Record("player_init", std::to_string(window), true);
}

STANDIN_EXPORT void player_start(const char *path)
{
    Record("player_start", path ? path : "(null)", true);
}

STANDIN_EXPORT void player_pause()
{
    Record("player_pause");
}

#ifndef STANDIN_WITHOUT_SEEK
STANDIN_EXPORT void player_seek(int percent)
{
    Record("player_seek", std::to_string(percent), true);
}
#endif

STANDIN_EXPORT void player_stop()
{
    Record("player_stop");
}

STANDIN_EXPORT void player_resize(uintptr_t window)
{
    Record("player_resize", std::to_string(window), true);
}

STANDIN_EXPORT void player_getpos(int *pos, int *len)
{
    Record("player_getpos");
    std::lock_guard lock(g_mutex);
    *pos = g_position;
    *len = g_length;
}

// Clears the log and sets what player_getpos reports and which call throws.
STANDIN_EXPORT void standin_reset(int position, int length, const char *throwOn)
{
    std::lock_guard lock(g_mutex);
    g_log.clear();
    g_throwOn = throwOn ? throwOn : "";
    g_position = position;
    g_length = length;
}

// One call per line: "player_seek 50". Valid until the next call of this function.
STANDIN_EXPORT const char *standin_log()
{
    std::lock_guard lock(g_mutex);
    g_logCopy = g_log;
    return g_logCopy.c_str();
}
